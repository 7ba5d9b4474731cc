#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <set>
#include <vector>

#include <zlib.h>

#include <filesystem>

#include "common/basearray.h"
#include "common/cp1251.h"
#include "common/exception.h"
#include "common/lasterror.h"
#include "common/lzhstream.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "shell_output.h"
#include "test_env.h"

using namespace host::literals;

namespace {

TEST(Paths, SeparatorsAndTheStartFolder) {
    char p[kMaxPath] = "Reports";
    EXPECT_STREQ(AddLastSlash(p), "Reports/");
    EXPECT_STREQ(AddLastSlash(p), "Reports/");
    char w[kMaxPath] = "C:\\Reports\\";
    EXPECT_STREQ(AddLastSlash(w), "C:\\Reports\\");
    char e[kMaxPath] = "";
    EXPECT_STREQ(AddLastSlash(e), "");

    char out[kMaxPath];
    EXPECT_STREQ(FPath(out, "/data/Reports/Report 07-12-2026.twr"), "/data/Reports/");
    EXPECT_STREQ(FPath(out, "D:\\Reports\\Report.twr"), "D:/Reports/");
    EXPECT_STREQ(FPath(out, "Report.twr"), "");

    host::SetStartupDir("/srv/plant");
    EXPECT_STREQ(GetStartupDir(), "/srv/plant/");
    EXPECT_STREQ(MakeStartLocalPath(out, "Reports"), "/srv/plant/Reports");
    EXPECT_STREQ(MakeStartLocalPath(out, "Templates\\Tripwatch.xls"),
                 "/srv/plant/Templates/Tripwatch.xls");
    EXPECT_STREQ(MakeStartLocalPath(out, "/var/reports/"), "/var/reports/");
    EXPECT_STREQ(MakeStartRelativePath(out, "/srv/plant/Reports/Day"), "Reports/Day");
    EXPECT_STREQ(MakeStartRelativePath(out, "/var/reports"), "/var/reports");
    // Inverse of each other below the start folder.
    char back[kMaxPath];
    EXPECT_STREQ(MakeStartLocalPath(back, MakeStartRelativePath(out, "/srv/plant/a/b")),
                 "/srv/plant/a/b");
    host::SetStartupDir(nullptr);
}

TEST(Files, Cp1251NamesBecomeUtf8OnDisk) {
    const std::string dir = twtest::ScratchDir("names");
    const std::string cpDir = host::Utf8ToCp1251Lossy(dir);
    const std::string name = cpDir + "Отчет.txt"_cp;
    {
        auto f = host::OpenFile(name.c_str(), "w");
        ASSERT_TRUE(f);
    }
    EXPECT_TRUE(std::ifstream(dir + "Отчет.txt").good());
    EXPECT_TRUE(host::FileExists(name.c_str()));
    std::ofstream(dir + "漢.txt") << "x";  // no cp1251 form: not listed
    std::filesystem::create_directory(dir + "Папка");
    std::set<std::string> seen;
    ASSERT_TRUE(host::ForEachDirEntry(cpDir.c_str(), [&](const char* n, bool folder) {
        seen.insert(std::string(n) + (folder ? "/" : ""));
        return true;
    }));
    EXPECT_EQ(seen, (std::set<std::string>{"Отчет.txt"_cp, std::string("Папка"_cp) + "/"}));
    EXPECT_TRUE(host::DeleteFile(name.c_str()));
    EXPECT_FALSE(host::DeleteFile(name.c_str()));
    EXPECT_EQ(GetIOErrorN(), unsigned(ENOENT));
    EXPECT_FALSE(
        host::ForEachDirEntry((cpDir + "missing").c_str(), [](const char*, bool) { return true; }));
}

TEST(Files, AtomicWriteKeepsTheOldFileOnFailure) {
    const std::string dir = twtest::ScratchDir("atomic");
    const std::string path = dir + "a.json";
    ASSERT_TRUE(host::WriteFileAtomically(path.c_str(), "one"));
    ASSERT_TRUE(host::WriteFileAtomically(path.c_str(), "two"));
    std::string text;
    ASSERT_TRUE(host::ReadWholeFile(path.c_str(), text));
    EXPECT_EQ(text, "two");
    // Made piece by piece, empty pieces too.
    const std::vector<std::string> pieces = {"th", "", "r", "ee"};
    std::size_t at = 0;
    ASSERT_TRUE(host::WriteFileAtomically(path.c_str(), [&](std::string& piece) {
        piece = pieces[at++];
        return at < pieces.size();
    }));
    ASSERT_TRUE(host::ReadWholeFile(path.c_str(), text));
    EXPECT_EQ(text, "three");
    EXPECT_FALSE(host::WriteFileAtomically((dir + "no/such/a.json").c_str(), "x"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST(Files, APendingFileTakesAFreeNameOnlyAndIsRemovedOtherwise) {
    const std::string dir = twtest::ScratchDir("pending");
    std::string text;
    {
        host::PendingFile first(dir + "r.txt");
        ASSERT_TRUE(first.ok());
        ASSERT_TRUE(host::WriteOsFile(first.path(), "first"));
        EXPECT_TRUE(first.Publish(dir + "r.txt"));
        host::PendingFile second(dir + "r.txt");
        ASSERT_TRUE(host::WriteOsFile(second.path(), "second"));
        host::ClearError();
        EXPECT_FALSE(second.Publish(dir + "r.txt"));  // taken: never replaced
        EXPECT_EQ(GetIOErrorN(), unsigned(EEXIST));
        EXPECT_TRUE(second.Replace(dir + "s.txt"));
        host::PendingFile dropped(dir + "r.txt");
        EXPECT_TRUE(dropped.ok());
    }
    ASSERT_TRUE(host::ReadWholeFile((dir + "r.txt").c_str(), text));
    EXPECT_EQ(text, "first");
    ASSERT_TRUE(host::ReadWholeFile((dir + "s.txt").c_str(), text));
    EXPECT_EQ(text, "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
    EXPECT_FALSE(host::PendingFile(dir + "no/such/r.txt").ok());
}

// Report-like records: mostly zeros, a few varying fields. With `period`, a
// random block of that length over and over, which only a part that sees what
// came before it compresses well.
std::string Records(std::size_t size, std::size_t period = 0) {
    std::string payload(size, '\0');
    uint32_t x = 12345;
    for (std::size_t at = 0; at < size; at += period ? 1 : 47) {
        x = x * 1103515245 + 12345;
        if (period && at >= period)
            payload[at] = payload[at - period];
        else if (period || x % 3 == 0)
            payload[at] = char(x >> 24);
    }
    return payload;
}

// One zlib gzip stream of `data` at level 4: the size to be close to.
std::size_t OneStreamSize(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 4, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    deflateEnd(&z);
    return out.size() - z.avail_out;
}

TEST(Streams, RoundTripPlainFilesAndFailures) {
    const std::string dir = twtest::ScratchDir("streams");
    // Every way the writer cuts its input: nothing, below one part, parts side
    // by side, a long write deflated where it lies, more than one segment; and
    // input that does not shrink.
    struct Case {
        const char* what;
        std::size_t size, first, chunk;  // the first write, then writes of `chunk`
        std::size_t period = 0;
    };
    const Case cases[] = {
        {"empty", 0, 0, 1},
        {"small writes", 300000, 100, 4096},
        {"one long write", 1 << 20, 1 << 20, 1},
        {"a header, then a long write", 2600000, 28, 2600000},
        {"past one segment in record writes", 9 << 20, 1880, 1880},
        {"long writes across segments", 11 << 20, 3 << 20, 3 << 20},
        {"parts that need what came before them", 2 << 20, 2 << 20, 1, 16384},
        {"no redundancy: the output outgrows its first room", 700000, 700000, 1, 700000},
    };
    for (const Case& c : cases) {
        const std::string payload = Records(c.size, c.period);
        const std::string path = dir + "r.twr";
        {
            LZHFileOStream out(4);
            ASSERT_TRUE(out.Assign(path.c_str())) << c.what;
            for (std::size_t at = 0; at < payload.size();) {
                const std::size_t n = std::min(at ? c.chunk : c.first, payload.size() - at);
                ASSERT_TRUE(out.Write(payload.data() + at, n)) << c.what;
                at += n;
            }
            ASSERT_TRUE(out.Close()) << c.what;
        }
        auto in = OpenStreamFile(path.c_str());
        ASSERT_TRUE(in) << c.what;
        std::string back(payload.size() + 10, '\0');
        EXPECT_EQ(in->Read(back.data(), back.size()), payload.size()) << c.what;
        back.resize(payload.size());
        EXPECT_TRUE(back == payload) << c.what;
        EXPECT_EQ(in->Read(back.data(), 1), 0u) << c.what;
        // gzip itself reads it as one member, its check sum and length right.
        EXPECT_EQ(twtest::ExitCode("gzip -t " + path), 0) << c.what;
        EXPECT_TRUE(twtest::Shell("gzip -dc " + path) == payload) << c.what;
        EXPECT_LE(std::filesystem::file_size(path), OneStreamSize(payload) * 101 / 100 + 64)
            << c.what;
    }

    // A plain file reads as it is.
    std::ofstream(dir + "plain.bin", std::ios::binary) << "TWW\x01plain";
    auto plain = OpenStreamFile((dir + "plain.bin").c_str());
    ASSERT_TRUE(plain);
    char buf[32] = {};
    EXPECT_EQ(plain->Read(buf, sizeof buf), 9u);
    EXPECT_STREQ(buf, "TWW\x01plain");

    EXPECT_FALSE(OpenStreamFile((dir + "missing.twr").c_str()));
    EXPECT_EQ(GetIOErrorN(), unsigned(ENOENT));

    // A full disk is reported, at the latest when the stream is closed.
    LZHFileOStream full(4);
    ASSERT_TRUE(full.Assign("/dev/full"));
    const std::string payload = Records(300000);
    bool ok = full.Write(payload.data(), payload.size());
    ok = full.Close() && ok;
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetIOErrorN(), unsigned(ENOSPC));
}

// Outputs that publish by a rename never replace anything but a regular file:
// a link's file is replaced and the link kept, a device is written in place,
// a FIFO, a folder and a link to nothing are refused and left as they were.
TEST(Files, OutputsReplaceOnlyRegularFiles) {
    namespace fs = std::filesystem;
    const std::string dir = twtest::ScratchDir("outputs");
    using Writer = std::function<bool(const std::string&)>;
    const Writer writers[] = {
        [](const std::string& path) { return host::WriteOsFileAtomically(path, "new\n", 4); },
        [](const std::string& path) {
            host::PendingFile pending(path);
            return pending.ok() && host::WriteOsFile(pending.path(), "new\n") &&
                   pending.Replace(path);
        },
    };
    const auto contents = [](const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const Writer& write : writers) {
        fs::remove_all(dir + "t");
        fs::create_directories(dir + "t/folder");
        const std::string t = dir + "t/";
        std::ofstream(t + "file") << "old\n";
        fs::create_symlink("file", t + "link");
        fs::create_symlink("missing", t + "dangling");
        ASSERT_EQ(::mkfifo((t + "fifo").c_str(), 0600), 0);
        struct Row {
            std::string path;
            bool ok;
            std::string error;  // the message of a refusal
        };
        const Row rows[] = {
            {t + "new", true, ""},
            {t + "file", true, ""},
            {t + "link", true, ""},
            {"/dev/null", true, ""},
            {t + "fifo", false, "Не является обычным файлом: "_cp + t + "fifo"},
            {t + "folder", false, "Не является обычным файлом: "_cp + t + "folder"},
            {t + "dangling", false, "No such file or directory (2)"},
        };
        for (const Row& r : rows) {
            SCOPED_TRACE(r.path);
            EXPECT_EQ(write(r.path), r.ok);
            if (!r.ok) {
                EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)), r.error);
            }
        }
        EXPECT_EQ(contents(t + "new"), "new\n");
        EXPECT_EQ(contents(t + "file"), "new\n");
        EXPECT_TRUE(fs::is_symlink(t + "link"));
        EXPECT_TRUE(fs::is_character_file("/dev/null"));
        EXPECT_TRUE(fs::is_fifo(t + "fifo"));
        EXPECT_TRUE(fs::is_symlink(t + "dangling"));
        EXPECT_FALSE(fs::exists(t + "missing"));
        // Nothing is left behind but what was there and the new file.
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(t))
            names.insert(e.path().filename());
        EXPECT_EQ(names,
                  (std::set<std::string>{"dangling", "fifo", "file", "folder", "link", "new"}));
    }
}

