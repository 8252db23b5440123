#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "tk/tk_exception.hpp"
#include "tk/tk_file_name.hpp"
#include "tk/tk_huge_file.hpp"
#include "tk/tk_memory_file.hpp"
#include "tk/tk_temp_chdir.hpp"
#include "tk/tk_test_folder.hpp"
#include "tk/tk_utils.hpp"
#include "tk/tk_wstring.hpp"

namespace {

std::string error_text(const std::function<void()>& action) {
    try {
        action();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 1) << e.message;
        return e.message;
    }
    return "no exception";
}

class tk_file_test : public testing::Test {
  protected:
    tk_test_folder folder_;
};

// ---- tk_memory_file ----

TEST_F(tk_file_test, memory_file_reads_little_endian_values) {
    const std::string path = folder_.file("data.bin");
    tk_test_folder::write(path, std::string("\x01\x02\x03\x04\x05\xff", 6));
    tk_memory_file file(path, tk_file::mode_read);
    EXPECT_EQ(file.get_size(), 6u);
    EXPECT_EQ(file.get_byte(5), 0xff);
    EXPECT_EQ(file.get_word(0), 0x0201);
    EXPECT_EQ(file.get_dword(1), 0x05040302u);
    char copy[3] = {};
    EXPECT_EQ(file.get_at(2, copy, 3), copy);
    EXPECT_EQ(std::string(copy, 3), "\x03\x04\x05");
}

TEST_F(tk_file_test, reading_past_the_end_fails_with_the_range_line) {
    const std::string path = folder_.file("ten.bin");
    tk_test_folder::write(path, std::string(10, 'x'));
    tk_memory_file file(path, tk_file::mode_read);
    EXPECT_EQ(error_text([&] { file.get_dword(file.get_size() - 3); }), "Error reading from file");
    EXPECT_EQ(file.get_dword(6), 0x78787878u);
    // An offset near 4 GiB must not wrap around to a small sum.
    EXPECT_EQ(error_text([&] { file.get_at(0xFFFFFFF0u, 0x20u); }), "Error reading from file");
}

TEST_F(tk_file_test, put_at_beyond_the_end_grows_with_zero_bytes_and_flushes) {
    const std::string path = folder_.file("grow.bin");
    tk_test_folder::write(path, "0123456789");
    {
        tk_memory_file file(path, tk_file::mode_write);
        file.put_at(20, "ABCD", 4);
        EXPECT_EQ(file.get_size(), 24u);
        for (uint32_t i = 10; i < 20; ++i) {
            EXPECT_EQ(file.get_byte(i), 0) << i;
        }
        file.put_at(2, "zz", 2);
    }  // the destructor writes a writable file back
    EXPECT_EQ(tk_test_folder::read(path),
              std::string("01zz456789") + std::string(10, '\0') + "ABCD");
}

TEST_F(tk_file_test, shrink_then_grow_gives_zeros_not_the_old_bytes) {
    const std::string path = folder_.file("shrink.bin");
    tk_test_folder::write(path, "abcdefgh");
    tk_memory_file file(path, tk_file::mode_write);
    file.set_size(2);
    EXPECT_EQ(file.get_size(), 2u);
    EXPECT_EQ(error_text([&] { file.get_byte(2); }), "Error reading from file");
    file.set_size(6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.get_at(0, 6)), 6),
              std::string("ab\0\0\0\0", 6));
    file.flush();
    EXPECT_EQ(tk_test_folder::read(path), std::string("ab\0\0\0\0", 6));
}

TEST_F(tk_file_test, create_mode_truncates_and_read_only_file_cannot_flush) {
    const std::string path = folder_.file("new.bin");
    tk_test_folder::write(path, "old content");
    {
        tk_memory_file file(path, tk_file::mode_create);
        EXPECT_EQ(file.get_size(), 0u);
        file.put_at(0, "new", 3);
    }
    EXPECT_EQ(tk_test_folder::read(path), "new");
    tk_memory_file reader(path, tk_file::mode_read);
    EXPECT_THROW(reader.flush(), tk_mail_assertion);
    // Creating a file that does not exist yet works too.
    const std::string fresh = folder_.file("fresh.bin");
    { tk_memory_file file(fresh, tk_file::mode_create); }
    EXPECT_TRUE(std::filesystem::exists(fresh));
}

