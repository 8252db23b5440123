#include "dbf/dbf_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {
constexpr const char* msg_read_error = "Error reading from file";
}

dbf_file::dbf_file(const std::string& path, size_t window) : path_(path), window_(window) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        throw tk_exception_ex("Error opening file");
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const int err = errno;
        ::close(fd_);
        fd_ = -1;
        errno = err;
        throw tk_exception_ex("Error opening file");
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        errno = EISDIR;
        throw tk_exception_ex("Error opening file");
    }
    size_ = static_cast<uint64_t>(st.st_size);
}

dbf_file::~dbf_file() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

size_t dbf_file::pread_full(uint64_t offset, void* dest, size_t length) {
    size_t done = 0;
    auto* out = static_cast<char*>(dest);
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw tk_exception_ex(msg_read_error);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t dbf_file::read_some(uint64_t offset, void* dest, size_t length) {
    if (length == 0 || offset >= size_) {
        return 0;
    }
    // Inside the current window: served from memory.
    if (offset >= window_offset_ && offset - window_offset_ < window_length_) {
        const size_t start = static_cast<size_t>(offset - window_offset_);
        const size_t avail = window_length_ - start;
        if (length <= avail) {
            std::memcpy(dest, window_.data() + start, length);
            return length;
        }
    }
    if (length >= window_.size()) {
        return pread_full(offset, dest, length);
    }
    window_length_ = 0;
    window_offset_ = offset;
    window_length_ = pread_full(offset, window_.data(), window_.size());
    const size_t n = length < window_length_ ? length : window_length_;
    std::memcpy(dest, window_.data(), n);
    return n;
}

void dbf_file::read_at(uint64_t offset, void* dest, size_t length) {
    if (read_some(offset, dest, length) != length) {
        throw tk_exception(msg_read_error, 1);
    }
}

unsigned char dbf_file::get_byte(uint64_t offset) {
    unsigned char b = 0;
    read_at(offset, &b, 1);
    return b;
}

uint32_t dbf_file::get_dword(uint64_t offset) {
    unsigned char b[4];
    read_at(offset, b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

std::optional<std::string> dbf_find_file(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return path;
    }
    namespace fs = std::filesystem;
    const fs::path p(path);
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::u16string wanted = tk_a2w(p.filename().string());
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return std::nullopt;
    }
    // Several entries may differ only in case; the first in name order wins, so the choice does
    // not depend on the order in which the file system lists them.
    std::optional<std::string> found;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const std::string name = it->path().filename().string();
        if (tk_wstring::iequals(tk_a2w(name), wanted) && (!found || name < *found)) {
            found = name;
        }
    }
    if (!found) {
        return std::nullopt;
    }
    return (p.has_parent_path() ? (folder / *found) : fs::path(*found)).string();
}

std::string dbf_replace_extension(const std::string& path, const std::string& ext) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (has_ext ? path.substr(0, dot) : path) + "." + ext;
}
