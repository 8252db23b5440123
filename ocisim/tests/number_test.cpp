// NUMBER values kept exactly (38 significant digits), the NUMBER range, and numbers through the
// binary client types (integers, VARNUM/internal bytes, doubles).
#include <sqlite3.h>

#include <cstring>
#include <limits>

#include "fixture.h"

class Numbers : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ok("CREATE TABLE N (ID NUMBER(3), A NUMBER(25,5), B NUMBER(38), C NUMBER, F FLOAT)");
    }
    // Inserts one value into column `column` and reads it back as text.
    std::string through(const std::string& column, const std::string& literal) {
        ok("DELETE FROM N");
        std::string error = fails("INSERT INTO N (" + column + ") VALUES (" + literal + ")");
        if (!error.empty()) {
            return error;
        }
        return db().one("SELECT " + column + " FROM N");
    }
    // What any SQLite client sees in the service file for column `column` of row ID = id.
    std::string file_text(const std::string& column, int id) {
        db().commit();
        sqlite3* raw = nullptr;
        sqlite3_open_v2((home().path() + "/orcl.db").c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        std::string sql = "SELECT CAST(\"" + column +
                          "\" AS TEXT) FROM \"N\" WHERE \"ID\" = " + std::to_string(id);
        std::string out = "<none>";
        if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        sqlite3_finalize(st);
        sqlite3_close(raw);
        return out;
    }
    oci::Api& a = oci::Api::get();
};

TEST_F(Numbers, ThirtyEightDigitsSurviveStorageExactly) {
    EXPECT_EQ(through("A", "12345678901234567890.12345"), "12345678901234567890.12345");
    EXPECT_EQ(through("B", "99999999999999999999999999999999999999"),
              "99999999999999999999999999999999999999");
    EXPECT_EQ(through("B", "-99999999999999999999999999999999999999"),
              "-99999999999999999999999999999999999999");
    EXPECT_EQ(through("C", "-0.000000000000000000000000000001"),
              "-.000000000000000000000000000001");
    EXPECT_EQ(through("C", "'0.1234567890123456789'"), ".1234567890123456789");
    // Sixteen and seventeen digits: the first counts a double cannot hold digit for digit.
    EXPECT_EQ(through("C", "1234567890.123456"), "1234567890.123456");
    EXPECT_EQ(through("C", "9007199254740993.5"), "9007199254740993.5");
    // Precision and scale still apply to long values.
    EXPECT_EQ(through("A", "12345678901234567890.123456"), "12345678901234567890.12346");
    EXPECT_EQ(through("A", "123456789012345678901.5"),
              "ORA-01438: value larger than specified precision allowed for this column");

    // The file holds the same digits for other SQLite clients.
    ok("INSERT INTO N (ID, A, B) VALUES (1, 12345678901234567890.12345, "
       "99999999999999999999999999999999999999)");
    EXPECT_EQ(file_text("A", 1), "12345678901234567890.12345");
    EXPECT_EQ(file_text("B", 1), "99999999999999999999999999999999999999");
}

TEST_F(Numbers, MoreThanThirtyEightDigitsAreRounded) {
    EXPECT_EQ(through("C", "1234567890123456789012345678901234567890"),
              "1234567890123456789012345678901234567900");
    EXPECT_EQ(through("C", "'1.23456789012345678901234567890123456789'"),
              "1.2345678901234567890123456789012345679");
    EXPECT_EQ(through("C", "-99999999999999999999999999999999999999.5"),
              "-100000000000000000000000000000000000000");
}

TEST_F(Numbers, RangeOverflowsAtTenToThe126AndUnderflowsToZero) {
    const std::string overflow = "ORA-01426: numeric overflow";
    EXPECT_EQ(through("C", "1E126"), overflow);
    EXPECT_EQ(through("C", "'-1e126'"), overflow);
    // 39 nines round up to 1E126.
    EXPECT_EQ(through("C", "9.99999999999999999999999999999999999999E125"), overflow);
    EXPECT_EQ(through("C", "9.9999999999999999999999999999999999999E125"),
              "9.9999999999999999999999999999999999999E+125");
    EXPECT_EQ(through("C", "1E-130"), "1.0E-130");
    EXPECT_EQ(through("C", "-1E-131"), "0");
    EXPECT_EQ(through("C", "'1e99999999999'"), overflow);  // not an invalid number
    EXPECT_EQ(through("C", "1E100 * 1E100"), overflow);
    ASSERT_EQ(db().prepare("SELECT 1E126 FROM DUAL"), oci::SUCCESS);
    sword rc = db().execute(0);
    if (rc == oci::SUCCESS) {
        rc = a.StmtFetch(db().stmt, db().err, 1, oci::FETCH_NEXT, oci::DEFAULT);
    }
    EXPECT_EQ(rc, oci::ERROR);
    EXPECT_EQ(db().code(), 1426);
}

