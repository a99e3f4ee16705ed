#include "dialogs/rules_dlg.h"

#include "platform/code_page.h"
#include "reader/book_scan_worker.h"
#include "text/chapter_finder.h"
#include "text/chapter_rule_file.h"
#include "text/heading_rule.h"
#include "text/replace_rule_file.h"
#include "text/resource_data.h"
#include "widgets/dialog_template.h"
#include "widgets/modal_hook.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <set>

namespace {

// Rows of a try: enough to judge a rule by, few enough to show at once.
constexpr int kTrialRows = 500;

std::string FsPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString ProblemsText(const std::vector<std::string>& problems) {
    QStringList lines;
    for (const std::string& problem : problems) {
        lines << FromUtf8(problem);
    }
    return lines.join(u'\n');
}

// The end of the last whole line of the block (after its line break), or 0.
std::size_t LastLineEnd(std::string_view block, TextEncoding encoding) {
    if (encoding == ENCODING_UTF16LE || encoding == ENCODING_UTF16BE) {
        for (std::size_t i = block.size() & ~std::size_t(1); i >= 2; i -= 2) {
            const bool le = encoding == ENCODING_UTF16LE;
            if (block[i - 2] == (le ? '\n' : '\0') && block[i - 1] == (le ? '\0' : '\n')) {
                return i;
            }
        }
        return 0;
    }
    const std::size_t lf = block.rfind('\n');
    return lf == std::string_view::npos ? 0 : lf + 1;
}

} // namespace

