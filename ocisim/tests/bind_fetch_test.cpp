// Binds (by name, by position, arrays, RETURNING), describe, defines and fetch semantics.
#include <cstring>

#include "fixture.h"

class Binds : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ok("CREATE TABLE \"T\" (\"ID\" NUMBER(10) NOT NULL, \"NAME\" NVARCHAR2(20), "
           "\"D\" DATE)");
    }
    oci::Api& a = oci::Api::get();
};

TEST_F(Binds, ByNameAndByPosition) {
    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\", \"NAME\") VALUES (:id, :name)"),
              oci::SUCCESS);
    int id = 42;
    std::u16string name = u16("Zoë");
    void* b1 = nullptr;
    void* b2 = nullptr;
    std::u16string p1 = u16(":ID");
    std::u16string p2 = u16(":name");
    ASSERT_EQ(
        a.BindByName(db().stmt, &b1, db().err, p1.data(), static_cast<sb4>(p1.size() * 2), &id,
                     sizeof id, oci::SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, oci::DEFAULT),
        oci::SUCCESS);
    ub2 len = static_cast<ub2>(name.size() * 2);
    ASSERT_EQ(a.BindByName(db().stmt, &b2, db().err, p2.data(), static_cast<sb4>(p2.size() * 2),
                           name.data(), static_cast<sb4>(name.size() * 2), oci::SQLT_CHR, nullptr,
                           &len, nullptr, 0, nullptr, oci::DEFAULT),
              oci::SUCCESS);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();

    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\", \"NAME\") VALUES (:1, :2)"), oci::SUCCESS);
    double idd = 43;
    sb2 null_ind = -1;
    ASSERT_EQ(a.BindByPos(db().stmt, &b1, db().err, 1, &idd, sizeof idd, oci::SQLT_FLT, nullptr,
                          nullptr, nullptr, 0, nullptr, oci::DEFAULT),
              oci::SUCCESS);
    ASSERT_EQ(a.BindByPos(db().stmt, &b2, db().err, 2, name.data(), 2, oci::SQLT_CHR, &null_ind,
                          nullptr, nullptr, 0, nullptr, oci::DEFAULT),
              oci::SUCCESS);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    EXPECT_EQ(db().rows("SELECT \"ID\", \"NAME\" FROM \"T\" ORDER BY 1"),
              (Rows{{"42", "Zoë"}, {"43", "<null>"}}));
}

