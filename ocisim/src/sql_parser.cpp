#include "sql_parser.h"

#include "oci_defs.h"
#include "ora_error.h"
#include "oracle_model.h"
#include "sql_lexer.h"
#include "text_codec.h"

namespace ocisim {

bool Statement::is_ddl() const {
    return !std::holds_alternative<Insert>(body) && !std::holds_alternative<Update>(body) &&
           !std::holds_alternative<Delete>(body) && !std::holds_alternative<Select>(body) &&
           !std::holds_alternative<TransactionControl>(body);
}

namespace {

class Parser {
  public:
    Parser(std::string_view sql, const ParseOptions& options)
        : sql_(sql), options_(options), toks_(tokenize(sql)) {}

    Statement statement() {
        Statement st;
        binds_ = &st.binds;
        if (accept_word("CREATE")) {
            st.body = create(st);
        } else if (accept_word("DROP")) {
            st.body = drop(st);
        } else if (accept_word("ALTER")) {
            st.stmt_type = OCI_STMT_ALTER;
            st.body = alter_table();
        } else if (accept_word("INSERT")) {
            st.stmt_type = OCI_STMT_INSERT;
            st.body = insert();
        } else if (accept_word("UPDATE")) {
            st.stmt_type = OCI_STMT_UPDATE;
            st.body = update();
        } else if (accept_word("DELETE")) {
            st.stmt_type = OCI_STMT_DELETE;
            st.body = remove();
        } else if (peek().is_word("SELECT")) {
            st.stmt_type = OCI_STMT_SELECT;
            st.body = select();
        } else if (accept_word("COMMIT") || peek().is_word("ROLLBACK")) {
            bool commit = !accept_word("ROLLBACK");
            accept_word("WORK");
            st.body = TransactionControl{commit};
        } else {
            throw ora(900);
        }
        finish();
        return st;
    }

    ExprPtr lone_expression() {
        std::vector<std::string> binds;
        binds_ = &binds;
        ExprPtr e = expr();
        finish();
        return e;
    }

  private:
    // ---- token helpers ----
    const Token& peek(size_t ahead = 0) const {
        size_t i = pos_ + ahead;
        return i < toks_.size() ? toks_[i] : toks_.back();
    }
    const Token& next() {
        const Token& t = peek();
        if (pos_ < toks_.size() - 1) {
            ++pos_;
        }
        return t;
    }
    bool accept_word(std::string_view w) {
        if (peek().is_word(w)) {
            next();
            return true;
        }
        return false;
    }
    bool accept_op(std::string_view op) {
        if (peek().is_op(op)) {
            next();
            return true;
        }
        return false;
    }
    void expect_word(std::string_view w, int code = 905) {
        if (!accept_word(w)) {
            throw_at_end_or(code);
        }
    }
    void expect_op(std::string_view op) {
        if (accept_op(op)) {
            return;
        }
        if (op == "(") {
            throw ora(906);
        }
        if (op == ")") {
            throw ora(907);
        }
        if (op == "=") {
            throw ora(927);
        }
        throw ora(917);
    }
    [[noreturn]] void throw_at_end_or(int code) {
        if (peek().is_op(";")) {
            throw ora(911);
        }
        throw ora(code);
    }
    void finish() {
        if (peek().kind == Tok::End) {
            return;
        }
        throw_at_end_or(933);
    }

