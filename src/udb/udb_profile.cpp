#include "udb/udb_profile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

const std::u16string selected_tables = u"Selected Tables";

// Reads a file line by line, any line end (CR LF, LF, lone CR) accepted, holding no more than a
// line and a buffer in memory: a wrong file given as a profile is not read whole.
class line_reader {
  public:
    ~line_reader() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    // False when the path cannot be opened for reading or is no regular file.
    bool open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    }
    // The next line without its line end; false at the end of the file. A line longer than
    // `limit` bytes is an internal error.
    bool next(std::string& line, size_t limit) {
        line.clear();
        for (;;) {
            if (pos_ == size_ && !fill()) {
                return !line.empty();
            }
            if (b_skip_lf_) {
                b_skip_lf_ = false;
                if (buffer_[pos_] == '\n') {
                    ++pos_;
                    continue;
                }
            }
            const char* start = buffer_ + pos_;
            const auto* stop = static_cast<const char*>(std::memchr(start, '\n', size_ - pos_));
            const size_t scan = stop != nullptr ? static_cast<size_t>(stop - start) : size_ - pos_;
            if (const auto* cr = static_cast<const char*>(std::memchr(start, '\r', scan))) {
                stop = cr;
            }
            const size_t length =
                stop != nullptr ? static_cast<size_t>(stop - start) : size_ - pos_;
            TK_ASSERT(line.size() + length <= limit, "udb_prof.cpp");
            line.append(start, length);
            pos_ += length;
            if (stop != nullptr) {
                b_skip_lf_ = *stop == '\r';
                ++pos_;
                return true;
            }
        }
    }

  private:
    bool fill() {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                throw tk_exception_ex("Cannot read the profile: ", 1);
            }
            pos_ = 0;
            size_ = static_cast<size_t>(got);
            return got > 0;
        }
    }

    int fd_ = -1;
    char buffer_[65536];
    size_t pos_ = 0;
    size_t size_ = 0;
    bool b_skip_lf_ = false;
};

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. The toolkit's
// conversion would put U+FFFD in place of a bad byte, which would change a setting unseen.
bool is_valid_utf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        size_t count = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            count = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            count = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            count = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) <= count || p[1] < low || p[1] > high) {
            return false;
        }
        for (size_t i = 2; i <= count; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        p += count + 1;
    }
    return true;
}

// Every surrogate belongs to a pair.
bool is_valid_utf16(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return false;
            }
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// Appends the line in UTF-8 with its CR LF; false when it is longer than a profile line may be.
bool append_line(std::string& out, std::u16string_view line) {
    if (!is_valid_utf16(line)) {
        throw tk_exception_ex("Cannot convert to UTF8 string: ", 0, EILSEQ, std::strerror(EILSEQ));
    }
    const size_t start = out.size();
    out += tk_to_utf8(line);
    const bool b_fits = out.size() - start <= udb_profile::max_line_bytes;
    out += "\r\n";
    return b_fits;
}

bool has_line_break(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// Whether the trimmed line would be taken for a section header.
bool looks_like_header(std::u16string_view line) {
    const std::u16string trimmed = tk_trim(line);
    return trimmed.size() >= 2 && trimmed.front() == u'[' && trimmed.back() == u']';
}

// Whether a key line reads back as this key and value: the reader trims the key, cuts at the
// first "=", and removes the line's trailing blanks.
bool key_reads_back(std::u16string_view key, std::u16string_view value, bool b_bare) {
    if (has_line_break(key) || has_line_break(value) ||
        key.find(u'=') != std::u16string_view::npos || tk_trim(key).size() != key.size() ||
        (!value.empty() && value.back() == u' ')) {
        return false;
    }
    if (b_bare) {
        return !key.empty() && !looks_like_header(key);
    }
    return !looks_like_header(std::u16string(key) + u"=" + std::u16string(value));
}

// Whether a list line reads back as a list line (its blanks at both ends are not kept).
bool list_line_reads_back(std::u16string_view line) {
    return !has_line_break(line) && line.find(u'=') == std::u16string_view::npos &&
           !tk_trim(line).empty() && !looks_like_header(line);
}

}  // namespace

udb_profile::udb_profile() {
    sections_.emplace(u"Available Queries", key_map());
    sections_.emplace(selected_tables, key_map());
    sections_.emplace(u"Generic settings", key_map());
}

