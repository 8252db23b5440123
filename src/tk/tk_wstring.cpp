#include "tk/tk_wstring.hpp"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include "tk/tk_codepage.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

namespace {

constexpr UChar32 replacement_char = 0xFFFD;

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD. Returns the ICU status.
UErrorCode utf16_to_utf8(std::u16string_view text, std::string& out) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    out.resize(text.size() * 3);
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), replacement_char, nullptr, &status);
    if (status == U_STRING_NOT_TERMINATED_WARNING) {
        status = U_ZERO_ERROR;
    }
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
    return status;
}

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
UErrorCode utf8_to_utf16(std::string_view text, std::u16string& out) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    out.resize(text.size());
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), replacement_char, nullptr, &status);
    if (status == U_STRING_NOT_TERMINATED_WARNING) {
        status = U_ZERO_ERROR;
    }
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
    return status;
}

[[noreturn]] void throw_conversion(const char* text, UErrorCode status) {
    throw tk_exception_ex(text, 0, static_cast<int>(status), u_errorName(status));
}

bool too_long(size_t length) {
    return length > static_cast<size_t>(INT32_MAX / 4);
}

template <class Char>
std::basic_string<Char> trim_right_impl(std::basic_string_view<Char> text) {
    size_t end = text.size();
    while (end > 0 && text[end - 1] == Char(' ')) {
        --end;
    }
    if (end == 0 && !text.empty()) {
        TK_TRACE("Special processing for all-spaces-string");
    }
    return std::basic_string<Char>(text.substr(0, end));
}

template <class Char>
std::basic_string<Char> trim_left_impl(std::basic_string_view<Char> text) {
    size_t begin = 0;
    while (begin < text.size() && text[begin] == Char(' ')) {
        ++begin;
    }
    if (begin == text.size() && !text.empty()) {
        TK_TRACE("Special processing for all-spaces-string");
    }
    return std::basic_string<Char>(text.substr(begin));
}

template <class Char>
std::basic_string<Char> trim_impl(std::basic_string_view<Char> text) {
    size_t end = text.size();
    while (end > 0 && text[end - 1] == Char(' ')) {
        --end;
    }
    if (end == 0) {
        if (!text.empty()) {
            TK_TRACE("Special processing for all-spaces-string");
        }
        return {};
    }
    size_t begin = 0;
    while (text[begin] == Char(' ')) {
        ++begin;
    }
    return std::basic_string<Char>(text.substr(begin, end - begin));
}

// Maps every code point on its own (ICU's simple case mapping), like the C runtime's towupper
// and towlower: a name keeps its length ("\u00df" stays one character instead of becoming "SS"),
// which matters for names checked against length limits afterwards.
template <class Mapper>
void map_case(std::u16string& text, Mapper mapper) {
    const size_t length = text.size();
    size_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        const size_t start = i;
        U16_NEXT(text.data(), i, length, c);
        const UChar32 mapped = mapper(c);
        if (mapped == c) {
            continue;
        }
        if (U16_LENGTH(mapped) == static_cast<int32_t>(i - start)) {
            size_t o = start;
            UBool error = false;
            U16_APPEND(text.data(), o, length, mapped, error);
            (void)error;
        }
    }
}

// Code page 1258 encodes Vietnamese tone marks as combining characters; decoded text is
// brought to its precomposed (NFC) form, as the Windows conversion does.
void compose_precomposed(std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status) ||
        unorm2_isNormalized(nfc, text.data(), static_cast<int32_t>(text.size()), &status) ||
        U_FAILURE(status)) {
        return;
    }
    thread_local std::u16string scratch;
    scratch.resize(text.size());
    status = U_ZERO_ERROR;
    const int32_t length =
        unorm2_normalize(nfc, text.data(), static_cast<int32_t>(text.size()), scratch.data(),
                         static_cast<int32_t>(scratch.size()), &status);
    // NFC of this text is never longer than the text itself.
    if (U_SUCCESS(status) || status == U_STRING_NOT_TERMINATED_WARNING) {
        text.assign(scratch.data(), static_cast<size_t>(length));
    }
}

}  // namespace

std::string tk_to_utf8(std::u16string_view text) {
    std::string out;
    if (too_long(text.size())) {
        throw_conversion("Cannot convert to UTF8 string: ", U_INDEX_OUTOFBOUNDS_ERROR);
    }
    const UErrorCode status = utf16_to_utf8(text, out);
    if (U_FAILURE(status)) {
        throw_conversion("Cannot convert to UTF8 string: ", status);
    }
    return out;
}

std::u16string tk_from_utf8(std::string_view text) {
    std::u16string out;
    if (too_long(text.size())) {
        throw_conversion("Cannot convert to UNICODE string: ", U_INDEX_OUTOFBOUNDS_ERROR);
    }
    const UErrorCode status = utf8_to_utf16(text, out);
    if (U_FAILURE(status)) {
        throw_conversion("Cannot convert to UNICODE string: ", status);
    }
    return out;
}

std::string tk_to_ansi(std::u16string_view text, int codepage) {
    static constexpr const char* failure = "Cannot convert to ANSI string: ";
    std::string out;
    if (too_long(text.size())) {
        throw_conversion(failure, U_INDEX_OUTOFBOUNDS_ERROR);
    }
    if (codepage == -1 || codepage == 65001) {
        const UErrorCode status = utf16_to_utf8(text, out);
        if (U_FAILURE(status)) {
            throw_conversion(failure, status);
        }
        return out;
    }
    UConverter* converter = tk_codepage_converter(codepage);
    if (converter == nullptr) {
        throw_conversion(failure, U_UNSUPPORTED_ERROR);
    }
    if (text.empty()) {
        return out;
    }
    out.resize(static_cast<size_t>(
        UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(converter))));
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                           text.data(), static_cast<int32_t>(text.size()), &status);
    if (status == U_STRING_NOT_TERMINATED_WARNING) {
        status = U_ZERO_ERROR;
    }
    if (U_FAILURE(status)) {
        throw_conversion(failure, status);
    }
    out.resize(static_cast<size_t>(length));
    return out;
}

