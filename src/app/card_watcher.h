#pragma once

// The card watcher: looks for a camera card among the mounted volumes, decides whether the copy
// command may start, what the status bar says and whether a minimised window comes back.

#include <QObject>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/platform.h"

class QAbstractButton;
class QLabel;
class QTimer;
class QWidget;

namespace pelko {

// Panel 3 of the status bar, from the weakest to the strongest reason.
inline constexpr std::string_view kHintEscAborts = "　コピー処理時 [ESC] キーで処理を中止できます";
inline constexpr std::string_view kHintNoOtherFolder =
    "　フォルダが存在しません　その他動画などのコピー先を指定して下さい";
inline constexpr std::string_view kHintNoJpegFolder =
    "　フォルダが存在しません　JPEGファイルのコピー先を指定して下さい";
inline constexpr std::string_view kHintNoRawFolder =
    "　フォルダが存在しません　RAWファイルのコピー先を指定して下さい";
inline constexpr std::string_view kHintInsertCard = "　メディアを挿入して下さい";
// After the card was ejected, until a card is found again.
inline constexpr std::string_view kHintEjected = "　メディアを取り出しました";

inline constexpr int kDriveCheckIntervalMs = 5000;

// The DCIM folder of the first ready removable volume that has one, in mount-point order, with
// the folder's own spelling ("/media/u/CARD/dcim"); nothing when no card is in.
std::optional<std::string> FindMediaDrive(const IVolumeSource& volumes);
// The DCIM folder directly below root, in its own spelling; nothing when it has none.
std::optional<std::string> DcimFolderOf(const std::string& root);

// Which of the three destination folders exist.
struct DestinationPresence {
    bool raw = false;
    bool jpeg = false;
    bool other = false;
};

// The outcome of one drive check.
struct DriveCheck {
    std::string source_path;  // lblSourcePath: the card's DCIM folder, or empty
    bool ready = false;       // btnExecute enabled; normal status-bar colour, else yellow
    std::string_view hint;    // status panel 3
};

DriveCheck EvaluateDriveCheck(const std::optional<std::string>& card, DestinationPresence dests,
                              bool ejected = false);

// A found card brings the window back from the taskbar when the user asked for it.
inline bool ShouldAutoRestore(bool auto_restore, bool card_found, bool minimized) {
    return auto_restore && card_found && minimized;
}

// Runs the periodic check on the window's controls. The window keeps its timer and handler; the
// handler calls Check().
class TCardWatcher : public QObject {
    Q_OBJECT

  public:
    struct Controls {
        QWidget* window = nullptr;
        // Shows the card's folder (lblSourcePath).
        std::function<void(const std::string&)> show_source;
        QAbstractButton* execute = nullptr;       // btnExecute
        QAbstractButton* eject = nullptr;         // btnEject: enabled while a card is found
        QAbstractButton* auto_restore = nullptr;  // chkAutoRestore
        QWidget* status_bar = nullptr;            // stbInfo, coloured
        QLabel* hint = nullptr;                   // panel 3 of stbInfo
        // The three destination folders as the window shows them.
        std::function<std::array<std::string, 3>()> destinations;
    };

    TCardWatcher(const IVolumeSource& volumes, Controls controls, QObject* parent = nullptr);

    // One check: finds the card, restores a minimised window, sets the source path, the copy
    // command, the hint and the status-bar colour.
    DriveCheck Check();
    // A card named by the user (a mount point given to the program): checks take it while it
    // holds a DCIM folder, whether or not the volume list shows it as removable.
    void ChooseCard(const std::string& root) { chosen_root_ = root; }
    // The card was ejected: the hint says so until a card is found again.
    void MarkEjected() {
        ejected_ = true;
        chosen_root_.clear();
    }

  private:
    const IVolumeSource& volumes_;
    Controls controls_;
    DriveCheck last_;
    std::string chosen_root_;
    bool ejected_ = false;
};

}  // namespace pelko
