#include "gui/wizard_shell.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "app/brixel_startup.hpp"
#include "gui/gui_art.hpp"
#include "gui/wizard_dialogs.hpp"
#include "gui/wizard_pages.hpp"
#include "tk/tk_log.hpp"

wizard_shell::wizard_shell(const QString& title, QWidget* parent) : QWizard(parent), title_(title) {
    setObjectName("wizard_shell");
    setWindowTitle(title_);
    setWindowIcon(gui_art::application_icon());
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::HaveHelpButton, true);
    setOption(QWizard::NoCancelButtonOnLastPage, true);
    setOption(QWizard::NoBackButtonOnLastPage, true);
    // The watermark belongs to the welcome and final pages only.
    setPixmap(QWizard::LogoPixmap, gui_art::header_logo());
    setMinimumSize(640, 470);
    // The tables page starts the run: its button still reads Next.
    setButtonText(QWizard::CommitButton, buttonText(QWizard::NextButton));
    connect(this, &QWizard::helpRequested, this, &wizard_shell::on_help);
    connect(this, &QWizard::currentIdChanged, this, &wizard_shell::on_page_changed);
}

wizard_shell::~wizard_shell() = default;

void wizard_shell::build(brixel_startup& startup, bool b_quick_launch) {
    startup_ = &startup;
    if (!b_quick_launch) {
        setPage(welcome_id, new welcome_page(*this));
        setPage(oracle_id, new oracle_settings_page(*this));
        setPage(source_id, new sel_file_page(*this));
        setPage(encoding_id, new encoding_page(*this));
        setPage(tables_id, new brixel_sel_tables_page(*this));
    }
    setPage(progress_id, new progress_page(*this));
    setPage(final_id, new gui_finish_page(*this));
    setStartId(b_quick_launch ? progress_id : welcome_id);
}

brixel_converter& wizard_shell::converter() const {
    return startup_->converter();
}

void wizard_shell::on_page_changed(int id) {
    TK_LOG(1, "wizard_page::OnSetActive");
    if (id >= 0) {
        b_initialized_ = true;
    }
}

void wizard_shell::on_help() {
    if (auto* page = dynamic_cast<const wizard_page*>(currentPage())) {
        if (page->help_topic() >= 0) {
            display_help(page->help_topic());
        }
    }
}

void wizard_shell::on_window_thread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
    } else {
        QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
    }
}

std::string wizard_shell::title() const {
    return title_.toStdString();
}

void wizard_shell::show_error(const QString& text) {
    error(title() + " Error", text.toStdString());
}

void wizard_shell::show_message(const QString& text) {
    message(title() + " Message", text.toStdString());
}

bool wizard_shell::question(const QString& text) {
    return ask_yes_no(title() + " Question", text.toStdString());
}

void wizard_shell::error(const std::string& caption, const std::string& text) {
    TK_LOG(3, "%s", text.c_str());
    on_window_thread([&] {
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName("error_box");
        box.exec();
    });
}

void wizard_shell::message(const std::string& caption, const std::string& text) {
    on_window_thread([&] {
        QMessageBox box(QMessageBox::Information, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName("message_box");
        box.exec();
    });
}

bool wizard_shell::ask_yes_no(const std::string& caption, const std::string& text) {
    bool b_yes = false;
    on_window_thread([&] {
        QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                        QApplication::activeWindow());
        box.setObjectName("question_box");
        box.setDefaultButton(QMessageBox::No);
        b_yes = box.exec() == QMessageBox::Yes;
    });
    return b_yes;
}

tk_user_interface::continue_answer wizard_shell::ask_continue(const std::string& caption,
                                                              const std::string& text) {
    continue_answer answer;
    on_window_thread([&] {
        dlg_error_continue dialog(QString::fromStdString(caption), QString::fromStdString(text),
                                  QApplication::activeWindow());
        answer.b_continue = dialog.exec() == dlg_error_continue::continue_id;
        answer.b_dont_show = dialog.dont_show();
    });
    return answer;
}

void wizard_shell::internal_error(const std::string& text) {
    on_window_thread([&] {
        dlg_error_ex dialog(b_initialized_ ? title_ + " Error" : QString("Error"),
                            QString::fromStdString(text), QApplication::activeWindow());
        dialog.exec();
    });
}

void wizard_shell::error_noted(const std::string& text) {
    const std::lock_guard<std::mutex> lock(all_errors_mutex_);
    all_errors_.push_back(text);
}

std::vector<std::string> wizard_shell::all_errors() const {
    const std::lock_guard<std::mutex> lock(all_errors_mutex_);
    return all_errors_;
}

void wizard_shell::display_help(int topic) {
    on_window_thread([&] { help_window::show_topic(*this, topic); });
}

bool wizard_shell::ask_stop() {
    const bool b_stop = question(
        "Stop the conversion now?\n\nThe run ends after the record being loaded. Tables done so "
        "far stay in Oracle, the current table keeps the records loaded so far, and the tables "
        "after it are not converted.");
    if (b_stop && startup_ != nullptr) {
        TK_LOG(2, "The user stopped the conversion");
        startup_->request_stop();
    }
    return b_stop;
}

void wizard_shell::reject() {
    if (b_run_active_) {
        // The run cannot be cut off in the middle of a record: it is asked to stop, and the
        // window closes when it has.
        if (ask_stop()) {
            b_close_after_run_ = true;
        }
        return;
    }
    if (currentId() == final_id || question("Are you sure you want to exit the wizard?")) {
        QWizard::reject();
    }
}
