// brixel: the wizard. An empty command line starts the seven pages; anything else is taken
// whole, its arguments joined by single blanks, as the path of a profile to convert at once.

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QVersionNumber>
#include <memory>
#include <string>

#include "app/brixel_startup.hpp"
#include "gui/wizard_dialogs.hpp"
#include "gui/wizard_shell.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brixel");
    QApplication::setOrganizationName("Quillonworks");
    QApplication::setDesktopFileName("brixel");

    // The program needs at least the Qt it was built with.
    if (QLibraryInfo::version() < QVersionNumber(QT_VERSION_MAJOR, QT_VERSION_MINOR)) {
        QMessageBox::critical(nullptr, "Error",
                              QString("Incorrect version of the Qt library. Qt %1 or later is "
                                      "required to proceed with the application.")
                                  .arg(QT_VERSION_STR));
        return 1;
    }

    // Qt has taken its own options out of argv; what is left is the profile path.
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        command_line += (i > 1 ? " " : "") + std::string(argv[i]);
    }

    wizard_shell shell("Brixel 3.3");
    std::unique_ptr<brixel_startup> startup;
    try {
        startup = std::make_unique<brixel_startup>(shell);
    } catch (const std::exception&) {
        return 1;  // reported by the start-up (most often: no Oracle client library)
    }

    const bool b_quick_launch = !command_line.empty();
    if (b_quick_launch) {
        try {
            startup->load_quick_launch_profile(command_line);
        } catch (const std::exception& e) {
            startup->report(e);
            return brixel_startup::exit_start_up_error;
        }
        if (!dlg_animation::run(nullptr, [&] { return startup->connect(); })) {
            return brixel_startup::exit_cannot_connect;
        }
    }
    shell.build(*startup, b_quick_launch);
    return shell.exec() == QDialog::Accepted ? 0 : 1;
}
