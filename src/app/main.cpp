#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <iostream>

#include "app/frm_dc_main.h"
#include "app/main_commands.h"
#include "app/program_args.h"
#include "app/qt_dialog_service.h"
#include "app/quit_signals.h"
#include "app/single_instance.h"
#include "support/file_ops.h"
#include "support/platform.h"
#include "support/version.h"

int main(int argc, char** argv) {
    // The command line is read before Qt starts, so --help and --version need no display.
    const pelko::ProgramArgs args =
        pelko::ParseProgramArgs(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (!args.error.empty()) {
        std::cerr << "pelkocopy: " << args.error << " (usage: pelkocopy " << pelko::kProgramSynopsis
                  << ")\n";
        return 2;
    }
    if (args.help) {
        std::cout << pelko::ProgramUsage();
        return 0;
    }
    if (args.version) {
        std::cout << "pelkocopy " << pelko::kVersionText << "\n";
        return 0;
    }

    pelko::RaiseDescriptorLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName("PelkoCopy");
    // No display name: Qt would append it to every window title, the progress title included.
    pelko::InstallQtTranslations();
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName("pelkocopy");
    QApplication::setWindowIcon(QIcon::fromTheme("pelkocopy"));

    // A URI the desktop passed for an inserted card, or a path, as an absolute local path (the
    // running instance has another working folder).
    std::string given = args.path.empty() ? std::string() : pelko::LocalPathOf(args.path);
    if (given.empty()) given = args.path;  // not a local file: reported as it was given
    pelko::TSingleInstance instance;
    if (!instance.Acquire(QString::fromStdString(given))) {
        // Another instance runs and has been asked to come forward; no window here.
        return instance.RaiseConfirmed() ? 0 : 1;
    }

    // The program's facts are found here once and handed down.
    pelko::TMainContext context;
    context.app_folder = pelko::FindAppFolder();
    context.computer_name = pelko::ComputerName();
    context.temp_folder = pelko::UserTempFolder();
    pelko::RemoveStaleAppTemporaries(context.app_folder);
    // The working ImgCount.txt is written there.
    pelko::RemoveStaleTemporaries(context.temp_folder);
    pelko::TFrmDCMain window(context);
    QObject::connect(
        &instance, &pelko::TSingleInstance::openRequested, &window,
        [&window](const QString& path) { window.Commands().OpenGivenPath(path.toStdString()); });
    QObject::connect(&instance, &pelko::TSingleInstance::raiseRequested, &window,
                     &pelko::TFrmDCMain::RestoreAndRaise);
    // A logout or `kill` closes the window as its close button does, so the settings are saved.
    pelko::TQuitSignals quit_signals;
    QObject::connect(&quit_signals, &pelko::TQuitSignals::quitRequested, &window,
                     &pelko::TFrmDCMain::CloseForSignal);
    window.show();
    // Once the window is up, so that questions about the path stand over it.
    if (!given.empty()) {
        QTimer::singleShot(0, &window,
                           [&window, given] { window.Commands().OpenGivenPath(given); });
    }
    return QApplication::exec();
}
