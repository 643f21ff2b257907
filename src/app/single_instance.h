#pragma once

// One running program per user: the first start listens on a local socket, a later start asks
// it to bring its window forward and ends without a window of its own. A lock file in the
// per-user temporary folder makes probing, taking over and listening one step, so of starts
// made at the same instant exactly one becomes the server.

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

    // lock_path: the file that guards taking the name; empty for "<name>.lock" in the per-user
    // temporary folder.
    explicit TSingleInstance(QString name = DefaultName(), QString lock_path = {},
                             QObject* parent = nullptr);

    // True when this process is the first: it then listens, taking over a name a crashed
    // process left behind. False when another instance answered; it has been asked to raise
    // its window and this process should end.
    // `path`, when given, is passed on to the running instance with the request (a card or
    // folder the later start was given).
    bool Acquire(const QString& path = {});
    // After Acquire gave false: the running instance confirmed that it raised its window.
    bool RaiseConfirmed() const { return raise_confirmed_; }
    const QString& Name() const { return name_; }
    // Asks the instance listening on `name` to raise its window, as a later start does; true
    // when it confirmed within timeout_ms.
    static bool AskToRaise(const QString& name, int timeout_ms, const QString& path = {});

  signals:
    // A later start asked for the window; answered once the handlers ran.
    void raiseRequested();
    // A later start was given a card or folder; emitted before raiseRequested.
    void openRequested(const QString& path);

  private:
    void OnNewConnection();
    // Sends the raise request on a connected socket; true when it was confirmed in time.
    static bool AskToRaise(QLocalSocket& socket, int timeout_ms, const QString& path);
    // One request from a later start: "raise", or "open <percent-encoded path>".
    void Serve(QLocalSocket* socket, const QByteArray& request);

    // Under the lock: true when this process now listens (or must run anyway), false when
    // `probe` reached a running instance.
    bool TakeName(QLocalSocket& probe);

    QString name_;
    QString lock_path_;
    QLocalServer server_;
    bool raise_confirmed_ = false;
};

}  // namespace pelko
