// The four memo readers on hand-made memo files: header checks, block arithmetic, length-prefixed
// and terminator-ended memos, and every kind of damage.

#include <gtest/gtest.h>

#include <string>

#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_header.hpp"
#include "dbf/dbf_memo_file.hpp"
#include "dbf_test_support.hpp"

namespace {

// A FoxPro memo file: 8-byte header (next free block, block size big-endian at 6), padded to one
// block, then `blocks` placed at their block numbers.
std::string fpt_file(uint32_t block_size,
                     const std::vector<std::pair<uint32_t, std::string>>& memos, size_t total = 0) {
    std::string f = dbf_be32(100) + dbf_be16(0) + dbf_be16(block_size);
    for (const auto& [block, body] : memos) {
        const size_t at = static_cast<size_t>(block) * block_size;
        if (f.size() < at) {
            f.resize(at, '\0');
        }
        f.replace(at, body.size(), body);
    }
    if (total != 0) {
        f.resize(total, '\0');
    }
    return f;
}
std::string fpt_memo(const std::string& text, uint32_t type = 1) {
    return dbf_be32(type) + dbf_be32(static_cast<uint32_t>(text.size())) + text;
}

// A dBASE IV memo file: 24 header bytes with the block length at 20 (little-endian).
std::string dbt4_file(uint32_t block_size,
                      const std::vector<std::pair<uint32_t, std::string>>& memos) {
    std::string f = dbf_le32(10) + std::string(16, '\0') + dbf_le16(block_size) + dbf_le16(0);
    for (const auto& [block, body] : memos) {
        const size_t at = static_cast<size_t>(block) * block_size;
        if (f.size() < at) {
            f.resize(at, '\0');
        }
        f.replace(at, body.size(), body);
    }
    return f;
}
std::string dbt4_memo(const std::string& text, uint32_t stored_length) {
    return std::string("\xFF\xFF\x08\x00", 4) + dbf_le32(stored_length) + text;
}

std::string read(dbf_memo_file& memo, uint32_t block) {
    std::string out = "stale";
    memo.read_memo(block, out);
    return out;
}

template <class F>
std::string message_of(F&& f) {
    try {
        f();
    } catch (const tk_exception& e) {
        return e.message;
    }
    return "<no exception>";
}

}  // namespace

class memo_file : public testing::Test {
  protected:
    dbf_test_folder folder;
    dbf_log_capture log{folder};
};

// --- opening: header checks ---

TEST_F(memo_file, headers_shorter_than_their_format_are_corrupted) {
    const auto dbt = folder.write("short.dbt", std::string(23, '\x01'));
    const auto fpt = folder.write("short.fpt", std::string(7, '\x01'));
    const auto smt = folder.write("short.smt", std::string(511, '\x01'));
    EXPECT_EQ(message_of([&] { dbt_memo_file m(dbt); }), "Memo file is corrupted");
    EXPECT_EQ(message_of([&] { fpt_memo_file m(fpt, dbf_memo_fpt); }), "Memo file is corrupted");
    EXPECT_EQ(message_of([&] { smt_memo_file m(smt); }), "Memo file is corrupted");
    // Exactly the header size is enough.
    EXPECT_NO_THROW(smt_memo_file(folder.write("ok.smt", std::string(512, '\x01'))));
}

TEST_F(memo_file, zero_block_length_is_corrupted) {
    const auto dbt = folder.write("zero.dbt", dbt4_file(0, {}));
    const auto fpt = folder.write("zero.fpt", fpt_file(0, {}, 64));
    EXPECT_THROW(dbt_memo_file m(dbt), dbf_exception);
    EXPECT_EQ(message_of([&] { dbt_memo_file m(dbt); }), "Memo file is corrupted");
    EXPECT_EQ(message_of([&] { fpt_memo_file m(fpt, dbf_memo_fpt); }), "Memo file is corrupted");
}

TEST_F(memo_file, old_dbt_with_zero_next_block_fails) {
    const auto dbt = folder.write("old.dbt", dbf_pad(dbf_le32(0), 512));
    EXPECT_EQ(message_of([&] { old_memo_file m(dbt); }), "Failed to read MEMO field");
    EXPECT_TRUE(log.has_line("Next block=0"));
}

