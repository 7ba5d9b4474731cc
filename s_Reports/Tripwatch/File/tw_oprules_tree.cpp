// The commands and maintenance windows of a job in the host's configuration tree.
#include <limits>
#include <string>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "common/timetext.h"
#include "config/configcheck.h"
#include "config/configitem.h"
#include "tw_oprules.h"

using namespace host::literals;

namespace {

constexpr int64_t kMaxCommandSeconds = 86400;

// The items of list node `name` of the job, each read by `read`; a missing
// item stops the reading with a record in `check`.
template <class Read>
void ReadList(HConfigItem& job, const char* name, HConfigCheck& check, Read read) {
    HConfigItem* list = job.FindChild(name);
    if (!list) return;
    const int64_t count = check.Int(*list, "Count", 0, std::numeric_limits<int32_t>::max(), 0);
    for (int64_t i = 0; i < count && check.Ok(); ++i) {
        const std::string itemName = host::Format("Item%lld", static_cast<long long>(i));
        HConfigItem* item = list->FindChild(itemName.c_str());
        if (!item) {
            check.Fail(*list, "Count",
                       host::Format("записано %lld, но узла %s нет"_cp,
                                    static_cast<long long>(count), itemName.c_str()));
            return;
        }
        read(*item);
    }
}

// A variable name: a text that is not empty.
std::string Name(HConfigItem& item, const char* key, HConfigCheck& check) {
    std::string name = check.Str(item, key, "");
    if (name.empty() && check.Ok()) check.Fail(item, key, "ожидается имя переменной"_cp);
    return name;
}

// A moment "YYYY-MM-DD HH:MM:SS" of local time.
PRTime Moment(HConfigItem& item, const char* key, HConfigCheck& check) {
    PRTime t;
    const std::string text = check.Str(item, key, "");
    if (check.Ok() && !host::ParseTimeText(text.c_str(), t))
        check.Fail(
            item, key,
            host::Format("ожидается время ГГГГ-ММ-ДД ЧЧ:ММ:СС, записано \"%s\""_cp, text.c_str()));
    return t;
}

}  // namespace

bool TW_LoadOperationRules(HConfigItem& job, TW_OperationRules& rules) {
    rules = TW_OperationRules{};
    HConfigCheck check;
    ReadList(job, "Commands", check, [&](HConfigItem& item) {
        TW_Command c;
        c.Line = Name(item, "Line", check);
        c.Variable = Name(item, "Variable", check);
        c.State = uint16_t(check.Int(item, "State", 0, 65535, 0));
        c.Seconds = uint32_t(check.Int(item, "Seconds", 0, kMaxCommandSeconds, 0));
        rules.Commands.push_back(std::move(c));
    });
    ReadList(job, "Maintenance", check, [&](HConfigItem& item) {
        TW_MaintenanceWindow w;
        w.Variable = Name(item, "Variable", check);
        w.From = Moment(item, "From", check);
        w.To = Moment(item, "To", check);
        if (check.Ok() && !(w.From < w.To))
            check.Fail(item, "To", "окно обслуживания должно кончаться позже начала"_cp);
        w.Note = check.Str(item, "Note", "");
        rules.Maintenance.push_back(std::move(w));
    });
    if (check.Report()) return true;
    rules = TW_OperationRules{};
    return false;
}

namespace {

// Writes list node `name` of the job: "Count" and one item per element, each
// filled by `write`; a tree opened read-only is left as it is.
template <class T, class Write>
void WriteList(HConfigItem& job, const char* name, const std::vector<T>& items, Write write) {
    HConfigItem* list = job.GetChild(name);
    if (!list) return;
    list->SetInt("Count", int32_t(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i)
        if (HConfigItem* item = list->GetChild(host::Format("Item%zu", i).c_str()))
            write(*item, items[i]);
}

}  // namespace

void TW_SaveOperationRules(HConfigItem& job, const TW_OperationRules& rules) {
    WriteList(job, "Commands", rules.Commands, [](HConfigItem& item, const TW_Command& c) {
        item.SetStr("Line", c.Line.c_str());
        item.SetStr("Variable", c.Variable.c_str());
        item.SetInt("State", c.State);
        item.SetInt("Seconds", int32_t(c.Seconds));
    });
    WriteList(job, "Maintenance", rules.Maintenance,
              [](HConfigItem& item, const TW_MaintenanceWindow& w) {
                  item.SetStr("Variable", w.Variable.c_str());
                  item.SetStr("From", host::TimeText(w.From).c_str());
                  item.SetStr("To", host::TimeText(w.To).c_str());
                  item.SetStr("Note", w.Note.c_str());
              });
}
