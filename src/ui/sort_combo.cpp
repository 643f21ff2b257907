#include "ui/sort_combo.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>
#include <string>
#include <vector>

#include "copy/copy_settings.h"
#include "support/text.h"

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
    const std::string typed = currentText().toStdString();
    const QString text = QString::fromStdString(std::string(TrimControl(typed)));
    if (!AutoSort || text.isEmpty()) {
        if (isEditable()) setEditText(text.isEmpty() ? currentText() : text);
        return;
    }
    // The same rule as the settings value's, so the window saves what its runs used.
    std::vector<std::string> lines;
    for (const QString& line : Lines())
        lines.push_back(line.toStdString());
    const std::vector<std::string> before = lines;
    CommitHistoryEntry(lines, typed, static_cast<std::size_t>(std::max(MaxItems, 1)));
    const bool changed = lines != before;
    if (changed) {
        const QSignalBlocker block(this);
        clear();
        for (const std::string& line : lines)
            addItem(QString::fromStdString(line));
    }
    setCurrentIndex(0);
    setEditText(text);
    if (changed) emit committed();
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
