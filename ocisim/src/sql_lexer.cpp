#include "sql_lexer.h"

#include <cctype>

#include "ora_error.h"
#include "text_codec.h"

namespace ocisim {
namespace {

bool ident_start(unsigned char c) {
    return std::isalpha(c) || c >= 0x80;
}
bool ident_part(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

}  // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = sql.size();
    while (true) {
        // Blanks, -- comments, /* */ comments and /*+ */ hints.
        while (i < n) {
            if (std::isspace(static_cast<unsigned char>(sql[i]))) {
                ++i;
            } else if (sql.compare(i, 2, "--") == 0) {
                while (i < n && sql[i] != '\n') {
                    ++i;
                }
            } else if (sql.compare(i, 2, "/*") == 0) {
                size_t close = sql.find("*/", i + 2);
                i = close == std::string_view::npos ? n : close + 2;
            } else {
                break;
            }
        }
        Token t;
        t.begin = i;
        if (i >= n) {
            t.kind = Tok::End;
            t.end = n;
            out.push_back(std::move(t));
            return out;
        }
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
            t.kind = Tok::NString;
            ++i;
            c = '\'';
        } else {
            t.kind = Tok::String;
        }
        if (c == '\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        t.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                t.text += sql[i++];
            }
            if (!closed) {
                throw ora(1756);
            }
        } else if (c == '"') {
            t.kind = Tok::QuotedIdent;
            size_t close = sql.find('"', i + 1);
            if (close == std::string_view::npos) {
                throw ora(1740);
            }
            t.text = std::string(sql.substr(i + 1, close - i - 1));
            if (t.text.empty()) {
                throw ora(1741);
            }
            i = close + 1;
        } else if (ident_start(c)) {
            t.kind = Tok::Ident;
            size_t b = i;
            while (i < n && ident_part(static_cast<unsigned char>(sql[i]))) {
                ++i;
            }
            t.text = upper_ascii(sql.substr(b, i - b));
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n &&
                                       std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            t.kind = Tok::Number;
            size_t b = i;
            while (i < n && (std::isdigit(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) {
                ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t e = i + 1;
                if (e < n && (sql[e] == '+' || sql[e] == '-')) {
                    ++e;
                }
                if (e < n && std::isdigit(static_cast<unsigned char>(sql[e]))) {
                    i = e;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) {
                        ++i;
                    }
                }
            }
            t.text = std::string(sql.substr(b, i - b));
        } else if (c == ':' && i + 1 < n &&
                   (ident_part(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '"')) {
            t.kind = Tok::Bind;
            ++i;
            if (sql[i] == '"') {
                size_t close = sql.find('"', i + 1);
                if (close == std::string_view::npos) {
                    throw ora(1740);
                }
                t.text = std::string(sql.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                size_t b = i;
                while (i < n && ident_part(static_cast<unsigned char>(sql[i]))) {
                    ++i;
                }
                t.text = upper_ascii(sql.substr(b, i - b));
            }
        } else {
            t.kind = Tok::Op;
            static constexpr std::string_view kTwo[] = {"<>", "!=", "^=", "<=", ">=", "||", ":="};
            bool two = false;
            for (std::string_view op : kTwo) {
                if (sql.compare(i, 2, op) == 0) {
                    t.text = std::string(op);
                    i += 2;
                    two = true;
                    break;
                }
            }
            if (!two) {
                static constexpr std::string_view kOne = "(),.;=<>+-*/";
                if (kOne.find(static_cast<char>(c)) == std::string_view::npos) {
                    throw ora(911);
                }
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        t.end = i;
        out.push_back(std::move(t));
    }
}

}  // namespace ocisim
