// Real tables written by other programs (dBASE, FoxPro, Visual FoxPro, Clipper, BDE, shapefile
// writers, the fixtures of other DBF libraries): every one must be listed with its folder, open -
// or be refused with the reader's own message for the damage listed below - and read to its last
// record without a crash. Where an independent reader (dbfread) recorded what it decoded, every
// value is compared with ours.
//
// dbfread is not always right. Each difference the comparison accepts belongs to a known kind,
// named where it is accepted with the reason it is not a fault of ours, is checked as narrowly as
// that kind allows (the accepted value must still follow from the same bytes), and is counted;
// every other difference fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dbf/dbf_codepage.hpp"
#include "dbf/dbf_database.hpp"
#include "dbf/dbf_exception.hpp"
#include "dbf/dbf_record.hpp"
#include "dbf/dbf_recordset.hpp"
#include "support/scripted_user_interface.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_wstring.hpp"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

const fs::path samples_root = fs::path(BRIXEL_SHARED_DIR) / "dbf-samples";

// The tables we refuse to open, by sample repository and file name: the message, and the damage
// that calls for it.
struct refusal {
    std::string message, why;
};
const std::string bad_format = dbf_msg_bad_format;
const std::map<std::string, refusal> refused_tables = {
    {"JxBase: mybase.dbf", {bad_format, "an empty file"}},
    {"infused-dbf: polygon.dbf", {bad_format, "record length 1"}},
    {"shapefile-js: empty.dbf", {bad_format, "record length 1"}},
    {"javadbf: sids.dbc",
     {bad_format, "100 records of 168 bytes in a file of 5354, and what is there is packed"}},
    {"javadbf: storm.dbc",
     {bad_format, "100 records of 71 bytes in a file of 1443, and what is there is packed"}},
    {"NDbfReader: ZeroSizeColumn.dbf", {bad_format, "a numeric field of length 0"}},
    {"infused-dbf: dbase_02.dbf",
     {bad_format, "a dBASE II header: read as ours, 8323072 records in 2048 bytes"}},
    {"dbase-rs: stations_with_deleted.dbf",
     {bad_format, "four fields of 254 bytes in records of 1016"}},
    {"majkel89-dbase: simple4.dbf",
     {bad_format,
      "version byte 0x04 with 32-byte descriptors: read as 48-byte ones, the fields "
      "do not fit the record"}},
    {"JxBase: 111.dbf", {dbf_msg_memo_corrupted, "block length 0 in the .dbt header"}},
    {"JxBase: 112.dbf", {dbf_msg_memo_corrupted, "block length 0 in the .dbt header"}},
};

std::string file_bytes(const fs::path& p) {
    std::ostringstream bytes;
    bytes << std::ifstream(p, std::ios::binary).rdbuf();
    return bytes.str();
}
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool parse_double(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0';
}

// A decimal text without trailing fraction zeros and without a trailing point.
std::string normal_decimal(std::string t) {
    if (t.find('.') != std::string::npos && t.find_first_of("eE") == std::string::npos) {
        while (t.back() == '0') {
            t.pop_back();
        }
        if (t.back() == '.') {
            t.pop_back();
        }
    }
    return t == "-0" ? "0" : t;
}

// Equal texts, except that dbfread's U+FFFD (a byte it could not decode as ASCII) may stand for
// any character of ours outside ASCII.
bool chars_match(const std::u16string& mine, const std::u16string& theirs) {
    if (mine.size() != theirs.size()) {
        return false;
    }
    for (size_t i = 0; i < mine.size(); ++i) {
        if (mine[i] != theirs[i] && (theirs[i] != u'\uFFFD' || mine[i] < 0x80)) {
            return false;
        }
    }
    return true;
}

// The code page number of one of dbfread's codec names, 0 when we cannot tell.
int codepage_of_codec(const std::string& codec) {
    static const std::map<std::string, int> named = {
        {"ascii", 20127},      {"mac_roman", 10000}, {"mac_cyrillic", 10007}, {"mac_greek", 10006},
        {"mac_latin2", 10029}, {"gbk", 936},         {"big5", 950},           {"shift_jis", 932},
        {"euc_kr", 949},       {"latin1", 28591},    {"utf-8", 65001},
    };
    if (auto it = named.find(codec); it != named.end()) {
        return it->second;
    }
    return codec.rfind("cp", 0) == 0 ? std::atoi(codec.c_str() + 2) : 0;
}

