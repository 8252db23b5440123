#include "tk/tk_settings_store.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// Texts are stored on one line: backslash, line feed and carriage return are escaped.
std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

tk_settings_store::tk_settings_store(std::string file) : path_(std::move(file)) {
    load();
}

std::string tk_settings_store::default_path() {
    std::string folder;
    if (const char* home = std::getenv("BRIXEL_CONFIG_HOME"); home != nullptr && *home != 0) {
        folder = home;
    } else if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != 0) {
        folder = xdg;
    } else if (const char* user_home = std::getenv("HOME"); user_home != nullptr) {
        folder = std::string(user_home) + "/.config";
    } else {
        folder = ".";
    }
    return folder + "/Quillonworks/Brixel.conf";
}

tk_settings_store& tk_settings_store::current_user() {
    static tk_settings_store store(default_path());
    return store;
}

void tk_settings_store::load() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return;
    }
    std::string line;
    std::map<std::string, value>* section = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = &keys_[line.substr(1, line.size() - 2)];
            continue;
        }
        const size_t eq = line.find('=');
        if (section == nullptr || eq == std::string::npos) {
            continue;  // a line we do not understand is skipped, not fatal
        }
        const std::string name = line.substr(0, eq);
        const std::string rest = line.substr(eq + 1);
        if (rest.rfind("dword:", 0) == 0) {
            char* end = nullptr;
            const unsigned long number = std::strtoul(rest.c_str() + 6, &end, 16);
            if (end != nullptr && *end == 0 && rest.size() > 6) {
                (*section)[name] = static_cast<uint32_t>(number);
            }
        } else if (rest.rfind("sz:", 0) == 0) {
            (*section)[name] = tk_a2w(unescape(rest.substr(3)));
        }
    }
}

bool tk_settings_store::save() const {
    std::error_code ec;
    const std::filesystem::path target(path_);
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), ec);
    }
    std::ostringstream out;
    for (const auto& [key, values] : keys_) {
        out << '[' << key << "]\n";
        for (const auto& [name, v] : values) {
            out << name << '=';
            if (const auto* number = std::get_if<uint32_t>(&v)) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%08x", *number);
                out << "dword:" << hex;
            } else {
                out << "sz:" << escape(tk_w2a(std::get<std::u16string>(v)));
            }
            out << '\n';
        }
    }
    const std::string text = out.str();
    const std::string temp = path_ + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        TK_LOG(2, "Cannot write settings file: %s", temp.c_str());
        return false;
    }
    ::fchmod(fd, 0600);
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        written += static_cast<size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!synced || std::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool tk_settings_store::create_key(const std::string& key) {
    const bool existed = has_key(key);
    if (!existed) {
        keys_[key];
    }
    return existed;
}

const tk_settings_store::value* tk_settings_store::find(const std::string& key,
                                                        const std::string& name) const {
    const auto k = keys_.find(key);
    if (k == keys_.end()) {
        return nullptr;
    }
    const auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

bool tk_settings_store::set(const std::string& key, const std::string& name, value v) {
    keys_[key][name] = std::move(v);
    return save();
}