    // ---- identifiers ----
    // Names are statement text too: on a single-byte database they are converted to its
    // character set (characters it lacks become the replacement character), and their length
    // counts bytes in that set.
    std::string db_name(const std::string& text) const {
        std::string name =
            options_.single_byte_charset ? through_charset(text, options_.charset) : text;
        size_t bytes = options_.single_byte_charset ? char_count(name) : name.size();
        if (bytes > static_cast<size_t>(options_.identifier_limit)) {
            throw ora(972);
        }
        return name;
    }
    // A name of an object or column. `reserved_error` is raised for reserved words.
    Ident ident(int reserved_error = 904) {
        const Token& t = peek();
        if (t.kind == Tok::QuotedIdent) {
            next();
            return Ident{db_name(t.text), true};
        }
        if (t.kind == Tok::Ident) {
            if (is_reserved_word(t.text)) {
                if (reserved_error == 904) {
                    throw ora(904, {""});
                }
                throw ora(reserved_error);
            }
            next();
            return Ident{db_name(t.text), false};
        }
        if (t.kind == Tok::End || t.kind == Tok::Op) {
            if (reserved_error == 903) {
                throw ora(903);
            }
            throw_at_end_or(reserved_error == 904 ? 936 : reserved_error);
        }
        throw ora(reserved_error == 904 ? 904 : reserved_error, {""});
    }
    TableRef table_ref() {
        TableRef r;
        r.name = ident(903);
        if (accept_op(".")) {
            r.schema = r.name;
            r.name = ident(903);
        }
        return r;
    }
    std::vector<Ident> column_list() {
        expect_op("(");
        std::vector<Ident> cols;
        do {
            cols.push_back(ident());
        } while (accept_op(","));
        expect_op(")");
        return cols;
    }
    int integer() {
        const Token& t = peek();
        if (t.kind != Tok::Number) {
            throw ora(t.kind == Tok::End ? 907 : 1722);
        }
        next();
        auto d = Decimal::parse(t.text);
        auto v = d ? d->to_int64() : std::nullopt;
        if (!v || *v > 1000000 || *v < -1000000) {
            throw ora(1722);
        }
        return static_cast<int>(*v);
    }
    Decimal signed_number() {
        bool neg = accept_op("-");
        if (!neg) {
            accept_op("+");
        }
        const Token& t = peek();
        if (t.kind != Tok::Number) {
            throw ora(t.kind == Tok::End ? 936 : 1722);
        }
        next();
        auto d = Decimal::parse((neg ? "-" : "") + t.text);
        if (!d) {
            throw ora(1722);
        }
        return *d;
    }

    // ---- column types ----
    ColumnType column_type() {
        ColumnType t;
        const Token& tok = peek();
        if (tok.kind != Tok::Ident) {
            throw ora(902);
        }
        std::string w = next().text;
        auto length = [&](int max_bytes, int bytes_per_char) {
            if (!peek().is_op("(")) {
                throw ora(906);
            }
            next();
            t.length = integer();
            if (accept_word("CHAR")) {
                t.char_semantics = true;
            } else if (!accept_word("BYTE")) {
                t.char_semantics = options_.char_length_semantics;
            }
            expect_op(")");
            if (t.length <= 0) {
                throw ora(1723);
            }
            if (t.length * bytes_per_char > max_bytes) {
                throw ora(910);
            }
        };
        if (w == "VARCHAR2" || w == "VARCHAR") {
            t.kind = TypeKind::Varchar2;
            length(kMaxVarchar2Bytes, 1);
        } else if (w == "NVARCHAR2") {
            t.kind = TypeKind::NVarchar2;
            length(kMaxVarchar2Bytes, 2);
            t.char_semantics = true;
        } else if (w == "CHAR" || w == "NCHAR") {
            t.kind = w == "CHAR" ? TypeKind::Char : TypeKind::NChar;
            if (peek().is_op("(")) {
                length(kMaxCharBytes, w == "CHAR" ? 1 : 2);
            } else {
                t.length = 1;
            }
            t.char_semantics = t.char_semantics || w == "NCHAR";
        } else if (w == "NUMBER" || w == "DECIMAL" || w == "NUMERIC") {
            t.kind = TypeKind::Number;
            if (accept_op("(")) {
                if (accept_op("*")) {
                    t.precision = kNoPrecision;
                } else {
                    t.precision = integer();
                    if (t.precision < 1 || t.precision > 38) {
                        throw ora(1727);
                    }
                }
                t.scale = 0;
                if (accept_op(",")) {
                    bool neg = accept_op("-");
                    t.scale = integer() * (neg ? -1 : 1);
                    if (t.scale < -84 || t.scale > 127) {
                        throw ora(1728);
                    }
                }
                expect_op(")");
            } else if (w != "NUMBER") {
                t.scale = 0;
            }
        } else if (w == "INTEGER" || w == "INT" || w == "SMALLINT") {
            t.kind = TypeKind::Number;
            t.scale = 0;
        } else if (w == "FLOAT") {
            t.kind = TypeKind::Float;
            t.precision = 126;
            if (accept_op("(")) {
                t.precision = integer();
                expect_op(")");
                if (t.precision < 1 || t.precision > 126) {
                    throw ora(1724);
                }
            }
        } else if (w == "DATE") {
            t.kind = TypeKind::Date;
        } else if (w == "TIMESTAMP") {
            t.kind = TypeKind::Timestamp;
            t.precision = 6;
            if (accept_op("(")) {
                t.precision = integer();
                expect_op(")");
                if (t.precision < 0 || t.precision > 9) {
                    throw ora(30088);
                }
            }
        } else if (w == "RAW") {
            t.kind = TypeKind::Raw;
            length(kMaxRawBytes, 1);
        } else if (w == "CLOB") {
            t.kind = TypeKind::Clob;
        } else if (w == "NCLOB") {
            t.kind = TypeKind::NClob;
        } else if (w == "BLOB") {
            t.kind = TypeKind::Blob;
        } else if (w == "LONG") {
            t.kind = accept_word("RAW") ? TypeKind::LongRaw : TypeKind::Long;
        } else if (w == "ROWID") {
            t.kind = TypeKind::Rowid;
        } else if (w == "INTERVAL") {
            // INTERVAL YEAR [(p)] TO MONTH, INTERVAL DAY [(p)] TO SECOND [(s)]
            auto digits = [&](int fallback) {
                if (!accept_op("(")) {
                    return fallback;
                }
                int n = integer();
                expect_op(")");
                if (n < 0 || n > 9) {
                    throw ora(30088);
                }
                return n;
            };
            bool year = accept_word("YEAR");
            if (!year) {
                expect_word("DAY", 902);
            }
            t.kind = year ? TypeKind::IntervalYM : TypeKind::IntervalDS;
            t.precision = digits(2);
            expect_word("TO", 905);
            expect_word(year ? "MONTH" : "SECOND", 905);
            t.scale = year ? 0 : digits(6);
        } else {
            throw ora(902);
        }
        return t;
    }

