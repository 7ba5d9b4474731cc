// The report file: item layout, the ".twr" stream, header and item reading,
// refusals, and saving with its clean-up.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "common/lasterror.h"
#include "core_test_util.h"
#include "tw_file.h"

using namespace host::literals;
using namespace tw_test;

namespace {

// The 48-byte stream header, built from the byte table.
Bytes HeaderImage(uint32_t magic, uint32_t recordSize, uint32_t count) {
    Bytes b(48, 0);
    Put32(b, 0, magic);
    Put32(b, 4, recordSize);
    PutTime(b, 8, 2026, 12, 7, 0, 0, 0);
    PutTime(b, 20, 2026, 12, 7, 23, 59, 0);
    PutTime(b, 32, 2026, 12, 8, 0, 5, 30);
    Put32(b, 44, count);
    return b;
}

void SetPeriod(TW_File& f) {
    f.Start.Set(2026, 12, 7, 0, 0, 0);
    f.End.Set(2026, 12, 7, 23, 59, 0);
    f.RunTime.Set(2026, 12, 8, 0, 5, 30);
}

std::size_t FilesIn(const std::string& dir) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(dir),
                                     std::filesystem::directory_iterator()));
}

void WriteGzip(const std::string& path, const Bytes& b) {
    gzFile gz = gzopen(path.c_str(), "wb9");
    ASSERT_NE(gz, nullptr);
    gzwrite(gz, b.data(), unsigned(b.size()));
    gzclose(gz);
}

// How much the peak resident memory of a child process grows while it loads
// the file, in bytes; -1 when the child fails.
[[maybe_unused]] long LoadPeakGrowth(const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        {
            TW_File f;
            f.Load(path.c_str());
        }
        getrusage(RUSAGE_SELF, &after);
        const long growth = (after.ru_maxrss - before.ru_maxrss) * 1024;
        _exit(write(fds[1], &growth, sizeof growth) == sizeof growth ? 0 : 1);
    }
    close(fds[1]);
    long growth = -1;
    if (read(fds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return growth;
}

}  // namespace

TEST(ReportItem, EveryMemberAtItsByteOffset) {
    const TW_ContourLine l = FullLine();
    const Bytes expected = FullLineImage();
    const Bytes actual = BytesOf(&l, sizeof l);
    ASSERT_EQ(actual.size(), 1880u);
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
    const TW_ContourLine zero;
    EXPECT_EQ(BytesOf(&zero, sizeof zero), Bytes(1880, 0));
}

TEST(ReportFile, NewReportIsEmpty) {
    TW_File f;
    EXPECT_EQ(f.Count(), 0);
    EXPECT_EQ(f.DataModule, nullptr);
    EXPECT_EQ(f.Config, nullptr);
    EXPECT_TRUE(f.Start.IsZero() && f.End.IsZero() && f.RunTime.IsZero());
    EXPECT_EQ(f.FileName.Length, 0);
    EXPECT_EQ(f.Template.Length, 0);
}

TEST(ReportFile, StreamOfOneItemIsHeaderAndItemImage) {
    const std::string dir = ScratchDir("TwrStream");
    TW_File f;
    SetPeriod(f);
    f.Add(FullLine());
    f.MakeFileName((dir + "Report").c_str(), nullptr);
    EXPECT_EQ(std::string(f.FileName), dir + "Report 07-12-2026 00_00-23_59.twr");
    ASSERT_TRUE(f.Save());

    Bytes expected = HeaderImage(0x01575754, 1880, 1);
    const Bytes item = FullLineImage();
    expected.insert(expected.end(), item.begin(), item.end());
    const Bytes raw = ReadBytes(f.FileName.c_str());
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw[0], 0x1F);  // gzip: the stream is compressed
    EXPECT_EQ(raw[1], 0x8B);
    const Bytes stream = Gunzip(f.FileName.c_str());
    ASSERT_EQ(stream.size(), 48u + 1880u);
    EXPECT_EQ(stream, expected);
    EXPECT_EQ(std::string(stream.begin(), stream.begin() + 3), "TWW");
    EXPECT_EQ(FilesIn(dir), 1u);  // no temporary file is left

    TW_File back;
    ASSERT_TRUE(back.Load(f.FileName));
    EXPECT_EQ(std::string(back.FileName), std::string(f.FileName));
    EXPECT_EQ(back.Start, f.Start);
    EXPECT_EQ(back.End, f.End);
    EXPECT_EQ(back.RunTime, f.RunTime);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(BytesOf(back.ItemINT(0), 1880), item);
}