TEST(Files, ReadersOpenOnlyRegularFiles) {
    // A FIFO would block every reader until a writer came; a folder, a FIFO and
    // a device are refused at once with one message.
    const std::string dir = twtest::ScratchDir("regular");
    ASSERT_EQ(::mkfifo((dir + "fifo.twr").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir + "dir.twr").c_str(), 0700), 0);
    std::string text;
    for (const std::string& path : {dir + "fifo.twr", dir + "dir.twr", std::string("/dev/null")}) {
        host::ClearError();
        EXPECT_FALSE(OpenStreamFile(path.c_str())) << path;
        EXPECT_STREQ(GetIOErrorS_GUI(-2), "Не является обычным файлом!"_cp);
        host::ClearError();
        EXPECT_FALSE(host::ReadWholeFile(path.c_str(), text)) << path;
        EXPECT_STREQ(GetIOErrorS_GUI(-2), "Не является обычным файлом!"_cp);
        EXPECT_FALSE(host::OpenFile(path.c_str(), "r")) << path;
    }
    EXPECT_TRUE(host::OpenFile("/dev/null", "w"));  // writers are not concerned
}

TEST(LastError, BothSettersAndTheirTexts) {
    SetError("Датчик \"%s\" не найден в данных"_cp, "T1");
    EXPECT_STREQ(GetIOErrorS_GUI(-2), "Датчик \"T1\" не найден в данных"_cp);
    SetErrorN(1223);
    EXPECT_EQ(GetIOErrorN(), 1223u);
    EXPECT_STREQ(GetIOErrorS_GUI(-2), "Операция отменена пользователем"_cp);
    SetErrorN(ENOENT);
    EXPECT_STREQ(GetIOErrorS_GUI(-2), "No such file or directory (2)");
    SetErrorN(0x12345);
    EXPECT_STREQ(GetIOErrorS_GUI(-2), "Ошибка 74565"_cp);

    // What a library's boundary makes of the exception it caught.
    const struct {
        std::function<void()> raise;
        std::string text;
    } caught[] = {
        {[] { throw std::bad_alloc(); }, "Cannot allocate memory (12)"},
        {[] { throw host::Exception("Сбой"_cp); }, "Сбой"_cp},
        {[] { throw std::length_error("too long"); }, "too long"},
        {[] { throw 5; }, "Исключение неизвестного типа: причина ошибки неизвестна"_cp},
    };
    for (const auto& c : caught) {
        try {
            c.raise();
        } catch (...) {
            EXPECT_FALSE(host::SetCaughtError());
        }
        EXPECT_EQ(GetIOErrorS_GUI(-2), c.text);
    }
}

