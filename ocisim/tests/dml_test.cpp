// Values entering columns: lengths, precision and scale, conversions, NULL rules, keys.
#include <cstdlib>

#include "fixture.h"

class Dml : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ok("CREATE TABLE \"T\" (\"ID\" NUMBER(5,2), \"NAME\" NVARCHAR2(5), \"V\" VARCHAR2(5), "
           "\"C\" CHAR(3), \"D\" DATE, \"R\" RAW(2), \"REQ\" NUMBER DEFAULT 0 NOT NULL)");
    }
    std::string value(const std::string& column) {
        return db().one("SELECT \"" + column + "\" FROM \"T\"");
    }
};

TEST_F(Dml, ValueTooLargeCountsBytesOrCharacters) {
    // NVARCHAR2 counts characters, VARCHAR2 (byte semantics) counts AL32UTF8 bytes.
    ok("INSERT INTO \"T\" (\"NAME\", \"V\") VALUES ('ÄÖÜäö', 'ÄÖ')");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"NAME\") VALUES ('abcdef')"),
              "ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 6, "
              "maximum: 5)");
    EXPECT_EQ(
        fails("INSERT INTO \"T\" (\"V\") VALUES ('ÄÖÜ')"),
        "ORA-12899: value too large for column \"SCOTT\".\"T\".\"V\" (actual: 6, maximum: 5)");
    EXPECT_EQ(
        fails("INSERT INTO \"T\" (\"R\") VALUES (HEXTORAW('0A0B0C'))"),
        "ORA-12899: value too large for column \"SCOTT\".\"T\".\"R\" (actual: 3, maximum: 2)");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"R\") VALUES (HEXTORAW('0G'))"),
              "ORA-01465: invalid hex number");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"V\") VALUES ('" + std::string(4001, 'x') + "')"),
              "ORA-01704: string literal too long");
}

TEST_F(Dml, EmptyStringIsNullAndNotNullIsEnforced) {
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"REQ\") VALUES ('')"),
              "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"REQ\")");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"REQ\") VALUES (NULL)"),
              "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"REQ\")");
    ok("INSERT INTO \"T\" (\"V\") VALUES ('')");
    EXPECT_EQ(value("V"), "<null>");
    EXPECT_EQ(value("REQ"), "0");  // the default fills an omitted column
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"T\" WHERE \"V\" IS NULL"), "1");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"T\" WHERE \"V\" = ''"), "0");
    EXPECT_EQ(fails("UPDATE \"T\" SET \"REQ\" = NULL"),
              "ORA-01407: cannot update (\"SCOTT\".\"T\".\"REQ\") to NULL");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"ID\", \"NOPE\") VALUES (1, 2)"),
              "ORA-00904: \"NOPE\": invalid identifier");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"ID\", \"V\") VALUES (1)"),
              "ORA-00947: not enough values");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"ID\") VALUES (1, 2)"), "ORA-00913: too many values");
}

TEST_F(Dml, CharIsBlankPaddedAndStringsKeepQuotes) {
    ok("INSERT INTO \"T\" (\"C\", \"V\") VALUES ('a', 'O''Ne')");
    EXPECT_EQ(value("C"), "a  ");
    EXPECT_EQ(value("V"), "O'Ne");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"T\" WHERE \"C\" = 'a'"), "1");
    ok("CREATE TABLE L (X LONG)");
    ok("INSERT INTO L VALUES ('1.50')");
    EXPECT_EQ(db().one("SELECT X FROM L"), "1.50");
}

TEST_F(Dml, DateLiteralsAndFormatsWithoutTheDay) {
    ok("INSERT INTO \"T\" (\"D\") VALUES ('05-DEC-26')");
    EXPECT_EQ(value("D"), "05-DEC-26");
    // Missing parts default to the current month's first day.
    ok("INSERT INTO \"T\" (\"D\") VALUES (to_date('10:20:30', 'HH24-MI-SS'))");
}

TEST_F(Dml, UniqueConstraintViolation) {
    ok("ALTER TABLE \"T\" ADD CONSTRAINT \"PK_T\" PRIMARY KEY (\"NAME\")");
    ok("INSERT INTO \"T\" (\"NAME\") VALUES ('x')");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"NAME\") VALUES ('x')"),
              "ORA-00001: unique constraint (SCOTT.PK_T) violated");
    ok("INSERT INTO \"T\" (\"NAME\") VALUES ('y')");
    EXPECT_EQ(fails("UPDATE \"T\" SET \"NAME\" = 'x' WHERE \"NAME\" = 'y'"),
              "ORA-00001: unique constraint (SCOTT.PK_T) violated");
    EXPECT_EQ(fails("INSERT INTO \"T\" (\"ID\") VALUES (1)"),
              "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"NAME\")");
}

