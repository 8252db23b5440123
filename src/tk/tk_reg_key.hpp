#pragma once
// One open key of the per-user settings store, with typed values (32-bit numbers and texts).
// The calls answer error codes with the registry's numbering, so callers can tell a missing
// value from a failure.

#include <cstdint>
#include <string>

class tk_settings_store;

inline constexpr long tk_reg_success = 0;         // ERROR_SUCCESS
inline constexpr long tk_reg_not_found = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr long tk_reg_invalid_handle = 6;  // ERROR_INVALID_HANDLE
inline constexpr long tk_reg_invalid_data = 13;   // ERROR_INVALID_DATA
inline constexpr long tk_reg_write_fault = 29;    // ERROR_WRITE_FAULT
inline constexpr long tk_reg_more_data = 234;     // ERROR_MORE_DATA

inline constexpr uint32_t tk_reg_created_new_key = 1;
inline constexpr uint32_t tk_reg_opened_existing_key = 2;

class tk_reg_key {
  public:
    explicit tk_reg_key(std::string key_path) : path(std::move(key_path)) {}
    ~tk_reg_key() { close(); }
    tk_reg_key(const tk_reg_key&) = delete;
    tk_reg_key& operator=(const tk_reg_key&) = delete;

    // Creates or opens `sub_key` below the store's root; keeps it open on success.
    long create(tk_settings_store* parent, const std::string& sub_key,
                uint32_t* disposition = nullptr);
    void close() noexcept;
    bool is_open() const noexcept { return store_ != nullptr; }

    long get_value(uint32_t& out, const char* name) const;
    // With a null buffer only `byte_size` is set (bytes of the text and its terminating zero).
    long get_value(char16_t* buffer, const char* name, uint32_t* byte_size) const;
    long set_value(uint32_t value, const char* name);
    long set_value(const char16_t* text, const char* name);

    // Read (store false) or write (store true) one setting; false when no key is open or the
    // call fails, so the variable keeps its default.
    bool exchange(const char* name, uint32_t& value, bool store);
    bool exchange(const char* name, bool& value, bool store);
    bool exchange(const char* name, std::u16string& value, bool store);

    const std::string path;

  private:
    tk_settings_store* store_ = nullptr;
    std::string key_;
};
