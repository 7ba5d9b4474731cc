// The list of operations without demand: what its filter lets through, and the
// words shown in its place when the operations are not known.
#include <gtest/gtest.h>

#include <cstring>

#include "common/cp1251.h"
#include "operations_view.h"

using namespace host::literals;

namespace {

TEST(OperationsView, TheFilterKeepsTheChosenClassAndContourAndNeverADemand) {
    const auto op = [](const char* sensor, uint8_t cls) {
        TW_Operation o;
        std::strcpy(o.Sensor, sensor);
        o.Class = cls;
        return o;
    };
    const std::vector<TW_Operation> ops{op("C", TW_OpDemand),      op("A", TW_OpUnexplained),
                                        op("B", TW_OpCommanded),   op("B", TW_OpUnexplained),
                                        op("A", TW_OpShortDemand), op("B", TW_OpMaintenance),
                                        op("A", TW_OpByRelay),     op("A", TW_OpDemand)};
    constexpr int kAll = TW_OpsFilter::kAllButDemand;
    const struct {
        int cls;
        const char* sensor;
        std::vector<std::size_t> rows;
    } cases[] = {
        {kAll, "", {1, 2, 3, 4, 5, 6}},
        {TW_OpUnexplained, "", {1, 3}},
        {TW_OpCommanded, "", {2}},
        {TW_OpDemand, "", {}},
        {kAll, "B", {2, 3, 5}},
        {TW_OpUnexplained, "A", {1}},
        {kAll, "C", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TW_FilterOperations(ops, {c.cls, c.sensor}), c.rows) << c.cls << c.sensor;
    // The contours to choose from: those with an operation the list can show.
    EXPECT_EQ(TW_OpsSensors(ops), (std::vector<std::string>{"A", "B"}));
}

TEST(OperationsView, UnknownOperationsAreToldWhy) {
    const struct {
        std::size_t missing, unreadable;
        const char* text;
    } cases[] = {
        {2, 0, "Срабатывания неизвестны: у 2 отчетов нет файла срабатываний"_cp},
        {0, 1, "Срабатывания неизвестны: не прочитано файлов срабатываний: 1"_cp},
        {1, 2,
         "Срабатывания неизвестны: у 1 отчетов нет файла срабатываний; не прочитано файлов "
         "срабатываний: 2"_cp},
        {0, 0, "Срабатывания неизвестны: за период нет файлов срабатываний"_cp},
    };
    for (const auto& c : cases) {
        TW_PeriodOperations ops;
        ops.Missing.assign(c.missing, "a.twr");
        EXPECT_EQ(TW_OpsUnknownText(ops, c.unreadable), c.text);
    }
}

}  // namespace
