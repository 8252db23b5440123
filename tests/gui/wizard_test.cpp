// The wizard driven as a user drives it, on the offscreen platform, against the OCI stand-in:
// a whole conversion through the seven pages with the rows read back, the checks of the source,
// encoding and tables pages, a mapping edited in its dialog reaching the destination, a rejected
// record answered Continue and then Abort, a profile saved on the final page and quick-launched,
// the progress display and the dialogs of the error handler and the help.

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/brixel_converter.hpp"
#include "app/brixel_startup.hpp"
#include "app/interrupted_run.hpp"
#include "app/run_journal.hpp"
#include "app/verify_command.hpp"
#include "gui/wizard_dialogs.hpp"
#include "gui/wizard_pages.hpp"
#include "gui/wizard_shell.hpp"
#include "support/dbf_writer.hpp"
#include "tk/error_handler.hpp"
#include "tk/tk_wstring.hpp"
#include "udb/udb_recordset.hpp"

namespace fs = std::filesystem;

namespace {

// Answers the modal dialogs the wizard opens, in order: each answer gets the dialog and closes
// it. What message boxes said is kept.
class modal_answers : public QObject {
  public:
    modal_answers() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    void add(std::function<void(QWidget*)> answer) { answers_.push_back(std::move(answer)); }
    // A message box: its text is kept and `button` pressed.
    void box(QMessageBox::StandardButton button = QMessageBox::Ok) {
        add([this, button](QWidget* w) {
            auto* b = qobject_cast<QMessageBox*>(w);
            QVERIFY2(b != nullptr, qPrintable("not a message box: " + w->objectName()));
            texts.push_back(b->text());
            b->button(button)->click();
        });
    }
    bool done() const { return answers_.empty(); }
    QStringList texts;

  private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        // The connecting animation closes itself.
        if (modal == nullptr || modal == last_ || !modal->isVisible() ||
            modal->objectName() == "dlg_animation") {
            return;
        }
        if (answers_.empty()) {
            // A dialog no test expected: closed, so the test fails on what follows, not by hanging.
            auto* box = qobject_cast<QMessageBox*>(modal);
            qWarning("unexpected dialog %s: %s", qPrintable(modal->objectName()),
                     box != nullptr ? qPrintable(box->text()) : "");
            last_ = modal;
            QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
            return;
        }
        last_ = modal;
        auto answer = std::move(answers_.front());
        answers_.pop_front();
        answer(modal);
    }
    QTimer timer_;
    std::deque<std::function<void(QWidget*)>> answers_;
    QPointer<QWidget> last_;
};

template <class T>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no child %s", name);
    }
    return found;
}

void press_ok(QWidget* dialog) {
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

std::u16string w(const std::string& text) {
    return tk_a2w(text);
}

// The rows of a destination table, each value as text.
QList<QStringList> rows_of(brixel_converter& c, const std::u16string& table) {
    c.ora_base->get_tables();
    QList<QStringList> out;
    auto reader = c.ora_base->get_table(table, 0);
    reader->first();
    while (!reader->is_eof()) {
        QStringList row;
        for (const udb_field* field : *reader->get_item()) {
            row << QString::fromStdString(field->to_string());
        }
        out << row;
        reader->next();
    }
    return out;
}

}  // namespace

class wizard_test : public QObject {
    Q_OBJECT

  private:
    fs::path home_;
    fs::path folder_;
    std::string user_;
    int users_ = 0;
    std::unique_ptr<wizard_shell> shell_;
    std::unique_ptr<brixel_startup> startup_;

