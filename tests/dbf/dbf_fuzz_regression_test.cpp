// The DBF fuzzer's harness, run in the normal test program over the tables its starting corpus
// is made of: every layout with a field of every letter, memo block sizes, and one damaged
// variant per kind of damage. Each must open and read to the end or stop with one of the
// reader's documented messages, the one its damage calls for. The trace is on, so that the log
// lines of every damaged path are written too.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "dbf/dbf_exception.hpp"
#include "fuzz/dbf_fuzz_cases.hpp"
#include "fuzz/dbf_fuzz_reader.hpp"
#include "support/log_capture.hpp"

namespace {

namespace fs = std::filesystem;

bool documented(const std::string& message) {
    static const std::set<std::string> messages = {dbf_msg_bad_format, dbf_msg_memo_corrupted,
                                                   dbf_msg_memo_read_failed,
                                                   "Error reading from file"};
    return message.empty() || messages.count(message) != 0;
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// What each family of writer tables must come to. Versions are the last two hex digits.
void check_outcome(const std::string& name, const dbf_fuzz_outcome& o) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(documented(o.open_error)) << o.open_error;
    const std::string version = name.substr(name.size() - 2);
    const bool old_dbt = version == "83";
    const bool smt = version == "e5";

    if (starts_with(name, "types_") || name == "vfp_dct" || name == "vfp_no_memo_flag" ||
        starts_with(name, "dbt4_block") || starts_with(name, "fpt_block") || name == "wide_char" ||
        name == "forty_fields") {
        EXPECT_TRUE(o.b_opened) << o.open_error;
        EXPECT_EQ(o.failed_records, 0u);
        EXPECT_GE(o.records, 1u);
    } else if (starts_with(name, "truncated_header") || starts_with(name, "record_length_1") ||
               starts_with(name, "record_count_negative")) {
        EXPECT_FALSE(o.b_opened);
        EXPECT_EQ(o.open_error, dbf_msg_bad_format);
    } else if (starts_with(name, "truncated_records") || starts_with(name, "record_count_large")) {
        // Shorter than announced: the complete records are read, nothing past the end.
        EXPECT_TRUE(o.b_opened) << o.open_error;
        EXPECT_EQ(o.failed_records, 0u);
    } else if (starts_with(name, "no_memo_file")) {
        // Reported through the error handler; every record still reads, memos empty.
        EXPECT_TRUE(o.b_opened) << o.open_error;
        EXPECT_EQ(o.records, 2u);
        EXPECT_EQ(o.failed_records, 0u);
    } else if (starts_with(name, "memo_header_only")) {
        if (old_dbt) {
            EXPECT_TRUE(o.b_opened) << o.open_error;
        } else {
            EXPECT_EQ(o.open_error, dbf_msg_memo_corrupted);
        }
    } else if (starts_with(name, "memo_block_size_0")) {
        if (old_dbt || smt) {
            EXPECT_TRUE(o.b_opened) << o.open_error;  // these formats do not read the field
        } else {
            EXPECT_EQ(o.open_error, dbf_msg_memo_corrupted);
        }
    } else if (starts_with(name, "memo_next_free_0")) {
        if (old_dbt) {
            EXPECT_EQ(o.open_error, dbf_msg_memo_read_failed);
        } else {
            EXPECT_TRUE(o.b_opened) << o.open_error;
        }
    } else if (starts_with(name, "memo_ref_beyond")) {
        // Four records: a good memo, two references past the end, bytes that are no number.
        EXPECT_TRUE(o.b_opened) << o.open_error;
        EXPECT_EQ(o.records + o.failed_records, 4u);
        if (!old_dbt && !smt) {
            EXPECT_EQ(o.failed_records, 0u);  // an empty memo, not a failure
        }
    }
}

TEST(dbf_fuzz_regression, corpus_tables_open_or_end_in_a_documented_message) {
    log_capture trace;
    const auto cases = dbf_fuzz_writer_cases();
    ASSERT_GT(cases.size(), 100u);
    for (const auto& [name, c] : cases) {
        check_outcome(name, dbf_fuzz_read(dbf_fuzz_folder(), c));
    }
}

}  // namespace
