// Opening DBF tables: the version bytes and the layouts and memo files they select, the header
// checks and their messages, the descriptor list, the memo and index files beside the table, the
// cursor and the record read at its offset.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

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

std::u16string text_of(udb_record& record, size_t i) {
    return record[i]->wstring();
}

}  // namespace

class recordset : public testing::Test {
  protected:
    dbf_test_folder folder;
    dbf_log_capture log{folder};
};

// --- version byte: layout, memo kind and memo reader ---

struct version_row {
    uint8_t version;
    uint8_t flags;
    int memo_kind;
    const char* memo_line;
    const char* extension;  // memo file written beside the table, "" for none
};

class version_byte : public recordset, public testing::WithParamInterface<version_row> {};

TEST_P(version_byte, selects_layout_memo_kind_and_reader) {
    const version_row row = GetParam();
    dbf_writer w(row.version);
    if (row.version == 0x30 || row.version == 0x31 || row.version == 0x32) {
        w.table_flags(row.flags);
    }
    w.field("NAME", 'C', 8);
    if (row.memo_kind != 0) {
        w.field("NOTE", 'M', dbf_writer(row.version).is_vfp() ? 4 : 10);
        w.add_record({dbf_cell::text("first"), dbf_cell::memo("memo text")});
    } else {
        w.add_record({dbf_cell::text("first")});
    }
    const auto written = w.write(folder.path(), "t.dbf");
    auto rs = open_table(written.dbf);
    EXPECT_EQ(rs->get_memo_kind(), row.memo_kind);
    EXPECT_TRUE(log.has_line(row.memo_line)) << log.text();
    const bool level7 = row.version == 0x04 || row.version == 0x8C;
    EXPECT_TRUE(log.has_line(level7 ? "Processing dBASE Level 7 format" : "Default processing"));
    ASSERT_EQ(rs->schema.size(), row.memo_kind != 0 ? 2u : 1u);
    EXPECT_EQ(rs->schema[0]->name, u"NAME");
    const dbf_memo_file* memo = rs->memo_file();
    const bool right_reader =
        row.memo_kind == 0    ? memo == nullptr
        : row.memo_kind == 1  ? dynamic_cast<const old_memo_file*>(memo) != nullptr
        : row.memo_kind == 3  ? dynamic_cast<const dbt_memo_file*>(memo) != nullptr
        : row.memo_kind == 16 ? dynamic_cast<const smt_memo_file*>(memo) != nullptr
                              : dynamic_cast<const fpt_memo_file*>(memo) != nullptr;
    EXPECT_TRUE(right_reader);
    if (row.memo_kind != 0) {
        EXPECT_EQ(written.memo.extension().string(), std::string(".") + row.extension);
    }
    udb_record* r = rs->get_item();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(text_of(*r, 0), u"first");
    if (row.memo_kind != 0) {
        EXPECT_EQ(text_of(*r, 1), u"memo text");
    }
}

INSTANTIATE_TEST_SUITE_P(
    table, version_byte,
    testing::Values(version_row{0x30, 0x02, 8, "MEMO TYPE=Visual FoxPro 3.0", "fpt"},
                    version_row{0x31, 0x02, 8, "MEMO TYPE=Visual FoxPro 3.0", "fpt"},
                    version_row{0x32, 0x02, 8, "MEMO TYPE=Visual FoxPro 3.0", "fpt"},
                    version_row{0x30, 0x06, 12, "MEMO TYPE=Visual FoxPro 3.0", "dct"},
                    version_row{0x30, 0x00, 0, "MEMO TYPE=NO MEMO", ""},
                    version_row{0x7B, 0, 3, "MEMO TYPE=DBASE IV", "dbt"},
                    version_row{0x8B, 0, 3, "MEMO TYPE=DBASE IV", "dbt"},
                    version_row{0xCB, 0, 3, "MEMO TYPE=DBASE IV", "dbt"},
                    version_row{0xEB, 0, 3, "MEMO TYPE=DBASE IV", "dbt"},
                    version_row{0x8C, 0, 3, "MEMO TYPE=DBASE IV", "dbt"},
                    version_row{0x04, 0, 0, "MEMO TYPE=NO MEMO", ""},
                    version_row{0x83, 0, 1, "MEMO TYPE=OLD (FoxBASE/dBASE III)", "dbt"},
                    version_row{0xE5, 0, 16, "MEMO TYPE=SMT", "smt"},
                    version_row{0xF5, 0, 4, "MEMO TYPE=FPT", "fpt"},
                    version_row{0x02, 0, 0, "MEMO TYPE=NO MEMO", ""},
                    version_row{0x03, 0, 0, "MEMO TYPE=NO MEMO", ""},
                    version_row{0xFB, 0, 0, "MEMO TYPE=NO MEMO", ""},
                    version_row{0x43, 0, 0, "MEMO TYPE=NO MEMO", ""}));

