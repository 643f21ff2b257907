#pragma once

// A read-only path field: the whole path is the label's text and tooltip, and a path too long
// for the field is drawn elided in the middle, so both the root and the last folder stay seen.

#include <QLabel>

namespace pelko {

class TPathLabel : public QLabel {
    Q_OBJECT

  public:
    explicit TPathLabel(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    QString Path() const { return text(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace pelko
