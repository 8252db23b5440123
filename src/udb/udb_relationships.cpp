#include "udb/udb_relationships.hpp"

#include <algorithm>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

udb_relationship& udb_relationships::get_index(const std::u16string& relationship_name) {
    TK_TRACEW(u"udb_relationships::get_index(%s)", relationship_name.c_str());
    for (auto& relationship : *this) {
        if (tk_wstring::iequals(relationship.name, relationship_name)) {
            return relationship;
        }
    }
    TK_FAIL("udb_rel.cpp");
}

const udb_relationship& udb_relationships::get_index(
    const std::u16string& relationship_name) const {
    return const_cast<udb_relationships*>(this)->get_index(relationship_name);
}

bool udb_relationships::is_acceptable_name(const std::u16string& relationship_name) const {
    TK_TRACEW(u"udb_relationships::is_acceptable_name(%s)", relationship_name.c_str());
    return std::none_of(begin(), end(), [&](const udb_relationship& relationship) {
        return tk_wstring::iequals(relationship.name, relationship_name);
    });
}
