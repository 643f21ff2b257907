#pragma once

// A label and a panel with a two-colour gradient background and an optional border.

#include <QColor>
#include <QFrame>
#include <QLabel>

namespace pelko {

struct TGradient {
    QColor start{250, 250, 252};
    QColor end{226, 232, 240};
    Qt::Orientation direction = Qt::Vertical;
    QColor border;  // invalid: no border
};

// Paints the gradient over a widget's rectangle.
void PaintGradient(QWidget* widget, const TGradient& gradient);

// Any widget painted over a gradient before it paints itself.
template <typename Base>
class TGradientBackground : public Base {
  public:
    using Base::Base;
    void SetGradient(const TGradient& gradient) {
        gradient_ = gradient;
        this->update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        PaintGradient(this, gradient_);
        Base::paintEvent(event);
    }

  private:
    TGradient gradient_;
};

class TGradientLabel : public TGradientBackground<QLabel> {
    Q_OBJECT

  public:
    explicit TGradientLabel(const QString& text = {}, QWidget* parent = nullptr);
};

class TGradientPanel : public TGradientBackground<QFrame> {
    Q_OBJECT

  public:
    explicit TGradientPanel(QWidget* parent = nullptr);
};

}  // namespace pelko
