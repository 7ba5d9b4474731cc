// Texts at the Qt edge: the system's cp1251 strings to QString and back, only
// through the host's codec.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace host::ui {

QString FromCp1251(std::string_view cp1251);
// Characters without a cp1251 form become '?'.
std::string ToCp1251(const QString& text);

}  // namespace host::ui
