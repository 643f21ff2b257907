#pragma once

// Shared by the window tests: a fresh application folder per test, scripted dialogs, a shell
// that records what it was asked to open, a clock that stands still, and ini access.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/frm_dc_main.h"
#include "common/test_util.h"
#include "support/ini_file.h"
#include "support/volumes.h"

// Text from UTF-8 bytes, as the window shows it.
inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

namespace pelko::test {

class RecordingShell final : public IShell {
  public:
    bool Open(const std::string& file_name, const std::string& /*params*/) override {
        opened.push_back(file_name);
        return true;
    }
    std::vector<std::string> opened;
};

// Desktop notifications as a list; a click is the test's to make.
class RecordingNotifier final : public INotifier {
  public:
    void Notify(const std::string& summary, const std::string& body,
                std::function<void()> on_click) override {
        sent.push_back(summary + "\n" + body);
        clicked = std::move(on_click);
    }
    std::vector<std::string> sent;
    std::function<void()> clicked;
};

// Ejects answered from a queue (ejected when it is empty), the mount points asked recorded.
class ScriptedEjector final : public ICardEjector {
  public:
    EjectResult Eject(const std::string& mount_point, const std::string& /*device*/) override {
        asked.push_back(mount_point);
        if (answers.empty()) return {EjectOutcome::kEjected, {}};
        const EjectResult answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<EjectResult> answers;
    std::vector<std::string> asked;
};

inline constexpr const char* kComputer = "TESTPC";

struct WindowFixture {
    std::unique_ptr<QTemporaryDir> home;
    ScriptedDialogService dialogs;
    RecordingShell shell;
    ManualClock clock{DateTime{2026, 12, 6, 19, 27, 5, 0}};
    FixedVolumeSource volumes;  // no card unless a test mounts one
    RecordingNotifier notifier;
    ScriptedEjector ejector;

    // A new application folder; PELKOCOPY_HOME points the tool's runs at it too.
    void Reset() {
        home = std::make_unique<QTemporaryDir>();
        qputenv("PELKOCOPY_HOME", home->path().toUtf8());
        QDir(home->path()).mkpath("tmp");
        dialogs = ScriptedDialogService();
        shell.opened.clear();
        volumes.SetVolumes({});
        notifier = {};
        ejector = {};
    }
    std::string Home() const { return home->path().toStdString(); }
    std::string Path(const std::string& name) const { return Home() + "/" + name; }
    std::string IniPath() const { return Path(std::string(kComputer) + ".ini"); }

    TMainContext Context() {
        TMainContext context;
        context.dialogs = &dialogs;
        context.shell = &shell;
        context.clock = &clock;
        context.volumes = &volumes;
        context.notifier = &notifier;
        context.ejector = &ejector;
        context.app_folder = Home();
        context.temp_folder = Path("tmp");
        context.computer_name = kComputer;
        return context;
    }
    std::unique_ptr<TFrmDCMain> MakeWindow() { return std::make_unique<TFrmDCMain>(Context()); }

    // A folder below the application folder, created.
    std::string Folder(const std::string& name) const {
        QDir(home->path()).mkpath(QString::fromStdString(name));
        return Path(name);
    }

    bool Exists(const std::string& name) const {
        return QFile::exists(QString::fromStdString(Path(name)));
    }

    static IniDocument ReadIni(const std::string& path) {
        return IniDocument::Parse(ReadFile(path));
    }
    static void WriteIni(const std::string& path,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
        IniDocument ini = ReadIni(path);
        for (const auto& [key, value] : keys)
            ini.Write("FrmDCMain", key, value);
        WriteFile(path, ini.Text());
    }
    std::string Key(const std::string& key) const {
        return ReadIni(IniPath()).Read("FrmDCMain", key).value_or("<missing>");
    }
};

}  // namespace pelko::test
