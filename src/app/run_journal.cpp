#include "app/run_journal.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "tk/tk_wstring.hpp"

namespace {

constexpr const char* magic = "brixel-journal\t1";
constexpr size_t max_line = 64 * 1024;
constexpr size_t max_tables = 1000000;

std::string escape(std::u16string_view text) {
    const std::string narrow = tk_w2a(text);
    std::string out;
    out.reserve(narrow.size());
    for (const char c : narrow) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::u16string> unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? hex_digit(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? hex_digit(text[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    return std::nullopt;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return tk_a2w(out);
}

std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t') {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

template <typename T>
std::optional<T> number(std::string_view text) {
    T value = 0;
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string number_text(uint64_t value) {
    return std::to_string(value);
}

}  // namespace

bool run_journal_state::unfinished() const {
    if (!b_finished) {
        return true;
    }
    for (const journal_table& table : tables) {
        if (!table.destination.empty() && !table.b_done) {
            return true;
        }
    }
    return false;
}

std::optional<size_t> run_journal_state::find(const std::u16string& table) const {
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].name == table) {
            return i;
        }
    }
    return std::nullopt;
}

resume_step run_journal_state::decide(size_t index, uint64_t destination_rows) const {
    resume_step step;
    if (index >= tables.size()) {
        return step;
    }
    const journal_table& table = tables[index];
    if (table.b_done) {
        step.what = resume_step::kind::done;
        return step;
    }
    if (table.points.empty()) {
        return step;
    }
    for (size_t i = table.points.size(); i-- > 0;) {
        if (table.points[i].rows == destination_rows) {
            step.what = resume_step::kind::continue_after;
            step.after = table.points[i].through;
            return step;
        }
    }
    step.what = resume_step::kind::conflict;
    step.message = "The destination table " + tk_w2a(table.destination) + " holds " +
                   std::to_string(destination_rows) + " rows where the journal expects " +
                   std::to_string(table.points.back().rows) +
                   (table.points.size() > 1
                        ? " or " + std::to_string(table.points[table.points.size() - 2].rows)
                        : std::string()) +
                   ": it was changed outside this run, so the table cannot be continued";
    return step;
}

run_journal_state run_journal_state::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw run_journal_error("cannot read the journal " + path + ": " + std::strerror(errno));
    }
    run_journal_state state;
    size_t line_number = 0;
    bool b_run = false;
    std::string line;
    auto damaged = [&](const std::string& why) {
        return run_journal_error("the journal " + path + " is damaged at line " +
                                 std::to_string(line_number) + ": " + why);
    };
    while (true) {
        line.clear();
        char c = 0;
        bool b_complete = false;
        while (in.get(c)) {
            if (c == '\n') {
                b_complete = true;
                break;
            }
            if (line.size() >= max_line) {
                ++line_number;
                throw damaged("a line longer than " + std::to_string(max_line) + " bytes");
            }
            line += c;
        }
        if (!b_complete) {
            // A line cut by the end of the file was being written when the run ended; what it
            // announced had not started.
            break;
        }
        ++line_number;
        state.complete_bytes += line.size() + 1;
        const std::vector<std::string_view> f = split(line);
        if (line_number == 1) {
            if (line != magic) {
                throw damaged("this is not a Brixel run journal");
            }
            continue;
        }
        const std::string_view kind = f[0];
        auto table_at = [&](std::string_view text) -> journal_table& {
            const auto index = number<size_t>(text);
            if (!index || *index >= state.tables.size()) {
                throw damaged("no table number " + std::string(text));
            }
            return state.tables[*index];
        };
        if (kind == "source" && f.size() == 2 && !b_run) {
            const auto source = unescape(f[1]);
            if (!source) {
                throw damaged("a bad escape in the source folder");
            }
            state.source = *source;
        } else if (kind == "policy" && f.size() == 2 && !b_run) {
            const auto policy = number<int32_t>(f[1]);
            if (!policy) {
                throw damaged("a policy that cannot be read");
            }
            state.policy = *policy;
        } else if (kind == "table" && f.size() == 3 && !b_run) {
            const auto index = number<size_t>(f[1]);
            const auto name = unescape(f[2]);
            if (!index || *index != state.tables.size() || !name || name->empty() ||
                state.tables.size() >= max_tables) {
                throw damaged("a table out of order or without a name");
            }
            state.tables.push_back(journal_table{*name, {}, 0, false, {}});
        } else if (kind == "run" && f.size() == 1) {
            b_run = true;
            state.b_finished = false;
        } else if (kind == "start" && f.size() == 6 && b_run) {
            journal_table& table = table_at(f[1]);
            const auto destination = unescape(f[2]);
            const auto policy = number<int32_t>(f[3]);
            const auto through = number<uint32_t>(f[4]);
            const auto rows = number<uint64_t>(f[5]);
            if (!destination || destination->empty() || !policy || !through || !rows) {
                throw damaged("a table start that cannot be read");
            }
            table.destination = *destination;
            table.policy = *policy;
            table.b_done = false;
            table.points.assign(1, journal_point{*through, *rows});
        } else if (kind == "commit" && f.size() == 4 && b_run) {
            journal_table& table = table_at(f[1]);
            const auto through = number<uint32_t>(f[2]);
            const auto rows = number<uint64_t>(f[3]);
            if (!through || !rows || table.points.empty() ||
                *through < table.points.back().through || *rows < table.points.back().rows) {
                throw damaged("a commit that cannot follow the one before it");
            }
            table.points.push_back(journal_point{*through, *rows});
        } else if (kind == "end" && f.size() == 3 && b_run) {
            journal_table& table = table_at(f[1]);
            if (f[2] != "converted" && f[2] != "skipped") {
                throw damaged("an unknown table outcome");
            }
            table.b_done = true;
        } else if (kind == "finished" && f.size() == 1 && b_run) {
            state.b_finished = true;
        } else {
            throw damaged("an entry that cannot be read");
        }
    }
    if (line_number == 0) {
        throw run_journal_error("the journal " + path + " is empty");
    }
    return state;
}

