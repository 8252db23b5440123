#include "tk/tk_file_name.hpp"

#include <limits.h>
#include <unistd.h>

#include <filesystem>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_utils.hpp"
#include "tk/tk_wstring.hpp"

namespace {

struct path_parts {
    std::string dir;
    std::string name;
    std::string ext;
};

// Absolute, normalised form of a non-empty path; an internal assertion when the current folder
// cannot be read or the result is longer than the system allows.
std::string absolute_path(const std::string& path) {
    std::filesystem::path full;
    if (path.front() == '/') {
        full = path;
    } else {
        char current[PATH_MAX];
        TK_ASSERT(getcwd(current, sizeof current) != nullptr, "tk_fname.cpp");
        full = std::filesystem::path(current) / path;
    }
    std::string normal = full.lexically_normal().string();
    TK_ASSERT(!normal.empty() && normal.size() < PATH_MAX, "tk_fname.cpp");
    // A path ending in "." or ".." names that folder itself, not its content: "/a/b/.." is
    // the folder "/a" (name "a"), while "/a/b/" as given keeps its separator.
    if (path.back() != '/' && normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    return normal;
}

path_parts split(const std::string& full) {
    path_parts parts;
    const size_t slash = full.rfind('/');
    const size_t file_start = slash == std::string::npos ? 0 : slash + 1;
    parts.dir = full.substr(0, file_start);
    const std::string file = full.substr(file_start);
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos) {
        parts.name = file;
    } else {
        parts.name = file.substr(0, dot);
        parts.ext = file.substr(dot);
    }
    return parts;
}

}  // namespace

tk_file_name::tk_file_name(const char* path) {
    TK_ASSERT(path != nullptr, "tk_fname.cpp");
    *this = tk_file_name(std::string(path));
}

tk_file_name::tk_file_name(const std::string& path) {
    TK_TRACE("tk_file_name::ctor(%s)", path.c_str());
    const bool given = !path.empty();
    const path_parts parts = split(given ? absolute_path(path) : tk_program_path());
    dir = parts.dir;
    ext = parts.ext;
    if (given) {
        name = parts.name;
    }
}

tk_file_wname::tk_file_wname(const std::u16string& path) {
    TK_TRACEW(u"tk_file_wname::initialize(%s)", path.c_str());
    const tk_file_name narrow(tk_w2a(path));
    ext = tk_a2w(narrow.ext);
    drive = tk_a2w(narrow.drive);
    name = tk_a2w(narrow.name);
    dir = tk_a2w(narrow.dir);
}
