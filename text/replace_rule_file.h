#pragma once

#include "text/replace_rules.h"

#include <string>
#include <vector>

// The reader's clean-up rules: "replace_rules.json" in the data directory, in the replace-rule
// JSON that readers exchange, a list of objects with "id", "name", "group", "pattern",
// "replacement", "scope", "isEnabled", "isRegex" and "order". Members it does not know are
// kept when the rules are written back.
class CReplaceRuleFile {
public:
    static constexpr const char* kFileName = "replace_rules.json";
    // Larger files are no list of rules.
    static constexpr std::size_t kMaxBytes = 4 * 1024 * 1024;

    // Adds the rules of the file at fsPath to `rules` in their order. A missing file adds
    // nothing. What the reader should hear of comes back, one line each: a damaged file (nothing
    // of it is used), a rule that is no object (left out), a rule without a pattern or with an
    // invalid one (kept, so that writing the rules back keeps it, but never run).
    static std::vector<std::string> Load(const std::string& fsPath, CReplaceRules& rules);
    // The same for the file of the data directory (in the legacy code page, like GetDataDir()).
    static std::vector<std::string> LoadInto(const std::string& dataDir, CReplaceRules& rules);
    static std::string PathIn(const std::string& dataDir);

    // Writes the rules to fsPath whole or not at all. false when it cannot.
    static bool Save(const std::string& fsPath, const CReplaceRules& rules);
    // Adds the rules of another file: one with the name of a rule already there takes its place
    // (and its place in the order), the others come last. The problems as for Load.
    static std::vector<std::string> Import(const std::string& fsPath, CReplaceRules& rules);
};
