// Table, index, sequence and trigger definitions, name rules and the catalogue views.
#include "fixture.h"

class Ddl : public SimTest {};

TEST_F(Ddl, CatalogueDescribesColumnsAsOracleStoresThem) {
    ok("CREATE TABLE \"T1\" (\"ID\" NUMBER(11,0) NOT NULL, \"NAME\" NVARCHAR2(20)  DEFAULT 'abc' "
       "NOT NULL, \"AMT\" NUMBER(10,2) DEFAULT 0\n, \"F\" FLOAT, \"N\" NUMBER, \"I\" INTEGER, "
       "\"D\" DATE, \"TS\" TIMESTAMP, \"V\" VARCHAR2(30), \"R\" RAW(16), \"C\" CLOB, \"B\" BLOB)");
    Rows r = db().rows(
        "SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, "
        "CHAR_LENGTH, CHAR_USED FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T1' ORDER BY COLUMN_ID");
    Rows want = {
        {"ID", "NUMBER", "22", "11", "0", "N", "0", "<null>"},
        {"NAME", "NVARCHAR2", "40", "<null>", "<null>", "N", "20", "C"},
        {"AMT", "NUMBER", "22", "10", "2", "Y", "0", "<null>"},
        {"F", "FLOAT", "22", "126", "<null>", "Y", "0", "<null>"},
        {"N", "NUMBER", "22", "<null>", "<null>", "Y", "0", "<null>"},
        {"I", "NUMBER", "22", "<null>", "0", "Y", "0", "<null>"},
        {"D", "DATE", "7", "<null>", "<null>", "Y", "0", "<null>"},
        {"TS", "TIMESTAMP(6)", "11", "<null>", "6", "Y", "0", "<null>"},
        {"V", "VARCHAR2", "30", "<null>", "<null>", "Y", "30", "B"},
        {"R", "RAW", "16", "<null>", "<null>", "Y", "0", "<null>"},
        {"C", "CLOB", "4000", "<null>", "<null>", "Y", "0", "<null>"},
        {"B", "BLOB", "4000", "<null>", "<null>", "Y", "0", "<null>"},
    };
    EXPECT_EQ(r, want);
    // DATA_DEFAULT keeps the text as written, up to the next clause.
    Rows defaults = db().rows(
        "select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = "
        "'T1'");
    ASSERT_EQ(defaults.size(), 12u);
    EXPECT_EQ(defaults[0][1], "<null>");
    EXPECT_EQ(defaults[1][1], "'abc' ");
    EXPECT_EQ(defaults[2][1], "0\n");
    // LONG columns cannot be filtered.
    EXPECT_EQ(fails("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE DATA_DEFAULT IS NOT NULL"),
              "ORA-00997: illegal use of LONG datatype");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'T1'"), "12");
    EXPECT_EQ(db().one("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
                       "NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'"),
              "T1");
}

TEST_F(Ddl, NameRules) {
    EXPECT_EQ(fails("CREATE TABLE T (DATE DATE)"), "ORA-00904: : invalid identifier");
    ok("CREATE TABLE T (\"DATE\" DATE, \"Mixed case\" NUMBER)");
    EXPECT_EQ(fails("CREATE TABLE t (A NUMBER)"),
              "ORA-00955: name is already used by an existing object");
    // Names that differ only in letter case are different names, for tables and columns.
    ok("CREATE TABLE \"t\" (\"a\" NUMBER, A NUMBER, \"Mixed CASE\" NUMBER)");
    ok("INSERT INTO \"t\" VALUES (1, 2, 3)");
    ok("INSERT INTO T (\"DATE\") VALUES (SYSDATE)");
    EXPECT_EQ(db().rows("SELECT \"a\", A, \"Mixed CASE\" FROM \"t\""), (Rows{{"1", "2", "3"}}));
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM T"), "1");
    ok("CREATE UNIQUE INDEX \"t_a\" ON \"t\" (\"a\")");
    EXPECT_EQ(fails("INSERT INTO \"t\" VALUES (1, 5, 5)"),
              "ORA-00001: unique constraint (SCOTT.t_a) violated");
    // Each user's tables live in that user's schema: two users may each own a table T.
    ok("COMMIT");
    ASSERT_EQ(home().admin("create-user ORCL adams pw"), 0);
    Conn adams;
    ASSERT_EQ(adams.connect("//localhost:1521/ORCL", "adams", "pw"), oci::SUCCESS);
    ASSERT_EQ(adams.exec("CREATE TABLE T (ID NUMBER PRIMARY KEY)"), oci::SUCCESS) << adams.text();
    ASSERT_EQ(adams.exec("INSERT INTO T VALUES (7)", oci::COMMIT_ON_SUCCESS), oci::SUCCESS);
    EXPECT_EQ(adams.rows("SELECT TABLE_NAME FROM USER_TABLES"), (Rows{{"T"}}));
    EXPECT_EQ(adams.one("SELECT ID FROM T"), "7");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM T"), "1");
    EXPECT_EQ(fails("SELECT * FROM ADAMS.T"), "ORA-00942: table or view does not exist");
    EXPECT_EQ(fails("CREATE TABLE TABLE (A NUMBER)"), "ORA-00903: invalid table name");
    EXPECT_EQ(fails("CREATE TABLE \"\" (A NUMBER)"), "ORA-01741: illegal zero-length identifier");
    EXPECT_EQ(fails("CREATE TABLE X (A NUMBER, a NUMBER)"), "ORA-00957: duplicate column name");
    // 19c allows 128 bytes, older releases 30.
    ok("CREATE TABLE " + std::string(128, 'L') + " (A NUMBER)");
    EXPECT_EQ(fails("CREATE TABLE " + std::string(129, 'L') + " (A NUMBER)"),
              "ORA-00972: identifier is too long");
}

