// The report module as the host sees it: its descriptor, its lifecycle and the
// daily run with every log line and returned text.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>
#include <nlohmann/json.hpp>

#include "common/cp1251.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "config/configtree.h"
#include "shell/demo_plant.h"
#include "request/grabvalues.h"
#include "runtime/runtime.h"
#include "test_env.h"
#include "tw_file.h"
#include "tw_opsfile.h"

using namespace host::literals;
namespace fs = std::filesystem;

namespace {

// 2026-12-08 12:00 Moscow: the demo's archive ends on 2026-12-07.
constexpr time_t kToday = 1796720400;

class Module {
  public:
    Module() {
        const std::string path = std::string(std::getenv("TW_BIN_DIR")) + "/libTripplug.so";
        handle_ = dlopen(path.c_str(), RTLD_NOW);
        if (handle_) {
            query_ = reinterpret_cast<QueryPackageInfoProc>(dlsym(handle_, "QueryPackageInfo"));
            writeJob_ = reinterpret_cast<RTPWriteJobNodeProc>(dlsym(handle_, "WriteJobNode"));
        }
    }
    ~Module() {
        if (handle_) dlclose(handle_);
    }
    std::unique_ptr<RTPModule, void (*)(RTPModule*)> New() {
        return {static_cast<RTPModule*>(query_(0)),
                [](RTPModule* m) { ::operator delete(static_cast<HPackageInfo*>(m)); }};
    }
    bool Loaded() const { return query_ != nullptr; }
    RTPWriteJobNodeProc WriteJob() const { return writeJob_; }

  private:
    void* handle_ = nullptr;
    QueryPackageInfoProc query_ = nullptr;
    RTPWriteJobNodeProc writeJob_ = nullptr;
};

TEST(Descriptor, TwoQueriesGiveTwoIdenticalObjects) {
    Module module;
    ASSERT_TRUE(module.Loaded());
    auto a = module.New();
    auto b = module.New();
    ASSERT_NE(a.get(), b.get());
    EXPECT_EQ(std::memcmp(static_cast<void*>(a.get()), static_cast<void*>(b.get()),
                          3 * sizeof(void*) + 33),
              0);
    EXPECT_EQ(a->PackageKind, 2);
    EXPECT_EQ(a->PackageCode, 100);
    EXPECT_EQ(a->InfoSize, int32_t(3 * sizeof(void*) + 33));
    EXPECT_EQ(a->PackageFlags, 0);
    EXPECT_EQ(a->ModuleKind, 4);
    EXPECT_STREQ(a->Name, "Отключение оборудования"_cp);
    EXPECT_STREQ(a->Description,
                 "Отключение оборудования.\nОтчет контроля отключения оборудования."_cp);
    EXPECT_TRUE(a->Probe());  // also before Init
    RTPInfo info{};
    a->Init(&info);
    a->Init(&info);  // again: the first database is not leaked (the sanitizer build sees it)
    EXPECT_TRUE(a->Probe());
    a->Done();
    a->Done();  // and a second Done frees nothing twice
}

// A demo home, a module initialised on it and a writable copy of its job.
class RunTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        home_ = new std::string(twtest::ScratchDir("home"));
        host::DemoOptions o;
        o.Days = 2;
        o.BackgroundVariables = 20;
        o.Today = kToday;
        host::DemoSummary s;
        Module module;
        ASSERT_TRUE(host::MakeDemoPlant(home_->c_str(), o, module.WriteJob(), s));
    }
    void SetUp() override {
        tz_ = std::make_unique<twtest::ScopedTimeZone>("Europe/Moscow");
        host::SetStartupDir(home_->c_str());
        host::SetLogConsole(false);
        fs::remove_all(*home_ + "Reports");
        // The demo job's contours alone: every job key takes its run default.
        std::ifstream in(*home_ + "Jobs/Daily.json");
        nlohmann::json demo = nlohmann::json::parse(in);
        nlohmann::json contoursOnly = nlohmann::json::object();
        for (auto it = demo.begin(); it != demo.end(); ++it)
            if (it.key() == "Count" || it.key().rfind("Item", 0) == 0)
                contoursOnly[it.key()] = it.value();
        std::ofstream(*home_ + "job.json") << contoursOnly.dump();
        ASSERT_TRUE(job_.Load((*home_ + "job.json").c_str()));
        std::strcpy(context_.Home, home_->c_str());
        info_.Context = &context_;
        module_ = module_loader_.New();
        module_->Init(&info_);
        SetEnd(2026, 12, 7);
    }
    void TearDown() override {
        module_->Done();
        host::SetStartupDir(nullptr);
    }
    void SetEnd(int y, int m, int d) {
        PRTime end;
        end.Set(y, m, d);
        module_->ReportTime = end;
        context_.PeriodEnd = end;
        context_.PeriodStart.Set(end.GetTT() - 86400);
    }
    const char* Run() { return module_->Run(job_.Root()); }
    std::vector<std::string> Files(const std::string& folder) {
        std::vector<std::string> names;
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder))
                names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string* home_;
    std::unique_ptr<twtest::ScopedTimeZone> tz_;
    Module module_loader_;
    std::unique_ptr<RTPModule, void (*)(RTPModule*)> module_{nullptr, nullptr};
    HConfigTree job_;
    RTPHostContext context_;
    RTPInfo info_{};
};
std::string* RunTest::home_ = nullptr;

