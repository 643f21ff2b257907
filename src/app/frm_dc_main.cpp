#include "app/frm_dc_main.h"

#include <QLabel>

namespace pelko {

TFrmDCMain::TFrmDCMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("FrmDCMain");
    setWindowTitle(QString::fromUtf8(kCaption));
    resize(800, 560);
    auto* placeholder = new QLabel(this);
    placeholder->setObjectName("lblPlaceholder");
    setCentralWidget(placeholder);
}

}  // namespace pelko
