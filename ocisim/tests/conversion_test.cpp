// Conversions between client data types, literals and column types, and the number and date
// rules behind them.
#include <cstring>

#include "fixture.h"

class Conversion : public SimTest {
  protected:
    // Stores `literal` into a fresh column of `type` and returns it as fetched text (or the
    // error text).
    std::string through(const std::string& type, const std::string& literal) {
        db().exec("DROP TABLE \"C\"");
        if (db().exec("CREATE TABLE \"C\" (\"V\" " + type + ")") != oci::SUCCESS) {
            return db().text();
        }
        if (db().exec("INSERT INTO \"C\" VALUES (" + literal + ")") != oci::SUCCESS) {
            return db().text();
        }
        return db().one("SELECT \"V\" FROM \"C\"");
    }
    oci::Api& a = oci::Api::get();
};

TEST_F(Conversion, NumberPrecisionAndScale) {
    struct Case {
        const char* type;
        const char* literal;
        const char* want;
    };
    const Case cases[] = {
        {"NUMBER(5,2)", "1.005", "1.01"},
        {"NUMBER(5,2)", "123.456", "123.46"},
        {"NUMBER(5,2)", "'  -0.005 '", "-.01"},
        {"NUMBER(5,2)", "999.996",
         "ORA-01438: value larger than specified precision allowed for this column"},
        {"NUMBER(5,2)", "TO_DATE('2020-01-01','YYYY-MM-DD')",
         "ORA-00932: inconsistent datatypes: expected NUMBER got DATE"},
        // A scale past the precision asks for leading zeros after the point.
        {"NUMBER(4,5)", ".01234", ".01234"},
        {"NUMBER(4,5)", "-.0999949", "-.09999"},
        {"NUMBER(4,5)", ".099996",
         "ORA-01438: value larger than specified precision allowed for this column"},
        {"NUMBER", "1234567890.12345", "1234567890.12345"},
        {"NUMBER(5,2)", "-1.005", "-1.01"},
        {"NUMBER(3)", "2.5", "3"},
        {"NUMBER(3)", "-2.5", "-3"},
        {"NUMBER(3)", "999.4", "999"},
        {"NUMBER(3)", "999.5",
         "ORA-01438: value larger than specified precision allowed for this column"},
        {"NUMBER(5,-2)", "12345", "12300"},
        {"NUMBER(2,2)", "0.994", ".99"},
        {"NUMBER(2,2)", "0.995",
         "ORA-01438: value larger than specified precision allowed for this column"},
        {"NUMBER", "0.00001", ".00001"},
        {"NUMBER", "-0", "0"},
        {"NUMBER", "1.5e3", "1500"},
        {"NUMBER", "'  42 '", "42"},
        {"NUMBER", "'4 2'", "ORA-01722: invalid number"},
        {"NUMBER(*,1)", "123456.78", "123456.8"},
        {"INTEGER", "7.5", "8"},
        {"FLOAT(10)", "1234.5678", "1235"},
        {"VARCHAR2(10)", "12.50", "12.5"},
        {"NVARCHAR2(3)", "1234",
         "ORA-12899: value too large for column \"SCOTT\".\"C\".\"V\" (actual: 4, maximum: 3)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(through(c.type, c.literal), c.want) << c.type << " <- " << c.literal;
    }
}

TEST_F(Conversion, DateFormatElements) {
    struct Case {
        const char* input;
        const char* format;
        const char* want;  // as YYYY-MM-DD HH24:MI:SS
    };
    const Case cases[] = {
        // The forms the loader writes.
        {"2026-12-05", "YYYY-MM-DD", "2026-12-05 00:00:00"},
        {"2026-12-05 13:02:03", "YYYY-MM-DD HH24:MI:SS", "2026-12-05 13:02:03"},
        {"2026-02-29", "YYYY-MM-DD",
         "ORA-01847: day of month must be between 1 and last day of month"},
        {"2026-12-05 24:00", "YYYY-MM-DD HH24:MI", "ORA-01850: hour must be between 0 and 23"},
        {"2026-12-05 10:60", "YYYY-MM-DD HH24:MI", "ORA-01851: minutes must be between 0 and 59"},
        {"05-XYZ-2026", "DD-MON-YYYY", "ORA-01843: not a valid month"},
        // Punctuation need not match unless FX asks for it.
        {"2016/3/1 10.20.30", "YYYY-MM-DD HH24:MI:SS", "2016-03-01 10:20:30"},
        {"2016/01/01", "FXYYYY-MM-DD", "ORA-01861: literal does not match format string"},
        {"2016-x1-01", "YYYY-MM-DD",
         "ORA-01858: a non-numeric character was found where a numeric was expected"},
        {"2016-01-01 10", "YYYY-MM-DD",
         "ORA-01830: date format picture ends before converting entire input string"},
        {"2016-01", "YYYY-MM-DD", "ORA-01840: input value not long enough for date format"},
        {"0000-01-01", "YYYY-MM-DD",
         "ORA-01841: (full) year must be between -4713 and +9999, and not be 0"},
        {"2026", "YYYY-QQ", "ORA-01821: date format not recognized"},
    };
    ok("CREATE TABLE \"D\" (\"V\" DATE)");
    for (const Case& c : cases) {
        ok("DELETE FROM \"D\"");
        std::string got;
        if (db().exec(std::string("INSERT INTO \"D\" VALUES (TO_DATE('") + c.input + "', '" +
                      c.format + "'))") != oci::SUCCESS) {
            got = db().text();
        } else {
            ASSERT_EQ(db().prepare("SELECT \"V\" FROM \"D\""), oci::SUCCESS);
            unsigned char raw[7] = {};
            void* def = nullptr;
            a.DefineByPos(db().stmt, &def, db().err, 1, raw, 7, oci::SQLT_DAT, nullptr, nullptr,
                          nullptr, oci::DEFAULT);
            ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
            char buf[32];
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d",
                          (raw[0] - 100) * 100 + raw[1] - 100, raw[2], raw[3], raw[4] - 1,
                          raw[5] - 1, raw[6] - 1);
            got = buf;
        }
        EXPECT_EQ(got, c.want) << c.input << " / " << c.format;
    }
}

