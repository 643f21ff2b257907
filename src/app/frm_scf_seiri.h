#pragma once

// TFrmSCFSeiri: the sidecar tidy window. An empty window until the sidecar tidy is built.

#include <QDialog>

namespace pelko {

class TFrmSCFSeiri : public QDialog {
    Q_OBJECT

  public:
    explicit TFrmSCFSeiri(QWidget* parent = nullptr);
};

}  // namespace pelko
