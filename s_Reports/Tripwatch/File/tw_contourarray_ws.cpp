// The contour set as a ".ws" settings file: one section "Item%d" per contour with
// the nineteen keys (section keys joined by "_"); no count, no other section.
#include <string>

#include "common/inifile.h"
#include "common/lasterror.h"
#include "common/strutil.h"
#include "tw_contourarray.h"
#include "tw_contourfields.h"

namespace {

std::string FileKey(const char* key) {
    std::string k = key;
    for (char& ch : k)
        if (ch == '/') ch = '_';
    return k;
}

}  // namespace

// The file is written whole: sections of an earlier, longer set do not survive.
bool TW_ContourArray::Save(const char* path) const {
    try {
        host::IniFile ini = host::IniFile::Create(path);
        for (int i = 0; i < Count(); ++i) {
            const std::string section = host::Format("Item%d", i);
            const TW_Contour& c = *ItemINT(i);
            for (const TW_ContourField& f : TW_ContourFields()) {
                const std::string key = FileKey(f.key);
                if (f.kind == TW_ContourField::Text)
                    ini.WriteString(section.c_str(), key.c_str(), TW_GetFieldText(c, f).c_str());
                else if (f.kind == TW_ContourField::Used)
                    ini.WriteBool(section.c_str(), key.c_str(), TW_GetFieldInt(c, f) != 0);
                else
                    ini.WriteInteger(section.c_str(), key.c_str(), TW_GetFieldInt(c, f));
            }
        }
        return ini.UpdateFile();
    } catch (...) {
        return host::SetCaughtError();  // the reason of whatever was thrown
    }
}

bool TW_ContourArray::Load(const char* path) {
    try {
        const host::IniFile ini(path);
        if (!ini.ok()) return false;
        DeleteAll();
        for (int i = 0;; ++i) {
            const std::string section = host::Format("Item%d", i);
            if (!ini.SectionExists(section.c_str())) break;
            TW_Contour c;
            for (const TW_ContourField& f : TW_ContourFields()) {
                const std::string key = FileKey(f.key);
                if (f.kind == TW_ContourField::Text) {
                    TW_SetFieldText(c, f, ini.ReadString(section.c_str(), key.c_str(), "").c_str());
                } else if (f.kind == TW_ContourField::Used) {
                    TW_SetFieldInt(c, f, ini.ReadBool(section.c_str(), key.c_str(), false) ? 1 : 0);
                } else {
                    TW_SetFieldInt(c, f,
                                   ini.ReadInteger(section.c_str(), key.c_str(), f.defaultValue));
                }
            }
            AddINT(&c);
        }
        return true;
    } catch (...) {
        return host::SetCaughtError();
    }
}
