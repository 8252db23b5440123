#include "tk/tk_log.hpp"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

// Constant initialisation makes the log usable from any other static initialiser. Where the
// compiler cannot evaluate the string constructor at compile time (Clang with libstdc++ 12) the
// object is zero-filled first, so it reads as disabled until its constructor has run.
#if !defined(__clang__)
constinit
#endif
    tk_log tk_log::instance_;

namespace {

// Sizes of the two buffers a wide line goes through: UTF-16 units, then UTF-8 bytes. Both
// count the terminating zero, so a wide line keeps at most 10,239 units and its UTF-8 form
// at most 10,239 bytes.
constexpr size_t wide_buffer_units = 10240;
constexpr size_t utf8_buffer_bytes = 10240;

void write_time_prefix(FILE* file) {
    const time_t now = time(nullptr);
    struct tm local {};
    if (localtime_r(&now, &local) == nullptr) {
        return;
    }
    fprintf(file, "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
}

// Collects the formatted UTF-16 text; output beyond the buffer is dropped.
class wide_sink {
  public:
    wide_sink(char16_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void put(char16_t c) {
        if (length_ + 1 < capacity_) {
            buffer_[length_++] = c;
        }
    }
    void put_ascii(const char* text, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            put(static_cast<unsigned char>(text[i]));
        }
    }
    void pad(size_t count) {
        for (size_t i = 0; i < count && length_ + 1 < capacity_; ++i) {
            put(u' ');
        }
    }
    size_t length() const { return length_; }

  private:
    char16_t* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

// Decodes one code point of UTF-8 starting at text[*pos] (bounded by end); invalid sequences
// give U+FFFD and consume one byte.
char32_t decode_utf8(const unsigned char* text, size_t end, size_t* pos) {
    const unsigned char lead = text[*pos];
    if (lead < 0x80) {
        ++*pos;
        return lead;
    }
    size_t extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        ++*pos;
        return 0xFFFD;
    }
    if (end - *pos <= extra) {
        ++*pos;
        return 0xFFFD;
    }
    for (size_t i = 1; i <= extra; ++i) {
        const unsigned char next = text[*pos + i];
        if ((next & 0xC0) != 0x80) {
            ++*pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++*pos;
        return 0xFFFD;
    }
    *pos += extra + 1;
    return cp;
}

size_t utf16_units(char32_t cp) {
    return cp >= 0x10000 ? 2 : 1;
}

void put_code_point(wide_sink& sink, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        sink.put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        sink.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        sink.put(static_cast<char16_t>(cp));
    }
}

// printf-style formatting with a UTF-16 format. %s takes const char16_t* (also %ls, %ws, %S),
// %hs a narrow UTF-8 const char*, %c a char16_t (%hc a narrow char); numbers go through
// snprintf so they print exactly as printf prints them.
void format_wide(wide_sink& sink, const char16_t* format, va_list args) {
    char conversion[32];
    char number[512];
    const char16_t* p = format;
    while (*p != 0) {
        if (*p != u'%') {
            sink.put(*p++);
            continue;
        }
        const char16_t* start = p++;
        if (*p == u'%') {
            sink.put(u'%');
            ++p;
            continue;
        }
        size_t n = 0;
        conversion[n++] = '%';
        bool left = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            if (*p == u'-') {
                left = true;
            }
            if (n < 8) {
                conversion[n++] = static_cast<char>(*p);
            }
            ++p;
        }
        long width = -1;
        if (*p == u'*') {
            width = va_arg(args, int);
            if (width < 0) {
                left = true;
                width = -width;
                conversion[n++] = '-';
            }
            ++p;
        } else if (*p >= u'0' && *p <= u'9') {
            width = 0;
            while (*p >= u'0' && *p <= u'9') {
                width = width * 10 + (*p - u'0');
                if (width > 100000) {
                    width = 100000;
                }
                ++p;
            }
        }
        long precision = -1;
        if (*p == u'.') {
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') {
                    precision = precision * 10 + (*p - u'0');
                    if (precision > 100000) {
                        precision = 100000;
                    }
                    ++p;
                }
            }
        }
        // Nothing that fits the line buffer needs more than this; larger values only pad.
        if (width > static_cast<long>(wide_buffer_units)) {
            width = wide_buffer_units;
        }
        if (precision > static_cast<long>(wide_buffer_units)) {
            precision = wide_buffer_units;
        }
        enum class length_mod { none, hh, h, l, ll, j, z, t, big_l } len = length_mod::none;
        if (*p == u'h') {
            len = length_mod::h;
            if (*++p == u'h') {
                len = length_mod::hh;
                ++p;
            }
        } else if (*p == u'l') {
            len = length_mod::l;
            if (*++p == u'l') {
                len = length_mod::ll;
                ++p;
            }
        } else if (*p == u'w') {
            len = length_mod::l;  // %ws and %wc: wide, as %ls and %lc
            ++p;
        } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
            len = length_mod::ll;
            p += 3;
        } else if (*p == u'j') {
            len = length_mod::j;
            ++p;
        } else if (*p == u'z') {
            len = length_mod::z;
            ++p;
        } else if (*p == u't') {
            len = length_mod::t;
            ++p;
        } else if (*p == u'L') {
            len = length_mod::big_l;
            ++p;
        }
        const char16_t conv = *p;
        if (conv == 0) {
            // A format ending inside a conversion: print what was there.
            for (const char16_t* q = start; q < p; ++q) {
                sink.put(*q);
            }
            break;
        }
        ++p;

        auto add_width_precision = [&](bool with_precision) {
            int written = 0;
            if (width >= 0) {
                written = snprintf(conversion + n, sizeof conversion - n, "%ld", width);
                n += static_cast<size_t>(written);
            }
            if (with_precision && precision >= 0) {
                written = snprintf(conversion + n, sizeof conversion - n, ".%ld", precision);
                n += static_cast<size_t>(written);
            }
        };
        auto emit_number = [&](const char* length_text, char c, auto value) {
            add_width_precision(true);
            for (const char* l = length_text; *l != 0; ++l) {
                conversion[n++] = *l;
            }
            conversion[n++] = c;
            conversion[n] = 0;
            int count = snprintf(number, sizeof number, conversion, value);
            if (count < 0) {
                return;
            }
            if (static_cast<size_t>(count) < sizeof number) {
                sink.put_ascii(number, static_cast<size_t>(count));
                return;
            }
            // Very wide fields or huge %f values: format again into a buffer of the exact size.
            char big[wide_buffer_units + 512];
            count = snprintf(big, sizeof big, conversion, value);
            if (count > 0) {
                sink.put_ascii(big, static_cast<size_t>(count) < sizeof big
                                        ? static_cast<size_t>(count)
                                        : sizeof big - 1);
            }
        };

        switch (conv) {
            case u'd':
            case u'i':
                switch (len) {
                    case length_mod::l:
                        emit_number("l", 'd', va_arg(args, long));
                        break;
                    case length_mod::ll:
                        emit_number("ll", 'd', va_arg(args, long long));
                        break;
                    case length_mod::j:
                        emit_number("j", 'd', va_arg(args, intmax_t));
                        break;
                    case length_mod::z:
                        emit_number("z", 'd', va_arg(args, ssize_t));
                        break;
                    case length_mod::t:
                        emit_number("t", 'd', va_arg(args, ptrdiff_t));
                        break;
                    case length_mod::h:
                        emit_number("h", 'd', va_arg(args, int));
                        break;
                    case length_mod::hh:
                        emit_number("hh", 'd', va_arg(args, int));
                        break;
                    default:
                        emit_number("", 'd', va_arg(args, int));
                        break;
                }
                break;
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                const char c = static_cast<char>(conv);
                switch (len) {
                    case length_mod::l:
                        emit_number("l", c, va_arg(args, unsigned long));
                        break;
                    case length_mod::ll:
                        emit_number("ll", c, va_arg(args, unsigned long long));
                        break;
                    case length_mod::j:
                        emit_number("j", c, va_arg(args, uintmax_t));
                        break;
                    case length_mod::z:
                        emit_number("z", c, va_arg(args, size_t));
                        break;
                    case length_mod::t:
                        emit_number("t", c, va_arg(args, ptrdiff_t));
                        break;
                    case length_mod::h:
                        emit_number("h", c, va_arg(args, unsigned int));
                        break;
                    case length_mod::hh:
                        emit_number("hh", c, va_arg(args, unsigned int));
                        break;
                    default:
                        emit_number("", c, va_arg(args, unsigned int));
                        break;
                }
                break;
            }
            case u'e':
            case u'E':
            case u'f':
            case u'F':
            case u'g':
            case u'G':
            case u'a':
            case u'A': {
                const char c = static_cast<char>(conv);
                if (len == length_mod::big_l) {
                    emit_number("L", c, va_arg(args, long double));
                } else {
                    emit_number("", c, va_arg(args, double));
                }
                break;
            }
            case u'p':
                emit_number("", 'p', va_arg(args, void*));
                break;
            case u'c':
            case u'C': {
                const bool narrow = len == length_mod::h;
                const int value = va_arg(args, int);
                const char16_t c = narrow ? static_cast<char16_t>(static_cast<unsigned char>(value))
                                          : static_cast<char16_t>(value);
                const size_t fill = width > 1 ? static_cast<size_t>(width - 1) : 0;
                if (!left) {
                    sink.pad(fill);
                }
                sink.put(c);
                if (left) {
                    sink.pad(fill);
                }
                break;
            }
            case u's':
            case u'S': {
                const size_t limit =
                    precision >= 0 ? static_cast<size_t>(precision) : static_cast<size_t>(-1);
                if (len == length_mod::h) {
                    const char* text = va_arg(args, const char*);
                    if (text == nullptr) {
                        text = "(null)";
                    }
                    // The precision counts bytes of the narrow text, as printf's does.
                    size_t bytes = 0;
                    while (bytes < limit && text[bytes] != 0) {
                        ++bytes;
                    }
                    const auto* u = reinterpret_cast<const unsigned char*>(text);
                    size_t units = 0;
                    for (size_t pos = 0; pos < bytes;) {
                        units += utf16_units(decode_utf8(u, bytes, &pos));
                    }
                    const size_t fill =
                        width > static_cast<long>(units) ? static_cast<size_t>(width) - units : 0;
                    if (!left) {
                        sink.pad(fill);
                    }
                    for (size_t pos = 0; pos < bytes;) {
                        put_code_point(sink, decode_utf8(u, bytes, &pos));
                    }
                    if (left) {
                        sink.pad(fill);
                    }
                } else {
                    const char16_t* text = va_arg(args, const char16_t*);
                    if (text == nullptr) {
                        text = u"(null)";
                    }
                    size_t units = 0;
                    while (units < limit && text[units] != 0) {
                        ++units;
                    }
                    const size_t fill =
                        width > static_cast<long>(units) ? static_cast<size_t>(width) - units : 0;
                    if (!left) {
                        sink.pad(fill);
                    }
                    for (size_t i = 0; i < units; ++i) {
                        sink.put(text[i]);
                    }
                    if (left) {
                        sink.pad(fill);
                    }
                }
                break;
            }
            default:
                // Unknown conversion: copy it as it stands, consuming no argument.
                for (const char16_t* q = start; q < p; ++q) {
                    sink.put(*q);
                }
                break;
        }
    }
}

