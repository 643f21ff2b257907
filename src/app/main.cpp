#include <QApplication>
#include <QIcon>

#include "app/frm_dc_main.h"
#include "app/frm_kind.h"
#include "app/frm_scf_seiri.h"
#include "app/frm_sel_card.h"
#include "app/qt_dialog_service.h"
#include "app/single_instance.h"

int main(int argc, char** argv) {
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

    // The windows in their order: main window, sidecar window, processing choice, card choice.
    pelko::TFrmDCMain window;
    pelko::TFrmSCFSeiri sidecar(&window);
    pelko::TFrmKind kind(&window);
    pelko::TFrmSelCard sel_card(&window);
    QObject::connect(&instance, &pelko::TSingleInstance::raiseRequested, &window,
                     &pelko::TFrmDCMain::RestoreAndRaise);
    window.show();
    return QApplication::exec();
}
