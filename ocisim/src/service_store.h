// One service (database) is one SQLite file: its settings, users, privileges and the catalogue
// of every schema live in tables named ocisim_*, next to the users' tables.
#pragma once

#include "text_codec.h"

#include <optional>
#include <string>
#include <vector>

#include "oracle_model.h"
#include "sqlite_db.h"

namespace ocisim {

struct ServiceSettings {
    std::string name;  // service name as created
    Release release;
    std::string charset = "AL32UTF8";
    std::string ncharset = "AL16UTF16";
    bool char_length_semantics = false;  // NLS_LENGTH_SEMANTICS=CHAR
    bool single_byte() const { return single_byte_charset(charset); }
    // Most bytes one character takes in the database character set.
    int max_char_bytes() const { return single_byte() ? 1 : 4; }
};

// Where services, tnsnames.ora and listener.ora live: $OCISIM_HOME, else
// $XDG_DATA_HOME/ocisim, else ~/.local/share/ocisim.
std::string ocisim_home();
// Path of a service's file (service names are case-insensitive).
std::string service_path(const std::string& service);

class ServiceStore {
  public:
    // Creates the file and its catalogue; throws std::runtime_error when it exists.
    static void create(const std::string& service, const std::string& release,
                       const std::string& charset, const std::string& length_semantics);
    static SqliteDb open(const std::string& path);
    static ServiceSettings settings(SqliteDb& db);

    static void create_user(SqliteDb& db, const std::string& user, const std::string& password,
                            bool default_privileges);
    static void set_locked(SqliteDb& db, const std::string& user, bool locked);
    static void set_password(SqliteDb& db, const std::string& user, const std::string& password);
    static void grant(SqliteDb& db, const std::string& user, const std::string& privilege);
    static void revoke(SqliteDb& db, const std::string& user, const std::string& privilege);
    static bool has_privilege(SqliteDb& db, const std::string& user, const std::string& privilege);

    struct UserRow {
        std::string password;
        bool locked = false;
    };
    static std::optional<UserRow> find_user(SqliteDb& db, const std::string& user);
};

}  // namespace ocisim
