#include "ui/sort_combo.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace pelko {

TSortCombo::TSortCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Entries are placed by Commit, never by the combo's own insert on Enter.
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    lineEdit()->installEventFilter(this);
}

void TSortCombo::Commit() {
    const QString text = currentText().trimmed();
    if (!AutoSort || text.isEmpty()) {
        if (isEditable()) setEditText(text.isEmpty() ? currentText() : text);
        return;
    }
    const int found = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found != 0) {
        if (found > 0) removeItem(found);
        insertItem(0, text);
        while (count() > MaxItems && count() > 0)
            removeItem(count() - 1);
    }
    setCurrentIndex(0);
    setEditText(text);
    if (found != 0) emit committed();
}

void TSortCombo::SetLines(const QStringList& lines) {
    clear();
    addItems(lines.mid(0, MaxItems));
    if (count() > 0) setCurrentIndex(0);
}

QStringList TSortCombo::Lines() const {
    QStringList lines;
    lines.reserve(count());
    for (int i = 0; i < count(); ++i)
        lines << itemText(i);
    return lines;
}

void TSortCombo::focusOutEvent(QFocusEvent* event) {
    // Opening the drop-down list takes the focus too; that is not the end of an edit.
    if (!view()->isVisible()) Commit();
    QComboBox::focusOutEvent(event);
}

bool TSortCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress && !rejected_.isEmpty()) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (typed.size() == 1 && rejected_.contains(typed[0])) return true;
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace pelko
