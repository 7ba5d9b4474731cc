#include "rule_entries.h"

#include <algorithm>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "common/timetext.h"
#include "contour_entries.h"
#include "plantdb/dbdatabase.h"
#include "tw_contourarray.h"
#include "tw_fieldtext.h"

using namespace host::literals;

namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string CheckCommandNames(const std::string& line, const std::string& variable,
                              const std::vector<std::string>& lines, const HDBDatabase* database) {
    if (line.empty()) return "Не задано реле или аппарат команды"_cp;
    if (!Contains(lines, line))
        return host::Format("\"%s\" не является реле или аппаратом ни одного контура"_cp,
                            line.c_str());
    if (variable.empty()) return "Не задана переменная команды"_cp;
    if (!database || database->ConfigId == 0)
        return "Конфигурация не загружена: переменную команды нельзя проверить"_cp;
    if (!TW_FindVariable(database, variable.c_str()))
        return host::Format("Переменная \"%s\" не найдена в конфигурации"_cp, variable.c_str());
    return {};
}

std::string CheckSeconds(long long seconds) {
    if (seconds >= 0 && seconds <= kMaxCommandSeconds) return {};
    return host::Format("Неверное время команды: ожидается от 0 до %d с"_cp, kMaxCommandSeconds);
}

std::string CheckWindowLine(const std::string& line, const std::vector<std::string>& lines) {
    if (line.empty()) return "Не задано реле или аппарат окна обслуживания"_cp;
    if (line != kEveryLine && !Contains(lines, line))
        return host::Format(
            "\"%s\" не является реле или аппаратом ни одного контура (\"*\" - любая линия)"_cp,
            line.c_str());
    return {};
}

std::string CheckWindowTimes(const PRTime& from, const PRTime& to) {
    if (from < to) return {};
    return "Окно обслуживания должно кончаться позже начала"_cp;
}

// A state field's code: the first word as a whole decimal number 0..65535.
bool ParseCode(const std::string& text, uint16_t& code) {
    const long value = Str2Digit(StrGetCol(text.c_str(), 1, " "), 10, -1);
    if (value < 0 || value > 0xFFFF) return false;
    code = uint16_t(value);
    return true;
}

}  // namespace

std::vector<std::string> TW_ContourLines(const TW_ContourArray& contours) {
    std::vector<std::string> lines;
    for (int i = 0; i < contours.Count(); ++i) {
        const TW_Contour& c = *contours.ItemINT(i);
        for (const std::string& name : {TW_FieldText(c.Rele.Sensor), TW_FieldText(c.Prot.Sensor)})
            if (!name.empty() && !Contains(lines, name)) lines.push_back(name);
    }
    return lines;
}

TW_CommandEntries TW_EntriesOf(const TW_Command& command) {
    return {command.Line, command.Variable, std::to_string(command.State), int(command.Seconds)};
}

TW_WindowEntries TW_EntriesOf(const TW_MaintenanceWindow& window) {
    return {window.Variable, host::TimeText(window.From), host::TimeText(window.To), window.Note};
}

std::string TW_CheckCommand(const TW_Command& command, const std::vector<std::string>& lines,
                            const HDBDatabase* database) {
    std::string problem = CheckCommandNames(command.Line, command.Variable, lines, database);
    return problem.empty() ? CheckSeconds(command.Seconds) : problem;
}

std::string TW_CheckWindow(const TW_MaintenanceWindow& window,
                           const std::vector<std::string>& lines) {
    std::string problem = CheckWindowLine(window.Variable, lines);
    return problem.empty() ? CheckWindowTimes(window.From, window.To) : problem;
}

std::string TW_ReadCommand(const TW_CommandEntries& e, const std::vector<std::string>& lines,
                           const HDBDatabase* database, TW_Command& out) {
    TW_Command c;
    c.Line = e.line;
    c.Variable = e.variable;
    if (std::string problem = CheckCommandNames(c.Line, c.Variable, lines, database);
        !problem.empty())
        return problem;
    if (!ParseCode(e.state, c.State))
        return "Неверный статус команды: ожидается число от 0 до 65535"_cp;
    if (std::string problem = CheckSeconds(e.seconds); !problem.empty()) return problem;
    c.Seconds = uint32_t(e.seconds);
    out = std::move(c);
    return {};
}

std::string TW_ReadWindow(const TW_WindowEntries& e, const std::vector<std::string>& lines,
                          TW_MaintenanceWindow& out) {
    TW_MaintenanceWindow w;
    w.Variable = e.line;
    w.Note = e.note;
    if (std::string problem = CheckWindowLine(w.Variable, lines); !problem.empty()) return problem;
    if (!host::ParseTimeText(e.from.c_str(), w.From))
        return "Неверное начало окна обслуживания: ожидается ГГГГ-ММ-ДД ЧЧ:ММ:СС"_cp;
    if (!host::ParseTimeText(e.to.c_str(), w.To))
        return "Неверный конец окна обслуживания: ожидается ГГГГ-ММ-ДД ЧЧ:ММ:СС"_cp;
    if (std::string problem = CheckWindowTimes(w.From, w.To); !problem.empty()) return problem;
    out = std::move(w);
    return {};
}