TEST_F(tk_file_test, missing_or_unusable_files_give_their_texts) {
    EXPECT_EQ(error_text([&] { tk_memory_file(folder_.file("none.bin"), tk_file::mode_read); }),
              "Bad path or busy with another process");
    // Writable mode skips the existence test; opening for update then fails.
    EXPECT_EQ(error_text([&] { tk_memory_file(folder_.file("none.bin"), tk_file::mode_write); }),
              "Error opening file");
    EXPECT_EQ(error_text([&] { tk_memory_file(folder_.path().string(), tk_file::mode_read); }),
              "Bad path or busy with another process");
    EXPECT_THROW(tk_memory_file("", tk_file::mode_read), tk_mail_assertion);
    EXPECT_EQ(error_text([&] { tk_huge_file(folder_.file("none.bin")); }), "Error opening file");
    EXPECT_EQ(error_text([&] { tk_huge_file(folder_.path().string()); }), "Error opening file");
}

TEST_F(tk_file_test, flush_into_a_vanished_folder_fails_with_error_opening_file) {
    const std::filesystem::path sub = folder_.path() / "sub";
    std::filesystem::create_directories(sub);
    const std::string path = (sub / "f.bin").string();
    tk_test_folder::write(path, "x");
    tk_memory_file file(path, tk_file::mode_write);
    std::filesystem::remove_all(sub);
    EXPECT_EQ(error_text([&] { file.flush(); }), "Error opening file");
}

// ---- tk_huge_file ----

