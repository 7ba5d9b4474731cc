#include "configcheck.h"

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/strutil.h"

using namespace host::literals;

namespace {

// A stored value as a message shows it: texts in quotes, long ones cut.
std::string Shown(const HConfigValue& v) {
    constexpr std::size_t kMax = 40;
    std::string s = v.text.size() > kMax ? v.text.substr(0, kMax) + "..." : v.text;
    return v.kind == HConfigValue::Text ? "\"" + s + "\"" : s;
}

// "Файл настроек "F", узел Item0, ключ "K"": where a key is, for messages.
std::string Place(HConfigItem& node, const char* key) {
    const std::string file = node.FileName();
    std::string s = file.empty() ? std::string("Настройки"_cp)
                                 : host::Format("Файл настроек \"%s\""_cp, file.c_str());
    const std::string path = node.NodePath();
    if (!path.empty()) s += host::Format(", узел %s"_cp, path.c_str());
    return s + host::Format(", ключ \"%s\""_cp, key);
}

}  // namespace

bool HConfigCheck::Bool(HConfigItem& node, const char* key, bool defaultValue) {
    const HConfigValue v = node.Peek(key);
    if (v.kind == HConfigValue::Absent) return defaultValue;
    if ((v.kind == HConfigValue::Flag || v.kind == HConfigValue::Integer) &&
        (v.integer == 0 || v.integer == 1))
        return v.integer != 0;
    Refuse(node, key, "флаг (true, false, 1 или 0)"_cp, v);
    return defaultValue;
}

int64_t HConfigCheck::Int(HConfigItem& node, const char* key, int64_t min, int64_t max,
                          int64_t defaultValue) {
    const HConfigValue v = node.Peek(key);
    if (v.kind == HConfigValue::Absent) return defaultValue;
    if (v.kind == HConfigValue::Integer && v.integer >= min && v.integer <= max) return v.integer;
    Refuse(node, key,
           host::Format("целое число от %lld до %lld"_cp, static_cast<long long>(min),
                        static_cast<long long>(max)),
           v);
    return defaultValue;
}

double HConfigCheck::Date(HConfigItem& node, const char* key, double defaultValue) {
    const HConfigValue v = node.Peek(key);
    if (v.kind == HConfigValue::Absent) return defaultValue;
    if (v.kind == HConfigValue::Integer || v.kind == HConfigValue::Number) return v.number;
    Refuse(node, key, "дата (число дней от 30.12.1899)"_cp, v);
    return defaultValue;
}

std::string HConfigCheck::Str(HConfigItem& node, const char* key, const char* defaultValue) {
    const HConfigValue v = node.Peek(key);
    if (v.kind == HConfigValue::Text) return v.text;
    if (v.kind != HConfigValue::Absent) Refuse(node, key, "текст в кавычках"_cp, v);
    return defaultValue ? defaultValue : "";
}

void HConfigCheck::Fail(HConfigItem& node, const char* key, const std::string& what) {
    if (problem_.empty()) problem_ = Place(node, key) + ": " + what;
}

bool HConfigCheck::Report() const {
    if (problem_.empty()) return true;
    SetError("%s", problem_.c_str());
    return false;
}

void HConfigCheck::Refuse(HConfigItem& node, const char* key, const std::string& expected,
                          const HConfigValue& found) {
    Fail(node, key,
         host::Format("ожидается %s, записано %s"_cp, expected.c_str(), Shown(found).c_str()));
}
