// An in-memory configuration node for the tests: values kept as text with the
// width they were written with, children created on demand unless refused.
// Peek reports "bool" values as flags, "date" values as numbers, "str" as texts
// and the integer widths as integers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/configitem.h"

class MemConfig : public HConfigItem {
  public:
    // When set, GetChild yields null for names not yet present (as a tree opened
    // read-only does); `refuseAfter` lets that many new children be made first.
    bool readOnly = false;
    int refuseAfter = -1;

    struct Value {
        std::string kind;  // "bool", "byte", "word", "dword", "int", "date", "str"
        std::string text;
    };
    std::map<std::string, Value> values;
    std::vector<std::string> order;  // keys in the order of writing
    std::map<std::string, std::unique_ptr<MemConfig>> children;
    std::string path;  // from the root, names joined by "/"

    bool GetBool(const char* key, bool d) override {
        auto it = values.find(key);
        return it == values.end() ? d : std::stoll(it->second.text) != 0;
    }
    int32_t GetInt(const char* key, int32_t d) override {
        auto it = values.find(key);
        if (it == values.end() || it->second.kind == "str") return d;
        return int32_t(std::stoll(it->second.text));
    }
    double GetDate(const char* key, double d) override {
        auto it = values.find(key);
        return it == values.end() ? d : std::stod(it->second.text);
    }
    const char* GetStr(const char* key, const char* d) override {
        auto it = values.find(key);
        if (it == values.end() || it->second.kind != "str") {
            scratch_ = d ? d : "";
            return scratch_.c_str();
        }
        return it->second.text.c_str();
    }
    void SetBool(const char* k, bool v) override { Put(k, "bool", v ? "1" : "0"); }
    void SetByte(const char* k, uint8_t v) override { Put(k, "byte", std::to_string(v)); }
    void SetWord(const char* k, uint16_t v) override { Put(k, "word", std::to_string(v)); }
    void SetDWord(const char* k, uint32_t v) override { Put(k, "dword", std::to_string(v)); }
    void SetInt(const char* k, int32_t v) override { Put(k, "int", std::to_string(v)); }
    void SetDate(const char* k, double v) override { Put(k, "date", std::to_string(v)); }
    void SetStr(const char* k, const char* v) override { Put(k, "str", v ? v : ""); }

    HConfigItem* GetChild(const char* name) override {
        auto it = children.find(name);
        if (it != children.end()) return it->second.get();
        if (readOnly || refuseAfter == 0) return nullptr;
        if (refuseAfter > 0) --refuseAfter;
        auto& slot = children[name];
        slot = std::make_unique<MemConfig>();
        slot->path = path.empty() ? name : path + "/" + name;
        return slot.get();
    }
    HConfigItem* FindChild(const char* name) override {
        auto it = children.find(name);
        return it == children.end() ? nullptr : it->second.get();
    }
    HConfigValue Peek(const char* key) override {
        HConfigValue v;
        auto it = values.find(key);
        if (it == values.end()) return v;
        const Value& s = it->second;
        v.text = s.text;
        if (s.kind == "str") {
            v.kind = HConfigValue::Text;
        } else if (s.kind == "date") {
            v.kind = HConfigValue::Number;
            v.number = std::stod(s.text);
        } else {
            v.kind = s.kind == "bool" ? HConfigValue::Flag : HConfigValue::Integer;
            v.integer = std::stoll(s.text);
            v.number = double(v.integer);
        }
        return v;
    }
    std::string FileName() override { return std::string(); }
    std::string NodePath() override { return path; }

  private:
    void Put(const char* key, const char* kind, std::string text) {
        if (!values.count(key)) order.push_back(key);
        values[key] = Value{kind, std::move(text)};
    }
    std::string scratch_;
};
