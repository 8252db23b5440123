#include "app/wizard_rules.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "dbf/dbf_codepage.hpp"
#include "tk/tk_utils.hpp"
#include "tk/tk_wstring.hpp"

wizard_check check_source_folder(const std::u16string& folder) {
    if (folder.empty()) {
        return {wizard_message_kind::message, "You should enter path to DBF file(s)"};
    }
    std::error_code ec;
    const std::filesystem::path path(tk_w2a(folder));
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        return {};
    }
    if (std::filesystem::exists(status)) {
        return {wizard_message_kind::error,
                "You should enter path to DBF file(s), not a file name"};
    }
    return {wizard_message_kind::error,
            "Path to DBF database does not exist.\nPlease verify the correct path was given."};
}

bool passes_select_test(std::u16string_view query) {
    const size_t start = query.find_first_not_of(u"\t\n\r ");
    if (start == std::u16string_view::npos || query.size() - start < 6) {
        return false;
    }
    static constexpr std::u16string_view keyword = u"SELECT";
    for (size_t i = 0; i < keyword.size(); ++i) {
        char16_t c = query[start + i];
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
        if (c != keyword[i]) {
            return false;
        }
    }
    return true;
}

wizard_check check_query_dialog(std::u16string_view name, std::u16string_view query) {
    if (name.empty()) {
        return {wizard_message_kind::message, "Table name is empty!"};
    }
    if (query.empty()) {
        return {wizard_message_kind::error, "Query is empty!"};
    }
    if (!passes_select_test(query)) {
        return {wizard_message_kind::message, "The query must start with SELECT."};
    }
    return {};
}

std::string test_query_message(std::u16string_view query, bool b_correct,
                               const std::string& support, wizard_message_kind& kind) {
    // An empty text is not one that fails the SELECT test: it goes to the converter's test.
    if (!query.empty() && !passes_select_test(query)) {
        kind = wizard_message_kind::message;
        return "The query must start with SELECT.";
    }
    if (b_correct) {
        kind = wizard_message_kind::message;
        return "The query is correct.";
    }
    kind = wizard_message_kind::error;
    return "You have an error in your query syntax. Make sure that it is a correct SQL "
           "SELECT-statement. Contact " +
           support + " if the error persists.";
}

bool tables_need_confirmation(size_t available, size_t selected) {
    return available != 0 && selected == 0;
}

size_t codepage_row(int code_page) {
    const auto& names = codepage_names();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].first == code_page) {
            return i;
        }
    }
    return 0;
}

type_inputs inputs_for_type(const std::vector<std::u16string>& params) {
    const auto takes = [&](std::u16string_view kind) {
        return std::find(params.begin(), params.end(), kind) != params.end();
    };
    type_inputs out;
    out.b_length = takes(u"LENGTH");
    out.b_precision_scale = takes(u"PRECISION") && takes(u"SCALE");
    return out;
}

const char* final_page_message(bool b_errors, bool b_stopped) {
    if (b_stopped) {
        return "The conversion was stopped before it ended.\nClick 'Show full report' to see what "
               "was loaded, and 'Finish' to exit the wizard.";
    }
    return b_errors ? "There were some errors while converting the database.\nClick 'Finish' to "
                      "exit the wizard."
                    : "Wizard has migrated your DBF file(s) to\nOracle server successfully.\n\n"
                      "Click 'Finish' to exit the wizard.";
}

std::string final_page_errors(const std::vector<std::string>& listed, size_t total_errors) {
    std::string out;
    for (const std::string& error : listed) {
        std::string line = error;
        std::replace(line.begin(), line.end(), '\n', ' ');
        out += line;
        out += "\r\n\r\n";
    }
    if (total_errors > listed.size()) {
        const size_t rest = total_errors - listed.size();
        out += "... and " + std::to_string(rest) + (rest == 1 ? " more error" : " more errors") +
               " (Show full report lists them all).\r\n";
    }
    return out;
}

const char* help_page(int topic) {
    switch (topic) {
        case 1018:
            return "welcome.html";
        case 1001:
            return "connect.html";
        case 1017:
            return "troubleshooting.html";
        case 1020:
            return "source.html";
        case 1023:
            return "encoding.html";
        case 1015:
            return "tables.html";
        case 1024:
            return "edit-table.html";
        default:
            return "index.html";
    }
}

std::string find_help_page(int topic) {
    std::vector<std::filesystem::path> folders;
    if (const char* dir = std::getenv("BRIXEL_HELP_DIR"); dir != nullptr && *dir != 0) {
        folders.emplace_back(dir);
    } else {
        const std::filesystem::path program(tk_program_folder());
        folders.push_back(program / "help");
        folders.push_back(program / ".." / "share" / "brixel" / "help");
    }
    for (const std::filesystem::path& folder : folders) {
        std::error_code ec;
        const std::filesystem::path page = folder / help_page(topic);
        if (std::filesystem::is_regular_file(page, ec)) {
            return std::filesystem::weakly_canonical(page, ec).string();
        }
    }
    return {};
}

std::vector<std::string> file_dialog_filters(std::string_view filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < filter.size()) {
        size_t end = filter.find('|', start);
        if (end == std::string_view::npos) {
            end = filter.size();
        }
        parts.emplace_back(filter.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        // "*.*" means every file on Windows; here a name need not have a dot.
        const std::string& pattern = parts[i + 1] == "*.*" ? std::string("*") : parts[i + 1];
        out.push_back(parts[i] + " (" + pattern + ")");
    }
    return out;
}