    void admin(const std::string& arguments) {
        const std::string command =
            "OCISIM_HOME='" + home_.string() + "' " OCISIM_ADMIN " " + arguments + " > /dev/null";
        QCOMPARE(std::system(command.c_str()), 0);
    }
    // A wizard of its own start-up; a quick launch shows only the progress and final pages.
    void open(bool b_quick_launch = false, const std::string& profile = {}) {
        startup_.reset();
        shell_ = std::make_unique<wizard_shell>("Brixel 3.3");
        startup_ = std::make_unique<brixel_startup>(*shell_);
        startup_->handler().end_process = [](int code) { qFatal("process ended with %d", code); };
        if (b_quick_launch) {
            startup_->load_quick_launch_profile(profile);
            QVERIFY(startup_->connect());
        }
        shell_->build(*startup_, b_quick_launch);
    }
    void start_at(int page) {
        shell_->setStartId(page);
        shell_->show();
        shell_->restart();
    }
    brixel_converter& converter() { return startup_->converter(); }
    QWidget* page(int id) { return shell_->page(id); }
    void next() { shell_->next(); }
    void wait_for_final() {
        QTRY_COMPARE_WITH_TIMEOUT(shell_->currentId(), int(wizard_shell::final_id), 60000);
    }
    // From the welcome page to the tables page, connected to the test's user.
    void walk_to_tables() {
        start_at(wizard_shell::welcome_id);
        next();
        QWidget* oracle = page(wizard_shell::oracle_id);
        child<QLineEdit>(oracle, "host")->setText("localhost");
        child<QLineEdit>(oracle, "dest")->setText("DB");
        child<QLineEdit>(oracle, "port")->setText("1521");
        child<QLineEdit>(oracle, "user")->setText(QString::fromStdString(user_));
        child<QLineEdit>(oracle, "password")->setText("pw");
        next();
        QCOMPARE(shell_->currentId(), int(wizard_shell::source_id));
        QWidget* source = page(wizard_shell::source_id);
        child<QLineEdit>(source, "src")->setText(QString::fromStdString(folder_.string()));
        child<QRadioButton>(source, "overwrite")->setChecked(true);
        next();
        next();
        QCOMPARE(shell_->currentId(), int(wizard_shell::tables_id));
    }