class Ddl11g : public SimTest {
    std::string release() const override { return "11g"; }
};

TEST_F(Ddl11g, ThirtyByteIdentifiersAndOldBanner) {
    ok("CREATE TABLE " + std::string(30, 'A') + " (B NUMBER)");
    EXPECT_EQ(fails("CREATE TABLE " + std::string(31, 'A') + " (B NUMBER)"),
              "ORA-00972: identifier is too long");
    Rows banner = db().rows("select * from v$version");
    ASSERT_EQ(banner.size(), 5u);
    EXPECT_EQ(banner[0][0],
              "Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production");
}

TEST_F(Ddl, TypeLimits) {
    const std::pair<const char*, int> refused[] = {
        {"A VARCHAR2(4001)", 910}, {"A NVARCHAR2(2001)", 910}, {"A CHAR(2001)", 910},
        {"A RAW(2001)", 910},      {"A NUMBER(39)", 1727},     {"A NUMBER(0,0)", 1727},
        {"A NUMBER(5,128)", 1728}, {"A FLOAT(127)", 1724},     {"A LONG, B LONG", 1754},
        {"A BLOB DEFAULT 0", 932}, {"A VARCHAR2", 906},        {"A NUMBER(5", 907},
    };
    for (const auto& [columns, code] : refused) {
        EXPECT_EQ(db().exec(std::string("CREATE TABLE X (") + columns + ")"), oci::ERROR)
            << columns;
        EXPECT_EQ(db().code(), code) << columns;
    }
    EXPECT_EQ(fails("CREATE TABLE X (A VARCHAR2(4001))"),
              "ORA-00910: specified length too long for its datatype");
    ok("CREATE TABLE X (A NVARCHAR2(2000), B VARCHAR2(4000), C NUMBER(*,2), D CLOB DEFAULT "
       "EMPTY_CLOB(), E NUMBER(38,-84))");
}