TEST_F(recordset, visual_foxpro_without_memo_flag_logs_both_lines_and_ignores_an_fpt) {
    dbf_writer w(dbf_ver::vfp);
    w.table_flags(0x00).field("NAME", 'C', 4).add_record({dbf_cell::text("x")});
    const auto written = w.write(folder.path(), "v.dbf");
    folder.write("v.fpt", std::string(512, '\0'));  // an unrelated memo file lies beside it
    auto rs = open_table(written.dbf);
    EXPECT_EQ(rs->get_memo_kind(), 0);
    EXPECT_EQ(rs->memo_file(), nullptr);
    EXPECT_LT(log.position("MEMO TYPE=Visual FoxPro 3.0"), log.position("MEMO TYPE=NO MEMO"));
}

// --- header checks ---

TEST_F(recordset, damaged_headers_are_not_tables) {
    const std::string bad = "File does not comply with DBF format";
    EXPECT_EQ(dbf_message_of([&] { open_table(folder.write("s.dbf", std::string(31, '\3'))); }),
              bad);
    EXPECT_TRUE(log.has_line("File is too small"));
    // Record length 0 or 1, and a record count negative as a 32-bit number.
    for (uint32_t damage : {0u, 1u, 2u}) {
        dbf_writer w;
        w.field("A", 'C', 1).add_record({dbf_cell::text("a")});
        if (damage < 2) {
            w.damage().record_length = static_cast<uint16_t>(damage);
        } else {
            w.damage().record_count = 0x80000000u;
        }
        EXPECT_EQ(dbf_message_of([&] { open_table(w.write(folder.path(), "h.dbf").dbf); }), bad);
    }
    EXPECT_EQ(log.count("Invalid DBF header"), 3);
    // 0x7FFFFFFF records of 65535 bytes: the size is checked in 64 bits.
    dbf_writer huge;
    huge.field("A", 'C', 10).add_record({dbf_cell::text("a")});
    huge.damage().record_count = 0x7FFFFFFFu;
    huge.damage().record_length = 0xFFFF;
    EXPECT_EQ(dbf_message_of([&] { open_table(huge.write(folder.path(), "g.dbf").dbf); }), bad);
    EXPECT_TRUE(log.has_line("Invalid file size"));
    EXPECT_THROW(open_table(folder.path() / "g.dbf"), dbf_exception);
}

TEST_F(recordset, file_one_byte_shorter_than_its_records_is_rejected) {
    dbf_writer w;
    w.field("A", 'C', 5).add_record({dbf_cell::text("a")}).add_record({dbf_cell::text("b")});
    const size_t exact = w.header_length() + 2u * w.record_length();
    w.damage().dbf_size = exact - 1;
    EXPECT_EQ(dbf_message_of([&] { open_table(w.write(folder.path(), "cut.dbf").dbf); }),
              "File does not comply with DBF format");
    // Exactly header and records is enough: the end-of-file mark is not needed.
    w.damage().dbf_size = exact;
    auto rs = open_table(w.write(folder.path(), "whole.dbf").dbf);
    rs->next();
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"b");
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
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"b");
    rs->next();
    EXPECT_EQ(dbf_message_of([&] { rs->get_item(); }), "Error reading from file");
    EXPECT_THROW(rs->get_item(), dbf_exception);
}

