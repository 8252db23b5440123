#include "ora/ora_literal_reader.hpp"

#include "ora/ora_column_value.hpp"
#include "ora/ora_util.hpp"

namespace {

bool starts_with(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Reads the quoted literal that starts at `pos` ('' inside stands for one quote) into `out`;
// answers the position after its closing quote, or npos.
size_t read_quoted(std::u16string_view text, size_t pos, std::u16string& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != u'\'') {
        return std::u16string_view::npos;
    }
    for (size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] != u'\'') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'\'') {
            out += u'\'';
            ++i;
        } else {
            return i + 1;
        }
    }
    return std::u16string_view::npos;
}

struct date_form {
    char16_t shape;
    std::u16string_view call;
    std::u16string_view tail;
};

constexpr date_form date_forms[] = {
    {ora_shape::time, u"to_date(", u", 'HH24-MI-SS')"},
    {ora_shape::date, u"to_date(", u", 'YYYY-MM-DD')"},
    {ora_shape::date_text, u"to_date(", u", 'YYYY-MM-DD HH24:MI:SS')"},
    {ora_shape::timestamp_text, u"TO_TIMESTAMP(", u", 'YYYY-MM-DD HH24:MI:SS.FF3')"},
};

}  // namespace

char16_t read_literal(std::u16string_view literal, std::u16string& text) {
    text.clear();
    if (literal == u"NULL") {
        return ora_shape::null;
    }
    const bool b_national = starts_with(literal, u"N'");
    if (b_national || starts_with(literal, u"'")) {
        if (read_quoted(literal, b_national ? 1 : 0, text) != literal.size()) {
            return 0;
        }
        if (text.empty()) {
            return ora_shape::null;  // Oracle reads '' as NULL
        }
        return b_national ? ora_shape::national : ora_shape::text;
    }
    for (const date_form& form : date_forms) {
        if (!starts_with(literal, form.call)) {
            continue;
        }
        const size_t end = read_quoted(literal, form.call.size(), text);
        if (end != std::u16string_view::npos && literal.substr(end) == form.tail) {
            return text.empty() ? ora_shape::null : form.shape;
        }
    }
    if (starts_with(literal, u"HEXTORAW(")) {
        const size_t end = read_quoted(literal, 9, text);
        if (end + 1 == literal.size() && literal.back() == u')' && !text.empty()) {
            return ora_shape::hex;
        }
        return 0;
    }
    if (is_number_text(literal)) {
        text.assign(literal);
        return ora_shape::number;
    }
    return 0;
}

void append_bound_value(char16_t shape, std::u16string_view name, std::u16string& out) {
    for (const date_form& form : date_forms) {
        if (form.shape == shape) {
            out += form.call;
            out += name;
            out += form.tail;
            return;
        }
    }
    if (shape == ora_shape::hex) {
        out += u"HEXTORAW(";
        out += name;
        out += u')';
        return;
    }
    out += name;
}
