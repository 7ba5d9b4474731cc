// HConfigCheck: checked reads of configuration nodes that a user may have edited
// by hand. A missing key gives its default, as the plain reads do. A value of
// another type, or an integer out of range, gives the default too and is
// recorded; the first record is kept as a message (cp1251) that names the file,
// the node, the key, what was expected and what is stored there. Flags are
// true/false or the integers 0 and 1; integers are JSON integers within their
// range; dates are numbers; texts are strings.
#pragma once

#include <cstdint>
#include <string>

#include "config/configitem.h"

class HConfigCheck {
  public:
    bool Bool(HConfigItem& node, const char* key, bool defaultValue);
    int64_t Int(HConfigItem& node, const char* key, int64_t min, int64_t max, int64_t defaultValue);
    double Date(HConfigItem& node, const char* key, double defaultValue);
    std::string Str(HConfigItem& node, const char* key, const char* defaultValue);

    // Records a problem that the caller found with `key` of `node`; `what`
    // (cp1251) says what is wrong.
    void Fail(HConfigItem& node, const char* key, const std::string& what);

    bool Ok() const { return problem_.empty(); }
    // The first problem recorded; empty when there was none.
    const std::string& Problem() const { return problem_; }
    // Puts the first problem into the last-error slot; false when there is one,
    // true (slot untouched) when every read was clean.
    bool Report() const;

  private:
    void Refuse(HConfigItem& node, const char* key, const std::string& expected,
                const HConfigValue& found);

    std::string problem_;
};