TEST_F(recordset, fields_that_do_not_fit_their_record_or_value_are_rejected) {
    // 1 + 5 + 5 bytes of fields in records of 10.
    dbf_writer w;
    w.field("A", 'C', 5).field("B", 'C', 5).add_record({dbf_cell::text("a")});
    w.damage().record_length = 10;
    EXPECT_EQ(dbf_message_of([&] { open_table(w.write(folder.path(), "n.dbf").dbf); }),
              "File does not comply with DBF format");
    // A binary integer field of 2 bytes cannot hold its 4-byte value.
    const std::string header = std::string(1, '\x03') + "\x01\x01\x01" + dbf_le32(1) +
                               dbf_le16(65) + dbf_le16(3) + std::string(20, '\0');
    const std::string fd = dbf_pad("NUM", 11) + "I" + std::string(4, '\0') +
                           std::string(1, '\x02') + std::string(15, '\0');
    const auto path = folder.write("i2.dbf", header + fd + "\x0D" + " \x01\x02");
    EXPECT_EQ(dbf_message_of([&] { open_table(path); }), "File does not comply with DBF format");
}

TEST_F(recordset, text_fields_that_fit_only_by_their_length_byte_are_read_so) {
    // A C field of length 8 with a stray decimal count of 2 (wide length 520) in records of 12:
    // by their length bytes alone the fields fill the record exactly.
    dbf_writer w;
    w.field("NAME", 'C', 3)
        .field("CODE", 'C', 8)
        .add_record({dbf_cell::text("abc"), dbf_cell::text("12345678")});
    dbf_image image = w.build();
    image.dbf[32 + 32 + 17] = 2;
    auto rs = open_table(folder.write("excel.dbf", image.dbf));
    EXPECT_EQ(rs->schema[1]->size, 8u);
    udb_record* r = rs->get_item();
    EXPECT_EQ(text_of(*r, 0), u"abc");
    EXPECT_EQ(text_of(*r, 1), u"12345678");
}

// --- descriptors ---

TEST_F(recordset, descriptor_count_comes_from_the_header_length_and_the_terminator) {
    // The header length leaves room for `room` descriptors after the real one; `filler` fills
    // that room (a terminator follows the real descriptor unless there is none).
    auto table_with = [&](int room, char filler, bool terminator) {
        dbf_writer w;
        w.field("A", 'C', 2).add_record({dbf_cell::text("aa")});
        w.damage().no_terminator = !terminator;
        w.damage().header_length = static_cast<uint16_t>(w.header_length() + room * 32);
        dbf_image image = w.build();
        const size_t real = terminator ? 65 : 64;
        image.dbf.insert(real, std::string(static_cast<size_t>(room) * 32, filler));
        return open_table(folder.write("d.dbf", image.dbf));
    };
    auto early = table_with(4, 'X', true);  // the terminator ends the list after one
    EXPECT_EQ(early->descriptors().size(), 1u);
    EXPECT_TRUE(log.has_line("Table has 5 fields"));
    EXPECT_EQ(text_of(*early->get_item(), 0), u"aa");
    auto exact = table_with(0, 0, false);
    EXPECT_EQ(exact->descriptors().size(), 1u);
    EXPECT_TRUE(
        log.has_line("DATA OFFSET=64, sizeof(dbf_header)=32, sizeof(dbf_field_descriptor)=32"));
    // Without a terminator the computed count is read; zero-filled descriptors take no bytes
    // of the record and read as empty values.
    auto computed = table_with(2, 0, false);
    ASSERT_EQ(computed->descriptors().size(), 3u);
    udb_record* r = computed->get_item();
    EXPECT_EQ(text_of(*r, 0), u"aa");
    EXPECT_EQ((*r)[1]->vt(), VT_EMPTY);
    // A header length below the header itself: no fields, and no crash.
    dbf_writer w;
    w.field("A", 'C', 2).add_record({dbf_cell::text("aa")});
    w.damage().header_length = 0;
    auto none = open_table(w.write(folder.path(), "z.dbf").dbf);
    EXPECT_EQ(none->schema.size(), 0u);
    EXPECT_EQ(none->get_item()->size(), 0u);
}

