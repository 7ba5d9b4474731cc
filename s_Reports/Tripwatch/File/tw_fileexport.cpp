// TW_File's spreadsheet export, preview and print through the report engine.
#include <string>

#include "common/cp1251.h"
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

bool TW_File::ExportToXLS(const char* base, StatString<261>* written) {
    char folder[kMaxPath];
    if (!base) base = FPath(folder, FileName, '/');
    CreateData();
    DataModule->Prepare(this);
    DataModule->report.SetTemplate(Template.c_str());
    DataModule->report.ExtraSheets = ExtraSheets;
    StatString<261> name;
    // The engine writes the workbook over the temporary file, by its cp1251 name.
    const auto write = [this](const std::string& osTemp, const char* fileName) {
        const std::string temp = host::Utf8ToCp1251Lossy(osTemp);
        if (DataModule->report.Export(temp.c_str())) return true;
        // The engine's message names the file it wrote; the user knows the report's name.
        std::string error = GetIOErrorS_GUI(-2);
        if (const std::size_t at = error.find(temp); at != std::string::npos)
            error.replace(at, temp.size(), fileName);
        SetError("%s", error.c_str());
        return false;
    };
    const bool ok = WriteNewFile(name, base, "xls", write);
    if (written) *written = name;
    return ok;
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