TEST_F(tk_file_test, huge_file_reads_beyond_4_gib) {
    const std::string path = folder_.file("sparse.bin");
    const int fd = open(path.c_str(), O_CREAT | O_RDWR | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const off_t size = (off_t{5} << 30) + 7;  // 5 GiB + 7
    if (ftruncate(fd, size) != 0) {
        close(fd);
        GTEST_SKIP() << "file system refuses a sparse file of 5 GiB";
    }
    const unsigned char tail[] = {0x11, 0x22, 0x33, 0x44, 0x55};
    ASSERT_EQ(pwrite(fd, tail, sizeof tail, size - 5), 5);
    close(fd);

    tk_huge_file file(path);
    EXPECT_EQ(file.get_size(), static_cast<uint64_t>(size));
    EXPECT_EQ(file.get_dword(static_cast<uint64_t>(size) - 5), 0x44332211u);
    EXPECT_EQ(file.get_byte(static_cast<uint64_t>(size) - 1), 0x55);
    EXPECT_EQ(file.get_byte(uint64_t{1} << 32), 0);  // inside the hole
    EXPECT_EQ(error_text([&] { file.get_dword(static_cast<uint64_t>(size) - 2); }),
              "Error reading from file");
    EXPECT_EQ(error_text([&] { file.get_byte(UINT64_MAX); }), "Error reading from file");
}

// ---- existence tests ----

TEST_F(tk_file_test, file_and_path_existence) {
    const std::string path = folder_.file("exists.txt");
    tk_test_folder::write(path, "1");
    EXPECT_TRUE(tk_is_file_exist(tk_a2w(path), 1));
    EXPECT_FALSE(tk_is_file_exist(folder_.file("none"), 0));
    EXPECT_FALSE(tk_is_file_exist(folder_.path().string(), 0));
    if (geteuid() != 0) {
        chmod(path.c_str(), 0400);
        EXPECT_TRUE(tk_is_file_exist(path, 0));
        EXPECT_FALSE(tk_is_file_exist(path, 1));
    }
    const std::string before = std::filesystem::current_path().string();
    EXPECT_TRUE(tk_is_path_exist(tk_a2w(folder_.path().string())));
    EXPECT_FALSE(tk_is_path_exist(folder_.file("none")));
    EXPECT_FALSE(tk_is_path_exist(path));  // a file is not a folder
    EXPECT_EQ(std::filesystem::current_path().string(), before);
}

TEST_F(tk_file_test, temp_chdir_returns_to_the_old_folder) {
    const std::string before = std::filesystem::current_path().string();
    {
        tk_temp_chdir change(folder_.path().string());
        EXPECT_TRUE(change.b_ok);
        EXPECT_EQ(change.old_dir, before);
        EXPECT_EQ(std::filesystem::current_path(), folder_.path());
    }
    EXPECT_EQ(std::filesystem::current_path().string(), before);
    {
        tk_temp_chdir_w change(tk_a2w(folder_.file("missing")));
        EXPECT_FALSE(change.b_ok);
    }
    EXPECT_EQ(std::filesystem::current_path().string(), before);
}

// ---- tk_file_name ----

TEST_F(tk_file_test, file_name_splits_into_folder_name_and_extension) {
    const tk_file_name parts("/data/in/Orders.archive.DBF");
    EXPECT_EQ(parts.drive, "");
    EXPECT_EQ(parts.dir, "/data/in/");
    EXPECT_EQ(parts.name, "Orders.archive");
    EXPECT_EQ(parts.ext, ".DBF");
    EXPECT_EQ(parts.compose(), "/data/in/Orders.archive.DBF");

    const tk_file_name no_ext("/a//b/./c/../readme");
    EXPECT_EQ(no_ext.dir, "/a/b/");
    EXPECT_EQ(no_ext.name, "readme");
    EXPECT_EQ(no_ext.ext, "");

    const tk_file_name parent("/a/b/..");
    EXPECT_EQ(parent.dir, "/");
    EXPECT_EQ(parent.name, "a");
    EXPECT_EQ(parent.compose(), "/a");

    const tk_file_name root("/");
    EXPECT_EQ(root.dir, "/");
    EXPECT_THROW(tk_file_name(static_cast<const char*>(nullptr)), tk_mail_assertion);
}

TEST_F(tk_file_test, relative_file_name_is_taken_against_the_current_folder) {
    const tk_temp_chdir change(folder_.path().string());
    ASSERT_TRUE(change.b_ok);
    const tk_file_name parts("x/y.txt");
    EXPECT_EQ(parts.dir, folder_.path().string() + "/x/");
    EXPECT_EQ(parts.name, "y");
    const tk_file_wname wide(u"t\u00e4ble.dbf");
    EXPECT_EQ(wide.dir, tk_a2w(folder_.path().string() + "/"));
    EXPECT_EQ(wide.name, u"t\u00e4ble");
    EXPECT_EQ(wide.ext, u".dbf");
    EXPECT_EQ(wide.compose(), tk_a2w(folder_.file("t\xc3\xa4"
                                                  "ble.dbf")));
}

TEST_F(tk_file_test, empty_file_name_gives_the_program_folder_and_no_name) {
    const tk_file_name parts("");
    EXPECT_EQ(parts.name + parts.ext, "");
    EXPECT_EQ(parts.drive + parts.dir + "brixel_tk_tests", tk_program_path());
}

// ---- find_files ----

class tk_find_files_test : public tk_file_test {
  protected:
    std::u16string pattern(const char* mask) const {
        return tk_a2w(folder_.path().string() + "/" + mask);
    }
};

TEST_F(tk_find_files_test, lists_matching_names_without_regard_to_case) {
    for (const char* name : {"Orders.DBF", "items.dbf", "notes.txt", "b.dbf.bak"}) {
        tk_test_folder::write(folder_.file(name), "");
    }
    std::filesystem::create_directories(folder_.path() / "archive.dbf");
    std::vector<std::u16string> names = {u"stale"};
    EXPECT_TRUE(find_files(pattern("*.dbf"), names));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"archive.dbf", u"items.dbf", u"Orders.DBF"}));
    EXPECT_TRUE(find_files(pattern("?otes.*"), names));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"notes.txt"}));
    EXPECT_TRUE(find_files(pattern("*.*"), names));
    EXPECT_EQ(names.size(), 5u);  // "." and ".." are left out
}

TEST_F(tk_find_files_test, nothing_matching_and_missing_folder_answer_false) {
    tk_test_folder::write(folder_.file("a.txt"), "");
    std::vector<std::u16string> names = {u"stale"};
    EXPECT_FALSE(find_files(pattern("*.dbf"), names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(find_files(tk_a2w(folder_.file("none/*.dbf")), names));
    // Only "." and ".." matching: found, but nothing listed.
    names = {u"stale"};
    EXPECT_TRUE(find_files(pattern(".*"), names));
    EXPECT_TRUE(names.empty());
}

TEST_F(tk_find_files_test, pattern_without_folder_searches_the_current_folder) {
    tk_test_folder::write(folder_.file("t1.dbf"), "");
    const tk_temp_chdir change(folder_.path().string());
    std::vector<std::u16string> names;
    EXPECT_TRUE(find_files(u"*.DBF", names));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"t1.dbf"}));
}

}  // namespace