std::vector<std::string> Cp(std::initializer_list<const char*> lines) {
    return std::vector<std::string>(lines.begin(), lines.end());
}

TEST_F(RunTest, FailuresStopWithTheirTextAndTheLogSoFar) {
    {  // no enabled contour: nothing but the first line
        job_.Root()->GetChild("Item0");
        HConfigTree empty;
        empty.Root()->SetInt("Count", 1);
        empty.Root()->GetChild("Item0")->SetByte("Used", 0);
        host::LogCapture log;
        EXPECT_STREQ(module_->Run(empty.Root()), "Нет сконфигурированных контуров для отчета"_cp);
        EXPECT_EQ(log.lines, Cp({"TW: Анализ контуров..."_cp}));
    }
    {  // an empty period
        module_->ReportTime = PRTime{};
        host::LogCapture log;
        EXPECT_STREQ(Run(), "Расчетный период пуст"_cp);
        EXPECT_EQ(log.lines, Cp({"TW: Анализ контуров..."_cp, "TW: Формирование путей..."_cp,
                                 "TW: Формирование интервала..."_cp}));
    }
    {  // a host without archive or configuration: the library's text
        const std::string bare = twtest::ScratchDir("bare");
        std::strcpy(context_.Home, bare.c_str());
        SetEnd(2027, 6, 1);
        job_.Root()->SetBool("UseCfg", false);
        host::LogCapture log;
        const char* error = Run();
        ASSERT_NE(error, nullptr);
        EXPECT_GT(std::strlen(error), 0u);
        EXPECT_EQ(log.lines.back(),
                  std::string("TW: Запрос данных. Конфигурация за 01.06.2027 00:00:00..."_cp));
        EXPECT_EQ(log.lines.size(), 4u);
        std::strcpy(context_.Home, home_->c_str());
    }
    {  // a contour whose sensor is not in the data
        SetEnd(2026, 12, 7);
        HConfigItem* item = job_.Root()->GetChild("Item0");
        item->SetStr("Sensor", "Нет такого"_cp);
        host::LogCapture log;
        EXPECT_STREQ(Run(), "Датчик \"Нет такого\" не найден в данных"_cp);
        ASSERT_EQ(log.lines.size(), 6u);
        EXPECT_EQ(log.lines[4], std::string("TW: Расcчет значений..."_cp));
        EXPECT_EQ(log.lines[5], std::string("Формирование отчета..."_cp));
        EXPECT_TRUE(Files(*home_ + "Reports").empty() ||
                    Files(*home_ + "Reports")[0].rfind("values_", 0) == 0);
    }
}

// The log lines of a run that name an operation ("Срабатывание: ..."), taken
// out of `lines`.
std::vector<std::string> TakeOperationLines(std::vector<std::string>& lines) {
    std::vector<std::string> taken, rest;
    for (std::string& l : lines)
        (l.rfind("Срабатывание: "_cp, 0) == 0 ? taken : rest).push_back(std::move(l));
    lines = std::move(rest);
    return taken;
}

