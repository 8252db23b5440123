#include "udb/udb_schema.hpp"

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"

namespace {
constexpr const char* source_tag = "udb_sche.cpp";
}

udb_schema::~udb_schema() = default;

t_ftd* udb_schema::add_owned(std::unique_ptr<t_ftd> descriptor) {
    TK_ASSERT(descriptor != nullptr, source_tag);
    if (!owned_) {
        owned_ = std::make_shared<std::vector<std::unique_ptr<t_ftd>>>();
    }
    t_ftd* raw = descriptor.get();
    owned_->push_back(std::move(descriptor));
    push_back(raw);
    return raw;
}

bool udb_schema::conform_to(const udb_schema& destination) const {
    TK_TRACE("udb_schema::conform_to");
    if (size() != destination.size()) {
        TK_LOG(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(size()),
               static_cast<int>(destination.size()));
        return false;
    }
    for (size_t i = 0; i < size(); ++i) {
        const t_ftd& source_column = column(i);
        const t_ftd& destination_column = destination.column(i);
        if (!source_column.conform_to(destination_column)) {
            TK_LOG(2,
                   "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, "
                   "dest_size=%d)",
                   static_cast<int>(i + 1), source_column.vartype,
                   static_cast<int>(source_column.size), destination_column.vartype,
                   static_cast<int>(destination_column.size));
            return false;
        }
    }
    return true;
}

bool udb_schema::find_field(std::u16string_view name) const {
    TK_LOGW(1, u"udb_schema::find_field(%s)", std::u16string(name).c_str());
    for (const t_ftd* descriptor : *this) {
        if (descriptor == nullptr) {
            continue;
        }
        TK_LOGW(1, u"Processing %s", descriptor->name.c_str());
        if (tk_wstring::iequals(descriptor->name, name)) {
            return true;
        }
    }
    return false;
}

int32_t udb_schema::get_field_idx(std::u16string_view name) const {
    TK_LOGW(1, u"udb_schema::get_field_idx(%s)", std::u16string(name).c_str());
    for (size_t i = 0; i < size(); ++i) {
        const t_ftd* descriptor = (*this)[i];
        if (descriptor != nullptr && tk_wstring::iequals(descriptor->name, name)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

t_ftd& udb_schema::get_field(std::u16string_view name) {
    const int32_t i = get_field_idx(name);
    TK_ASSERT(i >= 0, source_tag);
    return column(static_cast<size_t>(i));
}

const t_ftd& udb_schema::get_field(std::u16string_view name) const {
    const int32_t i = get_field_idx(name);
    TK_ASSERT(i >= 0, source_tag);
    return column(static_cast<size_t>(i));
}

t_ftd& udb_schema::column(size_t i) {
    TK_ASSERT(i < size() && (*this)[i] != nullptr, source_tag);
    return *(*this)[i];
}

const t_ftd& udb_schema::column(size_t i) const {
    TK_ASSERT(i < size() && (*this)[i] != nullptr, source_tag);
    return *(*this)[i];
}