bool udb_profile::load(const std::u16string& path) {
    TK_LOGW(2, u"udb_profile::load(%s)", path.c_str());
    line_reader reader;
    if (!reader.open(tk_w2a(path))) {
        throw tk_exception("Profile does not exist. Please verify the correct path/name was given.",
                           1);
    }

    key_map* current = nullptr;
    std::u16string current_name;
    std::string bytes;
    bool b_first = true;
    while (reader.next(bytes, max_line_bytes)) {
        std::string_view raw(bytes);
        // Editors on other systems may start the file with a byte order mark.
        if (b_first && raw.starts_with("\xEF\xBB\xBF")) {
            raw.remove_prefix(3);
        }
        b_first = false;

        if (!is_valid_utf8(raw)) {
            throw tk_exception_ex("Cannot convert to UNICODE string: ", 0, EILSEQ,
                                  std::strerror(EILSEQ));
        }
        const std::u16string line = tk_trim(tk_from_utf8(raw));
        if (line.empty()) {
            continue;
        }
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            current_name = line.substr(1, line.size() - 2);
            current = &sections_[current_name];
            continue;
        }
        if (current == nullptr) {
            return false;
        }
        const size_t equal = line.find(u'=');
        if (equal != std::u16string::npos) {
            current->emplace(tk_trim(std::u16string_view(line).substr(0, equal)),
                             line.substr(equal + 1));
        } else {
            lists_[current_name].push_back(line);
            current->emplace(line, std::u16string());
        }
    }
    return true;
}

bool udb_profile::store(const std::u16string& path) const {
    TK_LOG(2, "udb_profile::store)");
    const std::string file = tk_w2a(path);

    // Every line is checked to read back as written: a profile that loads differently, or not
    // at all, is not written.
    std::string out;
    bool b_ok = true;
    for (const auto& [name, keys] : sections_) {
        b_ok = append_line(out, u"[" + name + u"]") && !has_line_break(name) && b_ok;
        const bool b_bare_keys = name == selected_tables;
        for (const auto& [key, value] : keys) {
            const bool b_bare = b_bare_keys && value.empty();
            const bool b_fits =
                b_bare ? append_line(out, key) : append_line(out, key + u"=" + value);
            if (!b_fits || !key_reads_back(key, value, b_bare)) {
                TK_LOGW(2, u"Profile key cannot be stored as it is: [%s] %s", name.c_str(),
                        key.c_str());
                b_ok = false;
            }
        }
        out += "\r\n";
    }
    for (const auto& [name, lines] : lists_) {
        b_ok = append_line(out, u"[" + name + u"]") && !has_line_break(name) && b_ok;
        for (const auto& line : lines) {
            if (!append_line(out, line) || !list_line_reads_back(line)) {
                TK_LOGW(2, u"Profile line cannot be stored as it is: [%s] %s", name.c_str(),
                        line.c_str());
                b_ok = false;
            }
        }
    }
    if (!b_ok) {
        return false;
    }

    // The new text goes to a temporary file beside the target, created with mode 0600, and
    // replaces the target only once it is complete on disk.
    std::string temp = file + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        TK_LOG(2, "Cannot create the profile file %s: %s", file.c_str(), std::strerror(errno));
        return false;
    }
    const bool b_written = write_all(fd, out) && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    const bool b_closed = ::close(fd) == 0;
    if (!b_written || !b_closed || ::rename(temp.c_str(), file.c_str()) != 0) {
        TK_LOG(2, "Cannot write the profile file %s: %s", file.c_str(), std::strerror(errno));
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void udb_profile::set_value(std::u16string_view section, std::u16string_view key,
                            std::u16string_view value) {
    auto found = sections_.find(section);
    if (found == sections_.end()) {
        found = sections_.emplace(std::u16string(section), key_map()).first;
    }
    found->second.emplace(std::u16string(key), std::u16string(value));
}

std::u16string udb_profile::get_value(std::u16string_view section, std::u16string_view key) const {
    const auto found = sections_.find(section);
    if (found == sections_.end()) {
        return std::u16string();
    }
    const auto value = found->second.find(key);
    return value == found->second.end() ? std::u16string() : value->second;
}

const udb_profile::key_map& udb_profile::get_section(std::u16string_view name) const {
    static const key_map empty;
    const auto found = sections_.find(name);
    return found == sections_.end() ? empty : found->second;
}

void udb_profile::add_line(std::u16string_view section, std::u16string_view line) {
    auto found = lists_.find(section);
    if (found == lists_.end()) {
        found = lists_.emplace(std::u16string(section), std::vector<std::u16string>()).first;
    }
    found->second.emplace_back(line);
}

const std::vector<std::u16string>& udb_profile::get_lines(std::u16string_view name) const {
    static const std::vector<std::u16string> empty;
    const auto found = lists_.find(name);
    return found == lists_.end() ? empty : found->second;
}
