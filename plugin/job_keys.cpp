#include "job_keys.h"

#include <algorithm>
#include <limits>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "config/configcheck.h"
#include "config/configitem.h"

using namespace host::literals;

namespace tripplug {

namespace {

using enum JobKeyEntry::Type;

constexpr JobDefault Fixed(bool flag) {
    return {JobDefault::Fixed, flag, nullptr};
}
constexpr JobDefault Fixed(const char* text) {
    return {JobDefault::Fixed, false, text};
}
constexpr JobDefault kNotRead{JobDefault::NotRead};
constexpr JobDefault kMoment{JobDefault::Moment};
constexpr JobDefault kCurrent{JobDefault::Current};

constexpr const char* kFolder = "Reports";

// A row without `dialog` shows the run's default in the dialog too.
constexpr JobKeyEntry kKeys[] = {
    // The name is part of the report files' names: it cannot lead out of the
    // output folders, nor hold a control character (a newline, TAB, DEL, NUL).
    {.key = JobKey::Name,
     .name = "Name",
     .type = Text,
     .forbidden = "/\\",
     .expected = "имя без знаков / и \\ и управляющих символов"_cp,
     .run = Fixed("Report")},
    {.key = JobKey::LoadCfg,
     .name = "LoadCfg",
     .type = Flag,
     .run = kNotRead,
     .dialog = Fixed(true)},
    {.key = JobKey::CfgFile, .name = "CfgFile", .type = Text, .run = kNotRead, .dialog = Fixed("")},
    {.key = JobKey::UseCfg, .name = "UseCfg", .type = Flag, .run = Fixed(true)},
    {.key = JobKey::CfgDate, .name = "CfgDate", .type = Date, .run = kMoment},
    {.key = JobKey::CfgTime, .name = "CfgTime", .type = Date, .run = kMoment},
    {.key = JobKey::SaveVals, .name = "SaveVals", .type = Flag, .run = Fixed(true)},
    {.key = JobKey::ValPath, .name = "ValPath", .type = Text, .run = Fixed(kFolder)},
    {.key = JobKey::SaveBIN, .name = "SaveBIN", .type = Flag, .run = Fixed(true)},
    {.key = JobKey::ReportDir, .name = "ReportDir", .type = Text, .run = Fixed(kFolder)},
    {.key = JobKey::SaveTXT,
     .name = "SaveTXT",
     .type = Flag,
     .run = Fixed(true),
     .dialog = Fixed(false)},
    {.key = JobKey::TXTDir, .name = "TXTDir", .type = Text, .run = Fixed(kFolder)},
    {.key = JobKey::SaveXLS,
     .name = "SaveXLS",
     .type = Flag,
     .run = Fixed(true),
     .dialog = Fixed(false)},
    {.key = JobKey::XLSDir, .name = "XLSDir", .type = Text, .run = Fixed(kFolder)},
    {.key = JobKey::XLSTempl,
     .name = "XLSTempl",
     .type = Text,
     .run = Fixed("Templates/Tripwatch.xls"),
     .dialog = Fixed("Templates\\Tripwatch.xls")},
    {.key = JobKey::Print, .name = "Print", .type = Flag, .run = Fixed(false)},
    {.key = JobKey::Preview,
     .name = "Preview",
     .type = Flag,
     .run = kNotRead,
     .dialog = Fixed(false)},
    {.key = JobKey::PrvManual,
     .name = "PrvManual",
     .type = Flag,
     .run = kNotRead,
     .dialog = Fixed(true)},
    {.key = JobKey::Sec,
     .name = "Sec%d",
     .type = Integer,
     .min = std::numeric_limits<int32_t>::min(),
     .max = std::numeric_limits<int32_t>::max(),
     .run = kNotRead,
     .dialog = kCurrent},
};

constexpr bool InKeyOrder() {
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        if (std::size_t(kKeys[i].key) != i) return false;
    return true;
}
static_assert(InKeyOrder(), "entry i of the key table is JobKey i");

}  // namespace

std::span<const JobKeyEntry> JobKeys() {
    return kKeys;
}

const JobKeyEntry& Entry(JobKey key) {
    return kKeys[std::size_t(key)];
}

std::string JobKeyName(JobKey key, int column) {
    return key == JobKey::Sec ? host::Format(Entry(key).name, column) : Entry(key).name;
}

const JobDefault& JobReader::Default(JobKey key) const {
    const JobKeyEntry& entry = Entry(key);
    return side_ == JobSide::Run || entry.dialog.kind == JobDefault::NotRead ? entry.run
                                                                             : entry.dialog;
}

bool JobReader::Flag(JobKey key) {
    return check_.Bool(node_, Entry(key).name, Default(key).flag);
}

std::string JobReader::Text(JobKey key) {
    const JobKeyEntry& entry = Entry(key);
    const char* defaultValue = Default(key).text;
    std::string value = check_.Str(node_, entry.name, defaultValue);
    const bool control = std::any_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (side_ != JobSide::Run || !entry.forbidden ||
        (value.find_first_of(entry.forbidden) == std::string::npos && !control))
        return value;
    check_.Fail(node_, entry.name,
                host::Format("ожидается %s, записано \"%s\""_cp, entry.expected, value.c_str()));
    return defaultValue ? defaultValue : "";
}

double JobReader::Date(JobKey key, double moment) {
    return check_.Date(node_, Entry(key).name, moment);
}

int32_t JobReader::ColumnWidth(int column, int32_t current) {
    const JobKeyEntry& entry = Entry(JobKey::Sec);
    return int32_t(
        check_.Int(node_, JobKeyName(JobKey::Sec, column).c_str(), entry.min, entry.max, current));
}

void WriteFlag(HConfigItem& node, JobKey key, bool value) {
    node.SetBool(Entry(key).name, value);
}

void WriteText(HConfigItem& node, JobKey key, const char* value) {
    node.SetStr(Entry(key).name, value);
}

void WriteDate(HConfigItem& node, JobKey key, double value) {
    node.SetDate(Entry(key).name, value);
}

void WriteColumnWidth(HConfigItem& node, int column, int32_t width) {
    node.SetInt(JobKeyName(JobKey::Sec, column).c_str(), width);
}

}  // namespace tripplug