TEST_F(memo_file, opening_logs_base_then_own_line) {
    fpt_memo_file m(folder.write("t.fpt", fpt_file(64, {}, 512)), dbf_memo_fpt);
    EXPECT_LT(log.position("dbf_memo_file::ctor"), log.position("fpt_memo_file::ctor"));
    EXPECT_TRUE(log.has_line("FPT block size=64"));
    EXPECT_EQ(m.get_block_length(), 64u);
    EXPECT_EQ(m.get_next_free_block(), 100u);
}

// --- FoxPro .fpt ---

TEST_F(memo_file, fpt_block_arithmetic_reads_length_at_p_plus_4_and_text_at_p_plus_8) {
    // Block length 64, block 8: p = 512, the length field at 516 and the text at 520.
    std::string f = fpt_file(64, {}, 600);
    f.replace(516, 4, dbf_be32(5));
    f.replace(520, 5, "hello");
    fpt_memo_file m(folder.write("a.fpt", f), dbf_memo_fpt);
    EXPECT_EQ(read(m, 8), "hello");
    EXPECT_TRUE(log.has_line("fpt_memo_file::read_memo(8)"));
    EXPECT_TRUE(log.has_line("Reading MEMO at position=516"));
    EXPECT_TRUE(log.has_line("memo_len=5"));
    EXPECT_TRUE(log.has_line("fpt_memo_file::read_memo - END"));
}

TEST_F(memo_file, fpt_empty_memo_and_nul_cut) {
    fpt_memo_file m(
        folder.write(
            "b.fpt",
            fpt_file(64, {{1, fpt_memo("")}, {2, fpt_memo(std::string("ab\0cd", 5))}}, 256)),
        dbf_memo_fpt);
    EXPECT_EQ(read(m, 1), "");
    EXPECT_TRUE(log.has_line("Got empty MEMO"));
    EXPECT_EQ(read(m, 2), "ab");
}

TEST_F(memo_file, fpt_out_of_range_and_invalid_size_give_empty_text) {
    std::string f = fpt_file(64, {{1, dbf_be32(1) + dbf_be32(1000)}}, 128);
    fpt_memo_file m(folder.write("c.fpt", f), dbf_memo_fpt);
    EXPECT_EQ(read(m, 2), "");  // p + 4 = 132 >= 128
    EXPECT_TRUE(log.has_line("Reading MEMO out of range"));
    EXPECT_EQ(read(m, 1), "");  // 64 + 8 + 1000 > 128
    EXPECT_TRUE(log.has_line("MEMO has invalid size"));
    // A text ending exactly at the end of the file is whole.
    fpt_memo_file exact(folder.write("d.fpt", fpt_file(64, {{1, fpt_memo("xyz")}})), dbf_memo_fpt);
    EXPECT_EQ(exact.get_size(), 64u + 8 + 3);
    EXPECT_EQ(read(exact, 1), "xyz");
}

TEST_F(memo_file, length_field_cut_by_the_end_of_the_file_is_a_short_read) {
    // p + 4 is inside the file but the four length bytes are not all there.
    fpt_memo_file m(folder.write("e.fpt", fpt_file(64, {}, 64 + 6)), dbf_memo_fpt);
    EXPECT_EQ(message_of([&] { read(m, 1); }), "Error reading from file");
}

TEST_F(memo_file, fpt_block_number_is_digits_for_foxpro_and_binary_for_visual_foxpro) {
    const auto path = folder.write("f.fpt", fpt_file(64, {}, 128));
    fpt_memo_file fox(path, dbf_memo_fpt);
    fpt_memo_file vfp(path, dbf_memo_fpt_vfp);
    fpt_memo_file dct(path, dbf_memo_dct);
    EXPECT_EQ(fox.get_block_number("        12", 10), 12u);
    const std::string binary = dbf_le32(0x01020304);
    EXPECT_EQ(vfp.get_block_number(binary.data(), 4), 0x01020304u);
    EXPECT_EQ(dct.get_block_number(binary.data(), 4), 0x01020304u);
    // A Visual FoxPro field narrower than a 4-byte number cannot be read.
    EXPECT_EQ(message_of([&] { vfp.get_block_number(binary.data(), 3); }),
              "Failed to read MEMO field");
}

// --- dBASE IV .dbt ---

