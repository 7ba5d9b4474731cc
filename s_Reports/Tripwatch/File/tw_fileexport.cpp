// TW_File's spreadsheet export, preview and print through the report engine.
#include <filesystem>
#include <string>
#include <system_error>

#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "tw_datamodule.h"
#include "tw_file.h"

void TW_File::CreateData() {
    if (DataModule) return;
    DataModule = new TTW_DataModule();
    DataModuleDeleter = [](TTW_DataModule* module) { delete module; };
}

bool TW_File::ExportToXLS(const char* base) {
    char folder[kMaxPath];
    if (!base) base = FPath(folder, FileName, '/');
    StatString<261> name;
    MakeFileName(name, base, "xls");
    CreateData();
    DataModule->Prepare(this);
    DataModule->report.SetTemplate(Template.c_str());
    if (DataModule->report.Export(name)) return true;
    // The empty file MakeFileName reserved is not left behind; the error stays.
    const std::string error = GetIOErrorS_GUI(-2);
    std::error_code ec;
    const std::filesystem::path path = host::OsPath(name);
    if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0)
        std::filesystem::remove(path, ec);
    SetError("%s", error.c_str());
    return false;
}

bool TW_File::Preview() {
    CreateData();
    DataModule->Prepare(this);
    DataModule->report.SetTemplate(Template.c_str());
    return DataModule->report.Preview();
}

bool TW_File::Print() {
    CreateData();
    DataModule->Prepare(this);
    return DataModule->report.Print();
}
