#include "udb/udb_field_mutator.hpp"

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/t_ftd.hpp"
#include "udb/udb_field.hpp"

namespace {

std::u16string number_text(int32_t value) {
    return tk_a2w(std::to_string(value));
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

void udb_field_mutator::modify2(udb_field& field) const {
    TK_TRACE("udb_field_mutator::modify2");
    field.name = new_name;
    if (vartype != keep_vartype) {
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