    // DEFAULT expr, keeping the text as written up to the start of the next clause.
    void default_clause(ColumnClause& c) {
        size_t begin = peek().begin;
        c.default_expr = expr();
        c.has_default = true;
        size_t end = peek().begin;
        if (peek().kind == Tok::End) {
            end = sql_.size();
        }
        c.default_text = std::string(sql_.substr(begin, end - begin));
    }

    void column_constraints(ColumnClause& c, std::vector<KeyClause>* keys) {
        while (true) {
            Ident cname;
            if (accept_word("CONSTRAINT")) {
                cname = ident();
            }
            if (accept_word("DEFAULT")) {
                default_clause(c);
            } else if (accept_word("NOT")) {
                expect_word("NULL", 905);
                c.nullability = Nullability::NotNull;
            } else if (accept_word("NULL")) {
                c.nullability = Nullability::Null;
            } else if (keys != nullptr && (peek().is_word("PRIMARY") || peek().is_word("UNIQUE"))) {
                KeyClause k;
                k.name = cname;
                if (accept_word("PRIMARY")) {
                    expect_word("KEY", 905);
                    k.type = 'P';
                } else {
                    next();
                    k.type = 'U';
                }
                k.columns.push_back(c.name);
                keys->push_back(std::move(k));
            } else if (!cname.empty()) {
                throw ora(902);
            } else {
                return;
            }
        }
    }

    KeyClause key_constraint(Ident name) {
        KeyClause k;
        k.name = std::move(name);
        if (accept_word("PRIMARY")) {
            expect_word("KEY", 905);
            k.type = 'P';
        } else if (accept_word("UNIQUE")) {
            k.type = 'U';
        } else {
            throw ora(902);
        }
        k.columns = column_list();
        return k;
    }

    // ---- statements ----
    StatementBody create(Statement& st) {
        st.stmt_type = OCI_STMT_CREATE;
        bool or_replace = false;
        if (accept_word("OR")) {
            expect_word("REPLACE", 922);
            or_replace = true;
        }
        if (accept_word("TABLE")) {
            return create_table();
        }
        if (peek().is_word("UNIQUE") || peek().is_word("INDEX")) {
            CreateIndex ci;
            ci.unique = accept_word("UNIQUE");
            expect_word("INDEX", 901);
            ci.name = ident();
            expect_word("ON", 969);
            ci.table = table_ref();
            ci.columns = column_list();
            return ci;
        }
        if (accept_word("SEQUENCE")) {
            return create_sequence();
        }
        if (accept_word("TRIGGER")) {
            return create_trigger(or_replace);
        }
        throw ora(901);
    }