// UTF-16 to UTF-8 into a buffer of `capacity` bytes that must also hold a terminating zero.
// Returns the byte count, or -1 when the text does not fit (nothing is then written).
// Unpaired surrogates become U+FFFD.
long utf16_to_utf8(const char16_t* text, size_t units, char* out, size_t capacity) {
    size_t needed = 0;
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            needed += 1;
        } else if (c < 0x800) {
            needed += 2;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            needed += 4;
            ++i;
        } else {
            needed += 3;
        }
    }
    if (needed + 1 > capacity) {
        return -1;
    }
    size_t o = 0;
    for (size_t i = 0; i < units; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out[o++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            out[o++] = static_cast<char>(0xC0 | (cp >> 6));
            out[o++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out[o++] = static_cast<char>(0xE0 | (cp >> 12));
            out[o++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out[o++] = static_cast<char>(0xF0 | (cp >> 18));
            out[o++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out[o++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out[o] = 0;
    return static_cast<long>(o);
}

}  // namespace

std::string tk_log::path() const {
    const std::lock_guard<std::mutex> lock(path_mutex_);
    return path_;
}

void tk_log::set_path(std::string path) {
    // A new file is emptied by its first line; naming the same file again keeps what the
    // process has already written there.
    const std::lock_guard<std::mutex> lock(path_mutex_);
    if (path != path_) {
        path_ = std::move(path);
        b_truncated_.store(false, std::memory_order_relaxed);
    }
    b_enabled_.store(true, std::memory_order_relaxed);
}

void tk_log::reset() noexcept {
    {
        const std::lock_guard<std::mutex> lock(path_mutex_);
        path_.clear();
    }
    threshold_.store(1, std::memory_order_relaxed);
    b_newline_.store(true, std::memory_order_relaxed);
    b_enabled_.store(false, std::memory_order_relaxed);
    b_truncated_.store(false, std::memory_order_relaxed);
    b_timestamp_.store(false, std::memory_order_relaxed);
}

std::FILE* tk_log::begin_line(int level) noexcept {
    if (!b_enabled_.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    const std::lock_guard<std::mutex> lock(path_mutex_);
    if (!b_truncated_.load(std::memory_order_relaxed)) {
        if (FILE* f = fopen(path_.c_str(), "wb")) {
            fclose(f);
        }
        b_truncated_.store(true, std::memory_order_relaxed);
    }
    if (level < threshold_.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    FILE* file = fopen(path_.c_str(), "ab");
    if (file != nullptr && b_timestamp_.load(std::memory_order_relaxed)) {
        write_time_prefix(file);
    }
    return file;
}

void tk_log::end_line(std::FILE* file) noexcept {
    if (b_newline_.load(std::memory_order_relaxed)) {
        fwrite("\r\n", 1, 2, file);
    }
    fclose(file);
}

void tk_log::write(int level, const char* format, ...) noexcept {
    FILE* file = begin_line(level);
    if (file == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    end_line(file);
}

void tk_log::write_w(int level, const char16_t* format, ...) noexcept {
    FILE* file = begin_line(level);
    if (file == nullptr) {
        return;
    }
    // Per-thread buffers: two threads may write lines at once.
    thread_local char16_t wide[wide_buffer_units];
    thread_local char utf8[utf8_buffer_bytes];
    wide_sink sink(wide, wide_buffer_units);
    va_list args;
    va_start(args, format);
    format_wide(sink, format, args);
    va_end(args);
    const long bytes = utf16_to_utf8(wide, sink.length(), utf8, utf8_buffer_bytes);
    if (bytes > 0) {
        fwrite(utf8, 1, static_cast<size_t>(bytes), file);
    }
    end_line(file);
}
