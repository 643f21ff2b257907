#pragma once

// A flat speed button: no frame until the pointer is over it, with a coloured caption.

#include <QColor>
#include <QToolButton>

namespace pelko {

class TFlatSpeedButton : public QToolButton {
    Q_OBJECT

  public:
    explicit TFlatSpeedButton(const QString& caption = {}, QWidget* parent = nullptr);

    void SetCaptionColor(const QColor& color);

  private:
    QColor caption_color_;
};

}  // namespace pelko