TEST_F(Numbers, ComparisonOrderAndKeysUseTheExactValue) {
    ok("ALTER TABLE N ADD CONSTRAINT N_PK PRIMARY KEY (C)");
    const char* values[] = {"12345678901234567890123",
                            "12345678901234567890122.5",
                            "12345678901234567890124",
                            "-12345678901234567890123",
                            "0.10000000000000000001",
                            "0.1",
                            "7"};
    for (const char* v : values) {
        ok(std::string("INSERT INTO N (C) VALUES (") + v + ")");
    }
    EXPECT_EQ(fails("INSERT INTO N (C) VALUES (12345678901234567890124)"),
              "ORA-00001: unique constraint (SCOTT.N_PK) violated");
    EXPECT_EQ(db().rows("SELECT C FROM N ORDER BY C"), (Rows{{"-12345678901234567890123"},
                                                             {".1"},
                                                             {".10000000000000000001"},
                                                             {"7"},
                                                             {"12345678901234567890122.5"},
                                                             {"12345678901234567890123"},
                                                             {"12345678901234567890124"}}));
    EXPECT_EQ(db().rows("SELECT C FROM N WHERE C > 12345678901234567890122.5 AND C < "
                        "'12345678901234567890124'"),
              (Rows{{"12345678901234567890123"}}));
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM N WHERE C = 0.10000000000000000001"), "1");
}

TEST_F(Numbers, ArithmeticIsDecimal) {
    EXPECT_EQ(db().one("SELECT 12345678901234567890 + 1 FROM DUAL"), "12345678901234567891");
    EXPECT_EQ(db().one("SELECT 0.1 + 0.2 - 0.3 FROM DUAL"), "0");
    EXPECT_EQ(db().one("SELECT 99999999999999999999 * 99999999999999999999 FROM DUAL"),
              "9999999999999999999800000000000000000000");
    EXPECT_EQ(db().one("SELECT 1 / 8 FROM DUAL"), ".125");
    EXPECT_EQ(db().one("SELECT 2 / 3 FROM DUAL"), ".66666666666666666666666666666666666667");
    EXPECT_EQ(db().one("SELECT -7 / 2 FROM DUAL"), "-3.5");
}

TEST_F(Numbers, InternalNumberBytesMatchOracleDump) {
    // Bytes as DUMP() shows them for these values.
    const std::vector<std::pair<std::string, std::vector<int>>> cases = {
        {"0", {128}},
        {"1", {193, 2}},
        {"-1", {62, 100, 102}},
        {"100", {194, 2}},
        {"0.5", {192, 51}},
        {"123.45", {194, 2, 24, 46}},
        {"-123.45", {61, 100, 78, 56, 102}},
        {"1E-130", {128, 2}}};
    for (const auto& [text, bytes] : cases) {
        ASSERT_EQ(db().prepare("SELECT " + text + " FROM DUAL"), oci::SUCCESS);
        unsigned char out[22] = {};
        ub2 len = 0;
        void* def = nullptr;
        a.DefineByPos(db().stmt, &def, db().err, 1, out, sizeof out, oci::SQLT_NUM, nullptr, &len,
                      nullptr, oci::DEFAULT);
        ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
        EXPECT_EQ(std::vector<int>(out, out + len), bytes) << text;
    }
}