CRulesDlg::CRulesDlg(std::string dataDir, std::u16string bookPath, const CCodePageLayout& layout,
                     QWidget* parent)
    : QDialog(parent), m_dataDir(std::move(dataDir)), m_bookPath(std::move(bookPath)),
      m_layout(layout), m_pWorker(new CBookScanWorker(this)) {
    setObjectName(QStringLiteral("rulesDlg"));
    setWindowTitle(QStringLiteral(u"规则"));
    setFont(CommonDialogFont());
    resize(560, 620);

    const CChapterRules builtIn = CChapterRules::BuiltIn();
    const std::set<std::string> off = CChapterRuleFile::BuiltInOff(m_dataDir);
    for (std::size_t i = 0; i < builtIn.size(); ++i) {
        m_chapterRules.push_back(builtIn[i]);
        m_chapterRules.back().SetEnabled(off.count(builtIn[i].Name()) == 0);
    }
    std::vector<std::string> problems =
        CChapterRuleFile::Read(CChapterRuleFile::PathIn(m_dataDir), m_chapterRules, true);
    for (std::string& problem : CReplaceRuleFile::LoadInto(m_dataDir, m_cleanUpRules)) {
        problems.push_back(std::move(problem));
    }

    auto* layoutBox = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_chapterList = new QListWidget(m_tabs);
    m_chapterList->setObjectName(QStringLiteral("chapterRules"));
    m_cleanUpList = new QListWidget(m_tabs);
    m_cleanUpList->setObjectName(QStringLiteral("cleanUpRules"));
    m_tabs->addTab(m_chapterList, QStringLiteral(u"章节规则(&H)"));
    m_tabs->addTab(m_cleanUpList, QStringLiteral(u"净化规则(&P)"));
    layoutBox->addWidget(m_tabs, 2);

    auto* ruleButtons = new QHBoxLayout;
    const auto button = [&](const QString& text, const char* name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        ruleButtons->addWidget(b);
        return b;
    };
    button(QStringLiteral(u"新建(&N)"), "addRule", [this] { AddRule(); });
    button(QStringLiteral(u"删除(&D)"), "removeRule", [this] { RemoveRule(); });
    button(QStringLiteral(u"上移(&U)"), "moveUp", [this] { MoveRule(-1); });
    button(QStringLiteral(u"下移(&W)"), "moveDown", [this] { MoveRule(1); });
    button(QStringLiteral(u"导入(&I)…"), "importRules", [this] { Import(); });
    button(QStringLiteral(u"导出(&E)…"), "exportRules", [this] { Export(); });
    layoutBox->addLayout(ruleButtons);

    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("ruleName"));
    m_pattern = new QLineEdit(this);
    m_pattern->setObjectName(QStringLiteral("rulePattern"));
    m_replacement = new QLineEdit(this);
    m_replacement->setObjectName(QStringLiteral("ruleReplacement"));
    m_scope = new QLineEdit(this);
    m_scope->setObjectName(QStringLiteral("ruleScope"));
    m_scope->setPlaceholderText(QStringLiteral(u"空：所有书；否则书的文件名含有的字，以逗号分开"));
    m_isRegex = new QCheckBox(QStringLiteral(u"正则表达式(&X)"), this);
    m_isRegex->setObjectName(QStringLiteral("ruleIsRegex"));
    auto* nameLabel = new QLabel(QStringLiteral(u"名称(&A)："), this);
    nameLabel->setBuddy(m_name);
    auto* patternLabel = new QLabel(QStringLiteral(u"模式(&F)："), this);
    patternLabel->setBuddy(m_pattern);
    m_replacementLabel = new QLabel(QStringLiteral(u"替换为(&R)："), this);
    m_replacementLabel->setBuddy(m_replacement);
    m_scopeLabel = new QLabel(QStringLiteral(u"范围(&G)："), this);
    m_scopeLabel->setBuddy(m_scope);
    form->addRow(nameLabel, m_name);
    form->addRow(patternLabel, m_pattern);
    form->addRow(m_replacementLabel, m_replacement);
    form->addRow(m_scopeLabel, m_scope);
    form->addRow(QString(), m_isRegex);
    layoutBox->addLayout(form);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("ruleError"));
    m_error->setWordWrap(true);
    layoutBox->addWidget(m_error);

    auto* trialRow = new QHBoxLayout;
    auto* tryButton = new QPushButton(QStringLiteral(u"在本书试用(&T)"), this);
    tryButton->setObjectName(QStringLiteral("tryRule"));
    tryButton->setAutoDefault(false);
    tryButton->setEnabled(!m_bookPath.empty());
    connect(tryButton, &QPushButton::clicked, this, [this] { TryRule(); });
    trialRow->addWidget(tryButton);
    m_trialNote = new QLabel(this);
    m_trialNote->setObjectName(QStringLiteral("trialNote"));
    trialRow->addWidget(m_trialNote, 1);
    layoutBox->addLayout(trialRow);
    m_trial = new QListWidget(this);
    m_trial->setObjectName(QStringLiteral("trial"));
    layoutBox->addWidget(m_trial, 2);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral(u"保存(&S)"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral(u"取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRulesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRulesDlg::reject);
    layoutBox->addWidget(buttons);

    connect(m_pWorker, &CBookScanWorker::progress, this, [this](int percent) {
        m_trialNote->setText(QStringLiteral(u"正在试用… %1%").arg(percent));
    });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { ShowRule(); });
    connect(m_chapterList, &QListWidget::currentRowChanged, this, [this] { ShowRule(); });
    connect(m_cleanUpList, &QListWidget::currentRowChanged, this, [this] { ShowRule(); });
    connect(m_chapterList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        SetEnabledFromRow(Kind::Chapter, m_chapterList->row(item));
    });
    connect(m_cleanUpList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        SetEnabledFromRow(Kind::CleanUp, m_cleanUpList->row(item));
    });
    for (QLineEdit* edit : {m_name, m_pattern, m_replacement, m_scope}) {
        connect(edit, &QLineEdit::textEdited, this, [this] { TakeEdit(); });
    }
    connect(m_isRegex, &QCheckBox::toggled, this, [this] { TakeEdit(); });

    FillLists();
    m_chapterList->setCurrentRow(0);
    m_cleanUpList->setCurrentRow(0);
    ShowRule();
    m_error->setText(ProblemsText(problems));
}

// The worker joins its thread when it goes, before the rules it reads.
CRulesDlg::~CRulesDlg() {
    m_pWorker->Cancel();
}

CRulesDlg::Kind CRulesDlg::CurrentKind() const {
    return m_tabs->currentIndex() == 0 ? Kind::Chapter : Kind::CleanUp;
}

QListWidget* CRulesDlg::CurrentList() const {
    return CurrentKind() == Kind::Chapter ? m_chapterList : m_cleanUpList;
}

std::size_t CRulesDlg::FirstOwnChapterRule() const {
    return std::size_t(std::count_if(m_chapterRules.begin(), m_chapterRules.end(),
                                     [](const CChapterRule& rule) { return rule.IsBuiltIn(); }));
}

bool CRulesDlg::IsEditable(Kind kind, int row) const {
    if (row < 0) {
        return false;
    }
    return kind == Kind::CleanUp ? std::size_t(row) < m_cleanUpRules.size()
                                 : std::size_t(row) >= FirstOwnChapterRule() &&
                                       std::size_t(row) < m_chapterRules.size();
}

