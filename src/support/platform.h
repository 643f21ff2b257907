#pragma once

// Facts about the machine and the running program, and the small interfaces through which the
// core reaches time, the desktop shell and mounted volumes (so tests can replace them).

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "support/date_time.h"

namespace pelko {

// Full path of the running executable.
std::string ExecutablePath();

// The application folder, where every data file lives: $PELKOCOPY_HOME when set; else the
// executable's folder when it is writable (a portable copy); else $XDG_CONFIG_HOME/PelkoCopy
// (default ~/.config/PelkoCopy). Never created here, so that reading (a dry run) leaves no
// trace. No trailing "/". Each program asks once, in main, and hands the folder down.
std::string FindAppFolder();

// What the application folder is chosen from.
struct AppFolderInputs {
    std::string pelkocopy_home;  // $PELKOCOPY_HOME
    std::string exe_folder;
    bool exe_folder_writable = false;
    std::string xdg_config_home;  // $XDG_CONFIG_HOME
    std::string home;             // the user's home folder
};
// The application folder for these inputs; no trailing "/".
std::string ChooseAppFolder(const AppFolderInputs& inputs);

// Host name up to its first ".".
std::string ComputerName();
// Login name of the effective user.
std::string UserName();

// Per-user temporary folder ($XDG_RUNTIME_DIR, else $TMPDIR or /tmp + "/pelkocopy-<uid>"),
// created with mode 0700. No trailing "/".
std::string UserTempFolder();

// What each program does first: the soft limit of open descriptors raised to the hard limit (a
// run holds every folder of a card open, beside its copies in flight).
void RaiseDescriptorLimit();
// The soft limit of open descriptors, and how many the process has open now.
int DescriptorLimit();
int OpenDescriptorCount();

// Time: "now" in local calendar fields and a millisecond tick.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual DateTime Now() const = 0;
    virtual std::uint64_t TickMs() const = 0;
};

class SystemClock final : public IClock {
  public:
    DateTime Now() const override;
    std::uint64_t TickMs() const override;
};

// A clock that stands still until told to move.
class ManualClock final : public IClock {
  public:
    explicit ManualClock(DateTime now = {2000, 1, 1, 0, 0, 0, 0}) : now_(now) {}
    DateTime Now() const override { return now_; }
    std::uint64_t TickMs() const override { return tick_; }
    void SetNow(const DateTime& now) { now_ = now; }
    void SetTick(std::uint64_t tick) { tick_ = tick; }
    void Advance(std::uint64_t ms) { tick_ += ms; }

  private:
    DateTime now_;
    std::uint64_t tick_ = 0;
};

// The desktop shell's "open" verb.
class IShell {
  public:
    virtual ~IShell() = default;
    virtual bool Open(const std::string& file_name, const std::string& params) = 0;
};

// Opens documents with xdg-open in a detached process (params are not passed on); for programs
// without a window toolkit.
class XdgOpenShell final : public IShell {
  public:
    bool Open(const std::string& file_name, const std::string& params) override;
};

// Without wait: the shell's "open" on the file. With wait: runs file_name as a program with the
// whitespace-separated params, in the file's folder, and waits for it to end; false when it
// cannot be started.
bool OpenDocument(IShell& shell, const std::string& file_name, const std::string& params,
                  bool wait);

// One mounted volume as the drive check sees it.
struct MountedVolume {
    std::string mount_point;
    std::string device;
    std::string fs_type;
    bool removable = false;
};

class IVolumeSource {
  public:
    virtual ~IVolumeSource() = default;
    // Mounted volumes in mount-point order, extra media folders included.
    virtual std::vector<MountedVolume> Volumes() const = 0;
};

}  // namespace pelko
