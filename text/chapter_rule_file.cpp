#include "text/chapter_rule_file.h"

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

std::vector<std::string> CChapterRuleFile::LoadInto(const std::string& dataDir,
                                                    CChapterRules& rules) {
    const std::string path = FsPathFromAnsi(dataDir) + "/" + kFileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text;
    text.resize(kMaxBytes + 1);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    const std::string file = std::string(kFileName) + ": ";
    if (text.size() > kMaxBytes) {
        return {file + "too large to be a list of rules; not used"};
    }
    std::string error;
    const std::optional<CJsonValue> json = CJsonValue::Parse(text, &error);
    if (!json || json->GetKind() != CJsonValue::Kind::Array) {
        return {file + (json ? "not a list of rules" : "not JSON (" + error + ")") + "; not used"};
    }
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
            problems.push_back(file + called + "invalid pattern (" + rule.Error() + "); left out");
            continue;
        }
        const CJsonValue* enable = item.Find("enable");
        rule.SetEnabled(enable == nullptr || enable->GetKind() != CJsonValue::Kind::Bool ||
                        enable->Bool());
        const CJsonValue* serial = item.Find("serialNumber");
        const double order = serial != nullptr && serial->GetKind() == CJsonValue::Kind::Number
                                 ? std::strtod(serial->Text().c_str(), nullptr)
                                 : double(entries.size());
        entries.push_back({order, std::move(rule)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.order < b.order; });
    for (Entry& entry : entries) {
        rules.Add(std::move(entry.rule));
    }
    return problems;
}