void CRulesDlg::FillLists() {
    m_bFilling = true;
    const int chapterRow = m_chapterList->currentRow();
    const int cleanUpRow = m_cleanUpList->currentRow();
    m_chapterList->clear();
    for (const CChapterRule& rule : m_chapterRules) {
        auto* item = new QListWidgetItem(
            FromUtf8(rule.Name()) + (rule.IsBuiltIn() ? QStringLiteral(u"（内置）") : QString()) +
                (rule.IsValid() ? QString() : QStringLiteral(u"（无效）")),
            m_chapterList);
        // Built-in rules are turned off and on too, but not edited.
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.Enabled() ? Qt::Checked : Qt::Unchecked);
    }
    m_cleanUpList->clear();
    for (std::size_t i = 0; i < m_cleanUpRules.size(); ++i) {
        const CReplaceRule& rule = m_cleanUpRules[i];
        QString text = FromUtf8(rule.Name());
        if (!rule.Get().scope.empty()) {
            text += QStringLiteral(u"（%1）").arg(FromUtf8(rule.Get().scope));
        }
        if (!rule.IsValid()) {
            text += QStringLiteral(u"（无效）");
        }
        auto* item = new QListWidgetItem(text, m_cleanUpList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.Enabled() ? Qt::Checked : Qt::Unchecked);
    }
    m_chapterList->setCurrentRow(std::min(chapterRow, m_chapterList->count() - 1));
    m_cleanUpList->setCurrentRow(std::min(cleanUpRow, m_cleanUpList->count() - 1));
    m_bFilling = false;
}

void CRulesDlg::ShowRule() {
    if (m_bFilling) {
        return;
    }
    m_bFilling = true;
    const Kind kind = CurrentKind();
    const int row = CurrentList()->currentRow();
    const bool cleanUp = kind == Kind::CleanUp;
    for (QWidget* widget :
         {static_cast<QWidget*>(m_replacement), static_cast<QWidget*>(m_scope),
          static_cast<QWidget*>(m_isRegex), static_cast<QWidget*>(m_replacementLabel),
          static_cast<QWidget*>(m_scopeLabel)}) {
        widget->setVisible(cleanUp);
    }
    const bool editable = IsEditable(kind, row);
    for (QLineEdit* edit : {m_name, m_pattern, m_replacement, m_scope}) {
        edit->setReadOnly(!editable);
        edit->clear();
    }
    m_isRegex->setEnabled(editable);
    m_error->clear();
    if (!cleanUp && row >= 0 && std::size_t(row) < m_chapterRules.size()) {
        const CChapterRule& rule = m_chapterRules[std::size_t(row)];
        m_name->setText(FromUtf8(rule.Name()));
        m_pattern->setText(FromUtf8(rule.Pattern()));
        m_error->setText(FromUtf8(rule.Error()));
    } else if (cleanUp && row >= 0 && std::size_t(row) < m_cleanUpRules.size()) {
        const CReplaceRule& rule = m_cleanUpRules[std::size_t(row)];
        m_name->setText(FromUtf8(rule.Name()));
        m_pattern->setText(FromUtf8(rule.Get().pattern));
        m_replacement->setText(FromUtf8(rule.Get().replacement));
        m_scope->setText(FromUtf8(rule.Get().scope));
        m_isRegex->setChecked(rule.Get().isRegex);
        m_error->setText(FromUtf8(rule.Error()));
    }
    m_bFilling = false;
}

void CRulesDlg::TakeEdit() {
    const Kind kind = CurrentKind();
    const int row = CurrentList()->currentRow();
    if (m_bFilling || !IsEditable(kind, row)) {
        return;
    }
    const std::string name = m_name->text().toStdString();
    const std::string pattern = m_pattern->text().toStdString();
    std::string error;
    if (kind == Kind::Chapter) {
        CChapterRule& old = m_chapterRules[std::size_t(row)];
        CChapterRule rule = CChapterRule::FromPattern(name, pattern);
        rule.SetEnabled(old.Enabled());
        rule.SetExample(old.Example());
        rule.SetJson(old.Json());
        old = std::move(rule);
        error = pattern.empty() ? "no pattern" : old.Error();
    } else {
        CReplaceRule& old = m_cleanUpRules[std::size_t(row)];
        CReplaceRule::Fields fields = old.Get();
        fields.name = name;
        fields.pattern = pattern;
        fields.replacement = m_replacement->text().toStdString();
        fields.scope = m_scope->text().toStdString();
        fields.isRegex = m_isRegex->isChecked();
        old = CReplaceRule(fields, old.Json());
        error = old.Error();
    }
    m_error->setText(FromUtf8(error));
    FillLists();
}

