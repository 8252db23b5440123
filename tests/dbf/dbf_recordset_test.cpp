// Opening DBF tables: the version bytes and the layouts and memo files they select, the header
// checks and their messages, the descriptor list, the memo and index files beside the table, the
// cursor and the record read at its offset.

#include <gtest/gtest.h>

#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_recordset.hpp"
#include "dbf_test_support.hpp"
#include "support/dbf_writer.hpp"
#include "support/scripted_user_interface.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_wstring.hpp"

namespace {

std::unique_ptr<dbf_recordset> open_table(const std::filesystem::path& path, uint8_t user_id = 0,
                                          uint32_t mode = 1) {
    return std::make_unique<dbf_recordset>(tk_from_utf8(path.string()), mode, user_id);
}
std::u16string text_of(udb_record* record, size_t i) {
    return (*record)[i]->wstring();
}
const std::string bad_format = "File does not comply with DBF format";

}  // namespace

class recordset : public testing::Test {
  protected:
    dbf_test_folder folder;
};

// --- version byte: layout, memo kind and memo reader ---

struct version_row {
    uint8_t version, flags;
    int memo_kind;
};

class version_byte : public recordset, public testing::WithParamInterface<version_row> {};

TEST_P(version_byte, selects_layout_memo_kind_and_reader) {
    const version_row row = GetParam();
    dbf_writer w(row.version);
    w.table_flags(row.flags).field("NAME", 'C', 8);
    std::vector<dbf_cell> cells{dbf_cell::text("first")};
    if (row.memo_kind != 0) {
        w.field("NOTE", 'M', w.is_vfp() ? 4 : 10);
        cells.push_back(dbf_cell::memo("memo text"));
    }
    w.add_record(cells);
    const auto written = w.write(folder.path(), "t.dbf");
    if (row.memo_kind == 0) {
        folder.write("t.fpt", std::string(512, '\0'));  // an unrelated memo file beside it
    }
    auto rs = open_table(written.dbf);
    EXPECT_EQ(rs->get_memo_kind(), row.memo_kind);
    const dbf_memo_file* memo = rs->memo_file();
    EXPECT_TRUE(row.memo_kind == 0    ? memo == nullptr
                : row.memo_kind == 1  ? dynamic_cast<const old_memo_file*>(memo) != nullptr
                : row.memo_kind == 3  ? dynamic_cast<const dbt_memo_file*>(memo) != nullptr
                : row.memo_kind == 16 ? dynamic_cast<const smt_memo_file*>(memo) != nullptr
                                      : dynamic_cast<const fpt_memo_file*>(memo) != nullptr);
    udb_record* r = rs->get_item();
    EXPECT_EQ(text_of(r, 0), u"first");
    if (row.memo_kind != 0) {
        EXPECT_EQ(text_of(r, 1), u"memo text");
    }
}

INSTANTIATE_TEST_SUITE_P(table, version_byte,
                         testing::Values(version_row{0x30, 0x02, 8}, version_row{0x31, 0x02, 8},
                                         version_row{0x32, 0x02, 8}, version_row{0x30, 0x06, 12},
                                         version_row{0x30, 0x00, 0}, version_row{0x7B, 0, 3},
                                         version_row{0x8B, 0, 3}, version_row{0xCB, 0, 3},
                                         version_row{0xEB, 0, 3}, version_row{0x8C, 0, 3},
                                         version_row{0x04, 0, 0}, version_row{0x83, 0, 1},
                                         version_row{0xE5, 0, 16}, version_row{0xF5, 0, 4},
                                         version_row{0x03, 0, 0}, version_row{0xFB, 0, 0}));

// --- header and layout checks ---

TEST_F(recordset, damaged_headers_are_not_tables) {
    // Record length 0. (A short header, record length 1 and a negative count are in the fuzz
    // corpus test, a fixed-size field of length 0 in the field decoding test.)
    dbf_writer zero;
    zero.field("A", 'C', 5).add_record({dbf_cell::text("a")});
    zero.damage().record_length = 0;
    EXPECT_EQ(dbf_message_of([&] { open_table(zero.write(folder.path(), "h.dbf").dbf); }),
              bad_format);
    // Files shorter than their header says keep their complete records, and tell how many were
    // announced: one byte short of two records; 0x7FFFFFFF records of 65535 bytes (the size
    // needs 64 bits).
    for (const bool b_huge : {false, true}) {
        dbf_writer w;
        w.field("A", 'C', 5).add_record({dbf_cell::text("a")}).add_record({dbf_cell::text("b")});
        if (b_huge) {
            w.damage().record_count = 0x7FFFFFFFu;
            w.damage().record_length = 0xFFFF;
        } else {
            w.damage().dbf_size = w.header_length() + 2u * w.record_length() - 1;
        }
        auto rs = open_table(w.write(folder.path(), "short.dbf").dbf);
        EXPECT_EQ(rs->records_cnt, b_huge ? 0u : 1u);
        EXPECT_EQ(rs->records_announced(), b_huge ? 0x7FFFFFFFu : 2u);
        if (!b_huge) {
            EXPECT_EQ(text_of(rs->get_item(), 0), u"a");
            rs->next();
            EXPECT_TRUE(rs->is_eof());
        }
    }
    // Exactly header and records is enough: the end-of-file mark is not needed.
    dbf_writer whole;
    whole.field("A", 'C', 5).add_record({dbf_cell::text("a")});
    whole.damage().no_eof_marker = true;
    EXPECT_EQ(text_of(open_table(whole.write(folder.path(), "w.dbf").dbf)->get_item(), 0), u"a");
}

