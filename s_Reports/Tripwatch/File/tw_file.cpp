#include "tw_file.h"

TW_File::TW_File() : MyRefArray<TW_ContourLine>(100, 1000, nullptr) {}

TW_File::~TW_File() {
    if (DataModule && DataModuleDeleter) DataModuleDeleter(DataModule);
    DataModule = nullptr;
    DeleteAll();
}

void TW_File::DeleteAll() {
    MyRefArray<TW_ContourLine>::DeleteAll();
    Times.clear();
}

void TW_File::DeleteNum(int index) {
    // Times that were one per item stay so.
    if (Times.size() == std::size_t(Count()) && index >= 0 && index < Count())
        Times.erase(Times.begin() + index);
    MyRefArray<TW_ContourLine>::DeleteNum(index);
}
