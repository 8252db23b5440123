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

// ---- tk_memory_file and tk_huge_file ----

TEST_F(tk_file_test, reads_little_endian_values_and_refuses_ranges_past_the_end) {
    const std::string path = folder_.file("data.bin");
    tk_test_folder::write(path, std::string("\x01\x02\x03\x04\x05\xff", 6));
    tk_memory_file file(path, tk_file::mode_read);
    EXPECT_EQ(file.get_byte(5), 0xff);
    EXPECT_EQ(file.get_word(0), 0x0201);
    EXPECT_EQ(file.get_dword(1), 0x05040302u);
    char copy[3] = {};
    EXPECT_EQ(file.get_at(2, copy, 3), copy);
    EXPECT_EQ(std::string(copy, 3), "\x03\x04\x05");
    EXPECT_EQ(error_text([&] { file.get_dword(3); }), "Error reading from file");
    // An offset near 4 GiB must not wrap around to a small sum.
    EXPECT_EQ(error_text([&] { file.get_at(0xFFFFFFF0u, 0x20u); }), "Error reading from file");
    EXPECT_THROW(file.flush(), tk_mail_assertion);  // read-only

    tk_huge_file huge(path);
    EXPECT_EQ(huge.get_size(), 6u);
    EXPECT_EQ(huge.get_dword(2), 0xff050403u);
    EXPECT_EQ(error_text([&] { huge.get_dword(3); }), "Error reading from file");
    EXPECT_EQ(error_text([&] { huge.get_byte(UINT64_MAX); }), "Error reading from file");
}

TEST_F(tk_file_test, writes_grow_with_zeros_shrink_forgets_and_create_truncates) {
    const std::string path = folder_.file("grow.bin");
    tk_test_folder::write(path, "0123456789");
    {
        tk_memory_file file(path, tk_file::mode_write);
        file.put_at(20, "ABCD", 4);
        file.put_at(2, "zz", 2);
    }  // the destructor writes a writable file back
    EXPECT_EQ(tk_test_folder::read(path),
              std::string("01zz456789") + std::string(10, '\0') + "ABCD");
    {
        tk_memory_file file(path, tk_file::mode_write);
        file.set_size(2);
        EXPECT_EQ(error_text([&] { file.get_byte(2); }), "Error reading from file");
        file.set_size(6);
        file.flush();
    }
    EXPECT_EQ(tk_test_folder::read(path), std::string("01\0\0\0\0", 6));
    { tk_memory_file file(path, tk_file::mode_create); }
    EXPECT_EQ(tk_test_folder::read(path), "");
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
    // A file whose folder vanished before the flush.
    std::filesystem::create_directories(folder_.path() / "sub");
    const std::string path = folder_.file("sub/f.bin");
    tk_test_folder::write(path, "x");
    tk_memory_file file(path, tk_file::mode_write);
    std::filesystem::remove_all(folder_.path() / "sub");
    EXPECT_EQ(error_text([&] { file.flush(); }), "Error opening file");
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
