#include "tk/tk_temp_chdir.hpp"

#include <dirent.h>
#include <fnmatch.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// The current folder, or false when it cannot be read.
bool current_folder(std::string& folder) {
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof buffer) == nullptr) {
        return false;
    }
    folder = buffer;
    return true;
}

// Upper-case ASCII copy, for ordering names the way a case-blind file system does.
std::string upper_ascii(const char* text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

}  // namespace

tk_temp_chdir::tk_temp_chdir(const std::string& folder) {
    TK_LOG(2, "tk_temp_chdir::initialize(%s)", folder.c_str());
    if (!current_folder(old_dir)) {
        TK_TRACE("_getcwd failed");
        return;
    }
    b_ok = chdir(folder.c_str()) == 0;
    if (!b_ok) {
        TK_TRACE("_chdir failed");
    }
}

tk_temp_chdir::~tk_temp_chdir() {
    if (b_ok && chdir(old_dir.c_str()) != 0) {
        TK_LOG(2, "_chdir failed");
    }
}

tk_temp_chdir_w::tk_temp_chdir_w(const std::u16string& folder) {
    TK_LOGW(2, u"tk_temp_chdir_w::initialize(%s)", folder.c_str());
    std::string current;
    if (!current_folder(current)) {
        TK_TRACE("_wgetcwd failed");
        return;
    }
    old_dir = tk_a2w(current);
    b_ok = chdir(tk_w2a(folder).c_str()) == 0;
    if (!b_ok) {
        TK_TRACE("_wchdir failed");
    }
}

tk_temp_chdir_w::~tk_temp_chdir_w() {
    if (b_ok && chdir(tk_w2a(old_dir).c_str()) != 0) {
        TK_LOG(2, "_wchdir failed");
    }
}

bool find_files(const std::u16string& pattern, std::vector<std::u16string>& names) {
    TK_LOGW(2, u"tk_temp_chdir::find_files(%s)", pattern.c_str());
    names.clear();
    const std::string narrow = tk_w2a(pattern);
    const size_t slash = narrow.rfind('/');
    std::string folder = slash == std::string::npos ? "." : narrow.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? narrow : narrow.substr(slash + 1);
    if (mask == "*.*") {
        mask = "*";  // every name, with or without a dot
    }

    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        TK_LOG(2, "No files found");
        return false;
    }
    std::vector<std::string> found;
    bool matched = false;
    bool failed = false;
    while (true) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            failed = errno != 0;
            break;
        }
        if (mask.empty() || fnmatch(mask.c_str(), entry->d_name, FNM_CASEFOLD) != 0) {
            continue;
        }
        matched = true;
        TK_TRACE("Found file: %s", entry->d_name);
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) {
            TK_TRACE("...ignored");
            continue;
        }
        found.emplace_back(entry->d_name);
    }
    closedir(dir);
    if (failed) {
        TK_LOG(2, "Couldn't find next file");
        return false;
    }
    if (!matched) {
        TK_LOG(2, "No files found");
        return false;
    }
    // Directory order on Linux is arbitrary; list names the way a case-blind file system does.
    std::stable_sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = upper_ascii(a.c_str());
        const std::string ub = upper_ascii(b.c_str());
        return ua != ub ? ua < ub : a < b;
    });
    names.reserve(found.size());
    for (const std::string& name : found) {
        names.push_back(tk_a2w(name));
    }
    TK_LOG(2, "No more files");
    return true;
}

bool tk_is_path_exist(const std::string& folder) {
    TK_TRACE("tk_is_path_exist(%s)", folder.c_str());
    const tk_temp_chdir change(folder);
    return change.b_ok;
}

bool tk_is_path_exist(const std::u16string& folder) {
    std::string narrow;
    try {
        narrow = tk_to_ansi(folder);
    } catch (const tk_exception&) {
        return false;
    }
    return tk_is_path_exist(narrow);
}
