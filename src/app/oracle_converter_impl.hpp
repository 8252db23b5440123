#pragma once
// oracle_converter_impl: the Oracle side of the converter: the connection settings, the one OCI
// engine of the process and the connected database.

#include <memory>
#include <string>

#include "ora/ora_database.hpp"
#include "ora/ora_engine.hpp"

class udb_profile;

class oracle_converter_impl {
  public:
    // Loads the client library: without one this raises the missing-client error.
    oracle_converter_impl();
    virtual ~oracle_converter_impl();
    oracle_converter_impl(const oracle_converter_impl&) = delete;
    oracle_converter_impl& operator=(const oracle_converter_impl&) = delete;

    // The profile's "Oracle settings": loading replaces what it names, storing writes the
    // settings that are not empty. Both answer true.
    bool load_profile(const udb_profile& profile);
    bool store_profile(udb_profile& profile);

    // Replaces the four connection settings (the connection page calls it before connecting).
    void store_oracle_settings(const std::u16string& host, const std::u16string& user,
                               const std::u16string& password, const std::u16string& port);
    // Connects with the settings to database D, replacing an earlier connection; the
    // connection errors of the engine pass on.
    void connect_oracle_server(const std::u16string& database);

    bool b_initialized = true;
    // The engine comes before the database so that the database is released first.
    ora_engine engine;
    std::unique_ptr<ora_database> ora_base;
    std::u16string database;  // the database last connected
    std::u16string user;
    std::u16string password;
    std::u16string host;
    std::u16string port;
};
