#pragma once

// The main window's card detection and its two run commands, wired to its controls: the card
// watcher behind tmrDriveCheckTimer, the copy and folder commands behind btnExecuteClick and
// btnReNameClick, and the run's settings taken from the window and its dates given back.

#include <QObject>
#include <memory>
#include <string>

#include "app/card_watcher.h"
#include "app/desktop_services.h"
#include "app/run_commands.h"

namespace pelko {

class TFrmDCMain;

// The local path of a command-line argument: a file:// URI decoded, a relative path made
// absolute against the working folder; empty for a URI of another kind.
std::string LocalPathOf(const std::string& argument);

class TMainCommands : public QObject {
    Q_OBJECT

  public:
    // volumes: the mounted volumes to search; null for the system's.
    TMainCommands(TFrmDCMain& window, const IVolumeSource* volumes);
    ~TMainCommands() override;

    TCardWatcher& Watcher() { return *watcher_; }
    TRunCommands& Runs() { return *runs_; }

    // The run's context from the window's settings as they stand.
    CopyRunContext MakeContext() const;
    // A card or folder the program was given (LocalPathOf's result): a card's mount point (or
    // its DCIM folder) becomes the card the checks find; another folder goes to the folder
    // command after its questions; a path that is no folder is reported.
    void OpenGivenPath(const std::string& path);
    // btnEject: the card found is unmounted and its reader powered off; a refusal is told.
    void EjectCard();

  private:
    class RunStatistics;

    void TakeContext(const CopyRunContext& context);
    // A run ended while the user looked elsewhere: the desktop says what it came to.
    void NotifyRunEnd();
    // After a run: its shot counts saved, and after a card run with Mode the card statistics,
    // here on the window's thread, since they may have to ask which card it was.
    void RunEnded();

    TFrmDCMain& w_;
    std::unique_ptr<IVolumeSource> own_volumes_;
    const IVolumeSource* volumes_ = nullptr;
    std::unique_ptr<INotifier> own_notifier_;
    std::unique_ptr<ICardEjector> own_ejector_;
    INotifier* notifier_ = nullptr;
    ICardEjector* ejector_ = nullptr;
    std::unique_ptr<TCardWatcher> watcher_;
    // Before the runs: a run still going when the window goes away counts until its end.
    std::unique_ptr<RunStatistics> run_statistics_;
    std::unique_ptr<TRunCommands> runs_;
    // lblProcessTime's text, carried from run to run.
    std::string speed_text_;
};

}  // namespace pelko
