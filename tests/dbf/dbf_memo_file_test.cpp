// The four memo readers on hand-made memo files: header checks, block arithmetic, length-prefixed
// and terminator-ended memos, block references, and every kind of damage.

#include <gtest/gtest.h>

#include "dbf/dbf_header.hpp"
#include "dbf/dbf_memo_file.hpp"
#include "dbf_test_support.hpp"

namespace {

// A memo file of `header` padded with zero bytes, with `memos` placed at block x block_size.
std::string memo_file_of(std::string header, uint32_t block_size,
                         const std::vector<std::pair<uint32_t, std::string>>& memos,
                         size_t total = 0) {
    for (const auto& [block, body] : memos) {
        const size_t at = static_cast<size_t>(block) * block_size;
        header.resize(std::max(header.size(), at + body.size()), '\0');
        header.replace(at, body.size(), body);
    }
    if (total != 0) {
        header.resize(total, '\0');
    }
    return header;
}
std::string fpt_header(uint32_t block_size) {
    return dbf_be32(100) + dbf_be16(0) + dbf_be16(block_size);
}
std::string fpt_memo(const std::string& text) {
    return dbf_be32(1) + dbf_be32(static_cast<uint32_t>(text.size())) + text;
}
std::string dbt4_header(uint32_t block_size) {
    return dbf_le32(10) + std::string(16, '\0') + dbf_le16(block_size) + dbf_le16(0);
}
// The stored length counts the 8 bytes of the block header.
std::string dbt4_memo(const std::string& text, uint32_t stored_length) {
    return std::string("\xFF\xFF\x08\x00", 4) + dbf_le32(stored_length) + text;
}

std::string read(dbf_memo_file& memo, uint32_t block) {
    std::string out = "stale";
    memo.read_memo(block, out);
    return out;
}

const std::string read_failed = "Failed to read MEMO field";

}  // namespace

class memo_file : public testing::Test {
  protected:
    dbf_test_folder folder;
};

TEST_F(memo_file, damaged_headers) {
    const std::string corrupted = "Memo file is corrupted";
    // Too short for the header. (A block length of 0 and an old file whose next free block is 0
    // are in the fuzz corpus test.)
    EXPECT_EQ(dbf_message_of([&] { dbt_memo_file(folder.write("a.dbt", std::string(23, '\1'))); }),
              corrupted);
    EXPECT_EQ(
        dbf_message_of([&] { fpt_memo_file(folder.write("a.fpt", std::string(7, '\1')), 4); }),
        corrupted);
    EXPECT_EQ(dbf_message_of([&] { smt_memo_file(folder.write("a.smt", std::string(511, '\1'))); }),
              corrupted);
    EXPECT_NO_THROW(smt_memo_file(folder.write("b.smt", std::string(512, '\1'))));
}

TEST_F(memo_file, fpt_reads_a_big_endian_length_at_p_plus_4_and_the_text_at_p_plus_8) {
    fpt_memo_file m(folder.write("a.fpt", memo_file_of(fpt_header(64), 64,
                                                       {{8, fpt_memo("hello")},
                                                        {9, fpt_memo("")},
                                                        {10, fpt_memo(std::string("ab\0cd", 5))},
                                                        {11, dbf_be32(1) + dbf_be32(1000)}})),
                    dbf_memo_fpt);
    EXPECT_EQ(read(m, 8), "hello");
    EXPECT_EQ(read(m, 9), "");
    EXPECT_EQ(read(m, 10), "ab");  // cut at the NUL
    // 704 + 8 + 1000 and p + 4 are past the end: a value that cannot be read is no empty value.
    EXPECT_EQ(dbf_message_of([&] { read(m, 11); }), read_failed);
    EXPECT_EQ(dbf_message_of([&] { read(m, 12); }), read_failed);
    // A length field cut by the end of the file is a short read.
    fpt_memo_file cut(folder.write("e.fpt", memo_file_of(fpt_header(64), 64, {}, 70)), 4);
    EXPECT_EQ(dbf_message_of([&] { read(cut, 1); }), "Error reading from file");
}

