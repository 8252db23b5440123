// Server behaviour that public sources do not pin down: every such choice of the stand-in lives
// here (and is listed in the README), so a better-documented answer changes one place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ocisim {

// What an unmappable character becomes in a single-byte database character set.
constexpr char32_t kSingleByteReplacement = 0xBF;  // inverted question mark

// How long a session waits for another session's uncommitted changes before it gives up with
// ORA-00054 (the stand-in locks the whole service while a transaction writes).
constexpr int kDefaultLockWaitMs = 3000;

// Execute with zero iterations on DML.
constexpr int kZeroIterationsError = 24333;
// Trigger compiled with errors: the warning record of CREATE TRIGGER.
constexpr int kCompilationWarning = 24344;

// NUMBER limits: 38 significant digits (more are rounded away), magnitudes from 1E-130 up to
// below 1E126. A value of 1E126 or more fails with ORA-01426; one whose magnitude is below
// 1E-130 is stored as zero (the underflow is the guess: the documented part is the range).
constexpr int kNumberDigits = 38;
constexpr int kNumberOverflowExponent = 126;
constexpr int kNumberSmallestExponent = -130;

// Precision and scale the describe reports for computed numbers such as COUNT(*).
constexpr int kComputedNumberPrecision = 0;
constexpr int kComputedNumberScale = -127;

// Privileges a user gets from `ocisim-admin create-user` unless told otherwise (what the
// CONNECT and RESOURCE roles give).
constexpr const char* kDefaultPrivileges[] = {"CREATE SESSION", "CREATE TABLE", "CREATE SEQUENCE",
                                              "CREATE TRIGGER", "CREATE VIEW"};

struct Release {
    std::string name;                  // "19c"
    int major = 19;                    // 19
    int minor = 0;                     // 0
    int identifier_limit;              // bytes
    bool value_too_large_with_column;  // ORA-12899 (10g on) rather than ORA-01401
    std::string banner;                // first row of V$VERSION
};

// Known release names: 10g, 11g, 12.1, 12.2, 18c, 19c, 21c, 23ai. Empty when unknown.
std::optional<Release> find_release(std::string_view name);
std::string known_releases();

bool is_reserved_word(std::string_view upper_word);

// ROWID text of 18 characters: data object number, relative file, block and row number in the
// base-64 alphabet of extended ROWIDs. The SQLite rowid provides block and row.
std::string encode_rowid(int64_t object_id, int64_t sqlite_rowid);
// Returns false for text that is not an 18-character ROWID.
bool decode_rowid(std::string_view text, int64_t* object_id, int64_t* sqlite_rowid);

// SYS_C names of unnamed constraints: SYS_C followed by a zero-padded serial.
std::string system_constraint_name(int64_t serial);

}  // namespace ocisim
