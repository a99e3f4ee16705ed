#include "dialogs/reading_dlg.h"

#include "dialogs/option_dlg.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QSpinBox* NumberBox(QWidget* parent, const char* name, int low, int high, int value,
                    const QString& suffix) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

} // namespace

CReadingDlg::CReadingDlg(COptionDlg& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName(QStringLiteral("readingDialog"));
    setWindowTitle(QStringLiteral(u"阅读"));
    setFont(CommonDialogFont());
    const ReadingPrefs& prefs = m_options.m_prefs;

    m_comboFace = new QComboBox(this);
    m_comboFace->setObjectName(QStringLiteral("fontFace"));
    FillFaces();
    m_spinMarginLeft = NumberBox(this, "marginLeft", 0, ReadingPrefs::kMaxMargin, prefs.margin_left,
                                 QStringLiteral(u" 像素"));
    m_spinMarginRight = NumberBox(this, "marginRight", 0, ReadingPrefs::kMaxMargin,
                                  prefs.margin_right, QStringLiteral(u" 像素"));
    m_spinLineChars = NumberBox(this, "lineChars", 0, ReadingPrefs::kMaxLineChars, prefs.line_chars,
                                QStringLiteral(u" 字"));
    m_spinLineChars->setSpecialValueText(QStringLiteral(u"不限"));
    m_spinScrollSpeed = NumberBox(this, "scrollSpeed", ReadingPrefs::kMinScrollSpeed,
                                  ReadingPrefs::kMaxScrollSpeed, prefs.scroll_speed, QString());

    // One choice of two: Tab reaches the group, the arrows move within it.
    m_btnDay = new QRadioButton(QStringLiteral(u"日间(&D)"), this);
    m_btnDay->setObjectName(QStringLiteral("dayButton"));
    m_btnNight = new QRadioButton(QStringLiteral(u"夜间(&N)"), this);
    m_btnNight->setObjectName(QStringLiteral("nightButton"));
    auto* scheme = new QButtonGroup(this);
    for (QRadioButton* button : {m_btnDay, m_btnNight}) {
        scheme->addButton(button);
    }
    (prefs.night != 0 ? m_btnNight : m_btnDay)->setChecked(true);
    auto* schemeRow = new QHBoxLayout;
    schemeRow->addWidget(m_btnDay);
    schemeRow->addWidget(m_btnNight);
    schemeRow->addStretch(1);

    m_checkIndent = new QCheckBox(QStringLiteral(u"段首空两格(&I)"), this);
    m_checkIndent->setObjectName(QStringLiteral("indent"));
    m_checkIndent->setChecked(prefs.indent != 0);
    m_comboBlankLines = new QComboBox(this);
    m_comboBlankLines->setObjectName(QStringLiteral("blankLines"));
    m_comboBlankLines->addItems({QStringLiteral(u"保留"), QStringLiteral(u"多个合并为一个"),
                                 QStringLiteral(u"去除，段间留空")});
    m_comboBlankLines->setCurrentIndex(std::clamp(prefs.blank_lines, 0, 2));
    m_spinParagraphSpacing =
        NumberBox(this, "paragraphSpacing", 0, ReadingPrefs::kMaxParagraphSpacing,
                  prefs.paragraph_spacing, QStringLiteral(u" 像素"));
    m_spinParagraphSpacing->setEnabled(prefs.blank_lines == 2);
    m_checkJustify = new QCheckBox(QStringLiteral(u"两端对齐(&J)"), this);
    m_checkJustify->setObjectName(QStringLiteral("justify"));
    m_checkJustify->setChecked(prefs.justify != 0);
    m_comboReflow = new QComboBox(this);
    m_comboReflow->setObjectName(QStringLiteral("reflow"));
    m_comboReflow->addItem(QStringLiteral(u"自动"), QString());
    m_comboReflow->addItem(QStringLiteral(u"开"), QStringLiteral("on"));
    m_comboReflow->addItem(QStringLiteral(u"关"), QStringLiteral("off"));
    m_comboReflow->setCurrentIndex(
        std::max(0, m_comboReflow->findData(QString::fromStdString(options.m_strReflow))));
    m_comboReflow->setEnabled(options.m_bHasBook);
    m_comboReflow->setToolTip(
        QStringLiteral(u"把硬换行（每行字数几乎相同）的书接成整段；只对这本书"));
    auto* marks = new QHBoxLayout;
    marks->addWidget(m_checkIndent);
    marks->addWidget(m_checkJustify);
    marks->addStretch(1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral(u"字体(&F)："), m_comboFace);
    form->addRow(QStringLiteral(u"左边距(&L)："), m_spinMarginLeft);
    form->addRow(QStringLiteral(u"右边距(&R)："), m_spinMarginRight);
    form->addRow(QStringLiteral(u"每行最多(&W)："), m_spinLineChars);
    form->addRow(QStringLiteral(u"滚动速度(&S)："), m_spinScrollSpeed);
    form->addRow(QStringLiteral(u"配色："), schemeRow);
    form->addRow(QStringLiteral(u"排版："), marks);
    form->addRow(QStringLiteral(u"空行(&B)："), m_comboBlankLines);
    form->addRow(QStringLiteral(u"段间距(&P)："), m_spinParagraphSpacing);
    form->addRow(QStringLiteral(u"本书重排硬换行(&H)："), m_comboReflow);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close =
        buttons->addButton(QStringLiteral(u"关闭(&C)"), QDialogButtonBox::AcceptRole);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral(u"改动立即生效并保存。"), this));
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_comboFace, &QComboBox::currentIndexChanged, this, &CReadingDlg::OnFaceChanged);
    for (QSpinBox* box :
         {m_spinMarginLeft, m_spinMarginRight, m_spinLineChars, m_spinScrollSpeed}) {
        connect(box, &QSpinBox::valueChanged, this, &CReadingDlg::OnNumberChanged);
    }
    connect(m_btnNight, &QRadioButton::clicked, this, [this] { OnNight(true); });
    for (QCheckBox* box : {m_checkIndent, m_checkJustify}) {
        connect(box, &QCheckBox::toggled, this, &CReadingDlg::OnTypesetChanged);
    }
    connect(m_comboBlankLines, &QComboBox::currentIndexChanged, this,
            &CReadingDlg::OnTypesetChanged);
    connect(m_spinParagraphSpacing, &QSpinBox::valueChanged, this, &CReadingDlg::OnTypesetChanged);
    connect(m_comboReflow, &QComboBox::currentIndexChanged, this, [this] {
        m_options.m_strReflow = m_comboReflow->currentData().toString().toStdString();
        if (m_options.m_onReflowChanged) {
            m_options.m_onReflowChanged(m_options.m_strReflow);
        }
    });
    connect(m_btnDay, &QRadioButton::clicked, this, [this] { OnNight(false); });
}

