#include "app/card_watcher.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include "support/file_ops.h"
#include "support/text.h"
#include "support/volumes.h"

namespace pelko {

namespace {

// A card's root holds a handful of entries; a volume with more is searched this far only, so a
// full disk marked removable cannot slow the check down.
constexpr int kMaxRootEntries = 4096;

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The DCIM folder below root in its own spelling; "DCIM" itself first, else the smallest of the
// other spellings, so the answer does not depend on the order the folder lists its entries.
std::optional<std::string> FindDcimFolder(const std::string& root) {
    const std::string prefix = root == "/" ? root : root + "/";
    if (IsFolder(prefix + "DCIM")) return prefix + "DCIM";
    DIR* dir = ::opendir(root.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> best;
    int seen = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (++seen > kMaxRootEntries) break;
        const std::string_view name = entry->d_name;
        if (!EqualsIgnoreAsciiCase(name, "DCIM")) continue;
        if (best && name >= std::string_view(*best)) continue;
        if (IsFolder(prefix + std::string(name))) best = std::string(name);
    }
    ::closedir(dir);
    if (!best) return std::nullopt;
    return prefix + *best;
}

}  // namespace

std::optional<std::string> DcimFolderOf(const std::string& root) {
    return FindDcimFolder(root);
}

std::optional<std::string> FindMediaDrive(const IVolumeSource& volumes) {
    // Fixed, network and optical volumes are never a card, even with a DCIM folder.
    for (const MountedVolume& volume : volumes.Volumes()) {
        if (!volume.removable || !VolumeReady(volume.mount_point)) continue;
        if (std::optional<std::string> dcim = FindDcimFolder(volume.mount_point)) return dcim;
    }
    return std::nullopt;
}

DriveCheck EvaluateDriveCheck(const std::optional<std::string>& card, DestinationPresence dests,
                              bool ejected) {
    DriveCheck check;
    check.source_path = card.value_or(std::string());
    check.ready = card.has_value() && dests.raw && dests.jpeg && dests.other;
    // The strongest reason wins: the card, then RAW, JPEG and Other.
    if (!card) {
        check.hint = ejected ? kHintEjected : kHintInsertCard;
    } else if (!dests.raw) {
        check.hint = kHintNoRawFolder;
    } else if (!dests.jpeg) {
        check.hint = kHintNoJpegFolder;
    } else if (!dests.other) {
        check.hint = kHintNoOtherFolder;
    } else {
        check.hint = kHintEscAborts;
    }
    return check;
}

TCardWatcher::TCardWatcher(const IVolumeSource& volumes, Controls controls, QObject* parent)
    : QObject(parent), volumes_(volumes), controls_(std::move(controls)) {}

DriveCheck TCardWatcher::Check() {
    std::optional<std::string> card;
    if (!chosen_root_.empty()) {
        card = FindDcimFolder(chosen_root_);
        if (!card) chosen_root_.clear();  // taken out: back to the volume list
    }
    if (!card) card = FindMediaDrive(volumes_);
    QWidget* window = controls_.window;
    const bool auto_restore =
        controls_.auto_restore != nullptr && controls_.auto_restore->isChecked();
    if (window != nullptr &&
        ShouldAutoRestore(auto_restore, card.has_value(), window->isMinimized())) {
        // Back to the state it had before it was minimised (maximised stays maximised).
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window->show();
        window->raise();
        window->activateWindow();
    }

    DestinationPresence dests;
    if (controls_.destinations) {
        const std::array<std::string, 3> folders = controls_.destinations();
        dests = {FolderExists(folders[0]), FolderExists(folders[1]), FolderExists(folders[2])};
    }
    if (card) ejected_ = false;
    last_ = EvaluateDriveCheck(card, dests, ejected_);

    if (controls_.show_source) controls_.show_source(last_.source_path);
    if (controls_.execute != nullptr) controls_.execute->setEnabled(last_.ready);
    if (controls_.eject != nullptr) controls_.eject->setEnabled(card.has_value());
    if (controls_.hint != nullptr) {
        controls_.hint->setText(
            QString::fromUtf8(last_.hint.data(), static_cast<qsizetype>(last_.hint.size())));
    }
    if (QWidget* bar = controls_.status_bar) {
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, last_.ready
                                               ? QApplication::palette().color(QPalette::Button)
                                               : QColor(Qt::yellow));
        bar->setAutoFillBackground(true);
        bar->setPalette(palette);
    }
    return last_;
}

}  // namespace pelko
