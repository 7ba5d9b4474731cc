// The host's last-error slot (one per thread): either a number (an errno value,
// or a host code such as 1223, "cancelled by the user") or a text. The OS file
// layer and the streams of this library set it on every failure.
#pragma once

#include <string>

// The text becomes the last error (printf rules, cp1251). The number becomes
// kErrorText, so that GetIOErrorN shows that a text is set.
void SetError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The number becomes the last error; its text is derived when asked for.
void SetErrorN(unsigned number);
// The number of the last error (0 = none).
unsigned GetIOErrorN();
// The text of the last error for display or logging (cp1251). `mode` -2 is the
// only mode the system uses: the current last error, whichever setter set it.
// The text lives until the next change of the slot on this thread.
const char* GetIOErrorS_GUI(int mode);

namespace host {
inline constexpr unsigned kErrorCancelled = 1223;
inline constexpr unsigned kErrorText = 0x20000000;  // "a text was set"
// A readable cp1251 text for any error number: errno values through the C
// library (in English, as the C library gives them), host codes by name.
std::string ErrorNumberText(unsigned number);
// Sets the slot from errno (EIO when errno is 0); returns false for use in
// `return host::SetErrnoError();`.
bool SetErrnoError();
// Only inside a catch block, where a library's exported function turns the
// exception it caught into the last error: ENOMEM for std::bad_alloc, the text
// of another std::exception (host::Exception's is cp1251), and for an exception
// of any other type a text saying that its reason is unknown. Returns false.
bool SetCaughtError();
void ClearError();
}  // namespace host
