#pragma once

// The main window as its rules see it: the settings value and the window's layout in and out,
// and the few other things the lifecycle reads or shows. TFrmDCMain implements it over its
// controls; tests use a plain fake, so the rules are tested without widgets.

#include <string>
#include <vector>

#include "app/desktop_services.h"
#include "copy/card_statistics.h"
#include "copy/copy_run.h"
#include "copy/copy_settings.h"
#include "support/date_time.h"
#include "support/dialog_service.h"
#include "support/form_position.h"
#include "support/platform.h"

namespace pelko {

// Where the window is and how its parts are sized; stored beside the settings.
struct MainWindowLayout {
    FormBounds bounds{100, 100, 820, 600};  // FormTop, FormLeft, FormWidth, FormHeight
    bool maximized = true;                  // WindowMaxmized
    int left_panel = 840;                   // pnlLeft
    // GridW0..GridW3; empty when none is stored: the grid's own first-start widths.
    std::vector<int> grid_widths;
    bool operator==(const MainWindowLayout&) const = default;
};

// What the window reaches the outside world through. The program's main fills every member with
// the system's own; tests fill them with fakes.
struct TMainContext {
    IDialogService* dialogs = nullptr;       // null: Qt dialogs over the window
    IShell* shell = nullptr;                 // null: the desktop shell
    const IClock* clock = nullptr;           // null: the system clock
    const IVolumeSource* volumes = nullptr;  // null: the mounted volumes
    INotifier* notifier = nullptr;           // null: the desktop's notifications
    ICardEjector* ejector = nullptr;         // null: UDisks2
    std::string app_folder;
    std::string computer_name;
    std::string temp_folder;
    // Points where a test steps into the window's runs; null in the program.
    const CopyRunSeams* run_seams = nullptr;
};

// The statistics part (labels, messages, the card choice) is reached from the copy run's thread
// too: the window passes those calls on to its own thread.
class IMainView : public ICardStatisticsView {
  public:
    virtual ~IMainView() = default;

    // Fills the fields the controls hold: destinations, modes, histories (with the typed texts
    // counted as they will be saved), check boxes. Other fields are left as they are.
    virtual void GatherSettings(MainWindowSettings& settings) const = 0;
    virtual void ShowSettings(const MainWindowSettings& settings) = 0;
    virtual MainWindowLayout GatherLayout() const = 0;
    virtual void ShowLayout(const MainWindowLayout& layout) = 0;
    virtual std::string Memo() const = 0;
    virtual void ShowMemo(const std::string& text) = 0;
    // Mode on: the statistics labels and the data button.
    virtual void ShowMode(bool mode) = 0;
    // The cut-off in the two pickers.
    virtual void ShowCutoff(const DateTime& cutoff) = 0;
    // The copy-set names, the displayed one first.
    virtual void ShowCopySets(const std::vector<std::string>& names) = 0;
};

}  // namespace pelko
