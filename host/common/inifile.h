// host::IniFile: a settings file of the INI kind ("[Section]" lines and
// "Key=Value" lines), read and written the way the Windows INI class does it:
// section and key names compared without regard to case (Latin and Cyrillic),
// the first section or key of a name wins, integers as signed decimal text (a
// value that is not a number takes the default), booleans as integers ("1"/"0"),
// texts as cp1251 bytes. The reader accepts LF and CR LF line ends.
//
// The whole file is held in memory: the constructor reads it, writes change the
// memory only, and UpdateFile writes the file anew, atomically, with CR LF line
// ends. A missing file reads as empty; failing to read an existing file or to
// write it leaves a cp1251 text naming the file in the last-error slot.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace host {

class IniFile {
  public:
    // Reads `path` (cp1251); a missing file gives an empty set of sections.
    // ok() is false (last error set, no sections) when an existing file cannot
    // be read.
    explicit IniFile(const char* path);
    // A new, empty file for `path`; nothing is read.
    static IniFile Create(const char* path);
    // A file built from text in memory (no path).
    static IniFile FromText(const std::string& text);

    bool ok() const { return ok_; }
    bool SectionExists(const char* section) const;
    bool ValueExists(const char* section, const char* key) const;

    // The value as written in the file (spaces around it removed, one pair of
    // enclosing double or single quotes removed), or the default when missing.
    std::string ReadString(const char* section, const char* key, const char* defaultValue) const;
    // A signed 32-bit decimal number ("0x" prefix: hexadecimal); the default when
    // missing, not a number or out of range.
    int32_t ReadInteger(const char* section, const char* key, int32_t defaultValue) const;
    // ReadInteger with the default as 0/1, then nonzero is true.
    bool ReadBool(const char* section, const char* key, bool defaultValue) const;

    // Sets a value, creating the section and the key at the end when missing.
    void WriteString(const char* section, const char* key, const char* value);
    void WriteInteger(const char* section, const char* key, int32_t value);
    void WriteBool(const char* section, const char* key, bool value);

    void EraseSection(const char* section);
    // Removes every section.
    void Clear();

    // The file text as UpdateFile writes it (cp1251, CR LF).
    std::string Text() const;
    // Writes the whole file anew, atomically (temporary file and rename). False
    // (last error set) when it cannot.
    bool UpdateFile() const;

    const std::string& Path() const { return path_; }

  private:
    IniFile() = default;
    void Parse(const std::string& text);

    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
        std::unordered_map<std::string, std::size_t> index;  // folded key -> first entry
    };
    const Section* FindSection(const char* section) const;
    const std::string* FindValue(const char* section, const char* key) const;
    Section& GetSection(const char* section);

    std::string path_;
    bool ok_ = true;
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> index_;  // folded name -> first section
};

}  // namespace host