TEST_F(Ddl, KeysIndexesAndTheirCatalogue) {
    ok("CREATE TABLE \"T\" (\"A\" NUMBER(5), \"B\" NVARCHAR2(10), \"C\" CLOB)");
    ok("ALTER TABLE \"T\" ADD CONSTRAINT \"PK_T\" PRIMARY KEY (\"A\")");
    EXPECT_EQ(fails("ALTER TABLE \"T\" ADD CONSTRAINT \"U1\" UNIQUE (\"A\")"),
              "ORA-02261: such unique or primary key already exists in the table");
    EXPECT_EQ(fails("ALTER TABLE \"T\" ADD CONSTRAINT \"PK_T\" UNIQUE (\"B\")"),
              "ORA-02264: name already used by an existing constraint");
    EXPECT_EQ(fails("ALTER TABLE \"T\" ADD CONSTRAINT \"U2\" UNIQUE (\"C\")"),
              "ORA-02329: column of datatype CLOB cannot be unique or a primary key");
    ok("ALTER TABLE \"T\" ADD CONSTRAINT \"U_B\" UNIQUE (\"B\")");
    ok("CREATE INDEX \"IX_AB\" ON \"T\" (\"A\", \"B\")");
    EXPECT_EQ(fails("CREATE INDEX \"IX_AB2\" ON \"T\" (\"A\", \"B\")"),
              "ORA-01408: such column list already indexed");
    // The ALL_ views show the user's own objects, each with its owner.
    for (std::string view : {"TABLES", "TAB_COLUMNS", "CONSTRAINTS", "INDEXES"}) {
        std::string own = db().one("SELECT COUNT(*) FROM USER_" + view);
        EXPECT_NE(own, "0") << view;
        EXPECT_EQ(db().one("SELECT COUNT(*) FROM ALL_" + view + " WHERE OWNER = 'SCOTT'"), own)
            << view;
    }
    // A key's declared byte lengths must fit an index entry of an 8 KB block.
    ok("CREATE TABLE \"KL\" (\"A\" VARCHAR2(4000), \"B\" VARCHAR2(2398), \"C\" NVARCHAR2(2000), "
       "PRIMARY KEY (\"A\", \"B\"))");
    for (const char* sql :
         {"CREATE TABLE \"KM\" (\"A\" VARCHAR2(4000), \"B\" VARCHAR2(2399), UNIQUE (\"A\", \"B\"))",
          "ALTER TABLE \"KL\" ADD CONSTRAINT \"KL_U\" UNIQUE (\"A\", \"C\")",
          "CREATE INDEX \"KL_BC\" ON \"KL\" (\"B\", \"C\", \"A\")"}) {
        EXPECT_EQ(fails(sql), "ORA-01450: maximum key length (6398) exceeded") << sql;
    }
    EXPECT_EQ(fails("CREATE INDEX \"IX_AB\" ON \"T\" (\"B\")"),
              "ORA-00955: name is already used by an existing object");
    // The primary key query of the reader.
    Rows pk = db().rows(
        "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b "
        "WHERE a.table_name='T' AND a.constraint_name=b.constraint_name AND "
        "b.constraint_type='P' ORDER BY a.constraint_name, a.position");
    EXPECT_EQ(pk, (Rows{{"PK_T", "A"}}));
    Rows idx = db().rows(
        "SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name "
        "FROM user_ind_columns, user_indexes where user_ind_columns.table_name = 'T' AND "
        "user_indexes.generated='N' AND user_ind_columns.index_name = user_indexes.index_name "
        "AND user_ind_columns.table_name = user_indexes.table_name ORDER BY "
        "user_indexes.index_name, user_ind_columns.column_position");
    EXPECT_EQ(idx, (Rows{{"IX_AB", "NONUNIQUE", "A"},
                         {"IX_AB", "NONUNIQUE", "B"},
                         {"PK_T", "UNIQUE", "A"},
                         {"U_B", "UNIQUE", "B"}}));
    EXPECT_EQ(db().one("select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PK_T' and "
                       "CONSTRAINT_TYPE='R'"),
              "0");
    // An unnamed key gets a SYS_C name, also for its index.
    ok("CREATE TABLE U (X NUMBER PRIMARY KEY, Y NUMBER NOT NULL)");
    Rows cons = db().rows(
        "SELECT CONSTRAINT_TYPE, GENERATED, SEARCH_CONDITION FROM USER_CONSTRAINTS WHERE "
        "TABLE_NAME = 'U' ORDER BY CONSTRAINT_TYPE");
    ASSERT_EQ(cons.size(), 2u);
    EXPECT_EQ(cons[0], (std::vector<std::string>{"C", "GENERATED NAME", "\"Y\" IS NOT NULL"}));
    EXPECT_EQ(cons[1][0], "P");
    std::string name = db().one(
        "SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE TABLE_NAME = "
        "'U' AND CONSTRAINT_TYPE = 'P'");
    EXPECT_EQ(name.rfind("SYS_C", 0), 0u) << name;
    EXPECT_EQ(db().one("SELECT GENERATED FROM USER_INDEXES WHERE INDEX_NAME = '" + name + "'"),
              "Y");
}

