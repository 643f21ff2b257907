// Timings of the window, and the screenshot after a run for scripts/screenshot.sh:
//
//   bench_window startup [ROUNDS]     start of the real program up to its shown window (median)
//   bench_window grid                 100,000 result rows appended, then scrolled and painted
//   bench_window run [FILES] [ROUNDS] a card of FILES small pictures through the window against
//                                     the command-line tool (each side's best round)
//   bench_window gap                  the longest wait of the event loop while the window copies
//                                     and removes a card holding a 256 MB movie
//   bench_window typing               30 keys typed into the user-format box with 100 formats in
//                                     its history: the time each key takes to reach the sample
//   bench_window shot DIR             the window at 1280 x 800 after a run of a generated card,
//                                     saved as DIR/main-after-run.png, and during a longer one
//                                     as DIR/main-during-run.png
//
// Work folders go to /tmp and are removed afterwards.

#include <sys/time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/frm_dc_main.h"
#include "app/main_commands.h"
#include "app/qt_dialog_service.h"
#include "app/single_instance.h"
#include "support/dialog_service.h"
#include "support/volumes.h"
#include "ui/result_grid.h"

using namespace pelko;
namespace fs = std::filesystem;

namespace {

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A DCIM tree of `files` small JPEG files a second apart, three RAW files and a movie.
void MakeCard(const std::string& root, int files) {
    for (int i = 1; i <= files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/DCIM/%dPENTX/IMGP%04d.JPG", 100 + i % 2, i);
        const std::string path = root + name;
        WriteFile(path, std::string(200 + i % 50, static_cast<char>('a' + i % 26)));
        const timeval times[2] = {{1793689200 + i, 0}, {1793689200 + i, 0}};
        ::utimes(path.c_str(), times);
        if (i <= 3) WriteFile(path.substr(0, path.size() - 4) + ".PEF", std::string(500, 'r'));
    }
    WriteFile(root + "/DCIM/100PENTX/MOVI0001.MOV", std::string(1000, 'm'));
}

qint64 Median(std::vector<qint64> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : (values[(n - 1) / 2] + values[n / 2]) / 2;
}

// A window over a generated card, as a returning user left it.
struct CardWindow {
    QTemporaryDir dir;
    ScriptedDialogService dialogs;
    FixedVolumeSource volumes;
    std::unique_ptr<TFrmDCMain> window;

    std::string Path(const std::string& name) const { return dir.path().toStdString() + name; }

