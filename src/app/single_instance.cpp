#include "app/single_instance.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include "support/platform.h"

namespace pelko {

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";
// A request is one short line; anything longer is not ours.
constexpr qint64 kMaxRequest = 64;
// The lock is held only while a start probes and listens, well under a second; one left by a
// process that died is taken over at once (its process is gone) or after this age.
constexpr int kStaleLockMs = 10000;
constexpr int kLockWaitMs = 5000;

}  // namespace

QString TSingleInstance::DefaultName() {
    return QStringLiteral("PelkoFileCopy-%1").arg(static_cast<qulonglong>(::getuid()));
}

TSingleInstance::TSingleInstance(QString name, QString lock_path, QObject* parent)
    : QObject(parent), name_(std::move(name)), lock_path_(std::move(lock_path)) {
    if (lock_path_.isEmpty()) {
        lock_path_ = QString::fromStdString(UserTempFolder()) + '/' + name_ + ".lock";
    }
    // Only this user may connect.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
}

bool TSingleInstance::Acquire() {
    QLocalSocket probe;
    {
        QLockFile lock(lock_path_);
        lock.setStaleLockTime(kStaleLockMs);
        // Short steps rather than QLockFile's own doubling waits: the holder needs milliseconds.
        // Without the lock (an unwritable folder) the unguarded way still ends with a window.
        QElapsedTimer waited;
        waited.start();
        while (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError &&
               waited.elapsed() < kLockWaitMs) {
            QThread::msleep(5);
        }
        if (TakeName(probe)) return true;
    }
    // The lock is given back before the answer is awaited, so other starts need not wait on it.
    raise_confirmed_ = AskToRaise(probe, 1500);
    return false;
}

bool TSingleInstance::TakeName(QLocalSocket& probe) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) return false;
        probe.abort();
        // Nobody answers: the name is free or left by a crash.
        QLocalServer::removeServer(name_);
        if (server_.listen(name_)) return true;
        // Another start took the name between our probe and listen: ask it on the next round.
    }
    // Neither reachable nor free: run rather than leave the user with nothing.
    return true;
}

bool TSingleInstance::AskToRaise(const QString& name, int timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(name);
    return socket.waitForConnected(timeout_ms) && AskToRaise(socket, timeout_ms);
}

bool TSingleInstance::AskToRaise(QLocalSocket& socket, int timeout_ms) {
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(timeout_ms)) return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < kMaxRequest) {
        if (!socket.waitForReadyRead(timeout_ms)) break;
        reply += socket.read(kMaxRequest - reply.size());
    }
    return reply == kRaised;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray request = socket->read(kMaxRequest);
            if (request.startsWith(kRaise.trimmed())) {
                emit raiseRequested();
                socket->write(kRaised);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

}  // namespace pelko
