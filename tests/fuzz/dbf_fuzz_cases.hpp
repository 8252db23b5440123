#pragma once
// The tables the test writer makes for the DBF fuzzer and its regression test: every layout
// with a field of every letter, memo block sizes, and one damaged variant per kind of damage.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/dbf_fuzz_input.hpp"
#include "support/dbf_writer.hpp"

// A table with one field of every letter the reader decodes, two records (one deleted).
inline dbf_writer dbf_fuzz_all_types(uint8_t version) {
    dbf_writer w(version);
    w.codepage(0x03)
        .field("C", 'C', 12)
        .field("N0", 'N', 4)
        .field("N2", 'N', 10, 2)
        .field("NBIG", 'N', 20)
        .field("F", 'F', 12, 3)
        .field("D", 'D', 8)
        .field("L", 'L', 1)
        .field("I", 'I', 4)
        .field("Y", 'Y', 8, 4)
        .field("B", 'B', 8)
        .field("T", 'T', 8)
        .field("G", 'G', 10)
        .field("V", 'V', 8)
        .field("AT", '@', 8)
        .field("PLUS", '+', 4)
        .field("O", 'O', 8);
    if (version != dbf_ver::dbase3 && version != dbf_ver::dbase7) {
        w.field("M", 'M', w.is_vfp() ? 4 : 10);
    }
    const bool memo = w.effective_memo_format() != dbf_memo_format::none;
    const bool has_memo_field = version != dbf_ver::dbase3 && version != dbf_ver::dbase7;
    std::vector<dbf_cell> first = {dbf_cell::text("Zoë & Co"),
                                   dbf_cell::integer(-12),
                                   dbf_cell::number(12.5),
                                   dbf_cell::integer(123456789012345678),
                                   dbf_cell::number(-0.125),
                                   dbf_cell::date(2016, 12, 31),
                                   dbf_cell::logical(true),
                                   dbf_cell::integer(-7),
                                   dbf_cell::currency(123456),
                                   dbf_cell::floating(3.5),
                                   dbf_cell::datetime(2016, 1, 1, 12, 0, 0, 999),
                                   dbf_cell::right("12"),
                                   dbf_cell::text("var"),
                                   dbf_cell::raw(std::string(8, '\x42')),
                                   dbf_cell::integer(1),
                                   dbf_cell::floating(-2.25),
                                   memo ? dbf_cell::memo("first memo text") : dbf_cell::blank()};
    std::vector<dbf_cell> second = {
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::logical_char('?'),
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::blank(),
        dbf_cell::julian(0, 0),
        dbf_cell::blank(),
        dbf_cell::text(""),
        dbf_cell::blank(),
        dbf_cell::integer(2),
        dbf_cell::blank(),
        memo ? dbf_cell::memo(std::string(300, 'm')) : dbf_cell::blank()};
    if (!has_memo_field) {
        first.pop_back();
        second.pop_back();
    }
    w.add_record(first);
    w.add_record(second, true);
    return w;
}

