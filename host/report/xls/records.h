// BIFF8 records for the workbook writer (internal to host_xls): the record
// types, little-endian record data, the two string forms and whole records.
// Helpers that meet a fault in the model throw std::invalid_argument (Fault).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host::xls::detail {

// Record types.
enum : uint16_t {
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kPrecision = 0x000E,
    kCalcRefMode = 0x000F,
    kCalcDelta = 0x0010,
    kCalcIter = 0x0011,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kExternSheet = 0x0017,
    kName = 0x0018,
    kWindowProtect = 0x0019,
    kHorizontalPageBreaks = 0x001B,
    kDate1904 = 0x0022,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kPrintHeaders = 0x002A,
    kPrintGrid = 0x002B,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kPane = 0x0041,
    kBackup = 0x0040,
    kCodepage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kCalcSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kHideObj = 0x008D,
    kFnGroupCount = 0x009C,
    kAutoFilterInfo = 0x009D,
    kSetup = 0x00A1,
    kMms = 0x00C1,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kMergedCells = 0x00E5,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kTabId = 0x013D,
    kUsesElfs = 0x0160,
    kDsf = 0x0161,
    kProt4Rev = 0x01AF,
    kSupBook = 0x01AE,
    kRefreshAll = 0x01B7,
    kProt4RevPass = 0x01BC,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kRow = 0x0208,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kBof = 0x0809,
};

// The most data one record may carry; longer data go on in CONTINUE records.
inline constexpr std::size_t kMaxRecordData = 8224;

// Substreams that a BOF record begins.
inline constexpr uint16_t kGlobalsSubstream = 0x0005;
inline constexpr uint16_t kWorksheetSubstream = 0x0010;

// Throws std::invalid_argument with `what`: the model cannot be written.
[[noreturn]] void Fault(const std::string& what);

// Little-endian record data.
class Data {
  public:
    Data& U8(uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    Data& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    Data& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    Data& F64(double v) {
        const auto bits = std::bit_cast<uint64_t>(v);
        return U32(uint32_t(bits)).U32(uint32_t(bits >> 32));
    }
    Data& Zeros(std::size_t n) {
        b_.insert(b_.end(), n, 0);
        return *this;
    }
    const std::vector<uint8_t>& bytes() const { return b_; }
    std::size_t size() const { return b_.size(); }

  private:
    std::vector<uint8_t> b_;
};

// Whether every unit is at most U+00FF, so that the text is stored one byte a
// character; otherwise it is stored as UTF-16LE.
bool FitsLatin1(std::u16string_view s);

// XLUnicodeString: u16 length, flags, characters.
void PutString16(Data& d, std::u16string_view s);
// ShortXLUnicodeString: u8 length, flags, characters.
void PutString8(Data& d, std::u16string_view s);

// Appends the record to `out`; Fault when `d` is longer than kMaxRecordData.
void PutRecord(std::vector<uint8_t>& out, uint16_t type, const Data& d);
void PutU16Record(std::vector<uint8_t>& out, uint16_t type, uint16_t v);
void PutBof(std::vector<uint8_t>& out, uint16_t substream);

}  // namespace host::xls::detail
