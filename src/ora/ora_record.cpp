#include "ora/ora_record.hpp"

#include "ora/ora_type.hpp"
#include "tk/tk_log.hpp"

ora_record::ora_record(const std::vector<std::unique_ptr<ora_type>>& columns) {
    TK_TRACE("ora_record::ctor");
    reserve(columns.size());
    int position = 0;
    for (const std::unique_ptr<ora_type>& column : columns) {
        ++position;
        if (column->is_null()) {
            TK_TRACE("Field #%d has NULL value", position);
            add(std::make_unique<udb_field>(column->name, column->data_size));
            continue;
        }
        add(std::make_unique<udb_field>(column->name, column->data_size, column->to_variant()));
    }
}
