#include "app/oracle_converter_impl.hpp"

#include "tk/tk_log.hpp"
#include "udb/udb_profile.hpp"

namespace {

const std::u16string_view oracle_section = u"Oracle settings";

// The four connection settings as the profile names them, in the profile's key order.
struct t_oracle_key {
    const char16_t* key;
    std::u16string oracle_converter_impl::*member;
};
constexpr t_oracle_key oracle_keys[] = {
    {u"host", &oracle_converter_impl::host},
    {u"password", &oracle_converter_impl::password},
    {u"port", &oracle_converter_impl::port},
    {u"user", &oracle_converter_impl::user},
};

}  // namespace

oracle_converter_impl::oracle_converter_impl() = default;

oracle_converter_impl::~oracle_converter_impl() {
    // The session goes before the engine that holds its handles.
    ora_base.reset();
}

bool oracle_converter_impl::load_profile(const udb_profile& profile) {
    TK_LOG(2, "oracle_converter_impl::load_profile");
    for (const t_oracle_key& entry : oracle_keys) {
        if (std::u16string value = profile.get_value(oracle_section, entry.key); !value.empty()) {
            this->*entry.member = std::move(value);
        }
    }
    return true;
}

bool oracle_converter_impl::store_profile(udb_profile& profile) {
    TK_LOG(2, "oracle_converter_impl::store_profile");
    for (const t_oracle_key& entry : oracle_keys) {
        if (const std::u16string& value = this->*entry.member; !value.empty()) {
            profile.set_value(oracle_section, entry.key, value);
        }
    }
    return true;
}

void oracle_converter_impl::store_oracle_settings(const std::u16string& new_host,
                                                  const std::u16string& new_user,
                                                  const std::u16string& new_password,
                                                  const std::u16string& new_port) {
    TK_LOGW(2, u"oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", new_host.c_str(),
            new_user.c_str(), new_password.c_str(), new_port.c_str());
    host = new_host;
    user = new_user;
    password = new_password;
    port = new_port;
}

void oracle_converter_impl::connect_oracle_server(const std::u16string& name) {
    TK_LOGW(2, u"oracle_converter_impl::connect_oracle_server(%s)", name.c_str());
    if (ora_base) {
        TK_LOG(2, "Delete previous initialization of ora_base...");
        ora_base.reset();
        TK_LOG(2, "done");
    }
    ora_base = engine.open_db(host, user, password, port, name);
    database = name;
}
