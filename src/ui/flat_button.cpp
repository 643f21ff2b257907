#include "ui/flat_button.h"

#include <QPalette>

namespace pelko {

TFlatSpeedButton::TFlatSpeedButton(const QString& caption, QWidget* parent) : QToolButton(parent) {
    setText(caption);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void TFlatSpeedButton::SetCaptionColor(const QColor& color) {
    caption_color_ = color;
    QPalette colors = palette();
    colors.setColor(QPalette::ButtonText, color);
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
}

}  // namespace pelko
