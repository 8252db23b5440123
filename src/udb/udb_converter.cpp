#include "udb/udb_converter.hpp"

#include <algorithm>

#include "tk/tk_log.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_profile.hpp"

namespace {

const std::u16string_view available_section = u"Available Queries";
const std::u16string_view selected_section = u"Selected Tables";
const std::u16string_view generic_section = u"Generic settings";

const char16_t* flag_text(bool b_flag) {
    return b_flag ? u"1" : u"0";
}

}  // namespace

bool udb_converter::load_profile(const udb_profile& profile) {
    TK_TRACE("udb_converter::load_profile");
    // A name with an empty value is a table to convert; a name with a text is a query. The
    // section is ordered by name, so the tables come back in that order.
    for (const auto& [name, text] : profile.get_section(selected_section)) {
        sel_queries.emplace(name, text);
        if (text.empty()) {
            TK_TRACEW(u"Push back table '%s'", name.c_str());
            // Loading a second profile adds its tables; a table already chosen is not chosen
            // twice, which would convert it twice.
            if (std::find(selected_tables.begin(), selected_tables.end(), name) ==
                selected_tables.end()) {
                selected_tables.push_back(name);
            }
        }
    }
    for (const auto& [name, text] : profile.get_section(available_section)) {
        available_queries.emplace(name, text);
    }

    if (std::u16string value = profile.get_value(generic_section, u"src"); !value.empty()) {
        src = std::move(value);
    }
    if (std::u16string value = profile.get_value(generic_section, u"dest"); !value.empty()) {
        dest = std::move(value);
    }
    if (const std::u16string value = profile.get_value(generic_section, u"logfile");
        !value.empty()) {
        const std::string path = tk_w2a(value);
        TK_TRACE("Logfile=%s", path.c_str());
        set_logfile(path);
    }
    if (const std::u16string value = profile.get_value(generic_section, u"only definitions");
        !value.empty()) {
        tab_def = value != u"0";
    }
    if (const std::u16string value = profile.get_value(generic_section, u"skip indexes");
        !value.empty()) {
        skip_idx = value != u"0";
    }
    // One character; store_profile writes it back as the same character.
    if (const std::u16string value = profile.get_value(generic_section, u"mode");
        value.size() == 1) {
        mode = static_cast<uint32_t>(value[0]) - u'0';
    }
    return true;
}

bool udb_converter::store_profile(udb_profile& profile) {
    TK_LOG(2, "udb_converter::store_profile");
    for (const auto& [name, text] : available_queries) {
        TK_TRACEW(u"Available Query: (%s,%s)", name.c_str(), text.c_str());
        profile.set_value(available_section, name, text);
    }
    for (const auto& [name, text] : sel_queries) {
        TK_TRACEW(u"Selected Query: (%s,%s)", name.c_str(), text.c_str());
        profile.set_value(selected_section, name, text);
    }
    // A run enters the selected tables into sel_queries when it starts; a profile saved before
    // any run still has to carry the selection. A name already set above keeps its text.
    for (const std::u16string& table : selected_tables) {
        profile.set_value(selected_section, table, std::u16string_view());
    }

    profile.set_value(generic_section, u"src", src);
    profile.set_value(generic_section, u"dest", dest);
    profile.set_value(generic_section, u"logfile", tk_a2w(logfile));
    profile.set_value(generic_section, u"skip indexes", flag_text(skip_idx));
    profile.set_value(generic_section, u"only definitions", flag_text(tab_def));
    profile.set_value(generic_section, u"mode",
                      std::u16string(1, static_cast<char16_t>(u'0' + mode)));
    return true;
}

void udb_converter::set_current_table(const std::u16string& table) {
    const std::lock_guard<std::mutex> lock(current_table_mutex_);
    current_table = table;
}

std::u16string udb_converter::current_table_name() const {
    const std::lock_guard<std::mutex> lock(current_table_mutex_);
    return current_table;
}

uint32_t udb_converter::percent() const noexcept {
    // Each field is read once: the run may move on between two reads.
    const uint64_t tables = total_tables.load(std::memory_order_relaxed);
    if (tables == 0) {
        return 0;
    }
    const uint64_t done = tables_done.load(std::memory_order_relaxed);
    const uint64_t records = total_records.load(std::memory_order_relaxed);
    uint64_t result = done * 100 / tables;
    if (records != 0) {
        result += current_record.load(std::memory_order_relaxed) * uint64_t{100} / records / tables;
    }
    return static_cast<uint32_t>(result);
}
