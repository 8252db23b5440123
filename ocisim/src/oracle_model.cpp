#include "oracle_model.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace ocisim {
namespace {

constexpr char kRowidAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void put_base64(std::string& out, int64_t value, int width) {
    std::string part(static_cast<size_t>(width), 'A');
    for (int i = width - 1; i >= 0; --i) {
        part[static_cast<size_t>(i)] = kRowidAlphabet[value & 63];
        value >>= 6;
    }
    out += part;
}

bool get_base64(std::string_view text, int64_t* value) {
    int64_t v = 0;
    for (char c : text) {
        const char* p = std::find(kRowidAlphabet, kRowidAlphabet + 64, c);
        if (p == kRowidAlphabet + 64) {
            return false;
        }
        v = (v << 6) | (p - kRowidAlphabet);
    }
    *value = v;
    return true;
}

constexpr std::string_view kReserved[] = {
    "ACCESS",    "ADD",     "ALL",        "ALTER",      "AND",        "ANY",       "AS",
    "ASC",       "AUDIT",   "BETWEEN",    "BY",         "CHAR",       "CHECK",     "CLUSTER",
    "COLUMN",    "COMMENT", "COMPRESS",   "CONNECT",    "CREATE",     "CURRENT",   "DATE",
    "DECIMAL",   "DEFAULT", "DELETE",     "DESC",       "DISTINCT",   "DROP",      "ELSE",
    "EXCLUSIVE", "EXISTS",  "FILE",       "FLOAT",      "FOR",        "FROM",      "GRANT",
    "GROUP",     "HAVING",  "IDENTIFIED", "IMMEDIATE",  "IN",         "INCREMENT", "INDEX",
    "INITIAL",   "INSERT",  "INTEGER",    "INTERSECT",  "INTO",       "IS",        "LEVEL",
    "LIKE",      "LOCK",    "LONG",       "MAXEXTENTS", "MINUS",      "MLSLABEL",  "MODE",
    "MODIFY",    "NOAUDIT", "NOCOMPRESS", "NOT",        "NOWAIT",     "NULL",      "NUMBER",
    "OF",        "OFFLINE", "ON",         "ONLINE",     "OPTION",     "OR",        "ORDER",
    "PCTFREE",   "PRIOR",   "PUBLIC",     "RAW",        "RENAME",     "RESOURCE",  "REVOKE",
    "ROW",       "ROWID",   "ROWNUM",     "ROWS",       "SELECT",     "SESSION",   "SET",
    "SHARE",     "SIZE",    "SMALLINT",   "START",      "SUCCESSFUL", "SYNONYM",   "SYSDATE",
    "TABLE",     "THEN",    "TO",         "TRIGGER",    "UID",        "UNION",     "UNIQUE",
    "UPDATE",    "USER",    "VALIDATE",   "VALUES",     "VARCHAR",    "VARCHAR2",  "VIEW",
    "WHENEVER",  "WHERE",   "WITH",
};

}  // namespace

std::optional<Release> find_release(std::string_view name) {
    auto make = [](const char* n, int major, int minor, int limit, const char* banner) {
        return Release{n, major, minor, limit, true, banner};
    };
    if (name == "10g") {
        return make("10g", 10, 2, 30,
                    "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Prod");
    }
    if (name == "11g") {
        return make("11g", 11, 2, 30,
                    "Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production");
    }
    if (name == "12.1" || name == "12c") {
        return make("12.1", 12, 1, 30,
                    "Oracle Database 12c Enterprise Edition Release 12.1.0.2.0 - 64bit Production");
    }
    if (name == "12.2") {
        return make("12.2", 12, 2, 128,
                    "Oracle Database 12c Enterprise Edition Release 12.2.0.1.0 - 64bit Production");
    }
    if (name == "18c") {
        return make("18c", 18, 0, 128,
                    "Oracle Database 18c Enterprise Edition Release 18.0.0.0.0 - Production");
    }
    if (name == "19c") {
        return make("19c", 19, 0, 128,
                    "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    }
    if (name == "21c") {
        return make("21c", 21, 0, 128,
                    "Oracle Database 21c Enterprise Edition Release 21.0.0.0.0 - Production");
    }
    if (name == "23ai") {
        return make("23ai", 23, 0, 128,
                    "Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for "
                    "Free");
    }
    return std::nullopt;
}

std::string known_releases() {
    return "10g 11g 12.1 12.2 18c 19c 21c 23ai";
}

bool is_reserved_word(std::string_view upper_word) {
    return std::find(std::begin(kReserved), std::end(kReserved), upper_word) != std::end(kReserved);
}

std::string encode_rowid(int64_t object_id, int64_t sqlite_rowid) {
    std::string out;
    out.reserve(18);
    put_base64(out, object_id, 6);
    put_base64(out, 1 + (sqlite_rowid >> 46), 3);  // relative file number
    put_base64(out, (sqlite_rowid >> 10) & ((int64_t{1} << 36) - 1), 6);
    put_base64(out, sqlite_rowid & 1023, 3);
    return out;
}

bool decode_rowid(std::string_view text, int64_t* object_id, int64_t* sqlite_rowid) {
    int64_t file = 0;
    int64_t block = 0;
    int64_t row = 0;
    if (text.size() != 18 || !get_base64(text.substr(0, 6), object_id) ||
        !get_base64(text.substr(6, 3), &file) || !get_base64(text.substr(9, 6), &block) ||
        !get_base64(text.substr(15, 3), &row) || file < 1) {
        return false;
    }
    *sqlite_rowid = ((file - 1) << 46) | (block << 10) | row;
    return true;
}

std::string system_constraint_name(int64_t serial) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "SYS_C%07lld", static_cast<long long>(serial));
    return buf;
}

}  // namespace ocisim