TEST_F(recordset, fields_are_cut_by_width_alone_whatever_the_record_length_and_displacement) {
    // One C field of 3 in records of 10 bytes; the stored displacement is nonsense.
    const std::string header = std::string(1, '\x03') + "\x01\x01\x01" + dbf_le32(2) +
                               dbf_le16(65) + dbf_le16(10) + std::string(20, '\0');
    const std::string fd = dbf_pad("A", 11) + "C" + "\xFF\xFF\xFF\x7F" + std::string(1, '\x03') +
                           std::string(15, '\0');
    const auto path =
        folder.write("t.dbf", header + fd + "\x0D" + " abcXXXXXX" + " defYYYYYY" + "\x1A");
    auto rs = open_table(path);
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"abc");
    rs->next();
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"def");
}

TEST_F(recordset, level7_descriptors_are_48_bytes_from_offset_68_with_long_names) {
    dbf_writer w(dbf_ver::dbase7);
    const std::string long_name = "a_field_name_of_31_characters__";
    ASSERT_EQ(long_name.size(), 31u);
    w.field(long_name, 'C', 6).field("N", 'N', 5, 1);
    w.add_record({dbf_cell::text("hello"), dbf_cell::number(12.5)});
    auto rs = open_table(w.write(folder.path(), "seven.dbf").dbf);
    ASSERT_EQ(rs->descriptors().size(), 2u);
    EXPECT_EQ(rs->schema[0]->name, tk_from_utf8(long_name));
    EXPECT_TRUE(log.has_line("Reading FD7 at 68"));
    EXPECT_TRUE(log.has_line("Reading FD7 at 116"));
    EXPECT_EQ(rs->descriptors()[1].length, 5);
    EXPECT_EQ(rs->descriptors()[1].decimals, 1);
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"hello");
}

// --- memo file beside the table ---

TEST_F(recordset, missing_memo_file_is_reported_once_and_memos_read_empty) {
    scripted_user_interface ui;
    size_t pairs = 0;
    const t_error_message* messages = ora_error_messages(pairs);
    error_handler handler(pairs, messages);
    handler.set_user_interface(&ui);
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("NAME", 'C', 4).field("NOTE", 'M', 10);
    w.add_record({dbf_cell::text("a"), dbf_cell::memo("one")});
    w.add_record({dbf_cell::text("b"), dbf_cell::memo("two")});
    w.damage().no_memo_file = true;
    const auto written = w.write(folder.path(), "nomemo.dbf");
    auto rs = open_table(written.dbf);
    ASSERT_EQ(ui.all_errors.size(), 1u);
    EXPECT_NE(ui.all_errors[0].find("Memo file not found"), std::string::npos);
    EXPECT_NE(ui.all_errors[0].find("nomemo.dbf"), std::string::npos);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0].kind, "ask_continue");
    for (; !rs->is_eof(); rs->next()) {
        udb_record* r = rs->get_item();
        EXPECT_EQ((*r)[1]->vt(), VT_EMPTY);
    }
    EXPECT_EQ(log.count("No MEMO file!"), 2);
    EXPECT_EQ(ui.all_errors.size(), 1u);
    // Abort stops the opening.
    ui.continue_script.push_back({false, false});
    EXPECT_THROW(open_table(written.dbf), tk_final_exception);
}

