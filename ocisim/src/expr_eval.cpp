#include "expr_eval.h"

#include "ora_error.h"
#include "oracle_model.h"
#include "text_codec.h"

namespace ocisim {
namespace {

std::string quoted_name(const Expr& e) {
    std::string s;
    if (!e.qualifier.empty()) {
        s = "\"" + e.qualifier.name + "\".";
    }
    return s + "\"" + e.name.name + "\"";
}

Value negate(const Value& v) {
    Decimal d = to_number(v);
    std::string text = d.to_text();
    text = text[0] == '-' ? text.substr(1) : "-" + text;
    return Value::of_number(*Decimal::parse(text));
}

Tri not_tri(Tri t) {
    return t == Tri::True ? Tri::False : (t == Tri::False ? Tri::True : Tri::Unknown);
}

}  // namespace

std::pair<int, int> Evaluator::resolve(const Expr& e) {
    auto it = resolved_.find(&e);
    if (it != resolved_.end()) {
        return it->second;
    }
    std::pair<int, int> found{-1, -1};
    if (sources_ != nullptr) {
        for (size_t s = 0; s < sources_->size(); ++s) {
            const RowSource& src = (*sources_)[s];
            if (!e.qualifier.empty()) {
                const std::string& label = src.alias.empty() ? src.name : src.alias;
                if (label != e.qualifier.name) {
                    continue;
                }
            }
            for (size_t c = 0; c < src.columns.size(); ++c) {
                if (src.columns[c].name == e.name.name) {
                    if (found.first >= 0) {
                        throw ora(918);
                    }
                    found = {static_cast<int>(s), static_cast<int>(c)};
                }
            }
        }
    }
    if (found.first < 0) {
        throw ora(904, {quoted_name(e)});
    }
    resolved_.emplace(&e, found);
    return found;
}

int Evaluator::rowid_source(const Expr& e) {
    if (sources_ != nullptr) {
        for (size_t s = 0; s < sources_->size(); ++s) {
            const RowSource& src = (*sources_)[s];
            const std::string& label = src.alias.empty() ? src.name : src.alias;
            if ((e.qualifier.empty() || label == e.qualifier.name) && src.table_id != 0) {
                return static_cast<int>(s);
            }
        }
    }
    throw ora(904, {"\"ROWID\""});
}

Value Evaluator::eval(const Expr& e, const RowPosition* at) {
    switch (e.kind) {
        case ExprKind::Null:
            return Value::null();
        case ExprKind::Number: {
            auto d = Decimal::parse(e.text);
            if (!d) {
                throw ora(1722);
            }
            return Value::of_number(to_oracle_number(std::move(*d)));
        }
        case ExprKind::String:
            return Value::of_text(e.text, e.national);
        case ExprKind::Bind:
            if (e.bind < 0 || static_cast<size_t>(e.bind) >= binds_.size()) {
                throw ora(1008);
            }
            return binds_[static_cast<size_t>(e.bind)];
        case ExprKind::Column: {
            auto [s, c] = resolve(e);
            if (at == nullptr) {
                throw ora(904, {quoted_name(e)});
            }
            return (*sources_)[static_cast<size_t>(s)]
                .rows[(*at)[static_cast<size_t>(s)]][static_cast<size_t>(c)];
        }
        case ExprKind::Rowid: {
            int s = rowid_source(e);
            const RowSource& src = (*sources_)[static_cast<size_t>(s)];
            Value v;
            v.kind = Value::Kind::Rowid;
            v.bytes = encode_rowid(src.table_id, src.rowids[(*at)[static_cast<size_t>(s)]]);
            return v;
        }
        case ExprKind::NextVal:
            return session_.next_value(e.qualifier.empty() ? session_.user() : e.qualifier.name,
                                       e.name.name);
        case ExprKind::Func:
            return function(e, at);
        case ExprKind::Negate: {
            Value v = eval(*e.args[0], at);
            return v.is_null() ? v : negate(v);
        }
        case ExprKind::Arith:
            return arithmetic(e, at);
        case ExprKind::CountStar:
            throw ora(934);
        case ExprKind::And:
        case ExprKind::Or:
        case ExprKind::Not:
        case ExprKind::IsNull:
        case ExprKind::Compare:
            throw ora(920);
    }
    return Value::null();
}

Value Evaluator::arithmetic(const Expr& e, const RowPosition* at) {
    Value a = eval(*e.args[0], at);
    Value b = eval(*e.args[1], at);
    if (e.text == "||") {
        return Value::of_text(to_text(a) + to_text(b), a.national || b.national);
    }
    if (a.is_null() || b.is_null()) {
        return Value::null();
    }
    Decimal x = to_number(a);
    Decimal y = to_number(b);
    if (e.text == "+") {
        return Value::of_number(to_oracle_number(x + y));
    }
    if (e.text == "-") {
        return Value::of_number(to_oracle_number(x - y));
    }
    if (e.text == "*") {
        return Value::of_number(to_oracle_number(x * y));
    }
    if (y.is_zero()) {
        throw ora(1476);
    }
    return Value::of_number(to_oracle_number(Decimal::divide(x, y, kNumberDigits)));
}

Value Evaluator::function(const Expr& e, const RowPosition* at) {
    const std::string& f = e.text;
    if (f == "SYSDATE") {
        return Value::of_date(current_date_time());
    }
    if (f == "EMPTY_CLOB" || f == "EMPTY_BLOB") {
        Value v;
        v.kind = f == "EMPTY_CLOB" ? Value::Kind::Text : Value::Kind::Raw;
        v.empty_lob = true;
        return v;
    }
    Value a = eval(*e.args[0], at);
    if (f == "NVL") {
        return a.is_null() ? eval(*e.args[1], at) : a;
    }
    if (a.is_null()) {
        return a;
    }
    if (f == "TO_DATE") {
        std::string fmt = "DD-MON-RR";
        if (e.args.size() > 1) {
            Value fv = eval(*e.args[1], at);
            if (fv.is_null()) {
                return Value::null();
            }
            fmt = to_text(fv);
        }
        if (a.kind == Value::Kind::Date) {
            return a;
        }
        return Value::of_date(to_date(to_text(a), fmt));
    }
    if (f == "TO_TIMESTAMP") {
        // Without a format, the session's NLS_TIMESTAMP_FORMAT.
        std::string fmt = "DD-MON-RR HH.MI.SSXFF AM";
        if (e.args.size() > 1) {
            Value fv = eval(*e.args[1], at);
            if (fv.is_null()) {
                return Value::null();
            }
            fmt = to_text(fv);
        }
        if (a.kind == Value::Kind::Date) {
            return Value::of_date(a.date, true);
        }
        return Value::of_date(to_timestamp(to_text(a), fmt), true);
    }
    if (f == "HEXTORAW") {
        if (a.kind == Value::Kind::Raw) {
            return a;
        }
        return Value::of_raw(hex_to_raw(to_text(a)));
    }
    if (f == "UPPER" || f == "LOWER") {
        std::string t = to_text(a);
        for (char& c : t) {
            c = static_cast<char>(f == "UPPER" ? std::toupper(static_cast<unsigned char>(c))
                                               : std::tolower(static_cast<unsigned char>(c)));
        }
        return Value::of_text(t, a.national);
    }
    if (f == "LENGTH") {
        // Binary data counts bytes, character data characters.
        size_t n = a.kind == Value::Kind::Raw ? a.bytes.size() : char_count(to_text(a));
        return Value::of_number(Decimal::from_int(static_cast<int64_t>(n)));
    }
    throw ora(904, {"\"" + f + "\""});
}

Tri Evaluator::test(const Expr& e, const RowPosition* at) {
    switch (e.kind) {
        case ExprKind::And: {
            Tri a = test(*e.args[0], at);
            if (a == Tri::False) {
                return Tri::False;
            }
            Tri b = test(*e.args[1], at);
            if (b == Tri::False) {
                return Tri::False;
            }
            return a == Tri::True && b == Tri::True ? Tri::True : Tri::Unknown;
        }
        case ExprKind::Or: {
            Tri a = test(*e.args[0], at);
            if (a == Tri::True) {
                return Tri::True;
            }
            Tri b = test(*e.args[1], at);
            if (b == Tri::True) {
                return Tri::True;
            }
            return a == Tri::False && b == Tri::False ? Tri::False : Tri::Unknown;
        }
        case ExprKind::Not:
            return not_tri(test(*e.args[0], at));
        case ExprKind::IsNull: {
            bool null = eval(*e.args[0], at).is_null();
            return null != e.negated ? Tri::True : Tri::False;
        }
        case ExprKind::Compare: {
            Value a = eval(*e.args[0], at);
            Value b = eval(*e.args[1], at);
            if (a.is_null() || b.is_null()) {
                return Tri::Unknown;
            }
            if (a.kind == Value::Kind::Rowid || b.kind == Value::Kind::Rowid) {
                int64_t o = 0;
                int64_t r = 0;
                const Value& other = a.kind == Value::Kind::Rowid ? b : a;
                if (!decode_rowid(to_text(other), &o, &r)) {
                    throw ora(1410);
                }
            }
            int c = compare_values(a, b);
            const std::string& op = e.text;
            bool r = op == "="    ? c == 0
                     : op == "<>" ? c != 0
                     : op == "<"  ? c < 0
                     : op == ">"  ? c > 0
                     : op == "<=" ? c <= 0
                                  : c >= 0;
            return r ? Tri::True : Tri::False;
        }
        default:
            throw ora(920);
    }
}

ResultColumn Evaluator::type_of(const Expr& e) {
    ResultColumn rc;
    rc.computed = true;
    switch (e.kind) {
        case ExprKind::Column: {
            auto [s, c] = resolve(e);
            rc = (*sources_)[static_cast<size_t>(s)].columns[static_cast<size_t>(c)];
            return rc;
        }
        case ExprKind::Rowid:
            rowid_source(e);
            rc.type.kind = TypeKind::Rowid;
            rc.computed = false;
            return rc;
        case ExprKind::String:
            rc.type.kind = e.national ? TypeKind::NChar : TypeKind::Char;
            rc.type.length =
                static_cast<int>(e.national                          ? utf16_length(e.text)
                                 : session_.settings().single_byte() ? char_count(e.text)
                                                                     : e.text.size());
            rc.nullable = e.text.empty();
            return rc;
        case ExprKind::Null:
        case ExprKind::Bind:
            rc.type.kind = TypeKind::Varchar2;
            rc.type.length = e.kind == ExprKind::Bind ? kMaxVarchar2Bytes : 0;
            return rc;
        case ExprKind::Func:
            if (e.text == "TO_DATE" || e.text == "SYSDATE") {
                rc.type.kind = TypeKind::Date;
            } else if (e.text == "TO_TIMESTAMP") {
                rc.type.kind = TypeKind::Timestamp;
                rc.type.precision = 9;
            } else if (e.text == "HEXTORAW") {
                rc.type.kind = TypeKind::Raw;
                rc.type.length = kMaxRawBytes;
            } else if (e.text == "EMPTY_CLOB") {
                rc.type.kind = TypeKind::Clob;
            } else if (e.text == "EMPTY_BLOB") {
                rc.type.kind = TypeKind::Blob;
            } else if (e.text == "LENGTH") {
                rc.type.kind = TypeKind::Number;
            } else {
                rc = type_of(*e.args[0]);
                rc.computed = true;
            }
            return rc;
        case ExprKind::Arith:
            if (e.text == "||") {
                rc.type.kind = TypeKind::Varchar2;
                rc.type.length = kMaxVarchar2Bytes;
                return rc;
            }
            rc.type.kind = TypeKind::Number;
            return rc;
        case ExprKind::CountStar:
            rc.nullable = false;
            rc.type.kind = TypeKind::Number;
            return rc;
        case ExprKind::Number:
        case ExprKind::NextVal:
        case ExprKind::Negate:
            rc.type.kind = TypeKind::Number;
            return rc;
        default:
            throw ora(920);
    }
}

void columns_of(const Expr& e, std::vector<std::string>* out) {
    if (e.kind == ExprKind::Column) {
        out->push_back(e.name.name);
    }
    for (const auto& a : e.args) {
        columns_of(*a, out);
    }
}

}  // namespace ocisim