TEST(ReportFile, ShorterRecordsLoadWithZeroTails) {
    const std::string path = ScratchDir("TwrShort") + "short.twr";
    Bytes file = HeaderImage(0x01575754, 1000, 2);
    const Bytes item = FullLineImage();
    for (int i = 0; i < 2; ++i)
        file.insert(file.end(), item.begin(), item.begin() + 1000);
    WriteBytes(path, file);  // an uncompressed file is read as it is

    TW_File f;
    ASSERT_TRUE(f.Load(path.c_str()));
    ASSERT_EQ(f.Count(), 2);
    Bytes expected(item.begin(), item.begin() + 1000);
    expected.resize(1880, 0);
    EXPECT_EQ(BytesOf(f.ItemINT(0), 1880), expected);
    EXPECT_EQ(BytesOf(f.ItemINT(1), 1880), expected);
}

TEST(ReportFile, RefusesWrongMagicAndRecordSizes) {
    const std::string dir = ScratchDir("TwrRefuse");
    struct Case {
        uint32_t magic, recordSize, count;
        const char* message;
    };
    const Case cases[] = {
        {0x01575755, 1880, 1, "Неверный формат файла!"_cp},
        {0x02575754, 1880, 1, "Неверный формат файла!"_cp},
        {0x01575754, 1881, 1, "Неверный формат записи файла!"_cp},
        {0x01575754, 0xFFFFFFFF, 1, "Неверный формат записи файла!"_cp},
        {0x01575754, 0, 0xFFFFFFFF, "Неверный формат записи файла!"_cp},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "bad.twr";
        Bytes file = HeaderImage(c.magic, c.recordSize, c.count);
        file.resize(48 + 1880, 0);
        WriteBytes(path, file);
        TW_File f;
        f.Add(FullLine());
        host::ClearError();
        EXPECT_EQ(f.LoadHeader(path.c_str()), 0);
        EXPECT_STREQ(GetIOErrorS_GUI(-2), c.message);
        host::ClearError();
        EXPECT_FALSE(f.Load(path.c_str()));
        EXPECT_STREQ(GetIOErrorS_GUI(-2), c.message);
        EXPECT_EQ(f.Count(), 1);  // a refused header leaves the items
        EXPECT_EQ(f.FileName.Length, 0);
    }
    // A record size of 0 with no items is a valid, empty report.
    WriteBytes(dir + "zero.twr", HeaderImage(0x01575754, 0, 0));
    TW_File f;
    EXPECT_TRUE(f.Load((dir + "zero.twr").c_str()));
    EXPECT_EQ(f.Count(), 0);
}

TEST(ReportFile, ACountNoMachineCouldHoldIsRefusedBeforeReading) {
    // One byte a record: a compressed body of a few kilobytes could otherwise
    // demand 1880 bytes of memory for every byte it unpacks to.
    const std::string dir = ScratchDir("TwrBomb");
    Bytes file = HeaderImage(0x01575754, 1, 0xFFFFFFF0u);
    file.resize(48 + 4096, 0);
    WriteBytes(dir + "bomb.twr", file);
    TW_File f;
    f.Add(FullLine());
    host::ClearError();
    EXPECT_FALSE(f.Load((dir + "bomb.twr").c_str()));
    EXPECT_STREQ(GetIOErrorS_GUI(-2), "Неверный формат файла!"_cp);
    EXPECT_EQ(f.Count(), 1);
    EXPECT_EQ(f.FileName.Length, 0);
}