run_journal::run_journal(std::string path) : path_(std::move(path)) {
    std::error_code error;
    if (std::filesystem::exists(path_, error) && std::filesystem::file_size(path_, error) != 0) {
        state_ = run_journal_state::read(path_);
    }
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        throw run_journal_error("cannot write the journal " + path_ + ": " + std::strerror(errno));
    }
    // A line cut by a killed process goes, so that the next one starts on a line of its own.
    if (state_.complete_bytes != 0 &&
        ::ftruncate(fd_, static_cast<off_t>(state_.complete_bytes)) != 0) {
        throw run_journal_error("cannot write the journal " + path_ + ": " + std::strerror(errno));
    }
}

run_journal::~run_journal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

run_journal_state run_journal::state() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void run_journal::write_line(const std::string& line) {
    state_.complete_bytes += line.size() + 1;
    // One write per line: a process killed at any moment leaves whole lines and at most a cut
    // last one, which the reader ignores.
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw tk_exception("cannot write the journal " + path_ + ": " + std::strerror(errno) +
                                   "; the run stops so that it can be resumed from what the "
                                   "journal holds",
                               1);
        }
        done += static_cast<size_t>(n);
    }
}

void run_journal::begin(const std::u16string& source, int32_t policy,
                        const std::vector<std::u16string>& tables) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (state_.complete_bytes == 0) {
        write_line(magic);
        // The folder as the run found it, whatever the working folder of a later resume.
        std::error_code error;
        const std::filesystem::path absolute =
            std::filesystem::absolute(std::filesystem::path(tk_w2a(source)), error);
        write_line("source\t" + escape(error ? source : tk_a2w(absolute.string())));
        write_line("policy\t" + std::to_string(policy));
        state_.source = source;
        state_.policy = policy;
        for (size_t i = 0; i < tables.size(); ++i) {
            write_line("table\t" + number_text(i) + "\t" + escape(tables[i]));
            state_.tables.push_back(journal_table{tables[i], {}, 0, false, {}});
        }
    }
    write_line("run");
    state_.b_finished = false;
}

void run_journal::started(size_t index, const std::u16string& destination, int32_t policy,
                          journal_point from) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (index >= state_.tables.size()) {
        return;
    }
    write_line("start\t" + number_text(index) + "\t" + escape(destination) + "\t" +
               std::to_string(policy) + "\t" + number_text(from.through) + "\t" +
               number_text(from.rows));
    journal_table& table = state_.tables[index];
    table.destination = destination;
    table.policy = policy;
    table.b_done = false;
    table.points.assign(1, from);
}

void run_journal::committing(size_t index, journal_point point) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (index >= state_.tables.size()) {
        return;
    }
    write_line("commit\t" + number_text(index) + "\t" + number_text(point.through) + "\t" +
               number_text(point.rows));
    state_.tables[index].points.push_back(point);
}

void run_journal::ended(size_t index, bool b_skipped) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (index >= state_.tables.size()) {
        return;
    }
    write_line("end\t" + number_text(index) + (b_skipped ? "\tskipped" : "\tconverted"));
    state_.tables[index].b_done = true;
}

void run_journal::finished() {
    const std::lock_guard<std::mutex> lock(mutex_);
    write_line("finished");
    state_.b_finished = true;
}

std::string journal_state_folder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/brixel";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/state/brixel";
}

std::string default_journal_path(const std::optional<std::string>& errors_file) {
    if (errors_file) {
        return *errors_file + ".journal";
    }
    const std::string folder = journal_state_folder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return folder + "/run-" + stamp + "-" + std::to_string(::getpid()) + ".journal";
}
