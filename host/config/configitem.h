// HConfigItem: a node of the host's configuration tree. A tree is a JSON file
// (UTF-8), one object per node; keys are stored literally ("Rele/Used" is one
// key), child nodes are nested objects. Texts cross this interface as cp1251.
// The plain reads never fail: a missing key, or a value of another type, gives
// the default. Files a user may edit are read through HConfigCheck
// (data/configcheck.h), which refuses such values instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A stored value as the checked reads see it.
struct HConfigValue {
    enum Kind { Absent, Flag, Integer, Number, Text, Other };
    Kind kind = Absent;
    int64_t integer = 0;  // Flag (0 or 1) and Integer
    double number = 0;    // Integer and Number
    std::string text;     // Text: the text (cp1251); other kinds: the value as written
};

class HConfigItem {
  public:
    virtual ~HConfigItem() = default;

    virtual bool GetBool(const char* key, bool defaultValue) = 0;
    virtual int32_t GetInt(const char* key, int32_t defaultValue) = 0;
    // A platform date-time (days since 1899-12-30).
    virtual double GetDate(const char* key, double defaultValue) = 0;
    // The text (cp1251) is owned by the node and valid until the next call on it.
    virtual const char* GetStr(const char* key, const char* defaultValue) = 0;

    virtual void SetBool(const char* key, bool value) = 0;
    virtual void SetByte(const char* key, uint8_t value) = 0;
    virtual void SetWord(const char* key, uint16_t value) = 0;
    virtual void SetDWord(const char* key, uint32_t value) = 0;
    virtual void SetInt(const char* key, int32_t value) = 0;
    virtual void SetDate(const char* key, double value) = 0;
    virtual void SetStr(const char* key, const char* value) = 0;

    // The child node of that name, owned by this node. In a writable tree a new
    // name creates an empty child; in a tree opened read-only a missing child is
    // null.
    virtual HConfigItem* GetChild(const char* name) = 0;
    // The existing child node of that name, owned by this node; null when there
    // is none. Never creates one.
    virtual HConfigItem* FindChild(const char* name) = 0;

    // The value under `key` with its kind; kind Absent when there is none.
    virtual HConfigValue Peek(const char* key) = 0;
    // For messages: the file of the tree (cp1251; empty when it has none) and
    // the node's path from the root, names joined by "/" (empty for the root).
    virtual std::string FileName() = 0;
    virtual std::string NodePath() = 0;
};
