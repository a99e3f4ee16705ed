#pragma once

#include "text/chapter_rules.h"

#include <set>
#include <string>
#include <vector>

// The reader's own chapter rules: "chapter_rules.json" in the data directory, in the TOC-rule
// JSON that readers exchange, a list of objects with "id", "name", "rule" (the pattern),
// "example", "serialNumber" and "enable".
class CChapterRuleFile {
public:
    static constexpr const char* kFileName = "chapter_rules.json";
    // The built-in rules the reader turned off, a name a line (UTF-8): a file of its own, as
    // the shared JSON has no place for rules that are not in it.
    static constexpr const char* kBuiltInOffFileName = "chapter_rules_off.txt";
    // Larger files are no list of rules.
    static constexpr std::size_t kMaxBytes = 4 * 1024 * 1024;

    // Adds the file's rules to `rules` in their serialNumber order, the disabled ones disabled.
    // A missing file adds nothing. What the reader should hear of comes back, one line each: a
    // damaged file (nothing of it is used), a rule without a pattern or with an invalid one (that
    // rule is left out). dataDir is in the legacy code page, like GetDataDir().
    static std::vector<std::string> LoadInto(const std::string& dataDir, CChapterRules& rules);
    static std::string PathIn(const std::string& dataDir);
    // The names of the built-in rules the reader turned off (LoadInto leaves them off).
    static std::set<std::string> BuiltInOff(const std::string& dataDir);
    // Writes that list from the built-in rules' on and off; false when it cannot.
    static bool SaveBuiltInChoices(const std::string& dataDir,
                                   const std::vector<CChapterRule>& rules);

    // The rules of the file at fsPath, in their order, each with its object (see
    // CChapterRule::Json); invalid ones too when `keepInvalid`, for the reader to mend. The
    // problems as for LoadInto.
    static std::vector<std::string> Read(const std::string& fsPath,
                                         std::vector<CChapterRule>& rules, bool keepInvalid);
    // Writes the rules (the reader's own, not the built-in ones) to fsPath, whole or not at
    // all, numbered in their order. false when it cannot.
    static bool Save(const std::string& fsPath, const std::vector<CChapterRule>& rules);
    // Adds the rules of another file: one with the name of a rule already there takes its
    // place, the others come last. The problems as for Read.
    static std::vector<std::string> Import(const std::string& fsPath,
                                           std::vector<CChapterRule>& rules);
};
