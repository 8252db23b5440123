#include "tk/tk_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tk/tk_exception.hpp"
#include "tk/tk_file_name.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

tk_file::tk_file(const std::string& path, uint32_t mode) : mode_(mode) {
    TK_LOG(2, "tk_file::tk_file(%s)", path.c_str());
    TK_ASSERT(!path.empty(), "tk_file.cpp");
    path_ = tk_file_name(path).compose();
    TK_TRACE("Canonized file name: %s", path_.c_str());
    if (!writable() && !tk_is_file_exist(path_, 0)) {
        throw tk_exception("Bad path or busy with another process", 1);
    }
}

tk_file::~tk_file() {
    TK_TRACE("tk_file::~tk_file");
}

bool tk_is_file_exist(const std::string& path, int mode) {
    TK_TRACE("tk_is_file_exist(%s)", path.c_str());
    const int fd = open(path.c_str(), (mode == 1 ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd >= 0) {
        struct stat info {};
        const bool is_file = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
        close(fd);
        if (is_file) {
            return true;
        }
    }
    TK_TRACE("File not exists!");
    return false;
}

bool tk_is_file_exist(const std::u16string& path, int mode) {
    return tk_is_file_exist(tk_w2a(path), mode);
}
