// Splits statement text into tokens: identifiers (quoted and unquoted), literals, bind
// placeholders and operators. Comments and optimizer hints are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ocisim {

enum class Tok { Ident, QuotedIdent, String, NString, Number, Bind, Op, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // identifiers upper-cased when unquoted; literal contents unquoted
    size_t begin = 0;  // byte offsets in the statement text
    size_t end = 0;

    bool is_word(std::string_view upper) const { return kind == Tok::Ident && text == upper; }
    bool is_op(std::string_view op) const { return kind == Tok::Op && text == op; }
};

// Throws OraError (01756 unterminated literal, 00911 invalid character, 01741 "" identifier).
std::vector<Token> tokenize(std::string_view sql);

}  // namespace ocisim
