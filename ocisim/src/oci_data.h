// Moves values between the application's bind and define buffers and the server's values,
// by external data type (SQLT_*), in the environment's text encoding.
#pragma once

#include "oci_handles.h"

namespace ocisim {

// Decodes one value from client memory. `len` is the byte length to use (already resolved
// from the length array or the buffer size).
Value decode_client_value(const OCIEnv* env, ub2 dty, const void* data, size_t len, bool national);
// Element `iter` of a bind array.
Value read_bind(const OCIBind& b, ub4 iter);
// Writes `v` into element `row` of a define. Returns 1406 when the value was truncated,
// 0 otherwise; throws ORA-01405 for NULL without an indicator.
int write_define(const OCIDefine& d, size_t row, const Value& v);
// Writes text (a ROWID) for an out-bind; returns the bytes written (without terminator).
ub4 write_out_text(const OCIEnv* env, ub2 dty, void* buf, ub4 capacity, const std::string& text);

}  // namespace ocisim
