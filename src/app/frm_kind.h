#pragma once

// TFrmKind: the choice between copying a folder to the destinations and renaming in place.
// A bare dialog until the folder command gives it its buttons.

#include <QDialog>

namespace pelko {

class TFrmKind : public QDialog {
    Q_OBJECT

  public:
    explicit TFrmKind(QWidget* parent = nullptr);
};

}  // namespace pelko