void CRulesDlg::SetEnabledFromRow(Kind kind, int row) {
    QListWidget* list = kind == Kind::Chapter ? m_chapterList : m_cleanUpList;
    const bool builtIn = kind == Kind::Chapter && row >= 0 &&
                         std::size_t(row) < m_chapterRules.size() &&
                         m_chapterRules[std::size_t(row)].IsBuiltIn();
    if (m_bFilling || (!builtIn && !IsEditable(kind, row))) {
        return;
    }
    const bool on = list->item(row)->checkState() == Qt::Checked;
    if (kind == Kind::Chapter) {
        m_chapterRules[std::size_t(row)].SetEnabled(on);
    } else {
        m_cleanUpRules[std::size_t(row)].SetEnabled(on);
    }
}

void CRulesDlg::AddRule() {
    const std::string name = "新规则";
    if (CurrentKind() == Kind::Chapter) {
        m_chapterRules.push_back(CChapterRule::FromPattern(name, ""));
    } else {
        CReplaceRule::Fields fields;
        fields.name = name;
        for (std::size_t i = 0; i < m_cleanUpRules.size(); ++i) {
            fields.order = std::max(fields.order, m_cleanUpRules[i].Get().order + 1);
        }
        m_cleanUpRules.Add(CReplaceRule(fields));
    }
    FillLists();
    CurrentList()->setCurrentRow(CurrentList()->count() - 1);
    m_name->setFocus();
    m_name->selectAll();
}

void CRulesDlg::RemoveRule() {
    const Kind kind = CurrentKind();
    const int row = CurrentList()->currentRow();
    if (!IsEditable(kind, row)) {
        return;
    }
    if (kind == Kind::Chapter) {
        m_chapterRules.erase(m_chapterRules.begin() + row);
    } else {
        m_cleanUpRules.Remove(std::size_t(row));
    }
    FillLists();
    ShowRule();
}

void CRulesDlg::MoveRule(int by) {
    const Kind kind = CurrentKind();
    const int row = CurrentList()->currentRow();
    const int to = row + by;
    if (!IsEditable(kind, row) || !IsEditable(kind, to)) {
        return;
    }
    if (kind == Kind::Chapter) {
        std::swap(m_chapterRules[std::size_t(row)], m_chapterRules[std::size_t(to)]);
    } else {
        m_cleanUpRules.Swap(std::size_t(row), std::size_t(to));
    }
    FillLists();
    CurrentList()->setCurrentRow(to);
}