    // seams: a pace for the run (the screenshot slows a run down to show it working).
    CardWindow(int files, const std::string& geometry, const CopyRunSeams* seams = nullptr) {
        MakeCard(Path("/card"), files);
        MountedVolume card;
        card.mount_point = Path("/card");
        card.removable = true;
        volumes.SetVolumes({card});
        const std::string out = Path("/写真");
        for (const char* kind : {"/RAW", "/JPEG", "/動画"})
            fs::create_directories(out + kind);
        WriteFile(Path("/home/BENCH.ini"),
                  "[FrmDCMain]\r\nWindowMaxmized=0\r\nAppVer=141\r\nDestRaw=" + out +
                      "/RAW\r\nDestJpg=" + out + "/JPEG\r\nDestOther=" + out +
                      "/動画\r\nMakeFolder=5\r\nFileName=2\r\n" + geometry);
        qputenv("PELKOCOPY_HOME", QByteArray::fromStdString(Path("/home")));
        TMainContext context;
        context.dialogs = &dialogs;
        context.volumes = &volumes;
        context.app_folder = Path("/home");
        context.temp_folder = Path("/home");
        context.computer_name = "BENCH";
        context.run_seams = seams;
        window = std::make_unique<TFrmDCMain>(context);
        window->show();
    }
    ~CardWindow() {
        if (window) window->close();
    }
    // Presses the copy button; the milliseconds until the run ended, -1 when it did not.
    qint64 Run() {
        QEventLoop loop;
        QObject::connect(&window->Commands().Runs(), &TRunCommands::runFinished, &loop,
                         &QEventLoop::quit);
        QTimer::singleShot(600000, &loop, [&loop] { loop.exit(1); });
        QElapsedTimer timer;
        timer.start();
        window->btnExecuteClick();
        return loop.exec() == 0 ? timer.elapsed() : -1;
    }
};

int StartUp(int rounds) {
    QTemporaryDir home, sockets;
    // The program's server name lives in its TMPDIR; this process looks for it there too.
    qputenv("TMPDIR", sockets.path().toUtf8());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PELKOCOPY_HOME", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    std::vector<qint64> times;
    for (int i = 0; i < rounds; ++i) {
        QProcess program;
        program.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        program.start(PELKO_APP_PATH, {});
        if (!program.waitForStarted()) return 1;
        // The raise request is answered from the event loop, which runs once the window shows.
        while (!TSingleInstance::AskToRaise(TSingleInstance::DefaultName(), 2000) &&
               timer.elapsed() < 10000)
            QThread::msleep(2);
        times.push_back(timer.elapsed());
        program.terminate();
        if (!program.waitForFinished(3000)) program.kill();
        program.waitForFinished(3000);
    }
    std::printf("start-up to a shown window: median %lld ms of %d (fastest %lld, slowest %lld)\n",
                Median(times), rounds, *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
    return 0;
}

int Grid() {
    TResultGridModel model;
    TGridView view;
    view.setModel(&model);
    view.resize(800, 400);
    view.show();
    const TResultRow row{"/card/DCIM/IMGP0001.JPG", "/photos/IMGP0001.JPG", TFileKind::fkJpeg,
                         TCopyOutcome::coCopied, TDeleteOutcome::doNotAsked};
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100000; ++i) {
        model.AppendRow(row);
        if (i % 1000 == 0) QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const qint64 append_ms = timer.restart();
    view.scrollToTop();
    view.repaint();
    view.scrollTo(model.index(50000, 0));
    view.repaint();
    view.scrollToBottom();
    view.repaint();
    std::printf("100,000 rows appended in %lld ms; scrolled and painted in %lld ms\n", append_ms,
                timer.elapsed());
    return 0;
}

int Run(int files, int rounds) {
    CardWindow card(files, {});
    qint64 best_window = -1, best_tool = -1;
    const auto best = [](qint64& best_ms, qint64 ms) {
        best_ms = best_ms < 0 ? ms : std::min(best_ms, ms);
    };
    for (int round = 0; round < rounds; ++round) {
        // Fresh destinations each round, for the window and the tool alike.
        const std::string window_out = card.Path("/w" + std::to_string(round));
        const std::string tool_out = card.Path("/t" + std::to_string(round));
        const std::array<TPathLabel*, 3> labels = {card.window->lblDestRaw, card.window->lblDestJpg,
                                                   card.window->lblDestOther};
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const std::string folder = window_out + "/" + std::to_string(i);
            fs::create_directories(folder);
            labels[i]->SetPath(QString::fromStdString(folder));
        }
        const qint64 window_ms = card.Run();
        if (window_ms < 0) return 1;
        best(best_window, window_ms);
        QElapsedTimer timer;
        timer.start();
        QProcess tool;
        tool.start(PELKO_CLI_PATH, {"import", QString::fromStdString(card.Path("/card/DCIM")),
                                    "--raw", QString::fromStdString(tool_out + "/0"), "--jpeg",
                                    QString::fromStdString(tool_out + "/1"), "--other",
                                    QString::fromStdString(tool_out + "/2"), "--folder-mode", "5",
                                    "--name-mode", "2"});
        tool.waitForFinished(600000);
        best(best_tool, timer.elapsed());
    }
    std::printf(
        "%d files, best of %d: window %lld ms, tool %lld ms (%.2fx)\n",
        card.window->grdListModel->RowCount(), rounds, best_window, best_tool,
        static_cast<double>(best_window) / static_cast<double>(std::max<qint64>(1, best_tool)));
    return 0;
}

int Gap() {
    CardWindow card(8, "CopyAfterReMove=1\r\n");
    WriteFile(card.Path("/card/DCIM/100PENTX/MOVI0002.MOV"), std::string(256 << 20, 'v'));
    qint64 largest_gap_ms = 0;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { largest_gap_ms = std::max(largest_gap_ms, clock.restart()); });
    clock.start();
    ticker.start();
    const qint64 run_ms = card.Run();
    ticker.stop();
    if (run_ms < 0) return 1;
    std::printf("run of %lld ms: the event loop waited %lld ms at the longest\n", run_ms,
                largest_gap_ms);
    return 0;
}

