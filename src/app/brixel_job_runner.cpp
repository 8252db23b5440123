#include "app/brixel_job_runner.hpp"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

#include "app/brixel_converter.hpp"
#include "ora/ora_database.hpp"
#include "ora/ora_engine.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_exception.hpp"
#include "tk/tk_log.hpp"

ordered_turns::turn::turn(ordered_turns& turns, size_t number) : turns_(turns) {
    std::unique_lock<std::mutex> lock(turns_.mutex_);
    turns_.changed_.wait(lock, [&] { return turns_.next_ >= number; });
    // A table converted again on a new connection had its turn already: nothing waits for it.
    b_ended_ = turns_.next_ > number;
}

void ordered_turns::turn::end() {
    if (b_ended_) {
        return;
    }
    b_ended_ = true;
    {
        const std::lock_guard<std::mutex> lock(turns_.mutex_);
        ++turns_.next_;
    }
    turns_.changed_.notify_all();
}

void table_progress::start(const std::u16string& table) {
    current_.store(0, std::memory_order_relaxed);
    total_.store(0, std::memory_order_relaxed);
    if (b_shown_.load(std::memory_order_relaxed)) {
        converter_.set_current_table(table);
        converter_.current_record = 0;
        converter_.total_records = 0;
    }
}

void table_progress::set_total(uint32_t records) noexcept {
    total_.store(records, std::memory_order_relaxed);
    if (b_shown_.load(std::memory_order_relaxed)) {
        converter_.total_records = records;
    }
}

void table_progress::set_record(uint32_t number) noexcept {
    current_.store(number, std::memory_order_relaxed);
    if (b_shown_.load(std::memory_order_relaxed)) {
        converter_.current_record.store(number, std::memory_order_relaxed);
    }
}

void table_progress::show(const std::u16string& table) {
    converter_.set_current_table(table);
    // The total first: a poll between the two stores sees a share below 100%.
    converter_.total_records = total_.load(std::memory_order_relaxed);
    converter_.current_record = current_.load(std::memory_order_relaxed);
    b_shown_.store(true, std::memory_order_relaxed);
}

brixel_job_runner::brixel_job_runner(brixel_converter& converter, uint32_t jobs,
                                     std::atomic<bool>& stop)
    : converter_(converter),
      jobs_(jobs),
      stop_(stop),
      finished_(converter.selected_tables.size(), false),
      owners_(converter.selected_tables.size(), nullptr) {
    // The further sessions connect as the converter's did.
    const ora_engine& engine = converter.engine;
    data_source_ = engine.data_source();
    user_ = engine.user();
    password_ = engine.password();
}

void brixel_job_runner::run(const table_step& step) {
    error_handler& errors = error_handler::instance();
    errors.begin_shared_operation();
    const size_t further = std::min<size_t>(jobs_, finished_.size()) - 1;
    TK_LOG(3, "Converting on %d sessions", static_cast<int>(further + 1));
    std::vector<std::thread> workers;
    workers.reserve(further);
    try {
        for (size_t i = 0; i < further; ++i) {
            workers.emplace_back([this, &step] { work_on_own_session(step); });
        }
    } catch (const std::system_error& e) {
        // Fewer threads than asked: the tables go to those there are.
        TK_LOG(3, "A further worker could not be started: %s", e.what());
    }
    work(*converter_.ora_base, step);
    for (std::thread& worker : workers) {
        worker.join();
    }
    errors.end_shared_operation();
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    if (stop_.load() || converter_.stop_requested()) {
        throw tk_final_exception();
    }
}

void brixel_job_runner::work_on_own_session(const table_step& step) {
    try {
        ora_engine engine(ora_engine::thread_session);
        const ora_engine::thread_binding binding(engine);
        std::unique_ptr<ora_database> database;
        try {
            database = engine.open_db(data_source_, user_, password_);
        } catch (const tk_exception& e) {
            TK_LOG(3, "A further session could not be opened; its tables go to the others:\n%s",
                   e.message.c_str());
            return;
        }
        // The tables there are now, as the run's database read them when the run began: the
        // existing-table policy asks this database.
        database->get_tables();
        const ora_database& run_database = *converter_.ora_base;
        database->b_uppercase = run_database.b_uppercase;
        database->values = run_database.values;
        database->share_index_names(converter_.ora_base->index_validator);
        work(*database, step);
    } catch (const tk_exception& e) {
        // The engine of this thread could not be made: its tables go to the others.
        TK_LOG(3, "A further session could not be started:\n%s", e.message.c_str());
    } catch (...) {
        end_run(std::current_exception(), nullptr);
    }
}

void brixel_job_runner::work(ora_database& database, const table_step& step) {
    table_progress progress(converter_, false);
    size_t index = 0;
    try {
        while (take(index, progress)) {
            step(index, database, progress);
            finish(index, progress);
        }
    } catch (const tk_final_exception&) {
        end_run(nullptr, &progress);
    } catch (...) {
        end_run(std::current_exception(), &progress);
    }
    progress.hide();
}

bool brixel_job_runner::take(size_t& index, table_progress& progress) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stop_.load() || converter_.stop_requested() || next_ >= finished_.size()) {
        return false;
    }
    index = next_++;
    owners_[index] = &progress;
    if (index == lead_) {
        progress.show(converter_.selected_tables[index]);
    }
    return true;
}

void brixel_job_runner::finish(size_t index, table_progress& progress) {
    const std::lock_guard<std::mutex> lock(mutex_);
    progress.hide();
    owners_[index] = nullptr;
    finished_[index] = true;
    while (lead_ < finished_.size() && finished_[lead_]) {
        ++lead_;
    }
    converter_.tables_done = static_cast<uint32_t>(lead_);
    if (lead_ < finished_.size() && owners_[lead_] != nullptr) {
        owners_[lead_]->show(converter_.selected_tables[lead_]);
    }
}

void brixel_job_runner::end_run(std::exception_ptr failure, const table_progress* progress) {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true);
    // The worker's progress ends with it: no later finish may show it.
    for (table_progress*& owner : owners_) {
        if (owner == progress) {
            owner = nullptr;
        }
    }
    if (failure && !failure_) {
        failure_ = std::move(failure);
    }
}
