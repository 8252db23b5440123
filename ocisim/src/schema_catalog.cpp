#include "schema_catalog.h"

#include "oracle_model.h"

namespace ocisim {

int TableDef::find_column(const std::string& column) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == column) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const std::string& TableDef::storage_of(const std::string& column) const {
    int i = find_column(column);
    return i < 0 ? column : columns[static_cast<size_t>(i)].storage;
}

const KeyDef* TableDef::primary_key() const {
    for (const KeyDef& k : keys) {
        if (k.type == 'P') {
            return &k;
        }
    }
    return nullptr;
}

const char* namespace_of(const std::string& object_type) {
    if (object_type == "INDEX") {
        return "INDEX";
    }
    if (object_type == "TRIGGER") {
        return "TRIGGER";
    }
    return "TABLE";
}

std::string join_names(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            out += '\x1f';
        }
        out += names[i];
    }
    return out;
}

std::vector<std::string> split_names(const std::string& joined) {
    std::vector<std::string> out;
    size_t b = 0;
    while (b <= joined.size()) {
        size_t e = joined.find('\x1f', b);
        if (e == std::string::npos) {
            e = joined.size();
        }
        out.push_back(joined.substr(b, e - b));
        b = e + 1;
    }
    return out;
}

std::shared_ptr<TableDef> SchemaCatalog::load_table(const std::string& owner,
                                                    const std::string& name) {
    SqlStmt st = db_.prepare(
        "SELECT object_id FROM ocisim_objects WHERE owner = ? AND name = ? AND type = 'TABLE'");
    st.bind(1, owner).bind(2, name);
    if (!st.step()) {
        return nullptr;
    }
    return load_table_by_id(st.int64(0));
}

std::shared_ptr<TableDef> SchemaCatalog::load_table_by_id(int64_t id) {
    auto t = std::make_shared<TableDef>();
    {
        SqlStmt st = db_.prepare(
            "SELECT owner, name, COALESCE(storage, name) FROM ocisim_objects WHERE object_id = ?");
        st.bind(1, id);
        if (!st.step()) {
            return nullptr;
        }
        t->id = id;
        t->owner = st.text(0);
        t->name = st.text(1);
        t->storage = st.text(2);
    }
    {
        SqlStmt st = db_.prepare(
            "SELECT name, kind, length, char_semantics, precision, scale, nullable, data_default, "
            "COALESCE(storage, name) FROM ocisim_columns WHERE object_id = ? ORDER BY column_id");
        st.bind(1, id);
        while (st.step()) {
            ColumnDef c;
            c.name = st.text(0);
            c.type.kind = static_cast<TypeKind>(st.int64(1));
            c.type.length = static_cast<int>(st.int64(2));
            c.type.char_semantics = st.int64(3) != 0;
            c.type.precision = st.is_null(4) ? kNoPrecision : static_cast<int>(st.int64(4));
            c.type.scale = st.is_null(5) ? kNoPrecision : static_cast<int>(st.int64(5));
            c.nullable = st.int64(6) != 0;
            if (!st.is_null(7)) {
                c.data_default = st.text(7);
            }
            c.storage = st.text(8);
            t->columns.push_back(std::move(c));
        }
    }
    {
        SqlStmt st = db_.prepare(
            "SELECT name, type, columns, generated, index_name, search_condition "
            "FROM ocisim_constraints WHERE table_id = ? ORDER BY rowid");
        st.bind(1, id);
        while (st.step()) {
            KeyDef k;
            k.name = st.text(0);
            k.type = st.text(1)[0];
            k.columns = split_names(st.text(2));
            k.generated = st.int64(3) != 0;
            k.index_name = st.text(4);
            k.search_condition = st.text(5);
            t->keys.push_back(std::move(k));
        }
    }
    {
        SqlStmt st = db_.prepare(
            "SELECT name, is_unique, columns, generated FROM ocisim_indexes WHERE table_id = ? "
            "ORDER BY rowid");
        st.bind(1, id);
        while (st.step()) {
            IndexDef i;
            i.name = st.text(0);
            i.unique = st.int64(1) != 0;
            i.columns = split_names(st.text(2));
            i.generated = st.int64(3) != 0;
            t->indexes.push_back(std::move(i));
        }
    }
    {
        SqlStmt st = db_.prepare(
            "SELECT t.object_id, o.name, t.when_column, t.sequence_name, t.into_column, "
            "t.recognised, o.status, t.text FROM ocisim_triggers t JOIN ocisim_objects o "
            "ON o.object_id = t.object_id WHERE t.table_id = ? ORDER BY t.object_id");
        st.bind(1, id);
        while (st.step()) {
            TriggerDef tr;
            tr.id = st.int64(0);
            tr.name = st.text(1);
            tr.when_column = st.text(2);
            tr.sequence = st.text(3);
            tr.into_column = st.text(4);
            tr.recognised = st.int64(5) != 0;
            tr.status = st.text(6);
            tr.text = st.text(7);
            t->triggers.push_back(std::move(tr));
        }
    }
    return t;
}

