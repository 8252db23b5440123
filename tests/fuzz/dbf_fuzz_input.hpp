#pragma once
// The fuzz input of the DBF reader: one byte string that carries a table, its memo file and the
// user's code-page byte, so that the fuzzer mutates all three together.
//
//     bytes 0-3   length n of the table, little-endian (cut to what is there)
//     byte  4     user language driver id (0: the table's own)
//     next n      the .dbf file
//     the rest    the memo file; none at all when empty (the missing-memo path)
//
// The memo bytes are written under every memo extension, so whichever the version byte selects
// is there. Shared by the fuzzer, its seed generator and the regression tests of tests/dbf.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct dbf_fuzz_case {
    std::string dbf;
    std::string memo;
    uint8_t user_ldid = 0;
};

inline std::string dbf_fuzz_pack(const dbf_fuzz_case& c) {
    std::string out(5, '\0');
    const auto n = static_cast<uint32_t>(c.dbf.size());
    for (int k = 0; k < 4; ++k) {
        out[k] = static_cast<char>((n >> (8 * k)) & 0xFF);
    }
    out[4] = static_cast<char>(c.user_ldid);
    out += c.dbf;
    out += c.memo;
    return out;
}

inline dbf_fuzz_case dbf_fuzz_unpack(std::string_view in) {
    dbf_fuzz_case c;
    if (in.size() < 5) {
        c.dbf.assign(in);
        return c;
    }
    uint32_t n = 0;
    for (int k = 0; k < 4; ++k) {
        n |= static_cast<uint32_t>(static_cast<unsigned char>(in[k])) << (8 * k);
    }
    c.user_ldid = static_cast<uint8_t>(in[4]);
    in.remove_prefix(5);
    const size_t dbf_size = n < in.size() ? n : in.size();
    c.dbf.assign(in.substr(0, dbf_size));
    c.memo.assign(in.substr(dbf_size));
    return c;
}
