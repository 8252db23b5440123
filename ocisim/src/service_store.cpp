#include "service_store.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "text_codec.h"

namespace ocisim {

namespace {

constexpr const char* kCatalogueDdl = R"(
CREATE TABLE ocisim_settings(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE ocisim_users(name TEXT PRIMARY KEY, password TEXT NOT NULL,
                          locked INTEGER NOT NULL DEFAULT 0);
CREATE TABLE ocisim_privileges(grantee TEXT, privilege TEXT, PRIMARY KEY(grantee, privilege));
CREATE TABLE ocisim_objects(object_id INTEGER PRIMARY KEY, owner TEXT NOT NULL,
                            name TEXT NOT NULL, type TEXT NOT NULL, namespace TEXT NOT NULL,
                            status TEXT NOT NULL DEFAULT 'VALID', created TEXT, storage TEXT,
                            UNIQUE(owner, namespace, name));
CREATE TABLE ocisim_columns(object_id INTEGER, column_id INTEGER, name TEXT, kind INTEGER,
                            length INTEGER, char_semantics INTEGER, precision INTEGER,
                            scale INTEGER, nullable INTEGER, data_default TEXT, storage TEXT,
                            PRIMARY KEY(object_id, column_id));
CREATE TABLE ocisim_constraints(owner TEXT, name TEXT, type TEXT, table_id INTEGER,
                                columns TEXT, search_condition TEXT, generated INTEGER,
                                index_name TEXT, PRIMARY KEY(owner, name));
CREATE TABLE ocisim_indexes(owner TEXT, name TEXT, table_id INTEGER, is_unique INTEGER,
                            columns TEXT, generated INTEGER, PRIMARY KEY(owner, name));
CREATE TABLE ocisim_sequences(object_id INTEGER PRIMARY KEY, increment INTEGER,
                              min_value TEXT, max_value TEXT, cycle INTEGER, next_value INTEGER);
CREATE TABLE ocisim_triggers(object_id INTEGER PRIMARY KEY, table_id INTEGER, when_column TEXT,
                             sequence_name TEXT, into_column TEXT, recognised INTEGER, text TEXT);
CREATE TABLE ocisim_views(object_id INTEGER PRIMARY KEY, text TEXT);
)";

std::string env_or_empty(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

}  // namespace

std::string ocisim_home() {
    std::string home = env_or_empty("OCISIM_HOME");
    if (!home.empty()) {
        return home;
    }
    std::string xdg = env_or_empty("XDG_DATA_HOME");
    if (!xdg.empty()) {
        return xdg + "/ocisim";
    }
    return env_or_empty("HOME") + "/.local/share/ocisim";
}

std::string service_path(const std::string& service) {
    std::string lower = service;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ocisim_home() + "/" + lower + ".db";
}

void ServiceStore::create(const std::string& service, const std::string& release,
                          const std::string& charset, const std::string& length_semantics) {
    auto rel = find_release(release);
    if (!rel) {
        throw std::runtime_error("unknown release '" + release + "' (known: " + known_releases() +
                                 ")");
    }
    if (!known_charset(charset)) {
        throw std::runtime_error("unsupported character set '" + charset +
                                 "' (AL32UTF8, UTF8, WE8MSWIN1252, EE8MSWIN1250, CL8MSWIN1251, "
                                 "EL8MSWIN1253, TR8MSWIN1254, WE8ISO8859P1, WE8ISO8859P15, "
                                 "EE8ISO8859P2, CL8ISO8859P5 or US7ASCII)");
    }
    if (length_semantics != "BYTE" && length_semantics != "CHAR") {
        throw std::runtime_error("length semantics must be BYTE or CHAR");
    }
    std::string path = service_path(service);
    std::filesystem::create_directories(ocisim_home());
    if (std::filesystem::exists(path)) {
        throw std::runtime_error("service " + service + " already exists: " + path);
    }
    SqliteDb db(path, true);
    db.exec("PRAGMA journal_mode=WAL");
    db.exec("BEGIN");
    db.exec(kCatalogueDdl);
    SqlStmt ins = db.prepare("INSERT INTO ocisim_settings VALUES (?, ?)");
    const std::pair<const char*, std::string> rows[] = {
        {"service_name", upper_ascii(service)},
        {"release", rel->name},
        {"charset", charset},
        {"ncharset", "AL16UTF16"},
        {"nls_length_semantics", length_semantics},
        {"next_object_id", "73000"},
        {"next_constraint_serial", "7100"},
        {"ddl_version", "0"},
    };
    for (const auto& [key, value] : rows) {
        ins.bind(1, std::string_view(key)).bind(2, value);
        ins.step();
        ins.reset();
    }
    db.exec("COMMIT");
}

SqliteDb ServiceStore::open(const std::string& path) {
    SqliteDb db(path, false);
    sqlite3_busy_timeout(db.raw(), kDefaultLockWaitMs);
    db.exec("PRAGMA synchronous=NORMAL");
    return db;
}

ServiceSettings ServiceStore::settings(SqliteDb& db) {
    ServiceSettings s;
    SqlStmt st = db.prepare("SELECT key, value FROM ocisim_settings");
    std::string release = "19c";
    while (st.step()) {
        std::string key = st.text(0);
        if (key == "service_name") {
            s.name = st.text(1);
        } else if (key == "release") {
            release = st.text(1);
        } else if (key == "charset") {
            s.charset = st.text(1);
        } else if (key == "ncharset") {
            s.ncharset = st.text(1);
        } else if (key == "nls_length_semantics") {
            s.char_length_semantics = st.text(1) == "CHAR";
        }
    }
    s.release = find_release(release).value_or(*find_release("19c"));
    return s;
}

void ServiceStore::create_user(SqliteDb& db, const std::string& user, const std::string& password,
                               bool default_privileges) {
    SqlStmt st = db.prepare("INSERT INTO ocisim_users(name, password) VALUES (?, ?)");
    st.bind(1, user).bind(2, password);
    if (st.step_code() != SQLITE_DONE) {
        throw std::runtime_error("user " + user + " already exists");
    }
    if (default_privileges) {
        for (const char* p : kDefaultPrivileges) {
            grant(db, user, p);
        }
    }
}

void ServiceStore::set_locked(SqliteDb& db, const std::string& user, bool locked) {
    SqlStmt st = db.prepare("UPDATE ocisim_users SET locked = ? WHERE name = ?");
    st.bind(1, int64_t{locked ? 1 : 0}).bind(2, user);
    st.step();
    if (db.changes() == 0) {
        throw std::runtime_error("no user " + user);
    }
}

void ServiceStore::set_password(SqliteDb& db, const std::string& user,
                                const std::string& password) {
    SqlStmt st = db.prepare("UPDATE ocisim_users SET password = ? WHERE name = ?");
    st.bind(1, password).bind(2, user);
    st.step();
    if (db.changes() == 0) {
        throw std::runtime_error("no user " + user);
    }
}

void ServiceStore::grant(SqliteDb& db, const std::string& user, const std::string& privilege) {
    SqlStmt st = db.prepare("INSERT OR IGNORE INTO ocisim_privileges VALUES (?, ?)");
    st.bind(1, user).bind(2, upper_ascii(privilege));
    st.step();
}

void ServiceStore::revoke(SqliteDb& db, const std::string& user, const std::string& privilege) {
    SqlStmt st = db.prepare("DELETE FROM ocisim_privileges WHERE grantee = ? AND privilege = ?");
    st.bind(1, user).bind(2, upper_ascii(privilege));
    st.step();
}

bool ServiceStore::has_privilege(SqliteDb& db, const std::string& user,
                                 const std::string& privilege) {
    SqlStmt st = db.prepare("SELECT 1 FROM ocisim_privileges WHERE grantee = ? AND privilege = ?");
    st.bind(1, user).bind(2, privilege);
    return st.step();
}

std::optional<ServiceStore::UserRow> ServiceStore::find_user(SqliteDb& db,
                                                             const std::string& user) {
    SqlStmt st = db.prepare("SELECT password, locked FROM ocisim_users WHERE name = ?");
    st.bind(1, user);
    if (!st.step()) {
        return std::nullopt;
    }
    return UserRow{st.text(0), st.int64(1) != 0};
}

}  // namespace ocisim
