#include "template_reader.h"

#include <freexl.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/unique_handle.h"

namespace host::xls {

namespace {

std::string FreeXlReason(int code) {
    switch (code) {
        case FREEXL_FILE_NOT_FOUND:
            return "the file does not exist or cannot be opened";
        case FREEXL_INSUFFICIENT_MEMORY:
            return "not enough memory";
        case FREEXL_INVALID_CFBF_HEADER:
        case FREEXL_CFBF_INVALID_SIGNATURE:
            return "not an Excel 97-2003 (.xls) file";
        case FREEXL_CFBF_READ_ERROR:
        case FREEXL_CFBF_SEEK_ERROR:
            return "the file is truncated or cannot be read";
        case FREEXL_CFBF_INVALID_SECTOR_SIZE:
        case FREEXL_CFBF_EMPTY_FAT_CHAIN:
        case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
        case FREEXL_INVALID_MINI_STREAM:
        case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
            return "the file's compound-document structure is damaged";
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return "the file holds no Excel workbook";
        case FREEXL_BIFF_INVALID_BOF:
            return "the workbook is damaged or of an unsupported Excel version";
        case FREEXL_BIFF_INVALID_SST:
        case FREEXL_BIFF_ILLEGAL_SST_INDEX:
            return "the workbook's string table is damaged";
        case FREEXL_INVALID_CHARACTER:
        case FREEXL_UNSUPPORTED_CHARSET:
            return "the workbook's text encoding is not supported";
        default:
            return "the workbook cannot be read (error " + std::to_string(code) + ")";
    }
}

// An open FreeXL workbook, closed when the holder goes.
using FreeXlHandle = host::UniqueHandle<const void*, freexl_close>;

std::string NumberText(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

// The name of the marker that begins at text[i] ("#{Name}"), and its length;
// an empty name when there is no well-formed marker there.
std::pair<std::string_view, std::size_t> MarkerAt(std::string_view text, std::size_t i) {
    if (text.compare(i, 2, "#{") != 0 || i + 2 >= text.size() || !IsNameStart(text[i + 2]))
        return {};
    std::size_t end = i + 3;
    while (end < text.size() && IsNameChar(text[end]))
        ++end;
    if (end >= text.size() || text[end] != '}') return {};
    return {text.substr(i + 2, end - i - 2), end + 1 - i};
}

// Opens the workbook at `path`: its handle, or null and the reason in *reason.
FreeXlHandle OpenWorkbook(const std::string& path, std::string* reason) {
    const void* raw = nullptr;
    const int rc = freexl_open(path.c_str(), &raw);
    FreeXlHandle h(raw);
    if (rc != FREEXL_OK) {
        *reason = FreeXlReason(rc);
        return FreeXlHandle();
    }
    // FreeXL reports some damage (a cell outside the sheet's dimensions, a wrong
    // sheet offset) as success with no handle.
    if (!h) *reason = "the workbook is damaged (its sheet layout is inconsistent)";
    return h;
}

// The value `v` in *cell; false for a cell with nothing to copy (empty, or a
// formula: FreeXL does not decode those).
bool TakeValue(const FreeXL_CellValue& v, TemplateCell* cell) {
    switch (v.type) {
        case FREEXL_CELL_INT:
            cell->kind = TemplateCell::Kind::Number;
            cell->text = std::to_string(v.value.int_value);
            return true;
        case FREEXL_CELL_DOUBLE:
            cell->kind = TemplateCell::Kind::Number;
            cell->text = NumberText(v.value.double_value);
            return true;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            if (!v.value.text_value) return false;
            cell->text = v.value.text_value;
            return true;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            if (!v.value.text_value) return false;
            cell->kind = TemplateCell::Kind::Date;
            cell->text = v.value.text_value;
            return true;
        default:
            return false;
    }
}

// The first worksheet, read with FreeXL in this process. Returns the reason
// of a failure, or an empty text.
std::string ReadWithFreeXl(const std::string& path, TemplateSheet* sheet) {
    std::string reason;
    const FreeXlHandle h = OpenWorkbook(path, &reason);
    if (!h) return reason;

    unsigned int count = 0;
    if (freexl_get_info(h.get(), FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0)
        return "the workbook has no worksheet";
    if (freexl_select_active_worksheet(h.get(), 0) != FREEXL_OK)
        return "the first worksheet cannot be selected";
    const char* name = nullptr;
    if (freexl_get_worksheet_name(h.get(), 0, &name) == FREEXL_OK && name) sheet->name = name;

    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_worksheet_dimensions(h.get(), &rows, &cols) != FREEXL_OK)
        return "the worksheet's dimensions cannot be read";
    sheet->rows = rows;
    sheet->cols = cols;

    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < cols; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(h.get(), r, c, &v) != FREEXL_OK)
                return "cell at row " + std::to_string(r) + " column " + std::to_string(c) +
                       " cannot be read";
            TemplateCell cell{r, c, TemplateCell::Kind::Text, {}};
            if (TakeValue(v, &cell)) sheet->cells.push_back(std::move(cell));
        }
    }
    return {};
}