std::optional<ObjectRow> SchemaCatalog::find_object(const std::string& owner,
                                                    const std::string& name,
                                                    const std::string& ns) {
    SqlStmt st = db_.prepare(
        "SELECT object_id, type, status FROM ocisim_objects WHERE owner = ? AND name = ? AND "
        "namespace = ?");
    st.bind(1, owner).bind(2, name).bind(3, ns);
    if (!st.step()) {
        return std::nullopt;
    }
    return ObjectRow{st.int64(0), owner, name, st.text(1), st.text(2)};
}

std::vector<ObjectRow> SchemaCatalog::objects(const std::string& owner, const std::string& type) {
    SqlStmt st = db_.prepare(
        "SELECT object_id, name, type, status FROM ocisim_objects WHERE owner = ? AND "
        "(? = '' OR type = ?) ORDER BY name");
    st.bind(1, owner).bind(2, type).bind(3, type);
    std::vector<ObjectRow> out;
    while (st.step()) {
        out.push_back(ObjectRow{st.int64(0), owner, st.text(1), st.text(2), st.text(3)});
    }
    return out;
}

bool SchemaCatalog::constraint_name_used(const std::string& owner, const std::string& name) {
    SqlStmt st = db_.prepare("SELECT 1 FROM ocisim_constraints WHERE owner = ? AND name = ?");
    st.bind(1, owner).bind(2, name);
    return st.step();
}

bool SchemaCatalog::index_name_used(const std::string& owner, const std::string& name) {
    SqlStmt st = db_.prepare("SELECT 1 FROM ocisim_indexes WHERE owner = ? AND name = ?");
    st.bind(1, owner).bind(2, name);
    return st.step();
}

int64_t SchemaCatalog::add_object(const std::string& owner, const std::string& name,
                                  const std::string& type, const std::string& status) {
    int64_t id =
        std::stoll(db_.query_text("SELECT value FROM ocisim_settings WHERE key = 'next_object_id'")
                       .value_or("73000"));
    SqlStmt up = db_.prepare("UPDATE ocisim_settings SET value = ? WHERE key = 'next_object_id'");
    up.bind(1, std::to_string(id + 1));
    up.step();
    SqlStmt st = db_.prepare(
        "INSERT INTO ocisim_objects(object_id, owner, name, type, namespace, status, created) "
        "VALUES (?, ?, ?, ?, ?, ?, datetime('now'))");
    st.bind(1, id)
        .bind(2, owner)
        .bind(3, name)
        .bind(4, type)
        .bind(5, std::string_view(namespace_of(type)))
        .bind(6, status);
    st.step();
    return id;
}

void SchemaCatalog::remove_object(int64_t id) {
    SqlStmt st = db_.prepare("DELETE FROM ocisim_objects WHERE object_id = ?");
    st.bind(1, id);
    st.step();
}

void SchemaCatalog::set_object_status(int64_t id, const std::string& status) {
    SqlStmt st = db_.prepare("UPDATE ocisim_objects SET status = ? WHERE object_id = ?");
    st.bind(1, status).bind(2, id);
    st.step();
}

std::string SchemaCatalog::next_constraint_name() {
    int64_t serial = std::stoll(
        db_.query_text("SELECT value FROM ocisim_settings WHERE key = 'next_constraint_serial'")
            .value_or("7100"));
    SqlStmt up =
        db_.prepare("UPDATE ocisim_settings SET value = ? WHERE key = 'next_constraint_serial'");
    up.bind(1, std::to_string(serial + 1));
    up.step();
    return system_constraint_name(serial);
}

void SchemaCatalog::bump_ddl_version() {
    db_.exec(
        "UPDATE ocisim_settings SET value = CAST(value AS INTEGER) + 1 WHERE key = "
        "'ddl_version'");
}

int64_t SchemaCatalog::ddl_version() {
    return std::stoll(db_.query_text("SELECT value FROM ocisim_settings WHERE key = 'ddl_version'")
                          .value_or("0"));
}

void SchemaCatalog::save_columns(const TableDef& t) {
    SqlStmt del = db_.prepare("DELETE FROM ocisim_columns WHERE object_id = ?");
    del.bind(1, t.id);
    del.step();
    SqlStmt st = db_.prepare("INSERT INTO ocisim_columns VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnDef& c = t.columns[i];
        st.bind(1, t.id).bind(2, static_cast<int64_t>(i + 1)).bind(3, c.name);
        st.bind(4, static_cast<int64_t>(c.type.kind)).bind(5, int64_t{c.type.length});
        st.bind(6, int64_t{c.type.char_semantics ? 1 : 0});
        c.type.precision == kNoPrecision ? st.bind_null(7) : st.bind(7, int64_t{c.type.precision});
        c.type.scale == kNoPrecision ? st.bind_null(8) : st.bind(8, int64_t{c.type.scale});
        st.bind(9, int64_t{c.nullable ? 1 : 0});
        c.data_default ? st.bind(10, *c.data_default) : st.bind_null(10);
        st.bind(11, c.storage.empty() ? c.name : c.storage);
        st.step();
        st.reset();
    }
}

