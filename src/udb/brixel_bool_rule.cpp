#include "udb/brixel_bool_rule.hpp"

#include "tk/tk_log.hpp"
#include "udb/ole_variant.hpp"
#include "udb/t_ftd.hpp"

bool brixel_bool_rule::is_acceptable2(const ole_variant& value) const {
    return value.vt() == VT_BOOL;
}

bool brixel_bool_rule::is_acceptable1(const t_ftd& column) const {
    return column.vartype == VT_BOOL;
}

std::u16string brixel_bool_rule::handle2(const ole_variant& value) const {
    TK_TRACE("brixel_bool_rule::handle2");
    if (value.vt() != VT_BOOL) {
        return {};
    }
    return value.to_bool() ? u"'T'" : u"'F'";
}

std::u16string brixel_bool_rule::handle1(const t_ftd& column) const {
    TK_TRACE("brixel_bool_rule::handle1");
    return column.vartype == VT_BOOL ? u"CHAR(1)" : u"";
}
