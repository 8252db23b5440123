#include "udb/udb_field_mutator.hpp"

#include <charconv>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/ole_number_text.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_field.hpp"

namespace {

std::u16string number_text(int32_t value) {
    return tk_a2w(std::to_string(value));
}

// Oracle keeps at most this many significant digits of a NUMBER; more are rounded away.
constexpr int number_digits = 38;

// The precision and scale a mapped number type holds: NUMBER(p,s), NUMBER(p), NUMBER(*,s), the
// integer names; a type without them (NUMBER, FLOAT) bounds only the significant digits
// (scale -1). False for the binary floating-point types, which the user chose knowing they round.
bool number_bounds(std::u16string_view type, int& precision, int& scale) {
    std::u16string text = tk_trim(type);
    tk_wstring::to_upper(text);
    const size_t open = text.find(u'(');
    const std::u16string base = tk_trim(std::u16string_view(text).substr(0, open));
    precision = number_digits;
    scale = -1;
    if (base == u"INTEGER" || base == u"INT" || base == u"SMALLINT") {
        scale = 0;
        return true;
    }
    if (base != u"NUMBER" && base != u"DECIMAL" && base != u"NUMERIC") {
        return base != u"BINARY_FLOAT" && base != u"BINARY_DOUBLE";
    }
    if (open == std::u16string::npos) {
        return true;
    }
    const std::string inside = tk_w2a(text.substr(open + 1));
    int p = 0;
    const char* at = inside.data();
    const char* const end = inside.data() + inside.size();
    if (at < end && *at == '*') {
        p = number_digits;
        ++at;
    } else {
        at = std::from_chars(at, end, p).ptr;
    }
    int s = 0;
    if (at < end && *at == ',') {
        at = std::from_chars(at + 1, end, s).ptr;
    }
    if (p > 0 && p <= number_digits) {
        precision = p;
        scale = s;
    }
    return true;
}

// A floating-point value in the shortest text that reads back as the same value.
std::string shortest_text(const udb_field& field) {
    char buffer[32];
    const auto r = field.vt() == VT_R8 ? std::to_chars(buffer, buffer + sizeof buffer, field.r8())
                                       : std::to_chars(buffer, buffer + sizeof buffer, field.r4());
    return std::string(buffer, r.ptr);
}

[[noreturn]] void refuse(const udb_field& field, const std::string& why) {
    throw tk_exception("Field " + tk_w2a(field.name) + ": " + why, 0);
}

// The field's number as plain decimal text ("-12.5", "0.001", "1200"), checked against the
// mapped type; its text form on the way in is what the source holds, so nothing is rounded.
void to_exact_number(udb_field& field, int precision, int scale) {
    std::string source;
    if (field.vt() == VT_BSTR) {
        source = tk_w2a(field.wstring());
    } else if (field.vt() == VT_R8 || field.vt() == VT_R4) {
        source = shortest_text(field);
    } else {
        source = field.to_string();  // integers, currency and decimals print every digit
    }
    ole_parsed_number number;
    if (ole_failed(ole_parse_number(std::string_view(source), number)) || number.is_based) {
        refuse(field, "the text '" + source + "' is not a number");
    }
    const int digits = number.digit_count;
    const int fraction = number.exponent < 0 ? -number.exponent : 0;
    const int whole = digits + number.exponent > 0 ? digits + number.exponent : 0;
    const bool b_fits = !number.dropped_nonzero && digits <= number_digits &&
                        (scale < 0 ? whole <= 126 && digits - fraction > -130
                                   : fraction <= scale && whole <= precision - scale);
    if (!b_fits) {
        std::string bounds = "NUMBER";
        if (scale >= 0) {
            bounds += "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
        }
        refuse(field, "the number '" + source + "' has more digits than " + bounds + " holds");
    }
    std::u16string& out = field.wstring_buffer();
    if (digits == 0) {
        out += u'0';
        return;
    }
    if (number.negative) {
        out += u'-';
    }
    const int point = digits + number.exponent;  // digits before the decimal point
    if (point <= 0) {
        out += u"0.";
        out.append(static_cast<size_t>(-point), u'0');
    }
    for (int k = 0; k < digits; ++k) {
        if (k == point && point > 0) {
            out += u'.';
        }
        out += static_cast<char16_t>(u'0' + number.digits[k]);
    }
    if (number.exponent > 0) {
        out.append(static_cast<size_t>(number.exponent), u'0');
    }
}

bool is_number_value(VARTYPE type) {
    return type == VT_BSTR || (type != VT_BOOL && t_ftd::is_numeric_type(type));
}

}  // namespace

udb_field_mutator::~udb_field_mutator() = default;

udb_properties::property_map& udb_field_mutator::get_properties() {
    properties.clear();
    properties[u"new_name"] = new_name;
    properties[u"type"] = type;
    properties[u"default_value"] = default_value;
    properties[u"character_set"] = character_set;
    properties[u"length"] = number_text(length);
    properties[u"scale"] = number_text(scale);
    return properties;
}

void udb_field_mutator::modify1(t_ftd& descriptor) const {
    TK_TRACE("udb_field_mutator::modify1");
    if (!new_name.empty()) {
        descriptor.name = new_name;
    }
    if (vartype != keep_vartype) {
        descriptor.vartype = static_cast<VARTYPE>(vartype);
    }
    descriptor.native_type = type;
    TK_TRACEW(u"\tf.native_type=%s", descriptor.native_type.c_str());
    descriptor.size = static_cast<uint32_t>(length);
    TK_TRACE("\tf.size=%d", length);
    descriptor.reserved = reserved;
    // An empty text is no default at all, not a default of empty text.
    descriptor.default_value =
        default_value.empty() ? ole_variant() : ole_variant(std::u16string_view(default_value));
}

void udb_field_mutator::modify2(udb_field& field, udb_values values) const {
    TK_TRACE("udb_field_mutator::modify2");
    field.name = new_name;
    const auto target = static_cast<VARTYPE>(vartype);
    if (values == udb_values::exact && vartype != keep_vartype && target != VT_BOOL &&
        t_ftd::is_numeric_type(target) && is_number_value(field.vt())) {
        // The bounds are read from the type text once, not for every record.
        if (bounds_type_ != type) {
            bounds_type_ = type;
            b_bounded_ = number_bounds(type, bound_precision_, bound_scale_);
        }
        if (b_bounded_) {
            to_exact_number(field, bound_precision_, bound_scale_);
        }
    } else if (vartype != keep_vartype) {
        try {
            field.change_type(static_cast<VARTYPE>(vartype));
        } catch (const ole_cast_exception&) {
            throw tk_exception("Data conversion is not supported for given type mapping", 0);
        } catch (const ole_type_exception&) {
            throw tk_exception("Data conversion is not supported for given type mapping", 0);
        }
    }
    field.size = static_cast<uint32_t>(length);
}
