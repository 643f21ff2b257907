#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <latch>
#include <memory>
#include <vector>

#include "app/single_instance.h"

using pelko::TSingleInstance;

namespace {

// Leaves a socket file nobody listens on, as a crashed instance does.
bool MakeStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    if (bytes.size() >= static_cast<int>(sizeof(address.sun_path))) return false;
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

// Asks the instance behind `name` to raise its window; true when it confirmed. Events run while
// the answer is awaited, since the instance under test may be served by this process.
bool AskToRaise(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(200)) return false;
    socket.write("raise\n");
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    while (!reply.contains('\n') && timer.elapsed() < 2000) {
        QTest::qWait(5);
        reply += socket.readAll();
    }
    return reply == "raised\n";
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir sockets;  // QLocalServer names live in $TMPDIR: one private folder per run

    QProcessEnvironment ProgramEnvironment(const QString& home) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PELKOCOPY_HOME", home);
        env.insert("TMPDIR", sockets.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }
    static void Stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

  private slots:
    void initTestCase() { qputenv("TMPDIR", sockets.path().toUtf8()); }

    void staleNameIsTakenOver() {
        const QString path = sockets.path() + "/pelko-test-stale";
        QVERIFY(MakeStaleSocket(path));
        TSingleInstance instance("pelko-test-stale");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(instance.Acquire());
        QVERIFY(timer.elapsed() < 1500);
        QSignalSpy raised(&instance, &TSingleInstance::raiseRequested);
        QVERIFY(AskToRaise("pelko-test-stale"));
        QCOMPARE(raised.count(), 1);
        // Garbage on the socket is not a request.
        QLocalSocket noise;
        noise.connectToServer("pelko-test-stale");
        QVERIFY(noise.waitForConnected(500));
        noise.write(QByteArray(200, 'x'));
        noise.waitForBytesWritten(500);
        QTest::qWait(50);
        QCOMPARE(raised.count(), 1);
    }

    void twoRealProgramsOneWindow() {
        QTemporaryDir home;
        QProcess first;
        first.setProcessEnvironment(ProgramEnvironment(home.path()));
        first.start(PELKO_APP_PATH, {});
        QVERIFY(first.waitForStarted());
        const QString name = TSingleInstance::DefaultName();
        // The first answers once its window is up and its event loop runs.
        QTRY_VERIFY_WITH_TIMEOUT(AskToRaise(name), 10000);

        QProcess second;
        second.setProcessEnvironment(ProgramEnvironment(home.path()));
        QElapsedTimer timer;
        timer.start();
        second.start(PELKO_APP_PATH, {});
        QVERIFY(second.waitForFinished(2000));
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        // 0: the first confirmed that it raised its window.
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(elapsed < 2000);
        QCOMPARE(first.state(), QProcess::Running);
        // SIGTERM, as at a logout, closes the window as its close button does: settings saved.
        QVERIFY(QDir(home.path()).entryList({"*.ini"}, QDir::Files).isEmpty());
        first.terminate();
        QVERIFY(first.waitForFinished(5000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!QDir(home.path()).entryList({"*.ini"}, QDir::Files).isEmpty());
    }

    // A later start given a card passes it on, as an absolute path, and the first answers.
    void laterStartPassesItsPath() {
        TSingleInstance first;
        QVERIFY(first.Acquire());
        QSignalSpy opened(&first, &TSingleInstance::openRequested);
        QTemporaryDir home;
        QProcess second;
        second.setProcessEnvironment(ProgramEnvironment(home.path()));
        second.setWorkingDirectory(sockets.path());
        second.start(PELKO_APP_PATH, {"card"});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 5000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), sockets.path() + "/card");
    }

    // Starts made at one instant: exactly one becomes the server, and it raises its window for
    // every other. A few rounds, since a race need not show every time.
    void simultaneousStartsLeaveOneServer() {
        constexpr int kStarts = 20;
        for (int round = 0; round < 3; ++round) {
            const QString name = QString("pelko-test-race-%1").arg(round);
            std::latch ready(kStarts);
            std::atomic<int> servers{0}, raised{0}, finished{0};
            std::vector<std::unique_ptr<QThread>> starts;
            for (int i = 0; i < kStarts; ++i) {
                starts.emplace_back(QThread::create([&] {
                    TSingleInstance instance(name);
                    ready.arrive_and_wait();
                    if (instance.Acquire()) ++servers;
                    if (instance.RaiseConfirmed()) ++raised;
                    ++finished;
                    // Serves the others' requests until every start has its answer.
                    QElapsedTimer timer;
                    timer.start();
                    while (finished.load() < kStarts && timer.elapsed() < 10000) {
                        QCoreApplication::processEvents();
                        QThread::msleep(1);
                    }
                }));
                starts.back()->start();
            }
            for (auto& start : starts)
                QVERIFY(start->wait(30000));
            QCOMPARE(servers.load(), 1);
            QCOMPARE(raised.load(), kStarts - 1);
        }
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