TEST_F(recordset, damaged_memo_header_fails_the_table) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("NOTE", 'M', 10).add_record({dbf_cell::memo("x")});
    w.damage().memo_block_size_field = 0;
    EXPECT_EQ(dbf_message_of([&] { open_table(w.write(folder.path(), "a.dbf").dbf); }),
              "Memo file is corrupted");
    dbf_writer old(dbf_ver::dbase3_memo);
    old.field("NOTE", 'M', 10).add_record({dbf_cell::memo("x")});
    old.damage().memo_next_free = 0;
    EXPECT_EQ(dbf_message_of([&] { open_table(old.write(folder.path(), "b.dbf").dbf); }),
              "Failed to read MEMO field");
}

// --- names on a file system that tells cases apart ---

TEST_F(recordset, lower_case_name_opens_the_file_and_memo_really_there) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("NOTE", 'M', 10).add_record({dbf_cell::memo("upper-case files")});
    const auto written = w.write(folder.path(), "Orders.DBF");
    ASSERT_EQ(written.memo.filename().string(), "Orders.FPT");
    auto rs = open_table(folder.path() / "orders.dbf");
    EXPECT_EQ(std::filesystem::path(rs->file_path()).filename().string(), "Orders.DBF");
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"upper-case files");

    dbf_writer plain;
    plain.field("A", 'C', 3).add_record({dbf_cell::text("abc")});
    plain.write(folder.path(), "ITEMS.dbf");
    auto items = open_table(folder.path() / "items.dbf");
    EXPECT_EQ(text_of(*items->get_item(), 0), u"abc");
}

// --- index files ---

TEST_F(recordset, index_files_are_looked_for_and_bring_no_index) {
    dbf_writer w;
    w.field("A", 'C', 1).add_record({dbf_cell::text("a")});
    const auto t = w.write(folder.path(), "t.dbf");
    {
        auto rs = open_table(t.dbf);
        EXPECT_TRUE(log.has_line("Failed to find .idx, try to locate .cdx"));
        EXPECT_TRUE(log.has_line("Failed to find .cdx, aborting"));
        EXPECT_TRUE(rs->indexes.empty());
        EXPECT_EQ(rs->key_index, -1);
    }
    folder.write("T.CDX", "not an index");
    {
        auto rs = open_table(t.dbf);
        EXPECT_TRUE(log.has_line("dbf_recordset::process_cdx(" + folder.file("T.CDX") + ")"));
        EXPECT_TRUE(rs->indexes.empty());
    }
    folder.write("t.idx", "");
    auto rs = open_table(t.dbf);
    EXPECT_TRUE(log.has_line("dbf_recordset::process_idx(" + folder.file("t.idx") + ")"));
    EXPECT_TRUE(rs->indexes.empty());
}

// --- code page ---

TEST_F(recordset, user_language_driver_id_replaces_the_header_one) {
    dbf_writer w;
    w.codepage(0x03).field("A", 'C', 4).add_record({dbf_cell::raw("\x8F\xE0\xA8")});
    const auto t = w.write(folder.path(), "cp.dbf");
    auto own = open_table(t.dbf, 0);
    EXPECT_EQ(own->get_codepage(), 1252);
    EXPECT_EQ(own->header().language_driver_id, 0x03);
    EXPECT_FALSE(log.has_line("Setting user-defined codepage: 101"));
    auto russian = open_table(t.dbf, 0x65);
    EXPECT_TRUE(log.has_line("DBF file has codepage: 3"));
    EXPECT_TRUE(log.has_line("Setting user-defined codepage: 101"));
    EXPECT_EQ(russian->get_codepage(), 866);
    EXPECT_EQ(text_of(*russian->get_item(), 0), u"При");
    EXPECT_NE(text_of(*own->get_item(), 0), u"При");
    dbf_writer unknown;
    unknown.codepage(0x1F).field("A", 'C', 4).add_record({dbf_cell::text("abc")});
    auto ansi = open_table(unknown.write(folder.path(), "x.dbf").dbf);
    EXPECT_EQ(ansi->get_codepage(), 0);
    EXPECT_EQ(text_of(*ansi->get_item(), 0), u"abc");
}