TEST_F(memo_file, dbt4_stored_length_counts_the_block_header) {
    dbt_memo_file m(folder.write("a.dbt", dbt4_file(512, {{1, dbt4_memo("Hello", 13)},
                                                          {2, dbt4_memo("", 8)},
                                                          {3, dbt4_memo("xx", 7)},
                                                          {4, dbt4_memo("tail", 12)}})));
    EXPECT_TRUE(log.has_line("DBT block size=512"));
    EXPECT_EQ(read(m, 1), "Hello");
    EXPECT_TRUE(log.has_line("dbt_memo_file::read_memo(1)"));
    EXPECT_TRUE(log.has_line("Reading MEMO at position=516"));
    EXPECT_TRUE(log.has_line("MEMO length=5"));
    EXPECT_EQ(read(m, 2), "");  // length field 8: nothing after the block header
    EXPECT_TRUE(log.has_line("Got empty MEMO"));
    EXPECT_EQ(read(m, 3), "");  // length field below 8
    EXPECT_TRUE(log.has_line("MEMO length=-1"));
    EXPECT_TRUE(log.has_line("MEMO has invalid size"));
    EXPECT_EQ(read(m, 4), "tail");
}

TEST_F(memo_file, dbt4_huge_length_field_is_invalid_not_allocated) {
    dbt_memo_file m(folder.write("b.dbt", dbt4_file(64, {{1, dbt4_memo("x", 0xFFFFFFF0u)},
                                                         {2, dbt4_memo("y", 0x7FFFFFF0u)}})));
    EXPECT_EQ(read(m, 1), "");
    EXPECT_EQ(read(m, 2), "");
    EXPECT_EQ(log.count("MEMO has invalid size"), 2);
    EXPECT_EQ(read(m, 1000000), "");
    EXPECT_TRUE(log.has_line("Reading MEMO out of range"));
}

TEST_F(memo_file, dbt4_text_is_cut_at_nul) {
    dbt_memo_file m(
        folder.write("c.dbt", dbt4_file(64, {{1, dbt4_memo(std::string("one\0two", 7), 15)}})));
    EXPECT_EQ(read(m, 1), "one");
}

// --- dBASE III / FoxBASE .dbt ---

TEST_F(memo_file, old_dbt_memo_runs_to_the_terminator) {
    std::string f = dbf_pad(dbf_le32(3), 512);
    f += dbf_pad("First memo\x1A\x1A", 512);
    f += "Second\x1Ayyy";
    old_memo_file m(folder.write("a.dbt", f));
    EXPECT_EQ(read(m, 1), "First memo");
    EXPECT_EQ(read(m, 2), "Second");
    EXPECT_TRUE(log.has_line("old_memo_file::read_memo(2)"));
    EXPECT_TRUE(log.has_line("Reading MEMO at position=1024"));
}

TEST_F(memo_file, old_dbt_memo_without_terminator_runs_to_the_end_of_the_file) {
    // Longer than any read piece, so the text is put together from several reads.
    std::string body;
    for (int i = 0; i < 300; ++i) {
        body += "line " + std::to_string(i) + ";";
    }
    old_memo_file m(folder.write("b.dbt", dbf_pad(dbf_le32(2), 512) + body));
    EXPECT_EQ(read(m, 1), body);
}

TEST_F(memo_file, old_dbt_block_beyond_the_end_fails) {
    old_memo_file m(folder.write("c.dbt", dbf_pad(dbf_le32(2), 512) + "abc"));
    EXPECT_EQ(message_of([&] { read(m, 2); }), "Failed to read MEMO field");
    EXPECT_TRUE(log.has_line("Reading MEMO out of range"));
    EXPECT_THROW(read(m, 2), dbf_exception);
}

TEST_F(memo_file, old_dbt_is_never_written) {
    old_memo_file m(folder.write("d.dbt", dbf_pad(dbf_le32(2), 512)));
    EXPECT_THROW(m.write_memo(1, "x"), tk_mail_assertion);
    EXPECT_TRUE(log.has_line("old_memo_file::write_memo(1,x)"));
    dbt_memo_file d(folder.write("e.dbt", dbt4_file(64, {})));
    EXPECT_NO_THROW(d.write_memo(2, "y"));
    EXPECT_TRUE(log.has_line("dbf_memo_file::write_memo(2,y)"));
}

// --- ASCII block references ---

