#include "udb/udb_record.hpp"

#include "tk/tk_exception.hpp"

namespace {
constexpr const char* source_tag = "udb_sche.cpp";
}

udb_record::udb_record(udb_record&& other) noexcept : std::vector<udb_field*>(std::move(other)) {
    other.std::vector<udb_field*>::clear();
}

udb_record& udb_record::operator=(udb_record&& other) noexcept {
    if (this != &other) {
        clear();
        std::vector<udb_field*>::swap(other);
    }
    return *this;
}

udb_record::~udb_record() {
    clear();
}

void udb_record::clear() {
    for (udb_field*& field : *this) {
        delete field;
        field = nullptr;
    }
    std::vector<udb_field*>::clear();
}

udb_field* udb_record::add(std::unique_ptr<udb_field> field) {
    TK_ASSERT(field != nullptr, source_tag);
    reserve(size() + 1);  // so that push_back cannot throw after the release
    udb_field* raw = field.release();
    push_back(raw);
    return raw;
}

udb_field& udb_record::field(size_t i) {
    TK_ASSERT(i < size() && (*this)[i] != nullptr, source_tag);
    return *(*this)[i];
}

const udb_field& udb_record::field(size_t i) const {
    TK_ASSERT(i < size() && (*this)[i] != nullptr, source_tag);
    return *(*this)[i];
}
