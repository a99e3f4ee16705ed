#include "text/replace_rule_file.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "text/json_value.h"

#include <fstream>

std::string CReplaceRuleFile::PathIn(const std::string& dataDir) {
    return FsPathFromAnsi(dataDir) + "/" + kFileName;
}

std::vector<std::string> CReplaceRuleFile::LoadInto(const std::string& dataDir,
                                                    CReplaceRules& rules) {
    return Load(PathIn(dataDir), rules);
}

std::vector<std::string> CReplaceRuleFile::Load(const std::string& fsPath, CReplaceRules& rules) {
    std::string problem;
    const std::optional<CJsonValue> json =
        CJsonValue::ReadRuleList(fsPath, kMaxBytes, kFileName, problem);
    if (!json) {
        return problem.empty() ? std::vector<std::string>() : std::vector<std::string>{problem};
    }
    const std::string file = std::string(kFileName) + ": ";
    std::vector<std::string> problems;
    CReplaceRules read;
    for (const CJsonValue& item : json->Items()) {
        std::optional<CReplaceRule> rule = CReplaceRule::FromJson(item);
        if (!rule) {
            problems.push_back(file + "a rule that is no object; left out");
            continue;
        }
        if (!rule->IsValid()) {
            problems.push_back(file + "rule \"" + rule->Name() + "\": " + rule->Error() +
                               "; skipped");
        }
        read.Add(std::move(*rule));
    }
    read.SortByOrder();
    for (std::size_t i = 0; i < read.size(); ++i) {
        rules.Add(read[i]);
    }
    return problems;
}

bool CReplaceRuleFile::Save(const std::string& fsPath, const CReplaceRules& rules) {
    std::vector<CJsonValue> items;
    items.reserve(rules.size());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        items.push_back(rules[i].ToJson());
    }
    return ReplaceFileAtomically(fsPath, CJsonValue::Array(std::move(items)).Write());
}

std::vector<std::string> CReplaceRuleFile::Import(const std::string& fsPath, CReplaceRules& rules) {
    CReplaceRules other;
    std::vector<std::string> problems = Load(fsPath, other);
    long long last = 0;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        last = std::max(last, rules[i].Get().order);
    }
    for (std::size_t k = 0; k < other.size(); ++k) {
        CReplaceRule rule = other[k];
        bool merged = false;
        for (std::size_t i = 0; i < rules.size() && !merged; ++i) {
            if (rules[i].Name() == rule.Name()) {
                // The rule stays the one it was, in its place and under its id.
                CJsonValue json = rule.Json();
                if (json.Find("id") == nullptr && rules[i].Json().Find("id") != nullptr) {
                    json.Set("id", *rules[i].Json().Find("id"));
                }
                CReplaceRule::Fields fields = rule.Get();
                fields.order = rules[i].Get().order;
                rules[i] = CReplaceRule(fields, json);
                merged = true;
            }
        }
        if (!merged) {
            rule.SetOrder(++last);
            rules.Add(std::move(rule));
        }
    }
    return problems;
}
