#pragma once
// How a conversion carries source values. `classic` keeps the long-standing conversions, losses
// included, so old profiles replay with the results they always gave. `exact` carries every
// value as the source holds it, or reports the record and field it cannot carry; it never
// invents, rounds or drops a value silently. The value is handed to the source table when it is
// opened and to the destination's loader; nothing deeper reads a global setting.

#include <optional>
#include <string_view>

enum class udb_values { classic, exact };

// "exact" / "classic".
constexpr std::string_view udb_values_name(udb_values values) noexcept {
    return values == udb_values::exact ? "exact" : "classic";
}

// The setting a name stands for; nothing for any other text.
constexpr std::optional<udb_values> udb_values_from_name(std::string_view name) noexcept {
    if (name == "exact") {
        return udb_values::exact;
    }
    if (name == "classic") {
        return udb_values::classic;
    }
    return std::nullopt;
}