inline std::vector<std::pair<std::string, dbf_fuzz_case>> dbf_fuzz_writer_cases() {
    std::vector<std::pair<std::string, dbf_fuzz_case>> cases;
    const auto put = [&cases](const std::string& name, const dbf_writer& w, uint8_t user_ldid = 0) {
        const dbf_image image = w.build();
        cases.emplace_back(name, dbf_fuzz_case{image.dbf, image.memo, user_ldid});
    };
    const uint8_t versions[] = {dbf_ver::dbase3,      dbf_ver::dbase3_memo, dbf_ver::dbase4_memo,
                                dbf_ver::dbase7,      dbf_ver::dbase7_memo, dbf_ver::vfp,
                                dbf_ver::vfp_autoinc, dbf_ver::vfp_varchar, dbf_ver::foxpro2_memo,
                                dbf_ver::smt_memo,    dbf_ver::foxbase,     0x7B};
    for (uint8_t v : versions) {
        char name[32];
        std::snprintf(name, sizeof name, "types_%02x", v);
        put(name, dbf_fuzz_all_types(v));
        std::snprintf(name, sizeof name, "types_%02x_cp866", v);
        put(name, dbf_fuzz_all_types(v), 0x65);
    }

    // A Visual FoxPro database container memo (.dct) and a table without its memo flag.
    put("vfp_dct", dbf_fuzz_all_types(dbf_ver::vfp).table_flags(0x06));
    put("vfp_no_memo_flag",
        dbf_fuzz_all_types(dbf_ver::vfp).table_flags(0x00).memo_format(dbf_memo_format::fpt));

    // Memo block sizes other than the usual ones.
    put("dbt4_block64", dbf_fuzz_all_types(dbf_ver::dbase4_memo).memo_block_size(64));
    put("fpt_block1", dbf_fuzz_all_types(dbf_ver::foxpro2_memo).memo_block_size(1));
    put("fpt_block512", dbf_fuzz_all_types(dbf_ver::foxpro2_memo).memo_block_size(512));

    // Wide character fields and many fields.
    {
        dbf_writer w(dbf_ver::dbase3);
        w.field("WIDE", 'C', 300).field("N", 'N', 3);
        w.add_record({dbf_cell::text(std::string(300, 'w')), dbf_cell::integer(5)});
        put("wide_char", w);
    }
    {
        dbf_writer w(dbf_ver::dbase3);
        for (int k = 0; k < 40; ++k) {
            w.field("F" + std::to_string(k), k % 2 ? 'N' : 'C', 3);
        }
        w.add_record({});
        put("forty_fields", w);
    }

    // Damaged variants, one per kind of damage.
    const std::vector<std::pair<const char*, std::function<void(dbf_writer&)>>> damages = {
        {"truncated_header", [](dbf_writer& w) { w.damage().dbf_size = 20; }},
        {"truncated_records", [](dbf_writer& w) { w.damage().dbf_size = w.header_length() + 5; }},
        {"no_terminator", [](dbf_writer& w) { w.damage().no_terminator = true; }},
        {"bad_terminator", [](dbf_writer& w) { w.damage().terminator = 0x0A; }},
        {"header_length_short", [](dbf_writer& w) { w.damage().header_length = 40; }},
        {"header_length_long", [](dbf_writer& w) { w.damage().header_length = 0x7FFF; }},
        {"record_length_1", [](dbf_writer& w) { w.damage().record_length = 1; }},
        {"record_count_large", [](dbf_writer& w) { w.damage().record_count = 1000; }},
        {"record_count_negative", [](dbf_writer& w) { w.damage().record_count = 0x80000001u; }},
        {"no_memo_file", [](dbf_writer& w) { w.damage().no_memo_file = true; }},
        {"memo_truncated", [](dbf_writer& w) { w.damage().memo_size = 600; }},
        {"memo_header_only", [](dbf_writer& w) { w.damage().memo_size = 7; }},
        {"memo_block_size_0", [](dbf_writer& w) { w.damage().memo_block_size_field = 0; }},
        {"memo_next_free_0", [](dbf_writer& w) { w.damage().memo_next_free = 0; }},
    };
    const uint8_t damaged_versions[] = {dbf_ver::dbase3_memo,  dbf_ver::dbase4_memo,
                                        dbf_ver::dbase7_memo,  dbf_ver::vfp,
                                        dbf_ver::foxpro2_memo, dbf_ver::smt_memo};
    for (const auto& [damage_name, apply] : damages) {
        for (uint8_t v : damaged_versions) {
            dbf_writer w = dbf_fuzz_all_types(v);
            apply(w);
            char name[64];
            std::snprintf(name, sizeof name, "%s_%02x", damage_name, v);
            put(name, w);
        }
    }

    // Memo references that point nowhere.
    for (uint8_t v : damaged_versions) {
        dbf_writer w(v);
        w.field("M", 'M', w.is_vfp() ? 4 : 10);
        w.add_record({dbf_cell::memo("x")});
        w.add_record({dbf_cell::memo_block(99999)});
        w.add_record({dbf_cell::memo_block(0xFFFFFFFFu)});
        w.add_record({dbf_cell::raw("abc")});
        char name[32];
        std::snprintf(name, sizeof name, "memo_ref_beyond_%02x", v);
        put(name, w);
    }
    return cases;
}