TEST_F(Conversion, TimestampFormatElements) {
    // Through a TIMESTAMP(3) column: the fraction is read as written and rounded to three places.
    struct Case {
        const char* input;
        const char* format;
        const char* want;
    };
    const Case cases[] = {
        {"2026-12-05 12:34:56.789", "YYYY-MM-DD HH24:MI:SS.FF3", "2026-12-05 12:34:56.789"},
        {"2026-12-05 12:34:56.078", "YYYY-MM-DD HH24:MI:SS.FF3", "2026-12-05 12:34:56.078"},
        {"2026-12-31 23:59:59.9996", "YYYY-MM-DD HH24:MI:SS.FF", "2027-01-01 00:00:00.000"},
        {"2026-12-05 12:34:56.7891", "YYYY-MM-DD HH24:MI:SS.FF3",
         "ORA-01830: date format picture ends before converting entire input string"},
        {"2026-13-05 12:34:56.789", "YYYY-MM-DD HH24:MI:SS.FF3", "ORA-01843: not a valid month"},
        {"2026-02-30 12:34:56.789", "YYYY-MM-DD HH24:MI:SS.FF3",
         "ORA-01847: day of month must be between 1 and last day of month"},
        {"2026-12-05 12:34:56,789", "FXYYYY-MM-DD HH24:MI:SS.FF3",
         "ORA-01861: literal does not match format string"},
        {"2026-12-05 12:34:56.x", "YYYY-MM-DD HH24:MI:SS.FF3",
         "ORA-01858: a non-numeric character was found where a numeric was expected"},
    };
    for (const Case& c : cases) {
        std::string got = through(
            "TIMESTAMP(3)", std::string("TO_TIMESTAMP('") + c.input + "', '" + c.format + "')");
        // Stored: compare with the expected instant to the nanosecond.
        if (got.rfind("ORA-", 0) != 0) {
            got = db().one(std::string("SELECT COUNT(*) FROM \"C\" WHERE \"V\" = TO_TIMESTAMP('") +
                           c.want + "', 'YYYY-MM-DD HH24:MI:SS.FF')") == "1"
                      ? c.want
                      : "stored otherwise";
        }
        EXPECT_EQ(got, c.want) << c.input << " / " << c.format;
    }
    // A date format knows no fraction.
    EXPECT_EQ(fails("SELECT TO_DATE('12.5', 'SS.FF') FROM DUAL"),
              "ORA-01821: date format not recognized");
}