TEST_F(recordset, record_that_cannot_be_read_any_more_gives_the_toolkit_message) {
    // Records larger than any read-ahead, and a file cut after the table was opened.
    dbf_writer w;
    w.field("A", 'C', 40000);
    for (const char* v : {"a", "b", "c"}) {
        w.add_record({dbf_cell::text(v)});
    }
    const auto written = w.write(folder.path(), "shrinks.dbf");
    auto rs = open_table(written.dbf);
    std::filesystem::resize_file(written.dbf, w.header_length() + 2u * w.record_length() + 2);
    rs->next();
    EXPECT_EQ(text_of(rs->get_item(), 0), u"b");
    rs->next();
    EXPECT_EQ(dbf_message_of([&] { rs->get_item(); }), "Error reading from file");
    EXPECT_THROW(rs->get_item(), dbf_exception);
}

TEST_F(recordset, fields_are_cut_from_the_record_by_their_widths_which_must_fit) {
    // Widths alone place the fields: a record longer than them, or a displacement, changes
    // nothing.
    auto rs = open_table(folder.write(
        "t.dbf", dbf_header_bytes(2, 65, 10) + dbf_descriptor_bytes("A", 'C', 3, 0, 0x7FFFFFFF) +
                     "\x0D" + " abcXXXXXX" + " defYYYYYY"));
    EXPECT_EQ(text_of(rs->get_item(), 0), u"abc");
    rs->next();
    EXPECT_EQ(text_of(rs->get_item(), 0), u"def");
    // 1 + 5 + 5 bytes of fields in records of 10; a binary integer of 2 bytes.
    dbf_writer w;
    w.field("A", 'C', 5).field("B", 'C', 5).add_record({dbf_cell::text("a")});
    w.damage().record_length = 10;
    EXPECT_EQ(dbf_message_of([&] { open_table(w.write(folder.path(), "n.dbf").dbf); }), bad_format);
    EXPECT_EQ(dbf_message_of([&] {
                  open_table(folder.write("i2.dbf", dbf_header_bytes(1, 65, 3) +
                                                        dbf_descriptor_bytes("NUM", 'I', 2) +
                                                        "\x0D" + " \x01\x02"));
              }),
              bad_format);
    // A C field of length 8 with a stray decimal count of 2 (wide length 520) in records of 12:
    // by their length bytes alone the fields fill the record exactly, and are read so.
    rs = open_table(folder.write(
        "excel.dbf", dbf_header_bytes(1, 97, 12) + dbf_descriptor_bytes("NAME", 'C', 3) +
                         dbf_descriptor_bytes("CODE", 'C', 8, 2) + "\x0D" + " abc12345678"));
    EXPECT_EQ(rs->schema[1]->size, 8u);
    EXPECT_EQ(text_of(rs->get_item(), 0), u"abc");
    EXPECT_EQ(text_of(rs->get_item(), 1), u"12345678");
}

// --- descriptors ---

TEST_F(recordset, descriptor_count_comes_from_the_header_length_and_the_terminator) {
    // Room for `room` more descriptors after the real one, filled with `filler`.
    auto table_with = [&](int room, char filler, bool terminator) {
        const std::string head =
            dbf_header_bytes(1, static_cast<uint16_t>(64 + terminator + room * 32), 3) +
            dbf_descriptor_bytes("A", 'C', 2) + (terminator ? "\x0D" : "");
        return open_table(folder.write(
            "d.dbf", head + std::string(static_cast<size_t>(room) * 32, filler) + " aa"));
    };
    EXPECT_EQ(table_with(4, 'X', true)->descriptors().size(), 1u);  // the terminator ends it
    EXPECT_EQ(table_with(0, 0, false)->descriptors().size(), 1u);
    // Without a terminator the computed count is read; zero-filled descriptors take no bytes
    // of the record and read as empty values.
    auto computed = table_with(2, 0, false);
    ASSERT_EQ(computed->descriptors().size(), 3u);
    EXPECT_EQ(text_of(computed->get_item(), 0), u"aa");
    EXPECT_EQ((*computed->get_item())[1]->vt(), VT_EMPTY);
    // A header length below the header itself: no fields, and no crash.
    auto none = open_table(folder.write("z.dbf", dbf_header_bytes(1, 0, 3) + " aa"));
    EXPECT_EQ(none->schema.size(), 0u);
    EXPECT_EQ(none->get_item()->size(), 0u);
}

