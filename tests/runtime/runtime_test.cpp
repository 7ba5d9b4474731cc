#include <gtest/gtest.h>

#include "scripted_interaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "common/cp1251.h"
#include "runtime/runtime.h"
#include "test_env.h"

using namespace host::literals;

namespace {

TEST(Log, LinesReachCaptureFileAndListener) {
    const std::string dir = twtest::ScratchDir("log");
    ASSERT_TRUE(RTInitialize(dir.c_str(), "Log/host.log"));
    std::vector<std::string> heard;
    host::SetLogListener([&](std::string_view l) { heard.emplace_back(l); });
    {
        host::LogCapture capture;
        RTLog("TW: Запрос данных. Конфигурация за %s..."_cp, "07.12.2026 00:00:00");
        RTLogR("Формирование отчета..."_cp);
        // A batch: one line each, the last without its newline; nothing for
        // an empty batch.
        RTLogLines("Срабатывание: a\nСрабатывание: b\n\nc"_cp);
        RTLogLines("");
        const std::vector<std::string> lines{
            "TW: Запрос данных. Конфигурация за 07.12.2026 00:00:00..."_cp,
            "Формирование отчета..."_cp,
            "Срабатывание: a"_cp,
            "Срабатывание: b"_cp,
            "",
            "c"};
        EXPECT_EQ(capture.lines, lines);
    }
    host::SetLogListener(nullptr);
    EXPECT_EQ(heard.size(), 6u);
    RTShutdown();
    // "YYYY-MM-DD HH:MM:SS " then the line in UTF-8, every line of a batch too.
    std::ifstream file(dir + "Log/host.log");
    std::vector<std::string> written;
    for (std::string line; std::getline(file, line);) {
        ASSERT_GE(line.size(), 20u);
        EXPECT_EQ(line[4], '-');
        EXPECT_EQ(line[19], ' ');
        written.push_back(line.substr(20));
    }
    EXPECT_EQ(written,
              (std::vector<std::string>{"TW: Запрос данных. Конфигурация за 07.12.2026 00:00:00...",
                                        "Формирование отчета...", "Срабатывание: a",
                                        "Срабатывание: b", "", "c"}));
}

// On a service's journal each console line carries its priority; elsewhere
// the lines are as they are.
TEST(Log, OnTheJournalEachLineCarriesItsPriority) {
    const std::string dir = twtest::ScratchDir("journal");
    for (const bool journal : {true, false}) {
        const std::string path = dir + (journal ? "journal.txt" : "plain.txt");
        std::ofstream(path).close();
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        const std::string stream =
            std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + (journal ? 0 : 1));
        ::setenv("JOURNAL_STREAM", stream.c_str(), 1);
        std::fflush(stderr);
        const int saved = ::dup(2);
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        ::dup2(fd, 2);
        ::close(fd);
        RTLogLines("TW: Анализ контуров...\nСрабатывание: a"_cp);
        RTErrorMessage(nullptr, "Ошибка"_cp);
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        ::unsetenv("JOURNAL_STREAM");
        std::ifstream in(path);
        const std::string written((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(written, journal ? "<6>TW: Анализ контуров...\n<6>Срабатывание: a\n<3>Ошибка\n"
                                   : "TW: Анализ контуров...\nСрабатывание: a\nОшибка\n");
    }
}

TEST(Interaction, ErrorBoxesGoThroughTheInstalledInterface) {
    twtest::ScriptedInteraction scripted;
    host::SetInteraction(&scripted);
    host::LogCapture capture;
    RTErrorMessage(nullptr, "Ошибка загрузки данных\nФайл: %s"_cp, "a.ws");
    host::SetInteraction(nullptr);
    ASSERT_EQ(scripted.errors.size(), 1u);
    EXPECT_EQ(scripted.errors[0], std::string("Ошибка загрузки данных\nФайл: a.ws"_cp));
    EXPECT_EQ(capture.lines, scripted.errors);
    // The default interaction never waits for an answer.
    EXPECT_FALSE(host::GetInteraction().AskYesNo(nullptr, "?", false));
}

TEST(IdlePeriod, ElapsesOnlyAfterItsLength) {
    PRPeriod* p = RTGetIdlePeriod();
    host::SetIdlePeriodLength(std::chrono::milliseconds(50));
    PRPeriodReset(p);
    EXPECT_EQ(PRPeriodEnd(p, 1), 0);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(90));  // the coarse clock ticks in up to 10 ms
    EXPECT_NE(PRPeriodEnd(p, 1), 0);
    EXPECT_EQ(PRPeriodEnd(p, 1), 0);  // restarted by the elapsed poll
    host::SetIdlePeriodLength(std::chrono::milliseconds(0));
    EXPECT_NE(PRPeriodEnd(p, 1), 0);
    host::SetIdlePeriodLength(std::chrono::milliseconds(200));
}

TEST(Operation, AbortOnlyWhileOffered) {
    HOperation* op = RTGetOperation();
    op->IncShow();
    op->SetAbort(false);
    op->RequestAbort();
    EXPECT_FALSE(op->isAborted());
    op->SetAbort(true);
    op->RequestAbort();
    EXPECT_TRUE(op->isAborted());
    op->SetAbort(false);
    EXPECT_FALSE(op->isAborted());

    op->SetText("Формирование отчета %d/%d..."_cp, 3, 10);
    EXPECT_EQ(op->Text(), std::string("Формирование отчета 3/10..."_cp));
    op->SetText(nullptr);
    EXPECT_EQ(op->Text(), "");
    op->SetProgress(250);
    EXPECT_EQ(op->Progress(), 100);
    op->SetProgress(0);
}

TEST(Operation, CtrlCAsksTheTerminalIndicatorToAbortWhileOffered) {
    HOperation* op = RTGetOperation();  // the default, terminal indicator
    op->SetAbort(true);
    std::raise(SIGINT);
    EXPECT_TRUE(op->isAborted());
    op->SetAbort(false);  // withdrawn: Ctrl-C ends the program again
    EXPECT_FALSE(op->isAborted());
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

}  // namespace