TEST(ReportFile, PeakMemoryIsASmallMultipleOfTheUnpackedStream) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own memory hides the reader's";
#else
    // A body of zeros compresses about a thousandfold: 200000 one-byte records
    // come in a file of a few hundred bytes and widen to 376 MB of items.
    const std::string dir = ScratchDir("TwrPeak");
    struct Case {
        uint32_t recordSize, count;
        bool loads;
    } const cases[] = {{1, 200000, false},
                       {100, 20000, false},
                       {470, 20000, true},
                       {1880, 5000, true},
                       {1880, 400000, false}};
    for (const Case& c : cases) {
        Bytes file = HeaderImage(0x01575754, c.recordSize, c.count);
        // The last case: a count far beyond what the stream holds.
        file.resize(48 + std::size_t(c.recordSize) * std::min(c.count, 20000u), 0);
        WriteGzip(dir + "r.twr", file);
        TW_File f;
        EXPECT_EQ(f.Load((dir + "r.twr").c_str()), c.loads) << c.recordSize;
        const char* message =
            c.count == 400000 ? "Файл поврежден или обрезан!"_cp : "Неверный формат файла!"_cp;
        if (!c.loads) {
            EXPECT_STREQ(GetIOErrorS_GUI(-2), message);
        }
        const long growth = LoadPeakGrowth(dir + "r.twr");
        EXPECT_GE(growth, 0);
        EXPECT_LE(std::size_t(growth), 8 * file.size() + (4u << 20)) << c.recordSize;
    }
#endif
}

TEST(ReportFile, TruncatedFiles) {
    const std::string dir = ScratchDir("TwrTruncated");
    Bytes full = HeaderImage(0x01575754, 1880, 2);
    const Bytes item = FullLineImage();
    full.insert(full.end(), item.begin(), item.end());
    full.insert(full.end(), item.begin(), item.end());
    const char* const truncated = "Файл поврежден или обрезан!"_cp;
    for (std::size_t size : {0, 3, 7, 19, 43, 47}) {
        WriteBytes(dir + "t.twr", Bytes(full.begin(), full.begin() + long(size)));
        TW_File f;
        const char* message = size == 0 ? "Файл пуст!"_cp : truncated;
        EXPECT_EQ(f.LoadHeader((dir + "t.twr").c_str()), 0) << size;
        EXPECT_STREQ(GetIOErrorS_GUI(-2), message);
        EXPECT_FALSE(f.Load((dir + "t.twr").c_str())) << size;
        EXPECT_STREQ(GetIOErrorS_GUI(-2), message);
    }
    for (std::size_t size : {48, 48 + 1879, 48 + 1880 + 1000}) {
        WriteBytes(dir + "t.twr", Bytes(full.begin(), full.begin() + long(size)));
        TW_File f;
        f.Add(FullLine());
        EXPECT_EQ(f.LoadHeader((dir + "t.twr").c_str()), 2) << size;
        EXPECT_FALSE(f.Load((dir + "t.twr").c_str())) << size;
        EXPECT_STREQ(GetIOErrorS_GUI(-2), truncated);
        EXPECT_EQ(f.Count(), 0) << size;
        EXPECT_EQ(std::string(f.FileName), dir + "t.twr");
        EXPECT_EQ(f.RunTime, PRTime().Set(2026, 12, 8, 0, 5, 30));
    }
    // A compressed file cut short, and one with a damaged body.
    WriteGzip(dir + "z.twr", full);
    const Bytes packed = ReadBytes(dir + "z.twr");
    Bytes damaged = packed;
    damaged[packed.size() / 2] ^= 0x55;
    for (const Bytes& b : {Bytes(packed.begin(), packed.end() - 12), damaged}) {
        WriteBytes(dir + "z.twr", b);
        TW_File f;
        EXPECT_FALSE(f.Load((dir + "z.twr").c_str()));
        EXPECT_STREQ(GetIOErrorS_GUI(-2), truncated);
    }
    TW_File f;
    host::ClearError();
    EXPECT_EQ(f.LoadHeader((dir + "missing.twr").c_str()), 0);
    EXPECT_EQ(GetIOErrorN(), unsigned(ENOENT));
    EXPECT_FALSE(f.Load((dir + "missing.twr").c_str()));
}

