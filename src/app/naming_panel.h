#pragma once

// The naming controls of the main window: which user combos the selected modes need, and the
// samples under them that show at once what the settings make of "IMGP0123.JPG".

namespace pelko {

class TFrmDCMain;

class TNamingPanel {
  public:
    explicit TNamingPanel(TFrmDCMain& window);

    // Either mode list changed (also at show and after a restore of the modes): the user combos
    // each mode needs, the descriptions, the samples.
    void ModesChanged();
    // The text of the user folder combo changed.
    void FolderTextChanged();
    // The text of the user format combo changed.
    void FormatTextChanged();

  private:
    TFrmDCMain& w_;
};

}  // namespace pelko