    CreateTable create_table() {
        CreateTable ct;
        ct.table = table_ref();
        expect_op("(");
        do {
            if (peek().is_word("CONSTRAINT") || peek().is_word("PRIMARY") ||
                peek().is_word("UNIQUE")) {
                Ident name;
                if (accept_word("CONSTRAINT")) {
                    name = ident();
                }
                ct.constraints.push_back(key_constraint(name));
                continue;
            }
            ColumnClause c;
            c.name = ident();
            c.type = column_type();
            column_constraints(c, &ct.constraints);
            ct.columns.push_back(std::move(c));
        } while (accept_op(","));
        expect_op(")");
        return ct;
    }

    DropTable drop_table() {
        DropTable d;
        d.table = table_ref();
        if (accept_word("CASCADE")) {
            expect_word("CONSTRAINTS", 905);
            d.cascade = true;
        }
        accept_word("PURGE");
        return d;
    }

    StatementBody drop(Statement& st) {
        st.stmt_type = OCI_STMT_DROP;
        if (accept_word("TABLE")) {
            return drop_table();
        }
        for (const char* type : {"SEQUENCE", "INDEX", "TRIGGER"}) {
            if (accept_word(type)) {
                DropObject d;
                d.type = type;
                d.name = ident();
                return d;
            }
        }
        throw ora(950);
    }

    AlterTable alter_table() {
        expect_word("TABLE", 940);
        AlterTable at;
        at.table = table_ref();
        if (accept_word("ADD")) {
            Ident name;
            if (accept_word("CONSTRAINT")) {
                name = ident();
            }
            at.add_constraint = key_constraint(name);
            return at;
        }
        if (accept_word("MODIFY")) {
            bool paren = accept_op("(");
            do {
                ColumnClause c;
                c.name = ident();
                if (peek().kind == Tok::Ident && !peek().is_word("DEFAULT") &&
                    !peek().is_word("NOT") && !peek().is_word("NULL") &&
                    !peek().is_word("CONSTRAINT")) {
                    c.type = column_type();
                }
                column_constraints(c, nullptr);
                at.modify.push_back(std::move(c));
            } while (paren && accept_op(",") ? true : false);
            if (paren) {
                expect_op(")");
            }
            return at;
        }
        throw ora(1735);
    }

    CreateSequence create_sequence() {
        CreateSequence cs;
        cs.name = ident();
        while (peek().kind == Tok::Ident) {
            if (accept_word("INCREMENT")) {
                expect_word("BY", 905);
                cs.increment = signed_number();
            } else if (accept_word("START")) {
                expect_word("WITH", 905);
                cs.start = signed_number();
            } else if (accept_word("MAXVALUE")) {
                cs.maxvalue = signed_number();
            } else if (accept_word("MINVALUE")) {
                cs.minvalue = signed_number();
            } else if (accept_word("CACHE")) {
                signed_number();
            } else if (accept_word("CYCLE")) {
                cs.cycle = true;
            } else if (accept_word("NOCYCLE")) {
                cs.cycle = false;
            } else if (accept_word("NOCACHE") || accept_word("ORDER") || accept_word("NOORDER") ||
                       accept_word("NOMAXVALUE") || accept_word("NOMINVALUE")) {
            } else {
                throw ora(933);
            }
        }
        return cs;
    }

