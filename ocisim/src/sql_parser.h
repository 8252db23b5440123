// Recursive-descent parser for the SQL dialect the server accepts.
#pragma once

#include <string>
#include <string_view>

#include "sql_ast.h"

namespace ocisim {

struct ParseOptions {
    int identifier_limit = 128;       // bytes
    int string_literal_limit = 4000;  // bytes
    // A single-byte database character set: the statement text is converted to it before it is
    // parsed.
    bool single_byte_charset = false;
    std::string charset = "AL32UTF8";
    int max_char_bytes = 4;  // of the database character set
    // NLS_LENGTH_SEMANTICS=CHAR: VARCHAR2(n) and CHAR(n) without BYTE or CHAR count characters.
    bool char_length_semantics = false;
    // The client sends N'...' literals aside as national binds (NCHAR literal replacement), so
    // their text does not pass through the database character set.
    bool nchar_literal_replace = false;
};

// Throws OraError with the number Oracle gives for the first problem found.
Statement parse_statement(std::string_view sql, const ParseOptions& options);
// Parses a DEFAULT expression stored in the catalogue.
ExprPtr parse_expression(std::string_view text, const ParseOptions& options);

}  // namespace ocisim
