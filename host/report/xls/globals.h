// The workbook globals substream (internal to host_xls): BOF, the interface
// and book settings, formats, BOUNDSHEET, the built-in names, SST and EOF.
#pragma once

#include "workbook.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace host::xls::detail {

class Styles;
class StringTable;

// Appends the globals of a workbook of `sheets` (their names, repeated rows and
// autofilters; cells are not looked at) to `out`, which must begin the stream.
// Returns where each sheet's BOUNDSHEET takes the u32 stream offset of its
// substream, which the caller fills in.
std::vector<std::size_t> PutGlobals(std::vector<uint8_t>& out, const Styles& styles,
                                    const StringTable& sst, std::u16string_view author,
                                    const std::vector<Sheet>& sheets);

}  // namespace host::xls::detail
