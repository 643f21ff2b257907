#include <QApplication>
#include <QIcon>

#include "app/frm_dc_main.h"
#include "app/qt_dialog_service.h"
#include "app/single_instance.h"
#include "support/file_ops.h"
#include "support/platform.h"

int main(int argc, char** argv) {
    pelko::RaiseDescriptorLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName("PelkoCopy");
    // No display name: Qt would append it to every window title, the progress title included.
    pelko::InstallQtTranslations();
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName("pelkocopy");
    QApplication::setWindowIcon(QIcon::fromTheme("pelkocopy"));

    pelko::TSingleInstance instance;
    if (!instance.Acquire()) {
        // Another instance runs and has been asked to come forward; no window here.
        return instance.RaiseConfirmed() ? 0 : 1;
    }

    // The program's facts are found here once and handed down.
    pelko::TMainContext context;
    context.app_folder = pelko::FindAppFolder();
    pelko::RemoveStaleAppTemporaries(context.app_folder);
    context.computer_name = pelko::ComputerName();
    context.temp_folder = pelko::UserTempFolder();
    pelko::TFrmDCMain window(context);
    QObject::connect(&instance, &pelko::TSingleInstance::raiseRequested, &window,
                     &pelko::TFrmDCMain::RestoreAndRaise);
    window.show();
    return QApplication::exec();
}