TEST_F(Ddl, KeysOnExistingData) {
    ok("CREATE TABLE T (A NUMBER, B NUMBER)");
    ok("INSERT INTO T VALUES (1, NULL)");
    ok("INSERT INTO T VALUES (1, 2)");
    EXPECT_EQ(fails("ALTER TABLE T ADD CONSTRAINT PK PRIMARY KEY (B)"),
              "ORA-01449: column contains NULL values; cannot alter to NOT NULL");
    EXPECT_EQ(fails("ALTER TABLE T ADD CONSTRAINT UA UNIQUE (A)"),
              "ORA-02299: cannot validate (SCOTT.UA) - duplicate keys found");
    EXPECT_EQ(fails("CREATE UNIQUE INDEX UX ON T (A)"),
              "ORA-01452: cannot CREATE UNIQUE INDEX; duplicate keys found");
    ok("ALTER TABLE T ADD CONSTRAINT UAB UNIQUE (A, B)");
    EXPECT_EQ(fails("ALTER TABLE T ADD PRIMARY KEY (A, B)"),
              "ORA-02261: such unique or primary key already exists in the table");
}

TEST_F(Ddl, ViewsAndVersion) {
    EXPECT_TRUE(db().rows("select VIEW_NAME, TEXT from SYS.USER_VIEWS").empty());
    EXPECT_TRUE(db().rows("select TABLE_NAME from user_tables").empty());
    Rows banner = db().rows("select * from v$version");
    ASSERT_EQ(banner.size(), 1u);
    EXPECT_EQ(banner[0][0],
              "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    EXPECT_EQ(db().one("SELECT DUMMY FROM DUAL"), "X");
}

TEST_F(Ddl, AlterModifyNullability) {
    ok("CREATE TABLE \"T\" (\"A\" NUMBER(5) NOT NULL, \"B\" NVARCHAR2(10), \"K\" NUMBER)");
    ok("ALTER TABLE \"T\" ADD CONSTRAINT \"PK\" PRIMARY KEY (\"K\")");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY \"B\" NVARCHAR2(10) NULL"),
              "ORA-01451: column to be modified to NULL cannot be modified to NULL");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY (\"A\" NOT NULL)"),
              "ORA-01442: column to be modified to NOT NULL is already NOT NULL");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY \"K\" NUMBER NULL"),
              "ORA-01451: column to be modified to NULL cannot be modified to NULL");
    ok("ALTER TABLE \"T\" MODIFY \"A\" NUMBER(5,0) DEFAULT 7 NULL");
    ok("INSERT INTO \"T\" (\"K\") VALUES (1)");
    EXPECT_EQ(db().one("SELECT \"A\" FROM \"T\""), "7");
    ok("INSERT INTO \"T\" (\"K\", \"A\") VALUES (2, NULL)");
    EXPECT_EQ(db().one("SELECT NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' AND "
                       "COLUMN_NAME = 'A'"),
              "Y");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY \"A\" NOT NULL").substr(0, 9), "ORA-02296");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY \"B\" NVARCHAR2(2) NOT NULL").substr(0, 9),
              "ORA-02296");
    ok("UPDATE \"T\" SET \"B\" = 'abcdef'");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY \"B\" NVARCHAR2(2)"),
              "ORA-01441: cannot decrease column length because some value is too big");
    EXPECT_EQ(fails("ALTER TABLE \"T\" MODIFY \"B\" NUMBER"),
              "ORA-01439: column to be modified must be empty to change datatype");
}

TEST_F(Ddl, DropTable) {
    ok("CREATE TABLE \"T\" (\"A\" NUMBER)");
    ok("ALTER TABLE \"T\" ADD CONSTRAINT \"PK\" PRIMARY KEY (\"A\")");
    ok("CREATE SEQUENCE \"T_0\"");
    ok("CREATE OR REPLACE TRIGGER T__TRIGGER BEFORE INSERT ON T FOR EACH ROW WHEN (new.A IS NULL) "
       "BEGIN select T_0.nextval into :new.A from dual; END;");
    ok("DROP TABLE \"T\" CASCADE CONSTRAINTS");
    EXPECT_EQ(fails("DROP TABLE \"T\" CASCADE CONSTRAINTS"),
              "ORA-00942: table or view does not exist");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM USER_CONSTRAINTS"), "0");
    // The names of the table, its key and its trigger are free again.
    ok("CREATE TABLE \"T\" (\"A\" NUMBER)");
    ok("ALTER TABLE \"T\" ADD CONSTRAINT \"PK\" PRIMARY KEY (\"A\")");
    ok("CREATE TRIGGER T__TRIGGER BEFORE INSERT ON T FOR EACH ROW WHEN (new.A IS NULL) BEGIN "
       "select T_0.nextval into :new.A from dual; END;");
}

