// The converter's settings: the copy in the per-user settings store and whole profile files.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "app/brixel_converter.hpp"
#include "app/brixel_settings.hpp"
#include "tk/tk_log.hpp"
#include "tk/tk_settings_store.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_profile.hpp"

const char* const brixel_settings_key = "Software\\Quillonworks\\Brixel";

namespace {

const std::u16string_view generic_section = u"Generic settings";

// The decimal value of a profile's "encoding"; blanks around the number are allowed. False for
// anything else, so a damaged value never becomes another code page.
bool parse_code_page(const std::u16string& text, int32_t& out) {
    const std::string narrow = tk_trim(tk_w2a(text));
    if (narrow.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(narrow.c_str(), &end, 10);
    if (errno != 0 || end == narrow.c_str() || *end != 0 || value < INT32_MIN ||
        value > INT32_MAX) {
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

}  // namespace

bool brixel_converter::serialize(bool b_store) {
    TK_TRACE("serialize( %d )", b_store ? 1 : 0);
    // The store is read when the settings are, so the file's current content counts (and the
    // folder chosen by the environment at that moment).
    tk_settings_store store(tk_settings_store::default_path());
    if (key.create(&store, key_path) != tk_reg_success) {
        return false;
    }

    bool b_ok = true;
    // Reading assigns each default just before its value is read: an absent value keeps it.
    // Texts have no default and stay as they are.
    const auto flag = [&](const char* name, bool& value, bool b_default) {
        if (!b_store) {
            value = b_default;
        }
        b_ok = key.exchange(name, value, b_store) && b_ok;
    };
    const auto text = [&](const char* name, std::u16string& value) {
        b_ok = key.exchange(name, value, b_store) && b_ok;
    };

    flag("bool_dbf", bool_dbf, false);

    uint32_t number = b_store ? static_cast<uint32_t>(code_page) : 0;
    b_ok = key.exchange("code_page", number, b_store) && b_ok;
    code_page = static_cast<int32_t>(number);

    text("dest", dest);

    // Settings written before the values setting existed hold no value: exact, as for new
    // settings. Only a profile without it replays as classic.
    std::u16string values_name = b_store ? tk_a2w(std::string(udb_values_name(values))) : u"";
    const bool b_values = key.exchange("values", values_name, b_store);
    if (b_store) {
        b_ok = b_values && b_ok;
    } else {
        values = udb_values_from_name(tk_w2a(values_name)).value_or(udb_values::exact);
    }

    number = b_store ? static_cast<uint32_t>(mode) : static_cast<uint32_t>(mode_overwrite);
    if (!b_store || mode <= mode_skip) {
        b_ok = key.exchange("mode", number, b_store) && b_ok;
    }
    if (!b_store) {
        if (number <= static_cast<uint32_t>(mode_skip)) {
            mode = static_cast<int32_t>(number);
        } else {
            // No policy of that number: the default policy rather than an undefined one.
            TK_LOG(2, "Unknown existing-table policy %u in the settings; Overwrite is used",
                   number);
            mode = mode_overwrite;
        }
    }

    // The load method and its sizes; settings written before they existed load the defaults.
    std::u16string load_name = b_store && load.method == ora_load_method::row ? u"row" : u"array";
    uint32_t batch = load.batch_rows;
    uint32_t commit = load.commit_rows;
    const bool b_load = key.exchange("load", load_name, b_store);
    const bool b_batch = key.exchange("batch_rows", batch, b_store);
    const bool b_commit = key.exchange("commit_rows", commit, b_store);
    if (b_store) {
        b_ok = b_load && b_batch && b_commit && b_ok;
    } else {
        load = ora_load_settings();
        if (b_load && (load_name == u"row" || load_name == u"array")) {
            load.method = load_name == u"row" ? ora_load_method::row : ora_load_method::array;
        }
        if (b_batch && batch != 0) {
            load.batch_rows = batch;
        }
        if (b_commit) {
            load.commit_rows = commit;
        }
    }

    text("oracleh", host);
    text("oraclep", password);
    text("oracleu", user);
    if (!b_store) {
        port = u"1521";
    }
    text("port", port);
    flag("skip_del", skip_del, false);
    flag("skip_idx", skip_idx, false);
    text("src", src);
    flag("tab_def", tab_def, false);
    flag("uppercase", uppercase, true);

    key.close();
    return b_ok;
}

bool brixel_converter::load_profile(const std::u16string& path) {
    TK_LOGW(2, u"brixel_converter::load_profile(%s)", path.c_str());
    udb_profile profile;
    if (!profile.load(path)) {
        return false;
    }
    bool b_ok = udb_converter::load_profile(profile);
    b_ok = oracle_converter_impl::load_profile(profile) && b_ok;
    b_ok = ora_db_mutator::load_profile(profile) && b_ok;
    if (!b_ok) {
        return false;
    }

    if (const std::u16string value = profile.get_value(generic_section, u"skip deleted");
        !value.empty()) {
        skip_del = value == u"1";
    }
    if (const std::u16string value = profile.get_value(generic_section, u"bool as is");
        !value.empty()) {
        bool_dbf = value == u"1";
    }
    if (const std::u16string value = profile.get_value(generic_section, u"encoding");
        !value.empty()) {
        if (!parse_code_page(value, code_page)) {
            TK_LOGW(2, u"Profile value encoding=%s is not a number; the code page is kept",
                    value.c_str());
        }
    }
    // A profile saved before the values setting existed replays as it always did.
    const std::u16string values_text = profile.get_value(generic_section, u"values");
    if (const auto named = udb_values_from_name(tk_w2a(values_text))) {
        values = *named;
    } else {
        if (!values_text.empty()) {
            TK_LOGW(2, u"Profile value values=%s is neither exact nor classic; classic is used",
                    values_text.c_str());
        }
        values = udb_values::classic;
    }
    // The load method: a profile without it loads as the default does.
    if (const std::u16string value = profile.get_value(generic_section, u"load"); !value.empty()) {
        if (value == u"array" || value == u"row") {
            load.method = value == u"array" ? ora_load_method::array : ora_load_method::row;
        } else {
            TK_LOGW(2, u"Profile value load=%s is neither array nor row; it is ignored",
                    value.c_str());
        }
    }
    for (const auto& [profile_key, target] : {std::pair{u"batch rows", &load.batch_rows},
                                              std::pair{u"commit rows", &load.commit_rows}}) {
        const std::u16string value = profile.get_value(generic_section, profile_key);
        uint32_t number = 0;
        bool b_number = !value.empty() && value.size() <= 7;
        for (const char16_t c : value) {
            b_number = b_number && c >= u'0' && c <= u'9';
            number = number * 10 + static_cast<uint32_t>(c - u'0');
        }
        if (b_number && (number != 0 || target == &load.commit_rows)) {
            *target = number;
        } else if (!value.empty()) {
            TK_LOGW(2, u"Profile value %s=%s is no number of rows; it is ignored", profile_key,
                    value.c_str());
        }
    }
    // Tables at once: a profile without it converts them one by one.
    if (const std::u16string value = profile.get_value(generic_section, u"jobs"); !value.empty()) {
        uint32_t number = 0;
        bool b_number = value.size() <= 2;
        for (const char16_t c : value) {
            b_number = b_number && c >= u'0' && c <= u'9';
            number = number * 10 + static_cast<uint32_t>(c - u'0');
        }
        if (b_number && number >= 1 && number <= max_jobs) {
            jobs = number;
        } else {
            TK_LOGW(2, u"Profile value jobs=%s is no number of sessions; it is ignored",
                    value.c_str());
        }
    }
    // The profile's "mode" carries the existing-table policy: a saved profile replays with the
    // policy it was saved with. Only the three policies are taken.
    if (const std::u16string value = profile.get_value(generic_section, u"mode");
        value.size() == 1 && value[0] >= u'0' && value[0] <= u'2') {
        mode = value[0] - u'0';
    }
    return true;
}

bool brixel_converter::store_profile(const std::u16string& path) {
    TK_LOGW(2, u"brixel_converter::store_profile(%s)", path.c_str());
    udb_profile profile;
    // The generic layer writes "mode"; it carries the existing-table policy (see load_profile).
    udb_converter::mode = static_cast<uint32_t>(mode);
    bool b_ok = udb_converter::store_profile(profile);
    b_ok = oracle_converter_impl::store_profile(profile) && b_ok;
    profile.set_value(generic_section, u"skip deleted", skip_del ? u"1" : u"0");
    profile.set_value(generic_section, u"bool as is", bool_dbf ? u"1" : u"0");
    profile.set_value(generic_section, u"encoding", tk_a2w(std::to_string(code_page)));
    profile.set_value(generic_section, u"values", tk_a2w(std::string(udb_values_name(values))));
    profile.set_value(generic_section, u"load",
                      load.method == ora_load_method::array ? u"array" : u"row");
    profile.set_value(generic_section, u"batch rows", tk_a2w(std::to_string(load.batch_rows)));
    profile.set_value(generic_section, u"commit rows", tk_a2w(std::to_string(load.commit_rows)));
    profile.set_value(generic_section, u"jobs", tk_a2w(std::to_string(jobs)));
    b_ok = ora_db_mutator::store_profile(profile) && b_ok;
    if (!b_ok) {
        return false;
    }
    return profile.store(path);
}
