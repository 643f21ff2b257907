#pragma once

// TFrmKind, "処理の選択": whether the folder command copies the folder's files to the
// destinations or gives them their new names where they are.

#include <QDialog>

class QPushButton;

namespace pelko {

inline constexpr int kKindCopy = 0;    // copy to the destinations
inline constexpr int kKindRename = 1;  // new names in place, destinations ignored
inline constexpr int kKindCancel = -1;

class TFrmKind : public QDialog {
    Q_OBJECT

  public:
    explicit TFrmKind(QWidget* main_form);

    // kKindCopy, kKindRename or kKindCancel; cancel unless a button other than "キャンセル" ended
    // the last show.
    int Result() const { return result_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Shared by the three buttons: the result by the button pressed, then close.
    void btnCopyClick();

    QWidget* main_form_;
    QPushButton* btnCopy;
    QPushButton* btnReName;
    QPushButton* btnCancel;
    int result_ = kKindCancel;
};

// Shows the dialog modally; the result.
int ExecKind(QWidget* main_form);

}  // namespace pelko