struct Rec {
    int a;
    char b[3];
};

TEST(Arrays, ElementsByValueAndIndexBounds) {
    MyRefArray<Rec> arr(2, 2);
    EXPECT_EQ(arr.ItemINT(0), nullptr);
    for (int i = 0; i < 1000; ++i) {
        Rec r{i, {char('a' + i % 26), 0, 0}};
        Rec* added = arr.Add(r);
        r.a = -1;  // the array holds its own copy
        EXPECT_EQ(added->a, i);
    }
    EXPECT_EQ(arr.Count(), 1000);
    EXPECT_EQ(arr.ItemINT(-1), nullptr);
    EXPECT_EQ(arr.ItemINT(1000), nullptr);
    EXPECT_EQ(arr.AddINT(nullptr)->a, 0);  // a zero element
    arr.DeleteNum(0);
    EXPECT_EQ(arr.ItemINT(0)->a, 1);
    EXPECT_TRUE(arr.Swap(0, 1));
    EXPECT_EQ(arr.ItemINT(0)->a, 2);
    EXPECT_FALSE(arr.Swap(0, 5000));
    arr.DeleteNum(5000);  // out of range: nothing happens
    EXPECT_EQ(arr.Count(), 1000);
    // Many at once, after the others, into an array with room and into an empty one.
    std::vector<Rec> many(300);
    for (int i = 0; i < 300; ++i)
        many[std::size_t(i)].a = 5000 + i;
    EXPECT_EQ(arr.AddMany(many.data(), 0), nullptr);
    EXPECT_EQ(arr.AddMany(many.data(), 300)->a, 5000);
    EXPECT_EQ(arr.Count(), 1300);
    EXPECT_EQ(arr.ItemINT(999)->a, 0);
    EXPECT_EQ(arr.ItemINT(1299)->a, 5299);
    MyRefArray<Rec> fresh(2, 2);
    fresh.AddMany(many.data(), 300);
    EXPECT_EQ(fresh.Count(), 300);
    EXPECT_EQ(fresh.ItemINT(299)->a, 5299);
    // Growing past a megabyte (a block of huge pages) keeps every element.
    MyRefArray<Rec> big(2, 2);
    std::vector<Rec> chunk(50000);
    for (int k = 0; k < 6; ++k) {
        for (int i = 0; i < 50000; ++i)
            chunk[std::size_t(i)].a = k * 50000 + i;
        big.AddMany(chunk.data(), 50000);
        big.Add(Rec{-1, {}});
    }
    ASSERT_EQ(big.Count(), 300006);
    for (int i = 0; i < big.Count(); ++i)
        ASSERT_EQ(big.ItemINT(i)->a, i % 50001 == 50000 ? -1 : i - i / 50001) << i;
    // Asked to, the process keeps a large block let go for the next large
    // array, as a run repeated day after day reuses its pages.
    BaseArray::KeepLargeBlocks(std::size_t(64) << 20);
    const Rec* block = big.ItemINT(0);
    big.DeleteAll();
    MyRefArray<Rec> next(2, 2);
    next.Reserve(300006);
    next.AddMany(chunk.data(), 50000);
    EXPECT_EQ(next.ItemINT(0), block);
    EXPECT_EQ(next.ItemINT(49999)->a, 5 * 50000 + 49999);
    BaseArray::KeepLargeBlocks(0);
    BaseArray& base = arr;
    base.DeleteAll();  // through the base's slot
    EXPECT_EQ(arr.Count(), 0);
}

}  // namespace
