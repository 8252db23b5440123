#include "ora/ora_db_mutator.hpp"

#include <string>

#include "ora/ora_util.hpp"
#include "udb/t_ftd.hpp"

ora_db_mutator::ora_db_mutator()
    : udb_db_mutator("ora.map", "ora.typ", &ora_db_mutator::type_code) {}

bool ora_db_mutator::type_code(std::u16string_view base_name, VARTYPE& code) {
    const auto& types = ora_native_types();
    const auto it = types.find(std::u16string(base_name));
    if (it == types.end()) {
        return false;
    }
    code = sqlt_to_vartype(it->second);
    return true;
}

void ora_db_mutator::init_field_description(const t_ftd& column, t_field_description& out) const {
    udb_db_mutator::init_field_description(column, out);
    switch (column.vartype) {
        case VT_I2:
        case VT_UI1:
            out.type = u"NUMBER(5,0)";
            break;
        case VT_I4:
        case VT_UI2:
        case VT_INT:
            out.type = u"NUMBER(11,0)";
            break;
        case VT_R4:
        case VT_R8:
        case VT_CY:
            out.type = u"NUMBER";
            break;
        case VT_BOOL:
        case VT_I1:
            out.type = u"NUMBER(3,0)";
            break;
        case VT_DECIMAL: {
            // The precision counts only when the descriptor carries one at all.
            const int precision = column.reserved == 0 ? 0 : out.precision;
            const std::string text =
                "NUMBER(" + std::to_string(precision) + "," + std::to_string(out.scale) + ")";
            out.type.assign(text.begin(), text.end());
            break;
        }
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_UINT:
            out.type = u"NUMBER(19,0)";
            break;
        default:
            break;
    }
}
