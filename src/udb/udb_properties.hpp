#pragma once
// udb_properties: the base of the type-mapping mutators, an ordered map from property name to
// property value. A mutator may rebuild the map from its own members in get_properties().

#include <map>
#include <string>

class udb_properties {
  public:
    using property_map = std::map<std::u16string, std::u16string>;

    udb_properties() = default;
    udb_properties(const udb_properties&) = default;
    udb_properties& operator=(const udb_properties&) = default;
    virtual ~udb_properties();

    virtual property_map& get_properties();

  protected:
    property_map properties;
};
