// Evaluates expressions and conditions over the rows of the tables a statement reads.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "session.h"
#include "sql_ast.h"
#include "sql_value.h"
#include "value_rules.h"

namespace ocisim {

// The rows of one FROM item (or the table a DML statement changes).
struct RowSource {
    std::string name;      // table or view name
    std::string alias;     // empty when none
    int64_t table_id = 0;  // base tables only: ROWIDs and LOB locators refer to it
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
    std::vector<int64_t> rowids;
};

// Position of the current row in each source.
using RowPosition = std::vector<size_t>;

class Evaluator {
  public:
    Evaluator(Session& session, const std::vector<Value>& binds,
              const std::vector<RowSource>* sources)
        : session_(session), binds_(binds), sources_(sources) {}

    Value eval(const Expr& e, const RowPosition* at);
    Tri test(const Expr& e, const RowPosition* at);
    // What a describe reports for the expression.
    ResultColumn type_of(const Expr& e);
    // Source and column of a column reference; ORA-00904 / ORA-00918.
    std::pair<int, int> resolve(const Expr& column);
    // Source a ROWID reference reads.
    int rowid_source(const Expr& e);

  private:
    Value function(const Expr& e, const RowPosition* at);
    Value arithmetic(const Expr& e, const RowPosition* at);

    Session& session_;
    const std::vector<Value>& binds_;
    const std::vector<RowSource>* sources_;
    std::unordered_map<const Expr*, std::pair<int, int>> resolved_;
};

// Collects the column names an expression reads (for the checks of DDL and triggers).
void columns_of(const Expr& e, std::vector<std::string>* out);

}  // namespace ocisim
