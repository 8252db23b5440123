// The dictionary views a client queries: USER_TABLES, USER_TAB_COLUMNS, USER_CONSTRAINTS,
// USER_CONS_COLUMNS, USER_INDEXES, USER_IND_COLUMNS, USER_VIEWS, USER_SEQUENCES,
// USER_TRIGGERS, USER_OBJECTS, V$VERSION and DUAL, built from the service's catalogue.
#include "expr_eval.h"
#include "session.h"

namespace ocisim {
namespace {

ResultColumn text_col(const char* name, int length, bool nullable = true) {
    ResultColumn c;
    c.name = name;
    c.type.kind = TypeKind::Varchar2;
    c.type.length = length;
    c.nullable = nullable;
    return c;
}

ResultColumn number_col(const char* name, bool nullable = true) {
    ResultColumn c;
    c.name = name;
    c.type.kind = TypeKind::Number;
    c.nullable = nullable;
    return c;
}

ResultColumn long_col(const char* name) {
    ResultColumn c;
    c.name = name;
    c.type.kind = TypeKind::Long;
    return c;
}

Value text(const std::string& s) {
    return Value::of_text(s);
}
Value number(int64_t n) {
    return Value::of_number(Decimal::from_int(n));
}
Value optional_number(int n) {
    return n == kNoPrecision ? Value::null() : Value::of_number(Decimal::from_int(n));
}

}  // namespace

bool Session::catalogue_view(const TableRef& ref, RowSource* out) {
    const std::string& name = ref.name.name;
    bool sys = ref.schema.name == "SYS" || ref.schema.name == "PUBLIC";
    if (!ref.schema.empty() && !sys) {
        return false;
    }
    bool is_view = name == "DUAL" || name == "V$VERSION" || name.rfind("USER_", 0) == 0;
    if (name == "ALL_TABLES" || name == "ALL_TAB_COLUMNS" || name == "ALL_TAB_COLS" ||
        name == "ALL_CONSTRAINTS" || name == "ALL_INDEXES") {
        // Only the user's own objects are visible (no object privileges): the USER_ view
        // with the owner in front, where it does not name it already.
        if (!sys && find_table(ref, false)) {
            return false;
        }
        TableRef own;
        own.name.name = "USER_" + name.substr(4);
        own.schema.name = "SYS";
        if (!catalogue_view(own, out)) {
            return false;
        }
        out->name = name;
        if (out->columns.empty() || out->columns[0].name != "OWNER") {
            out->columns.insert(out->columns.begin(), text_col("OWNER", 128, false));
            for (auto& row : out->rows) {
                row.insert(row.begin(), text(user_));
            }
        }
        return true;
    }
    if (!is_view || (!sys && find_table(ref, false))) {
        return false;
    }
    out->name = name;
    auto& cols = out->columns;
    auto& rows = out->rows;
    std::vector<std::shared_ptr<TableDef>> tables;
    if (name != "DUAL" && name != "V$VERSION") {
        for (const ObjectRow& o : catalog_.objects(user_, "TABLE")) {
            tables.push_back(catalog_.load_table_by_id(o.id));
        }
    }
    if (name == "DUAL") {
        cols = {text_col("DUMMY", 1)};
        rows.push_back({text("X")});
    } else if (name == "V$VERSION") {
        cols = {text_col("BANNER", 80)};
        if (settings_.release.major >= 18) {
            cols.push_back(text_col("BANNER_FULL", 160));
            cols.push_back(text_col("BANNER_LEGACY", 80));
            cols.push_back(number_col("CON_ID"));
            std::string full = settings_.release.banner + "\nVersion " +
                               std::to_string(settings_.release.major) + "." +
                               std::to_string(settings_.release.minor) + ".0.0.0";
            rows.push_back({text(settings_.release.banner), text(full),
                            text(settings_.release.banner), number(0)});
        } else {
            std::string ver = std::to_string(settings_.release.major) + "." +
                              std::to_string(settings_.release.minor) + ".0.1.0";
            rows.push_back({text(settings_.release.banner)});
            rows.push_back({text("PL/SQL Release " + ver + " - Production")});
            rows.push_back({text("CORE\t" + ver + "\tProduction")});
            rows.push_back({text("TNS for Linux: Version " + ver + " - Production")});
            rows.push_back({text("NLSRTL Version " + ver + " - Production")});
        }
    } else if (name == "USER_TABLES") {
        cols = {text_col("TABLE_NAME", 128, false),
                text_col("TABLESPACE_NAME", 30),
                text_col("STATUS", 8),
                number_col("NUM_ROWS"),
                text_col("TEMPORARY", 1),
                text_col("NESTED", 3),
                text_col("IOT_TYPE", 12),
                text_col("PARTITIONED", 3)};
        for (const auto& t : tables) {
            rows.push_back({text(t->name), text("USERS"), text("VALID"), Value::null(), text("N"),
                            text("NO"), Value::null(), text("NO")});
        }
    } else if (name == "USER_TAB_COLUMNS" || name == "USER_TAB_COLS") {
        cols = {text_col("TABLE_NAME", 128, false),
                text_col("COLUMN_NAME", 128, false),
                text_col("DATA_TYPE", 128),
                text_col("DATA_TYPE_MOD", 3),
                text_col("DATA_TYPE_OWNER", 128),
                number_col("DATA_LENGTH", false),
                number_col("DATA_PRECISION"),
                number_col("DATA_SCALE"),
                text_col("NULLABLE", 1),
                number_col("COLUMN_ID"),
                number_col("DEFAULT_LENGTH"),
                long_col("DATA_DEFAULT"),
                number_col("CHAR_LENGTH"),
                text_col("CHAR_USED", 1)};
        for (const auto& t : tables) {
            for (size_t i = 0; i < t->columns.size(); ++i) {
                const ColumnDef& c = t->columns[i];
                const ColumnType& ty = c.type;
                int precision = kNoPrecision;
                int scale = kNoPrecision;
                if (ty.kind == TypeKind::Number) {
                    precision = ty.precision;
                    scale = ty.scale;
                } else if (ty.kind == TypeKind::Float) {
                    precision = ty.precision;
                } else if (ty.kind == TypeKind::Timestamp) {
                    scale = ty.precision;
                }
                rows.push_back(
                    {text(t->name), text(c.name), text(ty.data_type_name()), Value::null(),
                     Value::null(), number(ty.data_length(settings_.max_char_bytes())),
                     optional_number(precision), optional_number(scale),
                     text(c.nullable ? "Y" : "N"), number(static_cast<int64_t>(i + 1)),
                     c.data_default ? number(static_cast<int64_t>(c.data_default->size()))
                                    : Value::null(),
                     c.data_default ? text(*c.data_default) : Value::null(),
                     number(ty.char_length()), text(ty.char_used())});
            }
        }
    } else if (name == "USER_CONSTRAINTS") {
        cols = {text_col("OWNER", 128),
                text_col("CONSTRAINT_NAME", 128, false),
                text_col("CONSTRAINT_TYPE", 1),
                text_col("TABLE_NAME", 128, false),
                long_col("SEARCH_CONDITION"),
                text_col("R_OWNER", 128),
                text_col("R_CONSTRAINT_NAME", 128),
                text_col("DELETE_RULE", 9),
                text_col("STATUS", 8),
                text_col("GENERATED", 14),
                text_col("INDEX_NAME", 128)};
        for (const auto& t : tables) {
            for (const KeyDef& k : t->keys) {
                rows.push_back({text(user_), text(k.name), text(std::string(1, k.type)),
                                text(t->name), text(k.search_condition), Value::null(),
                                Value::null(), Value::null(), text("ENABLED"),
                                text(k.generated ? "GENERATED NAME" : "USER NAME"),
                                k.type == 'C' ? Value::null() : text(k.index_name)});
            }
        }
    } else if (name == "USER_CONS_COLUMNS") {
        cols = {text_col("OWNER", 128, false), text_col("CONSTRAINT_NAME", 128, false),
                text_col("TABLE_NAME", 128, false), text_col("COLUMN_NAME", 4000),
                number_col("POSITION")};
        for (const auto& t : tables) {
            for (const KeyDef& k : t->keys) {
                for (size_t i = 0; i < k.columns.size(); ++i) {
                    rows.push_back(
                        {text(user_), text(k.name), text(t->name), text(k.columns[i]),
                         k.type == 'C' ? Value::null() : number(static_cast<int64_t>(i + 1))});
                }
            }
        }
    } else if (name == "USER_INDEXES") {
        cols = {text_col("INDEX_NAME", 128, false),
                text_col("INDEX_TYPE", 27),
                text_col("TABLE_OWNER", 128, false),
                text_col("TABLE_NAME", 128, false),
                text_col("TABLE_TYPE", 11),
                text_col("UNIQUENESS", 9),
                text_col("STATUS", 8),
                text_col("GENERATED", 1)};
        for (const auto& t : tables) {
            for (const IndexDef& i : t->indexes) {
                rows.push_back({text(i.name), text("NORMAL"), text(user_), text(t->name),
                                text("TABLE"), text(i.unique ? "UNIQUE" : "NONUNIQUE"),
                                text("VALID"), text(i.generated ? "Y" : "N")});
            }
        }
    } else if (name == "USER_IND_COLUMNS") {
        cols = {text_col("INDEX_NAME", 128),   text_col("TABLE_NAME", 128),
                text_col("COLUMN_NAME", 4000), number_col("COLUMN_POSITION"),
                number_col("COLUMN_LENGTH"),   number_col("CHAR_LENGTH"),
                text_col("DESCEND", 4)};
        for (const auto& t : tables) {
            for (const IndexDef& i : t->indexes) {
                for (size_t k = 0; k < i.columns.size(); ++k) {
                    int c = t->find_column(i.columns[k]);
                    const ColumnType& ty = t->columns[static_cast<size_t>(c)].type;
                    rows.push_back({text(i.name), text(t->name), text(i.columns[k]),
                                    number(static_cast<int64_t>(k + 1)),
                                    number(ty.data_length(settings_.max_char_bytes())),
                                    number(ty.char_length()), text("ASC")});
                }
            }
        }
    } else if (name == "USER_VIEWS") {
        cols = {text_col("VIEW_NAME", 128, false), number_col("TEXT_LENGTH"), long_col("TEXT")};
        SqlStmt st = db_.prepare(
            "SELECT o.name, v.text FROM ocisim_views v JOIN ocisim_objects o ON "
            "o.object_id = v.object_id WHERE o.owner = ? ORDER BY o.name");
        st.bind(1, user_);
        while (st.step()) {
            std::string body = st.text(1);
            rows.push_back(
                {text(st.text(0)), number(static_cast<int64_t>(body.size())), text(body)});
        }
    } else if (name == "USER_SEQUENCES") {
        cols = {text_col("SEQUENCE_NAME", 128, false),
                number_col("MIN_VALUE"),
                number_col("MAX_VALUE"),
                number_col("INCREMENT_BY", false),
                text_col("CYCLE_FLAG", 1),
                text_col("ORDER_FLAG", 1),
                number_col("CACHE_SIZE", false),
                number_col("LAST_NUMBER", false)};
        for (const ObjectRow& o : catalog_.objects(user_, "SEQUENCE")) {
            auto s = catalog_.load_sequence(user_, o.name);
            auto num = [](const std::string& t) {
                auto d = Decimal::parse(t);
                return d ? Value::of_number(*d) : Value::null();
            };
            rows.push_back({text(o.name), num(s->min_value), num(s->max_value),
                            number(s->increment), text(s->cycle ? "Y" : "N"), text("Y"), number(0),
                            number(s->next_value)});
        }
    } else if (name == "USER_TRIGGERS") {
        cols = {text_col("TRIGGER_NAME", 128),
                text_col("TRIGGER_TYPE", 16),
                text_col("TRIGGERING_EVENT", 246),
                text_col("TABLE_NAME", 128),
                text_col("STATUS", 8),
                long_col("TRIGGER_BODY")};
        for (const auto& t : tables) {
            for (const TriggerDef& tr : t->triggers) {
                size_t begin = tr.text.find("BEGIN");
                if (begin == std::string::npos) {
                    begin = tr.text.find("begin");
                }
                rows.push_back({text(tr.name), text("BEFORE EACH ROW"), text("INSERT"),
                                text(t->name), text("ENABLED"),
                                text(begin == std::string::npos ? "" : tr.text.substr(begin))});
            }
        }
    } else if (name == "USER_OBJECTS") {
        cols = {text_col("OBJECT_NAME", 128), number_col("OBJECT_ID"), text_col("OBJECT_TYPE", 23),
                text_col("STATUS", 7)};
        for (const ObjectRow& o : catalog_.objects(user_, "")) {
            rows.push_back({text(o.name), number(o.id), text(o.type), text(o.status)});
        }
    } else {
        throw ora(942);
    }
    out->rowids.assign(rows.size(), 0);
    return true;
}

}  // namespace ocisim
