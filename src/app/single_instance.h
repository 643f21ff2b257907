#pragma once

// One running program per user: the first start listens on a local socket, a later start asks
// it to bring its window forward and ends without a window of its own.

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

namespace pelko {

class TSingleInstance : public QObject {
    Q_OBJECT

  public:
    // "PelkoFileCopy-<uid>": one name per user, so users of one machine never meet.
    static QString DefaultName();

    explicit TSingleInstance(QString name = DefaultName(), QObject* parent = nullptr);

    // True when this process is the first: it then listens, taking over a name a crashed
    // process left behind. False when another instance answered; it has been asked to raise
    // its window and this process should end.
    bool Acquire();
    // After Acquire gave false: the running instance confirmed that it raised its window.
    bool RaiseConfirmed() const { return raise_confirmed_; }
    const QString& Name() const { return name_; }

  signals:
    // A later start asked for the window; answered once the handlers ran.
    void raiseRequested();

  private:
    void OnNewConnection();
    // Sends the raise request on a connected socket; true when it was confirmed in time.
    static bool AskToRaise(QLocalSocket& socket, int timeout_ms);

    QString name_;
    QLocalServer server_;
    bool raise_confirmed_ = false;
};

}  // namespace pelko