struct table_facts {
    int codepage = 0;        // what we decode with
    std::string codec;       // what dbfread decoded with
    uint32_t dbt_block = 0;  // dBASE IV .dbt block size
    int memo_kind = 0;
};

struct report {
    std::map<std::string, std::pair<size_t, std::string>> counts;  // by kind: values, a table
    std::vector<std::string> failures;
    size_t tables = 0, opened = 0, compared_tables = 0, compared_values = 0, records = 0;

    bool accept(const std::string& k, const std::string& table) {
        ++counts[k].first;
        counts[k].second = table;
        return true;
    }
    void fail(const std::string& table, const std::string& what) {
        if (failures.size() < 100) {
            failures.push_back(table + ": " + what.substr(0, 400));
        }
    }
};

// Compares a text of ours with dbfread's: a field value of letter `type`, or a field name
// (type 0). True when equal or explained.
bool same_text(char type, std::u16string mine, std::u16string theirs, const table_facts& t,
               const std::string& table, report& r) {
    if (mine == theirs) {
        return true;
    }
    // C padded with NULs: dbfread strips trailing NULs; our text ends at its first NUL.
    if (type == 'C' && mine.size() < theirs.size() && theirs[mine.size()] == u'\0' &&
        theirs.compare(0, mine.size(), mine) == 0) {
        return r.accept("trailing_nul", table);
    }
    // FoxPro and dBASE IV memos end at their first NUL; dbfread keeps the memo's whole length.
    if (type == 'M' && t.memo_kind != 1 && t.memo_kind != 16 && theirs.size() > mine.size() &&
        theirs[mine.size()] == u'\0' && chars_match(mine, theirs.substr(0, mine.size()))) {
        return r.accept("memo_cut_at_nul", table);
    }
    // dBASE IV memo: dbfread assumes blocks of 512 bytes, and reads up to 8 bytes past the text
    // and cuts at 0x1F.
    const char* text_kind = nullptr;
    if (type == 'M' && t.memo_kind == 3) {
        if (t.dbt_block != 512) {
            return r.accept("dbt4_memo_block_size", table);
        }
        const std::u16string cut = mine.substr(0, mine.find(u'\x1F'));
        if (theirs.size() >= cut.size() && theirs.size() <= cut.size() + 8 &&
            theirs.compare(0, cut.size(), cut) == 0) {
            return r.accept("dbt4_memo_tail", table);
        }
        if (theirs.size() <= cut.size() + 8) {
            // The tail may itself hold undecodable bytes: compare the common part only.
            mine = cut.substr(0, std::min(cut.size(), theirs.size()));
            theirs.resize(mine.size());
            text_kind = "dbt4_memo_tail";
        }
    }
    // Code pages. dbfread decodes language driver id 0 (or one it does not know) as ASCII with
    // U+FFFD for each byte above 0x7F where we use the ANSI code page: every other character must
    // be equal. Where it maps the id to another code page than we do, its text encoded back with
    // its code page and decoded with ours must give ours.
    const int their_cp = codepage_of_codec(t.codec);
    const int our_cp = dbf_effective_codepage(t.codepage);
    if (theirs.find(u'\uFFFD') != std::u16string::npos) {
        return chars_match(mine, theirs) &&
               r.accept(text_kind != nullptr ? text_kind : "ascii_replacement", table);
    }
    if (their_cp != 0 && their_cp != our_cp) {
        std::u16string again;
        dbf_decode_text(tk_to_ansi(theirs, their_cp), our_cp, again);
        if (again == mine) {
            return r.accept(text_kind != nullptr ? text_kind : "other_codepage", table);
        }
    }
    return text_kind != nullptr && mine == theirs && r.accept(text_kind, table);
}