TEST_F(Conversion, ClientTypesInBindsAndDefines) {
    ok("CREATE TABLE \"K\" (\"N\" NUMBER, \"D\" DATE, \"R\" RAW(4), \"L\" LONG, \"S\" "
       "VARCHAR2(10))");
    ASSERT_EQ(db().prepare("INSERT INTO \"K\" VALUES (:n, :d, :r, :l, :s)"), oci::SUCCESS);
    long long n = -1234567890123LL;
    unsigned char date[7] = {120, 121, 2, 28, 24, 60, 60};  // 2021-02-28 23:59:59
    unsigned char raw[3] = {0xDE, 0xAD, 0x01};
    std::u16string text = u16("long text");
    char16_t str[8] = u"héllo";  // terminated inside the buffer
    void* b = nullptr;
    auto bind = [&](const char* name, void* buf, sb4 size, ub2 type) {
        std::u16string p = u16(name);
        ASSERT_EQ(
            a.BindByName(db().stmt, &b, db().err, p.data(), static_cast<sb4>(p.size() * 2), buf,
                         size, type, nullptr, nullptr, nullptr, 0, nullptr, oci::DEFAULT),
            oci::SUCCESS);
    };
    bind(":n", &n, sizeof n, oci::SQLT_INT);
    bind(":d", date, 7, oci::SQLT_DAT);
    bind(":r", raw, 3, oci::SQLT_BIN);
    bind(":l", text.data(), static_cast<sb4>(text.size() * 2), oci::SQLT_LNG);
    bind(":s", str, sizeof str, oci::SQLT_STR);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    EXPECT_EQ(db().rows("SELECT \"N\", \"D\", \"R\", \"L\", \"S\" FROM \"K\""),
              (Rows{{"-1234567890123", "28-FEB-21", "DEAD01", "long text", "héllo"}}));

    // Numbers into floating point and raw bytes back.
    ASSERT_EQ(db().prepare("SELECT \"N\", \"R\" FROM \"K\""), oci::SUCCESS);
    double d = 0;
    unsigned char back[8] = {};
    ub2 len = 0;
    void* def = nullptr;
    a.DefineByPos(db().stmt, &def, db().err, 1, &d, sizeof d, oci::SQLT_FLT, nullptr, nullptr,
                  nullptr, oci::DEFAULT);
    a.DefineByPos(db().stmt, &def, db().err, 2, back, sizeof back, oci::SQLT_BIN, nullptr, &len,
                  nullptr, oci::DEFAULT);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    EXPECT_DOUBLE_EQ(d, -1234567890123.0);
    ASSERT_EQ(len, 3);
    EXPECT_EQ(std::memcmp(back, raw, 3), 0);

    // Internal NUMBER bytes: their length comes from the length array.
    ok("DELETE FROM \"K\"");
    ASSERT_EQ(db().prepare("INSERT INTO \"K\" (\"N\") VALUES (:1)"), oci::SUCCESS);
    unsigned char num[22] = {0xC2, 0x02, 0x18};  // 123
    ub2 num_len = 3;
    a.BindByPos(db().stmt, &b, db().err, 1, num, 22, oci::SQLT_NUM, nullptr, &num_len, nullptr, 0,
                nullptr, oci::DEFAULT);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    EXPECT_EQ(db().one("SELECT \"N\" FROM \"K\""), "123");
}