TEST_F(Binds, MissingAndUnknownBinds) {
    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\") VALUES (:1)"), oci::SUCCESS);
    EXPECT_EQ(db().execute(1), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-01008: not all variables bound");
    int v = 1;
    void* b = nullptr;
    std::u16string p = u16(":nope");
    a.BindByName(db().stmt, &b, db().err, p.data(), static_cast<sb4>(p.size() * 2), &v, 4,
                 oci::SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    EXPECT_EQ(db().execute(1), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-01036: illegal variable name/number");
}

TEST_F(Binds, ArrayInsertStopsAtTheFirstFailingRowUnlessBatchErrors) {
    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\", \"NAME\") VALUES (:1, :2)"), oci::SUCCESS);
    struct Row {
        int id;
        char16_t name[8];
        sb2 ind;
    };
    Row rows[4] = {{1, u"one", 0}, {2, u"two", 0}, {3, u"", -1}, {4, u"four", 0}};
    void* b1 = nullptr;
    void* b2 = nullptr;
    a.BindByPos(db().stmt, &b1, db().err, 1, &rows[0].id, sizeof(int), oci::SQLT_INT, nullptr,
                nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    a.BindArrayOfStruct(b1, db().err, sizeof(Row), 0, 0, 0);
    a.BindByPos(db().stmt, &b2, db().err, 2, rows[0].name, sizeof rows[0].name, oci::SQLT_STR,
                &rows[0].ind, nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    a.BindArrayOfStruct(b2, db().err, sizeof(Row), sizeof(Row), 0, 0);
    ASSERT_EQ(db().execute(4), oci::SUCCESS) << db().text();
    ub4 count = 0;
    a.AttrGet(db().stmt, oci::HTYPE_STMT, &count, nullptr, oci::ATTR_ROW_COUNT, db().err);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"T\" WHERE \"NAME\" IS NULL"), "1");

    // Row 2 of 3 breaks NOT NULL: row 1 stays, the count says so.
    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\") VALUES (:1)"), oci::SUCCESS);
    int ids[3] = {10, 0, 30};
    sb2 inds[3] = {0, -1, 0};
    a.BindByPos(db().stmt, &b1, db().err, 1, ids, sizeof(int), oci::SQLT_INT, inds, nullptr,
                nullptr, 0, nullptr, oci::DEFAULT);
    EXPECT_EQ(db().execute(3), oci::ERROR);
    EXPECT_EQ(db().code(), 1400);
    a.AttrGet(db().stmt, oci::HTYPE_STMT, &count, nullptr, oci::ATTR_ROW_COUNT, db().err);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"T\" WHERE \"ID\" >= 10"), "1");

    // With batch errors every row is tried: rows 1 and 3 fail (NULL, then a duplicate key),
    // are reported with their zero-based offsets, and nothing is committed.
    ok("CREATE UNIQUE INDEX \"T_ID\" ON \"T\" (\"ID\")");
    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\") VALUES (:1)"), oci::SUCCESS);
    int more[5] = {40, 0, 41, 40, 42};
    sb2 more_inds[5] = {0, -1, 0, 0, 0};
    a.BindByPos(db().stmt, &b1, db().err, 1, more, sizeof(int), oci::SQLT_INT, more_inds, nullptr,
                nullptr, 0, nullptr, oci::DEFAULT);
    ASSERT_EQ(db().execute(5, oci::BATCH_ERRORS | oci::COMMIT_ON_SUCCESS), oci::SUCCESS_WITH_INFO)
        << db().text();
    EXPECT_EQ(db().text(), "ORA-24381: error(s) in array DML");
    a.AttrGet(db().stmt, oci::HTYPE_STMT, &count, nullptr, oci::ATTR_ROW_COUNT, db().err);
    EXPECT_EQ(count, 3u);
    ub4 errors = 0;
    a.AttrGet(db().stmt, oci::HTYPE_STMT, &errors, nullptr, oci::ATTR_NUM_DML_ERRORS, db().err);
    ASSERT_EQ(errors, 2u);
    void* aux = nullptr;
    void* row_err = nullptr;
    a.HandleAlloc(db().env, &aux, oci::HTYPE_ERROR, 0, nullptr);
    a.HandleAlloc(db().env, &row_err, oci::HTYPE_ERROR, 0, nullptr);
    std::vector<std::pair<ub4, int>> failures;
    for (ub4 i = 0; i < errors; ++i) {
        ASSERT_EQ(a.ParamGet(db().err, oci::HTYPE_ERROR, aux, &row_err, i), oci::SUCCESS);
        ub4 offset = 99;
        a.AttrGet(row_err, oci::HTYPE_ERROR, &offset, nullptr, oci::ATTR_DML_ROW_OFFSET, aux);
        sb4 code = 0;
        char16_t text[256];
        a.ErrorGet(row_err, 1, nullptr, &code, text, sizeof text, oci::HTYPE_ERROR);
        failures.emplace_back(offset, code);
    }
    EXPECT_EQ(failures, (std::vector<std::pair<ub4, int>>{{1, 1400}, {3, 1}}));
    a.HandleFree(row_err, oci::HTYPE_ERROR);
    a.HandleFree(aux, oci::HTYPE_ERROR);
    Conn other;
    ASSERT_EQ(other.connect(), oci::SUCCESS);
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM \"T\" WHERE \"ID\" >= 40"), "0");
    ASSERT_EQ(db().commit(), oci::SUCCESS);
    EXPECT_EQ(other.one("SELECT COUNT(*) FROM \"T\" WHERE \"ID\" >= 40"), "3");

    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\") VALUES (1)"), oci::SUCCESS);
    EXPECT_EQ(db().execute(0), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-24333: zero iteration count");
}

namespace {

struct RowidSink {
    char16_t buf[256] = {};
    ub4 len = sizeof buf;
    int in_calls = 0;
    int out_calls = 0;
    ub4 rows_returned = 0;
    sb2 in_ind = -1;
    sb2 out_ind = -1;
    bool no_indicator = false;  // hands out a NULL indicator pointer, which is refused
};

sb4 no_data(void* ctx, void*, ub4, ub4, void** bufp, ub4* alenp, ub1* piecep, void** indp) {
    auto* sink = static_cast<RowidSink*>(ctx);
    sink->in_calls++;
    *bufp = nullptr;
    *alenp = 0;
    *indp = sink->no_indicator ? nullptr : &sink->in_ind;
    *piecep = oci::ONE_PIECE;
    return oci::CONTINUE;
}

sb4 get_data(void* ctx, void* bind, ub4, ub4 index, void** bufp, ub4** alenp, ub1* piecep,
             void** indp, ub2** rcodep) {
    auto* sink = static_cast<RowidSink*>(ctx);
    sink->out_calls++;
    if (index == 0) {
        oci::Api::get().AttrGet(bind, oci::HTYPE_BIND, &sink->rows_returned, nullptr,
                                oci::ATTR_ROWS_RETURNED, nullptr);
    }
    *bufp = sink->buf;
    *alenp = &sink->len;
    *piecep = oci::ONE_PIECE;
    *indp = sink->no_indicator ? nullptr : &sink->out_ind;
    *rcodep = nullptr;
    return oci::CONTINUE;
}

}  // namespace

