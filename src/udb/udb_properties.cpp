#include "udb/udb_properties.hpp"

udb_properties::~udb_properties() = default;

udb_properties::property_map& udb_properties::get_properties() {
    return properties;
}
