// The type-mapping data files against the Oracle type texts this system produces: every column
// type a table gets can be looked up in ora.map, and every type offered there is one the Oracle
// layer knows and has its parameters in ora.typ.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ora/ora_util.hpp"
#include "tk/tk_wstring.hpp"
#include "tk/tk_yaml_config.hpp"
#include "udb/t_ftd.hpp"

namespace {

const std::string data_dir = BRIXEL_SOURCE_DIR "/data/";

// The lookup the type-mapping dialog makes: the text itself, else its bare name.
const std::vector<std::u16string>* offered(const tk_yaml_config& map, const std::u16string& text) {
    if (const auto found = map.find(text); found != map.end()) {
        return &found->second;
    }
    const std::u16string trimmed = tk_trim(text);
    const auto found =
        map.find(tk_trim(std::u16string_view(trimmed).substr(0, trimmed.find(u'('))));
    return found == map.end() ? nullptr : &found->second;
}

}  // namespace

TEST(ora_type_mapping_data, every_produced_column_type_has_offered_types) {
    tk_yaml_config map;
    ASSERT_TRUE(map.load(data_dir + "ora.map", {}));

    const VARTYPE kinds[] = {VT_BOOL, VT_I1,  VT_I2,      VT_UI1,  VT_I4,   VT_UI2,
                             VT_INT,  VT_UI4, VT_I8,      VT_UI8,  VT_UINT, VT_R4,
                             VT_R8,   VT_CY,  VT_DECIMAL, VT_DATE, VT_BSTR, VT_BLOB};
    const uint32_t sizes[] = {0, 1, 40, ora_max_inline_length, ora_max_inline_length + 1};
    const uint32_t reserved[] = {0, 1, 2, 10, (10u << 8) | 2u, (38u << 8) | 38u};
    for (const VARTYPE kind : kinds) {
        for (const uint32_t size : sizes) {
            for (const uint32_t word : reserved) {
                t_ftd column(size, u"C", kind, false, false, ole_variant(), word, u"");
                for (const bool b_bare : {false, true}) {
                    const std::u16string type = get_ora_native_type(column, b_bare);
                    EXPECT_NE(offered(map, type), nullptr)
                        << "no entry for \"" << tk_w2a(type) << "\" (vartype " << kind << ")";
                }
            }
        }
    }
}

TEST(ora_type_mapping_data, every_offered_type_is_known_and_formats_to_an_entry) {
    tk_yaml_config map;
    tk_yaml_config types;
    ASSERT_TRUE(map.load(data_dir + "ora.map", {}));
    ASSERT_TRUE(types.load(data_dir + "ora.typ", {}));
    for (const auto& [key, list] : map) {
        for (const std::u16string& type : list) {
            // The Oracle layer knows the type, so a mapped column gets its type code.
            EXPECT_EQ(ora_native_types().count(type), 1u) << tk_w2a(type);
            ASSERT_EQ(types.count(type), 1u) << tk_w2a(type);
            // The text a user's choice becomes can be mapped again.
            const auto& kinds = types.at(type);
            const bool b_length = std::find(kinds.begin(), kinds.end(), u"LENGTH") != kinds.end();
            const std::u16string text = format_ora_type_name(type, b_length ? 30 : 0, 9, 2);
            EXPECT_NE(offered(map, text), nullptr) << tk_w2a(text);
            // A type shown with a length takes one, and the other way round.
            EXPECT_EQ(
                text.find(u'(') != std::u16string::npos,
                b_length || std::find(kinds.begin(), kinds.end(), u"PRECISION") != kinds.end())
                << tk_w2a(text);
        }
    }
}