TEST_F(Dml, UpdateAndDeleteWithConditions) {
    ok("INSERT INTO \"T\" (\"ID\", \"V\") VALUES (1, 'a')");
    ok("INSERT INTO \"T\" (\"ID\", \"V\") VALUES (2, 'b')");
    ok("INSERT INTO \"T\" (\"ID\", \"V\") VALUES (3, NULL)");
    ok("UPDATE \"T\" SET \"V\" = 'z', \"REQ\" = 5 WHERE \"ID\" >= 2 AND \"V\" IS NOT NULL");
    EXPECT_EQ(db().rows("SELECT \"ID\", \"V\", \"REQ\" FROM \"T\" ORDER BY \"ID\" DESC"),
              (Rows{{"3", "<null>", "0"}, {"2", "z", "5"}, {"1", "a", "0"}}));
    ok("DELETE FROM \"T\" WHERE \"V\" IS NULL OR \"ID\" = 1");
    EXPECT_EQ(db().rows("SELECT * FROM (SELECT \"ID\" FROM \"T\")"), (Rows{{"2"}}));
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM (SELECT * FROM \"T\" WHERE \"ID\" <> 2)"), "0");
}

class Cp1252 : public SimTest {
    std::string charset() const override { return "WE8MSWIN1252"; }
};

TEST_F(Cp1252, TextOutsideTheDatabaseCharacterSetIsReplaced) {
    ok("CREATE TABLE T (V VARCHAR2(10), N NVARCHAR2(10), NC NCLOB)");
    // The whole statement text is database text before it is parsed: plain and N'...' literals
    // alike lose what the single-byte set lacks, whatever column they are for.
    ok("INSERT INTO T VALUES ('€ä Ω', '€ä Жук', N'Жук')");
    EXPECT_EQ(db().rows("SELECT V, N, NC FROM T"), (Rows{{"€ä ¿", "€ä ¿¿¿", "¿¿¿"}}));
    // With NCHAR literal replacement (environment mode, or the client's environment variable
    // when no mode says otherwise) N'...' arrives as national data and keeps every character.
    setenv("ORA_NCHAR_LITERAL_REPLACE", "TRUE", 1);
    Conn by_variable;
    Conn forced_off(oci::NCHAR_LITERAL_REPLACE_OFF);
    unsetenv("ORA_NCHAR_LITERAL_REPLACE");
    Conn by_mode(oci::NCHAR_LITERAL_REPLACE_ON);
    ok("COMMIT");
    for (Conn* c : {&by_variable, &forced_off, &by_mode}) {
        ASSERT_EQ(c->connect(), oci::SUCCESS);
        ASSERT_EQ(c->exec("INSERT INTO T (N, NC) VALUES (N'€ä Жук', N'Жук')"), oci::SUCCESS);
        ASSERT_EQ(c->commit(), oci::SUCCESS);
    }
    EXPECT_EQ(db().rows("SELECT N, NC FROM T WHERE V IS NULL"),
              (Rows{{"€ä Жук", "Жук"}, {"€ä ¿¿¿", "¿¿¿"}, {"€ä Жук", "Жук"}}));
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM T WHERE N = 'Жук'"), "0");
    EXPECT_EQ(by_mode.one("SELECT COUNT(*) FROM T WHERE N = N'€ä Жук'"), "2");
    // Quoted names are statement text too: two names the set cannot tell apart collide, and
    // their length counts one byte per character.
    ok("CREATE TABLE \"Жук\" (A NUMBER)");
    EXPECT_EQ(fails("CREATE TABLE \"Щит\" (A NUMBER)"),
              "ORA-00955: name is already used by an existing object");
    EXPECT_EQ(db().one("SELECT TABLE_NAME FROM USER_TABLES WHERE TABLE_NAME <> 'T'"), "¿¿¿");
    std::string umlauts128;
    for (int i = 0; i < 128; ++i) {
        umlauts128 += "ä";
    }
    ok("CREATE TABLE X (\"" + umlauts128 + "\" NUMBER)");
    EXPECT_EQ(fails("CREATE TABLE Y (\"" + umlauts128 + "ä\" NUMBER)"),
              "ORA-00972: identifier is too long");
    // One byte per character in a single-byte character set, for the column and the literal.
    ok("INSERT INTO T (V) VALUES ('ääääääääää')");
    std::string umlauts;
    for (int i = 0; i < 3000; ++i) {
        umlauts += "ä";  // 6000 bytes in UTF-8, 3000 in the database
    }
    ok("INSERT INTO T (NC) VALUES ('" + umlauts + "')");
    EXPECT_EQ(fails("INSERT INTO T (V) VALUES ('" + umlauts + std::string(1001, 'x') + "')"),
              "ORA-01704: string literal too long");
    // A national literal counts two bytes per UTF-16 code unit.
    EXPECT_EQ(fails("INSERT INTO T (NC) VALUES (N'" + std::string(2001, 'x') + "')"),
              "ORA-01704: string literal too long");
}