int Typing() {
    CardWindow card(1, {});
    TFrmDCMain& w = *card.window;
    QStringList history;
    for (int i = 0; i < 100; ++i)
        history << QString("%C %Dyyyymmdd-hhnnss-%N-") + QString::number(i);
    w.cboUserFmt->SetLines(history);
    w.cboFileName->setCurrentIndex(1);
    w.cboUserFmt->setFocus();
    Wait(200);
    w.cboUserFmt->lineEdit()->clear();
    const QString before = w.lblSampleFileName->text();
    std::vector<qint64> times;
    const QString typed = "%Wtrip-%Dyyyy-mm-dd_%P%N_%C-x";
    for (const QChar c : typed) {
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w.cboUserFmt->lineEdit(), &press);
        QCoreApplication::processEvents();
        times.push_back(timer.nsecsElapsed() / 1000);
    }
    if (!w.lblSampleFileName->text().endsWith("-x.JPG") || w.lblSampleFileName->text() == before)
        return 1;
    std::printf("%zu keys with 100 formats in the history: median %lld us, slowest %lld us\n",
                times.size(), Median(times), *std::max_element(times.begin(), times.end()));
    return 0;
}

// What the screen shows of the window, the window manager's frame included.
bool SaveScreen(const QWidget& window, const QString& file) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect frame = window.frameGeometry();
    if (screen == nullptr ||
        !screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file)) {
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

int Shot(const QString& folder) {
    InstallQtTranslations();
    // The second run is paced at 30 ms a file, so that it is still working when it is shown.
    bool paced = false;
    CopyRunSeams seams;
    seams.file_done = [&paced](int) {
        if (paced) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    };
    CardWindow card(40, "FormTop=0\r\nFormLeft=0\r\nFormWidth=1280\r\nFormHeight=800\r\n", &seams);
    Wait(500);
    if (card.Run() < 0) return 1;
    Wait(300);
    if (!SaveScreen(*card.window, folder + "/main-after-run.png")) return 1;
    // During a longer run with removal: the status bar's time remaining.
    for (int i = 1; i <= 150; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/card/DCIM/102PENTX/IMGP%04d.JPG", 5000 + i);
        WriteFile(card.Path(name), std::string(2 << 20, static_cast<char>('a' + i % 26)));
    }
    card.window->chkReMove->setChecked(true);
    paced = true;
    bool during = false;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Once the estimate has a time in it.
        if (during || !card.window->StatusPanel(2)->text().contains(QString::fromUtf8("約")))
            return;
        during = SaveScreen(*card.window, folder + "/main-during-run.png");
    });
    poll.start();
    if (card.Run() < 0 || !during) return 1;
    poll.stop();
    // The folder picker as a destination button opens it, closed once it is drawn.
    bool saved = false;
    QTimer::singleShot(1500, [&] {
        saved = SaveScreen(*card.window, folder + "/folder-picker.png");
        if (QWidget* picker = QApplication::activeModalWidget()) picker->close();
    });
    TQtDialogService(card.window.get(), card.window->Context().app_folder)
        .PickFolder("フォルダを選択して下さい", card.window->lblDestJpg->Path().toStdString());
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Without a display the timings run on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    const auto number = [&args](int at, int fallback) {
        return args.size() > at ? std::max(1, args[at].toInt()) : fallback;
    };
    const QString command = args.value(0);
    if (command == "startup") return StartUp(number(1, 10));
    if (command == "grid") return Grid();
    if (command == "typing") return Typing();
    if (command == "gap") return Gap();
    if (command == "run") return Run(number(1, 2000), number(2, 2));
    if (command == "shot" && args.size() == 2) return Shot(args[1]);
    std::fprintf(
        stderr,
        "usage: bench_window startup [ROUNDS] | grid | gap | typing | run [FILES] [ROUNDS] | "
        "shot DIR\n");
    return 2;
}