TEST_F(memo_file, ascii_block_reference_reads_like_a_decimal_scan) {
    old_memo_file m(folder.write("f.dbt", dbf_pad(dbf_le32(2), 512)));
    EXPECT_EQ(m.get_block_number("        12", 10), 12u);
    EXPECT_EQ(m.get_block_number("0000000007", 10), 7u);
    EXPECT_EQ(m.get_block_number("  +5xx    ", 10), 5u);
    EXPECT_EQ(m.get_block_number("0000000001999", 10), 1u);  // only the first 10 bytes count
    EXPECT_EQ(m.get_block_number("\t\n 3", 4), 3u);
    EXPECT_EQ(m.get_block_number("        -1", 10), 0xFFFFFFFFu);
    EXPECT_FALSE(log.has_line("Invalid MEMO block!"));
    EXPECT_EQ(m.get_block_number("          ", 10), 0u);
    EXPECT_TRUE(log.has_line("Invalid MEMO block!"));
    EXPECT_EQ(m.get_block_number("abc       ", 10), 0u);
    EXPECT_EQ(m.get_block_number("         -", 10), 0u);
    // Digits beyond the field's own width do not belong to it.
    EXPECT_EQ(m.get_block_number("    77", 4), 0u);
    EXPECT_EQ(log.count("Invalid MEMO block!"), 4);
    EXPECT_THROW(m.get_block_number(nullptr, 10), tk_mail_assertion);
}

// --- .smt ---

TEST_F(memo_file, smt_memo_is_nul_ended_at_block_times_block_length) {
    std::string f = dbf_pad(dbf_le32(0) + dbf_le32(32), 512);
    f += dbf_pad("memo at 16", 32);  // block 16 = 512
    f += "last one, no NUL";
    smt_memo_file m(folder.write("a.smt", f));
    EXPECT_EQ(m.get_block_length(), 32u);
    EXPECT_EQ(read(m, 16), "memo at 16");
    EXPECT_EQ(read(m, 17), "last one, no NUL");
    EXPECT_TRUE(log.has_line("smt_memo_file::read_memo(17)"));
    EXPECT_TRUE(log.has_line("Reading MEMO at position=544"));
    EXPECT_EQ(message_of([&] { read(m, 100); }), "Failed to read MEMO field");
    EXPECT_TRUE(log.has_line("Reading MEMO out of range"));
}

TEST_F(memo_file, smt_block_reference_is_binary_at_byte_6_and_blank_means_none) {
    smt_memo_file m(folder.write("b.smt", std::string(512, '\0')));
    const std::string field = std::string("      ", 6) + dbf_le32(0x00000102);
    EXPECT_EQ(m.get_block_number(field.data(), 10), 0x102u);
    EXPECT_EQ(m.get_block_number("          ", 10), 0u);
    EXPECT_TRUE(log.has_line("No MEMO block!"));
    EXPECT_EQ(message_of([&] { m.get_block_number(field.data(), 9); }),
              "Failed to read MEMO field");
}

TEST_F(memo_file, reader_chosen_by_memo_kind) {
    const auto fpt = folder.write("k.fpt", fpt_file(64, {}, 128));
    const auto dbt4 = folder.write("k4.dbt", dbt4_file(64, {}));
    const auto dbt3 = folder.write("k3.dbt", dbf_pad(dbf_le32(2), 512));
    const auto smt = folder.write("k.smt", std::string(512, '\0'));
    EXPECT_NE(dynamic_cast<fpt_memo_file*>(dbf_open_memo_file(dbf_memo_fpt, fpt).get()), nullptr);
    EXPECT_NE(dynamic_cast<fpt_memo_file*>(dbf_open_memo_file(dbf_memo_fpt_vfp, fpt).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<fpt_memo_file*>(dbf_open_memo_file(dbf_memo_dct, fpt).get()), nullptr);
    EXPECT_NE(dynamic_cast<dbt_memo_file*>(dbf_open_memo_file(dbf_memo_dbt_iv, dbt4).get()),
              nullptr);
    EXPECT_NE(dynamic_cast<smt_memo_file*>(dbf_open_memo_file(dbf_memo_smt, smt).get()), nullptr);
    EXPECT_NE(dynamic_cast<old_memo_file*>(dbf_open_memo_file(dbf_memo_dbt_old, dbt3).get()),
              nullptr);
    // Any other non-zero kind reads the old format.
    EXPECT_NE(dynamic_cast<old_memo_file*>(dbf_open_memo_file(7, dbt3).get()), nullptr);
}
