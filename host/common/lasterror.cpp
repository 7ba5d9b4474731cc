#include "lasterror.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <exception>
#include <new>

#include "cp1251.h"
#include "strutil.h"

using namespace host::literals;

namespace {
struct Slot {
    unsigned number = 0;
    std::string text;
    std::string shown;
};
thread_local Slot slot;
}  // namespace

void SetError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    slot.text = host::FormatV(format ? format : "", args);
    va_end(args);
    slot.number = host::kErrorText;
}

void SetErrorN(unsigned number) {
    slot.number = number;
    slot.text.clear();
}

unsigned GetIOErrorN() {
    return slot.number;
}

const char* GetIOErrorS_GUI(int) {
    slot.shown = slot.number == host::kErrorText ? slot.text : host::ErrorNumberText(slot.number);
    return slot.shown.c_str();
}

namespace host {

std::string ErrorNumberText(unsigned number) {
    switch (number) {
        case 0:
            return "Нет ошибки"_cp;
        case kErrorCancelled:
            return "Операция отменена пользователем"_cp;
        case kErrorText:
            return slot.text;
        default:
            break;
    }
    if (number < 4096) {
        char buf[256];
        const char* s = strerror_r(int(number), buf, sizeof buf);
        // The C library's texts are ASCII in the C locale; keep them as they are.
        return Format("%s (%u)", Utf8ToCp1251Lossy(s ? s : "").c_str(), number);
    }
    return Format("%s %u", "Ошибка"_cp, number);
}

bool SetErrnoError() {
    const int e = errno;
    SetErrorN(e ? unsigned(e) : unsigned(EIO));
    return false;
}

bool SetCaughtError() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        SetErrorN(ENOMEM);
    } catch (const std::exception& e) {
        SetError("%s", e.what());
    } catch (...) {
        SetError("%s", "Исключение неизвестного типа: причина ошибки неизвестна"_cp);
    }
    return false;
}

void ClearError() {
    SetErrorN(0);
}

}  // namespace host