TEST(ReportFile, LoadHeaderReadsOnlyTheHeader) {
    const std::string dir = ScratchDir("TwrHeader");
    TW_File source;
    SetPeriod(source);
    for (int i = 0; i < 3; ++i)
        source.Add(FullLine());
    source.FileName.Set((dir + "r.twr").c_str());
    ASSERT_TRUE(source.Save());

    TW_File f;
    f.Add(FullLine());
    f.FileName.Set("keep.twr");
    EXPECT_EQ(f.LoadHeader((dir + "r.twr").c_str()), 3);
    EXPECT_EQ(f.Start, source.Start);
    EXPECT_EQ(f.End, source.End);
    EXPECT_EQ(f.RunTime, source.RunTime);
    EXPECT_EQ(f.Count(), 1);
    EXPECT_STREQ(f.FileName, "keep.twr");

    // A stored count of 0 reads as 0, like a failure.
    WriteBytes(dir + "empty.twr", HeaderImage(0x01575754, 1880, 0));
    EXPECT_EQ(f.LoadHeader((dir + "empty.twr").c_str()), 0);
}

TEST(ReportFile, EmptyReportWritesNoFile) {
    const std::string dir = ScratchDir("TwrEmpty");
    TW_File f;
    SetPeriod(f);
    f.MakeFileName((dir + "Report").c_str(), nullptr);
    EXPECT_TRUE(f.Save());
    EXPECT_EQ(FilesIn(dir), 0u);
    EXPECT_TRUE(f.DOSave());
    EXPECT_EQ(FilesIn(dir), 0u);
}

TEST(ReportFile, SaveReplacesTheNamedFileOnlyWhenComplete) {
    const std::string dir = ScratchDir("TwrReplace");
    const std::string path = dir + "r.twr";
    TW_File first;
    SetPeriod(first);
    first.Add(FullLine());
    first.FileName.Set(path.c_str());
    ASSERT_TRUE(first.Save());
    const Bytes before = ReadBytes(path);

    // A report whose name lies in a folder that does not exist fails with the
    // reason of the failed step.
    TW_File other;
    other.Add(FullLine());
    other.FileName.Set((dir + "none/r.twr").c_str());
    host::ClearError();
    EXPECT_FALSE(other.Save());
    EXPECT_EQ(GetIOErrorN(), unsigned(ENOENT));
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(ReportFile, WriteFailureInTheItemsLeavesNoFileAndKeepsTheError) {
    const std::string dir = ScratchDir("TwrDiskFull");
    TW_File f;
    SetPeriod(f);
    // Items that do not compress well, so that the file outgrows the limit.
    uint32_t seed = 1;
    for (int i = 0; i < 400; ++i) {
        TW_ContourLine l = FullLine();
        auto* b = reinterpret_cast<uint8_t*>(&l);
        for (int k = 0; k < 1880; ++k)
            b[k] = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
        f.Add(l);
    }
    f.MakeFileName((dir + "Report").c_str(), nullptr);

    // Writes beyond 64 KiB fail as on a full disk.
    bool saved = false;
    unsigned error = 0;
    {
        tw_test::ScopedFileSizeLimit limit(64 * 1024);
        host::ClearError();
        saved = f.Save();
        error = GetIOErrorN();
    }

    EXPECT_FALSE(saved);
    EXPECT_EQ(error, unsigned(EFBIG));
    EXPECT_EQ(FilesIn(dir), 0u);  // neither the partial file nor a temporary one
}

TEST(ReportFile, ItemsAreOwnedCopies) {
    TW_File f;
    TW_ContourLine l = FullLine();
    TW_ContourLine* stored = f.AddINT(&l);
    l.Value = 0;
    EXPECT_EQ(stored->Value, 1234.5678);
    EXPECT_EQ(f.ItemINT(1), nullptr);
    f.DeleteAllINT();
    EXPECT_EQ(f.Count(), 0);
}