TEST_F(RunTest, WithoutJobKeysAllThreeReportsGoToReports) {
    host::LogCapture log;
    host::CurrentRunNotes().Clear();
    EXPECT_EQ(Run(), nullptr);
    std::vector<std::string> reports;
    for (const std::string& f : Files(*home_ + "Reports"))
        if (f.rfind("values_", 0) != 0) reports.push_back(f);
    EXPECT_EQ(reports, (std::vector<std::string>{
                           "Report 06-12-2026 00_00-00_00.two", "Report 06-12-2026 00_00-00_00.twr",
                           "Report 06-12-2026 00_00-00_00.twt", "Report 06-12-2026 00_00-00_00.txt",
                           "Report 06-12-2026 00_00-00_00.xls"}));
    // Every operation but those on demand is named in the log, as in its file.
    const std::vector<std::string> logged = TakeOperationLines(log.lines);
    TW_OpsHeader header;
    std::vector<TW_Operation> ops;
    ASSERT_TRUE(TW_ReadOpsFile((*home_ + "Reports/" + reports[0]).c_str(), header, ops));
    std::vector<std::string> named;
    for (const TW_Operation& op : ops)
        if (op.Class != TW_OpDemand) named.push_back("Срабатывание: "_cp + TW_OperationText(op));
    EXPECT_EQ(logged, named);
    EXPECT_GT(TW_CountOperations(ops, TW_OpUnexplained), 0);  // the demo plant has some
    const std::string base = *home_ + "Reports/Report";
    const std::string expected[] = {
        "TW: Анализ контуров..."_cp,
        "TW: Формирование путей..."_cp,
        "TW: Формирование интервала..."_cp,
        "",  // the configuration moment: now
        "TW: Расcчет значений..."_cp,
        "Формирование отчета..."_cp,
        "TW: Анализ срабатываний..."_cp,
        std::string("TW: Сохранение бинарного отчета ["_cp) + base + "]...",
        std::string("TW: Сохранение текстового отчета ["_cp) + base + "]...",
        std::string("Сохранение отчета: ["_cp) + base + " 06-12-2026 00_00-00_00.txt]...",
        std::string("TW: Сохранение отчета XLS ["_cp) + base + "]...",
    };
    ASSERT_GE(log.lines.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
        if (!expected[i].empty()) {
            EXPECT_EQ(log.lines[i], expected[i]) << i;
        }
    for (const std::string& l : log.lines)
        EXPECT_EQ(l.find("TW: Печать"_cp), std::string::npos);
    // SaveVals on by default: the values were kept (flags 3).
    EXPECT_EQ(Files(*home_ + "Reports").size(), reports.size() + 1);
    // The run notes the counts of the report it wrote, for the host's summary.
    TW_File written;
    ASSERT_TRUE(written.Load((*home_ + "Reports/" + reports[1]).c_str()));
    int nonOperations = 0;
    for (int i = 0; i < written.Count(); ++i)
        nonOperations += TW_IsNonOperation(*written.ItemINT(i));
    const host::ReportCounts* counts = host::CurrentRunNotes().Counts();
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(counts->incidents, written.Count());
    EXPECT_EQ(counts->nonOperations, nonOperations);
    EXPECT_GT(nonOperations, 0);  // the demo plant has some
}

TEST_F(RunTest, SettingsChooseMomentValuesAndFolders) {
    job_.Root()->SetBool("UseCfg", true);
    job_.Root()->SetDate("CfgDate", 46362.75);  // 2026-12-06 18:00
    job_.Root()->SetDate("CfgTime", 0.5);       // 12:00
    job_.Root()->SetBool("SaveVals", false);
    job_.Root()->SetStr("ValPath", "Values");
    job_.Root()->SetStr("ReportDir", "Out/");
    job_.Root()->SetStr("TXTDir", (*home_ + "Out").c_str());
    job_.Root()->SetBool("SaveXLS", false);
    host::LogCapture log;
    EXPECT_EQ(Run(), nullptr);
    TakeOperationLines(log.lines);
    EXPECT_EQ(log.lines[3],
              std::string("TW: Запрос данных. Конфигурация за 06.12.2026 12:00:00..."_cp));
    const std::string base = *home_ + "Out/Report";
    EXPECT_EQ(log.lines[7], std::string("TW: Сохранение бинарного отчета ["_cp) + base + "]...");
    EXPECT_EQ(log.lines[8], std::string("TW: Сохранение текстового отчета ["_cp) + base + "]...");
    EXPECT_TRUE(Files(*home_ + "Values").empty());  // flags 1: nothing kept
    EXPECT_EQ(Files(*home_ + "Out").size(), 4u);  // the report, its times and operations, the text

    job_.Root()->SetBool("UseCfg", false);
    job_.Root()->SetBool("SaveVals", true);
    host::LogCapture again;
    EXPECT_EQ(Run(), nullptr);
    EXPECT_EQ(again.lines[3],
              std::string("TW: Запрос данных. Конфигурация за 07.12.2026 00:00:00..."_cp));
    EXPECT_EQ(Files(*home_ + "Values").size(), 1u);  // flags 3
}

// Among `files`, the outputs that follow a failed binary save: one text export
// and one spreadsheet.
void ExpectOneTextAndOneSheet(const std::vector<std::string>& files) {
    int txt = 0, xls = 0;
    for (const std::string& f : files) {
        txt += f.find(".txt") != std::string::npos;
        xls += f.find(".xls") != std::string::npos;
    }
    EXPECT_EQ(txt, 1);
    EXPECT_EQ(xls, 1);
}

TEST_F(RunTest, AFailedBinarySaveIsLoggedAndTheOthersFollow) {
    std::ofstream(*home_ + "Blocked") << "a file where a folder should be";
    job_.Root()->SetStr("ReportDir", "Blocked/sub");
    host::LogCapture log;
    EXPECT_EQ(Run(), nullptr);
    bool logged = false;
    for (const std::string& l : log.lines)
        logged |= l.rfind("Ошибка сохранения отчета: "_cp, 0) == 0;
    EXPECT_TRUE(logged);
    ExpectOneTextAndOneSheet(Files(*home_ + "Reports"));
    fs::remove(*home_ + "Blocked");
}

// The extensions of the reports in a folder, in order ("twr twt txt xls").
std::string ReportKinds(const std::vector<std::string>& files) {
    std::string kinds;
    for (const std::string& f : files)
        if (f.rfind("values_", 0) != 0)
            kinds += (kinds.empty() ? "" : " ") + f.substr(f.size() - 3);
    return kinds;
}

TEST_F(RunTest, AJobFileWithAWrongValueIsRefusedBeforeAnythingRuns) {
    std::ifstream in(*home_ + "Jobs/Daily.json");
    const nlohmann::ordered_json demo = nlohmann::ordered_json::parse(in);
    const int count = demo["Count"].get<int>();
    const std::string path = *home_ + "Jobs/Strict.json";
    const std::string flag = "ожидается флаг (true, false, 1 или 0), записано "_cp;
    const std::string word = "ожидается целое число от 0 до 65535, записано "_cp;
    const std::string nameWanted =
        "ожидается имя без знаков / и \\ и управляющих символов, записано "_cp;
    const std::string dword = "ожидается целое число от 0 до 4294967295, записано "_cp;
    // One value changed in the demo job; `refusal` is the message after the key,
    // empty when the value is taken and the run writes `reports`.
    struct Row {
        std::string item, key, json, refusal, reports;
        std::string place = "";  // where the refusal is, when not at `key` of `item`
    };
    const Row rows[] = {
        {"Item0", "Prot/Used", "true", "", "two twr twt txt xls"},
        {"", "SaveBIN", "0", "", "txt xls"},
        {"Item0", "Interval", "\"20\"", dword + "\"20\"", ""},
        {"Item0", "Prot/MaxTime", "-1", dword + "-1", ""},
        {"Item0", "Rele/MaxTime", "4294967296", dword + "4294967296", ""},
        {"Item0", "State", "65538", word + "65538", ""},
        {"Item1", "Rele/State", "-3", word + "-3", ""},
        {"Item0", "ValueType", "256", "ожидается целое число от 0 до 255, записано 256"_cp, ""},
        {"Item0", "Used", "2", flag + "2", ""},
        {"Item0", "Sensor", "101", "ожидается текст в кавычках, записано 101"_cp, ""},
        {"", "SaveBIN", "\"false\"", flag + "\"false\"", ""},
        {"", "Print", "1.0", flag + "1.0", ""},
        {"", "Name", "5", "ожидается текст в кавычках, записано 5"_cp, ""},
        {"", "Name", "\"../../x\"", nameWanted + "\"../../x\"", ""},
        {"", "Name", "\"a\\\\b\"", nameWanted + "\"a\\b\"", ""},
        {"", "Name", "\"a\\nb\"", nameWanted + "\"a\nb\"", ""},
        {"", "Name", "\"a\\tb\"", nameWanted + "\"a\tb\"", ""},
        {"", "Name", "\"a\\u007fb\"",
         nameWanted + "\"a\x7f"
                      "b\"",
         ""},
        {"", "Name", "\"a\\u0000b\"", nameWanted + "\"a\"", ""},
        {"", "CfgDate", "\"07.12.2026\"",
         "ожидается дата (число дней от 30.12.1899), записано \"07.12.2026\""_cp, ""},
        {"", "Commands", R"({"Count": 1, "Item0": {"Line": "L", "Variable": "V", "State": -1}})",
         word + "-1", "", ", узел Commands/Item0, ключ \"State\""_cp},
        {"", "Maintenance", R"({"Count": 1, "Item0": {"Variable": "*", "From": "x"}})",
         "ожидается время ГГГГ-ММ-ДД ЧЧ:ММ:СС, записано \"x\""_cp, "",
         ", узел Maintenance/Item0, ключ \"From\""_cp},
        {"", "Count", std::to_string(count + 1),
         host::Format("записано %d, но узла Item%d нет"_cp, count + 1, count), ""},
    };
    auto refused = [&](const Row& r) {
        if (!r.place.empty())
            return "Файл настроек \""_cp + path + "\"" + r.place + ": " + r.refusal;
        const std::string place = r.item.empty() ? "" : ", узел "_cp + r.item;
        return "Файл настроек \""_cp + path + "\"" + place + ", ключ \""_cp + r.key +
               "\": " + r.refusal;
    };
    for (const Row& r : rows) {
        nlohmann::ordered_json job = demo;
        (r.item.empty() ? job : job[r.item])[r.key] = nlohmann::ordered_json::parse(r.json);
        std::ofstream(path) << job.dump(2);
        HConfigTree tree;
        ASSERT_TRUE(tree.Load(path.c_str(), true));
        fs::remove_all(*home_ + "Reports");
        host::LogCapture log;
        const char* error = module_->Run(tree.Root());
        if (r.refusal.empty()) {
            EXPECT_EQ(error, nullptr) << r.key << ": " << (error ? error : "");
        } else {
            EXPECT_EQ(std::string(error ? error : ""), refused(r));
            EXPECT_EQ(log.lines, Cp({"TW: Анализ контуров..."_cp})) << r.key;
        }
        EXPECT_EQ(ReportKinds(Files(*home_ + "Reports")), r.reports) << r.key;
    }

    // rthost prints the refusal of the last job, writes nothing and exits 1.
    const std::string bin = std::string(std::getenv("TW_BIN_DIR")) + "/rthost";
    const std::string out = *home_ + "rthost.out";
    const int status =
        std::system((bin + " run " + *home_ + " --job Strict --end \"2026-12-07 00:00\" >" + out +
                     " 2>/dev/null")
                        .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream printed(out);
    const std::string line((std::istreambuf_iterator<char>(printed)), {});
    EXPECT_EQ(line, "2026-12-06 00:00:00 .. 2026-12-07 00:00:00: failed: " +
                        host::Cp1251ToUtf8(refused(std::end(rows)[-1])) + "\n");
    EXPECT_TRUE(Files(*home_ + "Reports").empty());
}

// Makes a folder read-only for the life of the object: by its mode for an
// ordinary user, by the immutable attribute for root (whom modes do not stop).
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const std::string& path) : path_(path) {
        fs::create_directories(path);
        if (geteuid() != 0)
            ok_ = ::chmod(path.c_str(), 0555) == 0;
        else
            ok_ = std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) == 0;
    }
    ~ReadOnlyFolder() {
        if (geteuid() != 0)
            ::chmod(path_.c_str(), 0755);
        else if (ok_)
            std::system(("chattr -i '" + path_ + "'").c_str());
    }
    bool ok() const { return ok_; }

  private:
    std::string path_;
    bool ok_ = false;
};

