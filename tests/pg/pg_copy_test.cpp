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

#include "archive/pg/pgconnection.h"
#include "archive/pg/pgcopy.h"

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
std::string Key(const host::pg::CopySample& s, host::pg::CopyLayout layout) {
    return layout == host::pg::CopyLayout::NamedRows ? std::string(s.Variable)
                                                     : "#" + std::to_string(s.Ordinal);
}

// Decodes `bytes` fed in chunks of `chunk` bytes; the error text when it fails.
std::string Decode(const std::string& bytes, std::size_t chunk, std::vector<Row>& rows,
                   host::pg::CopyLayout layout = host::pg::CopyLayout::NamedRows) {
    host::pg::CopyDecoder d(
        [&](const host::pg::CopySample& s) {
            rows.push_back({Key(s, layout), s.Time, s.State, s.Value});
            return true;
        },
        layout);
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
    // the first row's time as PostgreSQL's 'infinity' and '-infinity'
    const std::size_t time = 19 + 2 + 4 + 13 + 4;
    const std::string infinity =
        good.substr(0, time) + "\x7f" + std::string(7, '\xff') + good.substr(time + 8);
    const std::string minusInfinity =
        good.substr(0, time) + "\x80" + std::string(7, '\0') + good.substr(time + 8);
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
        {infinity, "a sample at an infinite time"},
        {minusInfinity, "a sample at an infinite time"},
    };
    for (const auto& [bytes, error] : bad) {
        std::vector<Row> rows;
        EXPECT_EQ(Decode(bytes, 7, rows), error);
    }
}

std::string Big(uint64_t v, int bytes) {
    std::string b(std::size_t(bytes), '\0');
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        b[std::size_t(i)] = char(v & 0xFF);
    return b;
}

// A field: its length, then its bytes; NULL as the length -1.
std::string Field(const std::string& bytes) {
    return Big(bytes.size(), 4) + bytes;
}

// A binary array of `elements` (each its bytes) of the type `oid`: dimensions,
// has-nulls flag, element type, then the one dimension's size and lower bound.
std::string Array(uint32_t oid, const std::vector<std::string>& elements, int32_t dims = 1,
                  int32_t flags = 0) {
    std::string a = Big(uint32_t(dims), 4) + Big(uint32_t(flags), 4) + Big(oid, 4);
    if (dims) a += Big(elements.size(), 4) + Big(1, 4);
    for (const std::string& e : elements)
        a += Field(e);
    return Field(a);
}

const std::string kNull = Big(0xFFFFFFFF, 4);

// One variable's row: its ordinal, then its times, states and values.
std::string ArrayRow(const std::string& ordinal, const std::string& times,
                     const std::string& states, const std::string& values) {
    return Big(4, 2) + ordinal + times + states + values;
}

std::string Stream(const std::string& rows) {
    std::string s;
    host::pg::AppendCopyHeader(s);
    s += rows;
    host::pg::AppendCopyTrailer(s);
    return s;
}

TEST(PgCopy, ArrayRowsKeyedByOrdinal) {
    const std::string t0 = Big(uint64_t(60LL * 1000000 - 946684800LL * 1000000), 8);
    const std::string t1 = Big(uint64_t(61LL * 1000000 - 946684800LL * 1000000), 8);
    const std::string times = Array(1184, {t0, t1}), states = Array(23, {Big(2, 4), Big(0, 4)});
    const std::string values = Array(701, {Big(0x3FE0000000000000, 8), Big(0x3FF0000000000000, 8)});
    const std::string one = Field(Big(1, 8));
    const char* const wrong = "a COPY row whose columns are not of the samples' types";
    const struct {
        std::string rows;
        const char* error;
        std::vector<Row> decoded;
    } cases[] = {
        {ArrayRow(one, times, states, values) + ArrayRow(Field(Big(3, 8)), kNull, kNull, kNull) +
             ArrayRow(Field(Big(4, 8)), Array(1184, {}, 0), Array(23, {}, 0), Array(701, {}, 0)),
         "",
         {{"#1", 60, 2, 0.5}, {"#1", 61, 0, 1}}},
        {ArrayRow(kNull, times, states, values), wrong, {}},
        {ArrayRow(Field("U1.P01"), times, states, values), wrong, {}},
        {ArrayRow(one, Array(20, {t0, t1}), states, values), wrong, {}},  // bigint[], not times
        {ArrayRow(one, Array(1184, {t0, t1}, 1, 1), states, values), wrong, {}},  // has NULLs
        {ArrayRow(one, Array(1184, {t0}), states, values), wrong, {}},            // lengths differ
        {ArrayRow(one, times, Array(23, {Big(2, 8), Big(0, 8)}), values), wrong, {}},
        {ArrayRow(one, Array(1184, {t0, t1}, 2), states, values), wrong, {}},  // two dimensions
        {ArrayRow(one, Field(times.substr(4, 12) + Big(1000000, 4) + Big(1, 4)), states, values),
         wrong,
         {}},  // a size the bytes do not hold
    };
    for (const auto& c : cases) {
        const std::string bytes = Stream(c.rows);
        for (std::size_t chunk : {std::size_t(1), std::size_t(7), bytes.size()}) {
            std::vector<Row> rows;
            EXPECT_EQ(Decode(bytes, chunk, rows, host::pg::CopyLayout::VariableArrays), c.error)
                << chunk;
            EXPECT_EQ(rows, c.decoded) << chunk;
        }
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
    // The same samples as one variable's arrays, and a variable without any.
    std::vector<Row> keyed;
    host::pg::CopyDecoder k(
        [&](const host::pg::CopySample& s) {
            keyed.push_back(
                {Key(s, host::pg::CopyLayout::VariableArrays), s.Time, s.State, s.Value});
            return true;
        },
        host::pg::CopyLayout::VariableArrays);
    ASSERT_TRUE(c.CopyOut(
        "COPY (SELECT 4294967297::bigint, array_agg(time ORDER BY ctid), array_agg(state ORDER "
        "BY ctid), array_agg(value ORDER BY ctid) FROM copy_test UNION ALL SELECT 5, NULL, NULL, "
        "NULL) TO STDOUT (FORMAT binary)",
        [&](const char* p, std::size_t n) { return k.Feed(p, n); }))
        << c.Error() << k.Error();
    EXPECT_TRUE(k.Finish()) << k.Error();
    std::vector<Row> expected = kRows;
    for (Row& r : expected)
        r.variable = "#4294967297";
    EXPECT_EQ(keyed, expected);
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
