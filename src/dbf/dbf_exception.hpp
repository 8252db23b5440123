#pragma once
// Failures of the DBF reader. A table whose file does not follow the format, a damaged memo file
// or a memo that cannot be read ends in a dbf_exception; a memo file that is not there at all is
// the one forgivable case and has its own class so that the table can open without it.
// A table that cannot be opened fails at level 1; a damaged value inside one record fails at
// level 0, so that the run may go on with the next record.

#include <string>
#include <utility>

#include "tk/tk_exception.hpp"

inline constexpr const char* dbf_msg_bad_format = "File does not comply with DBF format";
inline constexpr const char* dbf_msg_memo_corrupted = "Memo file is corrupted";
inline constexpr const char* dbf_msg_memo_read_failed = "Failed to read MEMO field";
inline constexpr const char* dbf_msg_no_memo = "Memo file not found";

class dbf_exception : public tk_exception {
  public:
    explicit dbf_exception(std::string text, int error_level = 1)
        : tk_exception(std::move(text), error_level) {}
};

class dbf_no_memo_exception : public dbf_exception {
  public:
    dbf_no_memo_exception() : dbf_exception(dbf_msg_no_memo, 0) {}
};