TEST_F(Cp1252, BindsKeepNationalTextOnlyInTheNationalForm) {
    ok("CREATE TABLE T (ID NUMBER, N NVARCHAR2(10))");
    oci::Api& a = oci::Api::get();
    std::u16string text = u16("Жук");
    for (ub1 form : {oci::SQLCS_IMPLICIT, oci::SQLCS_NCHAR}) {
        ASSERT_EQ(db().prepare("INSERT INTO T VALUES (" + std::to_string(form) + ", :1)"),
                  oci::SUCCESS);
        void* b = nullptr;
        ASSERT_EQ(
            a.BindByPos(db().stmt, &b, db().err, 1, text.data(), static_cast<sb4>(text.size() * 2),
                        oci::SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, oci::DEFAULT),
            oci::SUCCESS);
        ASSERT_EQ(a.AttrSet(b, oci::HTYPE_BIND, &form, 0, oci::ATTR_CHARSET_FORM, db().err),
                  oci::SUCCESS);
        ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    }
    EXPECT_EQ(db().rows("SELECT ID, N FROM T ORDER BY ID"), (Rows{{"1", "¿¿¿"}, {"2", "Жук"}}));
    // Defines likewise: fetched in the implicit form, national data passes through the
    // database character set (the rows above were fetched in the national form).
    ASSERT_EQ(db().prepare("SELECT N FROM T WHERE ID = 2"), oci::SUCCESS);
    char16_t buf[16] = {};
    sb2 ind = 0;
    ub2 len = 0;
    void* def = nullptr;
    a.DefineByPos(db().stmt, &def, db().err, 1, buf, sizeof buf, oci::SQLT_STR, &ind, &len, nullptr,
                  oci::DEFAULT);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    EXPECT_EQ(u8(buf, len / 2), "¿¿¿");
}

TEST_F(Dml, LegacyCharacterSetsKeepTheirOwnCharactersAndLengthSemantics) {
    struct Case {
        const char* charset;
        const char* text;
        const char* stored;  // each set's replacement: its inverted question mark, else '?'
    };
    const Case cases[] = {
        {"EE8MSWIN1250", "Łódź Жук", "Łódź ???"}, {"CL8MSWIN1251", "Жук € ä", "Жук € ?"},
        {"EL8MSWIN1253", "Ελλάδα Ж", "Ελλάδα ?"}, {"TR8MSWIN1254", "İstanbul Ж", "İstanbul ¿"},
        {"WE8ISO8859P1", "ä € Ж", "ä ¿ ¿"},       {"WE8ISO8859P15", "ä € ¤", "ä € ¿"},
        {"EE8ISO8859P2", "Łódź €", "Łódź ?"},     {"CL8ISO8859P5", "Жук €", "Жук ?"},
        {"US7ASCII", "abc ä", "abc ?"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string service = "S" + std::to_string(++n);
        ASSERT_EQ(home().admin("create-service " + service + " --charset " + c.charset), 0);
        ASSERT_EQ(home().admin("create-user " + service + " scott tiger"), 0);
        Conn conn;
        ASSERT_EQ(conn.connect("//localhost:1521/" + service), oci::SUCCESS) << conn.text();
        ASSERT_EQ(conn.exec("CREATE TABLE T (V VARCHAR2(20))"), oci::SUCCESS) << conn.text();
        ASSERT_EQ(conn.exec(std::string("INSERT INTO T VALUES ('") + c.text + "')"), oci::SUCCESS);
        EXPECT_EQ(conn.one("SELECT V FROM T"), c.stored) << c.charset;
    }
    // NLS_LENGTH_SEMANTICS=CHAR: lengths without BYTE or CHAR count characters.
    ASSERT_EQ(home().admin("create-service SC --length-semantics CHAR"), 0);
    ASSERT_EQ(home().admin("create-user SC scott tiger"), 0);
    Conn chars;
    ASSERT_EQ(chars.connect("//localhost:1521/SC"), oci::SUCCESS);
    ASSERT_EQ(chars.exec("CREATE TABLE T (V VARCHAR2(3), B VARCHAR2(3 BYTE))"), oci::SUCCESS);
    EXPECT_EQ(chars.exec("INSERT INTO T (V) VALUES ('Жук')"), oci::SUCCESS) << chars.text();
    EXPECT_EQ(chars.exec("INSERT INTO T (B) VALUES ('Жук')"), oci::ERROR);
    EXPECT_EQ(chars.code(), 12899);
    EXPECT_EQ(chars.rows("SELECT CHAR_USED, DATA_LENGTH FROM USER_TAB_COLUMNS WHERE TABLE_NAME = "
                         "'T'"),
              (Rows{{"C", "12"}, {"B", "3"}}));
}

TEST_F(Dml, UnicodeDatabaseKeepsPlainLiteralsIntact) {
    ok("CREATE TABLE U (V VARCHAR2(20), N NVARCHAR2(10), NC NCLOB)");
    ok("INSERT INTO U VALUES ('€ä Жук', 'Жук', 'Жук')");
    EXPECT_EQ(db().rows("SELECT V, N, NC FROM U"), (Rows{{"€ä Жук", "Жук", "Жук"}}));
}