void SchemaCatalog::set_storage(int64_t table_id, const std::string& storage) {
    SqlStmt st = db_.prepare("UPDATE ocisim_objects SET storage = ? WHERE object_id = ?");
    st.bind(1, storage).bind(2, table_id);
    st.step();
}

bool SchemaCatalog::storage_taken(const std::string& name) {
    SqlStmt st = db_.prepare("SELECT 1 FROM sqlite_master WHERE name = ? COLLATE NOCASE");
    st.bind(1, name);
    return st.step();
}

void SchemaCatalog::add_key(const std::string& owner, int64_t table_id, const KeyDef& k) {
    SqlStmt st = db_.prepare("INSERT INTO ocisim_constraints VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    st.bind(1, owner).bind(2, k.name).bind(3, std::string(1, k.type)).bind(4, table_id);
    st.bind(5, join_names(k.columns)).bind(6, k.search_condition);
    st.bind(7, int64_t{k.generated ? 1 : 0}).bind(8, k.index_name);
    st.step();
}

void SchemaCatalog::remove_keys_of(int64_t table_id) {
    SqlStmt st = db_.prepare("DELETE FROM ocisim_constraints WHERE table_id = ?");
    st.bind(1, table_id);
    st.step();
}

void SchemaCatalog::add_index(const std::string& owner, int64_t table_id, const IndexDef& i) {
    SqlStmt st = db_.prepare("INSERT INTO ocisim_indexes VALUES (?, ?, ?, ?, ?, ?)");
    st.bind(1, owner).bind(2, i.name).bind(3, table_id).bind(4, int64_t{i.unique ? 1 : 0});
    st.bind(5, join_names(i.columns)).bind(6, int64_t{i.generated ? 1 : 0});
    st.step();
}

void SchemaCatalog::remove_index(const std::string& owner, const std::string& name) {
    SqlStmt st = db_.prepare("DELETE FROM ocisim_indexes WHERE owner = ? AND name = ?");
    st.bind(1, owner).bind(2, name);
    st.step();
}

void SchemaCatalog::remove_indexes_of(int64_t table_id) {
    SqlStmt st = db_.prepare("DELETE FROM ocisim_indexes WHERE table_id = ?");
    st.bind(1, table_id);
    st.step();
}

void SchemaCatalog::add_sequence(const SequenceDef& s) {
    SqlStmt st = db_.prepare("INSERT INTO ocisim_sequences VALUES (?, ?, ?, ?, ?, ?)");
    st.bind(1, s.id).bind(2, s.increment).bind(3, s.min_value).bind(4, s.max_value);
    st.bind(5, int64_t{s.cycle ? 1 : 0}).bind(6, s.next_value);
    st.step();
}

std::optional<SequenceDef> SchemaCatalog::load_sequence(const std::string& owner,
                                                        const std::string& name) {
    SqlStmt st = db_.prepare(
        "SELECT s.object_id, s.increment, s.min_value, s.max_value, s.cycle, s.next_value "
        "FROM ocisim_sequences s JOIN ocisim_objects o ON o.object_id = s.object_id "
        "WHERE o.owner = ? AND o.name = ? AND o.type = 'SEQUENCE'");
    st.bind(1, owner).bind(2, name);
    if (!st.step()) {
        return std::nullopt;
    }
    SequenceDef s;
    s.id = st.int64(0);
    s.owner = owner;
    s.name = name;
    s.increment = st.int64(1);
    s.min_value = st.text(2);
    s.max_value = st.text(3);
    s.cycle = st.int64(4) != 0;
    s.next_value = st.int64(5);
    return s;
}

void SchemaCatalog::set_sequence_next(int64_t id, int64_t next) {
    SqlStmt st = db_.prepare("UPDATE ocisim_sequences SET next_value = ? WHERE object_id = ?");
    st.bind(1, next).bind(2, id);
    st.step();
}

void SchemaCatalog::add_trigger(int64_t table_id, const TriggerDef& t) {
    SqlStmt st = db_.prepare("INSERT OR REPLACE INTO ocisim_triggers VALUES (?, ?, ?, ?, ?, ?, ?)");
    st.bind(1, t.id).bind(2, table_id).bind(3, t.when_column).bind(4, t.sequence);
    st.bind(5, t.into_column).bind(6, int64_t{t.recognised ? 1 : 0}).bind(7, t.text);
    st.step();
}

void SchemaCatalog::remove_triggers_of(int64_t table_id) {
    SqlStmt ids = db_.prepare("SELECT object_id FROM ocisim_triggers WHERE table_id = ?");
    ids.bind(1, table_id);
    std::vector<int64_t> list;
    while (ids.step()) {
        list.push_back(ids.int64(0));
    }
    for (int64_t id : list) {
        remove_object(id);
    }
    SqlStmt st = db_.prepare("DELETE FROM ocisim_triggers WHERE table_id = ?");
    st.bind(1, table_id);
    st.step();
}

}  // namespace ocisim
