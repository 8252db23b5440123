#include "ora/ora_exception.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

ora_exception::ora_exception(uint16_t number, std::string text)
    : tk_exception(std::move(text), 0), error_code(ora_error_code_base | number) {
    // The error handler picks its friendly text by the base class's code.
    code = error_code;
}

namespace {

// The server or the network went away, the session was killed or the instance is shutting
// down; the last ones are what the client says when it loses the server mid-call.
constexpr uint16_t session_faults[] = {
    28,     // your session has been killed
    1012,   // not logged on
    1092,   // ORACLE instance terminated
    2396,   // exceeded maximum idle time
    3113,   // end-of-file on communication channel
    3114,   // not connected to ORACLE
    3135,   // connection lost contact
    12152,  // unable to send break message
    12537,  // TNS: connection closed
    12547,  // TNS: lost contact
    12560,  // TNS: protocol adapter error
    12570,  // TNS: packet reader failure
    12571,  // TNS: packet writer failure
};

// No room left for the table, its index, undo or the user's quota.
constexpr uint16_t table_faults[] = {
    1536,   // space quota exceeded for tablespace
    1628,   // max # extents reached for rollback segment
    1631,   // max # extents reached in table
    1650,   // unable to extend rollback segment
    1653,   // unable to extend table
    1654,   // unable to extend index
    1688,   // unable to extend table partition
    30036,  // unable to extend segment in undo tablespace
};

bool listed(const uint16_t* first, const uint16_t* last, uint16_t number) {
    return std::find(first, last, number) != last;
}

}  // namespace

ora_fault ora_fault_of(uint16_t number) noexcept {
    if (listed(std::begin(session_faults), std::end(session_faults), number)) {
        return ora_fault::session;
    }
    if (listed(std::begin(table_faults), std::end(table_faults), number)) {
        return ora_fault::table;
    }
    return ora_fault::none;
}

ora_fault ora_fault_of(const tk_exception& e) noexcept {
    const auto* oracle = dynamic_cast<const ora_exception*>(&e);
    return oracle != nullptr ? ora_fault_of(oracle->ora_number()) : ora_fault::none;
}
