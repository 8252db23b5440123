#include "ora/ora_exception.hpp"

#include <utility>

ora_exception::ora_exception(uint16_t number, std::string text)
    : tk_exception(std::move(text), 0), error_code(ora_error_code_base | number) {
    // The error handler picks its friendly text by the base class's code.
    code = error_code;
}
