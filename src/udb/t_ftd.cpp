#include "udb/t_ftd.hpp"

#include "tk/tk_log.hpp"

t_ftd::t_ftd(uint32_t size_, std::u16string name_, VARTYPE vartype_, bool not_null,
             bool auto_increment, ole_variant default_value_, uint32_t reserved_,
             std::u16string native_type_)
    : size(size_),
      name(std::move(name_)),
      vartype(vartype_),
      native_type(std::move(native_type_)),
      b_auto_increment(auto_increment),
      b_not_null(not_null),
      default_value(std::move(default_value_)),
      reserved(reserved_) {
    TK_TRACE("t_ftd::ctor2");
    TK_LOGW(1, u"\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d", name.c_str(),
            vartype, static_cast<int>(size), b_not_null ? 1 : 0, static_cast<int>(reserved));
}

t_ftd t_ftd::copy_for_destination() const {
    t_ftd copy(*this);
    if (copy.b_auto_increment) {
        copy.b_not_null = false;
    }
    return copy;
}

bool t_ftd::is_numeric_type(VARTYPE type) noexcept {
    switch (type) {
        case VT_BOOL:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL:
        case VT_CY:
            return true;
        default:
            return false;
    }
}

bool t_ftd::is_text_type(VARTYPE type) noexcept {
    return type == VT_BSTR || type == VT_LPSTR || type == VT_LPWSTR;
}

bool t_ftd::is_binary_type(VARTYPE type) noexcept {
    return type == VT_BLOB || type == VT_BLOB_OBJECT || type == VT_BYTE_ARRAY;
}

bool t_ftd::operator==(const t_ftd& other) const {
    if ((vartype == VT_DECIMAL && other.vartype == VT_CY) ||
        (vartype == VT_CY && other.vartype == VT_DECIMAL)) {
        return true;
    }
    if (vartype == other.vartype) {
        return vartype != VT_BSTR || size == other.size;
    }
    return false;
}

bool t_ftd::conform_to(const t_ftd& destination) const {
    TK_TRACE("t_ftd::conform_to");
    TK_TRACE("t_ftd::operator ==");
    if (*this == destination) {
        return true;
    }
    const auto size_rule = [&] { return destination.size == 0 || destination.size >= size; };
    const VARTYPE d = destination.vartype;
    switch (d) {
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_BOOL:
        case VT_DECIMAL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return is_numeric();
        case VT_DATE:
            return vartype == VT_DATE || (vartype == VT_BSTR && size == 19);
        default:
            break;
    }
    if (is_text_type(d)) {
        if (is_text()) {
            return size_rule();
        }
        return !is_binary();
    }
    if (is_binary_type(d)) {
        if (is_text() || is_binary()) {
            return size_rule();
        }
        return true;
    }
    return false;
}
