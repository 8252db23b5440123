#include "ora/ora_indexes_initializer.hpp"

#include <vector>

#include "ora/ora_engine.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_util.hpp"
#include "ora/ora_validator.hpp"
#include "tk/tk_log.hpp"
#include "udb/udb_names_map.hpp"
#include "udb/udb_schema.hpp"

namespace {

constexpr uint16_t ora_already_indexed = 1408;
constexpr uint16_t ora_key_exists = 2261;

}  // namespace

ora_indexes_initializer::ora_indexes_initializer(std::u16string table_name,
                                                 const udb_indexes& source_indexes,
                                                 const udb_schema& schema, const t_names_map& names,
                                                 ora_in_validator& validator)
    : table_name_(std::move(table_name)) {
    // Index names belong to the whole schema: a name an earlier table of the run took is
    // replaced like a name Oracle would refuse.
    std::vector<bool> taken;
    taken.reserve(source_indexes.size());
    for (const udb_index& source : source_indexes) {
        taken.push_back(validator.is_duplicated(source.name));
    }
    validator.load(source_indexes);
    for (size_t i = 0; i < source_indexes.size(); ++i) {
        const udb_index& source = source_indexes[i];
        std::u16string name = source.name;
        const bool b_acceptable = validator.is_acceptable(name) && !taken[i];
        if (!b_acceptable) {
            name = validator.get_safe_name(name);
        }
        udb_index index(name, source.b_unique, source.b_primary);
        bool b_kept = true;
        for (const std::u16string& field : source.fields) {
            const std::u16string column = names.get_mapped_name(field, true);
            const int32_t eye = schema.get_field_idx(column);
            if (eye < 0 || !can_be_part_of_index(schema.column(static_cast<size_t>(eye)))) {
                TK_LOGW(2, u"Field '%s' cannot be part of index", column.c_str());
                b_kept = false;
                break;
            }
            index.fields.push_back(column);
        }
        if (!b_kept) {
            continue;
        }
        if (index.b_primary) {
            primary_ = static_cast<int32_t>(indexes_.size());
        }
        indexes_.push_back(std::move(index));
        if (!b_acceptable) {
            TK_LOGW(2, u"Store generated index name '%s'", name.c_str());
        }
        validator.add_existing_name(name);
    }
}

bool ora_indexes_initializer::can_be_part_of_index(const t_ftd& field) {
    TK_TRACE("ora_indexes_initializer::can_be_part_of_index");
    TK_TRACE("GOT FIELD: vt=%d, size=%d", static_cast<int>(field.vartype),
             static_cast<int>(field.size));
    const bool b_large = field.size == 0 || field.size > ora_max_inline_length;
    const bool b_lob_kind = field.vartype == VT_BSTR || field.vartype == VT_BLOB ||
                            field.vartype == VT_BLOB_OBJECT || field.vartype == VT_BYTE_ARRAY;
    return !(b_large && b_lob_kind);
}

void ora_indexes_initializer::build_indexes() {
    TK_TRACE("ora_indexes_initializer::build_indexes(n_indexes=%d)",
             static_cast<int>(indexes_.size()));
    for (size_t i = 0; i < indexes_.size(); ++i) {
        const udb_index& index = indexes_[i];
        if (index.fields.empty()) {
            TK_TRACEW(u"Skip index '%s' as it is built on empty fields list", index.name.c_str());
            continue;
        }
        std::u16string sql;
        if (index.b_primary) {
            sql = u"ALTER TABLE \"" + table_name_ + u"\" ADD CONSTRAINT \"" + index.name +
                  u"\" PRIMARY KEY (";
        } else if (primary_ >= 0 &&
                   index.consists_of_fields(indexes_[static_cast<size_t>(primary_)].fields)) {
            TK_LOGW(2, u"Skip index '%s', it is equal to PK", index.name.c_str());
            continue;
        } else if (index.b_unique) {
            sql = u"ALTER TABLE \"" + table_name_ + u"\" ADD CONSTRAINT \"" + index.name +
                  u"\" UNIQUE (";
        } else {
            sql = u"CREATE INDEX \"" + index.name + u"\" ON \"" + table_name_ + u"\" (";
        }
        for (size_t f = 0; f < index.fields.size(); ++f) {
            TK_TRACEW(u"Process idx.field %s", index.fields[f].c_str());
            if (f != 0) {
                sql += u", ";
            }
            sql += u'"';
            sql += index.fields[f];
            sql += u'"';
        }
        sql += u')';
        TK_LOGW(3, u"Run SQL query: %s\n", sql.c_str());
        try {
            ora_stmt stmt;
            stmt.prepare(sql);
            stmt.execute(1);
        } catch (const ora_exception& e) {
            TK_LOG(2, "Got error: %08X", static_cast<unsigned>(e.ora_number()));
            if (e.ora_number() == ora_already_indexed || e.ora_number() == ora_key_exists) {
                continue;
            }
            throw;
        }
    }
}