TEST_F(RunTest, ABinarySaveIntoAReadOnlyFolderFailsAndTheOthersFollow) {
    ReadOnlyFolder folder(*home_ + "ReadOnly");
    if (!folder.ok()) GTEST_SKIP() << "cannot make a folder read-only here";
    job_.Root()->SetStr("ReportDir", "ReadOnly");
    host::LogCapture log;
    EXPECT_EQ(Run(), nullptr);
    std::vector<std::string> errors;
    for (const std::string& l : log.lines)
        if (l.rfind("Ошибка сохранения отчета: "_cp, 0) == 0) errors.push_back(l);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(Files(*home_ + "ReadOnly").empty());
    ExpectOneTextAndOneSheet(Files(*home_ + "Reports"));
}

// Every report under a final name in `folder` is complete: the binary report
// and its times file load with `items` items, the text report has `lines` whole lines, the
// spreadsheet has `xlsSize` bytes. Temporary files are hidden and named apart;
// the kept values are not checked.
void ExpectCompleteReports(const std::string& folder, int items, std::size_t lines,
                           uintmax_t xlsSize) {
    if (!fs::exists(folder)) return;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename();
        const std::string ext = e.path().extension();
        if (name.rfind(".tripwatch-", 0) == 0) continue;
        if (ext == ".twr") {
            TW_File back;
            EXPECT_TRUE(back.Load(e.path().c_str()) && back.Count() == items) << name;
        } else if (ext == ".twt") {
            TW_TimesHeader header;
            std::vector<TW_IncidentTimes> times;
            EXPECT_TRUE(TW_ReadTimesFile(e.path().c_str(), header, times) &&
                        int(header.Count) == items)
                << name;
        } else if (ext == ".txt") {
            std::ifstream in(e.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), {});
            std::size_t n = 0;
            for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
                ++n;
            EXPECT_TRUE(n == lines && text.ends_with("\r\n")) << name;
        } else if (ext == ".xls") {
            EXPECT_EQ(fs::file_size(e.path()), xlsSize) << name;
        }
    }
}

