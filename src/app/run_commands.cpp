#include "app/run_commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include "copy/destination_check.h"
#include "support/dialog_service.h"
#include "support/setting.h"

namespace pelko {

namespace {

constexpr const char* kDirSelUserKey = "DirSelUser";
constexpr std::size_t kUnreadableFoldersShown = 10;

}  // namespace

TRunCommands::TRunCommands(IDialogService& dialogs, TSetting& settings, Controls controls,
                           QObject* parent)
    : QObject(parent), dialogs_(dialogs), settings_(settings), controls_(std::move(controls)) {
    if (controls_.window != nullptr) {
        esc_ = new QShortcut(QKeySequence(Qt::Key_Escape), controls_.window);
        esc_->setContext(Qt::WindowShortcut);
        esc_->setEnabled(false);
        connect(esc_, &QShortcut::activated, this, &TRunCommands::Abort);
    }

    connect(&job_, &TCopyJob::runStarting, this, [this] {
        if (controls_.reset_grid) controls_.reset_grid();
        if (controls_.speed != nullptr) controls_.speed->setVisible(true);
    });
    connect(&job_, &TCopyJob::progressMaximum, this, [this](int maximum) {
        if (controls_.progress != nullptr) controls_.progress->setMaximum(maximum);
    });
    connect(&job_, &TCopyJob::progressPosition, this, [this](int position) {
        if (controls_.progress != nullptr) controls_.progress->setValue(position);
    });
    connect(&job_, &TCopyJob::progressText, this, [this](const QString& text) {
        if (controls_.progress_text != nullptr) controls_.progress_text->setText(text);
    });
    // The progress goes in the main window's title, which the taskbar shows; dialogs keep theirs.
    connect(&job_, &TCopyJob::titleChanged, this, [this](const QString& title) {
        if (controls_.window != nullptr) controls_.window->setWindowTitle(title);
    });
    connect(&job_, &TCopyJob::rowAdded, this, [this](int row) {
        if (controls_.add_row) controls_.add_row(row);
    });
    connect(&job_, &TCopyJob::rowChanged, this, [this](int row, const TResultRow& cells) {
        if (controls_.set_row) controls_.set_row(row, cells);
    });
    connect(&job_, &TCopyJob::speedTextChanged, this, [this](const QString& text, bool finished) {
        QLabel* speed = controls_.speed;
        if (speed == nullptr) return;
        speed->setText(text);
        if (finished) {
            QPalette palette = speed->palette();
            palette.setColor(QPalette::Window, QColor::fromRgb(kSpeedFinishedRgb));
            speed->setAutoFillBackground(true);
            speed->setPalette(palette);
        }
    });
    connect(&job_, &TCopyJob::statusChanged, this, [this](const QString& text) {
        if (controls_.status != nullptr) controls_.status->setText(text);
    });
    connect(&job_, &TCopyJob::finished, this, &TRunCommands::OnFinished);
}

TRunCommands::~TRunCommands() {
    // A run cut short by the window going away never finishes: give back what it took.
    if (Running()) SetBusyLook(false);
}

void TRunCommands::ExecuteCard() {
    if (Running() || !controls_.make_context) return;
    if (controls_.commit_formats) controls_.commit_formats();
    CopyRunContext context = controls_.make_context();
    context.copy_to_destinations = true;
    const std::string card = controls_.card_folder ? controls_.card_folder() : std::string();
    StartRun(std::move(context), card, RunSourceKind::rsCard);
}

void TRunCommands::ExecuteFolder(const std::string& given_folder) {
    if (Running() || !controls_.make_context) return;
    const int kind = dialogs_.SelectProcessing();
    if (kind != 0 && kind != 1) return;
    const bool copy = kind == 0;
    if (!dialogs_.ConfirmYesNo(kConfirmTitle, FolderCommandConfirmation(copy))) return;

    if (controls_.drive_check != nullptr) controls_.drive_check->stop();
    const std::optional<std::string> folder =
        !given_folder.empty() ? std::optional<std::string>(given_folder)
                              : dialogs_.PickFolder(FolderCommandPickerTitle(copy),
                                                    settings_.ReadString(kDirSelUserKey, ""));
    if (!folder || folder->empty()) {
        if (controls_.drive_check != nullptr) controls_.drive_check->start();
        return;
    }
    settings_.WriteString(kDirSelUserKey, *folder);

    if (controls_.commit_formats) controls_.commit_formats();
    CopyRunContext context = controls_.make_context();
    context.copy_to_destinations = copy;
    StartRun(std::move(context), *folder, RunSourceKind::rsFolder);
}

void TRunCommands::StartRun(CopyRunContext context, const std::string& source, RunSourceKind kind) {
    // A destination on the card (or one that holds the source) would leave the pictures on it.
    if (context.copy_to_destinations) {
        if (const std::optional<DestinationProblem> problem =
                CheckDestinations(context.settings, source, kind)) {
            dialogs_.Error(kErrorTitle, DestinationProblemTextJa(*problem));
            if (controls_.drive_check != nullptr) controls_.drive_check->start();
            return;
        }
    }
    SetIdle(false);
    job_.Start(std::move(context), source, kind);
}

void TRunCommands::SetBusyLook(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        if (controls_.window != nullptr) idle_title_ = controls_.window->windowTitle();
    } else {
        QApplication::restoreOverrideCursor();
        if (controls_.window != nullptr) controls_.window->setWindowTitle(idle_title_);
    }
}

