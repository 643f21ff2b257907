#include "app/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>

namespace pelko {

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";
// A request is one short line; anything longer is not ours.
constexpr qint64 kMaxRequest = 64;

}  // namespace

QString TSingleInstance::DefaultName() {
    return QStringLiteral("PelkoFileCopy-%1").arg(static_cast<qulonglong>(::getuid()));
}

TSingleInstance::TSingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {
    // Only this user may connect.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
}

bool TSingleInstance::Acquire() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            raise_confirmed_ = AskToRaise(probe, 1500);
            return false;
        }
        // Nobody answers: the name is free or left by a crash.
        QLocalServer::removeServer(name_);
        if (server_.listen(name_)) return true;
        // Another start took the name between our probe and listen: ask it on the next round.
    }
    // Neither reachable nor free: run rather than leave the user with nothing.
    return true;
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