TEST_F(RunTest, ARunKilledAtAnyMomentLeavesNoIncompleteReport) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(), nullptr);
    const auto once = std::chrono::steady_clock::now() - start;
    TW_File report;
    std::size_t lines = 0;
    uintmax_t xlsSize = 0;
    for (const auto& e : fs::directory_iterator(*home_ + "Reports")) {
        if (e.path().extension() == ".twr") {
            ASSERT_TRUE(report.Load(e.path().c_str()));
        }
        if (e.path().extension() == ".xls") xlsSize = fs::file_size(e.path());
    }
    lines = std::size_t(report.Count()) + 6;  // the header without "Cfg", then the items
    // Moments spread over the phases of a run (golden-ratio steps), up to 1.3 runs.
    for (int k = 0; k < 80; ++k) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (;;)
                Run();
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(
            once * std::fmod(k * 0.618, 1.3)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ExpectCompleteReports(*home_ + "Reports", report.Count(), lines, xlsSize);
    }
}

// `rthost run` of the job Jobs/NAME.json, made of the demo job and `changes`,
// for the day before 2026-12-07, behind `prefix` (e.g. a file-size limit): what
// it prints, with HOME for the home folder; its exit code in `code`.
std::string Rthost(const std::string& home, const std::string& name, const nlohmann::json& changes,
                   const std::string& prefix, int& code) {
    std::ifstream in(home + "Jobs/Daily.json");
    nlohmann::ordered_json job = nlohmann::ordered_json::parse(in);
    for (auto it = changes.begin(); it != changes.end(); ++it)
        job[it.key()] = it.value();
    std::ofstream(home + "Jobs/" + name + ".json") << job.dump(2);
    const std::string out = home + name + ".out";
    const std::string bin = std::string(std::getenv("TW_BIN_DIR")) + "/rthost";
    // Through a pipe, which a file-size limit does not stop.
    const int status = std::system(("bash -c '" + prefix + bin + " run " + home + " --job " + name +
                                    " --end \"2026-12-07 00:00\" 2>/dev/null | cat >" + out +
                                    "; exit ${PIPESTATUS[0]}'")
                                       .c_str());
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream printed(out);
    std::string text((std::istreambuf_iterator<char>(printed)), {});
    for (std::size_t at; (at = text.find(home)) != std::string::npos;)
        text.replace(at, home.size(), "HOME/");
    return text;
}

