#pragma once
// Logical values "as is": a logical column becomes CHAR(1) holding 'T' or 'F'.

#include "udb/udb_custom_conversion.hpp"

class brixel_bool_rule : public udb_conversion_rule {
  public:
    bool is_acceptable2(const ole_variant& value) const override;
    bool is_acceptable1(const t_ftd& column) const override;
    std::u16string handle2(const ole_variant& value) const override;
    std::u16string handle1(const t_ftd& column) const override;
};
