#pragma once
// A wizard run that did not finish: every wizard run keeps a journal in the state folder; the
// next start offers to finish the newest unfinished one, and the final page of an interrupted
// run says what each table committed and how to go on. The window code only shows these texts.

#include <string>
#include <vector>

#include "app/brixel_converter.hpp"

struct run_journal_state;

// The newest journal in `folder` whose run did not finish; empty when there is none. Files that
// cannot be read as journals are passed over.
std::string find_interrupted_journal(const std::string& folder);

// The offer of the welcome page: the folder of the interrupted run and, per table, converted,
// how far it was committed, or not reached.
std::string describe_interrupted_run(const run_journal_state& state);

// Prepares the converter to finish the run of the journal: its folder, its tables and its
// policy, and the journal continued, so that done tables are skipped and a table cut short goes
// on after its last committed record. Raises run_journal_error for a damaged journal.
void prepare_resume(brixel_converter& converter, const std::string& journal_path);

// Gives a run without a journal one in the state folder.
void start_run_journal(brixel_converter& converter);

// After the run: empty when it finished (its journal in the state folder is removed, it serves
// nothing); otherwise what landed, table by table from the run's reports, and how to finish it.
std::string interrupted_run_text(brixel_converter& converter,
                                 const std::vector<t_table_report>& reports);
