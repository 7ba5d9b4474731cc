// The commands and maintenance windows as the settings dialog reads them from
// its forms: what they may name and the refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "common/cp1251.h"
#include "plantdb/dbdatabase.h"
#include "rule_entries.h"
#include "tw_contourarray.h"

using namespace host::literals;

namespace {

bool operator==(const TW_Command& a, const TW_Command& b) {
    return a.Line == b.Line && a.Variable == b.Variable && a.State == b.State &&
           a.Seconds == b.Seconds;
}

bool operator==(const TW_MaintenanceWindow& a, const TW_MaintenanceWindow& b) {
    return a.Variable == b.Variable && a.From == b.From && a.To == b.To && a.Note == b.Note;
}

TEST(RuleEntries, AnEntryIsTakenOnlyWhenItNamesAContourLineAndItsValuesHold) {
    HDBDatabase db;
    db.ConfigId = 7;
    db.AddStateSet(1, "S", 0, 3);
    db.AddVariable("Q1.CMD", uint16_t(db.AddType("T", 1)));
    TW_ContourArray contours;
    TW_Contour c{};
    std::strcpy(c.Sensor, "TS1");
    std::strcpy(c.Rele.Sensor, "R1");
    std::strcpy(c.Prot.Sensor, "Q1");
    contours.Add(c);
    c.Rele.Sensor[0] = '\0';  // a second contour on the same apparatus, without a relay
    contours.Add(c);
    const std::vector<std::string> lines = TW_ContourLines(contours);
    ASSERT_EQ(lines, (std::vector<std::string>{"R1", "Q1"}));

    const TW_CommandEntries command{"Q1", "Q1.CMD", "3 - Отключить"_cp, 5};
    const std::string notALine = "не является реле или аппаратом ни одного контура"_cp;
    const std::string badState = "Неверный статус команды: ожидается число от 0 до 65535"_cp;
    const std::string badSeconds = "Неверное время команды: ожидается от 0 до 86400 с"_cp;
    const struct {
        void (*change)(TW_CommandEntries&, HDBDatabase&);
        std::string problem;  // a part of the message; empty = taken
    } commands[] = {
        {[](TW_CommandEntries&, HDBDatabase&) {}, ""},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.line = "R1", e.state = "65535"; }, ""},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.seconds = 86400; }, ""},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.line.clear(); },
         "Не задано реле или аппарат команды"_cp},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.line = "TS1"; }, notALine},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.line = "*"; }, notALine},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.variable.clear(); },
         "Не задана переменная команды"_cp},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.variable = "X9"; },
         "Переменная \"X9\" не найдена в конфигурации"_cp},
        {[](TW_CommandEntries&, HDBDatabase& d) { d.ConfigId = 0; },
         "Конфигурация не загружена: переменную команды нельзя проверить"_cp},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.state = "65536"; }, badState},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.state = "-1"; }, badState},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.state.clear(); }, badState},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.seconds = 86401; }, badSeconds},
        {[](TW_CommandEntries& e, HDBDatabase&) { e.seconds = -1; }, badSeconds},
    };
    for (const auto& k : commands) {
        TW_CommandEntries e = command;
        k.change(e, db);
        SCOPED_TRACE(e.line + " " + e.variable + " " + e.state + " " + std::to_string(e.seconds));
        TW_Command read{"old", "old", 1, 1};
        const TW_Command old = read;
        const std::string problem = TW_ReadCommand(e, lines, &db, read);
        db.ConfigId = 7;
        if (k.problem.empty()) {
            ASSERT_EQ(problem, "");
            EXPECT_EQ(read.Line, e.line);
            EXPECT_EQ(read.State, e.state == "65535" ? 65535 : 3);
            EXPECT_EQ(read.Seconds, uint32_t(e.seconds));
            // The form shows a command as it reads back.
            TW_Command again;
            EXPECT_EQ(TW_ReadCommand(TW_EntriesOf(read), lines, &db, again), "");
            EXPECT_TRUE(again == read);
        } else {
            EXPECT_NE(problem.find(k.problem), std::string::npos) << problem;
            EXPECT_TRUE(read == old);
        }
    }

    const TW_WindowEntries window{"*", "2026-12-06 08:00:00", "2026-12-06 09:00:00", "Ремонт"_cp};
    const std::string order = "Окно обслуживания должно кончаться позже начала"_cp;
    const struct {
        void (*change)(TW_WindowEntries&);
        std::string problem;
    } windows[] = {
        {[](TW_WindowEntries&) {}, ""},
        {[](TW_WindowEntries& e) { e.line = "R1", e.note.clear(); }, ""},
        {[](TW_WindowEntries& e) { e.line.clear(); },
         "Не задано реле или аппарат окна обслуживания"_cp},
        {[](TW_WindowEntries& e) { e.line = "TS1"; }, notALine},
        {[](TW_WindowEntries& e) { e.from = "2026-12-06 8:00"; },
         "Неверное начало окна обслуживания: ожидается ГГГГ-ММ-ДД ЧЧ:ММ:СС"_cp},
        {[](TW_WindowEntries& e) { e.to.clear(); },
         "Неверный конец окна обслуживания: ожидается ГГГГ-ММ-ДД ЧЧ:ММ:СС"_cp},
        {[](TW_WindowEntries& e) { e.to = e.from; }, order},
        {[](TW_WindowEntries& e) { e.to = "2026-12-05 23:00:00"; }, order},
    };
    for (const auto& k : windows) {
        TW_WindowEntries e = window;
        k.change(e);
        SCOPED_TRACE(e.line + " " + e.from + " " + e.to);
        TW_MaintenanceWindow read{"old", {}, {}, "old"};
        const TW_MaintenanceWindow old = read;
        const std::string problem = TW_ReadWindow(e, lines, read);
        if (k.problem.empty()) {
            ASSERT_EQ(problem, "");
            EXPECT_EQ(read.Variable, e.line);
            EXPECT_EQ(read.Note, e.note);
            EXPECT_EQ(read.To.Hour, 9);
            TW_MaintenanceWindow again;
            EXPECT_EQ(TW_ReadWindow(TW_EntriesOf(read), lines, again), "");
            EXPECT_TRUE(again == read);
        } else {
            EXPECT_NE(problem.find(k.problem), std::string::npos) << problem;
            EXPECT_TRUE(read == old);
        }
    }
}

}  // namespace
