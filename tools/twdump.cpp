// twdump: prints a report file (".twr") as JSON in UTF-8: the header, the record
// size, the item count and every member of every item. When the report has a
// times file beside it, the header also names it ("TimesFile", the name without
// its folder) and every item ends with its "Times"; a report without one prints
// exactly as before, and a times file that cannot be used is named with the
// reason on standard error. Its operations file, when there is one of the same
// computation, is named too ("OperationsFile") and its entries come in
// "Operations" before the items; an operations file given alone (a day without
// incidents has no report file) prints its header and "Operations". On a file
// that cannot be read it prints the reason on standard error and exits with 1;
// a wrong command line exits with 2.
//
//   twdump FILE.twr
//   twdump FILE.two
#include <cstdio>
#include <cstring>
#include <string>

#include "common/prtime.h"
#include "common/cp1251.h"
#include "common/lasterror.h"
#include "tw_json.h"

namespace {

int Fail(const std::string& utf8) {
    std::fprintf(stderr, "twdump: %s\n", utf8.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    host::LoadLocalZoneOnce();
    if (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))) {
        std::printf("usage: twdump FILE.twr | FILE.two\n");
        return 0;
    }
    // An option it does not know is a wrong command line, not a file name.
    if (argc != 2 || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::fprintf(stderr, "usage: twdump FILE.twr | FILE.two\n");
        return 2;
    }
    std::string path;  // cp1251, as the system's file layer takes it
    if (!host::Utf8ToCp1251(argv[1], path)) return Fail("file name without a cp1251 form");
    bool written = true;
    const bool ok = TW_DumpReportJson(
        path.c_str(), argv[1],
        [&](std::string_view piece) {
            written = std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
            return written;
        },
        [](const std::string& note) { std::fprintf(stderr, "twdump: %s\n", note.c_str()); });
    if (!ok && written) return Fail(host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)));
    return ok && std::fflush(stdout) == 0 ? 0 : 1;
}
