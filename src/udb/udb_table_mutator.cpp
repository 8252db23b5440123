#include "udb/udb_table_mutator.hpp"

#include <algorithm>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_indexes.hpp"

udb_table_mutator::udb_table_mutator(std::u16string destination_name, type_code_lookup lookup)
    : new_name(std::move(destination_name)), lookup_(lookup) {}

udb_table_mutator::~udb_table_mutator() = default;

udb_field_mutator* udb_table_mutator::find_field(std::u16string_view source_name) const {
    const auto found = by_source_.find(source_name);
    return found == by_source_.end() ? nullptr : found->second.get();
}

std::u16string udb_table_mutator::modify1(udb_schema& schema) {
    TK_LOG(2, "udb_table_mutator::modify1()");
    if (by_source_.empty()) {
        return new_name;
    }
    output_schema_ = udb_schema(schema.b_flag);
    for (const t_ftd* column : schema) {
        if (column == nullptr) {
            continue;
        }
        const udb_field_mutator* mutator = find_field(column->name);
        if (mutator != nullptr && mutator->status == udb_field_mutator::status_deleted) {
            continue;
        }
        // A copy: the source recordset keeps its own descriptors unchanged.
        t_ftd* kept = output_schema_.add_owned(std::make_unique<t_ftd>(*column));
        if (mutator != nullptr && mutator->status == udb_field_mutator::status_changed) {
            mutator->modify1(*kept);
        }
    }
    schema = output_schema_;
    return new_name;
}

udb_record& udb_table_mutator::modify2(udb_record& record) {
    TK_LOG(2, "udb_table_mutator::modify2()");
    if (by_source_.empty()) {
        return record;
    }
    if (cached_names_.size() < record.size()) {
        cached_names_.resize(record.size());
        cached_mutators_.resize(record.size(), nullptr);
    }
    // The output record keeps its field objects from one record to the next (a table's records
    // all have the same layout), so the values are assigned, not reallocated.
    size_t kept = 0;
    for (size_t i = 0; i < record.size(); ++i) {
        const udb_field& source = record.field(i);
        if (cached_names_[i] != source.name) {
            cached_names_[i] = source.name;
            cached_mutators_[i] = find_field(source.name);
        }
        const udb_field_mutator* mutator = cached_mutators_[i];
        if (mutator != nullptr && mutator->status == udb_field_mutator::status_deleted) {
            continue;
        }
        udb_field* target = nullptr;
        if (kept < output_.size()) {
            target = output_[kept];
            *target = source;
        } else {
            target = output_.add(std::make_unique<udb_field>(source));
        }
        ++kept;
        if (mutator != nullptr) {
            mutator->modify2(*target, values);
        }
    }
    if (kept < output_.size()) {
        // Fewer fields than last time: drop the surplus (the record only frees them all).
        std::vector<std::unique_ptr<udb_field>> keep;
        keep.reserve(kept);
        for (size_t i = 0; i < kept; ++i) {
            keep.push_back(std::make_unique<udb_field>(*output_[i]));
        }
        output_.clear();
        for (auto& field : keep) {
            output_.add(std::move(field));
        }
    }
    return output_;
}

void udb_table_mutator::modify3(udb_indexes& indexes) {
    TK_LOG(2, "udb_table_mutator::modify3()");
    for (udb_index& index : indexes) {
        std::vector<std::u16string> columns;
        columns.reserve(index.fields.size());
        for (const std::u16string& column : index.fields) {
            const udb_field_mutator* mutator = find_field(column);
            if (mutator == nullptr) {
                columns.push_back(column);
            } else if (mutator->status != udb_field_mutator::status_deleted) {
                columns.push_back(mutator->new_name.empty() ? column : mutator->new_name);
            }
        }
        index.fields = std::move(columns);
    }
    // An index whose columns were all dropped cannot be created.
    std::erase_if(indexes, [](const udb_index& index) { return index.fields.empty(); });
}

void udb_table_mutator::update_field(const std::u16string& old_name,
                                     const std::u16string& new_column_name,
                                     const t_field_description& description) {
    TK_TRACEW(u"udb_table_mutator::update_field(old_name=%s,new_name=%s,native_type=%s,length=%d",
              old_name.c_str(), new_column_name.c_str(), description.type.c_str(),
              description.length);
    udb_field_mutator* mutator = find_field(old_name);
    if (mutator == nullptr) {
        auto created = std::make_unique<udb_field_mutator>();
        created->status = udb_field_mutator::status_changed;
        mutator = created.get();
        by_source_.emplace(old_name, std::move(created));
    }
    // A column renamed again is no longer found under its previous destination name.
    std::erase_if(by_destination_, [&](const auto& entry) {
        return entry.second == mutator && entry.first != new_column_name;
    });
    by_destination_[new_column_name] = mutator;
    mutator->vartype = mapped_vartype(description.type, description.scale, description.precision);
    mutator->new_name = new_column_name;
    mutator->type = description.type;
    mutator->default_value = description.default_value;
    mutator->character_set = description.character_set;
    mutator->length = description.length;
    mutator->scale = description.scale;
    mutator->precision = description.precision;
    // The cached positions may name this column.
    cached_names_.clear();
    cached_mutators_.clear();
}

VARTYPE udb_table_mutator::mapped_vartype(std::u16string_view type_text, int32_t scale,
                                          int32_t precision) const {
    const std::u16string text = tk_trim(type_text);
    const std::u16string base = tk_trim(std::u16string_view(text).substr(0, text.find(u'(')));
    if (base == u"NUMBER") {
        if (scale > 0) {
            return VT_R8;
        }
        // No precision given is an unlimited NUMBER, not a one-byte integer.
        if (precision <= 0) {
            return VT_R8;
        }
        if (precision < 4) {
            return VT_I1;
        }
        if (precision < 6) {
            return VT_I2;
        }
        if (precision < 12) {
            return VT_I4;
        }
        return precision > 19 ? VT_R8 : VT_I8;
    }
    VARTYPE code = VT_EMPTY;
    if (lookup_ != nullptr && (lookup_(text, code) || lookup_(base, code))) {
        return code;
    }
    return VT_BSTR;
}
