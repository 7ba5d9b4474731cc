#include "ui/qt_text.h"

#include "common/cp1251.h"

namespace host::ui {

QString FromCp1251(std::string_view cp1251) {
    const std::u16string u = host::Cp1251ToUtf16(cp1251);
    return QString::fromUtf16(u.data(), qsizetype(u.size()));
}

std::string ToCp1251(const QString& text) {
    return host::Utf16ToCp1251Lossy(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())));
}

}  // namespace host::ui
