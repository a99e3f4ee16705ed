#include "text/chapter_rule_file.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "text/json_value.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

std::string TextOf(const CJsonValue* value) {
    return value != nullptr && value->GetKind() == CJsonValue::Kind::String ? value->Text() : "";
}

} // namespace

std::string CChapterRuleFile::PathIn(const std::string& dataDir) {
    return FsPathFromAnsi(dataDir) + "/" + kFileName;
}

std::vector<std::string> CChapterRuleFile::LoadInto(const std::string& dataDir,
                                                    CChapterRules& rules) {
    const std::set<std::string> off = BuiltInOff(dataDir);
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].IsBuiltIn() && off.count(rules[i].Name()) != 0) {
            rules[i].SetEnabled(false);
        }
    }
    std::vector<CChapterRule> read;
    std::vector<std::string> problems = Read(PathIn(dataDir), read, false);
    for (CChapterRule& rule : read) {
        rules.Add(std::move(rule));
    }
    return problems;
}

std::set<std::string> CChapterRuleFile::BuiltInOff(const std::string& dataDir) {
    std::set<std::string> off;
    std::ifstream in(FsPathFromAnsi(dataDir) + "/" + kBuiltInOffFileName, std::ios::binary);
    std::string name;
    // A name is one short line; anything else in a damaged file matches no rule.
    for (int lines = 0; lines < 1000 && std::getline(in, name); ++lines) {
        if (!name.empty() && name.back() == '\r') {
            name.pop_back();
        }
        off.insert(name);
    }
    return off;
}

bool CChapterRuleFile::SaveBuiltInChoices(const std::string& dataDir,
                                          const std::vector<CChapterRule>& rules) {
    std::string text;
    for (const CChapterRule& rule : rules) {
        if (rule.IsBuiltIn() && !rule.Enabled()) {
            text += rule.Name() + "\n";
        }
    }
    return ReplaceFileAtomically(FsPathFromAnsi(dataDir) + "/" + kBuiltInOffFileName, text);
}

std::vector<std::string> CChapterRuleFile::Read(const std::string& fsPath,
                                                std::vector<CChapterRule>& rules,
                                                bool keepInvalid) {
    std::string problem;
    const std::optional<CJsonValue> json =
        CJsonValue::ReadRuleList(fsPath, kMaxBytes, kFileName, problem);
    if (!json) {
        return problem.empty() ? std::vector<std::string>() : std::vector<std::string>{problem};
    }
    const std::string file = std::string(kFileName) + ": ";
    struct Entry {
        double order;
        CChapterRule rule;
    };
    std::vector<Entry> entries;
    std::vector<std::string> problems;
    for (const CJsonValue& item : json->Items()) {
        const std::string name = TextOf(item.Find("name"));
        const std::string pattern = TextOf(item.Find("rule"));
        const std::string called = "rule \"" + name + "\": ";
        if (item.GetKind() != CJsonValue::Kind::Object || pattern.empty()) {
            problems.push_back(file + called + "no pattern; left out");
            continue;
        }
        CChapterRule rule = CChapterRule::FromPattern(name, pattern);
        if (!rule.IsValid()) {
            problems.push_back(file + called + "invalid pattern (" + rule.Error() + ")" +
                               (keepInvalid ? "; never used" : "; left out"));
            if (!keepInvalid) {
                continue;
            }
        }
        const CJsonValue* enable = item.Find("enable");
        rule.SetEnabled(enable == nullptr || enable->GetKind() != CJsonValue::Kind::Bool ||
                        enable->Bool());
        rule.SetExample(TextOf(item.Find("example")));
        rule.SetJson(item);
        const CJsonValue* serial = item.Find("serialNumber");
        const double order = serial != nullptr && serial->GetKind() == CJsonValue::Kind::Number
                                 ? std::strtod(serial->Text().c_str(), nullptr)
                                 : double(entries.size());
        entries.push_back({order, std::move(rule)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.order < b.order; });
    for (Entry& entry : entries) {
        rules.push_back(std::move(entry.rule));
    }
    return problems;
}

bool CChapterRuleFile::Save(const std::string& fsPath, const std::vector<CChapterRule>& rules) {
    std::vector<CJsonValue> items;
    for (const CChapterRule& rule : rules) {
        if (rule.IsBuiltIn()) {
            continue;
        }
        CJsonValue json = rule.Json();
        if (json.Find("id") == nullptr) {
            json.Set("id", CJsonValue::Number(std::to_string(items.size() + 1)));
        }
        json.Set("name", CJsonValue::String(rule.Name()));
        json.Set("rule", CJsonValue::String(rule.Pattern()));
        json.Set("example", CJsonValue::String(rule.Example()));
        json.Set("serialNumber", CJsonValue::Number(std::to_string(items.size())));
        json.Set("enable", CJsonValue::Boolean(rule.Enabled()));
        items.push_back(std::move(json));
    }
    return ReplaceFileAtomically(fsPath, CJsonValue::Array(std::move(items)).Write());
}

std::vector<std::string> CChapterRuleFile::Import(const std::string& fsPath,
                                                  std::vector<CChapterRule>& rules) {
    std::vector<CChapterRule> other;
    std::vector<std::string> problems = Read(fsPath, other, true);
    for (CChapterRule& rule : other) {
        const auto same = std::find_if(rules.begin(), rules.end(), [&](const CChapterRule& r) {
            return !r.IsBuiltIn() && r.Name() == rule.Name();
        });
        if (same != rules.end()) {
            *same = std::move(rule);
        } else {
            rules.push_back(std::move(rule));
        }
    }
    return problems;
}
