#pragma once

// What a screen reader hears of the window's own widgets: a label is read by the text it shows,
// and a drop-down list by its caption rather than by the entry it shows.

#include <QString>

class QLabel;

namespace pelko {

// The label's text is its accessible name, so a reader hears what a sighted user reads and is
// told of each change (QLabel sends the name change itself while no fixed name is set); role,
// e.g. "進捗", becomes its description.
void SpeakText(QLabel* label, const QString& role);

// Names this program's drop-down lists (and any other given an accessible name) by that name
// or, failing that, their caption label (buddy); the shown entry is the value. Once per program;
// later calls do nothing.
void InstallComboAccessibility();

}  // namespace pelko
