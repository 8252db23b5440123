#pragma once
// Opens a fuzz case the way the conversion does - the folder as a DBF database, the table
// through get_table, then first / get_item / next until the end - and renders every value. The
// fuzzer calls it for every input; the regression tests of tests/dbf call it for the inputs
// that once crashed it.
//
// Failures the reader documents (the tk_exception family, internal assertions included) are
// the expected outcome for damaged input and are swallowed; anything else escapes.

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "dbf/dbf_database.hpp"
#include "fuzz/dbf_fuzz_input.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_user_interface.hpp"

// A user interface that shows nothing and always continues.
class dbf_fuzz_silent_ui : public tk_user_interface {
  public:
    bool is_initialized() const override { return true; }
    std::string title() const override { return {}; }
    void error(const std::string&, const std::string&) override {}
    void message(const std::string&, const std::string&) override {}
    bool ask_yes_no(const std::string&, const std::string&) override { return false; }
    continue_answer ask_continue(const std::string&, const std::string&) override { return {}; }
    void internal_error(const std::string&) override {}
    std::vector<std::string>& error_list() override {
        errors.clear();
        return errors;
    }
    std::vector<std::string> errors;
};

struct dbf_fuzz_outcome {
    bool b_opened = false;
    uint64_t records = 0;  // records decoded
    uint64_t failed_records = 0;
    std::string open_error;  // the message when the table did not open
};

// Writes the case into `folder` (t.dbf and the memo under every memo extension) and reads it.
inline dbf_fuzz_outcome dbf_fuzz_read(const std::filesystem::path& folder, const dbf_fuzz_case& c) {
    static const char* const memo_names[] = {"t.dbt", "t.fpt", "t.smt", "t.dct"};
    {
        std::ofstream out(folder / "t.dbf", std::ios::binary | std::ios::trunc);
        out.write(c.dbf.data(), static_cast<std::streamsize>(c.dbf.size()));
    }
    for (const char* name : memo_names) {
        std::filesystem::remove(folder / name);
    }
    if (!c.memo.empty()) {
        {
            std::ofstream out(folder / memo_names[0], std::ios::binary | std::ios::trunc);
            out.write(c.memo.data(), static_cast<std::streamsize>(c.memo.size()));
        }
        for (int k = 1; k < 4; ++k) {
            std::filesystem::create_hard_link(folder / memo_names[0], folder / memo_names[k]);
        }
    }

    // The reader reports a missing memo file through the error handler; lend it one that shows
    // nothing when the process has none (and take it back, so that tests may make their own).
    static dbf_fuzz_silent_ui ui;
    std::unique_ptr<error_handler> own_handler;
    if (!error_handler::exists()) {
        size_t count = 0;
        const t_error_message* pairs = ora_error_messages(count);
        own_handler = std::make_unique<error_handler>(count, pairs);
        own_handler->set_user_interface(&ui);
        own_handler->end_process = [](int) {};
    }

    dbf_fuzz_outcome outcome;
    try {
        dbf_database db(folder.u16string(), 1, c.user_ldid);
        for (const auto& table : db.get_tables()) {
            std::unique_ptr<udb_recordset> rs;
            try {
                rs = db.get_table(table, 1);
            } catch (const tk_exception& e) {
                outcome.open_error = e.message;
                continue;
            }
            outcome.b_opened = true;
            for (rs->first(); !rs->is_eof(); rs->next()) {
                try {
                    udb_record* record = rs->get_item();
                    for (udb_field* f : *record) {
                        // What the dump and the literal builder do with every value.
                        (void)f->to_wstring();
                    }
                    ++outcome.records;
                } catch (const tk_exception&) {
                    ++outcome.failed_records;
                }
            }
        }
    } catch (const tk_exception& e) {
        outcome.open_error = e.message;
    }
    return outcome;
}

// A private folder that lives as long as the process (removed at exit).
inline const std::filesystem::path& dbf_fuzz_folder() {
    static const std::filesystem::path folder = [] {
        const char* shm = "/dev/shm";
        std::string pattern =
            std::string(std::filesystem::is_directory(shm) ? shm : "/tmp") + "/brixel_fuzz_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        static const std::string keep = pattern;
        std::atexit([] { std::filesystem::remove_all(keep); });
        return std::filesystem::path(pattern);
    }();
    return folder;
}
