// The compound-file container: exact bytes of a small file, the structure of
// files from 0 bytes to beyond the DIFAT threshold, and atomic writing.
#include "host/report/xls/cfb_writer.h"

#include "report/xls_test_util.h"
#include "test_env.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace xls_test;
namespace fs = std::filesystem;

constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFat = 0xFFFFFFFD, kDif = 0xFFFFFFFC;

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * 7 + i / 251);
    return b;
}

// A directory entry as the container format lays it out.
Le DirEntry(std::u16string_view name, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
    Le e;
    e.utf16(name);
    if (!name.empty()) e.u16(0);
    e.fill(64 - e.b.size(), 0);
    e.u16(name.empty() ? 0 : uint16_t(2 * (name.size() + 1)));
    e.u8(type).u8(name.empty() ? 0 : 1);
    e.u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(child);
    e.fill(16 + 4 + 16, 0);  // CLSID, state bits, times
    e.u32(start).u32(size).u32(0);
    return e;
}

TEST(CompoundFile, SmallStreamHasTheDocumentedBytes) {
    const Bytes stream = Pattern(4096);  // exactly the cutoff: 8 sectors, no padding
    Le expected;
    // Header.
    expected.u8(0xD0).u8(0xCF).u8(0x11).u8(0xE0).u8(0xA1).u8(0xB1).u8(0x1A).u8(0xE1);
    expected.fill(16, 0);
    expected.u16(0x003E).u16(0x0003).u16(0xFFFE).u16(9).u16(6).fill(6, 0);
    expected
        .u32(0)     // directory sectors (v3)
        .u32(1)     // FAT sectors
        .u32(9)     // directory: after 8 stream sectors and the FAT
        .u32(0)     // transaction signature
        .u32(4096)  // mini stream cutoff
        .u32(kEnd)  // no mini FAT
        .u32(0)
        .u32(kEnd)  // no DIFAT sector
        .u32(0)
        .u32(8);  // DIFAT[0]: the FAT is sector 8
    expected.fill(108 * 4, 0xFF);
    ASSERT_EQ(expected.b.size(), 512u);
    // Stream sectors 0..7.
    expected.b.insert(expected.b.end(), stream.begin(), stream.end());
    // FAT (sector 8): the stream chain, the FAT itself, the directory.
    for (uint32_t i = 1; i < 8; ++i)
        expected.u32(i);
    expected.u32(kEnd).u32(kFat).u32(kEnd).fill(118 * 4, 0xFF);
    // Directory (sector 9).
    for (const Le& e :
         {DirEntry(u"Root Entry", 5, 1, kEnd, 0), DirEntry(u"Workbook", 2, kFree, 0, 4096),
          DirEntry(u"", 0, kFree, 0, 0), DirEntry(u"", 0, kFree, 0, 0)})
        expected.b.insert(expected.b.end(), e.b.begin(), e.b.end());

    EXPECT_TRUE(SameBytes(expected.b, host::xls::BuildCompoundFile(stream)));
}

// Reads the Workbook stream back the way a reader does, checking the
// bookkeeping on the way: DIFAT chain, FAT marks, a single chain of the right
// length, and no sector the FAT does not account for.
Bytes ReadBack(const Bytes& file) {
    Bytes stream;
    EXPECT_EQ(file.size() % 512, 0u);
    const std::size_t sectors = file.size() / 512 - 1;
    const uint32_t fatCount = U32(file, 0x2C), dirSector = U32(file, 0x30);
    const uint32_t difatCount = U32(file, 0x48);
    auto sector = [&](uint32_t n) { return std::size_t(n + 1) * 512; };

    std::vector<uint32_t> fatSectors;
    for (uint32_t i = 0; i < 109; ++i) {
        const uint32_t v = U32(file, 0x4C + 4 * i);
        if (i < fatCount)
            fatSectors.push_back(v);
        else
            EXPECT_EQ(v, kFree) << "header DIFAT slot " << i;
    }
    std::vector<uint32_t> difatSectors;
    uint32_t next = U32(file, 0x44);
    if (difatCount == 0) {
        EXPECT_EQ(next, kEnd);
    }
    for (uint32_t j = 0; j < difatCount; ++j) {
        EXPECT_LT(next, sectors);
        if (next >= sectors) return {};
        difatSectors.push_back(next);
        for (uint32_t i = 0; i < 127; ++i) {
            const uint32_t v = U32(file, sector(next) + 4 * i);
            if (fatSectors.size() < fatCount)
                fatSectors.push_back(v);
            else
                EXPECT_EQ(v, kFree);
        }
        next = U32(file, sector(next) + 508);
    }
    EXPECT_EQ(next, kEnd) << "last DIFAT link";
    EXPECT_EQ(fatSectors.size(), fatCount);
    EXPECT_GE(std::size_t(fatCount) * 128, sectors);
    EXPECT_EQ(difatCount, fatCount > 109 ? (fatCount - 109 + 126) / 127 : 0u);

    std::vector<uint32_t> fat;
    for (uint32_t s : fatSectors) {
        EXPECT_LT(s, sectors);
        if (s >= sectors) return {};
        for (uint32_t i = 0; i < 128; ++i)
            fat.push_back(U32(file, sector(s) + 4 * i));
    }
    for (uint32_t s : fatSectors)
        EXPECT_EQ(fat[s], kFat) << "FAT sector " << s;
    for (uint32_t s : difatSectors)
        EXPECT_EQ(fat[s], kDif) << "DIFAT sector " << s;
    EXPECT_EQ(fat[dirSector], kEnd);
    for (std::size_t i = sectors; i < fat.size(); ++i)
        EXPECT_EQ(fat[i], kFree) << "entry " << i;

    const std::size_t dir = sector(dirSector);
    EXPECT_EQ(U32(file, dir + 76), 1u) << "root's child";
    EXPECT_EQ(U16(file, dir + 128 + 64), 18u) << "name length of Workbook";
    const uint32_t start = U32(file, dir + 128 + 116), size = U32(file, dir + 128 + 120);
    EXPECT_GE(size, 4096u);
    std::size_t chained = 0;
    for (uint32_t s = start; s != kEnd; s = fat[s]) {
        EXPECT_LT(s, sectors);
        if (s >= sectors || ++chained > sectors) return {};
        stream.insert(stream.end(), file.begin() + sector(s), file.begin() + sector(s) + 512);
    }
    EXPECT_EQ(chained, (size + 511) / 512u);
    EXPECT_EQ(chained + fatCount + difatCount + 1, sectors) << "every sector is accounted for";
    stream.resize(std::min<std::size_t>(size, stream.size()));
    return stream;
}

