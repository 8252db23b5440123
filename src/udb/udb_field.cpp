#include "udb/udb_field.hpp"

#include "tk/tk_log.hpp"

udb_field::udb_field(std::u16string name_, uint32_t size_, const ole_variant& value, bool flag1,
                     bool flag2)
    : ole_variant(value), size(size_), name(std::move(name_)), b_flag1(flag1), b_flag2(flag2) {
    TK_TRACE("udb_field::ctor #2");
    TK_LOGW(1, u"name=%s, size=%d", name.c_str(), static_cast<int>(size));
}

udb_field::udb_field(const udb_field& other)
    : ole_variant(other),
      size(other.size),
      name(other.name),
      b_flag1(other.b_flag1),
      b_flag2(other.b_flag2) {
    TK_TRACE("udb_field::copy ctor");
}

udb_field::~udb_field() = default;
