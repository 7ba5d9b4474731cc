// host::StringList: a list of texts, each with an attached object value, that a
// list control (a combo box, a list box) can implement so that core code fills
// it without knowing the control. Texts are cp1251.
#pragma once

#include <cstdint>

namespace host {

class StringList {
  public:
    virtual ~StringList() = default;
    // Removes every entry.
    virtual void Clear() = 0;
    // Appends `text` (copied by the list) with its object value.
    virtual void Add(const char* text, intptr_t objectValue) = 0;
};

}  // namespace host
