#include "tk/tk_converter.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

bool tk_converter::set_flag(bool b_flag) {
    b_flag2 = b_flag;
    return b_flag2;
}

void tk_converter::set_logfile(const std::string& path) {
    TK_TRACE("tk_convertor::set_logfile(%s)", path.c_str());
    if (!path.empty()) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            // The log appends to the file line by line: it must open for reading and writing.
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) {
                throw tk_exception("Logfile name specifies an existing read-only file.", 1);
            }
            ::close(fd);
        } else {
            const std::filesystem::path folder = std::filesystem::path(path).parent_path();
            struct stat folder_info {};
            const char* const folder_name = folder.empty() ? "." : folder.c_str();
            if (::stat(folder_name, &folder_info) != 0 || !S_ISDIR(folder_info.st_mode)) {
                throw tk_exception(
                    "Logfile path does not exist.\nPlease verify the correct path was given.", 1);
            }
        }
    }
    logfile = path;
    if (!logfile.empty()) {
        tk_log::get().set_path(logfile);
    }
}
