#include "app/frm_kind.h"

namespace pelko {

TFrmKind::TFrmKind(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmKind");
}

}  // namespace pelko
