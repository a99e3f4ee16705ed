#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

// The find bar below the text: the phrase, next/previous buttons, the search's progress or
// outcome, and a close button. The view does the searching.
class CFindBar : public QWidget {
    Q_OBJECT
public:
    explicit CFindBar(QWidget* parent = nullptr);

    QString Text() const;
    // Shows the bar with the phrase selected, ready to type over.
    void Open();
    void SetStatus(const QString& text);
    QString Status() const;
    QLineEdit* Edit() const { return m_edit; }

signals:
    // Enter in the field or the next button.
    void findNext();
    void findPrevious();
    // Esc in the bar or the close button.
    void escapePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_edit;
    QLabel* m_status;
};
