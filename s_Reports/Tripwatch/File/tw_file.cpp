#include "tw_file.h"

TW_File::TW_File() : MyRefArray<TW_ContourLine>(100, 1000, nullptr) {}

TW_File::~TW_File() {
    if (DataModule && DataModuleDeleter) DataModuleDeleter(DataModule);
    DataModule = nullptr;
    DeleteAll();
}