QString CRulesDlg::ChooseFile(bool save) {
    QFileDialog files(this, save ? QStringLiteral(u"导出规则") : QStringLiteral(u"导入规则"));
    files.setObjectName(QStringLiteral("rulesFileDlg"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setNameFilters({QStringLiteral(u"规则 (*.json)"), QStringLiteral(u"所有文件 (*)")});
    files.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    files.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) {
        files.setDefaultSuffix(QStringLiteral("json"));
    }
    if (RunModal(files) != QDialog::Accepted || files.selectedFiles().isEmpty()) {
        return {};
    }
    return files.selectedFiles().first();
}

void CRulesDlg::Import() {
    const QString path = ChooseFile(false);
    if (path.isEmpty()) {
        return;
    }
    const std::vector<std::string> problems =
        CurrentKind() == Kind::Chapter ? CChapterRuleFile::Import(FsPath(path), m_chapterRules)
                                       : CReplaceRuleFile::Import(FsPath(path), m_cleanUpRules);
    FillLists();
    ShowRule();
    m_error->setText(ProblemsText(problems));
}

void CRulesDlg::Export() {
    const QString path = ChooseFile(true);
    if (path.isEmpty()) {
        return;
    }
    const bool saved = CurrentKind() == Kind::Chapter
                           ? CChapterRuleFile::Save(FsPath(path), m_chapterRules)
                           : CReplaceRuleFile::Save(FsPath(path), m_cleanUpRules);
    m_error->setText(saved ? QString() : QStringLiteral(u"无法写入 %1").arg(path));
}

void CRulesDlg::TryRule() {
    const Kind kind = CurrentKind();
    const int row = CurrentList()->currentRow();
    m_trial->clear();
    if (m_bookPath.empty() || row < 0) {
        return;
    }
    m_trialNote->setText(QStringLiteral(u"正在试用…"));
    CBookScanWorker* worker = m_pWorker;
    // What the rule finds, shown as it will list (headings) or show (lines) once saved.
    struct Found {
        QStringList rows;
        std::size_t count = 0;
    };
    const auto show = [this](const std::shared_ptr<Found>& found, const QString& note) {
        m_trial->addItems(found->rows);
        m_trialNote->setText(note.arg(found->count));
    };
    bool started = false;
    if (kind == Kind::Chapter) {
        CChapterRules rules; // today's rule, which a rule of another place is tried beside
        CChapterRule rule = m_chapterRules[std::size_t(row)];
        rule.SetEnabled(true);
        const bool today = row == 0;
        if (!today) {
            rules.Add(rule);
        }
        if (!rule.IsValid() || rule.Pattern().empty()) {
            m_trialNote->setText(QStringLiteral(u"规则无效，无法试用"));
            return;
        }
        started = worker->Start(m_bookPath, m_layout, [=](CBookScanner& scanner) {
            const std::optional<CChapterList> chapters =
                CChapterFinder::Find(scanner, rules, today ? 0 : 1);
            if (!chapters) {
                return;
            }
            auto found = std::make_shared<Found>();
            found->count = chapters->size();
            for (std::size_t i = 0; i < chapters->size() && i < kTrialRows; ++i) {
                found->rows << QStringLiteral(u"第 %1 页　%2")
                                   .arg(chapters->Page(i) + 1)
                                   .arg(QString::fromStdU16String(chapters->Title(i)));
            }
            worker->Post([=] { show(found, QStringLiteral(u"找到 %1 个标题")); });
        });
    } else {
        CReplaceRule rule = m_cleanUpRules[std::size_t(row)];
        if (!rule.IsValid()) {
            m_trialNote->setText(QStringLiteral(u"规则无效，无法试用"));
            return;
        }
        rule.SetEnabled(true);
        CReplaceRules one;
        one.Add(rule);
        const CCodePageLayout layout = m_layout;
        started = worker->Start(m_bookPath, m_layout, [=](CBookScanner& scanner) {
            auto found = std::make_shared<Found>();
            const TextEncoding encoding = layout.Encoding();
            constexpr std::size_t kBlock = 1 << 20;
            std::string block;
            std::uint64_t at = 0;
            while (at < scanner.Size()) {
                if (scanner.Cancelled()) {
                    return;
                }
                const std::size_t kept = block.size();
                block.resize(kept + kBlock);
                block.resize(kept + scanner.Book().m_hFile.ReadAt(at, block.data() + kept, kBlock));
                if (block.size() == kept) {
                    break;
                }
                at += block.size() - kept;
                std::size_t end =
                    at >= scanner.Size() ? block.size() : LastLineEnd(block, encoding);
                if (end == 0 && block.size() > CBookScanner::kMaxLineBytes) {
                    end = block.size() - block.size() % layout.UnitBytes(); // an endless line
                }
                const std::u16string text =
                    CResourceData::DecodeWindow(std::string_view(block).substr(0, end), layout);
                block.erase(0, end);
                for (std::size_t from = 0; from < text.size();) {
                    std::size_t to = text.find_first_of(u"\r\n", from);
                    to = to == std::u16string::npos ? text.size() : to;
                    const std::u16string_view line =
                        std::u16string_view(text).substr(from, to - from);
                    const CReplaceRules::Shown shown = one.Apply(line);
                    if (shown.text != line) {
                        if (found->rows.size() < kTrialRows) {
                            found->rows
                                << QString::fromStdU16String(std::u16string(TrimLine(line))) +
                                       QStringLiteral(u"　→　") +
                                       (shown.removed ? QStringLiteral(u"（整行删去）")
                                                      : QString::fromStdU16String(
                                                            std::u16string(TrimLine(shown.text))));
                        }
                        ++found->count;
                    }
                    from = to + 1;
                }
                scanner.ReportProgress(at, scanner.Size());
            }
            worker->Post([=] { show(found, QStringLiteral(u"改动 %1 行")); });
        });
    }
    if (!started) {
        m_trialNote->setText(QStringLiteral(u"无法读取本书"));
    }
}

void CRulesDlg::accept() {
    const bool chapters =
        CChapterRuleFile::Save(CChapterRuleFile::PathIn(m_dataDir), m_chapterRules) &&
        CChapterRuleFile::SaveBuiltInChoices(m_dataDir, m_chapterRules);
    const bool cleanUp =
        CReplaceRuleFile::Save(CReplaceRuleFile::PathIn(m_dataDir), m_cleanUpRules);
    if (!chapters || !cleanUp) {
        m_error->setText(QStringLiteral(u"无法保存规则：数据目录不能写入"));
        return;
    }
    QDialog::accept();
}
