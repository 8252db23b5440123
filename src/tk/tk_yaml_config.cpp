#include "tk/tk_yaml_config.hpp"

#include <unicode/ustring.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_utils.hpp"
#include "tk/tk_wstring.hpp"

namespace {

// Strict decoding: a byte that is not UTF-8 fails instead of becoming U+FFFD, so a damaged
// file never offers a type name that differs from the one written.
std::u16string decode(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                  text.data(), static_cast<int32_t>(text.size()), &status);
    if (status == U_STRING_NOT_TERMINATED_WARNING) {
        status = U_ZERO_ERROR;
    }
    if (U_FAILURE(status)) {
        throw tk_exception_ex("Cannot convert to UNICODE string: ", 0, static_cast<int>(status),
                              u_errorName(status));
    }
    out.resize(static_cast<size_t>(length));
    return out;
}

}  // namespace

bool tk_yaml_config::load(const std::string& file_name, const exclusion_set& exclusions) {
    TK_LOG(2, "tk_yaml_config::load(%s)", file_name.c_str());
    std::error_code ignored;
    std::ifstream in(file_name, std::ios::binary);
    if (!in || !std::filesystem::is_regular_file(file_name, ignored)) {
        return false;
    }
    std::u16string key;
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        TK_TRACE("Got text line: %s", raw.c_str());
        const std::string line = tk_trim(raw);
        if (line.empty()) {
            TK_TRACE("Skip empty line");
        } else if (line.back() == ':') {
            key = decode(std::string_view(line).substr(0, line.size() - 1));
            (*this)[key];
        } else if (line.front() == '-') {
            const std::string value_text = tk_trim(std::string_view(line).substr(1));
            std::u16string value = decode(value_text);
            if (exclusions.find(value) != exclusions.end()) {
                TK_TRACE("String '%s' has not passed the filter", value_text.c_str());
            } else {
                (*this)[key].push_back(std::move(value));
                TK_TRACEW(u"String '%s' has been stored under key='%s'",
                          (*this)[key].back().c_str(), key.c_str());
            }
        }
    }
    return !in.bad();
}

const std::vector<std::u16string>& tk_yaml_config::get(std::u16string_view key) const {
    static const std::vector<std::u16string> empty;
    const auto found = find(key);
    return found == end() ? empty : found->second;
}

std::string tk_data_file_path(std::string_view file_name) {
    if (file_name.starts_with('/')) {
        return std::string(file_name);
    }
    return tk_program_folder() + std::string(file_name);
}
