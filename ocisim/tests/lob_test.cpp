// LOB locators: empty LOBs, locking with SELECT ... FOR UPDATE, writes and reads in UTF-16.
#include <cstring>
#include <memory>

#include "fixture.h"

class Lobs : public SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ok("CREATE TABLE \"M\" (\"ID\" NUMBER(5), \"MEMO\" CLOB, \"PIC\" BLOB, \"NOTE\" NCLOB)");
        ok("INSERT INTO \"M\" VALUES (1, EMPTY_CLOB(), EMPTY_BLOB(), EMPTY_CLOB())");
        ASSERT_EQ(a.DescriptorAlloc(db().env, &clob, oci::DTYPE_LOB, 0, nullptr), oci::SUCCESS);
        ASSERT_EQ(a.DescriptorAlloc(db().env, &blob, oci::DTYPE_LOB, 0, nullptr), oci::SUCCESS);
    }
    void TearDown() override {
        a.DescriptorFree(clob, oci::DTYPE_LOB);
        a.DescriptorFree(blob, oci::DTYPE_LOB);
        SimTest::TearDown();
    }
    // Fetches the locators of row 1 (and locks the row when `for_update`).
    void select_locators(bool for_update) {
        ASSERT_EQ(db().prepare(std::string("SELECT \"MEMO\", \"PIC\" FROM \"M\" WHERE \"ID\" = 1") +
                               (for_update ? " FOR UPDATE" : "")),
                  oci::SUCCESS);
        void* def = nullptr;
        a.DefineByPos(db().stmt, &def, db().err, 1, &clob, -1, oci::SQLT_CLOB, &ind[0], nullptr,
                      nullptr, oci::DEFAULT);
        a.DefineByPos(db().stmt, &def, db().err, 2, &blob, -1, oci::SQLT_BLOB, &ind[1], nullptr,
                      nullptr, oci::DEFAULT);
        ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    }
    sword write_utf16(const std::string& text, ub4 offset = 1) {
        std::u16string t = u16(text);
        ub4 amount = static_cast<ub4>(t.size());
        return a.LobWrite(db().svc, db().err, clob, &amount, offset, t.data(),
                          static_cast<ub4>(t.size() * 2), oci::ONE_PIECE, nullptr, nullptr, 0,
                          oci::SQLCS_IMPLICIT);
    }
    std::string read_utf16(ub4 offset = 1, ub4 amount = 0) {
        char16_t buf[512] = {};
        ub4 amt = amount;
        sword rc = a.LobRead(db().svc, db().err, clob, &amt, offset, buf, sizeof buf, nullptr,
                             nullptr, 0, oci::SQLCS_IMPLICIT);
        return rc == oci::NO_DATA ? "<no data>" : u8(buf, amt);
    }
    oci::Api& a = oci::Api::get();
    void* clob = nullptr;
    void* blob = nullptr;
    sb2 ind[2] = {};
};

TEST_F(Lobs, EmptyLobsAreNotNull) {
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"M\" WHERE \"MEMO\" IS NULL"), "0");
    EXPECT_EQ(db().one("SELECT \"MEMO\" FROM \"M\""), "");  // empty text, not NULL
    ok("INSERT INTO \"M\" (\"ID\") VALUES (2)");
    EXPECT_EQ(db().one("SELECT COUNT(*) FROM \"M\" WHERE \"MEMO\" IS NULL"), "1");
}

