#include "app/frm_kind.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace pelko {

TFrmKind::TFrmKind(QWidget* main_form) : QDialog(main_form), main_form_(main_form) {
    setObjectName("FrmKind");
    setWindowTitle(QString::fromUtf8("処理の選択"));
    auto* layout = new QVBoxLayout(this);
    const auto add_button = [&](const char* name, const char* caption) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        button->setMinimumWidth(240);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, &TFrmKind::btnCopyClick);
        return button;
    };
    btnCopy = add_button("btnCopy", "指定のコピー先へ処理");
    btnReName = add_button("btnReName", "コピー先を無視してリネーム");
    btnCancel = add_button("btnCancel", "キャンセル");
    btnCopy->setDefault(true);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmKind::showEvent(QShowEvent* event) {
    // Any way of closing the dialog but the first two buttons cancels.
    result_ = kKindCancel;
    adjustSize();
    if (main_form_ != nullptr) {
        const QRect main = main_form_->frameGeometry();
        const QSize size = frameGeometry().size();
        move(main.left() + (main.width() - size.width()) / 2,
             main.top() + (main.height() - size.height()) / 2);
    }
    QDialog::showEvent(event);
    btnCopy->setFocus();
}

void TFrmKind::btnCopyClick() {
    const QObject* button = sender();
    if (button == btnCopy) {
        result_ = kKindCopy;
    } else if (button == btnReName) {
        result_ = kKindRename;
    } else {
        result_ = kKindCancel;
    }
    accept();
}

int ExecKind(QWidget* main_form) {
    TFrmKind dialog(main_form);
    dialog.exec();
    return dialog.Result();
}

}  // namespace pelko
