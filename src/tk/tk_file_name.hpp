#pragma once
// A path split into its parts. On Linux `drive` is always empty; `dir` starts and ends with '/';
// `ext` keeps its dot ("name.tar.gz" gives name "name.tar", ext ".gz"). The path is made
// absolute against the current folder and normalised ("." and ".." resolved by text, links
// not followed). An empty path gives the program's own drive, folder and extension and an
// empty name.

#include <string>

class tk_file_name {
  public:
    explicit tk_file_name(const char* path);  // null is an internal assertion
    explicit tk_file_name(const std::string& path);

    // drive + dir + name + ext.
    std::string compose() const { return drive + dir + name + ext; }

    std::string ext;
    std::string drive;
    std::string name;
    std::string dir;
};

class tk_file_wname {
  public:
    explicit tk_file_wname(const std::u16string& path);

    std::u16string compose() const { return drive + dir + name + ext; }

    std::u16string ext;
    std::u16string drive;
    std::u16string name;
    std::u16string dir;
};
