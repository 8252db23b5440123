#pragma once
// One fetched row as a common record: a field per result column, named after the column.

#include <memory>
#include <vector>

#include "udb/udb_record.hpp"

class ora_type;

class ora_record : public udb_record {
  public:
    explicit ora_record(const std::vector<std::unique_ptr<ora_type>>& columns);
};
