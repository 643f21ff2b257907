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
    // A disabled button keeps the style's grey, so that it does not look as if it could be
    // pressed.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colors.setColor(group, QPalette::ButtonText, color);
        colors.setColor(group, QPalette::WindowText, color);
    }
    setPalette(colors);
}

}  // namespace pelko
