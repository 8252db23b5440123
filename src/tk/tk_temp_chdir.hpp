#pragma once
// A scoped change of the current folder, and the folder tests and listing built on it.

#include <string>
#include <vector>

class tk_temp_chdir {
  public:
    explicit tk_temp_chdir(const std::string& folder);
    ~tk_temp_chdir();  // returns to old_dir when the change succeeded
    tk_temp_chdir(const tk_temp_chdir&) = delete;
    tk_temp_chdir& operator=(const tk_temp_chdir&) = delete;

    bool b_ok = false;
    std::string old_dir;
};

class tk_temp_chdir_w {
  public:
    explicit tk_temp_chdir_w(const std::u16string& folder);
    ~tk_temp_chdir_w();
    tk_temp_chdir_w(const tk_temp_chdir_w&) = delete;
    tk_temp_chdir_w& operator=(const tk_temp_chdir_w&) = delete;

    bool b_ok = false;
    std::u16string old_dir;
};

// Lists the entries of the pattern's folder whose names match its last part ('*' and '?',
// without regard to case; "*.*" matches every name). Names come without folder, sorted without
// regard to case; "." and ".." are left out; folders are listed like files. False when
// nothing matches or the listing fails.
bool find_files(const std::u16string& pattern, std::vector<std::u16string>& names);

// True when the folder can be made the current folder.
bool tk_is_path_exist(const std::string& folder);
bool tk_is_path_exist(const std::u16string& folder);
