#include "inifile.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "cp1251.h"
#include "lasterror.h"
#include "osfile.h"
#include "strutil.h"

using namespace host::literals;

namespace host {

namespace {

// Names are compared with Latin and Cyrillic case folded.
std::string Fold(const char* s) {
    std::string out;
    for (; s && *s; ++s)
        out += UpperCp1251(*s);
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// A value as the reader gives it back: one pair of enclosing quotes removed.
std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// A value must stay on its line: CR and LF become spaces.
std::string OneLine(const char* value) {
    std::string v = value ? value : "";
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    return v;
}

// A value as it is written so that the reader gives back the same text: a value
// that the reader would trim or unquote is enclosed in double quotes.
std::string Quote(const std::string& v) {
    const bool needs =
        !v.empty() &&
        (IsBlank(v.front()) || IsBlank(v.back()) ||
         (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()));
    return needs ? "\"" + v + "\"" : v;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Signed 32-bit integer text: decimal, or hexadecimal after "$" or "0x" (up to 32
// bits, taken as their signed value). False for anything else.
bool ParseInt32(const std::string& text, int32_t& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return false;
    if (hex) {
        uint64_t v = 0;
        for (; i < text.size(); ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0) return false;
            v = v * 16 + uint64_t(d);
            if (v > 0xFFFFFFFFull) return false;
        }
        const uint32_t bits = negative ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
        out = int32_t(bits);
        return true;
    }
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

}  // namespace

IniFile::IniFile(const char* path) : path_(path ? path : "") {
    std::string text;
    if (!ReadWholeFile(path_.c_str(), text)) {
        if (GetIOErrorN() == ENOENT) return;  // a missing file reads as empty
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Не удалось прочитать файл"_cp, path_.c_str(), reason.c_str());
        ok_ = false;
        return;
    }
    Parse(text);
}

IniFile IniFile::Create(const char* path) {
    IniFile f;
    f.path_ = path ? path : "";
    return f;
}

IniFile IniFile::FromText(const std::string& text) {
    IniFile f;
    f.Parse(text);
    return f;
}

void IniFile::Parse(const std::string& text) {
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(']');
            const std::string name =
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections_.push_back(Section{name, {}, {}});
            index_.emplace(Fold(name.c_str()), sections_.size() - 1);
            current = &sections_.back();
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!current || eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        if (key.empty()) continue;
        current->values.emplace_back(key, Unquote(Trim(line.substr(eq + 1))));
        current->index.emplace(Fold(key.c_str()), current->values.size() - 1);
    }
}

const IniFile::Section* IniFile::FindSection(const char* section) const {
    const auto it = index_.find(Fold(section));
    return it == index_.end() ? nullptr : &sections_[it->second];
}

const std::string* IniFile::FindValue(const char* section, const char* key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    const auto it = s->index.find(Fold(key));
    return it == s->index.end() ? nullptr : &s->values[it->second].second;
}

IniFile::Section& IniFile::GetSection(const char* section) {
    const auto it = index_.find(Fold(section));
    if (it != index_.end()) return sections_[it->second];
    sections_.push_back(Section{section ? section : "", {}, {}});
    index_.emplace(Fold(section), sections_.size() - 1);
    return sections_.back();
}

bool IniFile::SectionExists(const char* section) const {
    return FindSection(section) != nullptr;
}

bool IniFile::ValueExists(const char* section, const char* key) const {
    return FindValue(section, key) != nullptr;
}

std::string IniFile::ReadString(const char* section, const char* key,
                                const char* defaultValue) const {
    const std::string* v = FindValue(section, key);
    return v ? *v : std::string(defaultValue ? defaultValue : "");
}

int32_t IniFile::ReadInteger(const char* section, const char* key, int32_t defaultValue) const {
    const std::string* v = FindValue(section, key);
    int32_t out = 0;
    return v && ParseInt32(*v, out) ? out : defaultValue;
}

bool IniFile::ReadBool(const char* section, const char* key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const char* section, const char* key, const char* value) {
    Section& s = GetSection(section);
    const std::string folded = Fold(key);
    const auto it = s.index.find(folded);
    if (it != s.index.end()) {
        s.values[it->second].second = OneLine(value);
        return;
    }
    s.values.emplace_back(key ? key : "", OneLine(value));
    s.index.emplace(folded, s.values.size() - 1);
}

void IniFile::WriteInteger(const char* section, const char* key, int32_t value) {
    WriteString(section, key, Format("%d", value).c_str());
}

void IniFile::WriteBool(const char* section, const char* key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(const char* section) {
    const std::string folded = Fold(section);
    std::erase_if(sections_, [&](const Section& s) { return Fold(s.name.c_str()) == folded; });
    index_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        index_.emplace(Fold(sections_[i].name.c_str()), i);
}

void IniFile::Clear() {
    sections_.clear();
    index_.clear();
}

std::string IniFile::Text() const {
    std::string out;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += "[" + sections_[i].name + "]\r\n";
        for (const auto& [key, value] : sections_[i].values)
            out += key + "=" + Quote(value) + "\r\n";
    }
    return out;
}

bool IniFile::UpdateFile() const {
    if (WriteFileAtomically(path_.c_str(), Text())) return true;
    const std::string reason = GetIOErrorS_GUI(-2);
    SetError("%s \"%s\": %s", "Не удалось записать файл"_cp, path_.c_str(), reason.c_str());
    return false;
}

}  // namespace host