// Compares one value of ours (its type and its text) with dbfread's; `raw` is the field's bytes.
bool same_value(char type, VARTYPE vt, const std::u16string& text, const json& e,
                const table_facts& t, const std::string& table, report& r, std::string_view raw) {
    const bool ours_empty = vt == VT_EMPTY || vt == VT_NULL;
    const std::string ot = tk_w2a(text);
    double v = 0;
    // G and P: dbfread reads the object from the memo file; we give the field's own bytes.
    if (type == 'G' || type == 'P') {
        return (ours_empty || ole_variant::is_binary(vt)) && r.accept("general_field", table);
    }
    if (e.is_null()) {
        if (ours_empty) {
            return true;
        }
        // dbfread gives None for a logical '?' or blank; every byte but T, t, Y, y is false.
        if (type == 'L' && vt == VT_BOOL && ot == "0") {
            return r.accept("unknown_logical", table);
        }
        // Asterisks for a number that did not fit: dbfread gives None, we 0 (or empty).
        if ((type == 'N' || type == 'F') && raw.find_first_of("0123456789") == raw.npos &&
            parse_double(normal_decimal(ot), v) && v == 0) {
            return r.accept("numeric_stars", table);
        }
        // dbfread gives None for a memo with no block; an empty memo text is the same data.
        return type == 'M' && vt == VT_BSTR && text.empty();
    }
    if (e.is_boolean()) {
        return vt == VT_BOOL && ot == (e.get<bool>() ? "1" : "0");
    }
    if (e.is_number()) {
        if (ours_empty || !parse_double(normal_decimal(ot), v)) {
            return false;
        }
        const double x = e.get<double>();
        if (v == x) {
            return true;
        }
        // F is VT_R4: equal within single precision.
        if (vt == VT_R4 && std::fabs(v - x) <= 1e-6 * std::max(std::fabs(v), std::fabs(x))) {
            return r.accept("single_precision", table);
        }
        // 64-bit integers above 2^53 and VT_R8 renderings: equal to double precision.
        return e.is_number_integer() && std::fabs(v - x) <= 1e-15 * std::fabs(x);
    }
    if (e.is_object() && e.contains("$date")) {
        return vt == VT_DATE && ot == e["$date"].get<std::string>();
    }
    if (e.is_object() && e.contains("$decimal")) {
        return !ours_empty &&
               normal_decimal(ot) == normal_decimal(e["$decimal"].get<std::string>());
    }
    if (e.is_object() && e.contains("$datetime")) {
        // YYYY-MM-DDTHH:MM:SS[.ffffff]: dbfread keeps microseconds, we drop fractions of a
        // second after adding one millisecond.
        const std::string iso = e["$datetime"].get<std::string>();
        if (vt != VT_DATE || iso.size() < 19) {
            return false;
        }
        const long micro = iso.size() > 20 ? std::strtol(iso.c_str() + 20, nullptr, 10) : 0;
        const long whole = std::atoi(iso.c_str() + 11) * 3600L + std::atoi(iso.c_str() + 14) * 60L +
                           std::atoi(iso.c_str() + 17);
        const long secs = (whole * 1000 + micro / 1000 + 1) / 1000;
        char want[32];
        std::snprintf(want, sizeof want, "%.10s %02ld:%02ld:%02ld", iso.c_str(), secs / 3600,
                      (secs % 3600) / 60, secs % 60);
        const std::string ours_full = ot.size() == 10 ? ot + " 00:00:00" : ot;  // midnight
        if (ours_full != want) {
            return false;
        }
        return (micro == 0 && secs == whole) || r.accept("datetime_fraction", table);
    }
    if (e.is_object() && e.contains("$bytes")) {
        // _NullFlags (letter '0'): dbfread gives raw bytes; we read them as text like any
        // letter: leading blanks removed, cut at the first NUL.
        const std::string hex = e["$bytes"].get<std::string>();
        std::string flags;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            flags.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        std::u16string decoded;
        dbf_decode_text(flags, dbf_effective_codepage(t.codepage), decoded);
        const std::u16string want = tk_trim_left(decoded);
        return type == '0' && vt == VT_BSTR &&
               (text == want || text == want.substr(0, want.find(u'\0'))) &&
               r.accept("null_flags_bytes", table);
    }
    if (!e.is_string()) {
        return false;
    }
    if (ours_empty) {
        return e.get<std::string>().empty() && type != 'C';
    }
    return vt == VT_BSTR && same_text(type, text, tk_a2w(e.get<std::string>()), t, table, r);
}

