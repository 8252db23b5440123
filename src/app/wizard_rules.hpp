#pragma once
// The decisions behind the wizard's pages and dialogs, kept out of the window code so that they
// are tested without one: what the source page accepts, what the query dialog accepts, when the
// tables page asks before going on, which code page the encoding list selects, which size inputs
// a destination type takes, and the text of the final page.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How a message is shown: the information box or the error box.
enum class wizard_message_kind { none, message, error };

struct wizard_check {
    wizard_message_kind kind = wizard_message_kind::none;
    const char* text = "";
    bool ok() const noexcept { return kind == wizard_message_kind::none; }
};

// The source page's Next: an empty path, a path that names a file and a path that does not exist
// are refused with their messages; an existing folder passes.
wizard_check check_source_folder(const std::u16string& folder);

// A query passes when, after leading tabs, line feeds, carriage returns and blanks, at least six
// characters remain and they begin with SELECT in any letter case.
bool passes_select_test(std::u16string_view query);
// The query dialog's OK: an empty name first, then a query that is not a SELECT, then an empty
// query.
wizard_check check_query_dialog(std::u16string_view name, std::u16string_view query);
// The query dialog's Test Query, after the converter's test answered `b_correct` (not asked when
// the text is no SELECT). `support` is the address the failure names.
std::string test_query_message(std::u16string_view query, bool b_correct,
                               const std::string& support, wizard_message_kind& kind);

// The tables page's Next asks first when tables are offered and none is selected.
bool tables_need_confirmation(size_t available, size_t selected);

// The row of the encoding list for a code page id: the id's row, or the first ("Default").
size_t codepage_row(int code_page);

// The size inputs a destination type shows, from its parameter kinds: the length when it takes
// LENGTH; precision and scale only when it takes both.
struct type_inputs {
    bool b_length = false;
    bool b_precision_scale = false;
};
type_inputs inputs_for_type(const std::vector<std::u16string>& params);

// The final page's message line: the success text, the errors text when any error was met or a
// table was not converted, or the text of a run the user stopped.
const char* final_page_message(bool b_errors, bool b_stopped);
// The final page's error box: each listed error with its line feeds turned into blanks and
// followed by an empty line; when more errors were met than listed, a last line counts the rest.
std::string final_page_errors(const std::vector<std::string>& listed, size_t total_errors);

// The help page of a help topic ("connect.html" for 1001, the contents for any topic without a
// page of its own).
const char* help_page(int topic);
// The full path of a topic's page in the help set: BRIXEL_HELP_DIR when set, else "help" beside
// the program, else the installed "share/brixel/help"; empty when the page is in none of them.
std::string find_help_page(int topic);

// The file dialogs' filter text ("Name|pattern|Name|pattern|") as Qt-style filters
// ("Name (pattern)"), one per pair.
std::vector<std::string> file_dialog_filters(std::string_view filter);
