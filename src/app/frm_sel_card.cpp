#include "app/frm_sel_card.h"

namespace pelko {

TFrmSelCard::TFrmSelCard(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmSelCard");
    setWindowTitle(QString::fromUtf8("SDカード選択"));
}

}  // namespace pelko
