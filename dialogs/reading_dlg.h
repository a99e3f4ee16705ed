#pragma once

#include <QDialog>

class COptionDlg;
class QCheckBox;
class QComboBox;
class QRadioButton;
class QSpinBox;

// The reading page ("阅读"), opened from the settings dialog: font family, page margins, the
// widest line, the automatic scrolling speed, the day/night colours and the typesetting (indents,
// blank lines, justification, and the open book's re-flow of hard-wrapped lines). Every change goes
// to the options' reading preferences at once (saved and shown); "关闭" only closes.
class CReadingDlg : public QDialog {
    Q_OBJECT
public:
    CReadingDlg(COptionDlg& options, QWidget* parent = nullptr);

    int DoModal();

    QComboBox* m_comboFace = nullptr;
    QSpinBox* m_spinMarginLeft = nullptr;
    QSpinBox* m_spinMarginRight = nullptr;
    QSpinBox* m_spinLineChars = nullptr;
    QSpinBox* m_spinScrollSpeed = nullptr;
    QRadioButton* m_btnNight = nullptr;
    QRadioButton* m_btnDay = nullptr;
    // Typesetting.
    QCheckBox* m_checkIndent = nullptr;
    QComboBox* m_comboBlankLines = nullptr;
    QSpinBox* m_spinParagraphSpacing = nullptr;
    QCheckBox* m_checkJustify = nullptr;
    QComboBox* m_comboReflow = nullptr;

private:
    void FillFaces();
    void OnFaceChanged(int index);
    void OnNumberChanged();
    void OnNight(bool night);
    void OnTypesetChanged();

    COptionDlg& m_options;
};
