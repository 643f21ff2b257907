#pragma once

// A pick-only drop-down list whose entries carry, besides their caption, a description (shown as
// the entry's tooltip) and a hidden data text.

#include <QComboBox>
#include <QString>

namespace pelko {

class TItemCombo : public QComboBox {
    Q_OBJECT

  public:
    explicit TItemCombo(QWidget* parent = nullptr);

    void AddItem(const QString& caption, const QString& description = {},
                 const QString& data_text = {});
    QString Description(int index) const;
    QString DataText(int index) const;
};

}  // namespace pelko