TEST_F(Conversion, NationalTextCountsUtf16CodeUnits) {
    EXPECT_EQ(through("NVARCHAR2(2)", "'😀'"), "😀");  // one character, two code units
    EXPECT_EQ(
        through("NVARCHAR2(2)", "'a😀'"),
        "ORA-12899: value too large for column \"SCOTT\".\"C\".\"V\" (actual: 3, maximum: 2)");
    EXPECT_EQ(through("VARCHAR2(4 CHAR)", "'ääää'"), "ääää");
    EXPECT_EQ(
        through("VARCHAR2(4)", "'ääää'"),
        "ORA-12899: value too large for column \"SCOTT\".\"C\".\"V\" (actual: 8, maximum: 4)");
    EXPECT_EQ(through("CHAR(3 CHAR)", "'ä'"), "ä  ");
    EXPECT_EQ(through("NUMBER", "N'12'"), "12");
}

TEST_F(Conversion, IntervalsAsText) {
    struct Case {
        const char* type;
        const char* literal;
        const char* want;
    };
    const Case cases[] = {
        {"INTERVAL YEAR TO MONTH", "'1-2'", "+01-02"},
        {"INTERVAL YEAR(4) TO MONTH", "' -12-11 '", "-0012-11"},
        {"INTERVAL YEAR TO MONTH", "'-0-0'", "+00-00"},
        {"INTERVAL DAY TO SECOND", "'3 4:05:06.789'", "+03 04:05:06.789000"},
        {"INTERVAL DAY(9) TO SECOND(9)", "'-999999999 23:59:59.999999999'",
         "-999999999 23:59:59.999999999"},
        // Rounded to the scale, carrying into the day.
        {"INTERVAL DAY TO SECOND(0)", "'1 23:59:59.5'", "+02 00:00:00"},
        {"INTERVAL YEAR TO MONTH", "'100-0'",
         "ORA-01873: the leading precision of the interval is too small"},
        {"INTERVAL DAY TO SECOND", "'1 24:00:00'", "ORA-01867: the interval is invalid"},
        {"INTERVAL YEAR TO MONTH", "'1-12'", "ORA-01867: the interval is invalid"},
        {"INTERVAL DAY TO SECOND", "5",
         "ORA-00932: inconsistent datatypes: expected INTERVAL DAY "
         "TO SECOND got NUMBER"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(through(c.type, c.literal), c.want) << c.type << " " << c.literal;
    }
    // Described with their own type codes and sizes; the catalogue names them in full.
    ok("CREATE TABLE \"I\" (\"YM\" INTERVAL YEAR(3) TO MONTH, \"DS\" INTERVAL DAY TO SECOND(3))");
    ASSERT_EQ(db().prepare("SELECT \"YM\", \"DS\" FROM \"I\""), oci::SUCCESS);
    ASSERT_EQ(db().execute(0, oci::DESCRIBE_ONLY), oci::SUCCESS) << db().text();
    std::vector<std::pair<ub2, ub2>> described;
    for (ub4 i = 1; i <= 2; ++i) {
        void* param = nullptr;
        ASSERT_EQ(a.ParamGet(db().stmt, oci::HTYPE_STMT, db().err, &param, i), oci::SUCCESS);
        ub2 type = 0, size = 0;
        a.AttrGet(param, oci::DTYPE_PARAM, &type, nullptr, oci::ATTR_DATA_TYPE, db().err);
        a.AttrGet(param, oci::DTYPE_PARAM, &size, nullptr, oci::ATTR_DATA_SIZE, db().err);
        a.DescriptorFree(param, oci::DTYPE_PARAM);
        described.emplace_back(type, size);
    }
    EXPECT_EQ(described, (std::vector<std::pair<ub2, ub2>>{{189, 5}, {190, 11}}));
    EXPECT_EQ(db().rows("SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'I'"),
              (Rows{{"INTERVAL YEAR(3) TO MONTH"}, {"INTERVAL DAY(2) TO SECOND(3)"}}));
}
