#include "ui/gradient_panel.h"

#include <QLinearGradient>
#include <QPainter>

namespace pelko {

void PaintGradient(QWidget* widget, const TGradient& gradient) {
    QPainter painter(widget);
    const QRectF area = widget->rect();
    const QPointF to = gradient.direction == Qt::Vertical ? area.bottomLeft() : area.topRight();
    QLinearGradient fill(area.topLeft(), to);
    fill.setColorAt(0, gradient.start);
    fill.setColorAt(1, gradient.end);
    painter.fillRect(area, fill);
    if (gradient.border.isValid()) {
        painter.setPen(gradient.border);
        painter.drawRect(widget->rect().adjusted(0, 0, -1, -1));
    }
}

TGradientLabel::TGradientLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setContentsMargins(6, 2, 6, 2);
}

void TGradientLabel::SetGradient(const TGradient& gradient) {
    gradient_ = gradient;
    update();
}

void TGradientLabel::paintEvent(QPaintEvent* event) {
    PaintGradient(this, gradient_);
    QLabel::paintEvent(event);
}

TGradientPanel::TGradientPanel(QWidget* parent) : QFrame(parent) {}

void TGradientPanel::SetGradient(const TGradient& gradient) {
    gradient_ = gradient;
    update();
}

void TGradientPanel::paintEvent(QPaintEvent* event) {
    PaintGradient(this, gradient_);
    QFrame::paintEvent(event);
}

}  // namespace pelko
