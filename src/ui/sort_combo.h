#pragma once

// TSortCombo: an editable history combo, most recent entry first. Ending an edit (leaving the
// box, or Enter) commits the trimmed text: a new text goes to the top and the list is cut to
// MaxItems; a known text moves to the top; an empty text changes nothing.

#include <QComboBox>
#include <QString>
#include <QStringList>

namespace pelko {

class TSortCombo : public QComboBox {
    Q_OBJECT

  public:
    explicit TSortCombo(QWidget* parent = nullptr);

    // The commit rule is active (default true).
    bool AutoSort = true;
    // The longest history kept (default 100).
    int MaxItems = 100;

    // Characters a user cannot type into the box (pasted text keeps them).
    void SetRejectedChars(const QString& chars) { rejected_ = chars; }

    // Applies the commit rule to the shown text.
    void Commit();
    // Replaces the list; at most MaxItems entries are kept and entry 0 is selected.
    void SetLines(const QStringList& lines);
    QStringList Lines() const;

  signals:
    // After a commit changed the list or its order.
    void committed();

  protected:
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QString rejected_;
};

}  // namespace pelko