    CreateTrigger create_trigger(bool or_replace) {
        CreateTrigger tr;
        tr.or_replace = or_replace;
        tr.text = std::string(sql_);
        tr.name = ident();
        if (!accept_word("BEFORE")) {
            throw ora(969);
        }
        expect_word("INSERT", 969);
        expect_word("ON", 969);
        tr.table = table_ref();
        expect_word("FOR", 969);
        expect_word("EACH", 969);
        expect_word("ROW", 969);
        bool when_recognised = true;
        if (accept_word("WHEN")) {
            expect_op("(");
            // WHEN (new.col IS NULL) is the only condition form the server compiles; any other
            // is skipped and leaves the trigger invalid.
            if (peek().is_word("NEW") && peek(1).is_op(".") && peek(3).is_word("IS") &&
                peek(4).is_word("NULL") && peek(5).is_op(")")) {
                next();
                next();
                tr.when_column = ident().name;
                next();
                next();
            } else {
                when_recognised = false;
                for (int depth = 1; depth > 0 && peek().kind != Tok::End;) {
                    depth += peek().is_op("(") ? 1 : peek().is_op(")") ? -1 : 0;
                    if (depth > 0) {
                        next();
                    }
                }
            }
            expect_op(")");
        }
        // The PL/SQL body: BEGIN SELECT seq.NEXTVAL INTO :new.col FROM dual; END;
        try {
            expect_word("BEGIN");
            expect_word("SELECT");
            tr.sequence = ident();
            expect_op(".");
            expect_word("NEXTVAL");
            expect_word("INTO");
            if (peek().kind != Tok::Bind || peek().text != "NEW") {
                throw ora(900);
            }
            next();
            expect_op(".");
            tr.into_column = ident();
            expect_word("FROM");
            expect_word("DUAL");
            expect_op(";");
            expect_word("END");
            accept_op(";");
            if (peek().kind != Tok::End) {
                throw ora(900);
            }
            tr.body_recognised = when_recognised;
        } catch (const OraError&) {
            // Anything else compiles with errors; the trigger is stored invalid.
            tr.body_recognised = false;
            pos_ = toks_.size() - 1;
        }
        return tr;
    }

    Insert insert() {
        Insert in;
        expect_word("INTO", 925);
        in.table = table_ref();
        if (peek().is_op("(")) {
            in.columns = column_list();
        }
        expect_word("VALUES", 926);
        expect_op("(");
        do {
            in.values.push_back(expr());
        } while (accept_op(","));
        expect_op(")");
        if (accept_word("RETURNING") || accept_word("RETURN")) {
            if (!accept_word("ROWID")) {
                throw ora(904, {"\"" + peek().text + "\""});
            }
            expect_word("INTO", 925);
            if (peek().kind != Tok::Bind) {
                throw ora(1036);
            }
            in.returning_bind = add_bind(next().text);
        }
        return in;
    }

    Update update() {
        Update up;
        up.table = table_ref();
        if (peek().kind == Tok::Ident && !peek().is_word("SET")) {
            up.alias = ident();
        }
        expect_word("SET", 971);
        do {
            Assignment a;
            a.column = ident();
            expect_op("=");
            a.value = expr();
            up.sets.push_back(std::move(a));
        } while (accept_op(","));
        if (accept_word("WHERE")) {
            up.where = expr();
        }
        return up;
    }

    Delete remove() {
        Delete d;
        accept_word("FROM");
        d.table = table_ref();
        if (peek().kind == Tok::Ident && !peek().is_word("WHERE")) {
            d.alias = ident();
        }
        if (accept_word("WHERE")) {
            d.where = expr();
        }
        return d;
    }