  private slots:
    void initTestCase() {
        const char* tmp = std::getenv("BRIXEL_TEST_TMP");
        home_ = fs::path(tmp != nullptr && *tmp != 0 ? tmp : fs::temp_directory_path().c_str()) /
                ("wizard." + std::to_string(getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_);
        setenv("OCISIM_HOME", home_.c_str(), 1);
        setenv("BRIXEL_OCI_LIBRARY", OCISIM_LIBRARY, 1);
        setenv("OCISIM_LOCK_WAIT_MS", "200", 1);
        admin("create-service DB");
    }
    void cleanupTestCase() { fs::remove_all(home_); }
    void init() {
        user_ = "W" + std::to_string(++users_);
        admin("create-user DB " + user_ + " pw");
        folder_ = home_ / ("dbf_" + user_);
        fs::create_directories(folder_);
        setenv("BRIXEL_CONFIG_HOME", (home_ / ("config_" + user_)).c_str(), 1);
        setenv("XDG_STATE_HOME", (home_ / ("state_" + user_)).c_str(), 1);
        setenv("BRIXEL_HELP_DIR", BRIXEL_HELP_SOURCE, 1);
        open();
    }
    void cleanup() {
        startup_.reset();
        shell_.reset();
    }

    // The seven pages in their order, Back keeping what was typed, the rows in Oracle, then the
    // settings saved on the final page and replayed by a quick launch.
    void whole_conversion_then_quick_launch() {
        dbf_writer people(dbf_ver::dbase3);
        people.codepage(0x03);  // Windows 1252
        people.field("NAME", 'C', 20).field("AGE", 'N', 3);
        people.add_record({dbf_cell::text("Ann"), dbf_cell::integer(34)});
        people.add_record({dbf_cell::text("Bj\xF6rn"), dbf_cell::integer(7)});
        people.write(folder_, "people.dbf");
        dbf_writer empty(dbf_ver::dbase3);
        empty.field("X", 'C', 5);
        empty.write(folder_, "empty.dbf");

        modal_answers answers;
        converter().values = udb_values::classic;
        walk_to_tables();
        // Back to the source page and forward again: nothing typed is lost, and the exact
        // values box shows the setting and writes it back.
        shell_->back();
        shell_->back();
        QCOMPARE(child<QLineEdit>(page(wizard_shell::source_id), "src")->text(),
                 QString::fromStdString(folder_.string()));
        QVERIFY(child<QRadioButton>(page(wizard_shell::source_id), "overwrite")->isChecked());
        auto* exact = child<QCheckBox>(page(wizard_shell::source_id), "exact_values");
        QVERIFY(!exact->isChecked());
        exact->setChecked(true);
        auto* method = child<QComboBox>(page(wizard_shell::source_id), "load_method");
        auto* batch = child<QSpinBox>(page(wizard_shell::source_id), "batch_rows");
        method->setCurrentIndex(method->findData("row"));
        QVERIFY(!batch->isEnabled());
        method->setCurrentIndex(method->findData("array"));
        batch->setValue(7);
        next();
        QVERIFY(converter().values == udb_values::exact);
        QVERIFY(converter().load.method == ora_load_method::array);
        QCOMPARE(converter().load.batch_rows, 7u);
        next();
        auto* available = child<QListWidget>(page(wizard_shell::tables_id), "available");
        auto* selected = child<QListWidget>(page(wizard_shell::tables_id), "selected");
        QCOMPARE(available->count(), 2);
        QCOMPARE(available->item(0)->text(), "empty");
        child<QPushButton>(page(wizard_shell::tables_id), "add_all")->click();
        QCOMPARE(selected->count(), 2);
        next();
        wait_for_final();
        QWidget* final_page = page(wizard_shell::final_id);
        QVERIFY(child<QLabel>(final_page, "message")->text().startsWith("Wizard has migrated"));
        QVERIFY(!child<QPlainTextEdit>(final_page, "errors")->isVisible());
        const QList<QStringList> expected{{"Ann", "34"}, {"Björn", "7"}};
        QCOMPARE(rows_of(converter(), u"PEOPLE"), expected);
        QCOMPARE(rows_of(converter(), u"EMPTY").size(), 0);
        // Verify reads both tables back on its thread and shows its report when done.
        QString verified;
        answers.add([&](QWidget* dialog) {
            verified = child<QPlainTextEdit>(dialog, "report")->toPlainText();
            qobject_cast<QDialog*>(dialog)->accept();
        });
        child<QPushButton>(final_page, "verify")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!verified.isEmpty(), 30000);
        QVERIFY2(verified.contains("verify: 4 of 4 values equal; 2 of 2 tables equal"),
                 qPrintable(verified));
        QVERIFY(child<QPushButton>(final_page, "verify")->isEnabled());

        const fs::path profile = folder_ / "saved.brixel";
        answers.add([&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(files != nullptr);
            QCOMPARE(files->windowTitle(), "Select Profile File");
            files->selectFile(QString::fromStdString((folder_ / "saved").string()));
            QMetaObject::invokeMethod(files, "accept");
        });
        child<QPushButton>(final_page, "save_settings")->click();
        QVERIFY(fs::exists(profile));  // the default extension was added
        struct stat info {};
        QCOMPARE(stat(profile.c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        converter().engine.execute(u"DROP TABLE PEOPLE");

        shell_->accept();
        open(true, profile.string());
        QVERIFY(shell_->page(wizard_shell::welcome_id) == nullptr);
        start_at(wizard_shell::progress_id);
        wait_for_final();
        QCOMPARE(rows_of(converter(), u"PEOPLE"), expected);
        QVERIFY(answers.done());
    }

    // Each refusal of the source page's Next, with its box; the page stays.
    void source_page_refuses_what_is_no_folder() {
        const fs::path file = folder_ / "orders.dbf";
        dbf_writer(dbf_ver::dbase3).field("A", 'C', 1).write(folder_, "orders.dbf");
        struct refusal {
            std::string path;
            const char* text;
        };
        const refusal cases[] = {
            {"", "You should enter path to DBF file(s)"},
            {file.string(), "You should enter path to DBF file(s), not a file name"},
            {(folder_ / "missing").string(),
             "Path to DBF database does not exist.\nPlease verify the correct path was given."},
        };
        converter().src.clear();
        start_at(wizard_shell::source_id);
        modal_answers answers;
        for (const refusal& r : cases) {
            child<QLineEdit>(page(wizard_shell::source_id), "src")
                ->setText(QString::fromStdString(r.path));
            answers.box();
            next();
            QCOMPARE(shell_->currentId(), int(wizard_shell::source_id));
            QCOMPARE(answers.texts.last(), r.text);
        }
        QCOMPARE(answers.texts.size(), 3);
    }

    // The encoding list follows the code page setting; an id it lacks selects "Default".
    void encoding_page_selects_the_code_page() {
        auto* list = child<QComboBox>(page(wizard_shell::encoding_id), "encoding");
        converter().code_page = 0x65;
        start_at(wizard_shell::encoding_id);
        QCOMPARE(list->currentText(), "Russian MS-DOS");
        open();
        list = child<QComboBox>(page(wizard_shell::encoding_id), "encoding");
        converter().code_page = 0xEE;
        start_at(wizard_shell::encoding_id);
        QCOMPARE(list->currentText(), "Default");
        list->setCurrentIndex(list->findText("Russian MS-DOS"));
        converter().src = w(folder_.string());  // the tables page that follows lists it
        next();
        QCOMPARE(converter().code_page, 0x65);
    }

    // Next with tables offered and none chosen asks first; a query named like a table is refused
    // and its dialog comes back with what was typed.
    void tables_page_asks_and_refuses_duplicates() {
        dbf_writer(dbf_ver::dbase3).field("A", 'C', 1).write(folder_, "people.dbf");
        converter().src = w(folder_.string());
        start_at(wizard_shell::tables_id);
        modal_answers answers;
        answers.box(QMessageBox::No);
        next();
        QCOMPARE(answers.texts.value(0), "There are no tables selected. Continue anyway?");
        QCOMPARE(shell_->currentId(), int(wizard_shell::tables_id));

        answers.add([](QWidget* dialog) {
            child<QLineEdit>(dialog, "1019")->setText("people");
            child<QPlainTextEdit>(dialog, "1020")->setPlainText("select * from people");
            press_ok(dialog);
        });
        answers.box();
        QString reopened;
        answers.add([&](QWidget* dialog) {
            reopened = child<QLineEdit>(dialog, "1019")->text() + "|" +
                       child<QPlainTextEdit>(dialog, "1020")->toPlainText();
            qobject_cast<QDialog*>(dialog)->reject();
        });
        child<QPushButton>(page(wizard_shell::tables_id), "add_query")->click();
        QCOMPARE(answers.texts.value(1), "Duplicate table name. Try again.");
        QCOMPARE(reopened, "people|select * from people");
        QCOMPARE(child<QListWidget>(page(wizard_shell::tables_id), "selected")->count(), 0);
    }

    // A mapping edited in the Edit Table dialog shapes the destination; the records its type
    // cannot take are asked about: Continue goes on, Abort ends the run before the next table.
    void mapping_dialog_then_continue_and_abort() {
        dbf_writer items(dbf_ver::dbase3);
        items.field("CODE", 'C', 10).field("NOTE", 'C', 8);
        for (const char* code : {"12", "abc", "34", "xyz", "56"}) {
            items.add_record({dbf_cell::text(code), dbf_cell::text("n")});
        }
        items.write(folder_, "items.dbf");
        dbf_writer(dbf_ver::dbase3).field("A", 'C', 1).write(folder_, "later.dbf");

        modal_answers answers;
        walk_to_tables();
        child<QPushButton>(page(wizard_shell::tables_id), "add_all")->click();
        auto* selected = child<QListWidget>(page(wizard_shell::tables_id), "selected");
        QCOMPARE(selected->item(0)->text(), "items");
        QString inputs;
        answers.add([&](QWidget* dialog) {
            child<QLineEdit>(dialog, "1003")->setText("ITEMS_N");
            auto* fields = child<QTreeWidget>(dialog, "fields");
            QCOMPARE(fields->topLevelItemCount(), 2);
            auto* type = child<QComboBox>(dialog, "1302");
            // A text type takes a length only; NUMBER a precision and a scale.
            QCOMPARE(type->currentText(), "NVARCHAR2");
            inputs += child<QLineEdit>(dialog, "1006")->isVisible() ? "L" : "-";
            inputs += child<QLineEdit>(dialog, "1007")->isVisible() ? "P" : "-";
            type->setCurrentText("NUMBER");
            inputs += child<QLineEdit>(dialog, "1006")->isVisible() ? "L" : "-";
            inputs += child<QLineEdit>(dialog, "1007")->isVisible() ? "P" : "-";
            inputs += child<QLineEdit>(dialog, "1008")->isVisible() ? "S" : "-";
            child<QLineEdit>(dialog, "1004")->setText("CODE_NUM");
            child<QLineEdit>(dialog, "1007")->setText("10");
            child<QLineEdit>(dialog, "1008")->setText("0");
            fields->topLevelItem(1)->setCheckState(0, Qt::Unchecked);  // NOTE is left out
            fields->setCurrentItem(fields->topLevelItem(1));
            press_ok(dialog);
        });
        selected->setCurrentRow(0);
        emit selected->itemDoubleClicked(selected->item(0));
        QCOMPARE(inputs, "L--PS");

        QStringList asked;
        const auto answer = [&](const char* button) {
            answers.add([&asked, button](QWidget* dialog) {
                asked << child<QLabel>(dialog, "1320")->text();
                child<QPushButton>(dialog, button)->click();
            });
        };
        answer("continue");
        answer("abort");
        next();
        wait_for_final();
        QCOMPARE(asked.size(), 2);
        QVERIFY2(asked[0].startsWith("items, record #2: "), qPrintable(asked[0]));
        QVERIFY2(asked[1].startsWith("items, record #4: "), qPrintable(asked[1]));
        const QList<QStringList> loaded{{"12"}, {"34"}};
        QCOMPARE(rows_of(converter(), u"ITEMS_N"), loaded);  // NOTE was left out
        const auto destination = converter().ora_base->get_table(u"ITEMS_N", 0);
        QCOMPARE(destination->schema.column(0).name, u"CODE_NUM");
        QVERIFY(t_ftd::is_numeric_type(destination->schema.column(0).vartype));
        converter().ora_base->get_tables();
        QVERIFY(!converter().ora_base->is_table_exist(u"LATER"));
        QWidget* final_page = page(wizard_shell::final_id);
        QVERIFY(child<QLabel>(final_page, "message")->text().startsWith("There were some errors"));
        QVERIFY(child<QPlainTextEdit>(final_page, "errors")->toPlainText().contains("record #2"));

        QString report;
        answers.add([&](QWidget* dialog) {
            report = child<QPlainTextEdit>(dialog, "report")->toPlainText();
            qobject_cast<QDialog*>(dialog)->accept();
        });
        child<QPushButton>(final_page, "show_report")->click();
        QVERIFY2(report.contains("ITEMS_N") && report.contains("not reached"), qPrintable(report));
    }

    // Stop asks first, then ends the run at the next record: what was loaded stays, the final
    // page says the run was stopped, and the report tells how far the table got.
    void stop_ends_the_run_and_keeps_what_was_loaded() {
        dbf_writer big(dbf_ver::dbase3);
        big.field("N", 'N', 8);
        for (int i = 0; i < 4000; ++i) {
            big.add_record({dbf_cell::integer(i)});
        }
        big.write(folder_, "big.dbf");
        modal_answers answers;
        walk_to_tables();
        // The row load is slow enough for the stop to land inside the table; the array load
        // could finish it first.
        converter().load.method = ora_load_method::row;
        child<QPushButton>(page(wizard_shell::tables_id), "add_all")->click();
        next();
        QTRY_VERIFY(converter().current_record.load() > 0);
        answers.box(QMessageBox::Yes);
        child<QPushButton>(page(wizard_shell::progress_id), "stop")->click();
        wait_for_final();
        QVERIFY(answers.texts.value(0).startsWith("Stop the conversion now?"));
        QVERIFY(child<QLabel>(page(wizard_shell::final_id), "message")->text().contains("stopped"));
        const std::vector<t_table_report> reports = converter().reports();
        QCOMPARE(reports.size(), size_t(1));
        QVERIFY(reports[0].inserted > 0 && reports[0].inserted < 4000);
        QCOMPARE(rows_of(converter(), u"BIG").size(), qsizetype(reports[0].inserted));
        QVERIFY(child<QLabel>(page(wizard_shell::final_id), "interrupted")
                    ->text()
                    .contains("brixel-cli run --resume "));

        // The next start offers to finish the run; finishing it loads every record exactly once.
        cleanup();
        open();
        walk_to_tables();
        QVERIFY(child<QLabel>(page(wizard_shell::welcome_id), "interrupted")
                    ->text()
                    .contains("big: cut short"));
        QVERIFY(child<QCheckBox>(page(wizard_shell::welcome_id), "resume")->isChecked());
        child<QPushButton>(page(wizard_shell::tables_id), "add_all")->click();
        next();
        wait_for_final();
        QVERIFY(child<QLabel>(page(wizard_shell::final_id), "interrupted")->text().isEmpty());
        QCOMPARE(converter().reports().at(0).resumed_after, reports[0].records_read);
        for (const verify_table_report& report : verify_tables(converter())) {
            QVERIFY2(report.equal(), format_verify_report({report}).c_str());
        }
        QVERIFY(find_interrupted_journal(journal_state_folder()).empty());
    }

    // The bar takes the run's percent (4 tables, 2 done, record 50 of 200: 56) and the details
    // name the table's position and record.
    void progress_shows_percent_and_position() {
        brixel_converter& c = converter();
        c.total_tables = 4;
        c.tables_done = 2;
        c.total_records = 200;
        c.current_record = 50;
        c.set_current_table(u"orders");
        auto* progress = static_cast<progress_page*>(page(wizard_shell::progress_id));
        progress->on_timer();
        QCOMPARE(child<QProgressBar>(progress, "progress")->value(), 56);
        QCOMPARE(child<QLabel>(progress, "status")->text(), "Processing table 'orders'");
        QCOMPARE(child<QLabel>(progress, "position")->text(), "Table 3 of 4");
        QCOMPARE(child<QLabel>(progress, "records")->text(), "Record 50 of 200");
    }

    // The internal-error dialog's copy button leaves the text on the clipboard; help topics open
    // their pages, and a missing help set says so.
    void error_dialog_and_help() {
        dlg_error_ex dialog("Brixel 3.3 Error", "Internal error: \ncode=12", nullptr);
        QTimer::singleShot(0, &dialog, [&] { child<QPushButton>(&dialog, "1108")->click(); });
        QCOMPARE(dialog.exec(), dlg_error_ex::copy_id);
        QCOMPARE(QGuiApplication::clipboard()->text(), "Internal error: \ncode=12");

        shell_->display_help(1001);
        auto* help = shell_->findChild<help_window*>("help_window");
        QVERIFY(help != nullptr);
        QVERIFY(help->browser()->source().toString().endsWith("connect.html"));
        QVERIFY(help->browser()->toPlainText().contains("Database name"));

        setenv("BRIXEL_HELP_DIR", folder_.c_str(), 1);
        modal_answers answers;
        answers.box();
        shell_->display_help(1015);
        QCOMPARE(answers.texts.value(0), "Help file does not exist. Reinstall the program.");
    }
};

QTEST_MAIN(wizard_test)
#include "wizard_test.moc"
