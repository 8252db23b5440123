// Numbers bound in Oracle's own form: the bytes of known values, the range of a NUMBER, and texts
// left to the server.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ora/ora_varnum.hpp"

namespace {

std::vector<int> bytes_of(const char16_t* text) {
    ora_varnum out{};
    if (!to_ora_varnum(text, out)) {
        return {};
    }
    return std::vector<int>(out.begin(), out.begin() + 1 + out[0]);
}

}  // namespace

TEST(ora_varnum, known_values_have_oracles_bytes) {
    const struct {
        const char16_t* text;
        std::vector<int> bytes;
    } cases[] = {
        {u"0", {1, 0x80}},
        {u"-0.000", {1, 0x80}},
        {u"1", {2, 0xC1, 0x02}},
        {u"-1", {3, 0x3E, 0x64, 0x66}},
        {u"100", {2, 0xC2, 0x02}},
        {u"123.45", {4, 0xC2, 0x02, 0x18, 0x2E}},
        {u"-123.45", {5, 0x3D, 0x64, 0x4E, 0x38, 0x66}},
        {u"0.001", {2, 0xBF, 0x0B}},
        {u"+.50", {2, 0xC0, 0x33}},
        {u"1.5E3", {2, 0xC2, 0x10}},
        {u"000120.00", {3, 0xC2, 0x02, 0x15}},
        {u"9.99e125", {3, 0xFF, 0x64, 0x5B}},
        {u"1e-130", {2, 0x80, 0x02}},
        // 40 significant digits fill the 20 digits of a NUMBER; a negative one has no end byte.
        {u"-1234567890123456789012345678901234567890",
         {21,   0x2B, 0x59, 0x43, 0x2D, 0x17, 0x0B, 0x59, 0x43, 0x2D, 0x17,
          0x0B, 0x59, 0x43, 0x2D, 0x17, 0x0B, 0x59, 0x43, 0x2D, 0x17, 0x0B}},
    };
    for (const auto& one : cases) {
        EXPECT_EQ(bytes_of(one.text), one.bytes) << std::u16string(one.text).size();
    }
}

TEST(ora_varnum, what_a_number_cannot_hold_is_left_to_the_server) {
    for (const char16_t* text :
         {u"", u"-", u".", u"1.2.3", u"1e", u"12a", u"1,5", u" 1", u"1e126", u"-1e126", u"1e-131",
          u"12345678901234567890123456789012345678901"}) {
        EXPECT_TRUE(bytes_of(text).empty()) << std::u16string(text).size();
    }
}
