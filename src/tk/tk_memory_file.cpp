#include "tk/tk_memory_file.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

namespace {

constexpr const char* error_opening = "Error opening file";
constexpr const char* error_reading = "Error reading from file";
constexpr const char* error_writing = "Cannot write into file";

// Closes the stream on every way out of a function.
class stream_guard {
  public:
    explicit stream_guard(FILE* file) : file_(file) {}
    ~stream_guard() {
        if (file_ != nullptr) {
            fclose(file_);
        }
    }
    stream_guard(const stream_guard&) = delete;
    stream_guard& operator=(const stream_guard&) = delete;
    FILE* get() const { return file_; }
    // Closes now; false when the close reports an error (buffered data not written).
    bool close() {
        FILE* file = file_;
        file_ = nullptr;
        return fclose(file) == 0;
    }

  private:
    FILE* file_;
};

}  // namespace

tk_memory_file::tk_memory_file(const std::string& path, uint32_t mode) : tk_file(path, mode) {
    TK_LOG(2, "tk_memory_file::ctor");
    initialize();
}

tk_memory_file::~tk_memory_file() {
    TK_TRACE("tk_memory_file::~tk_memory_file");
    if (writable()) {
        try {
            flush();
        } catch (const std::exception& e) {
            TK_LOG(2, "%s", e.what());
        }
    }
}

void tk_memory_file::initialize() {
    TK_TRACE("tk_memory_file::initialize");
    const char* open_mode = (mode_ & mode_create) == mode_create ? "w+b"
                            : writable()                         ? "r+b"
                                                                 : "rb";
    stream_guard stream(fopen(path_.c_str(), open_mode));
    if (stream.get() == nullptr) {
        throw tk_exception(error_opening, 1);
    }
    struct stat info {};
    if (fstat(fileno(stream.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        throw tk_exception(error_opening, 1);
    }
    if (fseeko(stream.get(), 0, SEEK_END) != 0) {
        throw tk_exception(error_reading, 1);
    }
    const off_t end = ftello(stream.get());
    // The whole file has to fit a 32-bit size.
    if (end < 0 || static_cast<uint64_t>(end) > UINT32_MAX - 1u ||
        fseeko(stream.get(), 0, SEEK_SET) != 0) {
        throw tk_exception(error_reading, 1);
    }
    size_ = static_cast<uint32_t>(end);
    data_.assign(static_cast<size_t>(size_) + 1, 0);
    if (size_ != 0 && fread(data_.data(), 1, size_, stream.get()) != size_) {
        throw tk_exception(error_reading, 1);
    }
}

void tk_memory_file::check_range(uint32_t offset, uint32_t length) const {
    if (static_cast<uint64_t>(offset) + length > size_) {
        TK_LOG(2, "Reading out of range: offset=%d, length=%d, file size=%d",
               static_cast<int>(offset), static_cast<int>(length), static_cast<int>(size_));
        throw tk_exception(error_reading, 1);
    }
}

const uint8_t* tk_memory_file::get_at(uint32_t offset, uint32_t length) {
    TK_TRACE("tk_memory_file::get_at(%d,%d)", static_cast<int>(offset), static_cast<int>(length));
    check_range(offset, length);
    return data_.data() + offset;
}

void* tk_memory_file::get_at(uint32_t offset, void* destination, uint32_t length) {
    const uint8_t* source = get_at(offset, length);
    if (length != 0) {
        memcpy(destination, source, length);
    }
    return destination;
}

uint8_t tk_memory_file::get_byte(uint32_t offset) {
    return *get_at(offset, 1);
}

uint16_t tk_memory_file::get_word(uint32_t offset) {
    const uint8_t* p = get_at(offset, 2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t tk_memory_file::get_dword(uint32_t offset) {
    const uint8_t* p = get_at(offset, 4);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void tk_memory_file::put_at(uint32_t offset, const void* source, uint32_t length) {
    TK_TRACE("tk_memory_file::put_at(%d,%d)", static_cast<int>(offset), static_cast<int>(length));
    const uint64_t end = static_cast<uint64_t>(offset) + length;
    if (end > UINT32_MAX - 1u) {
        throw tk_exception(error_writing, 1);
    }
    if (end > size_) {
        set_size(static_cast<uint32_t>(end));
    }
    if (length != 0) {
        memcpy(data_.data() + offset, source, length);
    }
}

void tk_memory_file::set_size(uint32_t n) {
    TK_TRACE("tk_memory_file::set_size(%d)", static_cast<int>(n));
    if (n > size_) {
        // Bytes past the old size may still hold content from before a shrink: the new tail
        // is zero whatever the buffer held there.
        const size_t kept = data_.size() - 1;
        if (kept > size_) {
            std::fill(data_.begin() + size_, data_.begin() + std::min<size_t>(kept, n), 0);
        }
        if (static_cast<size_t>(n) + 1 > data_.size()) {
            data_.resize(static_cast<size_t>(n) + 1, 0);
        }
    }
    size_ = n;
}

void tk_memory_file::flush() {
    TK_TRACE("tk_memory_file::flush");
    TK_ASSERT(writable(), "tk_file.cpp");
    if (data_.empty()) {
        return;
    }
    stream_guard stream(fopen(path_.c_str(), "w+b"));
    if (stream.get() == nullptr) {
        throw tk_exception(error_opening, 1);
    }
    if (fseeko(stream.get(), 0, SEEK_SET) != 0) {
        throw tk_exception(error_reading, 1);
    }
    if (size_ != 0 && fwrite(data_.data(), 1, size_, stream.get()) != size_) {
        throw tk_exception(error_writing, 1);
    }
    if (!stream.close()) {
        throw tk_exception(error_writing, 1);
    }
}