std::string render(const json& e) {
    return e.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The block size a dBASE IV memo file declares, read from the file itself.
uint32_t dbt_block_size(fs::path memo) {
    for (const char* ext : {".dbt", ".DBT", ".Dbt"}) {
        const std::string head = file_bytes(memo.replace_extension(ext));
        if (head.size() >= 22) {
            return static_cast<unsigned char>(head[20]) |
                   (static_cast<unsigned char>(head[21]) << 8);
        }
    }
    return 0;
}

// Reads every record of an open table, comparing with dbfread's records when there are some.
void read_and_compare(dbf_recordset& rs, const fs::path& path, const std::string& rel,
                      const json* expected, report& r) {
    table_facts t;
    t.codepage = rs.get_codepage();
    t.memo_kind = rs.get_memo_kind();
    t.dbt_block = t.memo_kind == 3 ? dbt_block_size(path) : 0;
    const auto& fds = rs.descriptors();
    const std::string file = file_bytes(path);
    std::vector<std::pair<uint32_t, uint32_t>> spans;  // offset in the record, width
    for (uint32_t at = 1; const auto& fd : fds) {
        spans.emplace_back(at, dbf_get_size_2(fd));
        at += dbf_get_advance(fd);
    }

    std::map<int64_t, const json*> by_number;
    std::vector<char> types;
    if (expected != nullptr) {
        t.codec = expected->value("encoding", "");
        for (const auto& rec : (*expected)["records"]) {
            by_number[rec["i"].get<int64_t>()] = &rec;
        }
        for (const auto& f : (*expected)["fields"]) {
            types.push_back(f["type"].get<std::string>()[0]);
        }
        // The same fields, in the same order, with the same names.
        const auto theirs = (*expected)["field_names"].get<std::vector<std::string>>();
        bool b_same = theirs.size() == fds.size();
        for (size_t k = 0; b_same && k < fds.size(); ++k) {
            std::u16string name;
            dbf_decode_text(fds[k].name_view(), dbf_effective_codepage(t.codepage), name);
            b_same = same_text(0, name, tk_a2w(theirs[k]), t, rel, r);
        }
        // A header length too small for any descriptor (0 in a broken FoxBASE file) and no
        // records: we list no fields, dbfread reads descriptors up to the 0x0D terminator.
        if (!b_same && fds.empty() && rs.header().header_length < 33 &&
            rs.header().records_count == 0) {
            r.accept("no_room_for_descriptors", rel);
            expected = nullptr;
            by_number.clear();
        } else if (!b_same) {
            r.fail(rel, "field names differ from dbfread's " + render(json(theirs)));
            expected = nullptr;
            by_number.clear();
        } else {
            ++r.compared_tables;
        }
    }

    int64_t i = 0;
    size_t unmatched_records = 0;
    for (rs.first(); !rs.is_eof(); rs.next(), ++i) {
        udb_record* record = nullptr;
        try {
            record = rs.get_item();
        } catch (const tk_exception& e) {
            const bool zero_length = std::any_of(fds.begin(), fds.end(), [](const auto& fd) {
                return fd.length == 0 && fd.type != 0 && std::strchr("BDFILNTY", fd.type);
            });
            // A fixed-size letter with length byte 0 stops each record with the internal-error
            // assertion; dbfread reads an empty value.
            if (e.level == 2 && zero_length) {
                r.accept("zero_length_fixed_field", rel);
            } else {
                r.fail(rel, "record " + std::to_string(i) + " not read: " + e.message);
            }
            by_number.erase(i);
            continue;
        }
        ++r.records;
        std::vector<std::u16string> texts;
        for (udb_field* f : *record) {
            texts.push_back(f->to_wstring());
        }
        const auto it = by_number.find(i);
        if (expected == nullptr || it == by_number.end()) {
            unmatched_records += expected != nullptr;
            continue;
        }
        const json& rec = *it->second;
        if (static_cast<dbf_record*>(record)->is_deleted != rec["deleted"].get<bool>()) {
            r.fail(rel, "record " + std::to_string(i) + ": deleted flag differs");
        }
        const json& values = rec["values"];
        const size_t record_at =
            rs.header().header_length + static_cast<size_t>(i) * rs.header().record_length;
        for (size_t k = 0; k < record->size() && k < values.size(); ++k) {
            const udb_field& f = *(*record)[k];
            ++r.compared_values;
            const std::string_view raw = std::string_view(file).substr(
                std::min(file.size(), record_at + spans[k].first), spans[k].second);
            if (!same_value(types[k], f.vt(), texts[k], values[k], t, rel, r, raw)) {
                r.fail(rel, "record " + std::to_string(i) + " field " + tk_w2a(f.name) + " ('" +
                                types[k] + "'): ours vt=" + std::to_string(f.vt()) + " " +
                                render(json(tk_w2a(texts[k]))) + ", dbfread " + render(values[k]));
            }
        }
        by_number.erase(it);
    }
    // dbfread reads records past the header's count up to the end of the file; it stops at a
    // 0x1A flag byte and skips records whose flag byte is neither blank nor '*' (we read the
    // header's count: those records are read, not compared).
    if (!by_number.empty()) {
        if (by_number.begin()->first >= static_cast<int64_t>(rs.header().records_count)) {
            r.accept("records_past_header_count", rel);
        } else {
            r.fail(rel, std::to_string(by_number.size()) + " records of dbfread not read");
        }
    }
    if (unmatched_records != 0) {
        r.accept("records_past_eof_marker", rel);
    }
}

// dbfread's decode of a table, when it read one.
const json* load_expected(const std::string& rel, json& holder) {
    std::ifstream in(samples_root / "expected" / (rel + ".dbfread.json"));
    if (!in) {
        return nullptr;
    }
    holder = json::parse(in);
    if (holder.value("ok", false)) {
        return &holder;
    }
    const char* fallback = "fallback_ignore_missing_memofile";
    return holder.contains(fallback) && holder[fallback].value("ok", false) ? &holder[fallback]
                                                                            : nullptr;
}

TEST(dbf_samples, every_table_reads_and_agrees_with_dbfread) {
    if (!fs::is_directory(samples_root)) {
        GTEST_SKIP() << "no sample folder at " << samples_root;
    }
    scripted_user_interface ui;  // a missing memo file is reported, and the table read on
    std::unique_ptr<error_handler> handler;
    if (!error_handler::exists()) {
        size_t count = 0;
        const t_error_message* pairs = ora_error_messages(count);
        handler = std::make_unique<error_handler>(count, pairs);
    }
    error_handler::instance().set_user_interface(&ui);

    std::map<fs::path, std::vector<fs::path>> folders;
    for (const auto& entry : fs::recursive_directory_iterator(samples_root)) {
        const std::string rel = fs::relative(entry.path(), samples_root).string();
        const std::string ext = lower(entry.path().extension().string());
        if (entry.is_regular_file() && (ext == ".dbf" || ext == ".dbc") &&
            rel.rfind("expected/", 0) != 0 && rel.rfind("tools/", 0) != 0) {
            folders[entry.path().parent_path()].push_back(entry.path());
        }
    }

    report r;
    std::set<std::string> refused;
    for (const auto& [folder, files] : folders) {
        // The folder as the conversion sees it: every .dbf listed, by its lower-case name.
        std::set<std::string> listed;
        {
            dbf_database db(folder.u16string(), 1, 0);
            for (const auto& t : db.get_tables()) {
                listed.insert(tk_w2a(t));
            }
        }
        for (const auto& path : files) {
            const std::string rel = fs::relative(path, samples_root).string();
            const bool b_dbf = lower(path.extension().string()) == ".dbf";
            const std::string stem = lower(path.stem().string());
            if (b_dbf && listed.count(stem) == 0) {
                r.fail(rel, "not listed by dbf_database");
            }
            ++r.tables;
            json holder;
            const json* expected = load_expected(rel, holder);
            std::unique_ptr<udb_recordset> owned;
            try {
                if (b_dbf) {
                    dbf_database db(folder.u16string(), 1, 0);
                    owned = db.get_table(tk_a2w(stem), 1);
                } else {
                    owned = std::make_unique<dbf_recordset>(path.u16string(), 1, 0);
                }
            } catch (const dbf_exception& e) {
                const std::string key =
                    rel.substr(0, rel.find('/')) + ": " + path.filename().string();
                refused.insert(key);
                const auto it = refused_tables.find(key);
                if (it == refused_tables.end() || it->second.message != e.message) {
                    r.fail(rel, "refused: " + e.message);
                } else if (expected != nullptr) {
                    r.accept("refused_table", rel);  // dbfread read what is there
                }
                continue;
            }
            ++r.opened;
            read_and_compare(dynamic_cast<dbf_recordset&>(*owned), path, rel, expected, r);
        }
    }
    for (const auto& [key, why] : refused_tables) {
        if (refused.count(key) == 0) {
            r.fail(key, "opened, but it should be refused: " + why.why);
        }
    }

    std::cout << r.tables << " tables: " << r.opened << " opened; " << r.records
              << " records read; " << r.compared_tables << " tables compared with dbfread, "
              << r.compared_values << " values\n";
    for (const auto& [k, count] : r.counts) {
        std::cout << "  accepted " << k << ": " << count.first << " values (e.g. in "
                  << count.second << ")\n";
    }
    for (const auto& f : r.failures) {
        ADD_FAILURE() << f;
    }
    EXPECT_GT(r.opened, 350u);
    error_handler::instance().set_user_interface(nullptr);
}

}  // namespace
