// The CSV importer (`rthost import`): a home with a small configuration, into
// whose archive each input is imported; the archive is emptied after each one
// that imports, so that every input meets the same home.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "csv/archive_csv.h"
#include "plantdb/dbdatabase.h"
#include "fuzz_input.h"

namespace {

// TMPDIR/twfuzz-home-PID with Config/fuzz.rtdb: two variables of a type with
// the states 0 to 3, valid since 2000. Removed when the process ends.
class ScratchHome {
  public:
    ScratchHome() {
        const char* tmp = std::getenv("TMPDIR");
        dir_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/twfuzz-home-" + std::to_string(getpid());
        std::filesystem::create_directories(dir_ + "/Config");
        HDBDatabase db;
        db.ConfigId = 1;
        db.ConfigTime.Set(2000, 1, 1, 0, 0, 0);
        db.AddStateSet(1, "Discrete", 0, 3);
        const int object = db.AddObject("Unit");
        const int place = db.AddPlace("Hall");
        const int type = db.AddType("Switch", 1);
        db.AddVariable("T1", uint16_t(type), uint16_t(object), uint16_t(place));
        db.AddVariable("Q1", uint16_t(type), uint16_t(object), uint16_t(place));
        DBSaveDatabase(db, (dir_ + "/Config/fuzz.rtdb").c_str());
    }
    ~ScratchHome() { Remove(""); }
    ScratchHome(const ScratchHome&) = delete;
    ScratchHome& operator=(const ScratchHome&) = delete;

    const std::string& Dir() const { return dir_; }
    void Remove(const char* part) const {
        std::error_code ignored;
        std::filesystem::remove_all(dir_ + part, ignored);
    }

  private:
    std::string dir_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const ScratchHome home;
    const char* path = twfuzz::WriteInput(data, size, ".csv");
    if (host::ImportCsv(home.Dir().c_str(), path)) home.Remove("/Archive");
    return 0;
}
