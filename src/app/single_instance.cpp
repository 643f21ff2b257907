#include "app/single_instance.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QUrl>
#include <memory>

#include "support/platform.h"

namespace pelko {

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kOpen = "open ";
const QByteArray kRaised = "raised\n";
// A request is one line; anything longer is not ours. A path is percent-encoded, so it is one
// line of ASCII however it is spelt.
constexpr qint64 kMaxRequest = 16384;
constexpr qint64 kMaxReply = 64;
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

bool TSingleInstance::Acquire(const QString& path) {
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
    raise_confirmed_ = AskToRaise(probe, 1500, path);
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

bool TSingleInstance::AskToRaise(const QString& name, int timeout_ms, const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(name);
    return socket.waitForConnected(timeout_ms) && AskToRaise(socket, timeout_ms, path);
}

bool TSingleInstance::AskToRaise(QLocalSocket& socket, int timeout_ms, const QString& path) {
    socket.write(path.isEmpty() ? kRaise : kOpen + QUrl::toPercentEncoding(path) + "\n");
    if (!socket.waitForBytesWritten(timeout_ms)) return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < kMaxReply) {
        if (!socket.waitForReadyRead(timeout_ms)) break;
        reply += socket.read(kMaxReply - reply.size());
    }
    return reply == kRaised;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The request may arrive in parts; it is served once its line is whole.
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, request] {
            *request += socket->read(kMaxRequest + 1 - request->size());
            if (request->contains('\n') || request->size() > kMaxRequest) {
                Serve(socket, *request);
                socket->disconnectFromServer();
            }
        });
    }
}

void TSingleInstance::Serve(QLocalSocket* socket, const QByteArray& request) {
    const qsizetype end = request.indexOf('\n');
    if (end < 0) return;  // too long: not ours
    const QByteArray line = request.left(end);
    if (line.startsWith(kOpen)) {
        const QString path = QUrl::fromPercentEncoding(line.mid(kOpen.size()));
        if (!path.isEmpty()) emit openRequested(path);
    } else if (line != kRaise.trimmed()) {
        return;
    }
    emit raiseRequested();
    socket->write(kRaised);
    socket->flush();
}

}  // namespace pelko