TEST_F(Lobs, WriteNeedsTheRowLocked) {
    ok("COMMIT");
    select_locators(false);
    EXPECT_EQ(write_utf16("text"), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-22920: row containing the LOB value is not locked");
    select_locators(true);
    EXPECT_EQ(write_utf16("text"), oci::SUCCESS) << db().text();
    ASSERT_EQ(db().commit(), oci::SUCCESS);
    // The commit released the lock.
    EXPECT_EQ(write_utf16("more"), oci::ERROR);
    EXPECT_EQ(db().code(), 22920);
}

TEST_F(Lobs, Utf16TextWithCharacterAmounts) {
    select_locators(true);
    ub1 form = 0;
    ASSERT_EQ(a.LobCharSetForm(db().env, db().err, clob, &form), oci::SUCCESS);
    EXPECT_EQ(form, oci::SQLCS_IMPLICIT);
    std::string text = "Grüße 😀 " + std::string(300, 'x');
    ASSERT_EQ(write_utf16(text), oci::SUCCESS) << db().text();
    EXPECT_EQ(read_utf16(), text.substr(0, text.size()));
    EXPECT_EQ(read_utf16(3, 4), "üße ");  // offsets and amounts count UTF-16 code units
    EXPECT_EQ(read_utf16(1000), "<no data>");
    ASSERT_EQ(write_utf16("GR", 1), oci::SUCCESS);  // overwrite in place
    EXPECT_EQ(read_utf16(1, 6), "GRüße ");
    ASSERT_EQ(db().commit(), oci::SUCCESS);
    EXPECT_EQ(db().one("SELECT \"MEMO\" FROM \"M\""), "GRüße 😀 " + std::string(300, 'x'));
}

TEST_F(Lobs, Utf8BytesAnnouncedAsCharsetZeroArriveGarbled) {
    select_locators(true);
    std::string utf8 = "abcd";
    ub4 amount = static_cast<ub4>(utf8.size());
    ASSERT_EQ(
        a.LobWrite(db().svc, db().err, clob, &amount, 1, utf8.data(), static_cast<ub4>(utf8.size()),
                   oci::ONE_PIECE, nullptr, nullptr, 0, oci::SQLCS_IMPLICIT),
        oci::SUCCESS);
    EXPECT_NE(read_utf16(), "abcd");
    EXPECT_EQ(amount, 2u);  // four bytes are two UTF-16 code units
}

TEST_F(Lobs, BlobBytes) {
    select_locators(true);
    unsigned char bytes[] = {0x00, 0xFF, 0x10, 0x80, 0x7F};
    ub4 amount = sizeof bytes;
    ASSERT_EQ(a.LobWrite(db().svc, db().err, blob, &amount, 1, bytes, sizeof bytes, oci::ONE_PIECE,
                         nullptr, nullptr, 0, oci::SQLCS_IMPLICIT),
              oci::SUCCESS)
        << db().text();
    unsigned char back[16] = {};
    ub4 got = 0;
    ASSERT_EQ(a.LobRead(db().svc, db().err, blob, &got, 1, back, sizeof back, nullptr, nullptr, 0,
                        oci::SQLCS_IMPLICIT),
              oci::SUCCESS);
    ASSERT_EQ(got, sizeof bytes);
    EXPECT_EQ(std::memcmp(back, bytes, sizeof bytes), 0);
    ub1 form = 9;
    a.LobCharSetForm(db().env, db().err, blob, &form);
    EXPECT_EQ(form, 0);
}

TEST_F(Lobs, BufferFormMustMatchTheLobForm) {
    ASSERT_EQ(db().prepare("SELECT \"MEMO\", \"NOTE\" FROM \"M\" WHERE \"ID\" = 1 FOR UPDATE"),
              oci::SUCCESS);
    void* nclob = nullptr;
    ASSERT_EQ(a.DescriptorAlloc(db().env, &nclob, oci::DTYPE_LOB, 0, nullptr), oci::SUCCESS);
    void* def = nullptr;
    a.DefineByPos(db().stmt, &def, db().err, 1, &clob, -1, oci::SQLT_CLOB, &ind[0], nullptr,
                  nullptr, oci::DEFAULT);
    a.DefineByPos(db().stmt, &def, db().err, 2, &nclob, -1, oci::SQLT_CLOB, &ind[1], nullptr,
                  nullptr, oci::DEFAULT);
    ASSERT_EQ(db().execute(1), oci::SUCCESS) << db().text();
    std::u16string text = u16("Жук");
    auto write = [&](void* loc, ub1 form) {
        ub4 amount = static_cast<ub4>(text.size());
        return a.LobWrite(db().svc, db().err, loc, &amount, 1, text.data(),
                          static_cast<ub4>(text.size() * 2), oci::ONE_PIECE, nullptr, nullptr, 0,
                          form);
    };
    EXPECT_EQ(write(nclob, oci::SQLCS_IMPLICIT), oci::ERROR);
    EXPECT_EQ(db().text(), "ORA-24806: LOB form mismatch");
    EXPECT_EQ(write(clob, oci::SQLCS_NCHAR), oci::ERROR);
    EXPECT_EQ(db().code(), 24806);
    ASSERT_EQ(write(nclob, oci::SQLCS_NCHAR), oci::SUCCESS) << db().text();
    char16_t back[8] = {};
    ub4 got = 0;
    EXPECT_EQ(a.LobRead(db().svc, db().err, nclob, &got, 1, back, sizeof back, nullptr, nullptr, 0,
                        oci::SQLCS_IMPLICIT),
              oci::ERROR);
    ASSERT_EQ(a.LobRead(db().svc, db().err, nclob, &got, 1, back, sizeof back, nullptr, nullptr, 0,
                        oci::SQLCS_NCHAR),
              oci::SUCCESS);
    EXPECT_EQ(u8(back, got), "Жук");
    a.DescriptorFree(nclob, oci::DTYPE_LOB);
}

// LOB data without locators (long character and raw binds of any size) and temporary LOBs bound
// as locators, both in array inserts.
TEST_F(Lobs, LongBindsAndTemporaryLobsFillLobColumns) {
    struct Row {
        int id;
        sb4 memo_len;
        char16_t memo[40000];
        sb4 pic_len;
        unsigned char pic[70000];
        void* note;
    };
    auto rows = std::make_unique<Row[]>(2);
    std::u16string big(40000, u'ж');
    std::u16string note_text = u16("Жук 𝄞 ok");
    for (int r = 0; r < 2; ++r) {
        Row& row = rows[r];
        row.id = 10 + r;
        size_t chars = r == 0 ? big.size() : 3;
        std::memcpy(row.memo, big.data(), chars * 2);
        row.memo_len = static_cast<sb4>(chars * 2);
        row.pic_len = r == 0 ? 70000 : 2;
        std::memset(row.pic, 0xAB, sizeof row.pic);
        ASSERT_EQ(a.DescriptorAlloc(db().env, &row.note, oci::DTYPE_LOB, 0, nullptr), oci::SUCCESS);
        ASSERT_EQ(a.LobCreateTemporary(db().svc, db().err, row.note, 0, oci::SQLCS_NCHAR,
                                       oci::TEMP_CLOB, 1, 10),
                  oci::SUCCESS)
            << db().text();
        ub4 amount = static_cast<ub4>(note_text.size());
        ASSERT_EQ(a.LobWrite(db().svc, db().err, row.note, &amount, 1, note_text.data(),
                             static_cast<ub4>(note_text.size() * 2), oci::ONE_PIECE, nullptr,
                             nullptr, oci::UTF16ID, oci::SQLCS_NCHAR),
                  oci::SUCCESS)
            << db().text();
    }
    ASSERT_EQ(db().prepare("INSERT INTO \"M\" VALUES (:1, :2, :3, :4)"), oci::SUCCESS);
    void* b[4] = {};
    const sb4 lvc = sizeof(sb4) + sizeof rows[0].memo;
    const sb4 lvb = sizeof(sb4) + sizeof rows[0].pic;
    a.BindByPos(db().stmt, &b[0], db().err, 1, &rows[0].id, sizeof(int), oci::SQLT_INT, nullptr,
                nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    a.BindByPos(db().stmt, &b[1], db().err, 2, &rows[0].memo_len, lvc, oci::SQLT_LVC, nullptr,
                nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    a.BindByPos(db().stmt, &b[2], db().err, 3, &rows[0].pic_len, lvb, oci::SQLT_LVB, nullptr,
                nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    a.BindByPos(db().stmt, &b[3], db().err, 4, &rows[0].note, sizeof(void*), oci::SQLT_CLOB,
                nullptr, nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    ub1 nchar = oci::SQLCS_NCHAR;
    a.AttrSet(b[3], oci::HTYPE_BIND, &nchar, 0, oci::ATTR_CHARSET_FORM, db().err);
    for (void* bind : b) {
        a.BindArrayOfStruct(bind, db().err, sizeof(Row), 0, 0, 0);
    }
    ASSERT_EQ(db().execute(2), oci::SUCCESS) << db().text();

    // Character data into a BLOB and a locator of the wrong kind are refused.
    ASSERT_EQ(db().prepare("INSERT INTO \"M\" (\"ID\", \"PIC\") VALUES (20, :1)"), oci::SUCCESS);
    a.BindByPos(db().stmt, &b[0], db().err, 1, &rows[0].note, sizeof(void*), oci::SQLT_BLOB,
                nullptr, nullptr, nullptr, 0, nullptr, oci::DEFAULT);
    EXPECT_EQ(db().execute(1), oci::ERROR);
    EXPECT_EQ(db().code(), 932);
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(a.LobFreeTemporary(db().svc, db().err, rows[r].note), oci::SUCCESS);
        a.DescriptorFree(rows[r].note, oci::DTYPE_LOB);
    }
    EXPECT_EQ(db().rows("SELECT \"ID\", LENGTH(\"MEMO\"), LENGTH(\"PIC\"), \"NOTE\" FROM \"M\" "
                        "WHERE \"ID\" >= 10 ORDER BY \"ID\""),
              (Rows{{"10", "40000", "70000", "Жук 𝄞 ok"}, {"11", "3", "2", "Жук 𝄞 ok"}}));
    EXPECT_EQ(db().one("SELECT \"MEMO\" FROM \"M\" WHERE \"ID\" = 11"), "жжж");
}
