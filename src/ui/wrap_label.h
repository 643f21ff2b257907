#pragma once

// A label whose text wraps to the width it is given and which asks its layout for the height of
// all its lines, so a long text takes a second line instead of being cut, in any layout.

#include <QLabel>

namespace pelko {

class TWrapLabel : public QLabel {
    Q_OBJECT

  public:
    explicit TWrapLabel(QWidget* parent = nullptr);

    // No width of its own (it takes what the layout gives); the height of its lines at its width.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The height is asked through the size hints, which every layout reads.
    bool hasHeightForWidth() const override { return false; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    int LinesHeight() const;
    int asked_height_ = -1;
};

}  // namespace pelko
