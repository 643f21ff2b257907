#pragma once

// What the window asks of the desktop beyond its own controls: a notification when a run ends
// while the user looks elsewhere, and the safe removal of a card. Both behind interfaces, so
// tests use fakes; the program uses the freedesktop services over D-Bus.

#include <QObject>
#include <functional>
#include <string>

namespace pelko {

class INotifier {
  public:
    virtual ~INotifier() = default;
    // Shows a notification; `clicked` runs when the user clicks it. Nothing happens when no
    // notification service is there.
    virtual void Notify(const std::string& summary, const std::string& body,
                        std::function<void()> clicked) = 0;
};

enum class EjectOutcome {
    kEjected,  // unmounted, and the drive powered off (or ejected) where it can be
    kBusy,     // a program still has files open on it: nothing was done
    kRefused,  // the volume service refused or is not there: nothing more was done
};

struct EjectResult {
    EjectOutcome outcome = EjectOutcome::kRefused;
    std::string detail;  // the service's own message, for the user
};

class ICardEjector {
  public:
    virtual ~ICardEjector() = default;
    // Unmounts the volume mounted at `mount_point` (its block device `device`, as the mount table
    // gives it) and powers its drive off.
    virtual EjectResult Eject(const std::string& mount_point, const std::string& device) = 0;
};

// The freedesktop notification service (org.freedesktop.Notifications).
class TDesktopNotifier final : public QObject, public INotifier {
    Q_OBJECT
  public:
    explicit TDesktopNotifier(QObject* parent = nullptr);
    void Notify(const std::string& summary, const std::string& body,
                std::function<void()> clicked) override;

  private slots:
    void OnActionInvoked(uint id, const QString& action);

  private:
    uint last_id_ = 0;
    std::function<void()> clicked_;
};

// UDisks2 (org.freedesktop.UDisks2): Filesystem.Unmount, then Drive.PowerOff or Drive.Eject.
class TUDisksEjector final : public ICardEjector {
  public:
    EjectResult Eject(const std::string& mount_point, const std::string& device) override;
};

// The texts the window shows for an eject that did not happen.
std::string EjectFailureTextJa(const EjectResult& result);

}  // namespace pelko