TEST_F(Numbers, VarnumBindsAndDefinesCarryEveryDigit) {
    // Round trip through VARNUM (length byte first) in both directions.
    const char* values[] = {"99999999999999999999999999999999999999",
                            "-0.000000000000000000000000000001", "12345678901234567890.12345",
                            "-12345678901234567890123456789012345678", "0"};
    for (const char* v : values) {
        ok("DELETE FROM N");
        ok(std::string("INSERT INTO N (ID, C) VALUES (1, ") + v + ")");
        ASSERT_EQ(db().prepare("SELECT C FROM N"), oci::SUCCESS);
        unsigned char num[22] = {};
        void* def = nullptr;
        a.DefineByPos(db().stmt, &def, db().err, 1, num, sizeof num, 6 /* SQLT_VNU */, nullptr,
                      nullptr, nullptr, oci::DEFAULT);
        ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();

        ASSERT_EQ(db().prepare("INSERT INTO N (ID, C) VALUES (2, :1)"), oci::SUCCESS);
        void* b = nullptr;
        a.BindByPos(db().stmt, &b, db().err, 1, num, sizeof num, 6, nullptr, nullptr, nullptr, 0,
                    nullptr, oci::DEFAULT);
        ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
        EXPECT_EQ(db().rows("SELECT C FROM N WHERE ID = 2"),
                  db().rows("SELECT C FROM N WHERE ID = 1"))
            << v;
        EXPECT_EQ(db().one("SELECT COUNT(*) FROM N WHERE C = " + std::string(v)), "2") << v;
    }
    // Damaged bytes (a digit byte out of range) are refused, not stored as something else.
    unsigned char bad[3] = {2, 0xC1, 0xF0};
    ASSERT_EQ(db().prepare("INSERT INTO N (C) VALUES (:1)"), oci::SUCCESS);
    void* b = nullptr;
    a.BindByPos(db().stmt, &b, db().err, 1, bad, sizeof bad, 6, nullptr, nullptr, nullptr, 0,
                nullptr, oci::DEFAULT);
    EXPECT_EQ(db().execute(1), oci::ERROR);
    EXPECT_EQ(db().code(), 1722);
}

TEST_F(Numbers, IntegerDefinesRefuseValuesTheyCannotHold) {
    ok("INSERT INTO N (ID, C) VALUES (1, 2147483648)");
    ok("INSERT INTO N (ID, C) VALUES (2, 9223372036854775807)");
    auto fetch = [&](int id, void* buf, sb4 size, ub2 dty) {
        EXPECT_EQ(db().prepare("SELECT C FROM N WHERE ID = " + std::to_string(id)), oci::SUCCESS);
        void* def = nullptr;
        a.DefineByPos(db().stmt, &def, db().err, 1, buf, size, dty, nullptr, nullptr, nullptr,
                      oci::DEFAULT);
        return db().execute(1);
    };
    int32_t small = 0;
    EXPECT_EQ(fetch(1, &small, 4, oci::SQLT_INT), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-01455: converting column overflows integer datatype");
    int64_t big = 0;
    EXPECT_EQ(fetch(2, &big, 8, oci::SQLT_INT), oci::SUCCESS);
    EXPECT_EQ(big, INT64_MAX);
    ok("UPDATE N SET C = C + 1 WHERE ID = 2");
    EXPECT_EQ(fetch(2, &big, 8, oci::SQLT_INT), oci::ERROR);
    EXPECT_EQ(db().code(), 1455);
}

TEST_F(Numbers, DoubleBindsOutsideTheNumberRangeAreRefused) {
    auto insert = [&](double x) {
        EXPECT_EQ(db().prepare("INSERT INTO N (C) VALUES (:1)"), oci::SUCCESS);
        void* b = nullptr;
        a.BindByPos(db().stmt, &b, db().err, 1, &x, sizeof x, oci::SQLT_FLT, nullptr, nullptr,
                    nullptr, 0, nullptr, oci::DEFAULT);
        return db().execute(1) == oci::SUCCESS ? 0 : db().code();
    };
    EXPECT_EQ(insert(1e300), 1426);
    EXPECT_EQ(insert(-std::numeric_limits<double>::infinity()), 1426);
    EXPECT_EQ(insert(std::numeric_limits<double>::quiet_NaN()), 1722);
    EXPECT_EQ(insert(0.1), 0);
    EXPECT_EQ(db().rows("SELECT C FROM N"), (Rows{{".1"}}));
}
