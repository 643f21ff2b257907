#include "app/frm_scf_seiri.h"

namespace pelko {

TFrmSCFSeiri::TFrmSCFSeiri(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmSCFSeiri");
}

}  // namespace pelko
