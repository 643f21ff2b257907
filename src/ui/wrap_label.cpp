#include "ui/wrap_label.h"

namespace pelko {

TWrapLabel::TWrapLabel(QWidget* parent) : QLabel(parent) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

int TWrapLabel::LinesHeight() const {
    return heightForWidth(std::max(width(), 40));
}

QSize TWrapLabel::sizeHint() const {
    return {40, LinesHeight()};
}

QSize TWrapLabel::minimumSizeHint() const {
    return sizeHint();
}

void TWrapLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    // A new width may need another number of lines: the layout asks again.
    const int height = LinesHeight();
    if (height != asked_height_) {
        asked_height_ = height;
        updateGeometry();
    }
}

}  // namespace pelko