void TRunCommands::SetIdle(bool idle) {
    SetBusyLook(!idle);
    if (controls_.drive_check != nullptr) {
        if (idle) {
            controls_.drive_check->start();
        } else {
            controls_.drive_check->stop();
        }
    }
    for (QWidget* widget : {controls_.settings_panel, static_cast<QWidget*>(controls_.execute),
                            static_cast<QWidget*>(controls_.rename)}) {
        if (widget != nullptr) widget->setEnabled(idle);
    }
    // Enabled again by the drive check after the run, when a card is there.
    if (!idle && controls_.eject != nullptr) controls_.eject->setEnabled(false);
    if (esc_ != nullptr) esc_->setEnabled(!idle);
}

void TRunCommands::OnFinished() {
    if (controls_.take_context) controls_.take_context(job_.Context());
    SetIdle(true);
    // The copy command follows the card and the destinations again.
    if (controls_.check_drives) controls_.check_drives();
    const CommandResult& result = job_.Result();
    // What stayed on the card, beside the final status: a user about to format the card reads it.
    const std::string left =
        LeftOnCardTextJa(result.run.left_on_card, !job_.Context().copy_to_destinations);
    if (controls_.status != nullptr && !left.empty()) {
        controls_.status->setText(controls_.status->text() + QString::fromUtf8("　") +
                                  QString::fromStdString(left));
    }
    if (!result.message.empty()) dialogs_.Information(kInformationTitle, result.message);
    if (!result.unreadable_folders.empty()) {
        // Files below them were never seen: the run is not complete, whatever the grid shows.
        std::string text = kUnreadableFoldersText;
        std::size_t shown = 0;
        for (const std::string& folder : result.unreadable_folders) {
            if (++shown > kUnreadableFoldersShown) {
                text += "\r\n…";
                break;
            }
            text += "\r\n" + folder;
        }
        dialogs_.Error(kErrorTitle, text);
    }
    emit runFinished();
}

void TRunCommands::Abort() {
    if (Running()) job_.Abort();
}

bool TRunCommands::CanClose(bool ask) {
    if (!Running()) return true;
    if (ask && !dialogs_.ConfirmYesNo(kConfirmTitle, kCloseDuringRunText)) return false;
    job_.Abort();
    // Whatever was copied is committed and shown before the settings are saved.
    job_.Wait();
    return true;
}

}  // namespace pelko
