#pragma once
// The generic type change of OLE Automation values (VariantChangeType with no flags) over the
// empty, null, integer, floating-point, currency, decimal, boolean and text kinds, written from
// its documented behaviour:
// - integers take floating-point, currency and decimal values rounded half to even, text as
//   read by the English-rules number reader (rounded the same way), and fail with
//   DISP_E_OVERFLOW outside their range; a signed kind and the unsigned kind of the same width
//   exchange their bit patterns;
// - VT_BOOL becomes -1 for any non-zero value; text "True" / "False" (any case) or a number;
// - VT_BSTR renders integers in decimal, VT_R8 with 15 and VT_R4 with 7 significant digits
//   ("%G"), a boolean as "-1" / "0", currency and decimal as plain digits with a point;
// - text that is no number gives DISP_E_TYPEMISMATCH.
// Dates are converted by ole_variant itself; here they are a type mismatch.

#include "udb/ole_types.hpp"

class ole_variant;

// dest receives the converted value (dest may be src). On failure dest is left unchanged.
ole_hresult ole_change_type(ole_variant& dest, const ole_variant& src, VARTYPE target);
