#include "ui/item_combo.h"

namespace pelko {

namespace {

constexpr int kDescriptionRole = Qt::UserRole + 1;
constexpr int kDataRole = Qt::UserRole + 2;

}  // namespace

TItemCombo::TItemCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
}

void TItemCombo::AddItem(const QString& caption, const QString& description,
                         const QString& data_text) {
    addItem(caption);
    const int at = count() - 1;
    setItemData(at, description, kDescriptionRole);
    setItemData(at, data_text, kDataRole);
    if (!description.isEmpty()) setItemData(at, description, Qt::ToolTipRole);
}

QString TItemCombo::Description(int index) const {
    return index < 0 || index >= count() ? QString() : itemData(index, kDescriptionRole).toString();
}

QString TItemCombo::DataText(int index) const {
    return index < 0 || index >= count() ? QString() : itemData(index, kDataRole).toString();
}

}  // namespace pelko
