#pragma once
// wizard_shell: Brixel's window. A QWizard with the seven pages (only the progress and final pages
// on a quick launch), and the user interface the error handler and the start-up talk to: its
// message boxes and dialogs may be asked for from the worker threads, and are then shown on the
// window thread while the worker waits for the answer.

#include <QWizard>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tk/tk_user_interface.hpp"

class brixel_converter;
class brixel_startup;

class wizard_shell : public QWizard, public tk_user_interface {
    Q_OBJECT

  public:
    // Page ids, in the order of the interactive wizard.
    enum page_id : int {
        welcome_id,
        oracle_id,
        source_id,
        encoding_id,
        tables_id,
        progress_id,
        final_id,
    };
    // The default help topic (the contents page).
    static constexpr int default_help_topic = 0;

    explicit wizard_shell(const QString& title, QWidget* parent = nullptr);
    ~wizard_shell() override;

    // Adds the pages: all seven, or on a quick launch only the progress and final pages. The
    // start-up (error handler and converter) must outlive the window.
    void build(brixel_startup& startup, bool b_quick_launch);
    brixel_startup& startup() const { return *startup_; }
    brixel_converter& converter() const;

    // The message boxes of the pages, captioned with the title and " Error", " Message" or
    // " Question"; a question's default is No.
    void show_error(const QString& text);
    void show_message(const QString& text);
    bool question(const QString& text);

    // Every error met, including those past the listed ones, for the full report.
    std::vector<std::string> all_errors() const;
    // The progress page tells while a run works, so that Cancel and closing ask to stop it.
    void set_run_active(bool b_active) { b_run_active_ = b_active; }
    bool run_active() const { return b_run_active_; }
    // Called by the progress page when a stopped run has ended after the window was closed.
    bool close_after_run() const { return b_close_after_run_; }
    void close_now() { done(QDialog::Rejected); }

    // tk_user_interface
    bool is_initialized() const override { return b_initialized_; }
    std::string title() const override;
    void error(const std::string& caption, const std::string& message) override;
    void message(const std::string& caption, const std::string& message) override;
    bool ask_yes_no(const std::string& caption, const std::string& question) override;
    continue_answer ask_continue(const std::string& caption, const std::string& message) override;
    void internal_error(const std::string& message) override;
    std::vector<std::string>& error_list() override { return errors_; }
    void error_noted(const std::string& message) override;
    void display_help(int topic) override;

    // The question Stop and closing ask while a run works; true asks the run to stop.
    bool ask_stop();

  public slots:
    void reject() override;

  private:
    void on_help();
    void on_page_changed(int id);
    // Runs `work` on the window thread, waiting for it when called from another thread.
    void on_window_thread(const std::function<void()>& work);

    QString title_;
    brixel_startup* startup_ = nullptr;
    bool b_initialized_ = false;
    bool b_run_active_ = false;
    bool b_close_after_run_ = false;
    std::vector<std::string> errors_;
    mutable std::mutex all_errors_mutex_;
    std::vector<std::string> all_errors_;
};