TEST_F(recordset, level7_descriptors_are_48_bytes_from_offset_68_with_long_names) {
    dbf_writer w(dbf_ver::dbase7);
    const std::string long_name = "a_field_name_of_31_characters__";
    w.field(long_name, 'C', 6).field("N", 'N', 5, 1);
    w.add_record({dbf_cell::text("hello"), dbf_cell::number(12.5)});
    auto rs = open_table(w.write(folder.path(), "seven.dbf").dbf);
    ASSERT_EQ(rs->descriptors().size(), 2u);
    EXPECT_EQ(rs->schema[0]->name, tk_from_utf8(long_name));
    EXPECT_EQ(rs->descriptors()[1].decimals, 1);
    EXPECT_EQ(text_of(rs->get_item(), 0), u"hello");
    EXPECT_EQ((*rs->get_item())[1]->to_string(), "12.5");
}

// --- files beside the table ---

TEST_F(recordset, missing_memo_file_is_reported_once_and_memos_read_empty) {
    scripted_user_interface ui;
    size_t pairs = 0;
    const t_error_message* messages = ora_error_messages(pairs);
    error_handler handler(pairs, messages);
    handler.set_user_interface(&ui);
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("NOTE", 'M', 10).add_record({dbf_cell::memo("one")}).add_record({dbf_cell::memo("2")});
    w.damage().no_memo_file = true;
    const auto written = w.write(folder.path(), "nomemo.dbf");
    auto rs = open_table(written.dbf);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0].kind, "ask_continue");
    EXPECT_EQ(ui.log[0].text, tk_w2a(rs->name) + ": Memo file not found");
    for (; !rs->is_eof(); rs->next()) {
        EXPECT_EQ((*rs->get_item())[0]->vt(), VT_EMPTY);
    }
    ui.continue_script.push_back({false, false});  // Abort stops the opening
    EXPECT_THROW(open_table(written.dbf), tk_final_exception);
}

TEST_F(recordset, lower_case_name_opens_the_table_and_memo_really_there_and_indexes_stay_unread) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("NOTE", 'M', 10).add_record({dbf_cell::memo("upper-case files")});
    ASSERT_EQ(w.write(folder.path(), "Orders.DBF").memo.filename(), "Orders.FPT");
    folder.write("ORDERS.CDX", "not an index");
    folder.write("Orders.idx", "");
    auto rs = open_table(folder.path() / "orders.dbf");
    EXPECT_EQ(std::filesystem::path(rs->file_path()).filename(), "Orders.DBF");
    EXPECT_EQ(text_of(rs->get_item(), 0), u"upper-case files");
    EXPECT_TRUE(rs->indexes.empty());
    EXPECT_EQ(rs->key_index, -1);
}

// --- records and cursor ---

TEST_F(recordset, cursor_walks_the_records_refilling_one_record_and_its_fields) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("A", 'C', 10).field("M", 'M', 10).field("N", 'N', 6, 2);
    for (int i = 0; i < 50; ++i) {
        w.add_record({dbf_cell::text("row " + std::to_string(i)),
                      dbf_cell::memo(std::string(static_cast<size_t>(i) * 3, 'm')),
                      dbf_cell::number(i / 4.0)});
    }
    w.damage().trailing = "garbage after the records";
    auto rs = open_table(w.write(folder.path(), "reuse.dbf").dbf);
    udb_record* first = rs->get_item();
    const std::vector<udb_field*> fields(first->begin(), first->end());
    int n = 0;
    for (; !rs->is_eof(); rs->next(), ++n) {
        udb_record* r = rs->get_item();
        EXPECT_EQ(std::vector<udb_field*>(r->begin(), r->end()), fields);
        EXPECT_EQ(text_of(r, 0), u"row " + tk_from_utf8(std::to_string(n)));
        EXPECT_EQ((*r)[1]->wstring().size(), static_cast<size_t>(n) * 3);
        EXPECT_EQ((*r)[0]->name, u"A");
        // What a type mapping may do to the record it was given stays with that record.
        (*r)[0]->name = u"RENAMED";
        (*r)[0]->size = 99;
        (*r)[2]->change_type(VT_BSTR);
    }
    EXPECT_EQ(n, 50);
    EXPECT_TRUE(rs->is_eof());
    rs->first();
    rs->prev();  // stays at the first record
    EXPECT_EQ(text_of(rs->get_item(), 0), u"row 0");
    EXPECT_EQ((*rs->get_item())[2]->vt(), VT_DECIMAL);
    EXPECT_EQ((*first)[0]->size, 10u);
    rs->next();
    rs->next();
    rs->prev();
    EXPECT_EQ(text_of(rs->get_item(), 0), u"row 1");
}

TEST_F(recordset, what_a_read_only_table_does_not_do) {
    dbf_writer w;
    w.field("A", 'C', 1);
    auto empty = open_table(w.write(folder.path(), "empty.dbf").dbf);
    EXPECT_TRUE(empty->is_eof());
    EXPECT_THROW(empty->get_item(), tk_mail_assertion);  // nothing under the cursor
    udb_record record;
    EXPECT_THROW(empty->append_record(record), tk_mail_assertion);
    // Modes other than 1 and 8 only open the file.
    const auto junk = folder.write("junk.dbf", "not a table at all");
    EXPECT_NO_THROW(open_table(junk, 0, 2));
    EXPECT_THROW(open_table(junk, 0, 8), dbf_exception);
}
