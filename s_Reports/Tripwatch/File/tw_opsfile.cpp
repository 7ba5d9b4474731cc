#include "tw_opsfile.h"

#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"

using namespace host::literals;

namespace {

const TW_SideFormat kFormat = {
    TW_OpsMagic,
    TW_OpsVersion,
    TW_OpsEntrySize,
    "Неверный формат файла срабатываний!"_cp,
    "Файл срабатываний поврежден или обрезан!"_cp,
    "Неизвестная версия файла срабатываний: %u"_cp,
    "Неверный формат записи файла срабатываний!"_cp,
};

}  // namespace

std::string TW_OpsFileName(const char* reportPath) {
    return TW_SideFileName(reportPath, ".two");
}

bool TW_WriteOpsFile(const char* path, const PRTime& start, const PRTime& end,
                     const PRTime& runTime, const std::vector<TW_Operation>& ops) {
    return TW_WriteSideFile(path, kFormat, start, end, runTime, ops.data(), uint32_t(ops.size()));
}

bool TW_WriteOpsFile(TW_PendingSideFile& pending, const char* path, const PRTime& start,
                     const PRTime& end, const PRTime& runTime,
                     const std::vector<TW_Operation>& ops) {
    return pending.Write(path, kFormat, start, end, runTime, ops.data(), uint32_t(ops.size()));
}

bool TW_ReadOpsFile(const char* path, TW_OpsHeader& header, std::vector<TW_Operation>& ops) {
    ops.clear();
    header = TW_OpsHeader{};
    TW_SideHeader side;
    std::string in;
    if (!TW_ReadSideFile(path, kFormat, side, in)) return false;
    ops.resize(side.Count);
    for (uint32_t i = 0; i < side.Count; ++i) {
        TW_Operation& op = ops[i];
        std::memcpy(&op, in.data() + TW_SideHeaderSize + std::size_t(i) * side.EntrySize,
                    TW_OpsEntrySize);
        if (op.Class >= TW_OpClassCount || op.Role > TW_RoleApparatus) {
            SetError("Неверная запись %u файла срабатываний: класс %u, роль %u"_cp, i + 1,
                     unsigned(op.Class), unsigned(op.Role));
            ops.clear();
            return false;
        }
    }
    header = {side.Start, side.End, side.RunTime, side.Count};
    return true;
}
