// The binary COPY stream, decoded from any chunking and refused when malformed,
// and carried through a real PostgreSQL server both ways without a bit lost.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "data/pg/pgconnection.h"
#include "data/pg/pgcopy.h"

namespace {

struct Row {
    std::string variable;
    int64_t time;
    int32_t state;
    double value;
    bool operator==(const Row& o) const {
        return variable == o.variable && time == o.time && state == o.state &&
               std::memcmp(&value, &o.value, sizeof value) == 0;
    }
};

const std::vector<Row> kRows = {
    {"U1.P01.Sensor", 1796590800, 2, 104.8},
    {"U1.P01.Sensor", 946684799, 0, -0.0},  // a second before PostgreSQL's epoch
    {"Реле", -1, 65535, std::numeric_limits<double>::denorm_min()},  // UTF-8 on the server
    {"", 0, 0, 1e308},
    {std::string(1024, 'x'), 4102444800, 7, 0.1},
};

std::string Encode(const std::vector<Row>& rows) {
    std::string s;
    host::pg::AppendCopyHeader(s);
    for (const Row& r : rows)
        host::pg::AppendCopyRow(s, r.variable, r.time, r.state, r.value);
    host::pg::AppendCopyTrailer(s);
    return s;
}

// A row's variable as the decoder gives it: the name, or "#" and the ordinal.
std::string Key(const host::pg::CopySample& s, host::pg::CopyKey key) {
    return key == host::pg::CopyKey::Name ? std::string(s.Variable)
                                          : "#" + std::to_string(s.Ordinal);
}

// Decodes `bytes` fed in chunks of `chunk` bytes; the error text when it fails.
std::string Decode(const std::string& bytes, std::size_t chunk, std::vector<Row>& rows,
                   host::pg::CopyKey key = host::pg::CopyKey::Name) {
    host::pg::CopyDecoder d(
        [&](const host::pg::CopySample& s) {
            rows.push_back({Key(s, key), s.Time, s.State, s.Value});
            return true;
        },
        key);
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
        if (!d.Feed(bytes.data() + at, std::min(chunk, bytes.size() - at))) return d.Error();
    return d.Finish() ? "" : d.Error();
}

TEST(PgCopy, DecodesFromAnyChunkingAndRefusesMalformedStreams) {
    const std::string good = Encode(kRows);
    for (std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(19), good.size()}) {
        std::vector<Row> rows;
        EXPECT_EQ(Decode(good, chunk, rows), "") << chunk;
        EXPECT_EQ(rows, kRows) << chunk;
    }
    std::string longName = Encode({{std::string(1025, 'x'), 0, 0, 0}});
    std::string badColumns = good;
    badColumns[19 + 2 + 4 + 13 + 3] = 9;  // the first row's time claims 9 bytes
    const std::pair<std::string, const char*> bad[] = {
        {"PGCOPY\n\377\r\n\1" + good.substr(11), "not a binary COPY stream"},
        {good.substr(0, good.size() - 2), "the COPY stream ended early"},
        {good.substr(0, 30), "the COPY stream ended early"},
        {good + "x", "data after the end of the COPY stream"},
        {good.substr(0, 19) + std::string("\0\3", 2) + good.substr(21),
         "a COPY row without the four sample columns"},
        {good.substr(0, 21) + std::string("\xff\xff\xff\xff", 4) + good.substr(25),
         "a sample without a variable name"},
        {longName, "a variable name too long"},
        {badColumns, "a COPY row whose columns are not of the samples' types"},
    };
    for (const auto& [bytes, error] : bad) {
        std::vector<Row> rows;
        EXPECT_EQ(Decode(bytes, 7, rows), error);
    }
}

// A bigint's field is its eight bytes, big-endian: a name of those bytes.
std::string OrdinalBytes(int64_t ordinal) {
    std::string b(8, '\0');
    for (int i = 7; i >= 0; --i, ordinal >>= 8)
        b[std::size_t(i)] = char(ordinal & 0xFF);
    return b;
}