TEST_F(RunTest, AnOutputNotWrittenFailsTheRunAndIsNamed) {
    int code = 0;
    const std::string solo = Rthost(*home_, "Daily", {}, "", code);
    ASSERT_EQ(code, 0) << solo;
    const std::string counts = solo.substr(0, solo.find('\n') + 1);
    // Then the operations without demand, as many as there are, each on a line.
    const std::string notes = solo.substr(counts.size(), solo.find("  HOME/") - counts.size());
    EXPECT_EQ(notes.rfind("  7 operation(s) without demand:\n    06.12.2026 05:07:51 relay "
                          "\"U2.P04.Relay\" (contour \"U2.P04.Sensor\"): unexplained\n",
                          0),
              0u)
        << notes;
    const std::string day = "Daily 06-12-2026 00_00-00_00";
    ReadOnlyFolder folder(*home_ + "ReadOnly");
    if (!folder.ok()) GTEST_SKIP() << "cannot make a folder read-only here";
    const std::string denied =
        geteuid() == 0 ? "Operation not permitted (1)" : "Permission denied (13)";
    struct Row {
        nlohmann::json changes;
        std::string prefix, printed;
        std::vector<std::string> left;  // in Reports afterwards
    };
    const Row rows[] = {
        {{{"TXTDir", "ReadOnly"}},
         "",
         counts + notes + "  HOME/Reports/" + day + ".twr\n  HOME/Reports/" + day +
             ".twt\n  HOME/Reports/" + day + ".two\n  HOME/Reports/" + day +
             ".xls\n  not written: text report HOME/ReadOnly/" + day + ".txt: " + denied + "\n",
         {day + ".two", day + ".twr", day + ".twt", day + ".xls"}},
        {{{"ReportDir", "ReadOnly"}},
         "",
         "2026-12-06 00:00:00 .. 2026-12-07 00:00:00: incomplete: not every output was written\n" +
             notes + "  HOME/Reports/" + day + ".txt\n  HOME/Reports/" + day +
             ".xls\n  not written: binary report HOME/ReadOnly/" + day + ".twr: " + denied + "\n",
         {day + ".txt", day + ".xls"}},
        // Values are not kept: they would not fit either.
        {{{"SaveVals", false}},
         "prlimit --fsize=8000 ",
         counts + notes + "  HOME/Reports/" + day + ".twr\n  HOME/Reports/" + day +
             ".twt\n  not written: operations HOME/Reports/" + day +
             ".two: File too large (27)\n  not written: text report HOME/Reports/" + day +
             ".txt: File too large (27)\n  not written: spreadsheet HOME/Reports/" + day +
             ".xls: cannot write 'HOME/Reports/" + day + ".xls': File too large\n",
         {day + ".twr", day + ".twt"}},
    };
    for (const Row& r : rows) {
        fs::remove_all(*home_ + "Reports");
        EXPECT_EQ(Rthost(*home_, "Out", r.changes, r.prefix, code), r.printed);
        EXPECT_EQ(code, 1);
        EXPECT_EQ(Files(*home_ + "Reports"), r.left);
    }
}

