// A table larger than 4 GiB, made as a sparse file: records past the 32-bit offsets are read at
// their 64-bit positions.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbf/dbf_recordset.hpp"
#include "dbf_test_support.hpp"
#include "tk/tk_wstring.hpp"

TEST(large_file, records_beyond_4_gib_are_read_at_their_64_bit_offset) {
    dbf_test_folder folder;
    // One character field of wide length 65534 (length 254, decimals 255): records of 65535
    // bytes, and enough of them to pass 4 GiB.
    const uint32_t count = 65540;
    const uint32_t record_length = 65535;
    const std::string path =
        folder.write("big.dbf", dbf_header_bytes(count, 65, record_length) +
                                    dbf_descriptor_bytes("BIG", 'C', 254, 255) + "\x0D");
    const uint64_t last = 65 + static_cast<uint64_t>(count - 1) * record_length;
    ASSERT_GT(last, 0x100000000ull);
    const int fd_out = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd_out, 0);
    const std::string tail = " LAST RECORD";
    const bool written = ::pwrite(fd_out, tail.data(), tail.size(), static_cast<off_t>(last)) ==
                             static_cast<ssize_t>(tail.size()) &&
                         ::ftruncate(fd_out, static_cast<off_t>(last + record_length)) == 0;
    ::close(fd_out);
    struct stat st {};
    if (!written || ::stat(path.c_str(), &st) != 0 ||
        static_cast<uint64_t>(st.st_blocks) * 512 > 64ull * 1024 * 1024) {
        GTEST_SKIP() << "no sparse files here";
    }

    dbf_recordset rs(tk_from_utf8(path), 1, 0);
    EXPECT_EQ(rs.records_cnt, count);
    for (uint32_t i = 0; i + 1 < count; ++i) {
        rs.next();
    }
    udb_record* r = rs.get_item();
    EXPECT_EQ((*r)[0]->wstring(), u"LAST RECORD");
    rs.prev();
    EXPECT_EQ((*rs.get_item())[0]->wstring(), u"");  // a hole: zero bytes
    rs.next();
    rs.next();
    EXPECT_TRUE(rs.is_eof());
}
