#pragma once

// TFrmSelCard: the card choice dialog ("SDカード選択"). A bare dialog until the card detection
// gives it its list.

#include <QDialog>

namespace pelko {

class TFrmSelCard : public QDialog {
    Q_OBJECT

  public:
    explicit TFrmSelCard(QWidget* parent = nullptr);
};

}  // namespace pelko
