#pragma once

// TCardStatistics: the bookkeeping of the statistics options. Per shot, the last file number of
// each camera body and the shots per day and camera, in ImgCount.txt (the per-user temporary
// copy) and, with Mode, in the table 撮影枚数 of PelkoData.db; per camera model, the RAW tallies
// and averages; per card, how much passed through runs from it, in CardInfo.ini.
//
// A copy run calls it on whatever thread runs the run; it talks to the user only through its
// view, which the window passes on to its own thread.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "copy/card_statistics_hooks.h"
#include "support/fs_db.h"

namespace pelko {

class IClock;

// The last file number seen from each camera body; kept as "K5QT Count", "K5RV Count" and
// "K-01 Count" in PelkoCopy.ini.
struct TShotCounts {
    int k5qt = 0;
    int k5rv = 0;
    int k01 = 0;
};

// Where the statistics are shown and whom they ask. Calls come from the thread that calls the
// statistics.
class ICardStatisticsView {
  public:
    virtual ~ICardStatisticsView() = default;
    // lblK5 and lblK20D.
    virtual void ShowCameraAverages(const std::string& /*k5*/, const std::string& /*k01*/) {}
    // lblSampleFolder and lblSampleFileName, bold and maroon, after a card run.
    virtual void ShowCardStatistics(const std::string& /*folder_label*/,
                                    const std::string& /*file_label*/) {}
    // An error message with an OK button.
    virtual void ReportStatisticsError(const std::string& /*text*/) {}
    // The card choice: the identifier of the card in the reader, empty when none is chosen.
    virtual std::string ChooseCard() { return {}; }
};

inline constexpr const char* kShotTable = "撮影枚数";
inline constexpr const char* kShotDatabaseFile = "PelkoData.db";
inline constexpr const char* kCardInfoFile = "CardInfo.ini";
inline constexpr const char* kImgCountFile = "ImgCount.txt";
// The message of a database that another program holds locked.
inline constexpr const char* kShotDatabaseBusy =
    "PelkoData.db を他のプログラムが使用中のため、撮影枚数を書き込めませんでした";
// The message of a camera tag that cannot name a column of 撮影枚数.
inline constexpr const char* kShotTagRefused = "撮影枚数の列名にできない機種名です：";

class TCardStatistics final : public ICardStatistics {
  public:
    struct Places {
        std::string app_folder;   // CardInfo.ini and PelkoData.db
        std::string temp_folder;  // the working ImgCount.txt
    };
    // counts: the window's counters, kept there from start to close.
    TCardStatistics(Places places, bool mode, const IClock& clock, ICardStatisticsView& view,
                    TShotCounts& counts);
    ~TCardStatistics() override;

    // Opens PelkoData.db (created when missing) and creates the table 撮影枚数 when it is
    // missing; a failure is reported and the shots are then counted in ImgCount.txt only.
    bool OpenDatabase();
    void CloseDatabase();
    TFsDb& DBMS() { return dbms_; }
    // How long a shot waits for a database another program holds locked, before it is reported.
    void SetBusyTimeout(int milliseconds);

    void LoadCameraTally() override;
    void TallyRawFile(const std::string& path, std::int64_t size) override;
    void CountShot(const std::string& path, const std::string& shot_date) override;
    void SaveCameraTally() override;
    void UpdateCardInfo(const std::string& card_folder) override;

    // One shot of camera `tag` on the day shot_date ("yyyy/mm/dd").
    void AddShotToCounters(const std::string& tag, const std::string& shot_date);
    // Writes the shots counted since the last call into ImgCount.txt, in one write: after each
    // run (SaveCameraTally does it too), and before the file is copied anywhere.
    void SaveShotCounts();
    void ShowCameraAverages();

  private:
    // A statement of the day's row failed: its text is shown once per run.
    void DatabaseFailed();
    void ReportOnce(const std::string& text);
    std::string CardInfoPath() const { return places_.app_folder + "/" + kCardInfoFile; }

    Places places_;
    bool mode_;
    const IClock& clock_;
    ICardStatisticsView& view_;
    TShotCounts& counts_;
    TFsDb dbms_;
    int busy_timeout_ms_ = 3000;

    // Base names counted since the program started (ASCII letters folded).
    std::set<std::string> counted_shots_{"countstart"};
    std::int64_t k5_tally_ = 0, k5_tally_kb_ = 0;
    std::int64_t k01_tally_ = 0, k01_tally_kb_ = 0;
    std::int64_t card_file_count_ = 0, card_kb_ = 0;
    // Shots not yet in ImgCount.txt: section, day, count, in the order they came.
    struct UnsavedShots {
        std::string section, day;
        int count;
    };
    std::vector<UnsavedShots> unsaved_shots_;
    // Messages shown in this run, and whether the locked database was.
    std::set<std::string> reported_;
    bool busy_reported_ = false;
};

// Integer nearest to x, halves away from zero.
std::int64_t RoundHalfAway(double x);
// The capacity of the volume mounted at mount_point in MB, to the nearest integer (a half to the
// even neighbour), as decimal text; empty when it cannot be read.
std::string CardSizeMB(const std::string& mount_point);
// x with one decimal, halves away from zero: 24.35 → "24.4".
std::string FormatOneDecimal(double x);
// True for a camera tag that may name a column: ASCII letters and digits only.
bool IsShotTagColumn(const std::string& tag);

}  // namespace pelko
