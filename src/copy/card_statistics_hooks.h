#pragma once

// The bookkeeping that a copy run drives when the statistics options are on: per-camera RAW
// tallies, shot counters and per-card statistics. The run calls these at fixed points; the
// implementation keeps its own files.

#include <cstdint>
#include <string>

namespace pelko {

class ICardStatistics {
  public:
    virtual ~ICardStatistics() = default;
    // Before the loop of a run (Mode).
    virtual void LoadCameraTally() {}
    // Per RAW file, before its destination is built (Mode).
    virtual void TallyRawFile(const std::string& /*path*/, std::int64_t /*size*/) {}
    // Per processed file, older files included (Mode or ModeSpUser); shot_date is
    // CurrentShotDate, "yyyy/mm/dd".
    virtual void CountShot(const std::string& /*path*/, const std::string& /*shot_date*/) {}
    // After the loop, also after an abort (Mode).
    virtual void SaveCameraTally() {}
    // After a card run (Mode); card_folder is the card's DCIM folder.
    virtual void UpdateCardInfo(const std::string& /*card_folder*/) {}
};

// Keeps nothing: the run without the statistics options, or before they exist.
class NullCardStatistics final : public ICardStatistics {};

}  // namespace pelko