TEST_F(Binds, ReturningRowidThroughDynamicBinds) {
    ASSERT_EQ(db().prepare("INSERT /*+ APPEND */ INTO \"T\" (\"ID\") VALUES(5) RETURNING ROWID "
                           "INTO :1"),
              oci::SUCCESS);
    RowidSink sink;
    void* b = nullptr;
    std::u16string p = u16(":1");
    ASSERT_EQ(a.BindByName(db().stmt, &b, db().err, p.data(), 4, sink.buf, sizeof sink.buf,
                           oci::SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, oci::DATA_AT_EXEC),
              oci::SUCCESS);
    ASSERT_EQ(a.BindDynamic(b, db().err, &sink, no_data, &sink, get_data), oci::SUCCESS);
    ASSERT_EQ(db().execute(1, oci::COMMIT_ON_SUCCESS), oci::SUCCESS) << db().text();
    EXPECT_EQ(sink.in_calls, 1);
    EXPECT_EQ(sink.out_calls, 1);
    EXPECT_EQ(sink.rows_returned, 1u);
    EXPECT_EQ(sink.out_ind, 0);
    ASSERT_EQ(sink.len, 36u);  // 18 characters of UTF-16
    std::string rowid = u8(sink.buf, sink.len / 2);
    EXPECT_EQ(
        rowid.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"),
        std::string::npos);
    EXPECT_EQ(db().one("SELECT \"ID\" FROM \"T\" WHERE ROWID = '" + rowid + "'"), "5");
    EXPECT_EQ(db().one("SELECT ROWID FROM \"T\""), rowid);
    EXPECT_EQ(fails("SELECT \"ID\" FROM \"T\" WHERE ROWID = 'bad'"), "ORA-01410: invalid ROWID");

    // The client library writes the indicators: callbacks without them are refused.
    RowidSink careless;
    careless.no_indicator = true;
    ASSERT_EQ(db().prepare("INSERT INTO \"T\" (\"ID\") VALUES(6) RETURNING ROWID INTO :1"),
              oci::SUCCESS);
    a.BindByName(db().stmt, &b, db().err, p.data(), 4, careless.buf, sizeof careless.buf,
                 oci::SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, oci::DATA_AT_EXEC);
    a.BindDynamic(b, db().err, &careless, no_data, &careless, get_data);
    EXPECT_EQ(db().execute(1), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-24343: user defined callback error");
}

TEST_F(Binds, DescribeReportsOracleTypesAndSizes) {
    ok("CREATE TABLE \"W\" (\"N\" NVARCHAR2(20) NOT NULL, \"P\" NUMBER(10,2), \"D\" DATE, "
       "\"C\" CLOB, \"B\" BLOB, \"F\" CHAR(4), \"L\" LONG, \"R\" RAW(8), \"X\" NUMBER)");
    EXPECT_EQ(fails("SELECT \"N\", COUNT(*) FROM \"W\""),
              "ORA-00937: not a single-group group function");
    ASSERT_EQ(db().prepare("SELECT \"N\", \"P\", \"D\", \"C\", \"B\", \"F\", \"L\", \"R\", \"X\" "
                           "FROM \"W\""),
              oci::SUCCESS);
    ASSERT_EQ(db().execute(1, oci::PARSE_ONLY), oci::SUCCESS) << db().text();
    ub4 count = 0;
    a.AttrGet(db().stmt, oci::HTYPE_STMT, &count, nullptr, oci::ATTR_PARAM_COUNT, db().err);
    ASSERT_EQ(count, 9u);
    struct Want {
        const char* name;
        ub2 type;
        ub2 size;
        ub1 form;
        sb2 precision;
        sb1 scale;
        ub1 nullable;
    };
    Want want[] = {
        {"N", 1, 40, 2, 0, 0, 0},     {"P", 2, 22, 0, 10, 2, 1},    {"D", 12, 7, 0, 0, 0, 1},
        {"C", 112, 4000, 1, 0, 0, 1}, {"B", 113, 4000, 0, 0, 0, 1}, {"F", 96, 4, 1, 0, 0, 1},
        {"L", 8, 0, 1, 0, 0, 1},      {"R", 23, 8, 0, 0, 0, 1},     {"X", 2, 22, 0, 0, -127, 1}};
    for (ub4 i = 0; i < count; ++i) {
        void* param = nullptr;
        ASSERT_EQ(a.ParamGet(db().stmt, oci::HTYPE_STMT, db().err, &param, i + 1), oci::SUCCESS);
        ub2 type = 0, size = 0;
        ub1 form = 0, nullable = 9;
        sb2 precision = -1;
        sb1 scale = -1;
        char16_t* name = nullptr;
        ub4 name_len = 0;
        a.AttrGet(param, oci::DTYPE_PARAM, &type, nullptr, oci::ATTR_DATA_TYPE, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &size, nullptr, oci::ATTR_DATA_SIZE, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &form, nullptr, oci::ATTR_CHARSET_FORM, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &precision, nullptr, oci::ATTR_PRECISION, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &scale, nullptr, oci::ATTR_SCALE, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &nullable, nullptr, oci::ATTR_IS_NULL, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &name, &name_len, oci::ATTR_NAME, db().err);
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(u8(name, name_len / 2), want[i].name);
        EXPECT_EQ(type, want[i].type);
        EXPECT_EQ(size, want[i].size);
        EXPECT_EQ(form, want[i].form);
        EXPECT_EQ(precision, want[i].precision);
        EXPECT_EQ(scale, want[i].scale);
        EXPECT_EQ(nullable, want[i].nullable);
        a.DescriptorFree(param, oci::DTYPE_PARAM);  // the caller owns it
    }
    void* param = nullptr;
    EXPECT_EQ(a.ParamGet(db().stmt, oci::HTYPE_STMT, db().err, &param, 10), oci::ERROR);
    // A computed number: no precision, scale -127, not nullable for COUNT(*).
    ASSERT_EQ(db().prepare("SELECT COUNT(*) FROM \"W\""), oci::SUCCESS);
    ASSERT_EQ(db().execute(1, oci::DESCRIBE_ONLY), oci::SUCCESS) << db().text();
    ASSERT_EQ(a.ParamGet(db().stmt, oci::HTYPE_STMT, db().err, &param, 1), oci::SUCCESS);
    char16_t* name = nullptr;
    ub4 name_len = 0;
    sb1 scale = 0;
    ub1 nullable = 9;
    a.AttrGet(param, oci::DTYPE_PARAM, &name, &name_len, oci::ATTR_NAME, db().err);
    a.AttrGet(param, oci::DTYPE_PARAM, &scale, nullptr, oci::ATTR_SCALE, db().err);
    a.AttrGet(param, oci::DTYPE_PARAM, &nullable, nullptr, oci::ATTR_IS_NULL, db().err);
    EXPECT_EQ(u8(name, name_len / 2), "COUNT(*)");
    EXPECT_EQ(scale, -127);
    EXPECT_EQ(nullable, 0);
    a.DescriptorFree(param, oci::DTYPE_PARAM);
}

TEST_F(Binds, FetchSemantics) {
    for (int i = 1; i <= 5; ++i) {
        ok("INSERT INTO \"T\" (\"ID\", \"NAME\", \"D\") VALUES (" + std::to_string(i) + ", 'name" +
           std::to_string(i) + "', TO_DATE('2021-07-0" + std::to_string(i) +
           " 13:14:15', 'YYYY-MM-DD HH24:MI:SS'))");
    }
    // A count fetched by executing with one iteration into a 4-byte integer.
    ASSERT_EQ(db().prepare("SELECT COUNT(*) FROM \"T\""), oci::SUCCESS);
    int n = 0;
    void* def = nullptr;
    a.DefineByPos(db().stmt, &def, db().err, 1, &n, 4, oci::SQLT_INT, nullptr, nullptr, nullptr,
                  oci::DEFAULT);
    ASSERT_EQ(db().execute(1), oci::SUCCESS);
    EXPECT_EQ(n, 5);

    // Array fetch: fewer rows than asked for come with OCI_NO_DATA.
    ASSERT_EQ(db().prepare("SELECT \"ID\", \"NAME\" FROM \"T\" ORDER BY \"ID\""), oci::SUCCESS);
    int ids[3] = {};
    char16_t names[3][4] = {};
    sb2 inds[3] = {};
    ub2 rcodes[3] = {};
    a.DefineByPos(db().stmt, &def, db().err, 1, ids, sizeof(int), oci::SQLT_INT, nullptr, nullptr,
                  nullptr, oci::DEFAULT);
    a.DefineByPos(db().stmt, &def, db().err, 2, names, sizeof names[0], oci::SQLT_STR, inds,
                  nullptr, rcodes, oci::DEFAULT);
    ASSERT_EQ(db().execute(0), oci::SUCCESS);
    EXPECT_EQ(a.StmtFetch(db().stmt, db().err, 3, oci::FETCH_NEXT, oci::DEFAULT),
              oci::SUCCESS_WITH_INFO);  // "name1" does not fit 3 characters + terminator
    EXPECT_EQ(db().text(), "ORA-01406: fetched column value was truncated");
    EXPECT_EQ(rcodes[0], 1406);
    EXPECT_EQ(ids[2], 3);
    EXPECT_EQ(a.StmtFetch(db().stmt, db().err, 3, oci::FETCH_NEXT, oci::DEFAULT), oci::NO_DATA);
    ub4 fetched = 0;
    a.AttrGet(db().stmt, oci::HTYPE_STMT, &fetched, nullptr, oci::ATTR_ROWS_FETCHED, db().err);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(ids[1], 5);

    // A date into a timestamp descriptor.
    ASSERT_EQ(db().prepare("SELECT \"D\" FROM \"T\" WHERE \"ID\" = 2"), oci::SUCCESS);
    void* ts = nullptr;
    ASSERT_EQ(a.DescriptorAlloc(db().env, &ts, oci::DTYPE_TIMESTAMP, 0, nullptr), oci::SUCCESS);
    sb2 ind = 0;
    a.DefineByPos(db().stmt, &def, db().err, 1, &ts, 4, oci::SQLT_TIMESTAMP, &ind, nullptr, nullptr,
                  oci::DEFAULT);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    sb2 y = 0;
    ub1 mo = 0, d = 0, h = 0, mi = 0, s = 0;
    ub4 fs = 1;
    a.DateTimeGetDate(db().env, db().err, ts, &y, &mo, &d);
    a.DateTimeGetTime(db().env, db().err, ts, &h, &mi, &s, &fs);
    EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, static_cast<int>(fs)}),
              (std::vector<int>{2021, 7, 2, 13, 14, 15, 0}));
    // A descriptor filled by the client: a day the month lacks is refused.
    EXPECT_EQ(a.DateTimeConstruct(db().env, db().err, ts, 2023, 2, 29, 0, 0, 0, 0, nullptr, 0),
              oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-01847: day of month must be between 1 and last day of month");
    ASSERT_EQ(
        a.DateTimeConstruct(db().env, db().err, ts, 2024, 2, 29, 23, 59, 58, 7000000, nullptr, 0),
        oci::SUCCESS);
    a.DateTimeGetDate(db().env, db().err, ts, &y, &mo, &d);
    a.DateTimeGetTime(db().env, db().err, ts, &h, &mi, &s, &fs);
    EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, static_cast<int>(fs)}),
              (std::vector<int>{2024, 2, 29, 23, 59, 58, 7000000}));
    a.DescriptorFree(ts, oci::DTYPE_TIMESTAMP);

    // No rows with iterations > 0: OCI_NO_DATA. NULL without an indicator: ORA-01405.
    ASSERT_EQ(db().prepare("SELECT \"ID\" FROM \"T\" WHERE \"ID\" > 100"), oci::SUCCESS);
    a.DefineByPos(db().stmt, &def, db().err, 1, &n, 4, oci::SQLT_INT, nullptr, nullptr, nullptr,
                  oci::DEFAULT);
    EXPECT_EQ(db().execute(1), oci::NO_DATA);
    ok("INSERT INTO \"T\" (\"ID\") VALUES (9)");
    ASSERT_EQ(db().prepare("SELECT \"NAME\" FROM \"T\" WHERE \"ID\" = 9"), oci::SUCCESS);
    a.DefineByPos(db().stmt, &def, db().err, 1, names[0], 8, oci::SQLT_STR, nullptr, nullptr,
                  nullptr, oci::DEFAULT);
    EXPECT_EQ(db().execute(1), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-01405: fetched column value is NULL");
}