std::u16string tk_ansi_to_ucs2(std::string_view bytes, int codepage) {
    std::u16string out;
    tk_ansi_to_ucs2(bytes, codepage, out);
    return out;
}

void tk_ansi_to_ucs2(std::string_view bytes, int codepage, std::u16string& out) {
    static constexpr const char* failure = "Cannot convert to UNICODE string: ";
    TK_TRACE("tk_ansi_to_ucs2 hex(%s)", tk_hex_dump(bytes));
    if (too_long(bytes.size())) {
        throw_conversion(failure, U_INDEX_OUTOFBOUNDS_ERROR);
    }
    if (codepage == 65001) {
        const UErrorCode status = utf8_to_utf16(bytes, out);
        if (U_FAILURE(status)) {
            throw_conversion(failure, status);
        }
        return;
    }
    UConverter* converter = tk_codepage_converter(codepage);
    if (converter == nullptr) {
        // A code page this build cannot convert falls back to the system's ANSI code page.
        converter = tk_codepage_converter(0);
        if (converter == nullptr) {
            throw_conversion(failure, U_UNSUPPORTED_ERROR);
        }
    }
    if (bytes.empty()) {
        out.clear();
        return;
    }
    // One UTF-16 unit per byte is enough for every code page here except GB18030's four-byte
    // forms that make a surrogate pair (two units for four bytes), so the first try fits.
    out.resize(bytes.size());
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                   bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<size_t>(length));
        status = U_ZERO_ERROR;
        length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                               bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    }
    if (status == U_STRING_NOT_TERMINATED_WARNING) {
        status = U_ZERO_ERROR;
    }
    if (U_FAILURE(status)) {
        out.clear();
        throw_conversion(failure, status);
    }
    out.resize(static_cast<size_t>(length));
    if (codepage == 1258) {
        compose_precomposed(out);
    }
}

bool tk_codepage_supported(int codepage) {
    return codepage == -1 || codepage == 65001 || tk_codepage_converter(codepage) != nullptr;
}

std::u16string tk_a2w(std::string_view text) {
    std::u16string out;
    if (!too_long(text.size())) {
        utf8_to_utf16(text, out);
    }
    return out;
}

std::string tk_w2a(std::u16string_view text) {
    std::string out;
    if (!too_long(text.size())) {
        utf16_to_utf8(text, out);
    }
    return out;
}

std::string tk_trim(std::string_view text) {
    return trim_impl(text);
}
std::u16string tk_trim(std::u16string_view text) {
    return trim_impl(text);
}
std::string tk_trim_left(std::string_view text) {
    return trim_left_impl(text);
}
std::u16string tk_trim_left(std::u16string_view text) {
    return trim_left_impl(text);
}
std::string tk_trim_right(std::string_view text) {
    return trim_right_impl(text);
}
std::u16string tk_trim_right(std::u16string_view text) {
    return trim_right_impl(text);
}

const char* tk_hex_dump(std::string_view bytes) {
    thread_local std::string buffer;
    buffer.resize(bytes.size() * 2);
    tk_bytes_to_hex(bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                    buffer.data());
    return buffer.c_str();
}

void tk_bytes_to_hex(size_t count, const unsigned char* bytes, char* out) {
    TK_ASSERT(out != nullptr, "tk_utils.cpp");
    TK_ASSERT(count == 0 || bytes != nullptr, "tk_utils.cpp");
    static constexpr char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    out[2 * count] = 0;
}

namespace tk_wstring {

std::u16string& to_upper(std::u16string& text) {
    TK_TRACEW(u"tk_wstring::to_upper(%s)", text.c_str());
    map_case(text, [](UChar32 c) { return u_toupper(c); });
    return text;
}

std::u16string& to_lower(std::u16string& text) {
    TK_TRACEW(u"tk_wstring::to_lower(%s)", text.c_str());
    TK_LOG(2, "Step #0");
    map_case(text, [](UChar32 c) { return u_tolower(c); });
    TK_LOG(2, "Step #1");
    TK_LOG(2, "Step #2");
    return text;
}

std::u16string replace_all(std::u16string text, std::u16string_view from, std::u16string_view to) {
    TK_TRACEW(u"tk_wstring::replace_all(%s,%s)", std::u16string(from).c_str(),
              std::u16string(to).c_str());
    if (from.empty()) {
        return text;
    }
    size_t position = text.find(from);
    while (position != std::u16string::npos) {
        text.replace(position, from.size(), to);
        position = text.find(from, position + to.size());
    }
    return text;
}

bool split(std::u16string_view text, char16_t separator, std::vector<std::u16string>& out) {
    TK_TRACEW(u"tk_wstring::split(%c)", separator);
    out.clear();
    if (text.empty()) {
        return true;
    }
    size_t begin = 0;
    while (true) {
        const size_t end = text.find(separator, begin);
        if (end == std::u16string_view::npos) {
            out.emplace_back(text.substr(begin));
            return true;
        }
        out.emplace_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

bool iequals(std::u16string_view a, std::u16string_view b) {
    if (too_long(a.size()) || too_long(b.size())) {
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    const int32_t result =
        u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), U_FOLD_CASE_DEFAULT, &status);
    return U_SUCCESS(status) && result == 0;
}

}  // namespace tk_wstring