TEST(PgCopy, RowsKeyedByOrdinal) {
    const auto ordinal = host::pg::CopyKey::Ordinal;
    const std::string good = Encode({{OrdinalBytes(1), 60, 2, 0.5}, {OrdinalBytes(-2), 61, 0, 1}});
    const struct {
        std::string bytes;
        const char* error;
        std::vector<Row> rows;
    } cases[] = {
        {good, "", {{"#1", 60, 2, 0.5}, {"#-2", 61, 0, 1}}},
        {Encode({{"U1.P01", 60, 2, 0.5}}),
         "a COPY row whose columns are not of the samples' types",
         {}},
        {Encode({{"", 60, 2, 0.5}}), "a COPY row whose columns are not of the samples' types", {}},
    };
    for (const auto& c : cases)
        for (std::size_t chunk : {std::size_t(1), c.bytes.size()}) {
            std::vector<Row> rows;
            EXPECT_EQ(Decode(c.bytes, chunk, rows, ordinal), c.error) << chunk;
            EXPECT_EQ(rows, c.rows) << chunk;
        }
}

std::string ClusterConnInfo() {
    const char* state = std::getenv("TW_PG_STATE");
    std::ifstream in(std::string(state ? state : "") + "/conninfo");
    std::string line;
    std::getline(in, line);
    return line;
}

TEST(PgCopy, RowsGoThroughTheServerAndBackUnchanged) {
    host::pg::Connection c;
    ASSERT_TRUE(c.Open(ClusterConnInfo())) << c.Error();
    ASSERT_TRUE(c.Exec("DROP TABLE IF EXISTS copy_test")) << c.Error();
    ASSERT_TRUE(
        c.Exec("CREATE TABLE copy_test (variable text NOT NULL, time timestamptz NOT "
               "NULL, state integer NOT NULL, value double precision NOT NULL)"))
        << c.Error();
    ASSERT_TRUE(c.CopyIn("COPY copy_test FROM STDIN (FORMAT binary)", Encode(kRows))) << c.Error();
    std::vector<Row> back;
    host::pg::CopyDecoder d([&](const host::pg::CopySample& s) {
        back.push_back({std::string(s.Variable), s.Time, s.State, s.Value});
        return true;
    });
    ASSERT_TRUE(
        c.CopyOut("COPY (SELECT variable, time, state, value FROM copy_test ORDER BY "
                  "ctid) TO STDOUT (FORMAT binary)",
                  [&](const char* p, std::size_t n) { return d.Feed(p, n); }))
        << c.Error() << d.Error();
    EXPECT_TRUE(d.Finish()) << d.Error();
    EXPECT_EQ(back, kRows);
    // The same rows keyed by the server's bigint.
    std::vector<Row> keyed;
    host::pg::CopyDecoder k(
        [&](const host::pg::CopySample& s) {
            keyed.push_back({Key(s, host::pg::CopyKey::Ordinal), s.Time, s.State, s.Value});
            return true;
        },
        host::pg::CopyKey::Ordinal);
    ASSERT_TRUE(c.CopyOut(
        "COPY (SELECT 4294967296 + row_number() OVER (ORDER BY ctid), time, state, value FROM "
        "copy_test ORDER BY ctid) TO STDOUT (FORMAT binary)",
        [&](const char* p, std::size_t n) { return k.Feed(p, n); }))
        << c.Error() << k.Error();
    EXPECT_TRUE(k.Finish()) << k.Error();
    ASSERT_EQ(keyed.size(), kRows.size());
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        EXPECT_EQ(keyed[i].variable, "#" + std::to_string(4294967297 + int64_t(i)));
        EXPECT_EQ(keyed[i].time, kRows[i].time);
    }
    // The server's own words when a command fails, and when it cannot be reached.
    EXPECT_FALSE(c.Exec("SELECT * FROM no_such_table", nullptr, PGRES_TUPLES_OK));
    EXPECT_EQ(c.Error(),
              "ERROR:  relation \"no_such_table\" does not exist\n"
              "LINE 1: SELECT * FROM no_such_table\n"
              "                      ^");
    host::pg::Connection none;
    EXPECT_FALSE(none.Open("host=/no/such/folder user=tripwatch dbname=postgres"));
    EXPECT_NE(none.Error().find("/no/such/folder/.s.PGSQL.5432"), std::string::npos)
        << none.Error();
}

}  // namespace
