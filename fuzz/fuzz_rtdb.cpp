// Host configuration files (.rtdb, SQLite) as the settings dialog loads them:
// the header alone, then the whole database and its state tables.
#include "plantdb/dbdatabase.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".rtdb");
    uint32_t id = 0;
    PRTime time;
    DBReadConfigHeader(path, id, time);
    HDBDatabase* db = DBCreateDatabase();
    if (RTLoadDBCfgINF(nullptr, path, db)) {
        DBInitTables(db, nullptr, nullptr);
        for (int i = 0; i < 4; ++i)
            db->VariableStateSet(i);
        db->FindVariable("U1.P01.Sensor");
    }
    HDBDestroy(db);
    return 0;
}
