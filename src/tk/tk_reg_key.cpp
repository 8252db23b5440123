#include "tk/tk_reg_key.hpp"

#include <cstring>
#include <variant>

#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_settings_store.hpp"

long tk_reg_key::create(tk_settings_store* parent, const std::string& sub_key,
                        uint32_t* disposition) {
    TK_ASSERT(parent != nullptr, "tk_regk.cpp");
    const bool existed = parent->create_key(sub_key);
    close();
    store_ = parent;
    key_ = sub_key;
    if (disposition != nullptr) {
        *disposition = existed ? tk_reg_opened_existing_key : tk_reg_created_new_key;
    }
    return tk_reg_success;
}

void tk_reg_key::close() noexcept {
    store_ = nullptr;
    key_.clear();
}

long tk_reg_key::get_value(uint32_t& out, const char* name) const {
    TK_ASSERT(name != nullptr, "tk_regk.cpp");
    TK_LOG(2, "tk_reg_key::get_value(ulong, %s)", name);
    if (store_ == nullptr) {
        return tk_reg_invalid_handle;
    }
    const tk_settings_store::value* v = store_->find(key_, name);
    if (v == nullptr) {
        return tk_reg_not_found;
    }
    const auto* number = std::get_if<uint32_t>(v);
    TK_TRACE(
        "type=%d, size=%d", number != nullptr ? 4 : 1,
        number != nullptr ? 4 : static_cast<int>((std::get<std::u16string>(*v).size() + 1) * 2));
    if (number == nullptr) {
        return tk_reg_invalid_data;
    }
    out = *number;
    return tk_reg_success;
}

long tk_reg_key::get_value(char16_t* buffer, const char* name, uint32_t* byte_size) const {
    TK_ASSERT(name != nullptr && byte_size != nullptr, "tk_regk.cpp");
    TK_LOG(2, "tk_reg_key::get_value(LPWSTR, %s)", name);
    if (store_ == nullptr) {
        return tk_reg_invalid_handle;
    }
    const tk_settings_store::value* v = store_->find(key_, name);
    if (v == nullptr) {
        return tk_reg_not_found;
    }
    const auto* text = std::get_if<std::u16string>(v);
    if (text == nullptr) {
        TK_TRACE("type=%d, size=%d", 4, 4);
        return tk_reg_invalid_data;
    }
    const uint32_t needed = static_cast<uint32_t>((text->size() + 1) * sizeof(char16_t));
    TK_TRACE("type=%d, size=%d", 1, static_cast<int>(needed));
    if (buffer == nullptr) {
        *byte_size = needed;
        return tk_reg_success;
    }
    if (*byte_size < needed) {
        *byte_size = needed;
        return tk_reg_more_data;
    }
    std::memcpy(buffer, text->c_str(), needed);
    *byte_size = needed;
    return tk_reg_success;
}

long tk_reg_key::set_value(uint32_t value, const char* name) {
    TK_ASSERT(store_ != nullptr && name != nullptr, "tk_regk.cpp");
    return store_->set(key_, name, value) ? tk_reg_success : tk_reg_write_fault;
}

long tk_reg_key::set_value(const char16_t* text, const char* name) {
    TK_ASSERT(store_ != nullptr && text != nullptr && name != nullptr, "tk_regk.cpp");
    return store_->set(key_, name, std::u16string(text)) ? tk_reg_success : tk_reg_write_fault;
}

bool tk_reg_key::exchange(const char* name, uint32_t& value, bool store) {
    if (!is_open()) {
        return false;
    }
    return (store ? set_value(value, name) : get_value(value, name)) == tk_reg_success;
}

bool tk_reg_key::exchange(const char* name, bool& value, bool store) {
    uint32_t number = value ? 1 : 0;
    if (!exchange(name, number, store)) {
        return false;
    }
    value = number != 0;
    return true;
}

bool tk_reg_key::exchange(const char* name, std::u16string& value, bool store) {
    if (!is_open()) {
        return false;
    }
    if (store) {
        return set_value(value.c_str(), name) == tk_reg_success;
    }
    uint32_t size = 0;
    if (get_value(nullptr, name, &size) != tk_reg_success || size == 0) {
        return false;
    }
    std::u16string buffer(size / sizeof(char16_t), u'\0');
    if (get_value(buffer.data(), name, &size) != tk_reg_success) {
        return false;
    }
    buffer.resize(size / sizeof(char16_t) - 1);  // drop the terminating zero
    value = std::move(buffer);
    return true;
}
