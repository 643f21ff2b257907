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

TGradientLabel::TGradientLabel(const QString& text, QWidget* parent)
    : TGradientBackground<QLabel>(text, parent) {
    setContentsMargins(6, 2, 6, 2);
}

TGradientPanel::TGradientPanel(QWidget* parent) : TGradientBackground<QFrame>(parent) {}

}  // namespace pelko