// The result of ReadWithFreeXl as bytes, for the pipe from the reading child.
void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += char(v >> (8 * i));
}
void PutText(std::string& out, const std::string& s) {
    PutU32(out, uint32_t(s.size()));
    out += s;
}

constexpr char kMagic[] = "TWXT";
constexpr char kEnd[] = "END.";

std::string Serialise(const std::string& reason, const TemplateSheet& sheet) {
    std::string out(kMagic);
    PutText(out, reason);
    PutText(out, sheet.name);
    PutU32(out, sheet.rows);
    PutU32(out, sheet.cols);
    PutU32(out, uint32_t(sheet.cells.size()));
    for (const TemplateCell& c : sheet.cells) {
        PutU32(out, c.row);
        PutU32(out, c.col);
        out += char(c.kind);
        PutText(out, c.text);
    }
    return out + kEnd;
}

class Reader {
  public:
    explicit Reader(std::string_view data) : data_(data) {}
    bool U32(uint32_t* v) {
        if (data_.size() - pos_ < 4) return false;
        *v = 0;
        for (int i = 0; i < 4; ++i)
            *v |= uint32_t(uint8_t(data_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool Text(std::string* s) {
        uint32_t n = 0;
        if (!U32(&n) || data_.size() - pos_ < n) return false;
        *s = std::string(data_.substr(pos_, n));
        pos_ += n;
        return true;
    }
    bool Literal(std::string_view lit) {
        if (data_.substr(pos_, lit.size()) != lit) return false;
        pos_ += lit.size();
        return true;
    }
    bool Byte(uint8_t* b) {
        if (pos_ >= data_.size()) return false;
        *b = uint8_t(data_[pos_++]);
        return true;
    }
    bool AtEnd() const { return pos_ == data_.size(); }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

bool Deserialise(std::string_view data, std::string* reason, TemplateSheet* sheet) {
    Reader r(data);
    uint32_t count = 0;
    if (!r.Literal(kMagic) || !r.Text(reason) || !r.Text(&sheet->name) || !r.U32(&sheet->rows) ||
        !r.U32(&sheet->cols) || !r.U32(&count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        TemplateCell c;
        uint8_t kind = 0;
        if (!r.U32(&c.row) || !r.U32(&c.col) || !r.Byte(&kind) || kind > 2 || !r.Text(&c.text))
            return false;
        c.kind = TemplateCell::Kind(kind);
        sheet->cells.push_back(std::move(c));
    }
    return r.Literal(kEnd) && r.AtEnd();
}

// How long the reading child may take.
constexpr int kReadTimeoutMs = 30000;

// The child's side: reads the file, sends the result through `fd` and ends.
[[noreturn]] void ReadAndSend(const std::string& path, int fd) {
    TemplateSheet read;
    const std::string result = Serialise(ReadWithFreeXl(path, &read), read);
    for (std::size_t done = 0; done < result.size();) {
        const ssize_t n = ::write(fd, result.data() + done, result.size() - done);
        if (n < 0 && errno != EINTR) ::_exit(1);
        if (n > 0) done += std::size_t(n);
    }
    ::_exit(0);
}

// What the child sends through `fd`, until its end closes, its whole result has
// arrived, or kReadTimeoutMs have passed (then *timedOut).
std::string Receive(int fd, bool* timedOut) {
    std::string data;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            *timedOut = true;
            return data;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            *timedOut = ready == 0;
            return data;
        }
        char buf[65536];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return data;
        data.append(buf, std::size_t(n));
        // Complete once the end mark has arrived (the write end may live on in
        // a process forked meanwhile by another thread).
        if (data.ends_with(kEnd)) {
            TemplateSheet probe;
            std::string probeReason;
            if (Deserialise(data, &probeReason, &probe)) return data;
        }
    }
}

// FreeXL 1.0.6 does not survive every damaged file: some make it read outside
// its buffers. So the file is parsed in a child process that sends its result
// through a pipe; a child that crashes, or takes longer than kReadTimeoutMs,
// only costs an error message. Returns false when no child could be started.
bool ReadInChild(const std::string& path, TemplateSheet* sheet, std::string* reason) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    host::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        readEnd.reset();
        ReadAndSend(path, writeEnd.get());
    }
    writeEnd.reset();

    bool timedOut = false;
    const std::string data = Receive(readEnd.get(), &timedOut);
    readEnd.reset();
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    *sheet = TemplateSheet{};
    if (timedOut) {
        *reason = "the reader gave up on the file after " + std::to_string(kReadTimeoutMs / 1000) +
                  " seconds";
    } else if (!Deserialise(data, reason, sheet)) {
        *sheet = TemplateSheet{};
        *reason = "the workbook is damaged (the reader failed on it)";
    }
    return true;
}

// Looks at the signature first: FreeXL calls a short text file "unreadable",
// opens folders and waits on a FIFO. Returns the reason of a refusal, or an
// empty text.
std::string CheckSignature(const std::string& utf8Path) {
    const host::UniqueFd fd(host::OpenRegularOsFile(utf8Path));
    if (!fd)
        return GetIOErrorN() == host::kErrorText ? "not a regular file"
                                                 : "the file does not exist or cannot be opened";
    static constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    unsigned char head[8] = {};
    ssize_t n;
    while ((n = ::read(fd.get(), head, sizeof head)) < 0 && errno == EINTR) {
    }
    if (n < 0) return "the file cannot be read";
    if (std::size_t(n) < sizeof head || std::memcmp(head, kSignature, sizeof head) != 0)
        return "not an Excel 97-2003 (.xls) file";
    return {};
}

}  // namespace

bool ReadTemplate(const std::string& utf8Path, TemplateSheet* sheet, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error) *error = "cannot read spreadsheet template '" + utf8Path + "': " + reason;
        *sheet = TemplateSheet{};
        return false;
    };
    *sheet = TemplateSheet{};
    if (const std::string why = CheckSignature(utf8Path); !why.empty()) return fail(why);

    std::string reason;
    if (!ReadInChild(utf8Path, sheet, &reason)) reason = ReadWithFreeXl(utf8Path, sheet);
    if (!reason.empty()) return fail(reason);
    return true;
}

std::string ReplaceMarkers(std::string_view text, const NameResolver& resolve) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto [name, length] = MarkerAt(text, i);
        if (length) {
            if (auto value = resolve(name)) {
                out += *value;
                i += length;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::vector<std::string> FindMarkers(std::string_view text) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto [name, length] = MarkerAt(text, i);
        if (length) {
            names.emplace_back(name);
            i += length - 1;
        }
    }
    return names;
}

}  // namespace host::xls
