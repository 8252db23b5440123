#pragma once
// A failure reported by the Oracle server or client: Oracle's own text, and the ORA number
// carried as 0x100000 + number so the error handler can tell it from other codes.

#include <cstdint>
#include <string>

#include "tk/tk_error_converter.hpp"
#include "tk/tk_exception.hpp"

class ora_exception : public tk_exception {
  public:
    // Recoverable: the run decides whether the record or table in hand is given up.
    ora_exception(uint16_t ora_number, std::string text);

    // The number without the offset (1017 for ORA-01017).
    uint16_t ora_number() const noexcept { return static_cast<uint16_t>(error_code & 0xFFFFu); }

    uint32_t error_code = 0;
};