TEST_F(RunTest, TwoRunsAtOnceEachCountOnlyTheirOwnFiles) {
    // Both days of the demo plant, alone and then twice at once.
    const std::string bin = std::string(std::getenv("TW_BIN_DIR")) + "/rthost";
    const std::string run =
        bin + " run " + *home_ + " --from 2026-12-06 --to 2026-12-07 2>/dev/null >" + *home_;
    // A summary without its file lines; the file lines go to `files`.
    auto split = [&](const char* out, std::set<std::string>& files) {
        std::ifstream in(*home_ + out);
        std::string summary;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("  /", 0) != 0)
                summary += line + "\n";
            else
                EXPECT_TRUE(files.insert(line).second) << out << ": " << line;
        return summary;
    };
    ASSERT_EQ(std::system((run + "solo.out").c_str()), 0);
    std::set<std::string> soloFiles;
    const std::string solo = split("solo.out", soloFiles);
    EXPECT_EQ(soloFiles.size(), 10u);
    // Both wait for a file to appear and start as it does; twice, as the two may
    // still miss each other. (A pipe would leave the later reader waiting for
    // ever when the writer has come and gone before it opened.)
    const std::string go = *home_ + "go";
    const std::string wait = "until [ -e " + go + " ]; do sleep 0.01; done; ";
    for (int round = 0; round < 2; ++round) {
        fs::remove_all(*home_ + "Reports");
        ::unlink(go.c_str());
        ASSERT_EQ(std::system(("(" + wait + run + "a.out) & (" + wait + run +
                               "b.out) & sleep 0.2; touch " + go + "; wait")
                                  .c_str()),
                  0);
        std::set<std::string> files;
        EXPECT_EQ(split("a.out", files), solo);
        EXPECT_EQ(split("b.out", files), solo);
        EXPECT_EQ(files.size(), 20u);
    }
}

}  // namespace
