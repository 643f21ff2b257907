#pragma once

#include <QMainWindow>

#include "support/version.h"

namespace pelko {

// The main window. Its controls and handlers arrive with the copy run's window; for now it is the
// captioned frame the program starts with.
class TFrmDCMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Pelko File Copy  - Ver " PELKO_VERSION_TEXT;

    explicit TFrmDCMain(QWidget* parent = nullptr);
};

}  // namespace pelko