TEST_F(Ddl, SequencesAndAutoIncrementTrigger) {
    ok("CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(10))");
    ok("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
       "NOCYCLE NOCACHE ORDER");
    EXPECT_EQ(fails("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1"),
              "ORA-00955: name is already used by an existing object");
    EXPECT_EQ(fails("CREATE SEQUENCE S9 MAXVALUE 1.0E29"),
              "ORA-04003: sequence parameter MAXVALUE exceeds maximum size allowed");
    ASSERT_EQ(db().exec("CREATE OR REPLACE TRIGGER ORDERS__TRIGGER BEFORE INSERT ON ORDERS FOR "
                        "EACH ROW WHEN (new.ID IS NULL) BEGIN select ORDERS_0.nextval into :new.ID "
                        "from dual; END;"),
              oci::SUCCESS)
        << db().text();
    ok("INSERT INTO \"ORDERS\" (\"NAME\") VALUES ('a')");
    ok("INSERT INTO \"ORDERS\" (\"NAME\", \"ID\") VALUES ('b', 100)");
    ok("INSERT INTO \"ORDERS\" (\"NAME\") VALUES ('c')");
    EXPECT_EQ(db().rows("SELECT \"ID\", \"NAME\" FROM \"ORDERS\" ORDER BY \"NAME\""),
              (Rows{{"1", "a"}, {"100", "b"}, {"2", "c"}}));
    EXPECT_EQ(db().one("SELECT ORDERS_0.NEXTVAL FROM DUAL"), "3");
    // Unquoted names in the trigger are upper-cased: a lower-case table is not found.
    ok("CREATE TABLE \"lower\" (\"id\" NUMBER)");
    EXPECT_EQ(fails("CREATE OR REPLACE TRIGGER lower__TRIGGER BEFORE INSERT ON lower FOR EACH ROW "
                    "WHEN (new.id IS NULL) BEGIN select lower_0.nextval into :new.id from dual; "
                    "END;"),
              "ORA-00942: table or view does not exist");
}

TEST_F(Ddl, TriggerWithMissingSequenceIsCreatedInvalid) {
    ok("CREATE TABLE T (ID NUMBER, V NUMBER)");
    EXPECT_EQ(db().exec("CREATE OR REPLACE TRIGGER T__TRIGGER BEFORE INSERT ON T FOR EACH ROW "
                        "WHEN (new.ID IS NULL) BEGIN select NOSEQ.nextval into :new.ID from "
                        "dual; END;"),
              oci::SUCCESS_WITH_INFO);
    EXPECT_EQ(db().text(), "ORA-24344: success with compilation error");
    EXPECT_EQ(db().one("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'T__TRIGGER'"),
              "INVALID");
    EXPECT_EQ(fails("INSERT INTO T (V) VALUES (1)"),
              "ORA-04098: trigger 'SCOTT.T__TRIGGER' is invalid and failed re-validation");
    EXPECT_EQ(db().exec("CREATE TRIGGER T2 BEFORE INSERT ON T FOR EACH ROW WHEN (new.V > 0) "
                        "BEGIN select NOSEQ.nextval into :new.ID from dual; END;"),
              oci::SUCCESS_WITH_INFO);
    EXPECT_EQ(fails("CREATE TRIGGER T2 BEFORE INSERT ON T FOR EACH ROW BEGIN NULL; END;"),
              "ORA-04081: trigger 'T2' already exists");
    ok("DROP TRIGGER T2");
    ok("CREATE SEQUENCE NOSEQ");  // re-validation now succeeds
    ok("INSERT INTO T (V) VALUES (1)");
    EXPECT_EQ(db().one("SELECT ID FROM T"), "1");
}

TEST_F(Ddl, PrivilegesAreChecked) {
    ASSERT_EQ(home().admin("revoke ORCL scott 'CREATE SEQUENCE'"), 0);
    ASSERT_EQ(home().admin("revoke ORCL scott 'CREATE TABLE'"), 0);
    EXPECT_EQ(fails("CREATE SEQUENCE S1"), "ORA-01031: insufficient privileges");
    EXPECT_EQ(fails("CREATE TABLE T (A NUMBER)"), "ORA-01031: insufficient privileges");
    ASSERT_EQ(home().admin("grant ORCL scott 'CREATE TABLE'"), 0);
    ok("CREATE TABLE T (A NUMBER)");
}