// --- records and cursor ---

TEST_F(recordset, cursor_moves_and_get_item_reads_the_record_under_it) {
    dbf_writer w;
    w.field("A", 'C', 3);
    for (const char* v : {"r0", "r1", "r2"}) {
        w.add_record({dbf_cell::text(v)});
    }
    w.damage().trailing = "garbage after the records";
    auto rs = open_table(w.write(folder.path(), "c.dbf").dbf);
    EXPECT_EQ(rs->records_cnt, 3u);
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"r0");
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"r0");  // get_item does not move
    rs->prev();
    EXPECT_EQ(rs->current_record(), 0u);
    rs->next();
    rs->next();
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"r2");
    EXPECT_TRUE(log.has_line("Reading at " + std::to_string(w.header_length() + 2 * 4)));
    rs->prev();
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"r1");
    rs->next();
    rs->next();
    EXPECT_TRUE(rs->is_eof());
    rs->first();
    EXPECT_FALSE(rs->is_eof());
    EXPECT_EQ(text_of(*rs->get_item(), 0), u"r0");
}

TEST_F(recordset, record_and_fields_are_reused_between_records) {
    dbf_writer w(dbf_ver::foxpro2_memo);
    w.field("A", 'C', 10).field("M", 'M', 10).field("N", 'N', 6, 2);
    for (int i = 0; i < 50; ++i) {
        w.add_record({dbf_cell::text("row " + std::to_string(i)),
                      dbf_cell::memo(std::string(static_cast<size_t>(i) * 3, 'm')),
                      dbf_cell::number(i / 4.0)});
    }
    auto rs = open_table(w.write(folder.path(), "reuse.dbf").dbf);
    udb_record* first = rs->get_item();
    const std::vector<udb_field*> fields(first->begin(), first->end());
    int n = 0;
    for (rs->first(); !rs->is_eof(); rs->next(), ++n) {
        udb_record* r = rs->get_item();
        EXPECT_EQ(r, first);
        EXPECT_EQ(std::vector<udb_field*>(r->begin(), r->end()), fields);
        EXPECT_EQ(text_of(*r, 0), u"row " + tk_from_utf8(std::to_string(n)));
        EXPECT_EQ((*r)[1]->wstring().size(), static_cast<size_t>(n) * 3);
        EXPECT_EQ((*r)[0]->name, u"A");
        // What a type mapping may do to the record it was given stays with that record.
        (*r)[0]->name = u"RENAMED";
        (*r)[0]->size = 99;
        (*r)[2]->change_type(VT_BSTR);
    }
    EXPECT_EQ((*first)[2]->vt(), VT_BSTR);
    rs->first();
    EXPECT_EQ((*rs->get_item())[2]->vt(), VT_DECIMAL);
    EXPECT_EQ((*first)[0]->size, 10u);
    EXPECT_EQ(n, 50);
}

TEST_F(recordset, what_a_read_only_table_does_not_do) {
    dbf_writer w;
    w.field("A", 'C', 1);
    auto empty = open_table(w.write(folder.path(), "empty.dbf").dbf);
    EXPECT_TRUE(empty->is_eof());
    EXPECT_EQ(empty->records_cnt, 0u);
    EXPECT_THROW(empty->get_item(), tk_mail_assertion);  // nothing under the cursor
    udb_record record;
    EXPECT_THROW(empty->append_record(record), tk_mail_assertion);
    EXPECT_TRUE(log.has_line("dbf_recordset::append_record"));
    // Modes other than 1 and 8 only open the file.
    const auto junk = folder.write("junk.dbf", "not a table at all");
    EXPECT_NO_THROW(open_table(junk, 0, 2));
    EXPECT_THROW(open_table(junk, 0, 8), dbf_exception);
}
