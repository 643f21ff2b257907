#include "ui/path_label.h"

#include <QPainter>

namespace pelko {

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMargin(3);
}

void TPathLabel::SetPath(const QString& path) {
    setText(path);
    setToolTip(path);
}

QSize TPathLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.averageCharWidth() * 30, metrics.height() + 2 * (margin() + frameWidth())};
}

QSize TPathLabel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.averageCharWidth() * 8, metrics.height() + 2 * (margin() + frameWidth())};
}

void TPathLabel::paintEvent(QPaintEvent* event) {
    // The frame from QFrame; the text ourselves, elided to what fits.
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), 0, -margin(), 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft, shown);
}

}  // namespace pelko
