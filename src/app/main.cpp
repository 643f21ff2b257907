#include <QApplication>

#include "app/frm_dc_main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("PelkoCopy");
    QApplication::setApplicationDisplayName("PelkoCopy");
    pelko::TFrmDCMain window;
    window.show();
    return QApplication::exec();
}
