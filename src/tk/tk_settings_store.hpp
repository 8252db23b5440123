#pragma once
// The per-user store that stands in for the registry: one UTF-8 text file,
// $BRIXEL_CONFIG_HOME (else $XDG_CONFIG_HOME, else ~/.config) /Quillonworks/Brixel.conf.
// Keys are sections named by their path; values keep their type (32-bit number or text).
// Every change rewrites the file atomically (temporary file and rename) with mode 0600,
// because the settings include the password.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

class tk_settings_store {
  public:
    using value = std::variant<uint32_t, std::u16string>;

    // Opens the store at `file`; an absent file is an empty store.
    explicit tk_settings_store(std::string file);

    // The user's store at its standard place.
    static tk_settings_store& current_user();
    // Where the user's store lives, from the environment.
    static std::string default_path();

    bool has_key(const std::string& key) const { return keys_.count(key) != 0; }
    // Creates the key when it is missing; answers whether it already existed.
    bool create_key(const std::string& key);

    const value* find(const std::string& key, const std::string& name) const;
    // Sets a value and writes the file; answers false when the file cannot be written.
    bool set(const std::string& key, const std::string& name, value v);

    const std::string& path() const noexcept { return path_; }

  private:
    void load();
    bool save() const;

    std::string path_;
    std::map<std::string, std::map<std::string, value>> keys_;
};
