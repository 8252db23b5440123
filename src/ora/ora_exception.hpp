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

// What an Oracle error costs beyond the statement that met it.
enum class ora_fault {
    none,     // this record or statement only
    table,    // every later row of the table would meet it too (no room left)
    session,  // the session is gone: nothing more can be sent on it
};

// The class of an ORA number.
ora_fault ora_fault_of(uint16_t ora_number) noexcept;
// The class of an exception: none unless it is an Oracle error of one of the other classes.
ora_fault ora_fault_of(const tk_exception& e) noexcept;