    std::string label_of(size_t begin, size_t end, const Expr& e) {
        if (e.kind == ExprKind::Column) {
            return e.name.name;
        }
        if (e.kind == ExprKind::Rowid) {
            return "ROWID";
        }
        // Oracle reports an expression's text, upper-cased outside quotes, without blanks.
        std::string text;
        bool in_quote = false;
        for (char c : sql_.substr(begin, end - begin)) {
            if (c == '\'') {
                in_quote = !in_quote;
            }
            if (!in_quote && c == ' ') {
                continue;
            }
            text += in_quote ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return text;
    }

    Select select() {
        expect_word("SELECT");
        Select s;
        do {
            SelectItem item;
            if (accept_op("*")) {
                s.items.push_back(std::move(item));
                continue;
            }
            if ((peek().kind == Tok::Ident || peek().kind == Tok::QuotedIdent) &&
                peek(1).is_op(".") && peek(2).is_op("*")) {
                item.star_of = ident();
                next();
                next();
                s.items.push_back(std::move(item));
                continue;
            }
            size_t begin = peek().begin;
            item.expr = expr();
            size_t end = toks_[pos_ - 1].end;
            item.label = label_of(begin, end, *item.expr);
            if (accept_word("AS")) {
                item.label = ident().name;
            } else if (peek().kind == Tok::QuotedIdent ||
                       (peek().kind == Tok::Ident && !peek().is_word("FROM") &&
                        !is_reserved_word(peek().text))) {
                item.label = ident().name;
            }
            s.items.push_back(std::move(item));
        } while (accept_op(","));
        if (!accept_word("FROM")) {
            throw_at_end_or(923);
        }
        do {
            FromItem f;
            if (accept_op("(")) {
                f.subquery = std::make_unique<Select>(select());
                expect_op(")");
            } else {
                f.table = table_ref();
            }
            if (peek().kind == Tok::QuotedIdent ||
                (peek().kind == Tok::Ident && !is_reserved_word(peek().text))) {
                f.alias = ident();
            }
            s.from.push_back(std::move(f));
        } while (accept_op(","));
        if (accept_word("WHERE")) {
            s.where = expr();
        }
        if (accept_word("ORDER")) {
            expect_word("BY", 924);
            do {
                OrderItem o;
                o.expr = expr();
                if (accept_word("DESC")) {
                    o.descending = true;
                } else {
                    accept_word("ASC");
                }
                s.order_by.push_back(std::move(o));
            } while (accept_op(","));
        }
        if (accept_word("FOR")) {
            expect_word("UPDATE", 905);
            s.for_update = true;
            if (accept_word("NOWAIT")) {
            } else if (accept_word("WAIT")) {
                integer();
            }
        }
        return s;
    }

    // ---- expressions ----
    int add_bind(const std::string& name) {
        binds_->push_back(name);
        return static_cast<int>(binds_->size() - 1);
    }

    static ExprPtr make(ExprKind k) {
        auto e = std::make_unique<Expr>();
        e->kind = k;
        return e;
    }

    ExprPtr expr() {
        ExprPtr left = and_expr();
        while (accept_word("OR")) {
            ExprPtr e = make(ExprKind::Or);
            e->args.push_back(std::move(left));
            e->args.push_back(and_expr());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr and_expr() {
        ExprPtr left = not_expr();
        while (accept_word("AND")) {
            ExprPtr e = make(ExprKind::And);
            e->args.push_back(std::move(left));
            e->args.push_back(not_expr());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr not_expr() {
        if (accept_word("NOT")) {
            ExprPtr e = make(ExprKind::Not);
            e->args.push_back(not_expr());
            return e;
        }
        return predicate();
    }
    ExprPtr predicate() {
        ExprPtr left = additive();
        if (accept_word("IS")) {
            ExprPtr e = make(ExprKind::IsNull);
            e->negated = accept_word("NOT");
            expect_word("NULL", 908);
            e->args.push_back(std::move(left));
            return e;
        }
        for (const char* op : {"=", "<>", "!=", "^=", "<=", ">=", "<", ">"}) {
            if (accept_op(op)) {
                ExprPtr e = make(ExprKind::Compare);
                e->text = op;
                if (e->text == "!=" || e->text == "^=") {
                    e->text = "<>";
                }
                e->args.push_back(std::move(left));
                e->args.push_back(additive());
                return e;
            }
        }
        return left;
    }
    ExprPtr additive() {
        ExprPtr left = multiplicative();
        while (peek().is_op("+") || peek().is_op("-") || peek().is_op("||")) {
            ExprPtr e = make(ExprKind::Arith);
            e->text = next().text;
            e->args.push_back(std::move(left));
            e->args.push_back(multiplicative());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr multiplicative() {
        ExprPtr left = unary();
        while (peek().is_op("*") || peek().is_op("/")) {
            ExprPtr e = make(ExprKind::Arith);
            e->text = next().text;
            e->args.push_back(std::move(left));
            e->args.push_back(unary());
            left = std::move(e);
        }
        return left;
    }
    ExprPtr unary() {
        if (accept_op("-")) {
            ExprPtr e = make(ExprKind::Negate);
            e->args.push_back(unary());
            return e;
        }
        accept_op("+");
        return primary();
    }
    ExprPtr primary() {
        const Token& t = peek();
        switch (t.kind) {
            case Tok::Number: {
                next();
                ExprPtr e = make(ExprKind::Number);
                e->text = t.text;
                return e;
            }
            case Tok::String:
            case Tok::NString: {
                next();
                // A literal becomes database text as the statement is parsed: N'...' in the
                // national character set (AL16UTF16, two bytes a code unit), any other in the
                // database character set, whatever column it is meant for. Its length limit
                // counts the bytes of that form.
                ExprPtr e = make(ExprKind::String);
                e->national = t.kind == Tok::NString;
                size_t bytes = t.text.size();
                if (e->national && !options_.nchar_literal_replace &&
                    options_.single_byte_charset) {
                    // Without NCHAR literal replacement the N'...' text travels inside the
                    // statement, in the database character set, like any other literal.
                    e->text = through_charset(t.text, options_.charset);
                    bytes = 2 * utf16_length(e->text);
                } else if (e->national) {
                    e->text = t.text;
                    bytes = 2 * utf16_length(e->text);
                } else if (options_.single_byte_charset) {
                    e->text = through_charset(t.text, options_.charset);
                    bytes = char_count(e->text);
                } else {
                    e->text = t.text;
                }
                if (bytes > static_cast<size_t>(options_.string_literal_limit)) {
                    throw ora(1704);
                }
                return e;
            }
            case Tok::Bind: {
                next();
                ExprPtr e = make(ExprKind::Bind);
                e->bind = add_bind(t.text);
                return e;
            }
            case Tok::Op:
                if (t.is_op("(")) {
                    next();
                    ExprPtr e = expr();
                    expect_op(")");
                    return e;
                }
                throw_at_end_or(936);
            case Tok::End:
                throw ora(936);
            case Tok::Ident:
            case Tok::QuotedIdent:
                break;
        }
        if (t.kind == Tok::Ident) {
            if (accept_word("NULL")) {
                return make(ExprKind::Null);
            }
            if (accept_word("ROWID")) {
                return make(ExprKind::Rowid);
            }
            if (accept_word("SYSDATE")) {
                ExprPtr e = make(ExprKind::Func);
                e->text = "SYSDATE";
                return e;
            }
            if (is_reserved_word(t.text)) {
                throw ora(936);
            }
            if (peek(1).is_op("(")) {
                return function();
            }
        }
        Ident first = ident();
        if (!accept_op(".")) {
            ExprPtr e = make(ExprKind::Column);
            e->name = std::move(first);
            return e;
        }
        if (accept_word("ROWID")) {
            ExprPtr e = make(ExprKind::Rowid);
            e->qualifier = std::move(first);
            return e;
        }
        if (accept_word("NEXTVAL")) {
            ExprPtr e = make(ExprKind::NextVal);
            e->name = std::move(first);
            return e;
        }
        Ident second = ident();
        if (accept_op(".")) {
            // schema.table.column or schema.sequence.NEXTVAL
            if (accept_word("NEXTVAL")) {
                ExprPtr e = make(ExprKind::NextVal);
                e->qualifier = std::move(first);
                e->name = std::move(second);
                return e;
            }
            ExprPtr e = make(ExprKind::Column);
            e->qualifier = std::move(second);
            e->name = ident();
            return e;
        }
        ExprPtr e = make(ExprKind::Column);
        e->qualifier = std::move(first);
        e->name = std::move(second);
        return e;
    }
    ExprPtr function() {
        std::string name = next().text;
        expect_op("(");
        if (name == "COUNT") {
            if (accept_op("*")) {
                expect_op(")");
                return make(ExprKind::CountStar);
            }
            throw ora(904, {"\"COUNT\""});
        }
        ExprPtr e = make(ExprKind::Func);
        e->text = name;
        if (!peek().is_op(")")) {
            do {
                e->args.push_back(expr());
            } while (accept_op(","));
        }
        expect_op(")");
        size_t want_min = 0;
        size_t want_max = 0;
        if (name == "TO_DATE" || name == "TO_TIMESTAMP") {
            want_min = 1;
            want_max = 2;
        } else if (name == "HEXTORAW" || name == "UPPER" || name == "LOWER" || name == "LENGTH") {
            want_min = want_max = 1;
        } else if (name == "NVL") {
            want_min = want_max = 2;
        } else if (name == "EMPTY_CLOB" || name == "EMPTY_BLOB") {
            want_min = want_max = 0;
        } else {
            throw ora(904, {"\"" + name + "\""});
        }
        if (e->args.size() < want_min || e->args.size() > want_max) {
            throw ora(909);
        }
        return e;
    }

    std::string_view sql_;
    ParseOptions options_;
    std::vector<Token> toks_;
    size_t pos_ = 0;
    std::vector<std::string>* binds_ = nullptr;
};

}  // namespace

Statement parse_statement(std::string_view sql, const ParseOptions& options) {
    Parser p(sql, options);
    return p.statement();
}

ExprPtr parse_expression(std::string_view text, const ParseOptions& options) {
    Parser p(text, options);
    return p.lone_expression();
}

}  // namespace ocisim
