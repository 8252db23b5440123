// Drives the real wizard the way a user does - over a DBF folder, into the database the
// environment names (the stand-in when BRIXEL_OCI_LIBRARY points at it) - and saves a PNG of every
// page and dialog into a folder. Usage: wizard_screens OUT_FOLDER DBF_FOLDER USER PASSWORD
// SERVICE. scripts/screenshots.sh sets everything up and runs it under Xvfb.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <memory>

#include "app/brixel_converter.hpp"
#include "app/brixel_startup.hpp"
#include "app/run_summary.hpp"
#include "app/table_mapping_editor.hpp"
#include "app/verify_command.hpp"
#include "gui/wizard_dialogs.hpp"
#include "gui/wizard_pages.hpp"
#include "gui/wizard_shell.hpp"
#include "support/dbf_writer.hpp"

namespace {

QString out_folder;

void settle(int ms = 150) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(QWidget* window, const char* name) {
    settle();
    const QString path = out_folder + "/" + name + ".png";
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "wizard_screens: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    std::printf("%s\n", qPrintable(path));
}

template <class T>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(name);
    if (found == nullptr) {
        std::fprintf(stderr, "wizard_screens: no widget %s\n", name);
        std::exit(1);
    }
    return found;
}

// Shows a dialog without blocking, pictures it and closes it.
void picture(QDialog& dialog, const char* name) {
    dialog.show();
    save(&dialog, name);
    dialog.hide();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: wizard_screens OUT_FOLDER DBF_FOLDER USER PASSWORD SERVICE\n");
        return 2;
    }
    out_folder = argv[1];
    const QString folder = argv[2];
    // A long table, so that the progress page is pictured in the middle of a run.
    dbf_writer ledger(dbf_ver::foxpro2_memo);
    ledger.field("ENTRY", 'N', 8).field("ACCOUNT", 'C', 12).field("AMOUNT", 'N', 12, 2);
    for (int i = 1; i <= 20000; ++i) {
        ledger.add_record({dbf_cell::integer(i), dbf_cell::text("4000-" + std::to_string(i % 97)),
                           dbf_cell::number(i * 1.25)});
    }
    ledger.write(folder.toStdString(), "ledger.dbf");

    wizard_shell shell("Brixel 3.3");
    brixel_startup startup(shell);
    shell.build(startup, false);
    shell.show();
    shell.restart();
    save(&shell, "1-welcome");

    shell.next();
    QWidget* oracle = shell.page(wizard_shell::oracle_id);
    child<QLineEdit>(oracle, "host")->setText("dbserver.example.com");
    child<QLineEdit>(oracle, "dest")->setText(argv[5]);
    child<QLineEdit>(oracle, "port")->setText("1521");
    child<QLineEdit>(oracle, "user")->setText(argv[3]);
    child<QLineEdit>(oracle, "password")->setText(argv[4]);
    save(&shell, "2-connect");
    {
        dlg_animation animation(&shell);
        animation.show();
        settle(1100);
        save(&animation, "d-connecting");
        animation.hide();
    }
    child<QLineEdit>(oracle, "host")->setText("localhost");
    shell.next();

    QWidget* source = shell.page(wizard_shell::source_id);
    child<QLineEdit>(source, "src")->setText(folder);
    child<QRadioButton>(source, "overwrite")->setChecked(true);
    save(&shell, "3-source");
    // One record per round trip, so that the run is still going when the progress page is
    // pictured.
    auto* method = child<QComboBox>(source, "load_method");
    method->setCurrentIndex(method->findData("row"));
    shell.next();
    save(&shell, "4-encoding");
    shell.next();

    QWidget* tables = shell.page(wizard_shell::tables_id);
    auto* available = child<QListWidget>(tables, "available");
    for (int i = 0; i < 3 && available->count() > 0; ++i) {
        available->setCurrentRow(0);
        child<QPushButton>(tables, "add")->click();
    }
    save(&shell, "5-tables");

    auto* selected = child<QListWidget>(tables, "selected");
    {
        types_map_dlg dialog(shell, load_table_mapping(shell.converter(),
                                                       selected->item(0)->text().toStdU16String()));
        picture(dialog, "d-edit-table");
    }
    {
        set_query_dlg dialog(shell, "ACTIVE_CUSTOMERS",
                             "SELECT * FROM customers\nWHERE active = 1");
        picture(dialog, "d-add-query");
    }
    {
        dlg_error_continue dialog(
            "Brixel 3.3 Error",
            "orders, record #118: Data conversion is not supported for given type mapping", &shell);
        picture(dialog, "d-continue");
    }
    {
        dlg_error_ex dialog("Brixel 3.3 Error", "Internal error: \ncode=0x2A0013", &shell);
        picture(dialog, "d-internal-error");
    }
    {
        QMessageBox box(QMessageBox::Critical, "Brixel 3.3 Error",
                        "Path to DBF database does not exist.\nPlease verify the correct path "
                        "was given.",
                        QMessageBox::Ok, &shell);
        picture(box, "d-message");
    }

    shell.next();
    settle(600);
    save(&shell, "6-progress");
    while (shell.currentId() != wizard_shell::final_id) {
        settle(100);
    }
    save(&shell, "7-final");
    {
        report_dlg dialog(
            QString::fromStdString(format_summary(shell.converter().reports(), shell.all_errors())),
            &shell);
        picture(dialog, "d-report");
    }
    {
        report_dlg dialog(
            QString::fromStdString(format_verify_report(verify_tables(shell.converter()))), &shell,
            "Verify report");
        picture(dialog, "d-verify");
    }
    shell.display_help(1001);
    if (auto* help = shell.findChild<help_window*>("help_window")) {
        save(help, "d-help");
        help->hide();
    }
    return 0;
}
