#include "tk/tk_huge_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

tk_huge_file::tk_huge_file(const std::string& path) {
    TK_LOG(2, "tk_huge_file::ctor(%s)", path.c_str());
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        throw tk_exception("Error opening file", 1);
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd_);
        fd_ = -1;
        throw tk_exception("Error opening file", 1);
    }
}

tk_huge_file::~tk_huge_file() {
    TK_LOG(2, "tk_huge_file::dtor");
    if (fd_ >= 0) {
        close(fd_);
    }
}

void tk_huge_file::read_at(uint64_t offset, void* destination, uint32_t length) {
    if (offset > static_cast<uint64_t>(INT64_MAX) - length) {
        throw tk_exception("Error reading from file", 1);
    }
    auto* out = static_cast<char*>(destination);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw tk_exception_ex();
        }
        if (got == 0) {
            throw tk_exception("Error reading from file", 1);
        }
        done += static_cast<uint32_t>(got);
    }
}

uint8_t tk_huge_file::get_byte(uint64_t offset) {
    uint8_t byte = 0;
    read_at(offset, &byte, 1);
    return byte;
}

uint32_t tk_huge_file::get_dword(uint64_t offset) {
    uint8_t p[4];
    read_at(offset, p, 4);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t tk_huge_file::get_size() {
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        throw tk_exception_ex();
    }
    return static_cast<uint64_t>(info.st_size);
}