int CReadingDlg::DoModal() {
    return RunModal(*this);
}

void CReadingDlg::FillFaces() {
    // The reader's own face first (it falls back to an installed Chinese face), then the faces
    // that can show Simplified Chinese, then the rest.
    m_comboFace->addItem(QStringLiteral(u"微软雅黑（默认）"), QString());
    QStringList others;
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString& family : chinese) {
        if (!QFontDatabase::isPrivateFamily(family)) {
            m_comboFace->addItem(family, family);
        }
    }
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::isPrivateFamily(family) && !chinese.contains(family)) {
            others << family;
        }
    }
    if (!others.isEmpty()) {
        m_comboFace->insertSeparator(m_comboFace->count());
        for (const QString& family : others) {
            m_comboFace->addItem(family, family);
        }
    }
    const QString current = QString::fromStdString(m_options.m_prefs.font_face);
    int index = current.isEmpty() ? 0 : m_comboFace->findData(current);
    if (index < 0) { // a face that has since been removed: still the one chosen
        m_comboFace->addItem(current, current);
        index = m_comboFace->count() - 1;
    }
    m_comboFace->setCurrentIndex(index);
}

void CReadingDlg::OnFaceChanged(int index) {
    m_options.m_prefs.font_face = m_comboFace->itemData(index).toString().toStdString();
    m_options.ReadingChanged();
}

void CReadingDlg::OnNumberChanged() {
    ReadingPrefs& prefs = m_options.m_prefs;
    prefs.margin_left = m_spinMarginLeft->value();
    prefs.margin_right = m_spinMarginRight->value();
    prefs.line_chars = m_spinLineChars->value();
    prefs.scroll_speed = m_spinScrollSpeed->value();
    m_options.ReadingChanged();
}

void CReadingDlg::OnTypesetChanged() {
    ReadingPrefs& prefs = m_options.m_prefs;
    prefs.indent = m_checkIndent->isChecked() ? 1 : 0;
    prefs.blank_lines = m_comboBlankLines->currentIndex();
    prefs.paragraph_spacing = m_spinParagraphSpacing->value();
    prefs.justify = m_checkJustify->isChecked() ? 1 : 0;
    m_spinParagraphSpacing->setEnabled(prefs.blank_lines == 2);
    m_options.ReadingChanged();
}

void CReadingDlg::OnNight(bool night) {
    m_options.SetNightMode(night);
}
