#include "ui/accessible.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace pelko {

namespace {

// Qt's own interface for a combo box on Linux names it by its current entry, leaving the caption
// to a relation few readers follow.
class TComboAccessible : public QAccessibleWidget {
  public:
    explicit TComboAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        const auto* combo = static_cast<const QComboBox*>(widget());
        if (kind == QAccessible::Value) return combo->currentText();
        // QAccessibleWidget reads the accessible name, else the buddy label's text.
        const QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) return combo->currentText();
        return text;
    }
};

// This program's combo boxes, and any other that was given a name of its own.
QAccessibleInterface* ComboFactory(const QString& class_name, QObject* object) {
    auto* combo = qobject_cast<QComboBox*>(object);
    if (combo == nullptr) return nullptr;
    const bool ours = class_name == QLatin1String("pelko::TItemCombo") ||
                      class_name == QLatin1String("pelko::TSortCombo");
    const bool named =
        class_name == QLatin1String("QComboBox") && !combo->accessibleName().isEmpty();
    return ours || named ? new TComboAccessible(combo) : nullptr;
}

}  // namespace

void SpeakText(QLabel* label, const QString& role) {
    label->setAccessibleName({});
    label->setAccessibleDescription(role);
}

void InstallComboAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ComboFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace pelko
