#pragma once
// udb_field: one named, sized value of a row.

#include <cstdint>
#include <string>

#include "udb/ole_variant.hpp"

class udb_field : public ole_variant {
  public:
    udb_field(std::u16string name, uint32_t size, const ole_variant& value = ole_variant(),
              bool flag1 = false, bool flag2 = false);
    udb_field(const udb_field& other);
    udb_field& operator=(const udb_field& other) = default;
    ~udb_field() override;

    uint32_t size = 0;  // declared size of the column (0 = not known)
    std::u16string name;
    bool b_flag1 = false;
    bool b_flag2 = false;
};
