// The parsed form of the statements the server understands.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "column_type.h"
#include "decimal.h"

namespace ocisim {

struct Ident {
    std::string name;  // upper-cased when written without quotes
    bool quoted = false;
    bool empty() const { return name.empty(); }
    friend bool operator==(const Ident&, const Ident&) = default;
};

enum class ExprKind {
    Null,
    Number,
    String,
    Bind,
    Column,
    Rowid,
    CountStar,
    Func,
    NextVal,
    Negate,
    Arith,  // + - * / ||
    And,
    Or,
    Not,
    IsNull,
    Compare,
};

struct Expr {
    ExprKind kind = ExprKind::Null;
    std::string text;  // literal text, function name, operator
    bool national = false;
    bool negated = false;  // IS NOT NULL
    Ident qualifier;       // table or alias for columns and ROWID; sequence owner
    Ident name;            // column or sequence name
    int bind = -1;         // index into Statement::binds
    std::vector<std::unique_ptr<Expr>> args;
};
using ExprPtr = std::unique_ptr<Expr>;

enum class Nullability { Unspecified, Null, NotNull };

struct KeyClause {
    Ident name;       // empty: the server names it SYS_Cn
    char type = 'P';  // 'P' primary key, 'U' unique
    std::vector<Ident> columns;
};

struct ColumnClause {
    Ident name;
    std::optional<ColumnType> type;  // always set in CREATE TABLE
    bool has_default = false;
    std::string default_text;  // as written, up to the next clause
    ExprPtr default_expr;
    Nullability nullability = Nullability::Unspecified;
};

struct TableRef {
    Ident schema;
    Ident name;
};

struct CreateTable {
    TableRef table;
    std::vector<ColumnClause> columns;
    std::vector<KeyClause> constraints;  // inline and out-of-line keys
};
struct DropTable {
    TableRef table;
    bool cascade = false;
};
struct AlterTable {
    TableRef table;
    std::optional<KeyClause> add_constraint;
    std::vector<ColumnClause> modify;
};
struct CreateIndex {
    Ident name;
    TableRef table;
    bool unique = false;
    std::vector<Ident> columns;
};
struct CreateSequence {
    Ident name;
    Decimal increment = Decimal::from_int(1);
    std::optional<Decimal> start, minvalue, maxvalue;
    bool cycle = false;
};
struct CreateTrigger {
    Ident name;
    TableRef table;
    bool or_replace = false;
    std::string when_column;  // WHEN (new.X IS NULL)
    bool body_recognised = false;
    Ident sequence;  // SELECT seq.NEXTVAL INTO :new.col FROM dual;
    Ident into_column;
    std::string text;  // the whole statement
};
struct DropObject {
    std::string type;  // SEQUENCE, INDEX, TRIGGER
    Ident name;
};
struct Insert {
    TableRef table;
    std::vector<Ident> columns;
    std::vector<ExprPtr> values;
    int returning_bind = -1;  // RETURNING ROWID INTO :b
};
struct Assignment {
    Ident column;
    ExprPtr value;
};
struct Update {
    TableRef table;
    Ident alias;
    std::vector<Assignment> sets;
    ExprPtr where;
};
struct Delete {
    TableRef table;
    Ident alias;
    ExprPtr where;
};

struct Select;
struct SelectItem {
    ExprPtr expr;       // null for * and t.*
    Ident star_of;      // t.*
    std::string label;  // column name the describe reports
};
struct FromItem {
    TableRef table;
    std::unique_ptr<Select> subquery;
    Ident alias;
};
struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};
struct Select {
    std::vector<SelectItem> items;
    std::vector<FromItem> from;
    ExprPtr where;
    std::vector<OrderItem> order_by;
    bool for_update = false;
};
struct TransactionControl {
    bool commit = true;
};

using StatementBody =
    std::variant<CreateTable, DropTable, AlterTable, CreateIndex, CreateSequence, CreateTrigger,
                 DropObject, Insert, Update, Delete, Select, TransactionControl>;

struct Statement {
    StatementBody body;
    std::vector<std::string> binds;  // placeholder names in order of appearance
    uint16_t stmt_type = 0;          // OCI_ATTR_STMT_TYPE
    bool is_ddl() const;
    bool is_query() const { return std::holds_alternative<Select>(body); }
};

}  // namespace ocisim
