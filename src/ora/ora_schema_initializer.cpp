#include "ora/ora_schema_initializer.hpp"

#include <memory>

#include "ora/ora_database.hpp"
#include "ora/ora_exception.hpp"
#include "ora/ora_util.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_custom_conversion.hpp"
#include "udb/udb_indexes.hpp"

namespace {

constexpr uint16_t ora_name_used = 955;
constexpr uint16_t ora_no_privilege = 1031;
constexpr int sequence_attempts = 100;
constexpr size_t sequence_base_length = 28;  // 30 characters, less room for "_N"

bool is_lob_column(const t_ftd& field) {
    return (field.size == 0 || field.size > ora_max_inline_length) &&
           (field.vartype == VT_BSTR || field.vartype == VT_BLOB || field.vartype == VT_BYTE_ARRAY);
}

std::u16string decimal(int n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string ora_schema_initializer::make_column_name(ora_validator& validator,
                                                        const std::u16string& source,
                                                        bool b_uppercase) {
    std::u16string name = source;
    if (b_uppercase) {
        tk_wstring::to_upper(name);
    }
    // A name Oracle refuses, or one an earlier field of the same table already got (a table
    // may hold two fields of one name), is replaced by a safe name no field has.
    if (!validator.is_acceptable(name) || validator.is_given(name)) {
        name = validator.get_safe_name(name);
    }
    if (name != source) {
        TK_LOGW(2, u"Store generated column name '%s'", name.c_str());
        validator.add_mapped_pair(source, name);
    }
    validator.add_existing_name(name);
    validator.mark_given(name);
    return name;
}

ora_schema_initializer::ora_schema_initializer(std::u16string table_name, bool b_uppercase,
                                               const udb_schema& source_schema,
                                               const udb_indexes& /*source_indexes*/)
    : table_name_(std::move(table_name)),
      b_uppercase_(b_uppercase),
      validator_(source_schema),
      source_schema_(source_schema) {
    TK_TRACE("ora_schema_initializer::ctor");
    for (const t_ftd* source : source_schema_) {
        if (source == nullptr) {
            continue;
        }
        std::u16string name = make_column_name(validator_, source->name, b_uppercase_);
        if (name != source->name) {
            names_map_.add(source->name, name);
        }
        const bool b_auto = source->b_auto_increment;
        auto column = std::make_unique<t_ftd>(
            source->size, name, source->vartype, b_auto ? false : source->b_not_null, b_auto,
            b_auto ? ole_variant() : source->default_value, source->reserved, source->native_type);
        schema_.add_owned(std::move(column));
        if (b_auto) {
            auto_increment_ = name;
        }
    }
}

std::u16string ora_schema_initializer::create_table_statement() const {
    std::u16string sql = u"CREATE TABLE \"" + table_name_ + u"\" (";
    bool b_first = true;
    for (const t_ftd* column : schema_) {
        if (!b_first) {
            sql += u", ";
        }
        b_first = false;
        sql += u'"';
        sql += column->name;
        sql += u"\" ";
        if (udb_custom_conversion::is_acceptable1(*column)) {
            sql += udb_custom_conversion::handle1(*column);
        } else if (!column->native_type.empty()) {
            sql += column->native_type;
        } else {
            sql += get_ora_native_type(*column, false);
        }
        const std::u16string default_literal = make_ora_def_val(column);
        TK_TRACEW(u"got def value: %s", default_literal.c_str());
        const bool b_text_or_blob = column->vartype == VT_BSTR || column->vartype == VT_BLOB;
        if (!default_literal.empty() &&
            (!b_text_or_blob || (column->size >= 1 && column->size <= ora_max_inline_length))) {
            sql += u" DEFAULT ";
            sql += default_literal;
        }
        TK_TRACEW(u"OraField name='%s', type=%d, size=%d", column->name.c_str(),
                  static_cast<int>(column->vartype), static_cast<int>(column->size));
        // Large objects stay nullable: their rows are inserted with an empty locator first.
        if (column->b_not_null && !is_lob_column(*column)) {
            sql += u" NOT NULL";
        }
    }
    sql += u')';
    return sql;
}

void ora_schema_initializer::build_schema(ora_database& database) {
    TK_TRACE("ora_schema_initializer::build_schema( n_columns=%d )",
             static_cast<int>(schema_.size()));
    const std::u16string sql = create_table_statement();
    TK_LOGW(3, u"Run SQL query: %s\n", sql.c_str());
    database.query(sql);
    if (auto_increment_.empty()) {
        return;
    }
    const std::u16string sequence = create_sequence(database);
    if (sequence.empty()) {
        TK_LOG(2, "Failed to create a sequence");
        return;
    }
    create_trigger(database, sequence);
}

std::u16string ora_schema_initializer::create_sequence(ora_database& database) {
    TK_TRACE("ora_schema_initializer::create_sequence");
    std::u16string base = table_name_;
    if (base.size() > sequence_base_length) {
        base.resize(base.size() - 2);
    }
    for (int n = 0; n < sequence_attempts; ++n) {
        std::u16string name = base + u"_" + decimal(n);
        try {
            database.query(u"CREATE SEQUENCE \"" + name +
                           u"\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE "
                           u"NOCACHE ORDER");
            return name;
        } catch (const ora_exception& e) {
            if (e.ora_number() == ora_name_used) {
                continue;
            }
            if (e.ora_number() == ora_no_privilege) {
                // The table stays, without its auto-increment: the run may go on.
                throw tk_exception(
                    "Insufficient privileges to create sequence.\nAuto increment will not be "
                    "converted.",
                    0);
            }
            throw;
        }
    }
    return std::u16string();
}

void ora_schema_initializer::create_trigger(ora_database& database,
                                            const std::u16string& sequence) {
    // Unquoted names on purpose: the server upper-cases them as it reads the trigger.
    const std::u16string sql =
        u"CREATE OR REPLACE TRIGGER " + table_name_ + u"__TRIGGER BEFORE INSERT ON " + table_name_ +
        u" FOR EACH ROW WHEN (new." + auto_increment_ + u" IS NULL) BEGIN select " + sequence +
        u".nextval into :new." + auto_increment_ + u" from dual; END;";
    try {
        database.query(sql);
    } catch (const ora_exception& e) {
        TK_LOG(2, "Error while creating index for trigger:\n%s\n", e.message.c_str());
    }
}
