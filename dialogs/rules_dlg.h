#pragma once

#include "text/chapter_rule.h"
#include "text/code_page_layout.h"
#include "text/replace_rules.h"

#include <QDialog>

#include <string>
#include <vector>

class CBookScanWorker;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;

// "规则": the chapter rules (the built-in ones, then the reader's own) and the clean-up rules of
// the data directory. The reader's rules are turned on and off, ordered, edited, imported from
// and exported to a file, and tried on the open book, which shows what a rule matches before
// anything is saved. 保存 writes both files; closing otherwise keeps them as they were.
class CRulesDlg : public QDialog {
    Q_OBJECT
public:
    // `bookPath` empty: no book to try the rules on.
    CRulesDlg(std::string dataDir, std::u16string bookPath, const CCodePageLayout& layout,
              QWidget* parent = nullptr);
    ~CRulesDlg() override;

    // Headings or changed lines found by the last try, each a row.
    QListWidget* Trial() const { return m_trial; }

protected:
    void accept() override;

private:
    enum class Kind { Chapter, CleanUp };
    Kind CurrentKind() const;
    QListWidget* CurrentList() const;
    void FillLists();
    void ShowRule(); // the editor shows the current rule of the current tab
    void TakeEdit(); // the editor's fields into the current rule
    void SetEnabledFromRow(Kind kind, int row);
    void AddRule();
    void RemoveRule();
    void MoveRule(int by);
    // The file to import from (`save` false) or export to; empty: none.
    QString ChooseFile(bool save);
    void Import();
    void Export();
    void TryRule();
    // The reader's own chapter rules start after the built-in ones.
    std::size_t FirstOwnChapterRule() const;
    bool IsEditable(Kind kind, int row) const;

    std::string m_dataDir;
    std::u16string m_bookPath;
    CCodePageLayout m_layout;
    std::vector<CChapterRule> m_chapterRules;
    CReplaceRules m_cleanUpRules;
    bool m_bFilling = false;

    QTabWidget* m_tabs;
    QListWidget* m_chapterList;
    QListWidget* m_cleanUpList;
    QLineEdit* m_name;
    QLineEdit* m_pattern;
    QLineEdit* m_replacement;
    QLineEdit* m_scope;
    QCheckBox* m_isRegex;
    QLabel* m_replacementLabel;
    QLabel* m_scopeLabel;
    QLabel* m_error;
    QListWidget* m_trial;
    QLabel* m_trialNote;
    CBookScanWorker* m_pWorker;
};