TEST_F(memo_file, dbt4_length_counts_the_block_header) {
    dbt_memo_file m(
        folder.write("a.dbt", memo_file_of(dbt4_header(512), 512,
                                           {{1, dbt4_memo("Hello", 13)},
                                            {2, dbt4_memo("", 8)},
                                            {3, dbt4_memo("xx", 7)},
                                            {4, dbt4_memo("x", 0xFFFFFFF0u)},
                                            {5, dbt4_memo(std::string("a\0b", 3), 11)}})));
    EXPECT_EQ(read(m, 1), "Hello");
    EXPECT_EQ(read(m, 2), "");  // nothing after the block header
    EXPECT_EQ(read(m, 3), "");  // length field below 8
    EXPECT_EQ(read(m, 4), "");  // negative as a 32-bit number: not allocated
    EXPECT_EQ(read(m, 5), "a");
    EXPECT_EQ(dbf_message_of([&] { read(m, 100000); }), read_failed);
    // The block length comes from the header.
    dbt_memo_file small(
        folder.write("b.dbt", memo_file_of(dbt4_header(64), 64, {{3, dbt4_memo("at 192", 14)}})));
    EXPECT_EQ(read(small, 3), "at 192");
}

TEST_F(memo_file, old_dbt_memo_runs_to_the_terminator_or_the_end_of_the_file) {
    std::string tail;
    for (int i = 0; i < 300; ++i) {  // longer than one read piece
        tail += "line " + std::to_string(i) + ";";
    }
    old_memo_file m(folder.write(
        "a.dbt", memo_file_of(dbf_le32(3), 512, {{1, "First memo\x1A\x1A"}, {2, tail}})));
    EXPECT_EQ(read(m, 1), "First memo");
    EXPECT_EQ(read(m, 2), tail);
    EXPECT_EQ(dbf_message_of([&] { read(m, 40); }), read_failed);
    EXPECT_THROW(m.write_memo(1, "x"), tk_mail_assertion);
}

TEST_F(memo_file, smt_memo_is_nul_ended_and_referenced_in_binary_at_byte_6) {
    smt_memo_file m(folder.write("a.smt", memo_file_of(dbf_le32(0) + dbf_le32(32), 32,
                                                       {{16, std::string("memo at 16\0xx", 13)},
                                                        {17, "last one, no NUL"}})));
    EXPECT_EQ(read(m, 16), "memo at 16");
    EXPECT_EQ(read(m, 17), "last one, no NUL");
    EXPECT_EQ(dbf_message_of([&] { read(m, 100); }), read_failed);
    const std::string field = "      " + dbf_le32(0x102);
    EXPECT_EQ(m.get_block_number(field.data(), 10), 0x102u);
    EXPECT_EQ(m.get_block_number("          ", 10), 0u);
    EXPECT_EQ(dbf_message_of([&] { m.get_block_number(field.data(), 9); }), read_failed);
}

TEST_F(memo_file, block_references_in_digits_and_in_binary) {
    const auto path = folder.write("f.fpt", memo_file_of(fpt_header(64), 64, {}, 128));
    fpt_memo_file fox(path, dbf_memo_fpt);
    const std::pair<const char*, uint32_t> digits[] = {
        {"        12", 12},          {"  +5xx    ", 5},
        {"0000000001999", 1},  // only 10 bytes count
        {"        -1", 0xFFFFFFFFu}, {"          ", 0},
        {"abc       ", 0},
    };
    for (const auto& [text, block] : digits) {
        EXPECT_EQ(fox.get_block_number(text, 10), block) << text;
    }
    EXPECT_EQ(fox.get_block_number("    77", 4), 0u);  // digits past the field are not its own
    EXPECT_THROW(fox.get_block_number(nullptr, 10), tk_mail_assertion);
    const std::string binary = dbf_le32(0x01020304);
    for (int kind : {dbf_memo_fpt_vfp, dbf_memo_dct}) {
        fpt_memo_file vfp(path, kind);
        EXPECT_EQ(vfp.get_block_number(binary.data(), 4), 0x01020304u);
        EXPECT_EQ(dbf_message_of([&] { vfp.get_block_number(binary.data(), 3); }), read_failed);
    }
    // Any memo kind without a reader of its own reads the old format.
    EXPECT_NE(dynamic_cast<old_memo_file*>(
                  dbf_open_memo_file(7, folder.write("k.dbt", dbf_pad(dbf_le32(2), 512))).get()),
              nullptr);
}