TEST(CompoundFile, EverySizeReadsBackWithSoundBookkeeping) {
    // Around the padding cutoff, where the FAT needs a second sector, at the last
    // size without DIFAT (109 FAT sectors), just beyond it, and where a second
    // DIFAT sector is needed.
    const std::size_t noDifatMax = 7087104;
    for (std::size_t n :
         {std::size_t(0), std::size_t(1), std::size_t(4095), std::size_t(4097),
          std::size_t(126 * 512), std::size_t(126 * 512 + 1), std::size_t(127 * 512), noDifatMax,
          noDifatMax + 1, std::size_t(15'300'000), std::size_t(15'500'000)}) {
        SCOPED_TRACE("stream of " + std::to_string(n) + " bytes");
        const Bytes stream = Pattern(n);
        const Bytes file = host::xls::BuildCompoundFile(stream);
        Bytes padded = stream;
        padded.resize(std::max<std::size_t>(n, 4096), 0);
        EXPECT_TRUE(SameBytes(padded, ReadBack(file)));
        const uint32_t fats = U32(file, 0x2C);
        if (n == noDifatMax) {
            EXPECT_EQ(fats, 109u);
        }
        if (n == noDifatMax + 1) {
            EXPECT_EQ(U32(file, 0x48), 1u);
        }
        if (n == 15'500'000) {
            EXPECT_EQ(U32(file, 0x48), 2u);
        }
    }
}

class AtomicWrite : public ScratchFolderTest {
  protected:
    std::vector<std::string> Entries(const fs::path& d) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(d))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(AtomicWrite, ReplacesTheFileAndKeepsItsPermissions) {
    const fs::path target = dir_ / "Отчет.xls";
    WriteFile(target, Bytes{1, 2, 3});
    ::chmod(target.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(host::xls::WriteCompoundFile(target, Pattern(5000), &error)) << error;
    const Bytes file = ReadFile(target);
    EXPECT_TRUE(SameBytes(host::xls::BuildCompoundFile(Pattern(5000)), file));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"Отчет.xls"});
}

TEST_F(AtomicWrite, FailureReportsTheFileAndLeavesNothingBehind) {
    std::string error;
    // A folder that does not exist.
    const fs::path missing = dir_ / "missing" / "out.xls";
    EXPECT_FALSE(host::xls::WriteCompoundFile(missing, Pattern(10), &error));
    EXPECT_NE(error.find(missing.string()), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    // The target is a folder: the temporary file is written, the rename fails,
    // and the temporary file must go again.
    const fs::path folder = dir_ / "taken.xls";
    fs::create_directories(folder);
    error.clear();
    EXPECT_FALSE(host::xls::WriteCompoundFile(folder, Pattern(10), &error));
    EXPECT_NE(error.find(folder.string()), std::string::npos) << error;
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"taken.xls"});

    // A folder without write permission (root may write anyway).
    const fs::path locked = dir_ / "locked";
    fs::create_directories(locked);
    ::chmod(locked.c_str(), 0555);
    if (::geteuid() != 0) {
        error.clear();
        EXPECT_FALSE(host::xls::WriteCompoundFile(locked / "out.xls", Pattern(10), &error));
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
        EXPECT_TRUE(Entries(locked).empty());
    }
    ::chmod(locked.c_str(), 0755);
}

}  // namespace
