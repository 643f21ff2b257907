#pragma once

// SIGTERM, SIGHUP and SIGINT (a logout or shutdown, `kill`, Ctrl+C in the terminal that started
// the window) would end the program before its settings are saved. While a TQuitSignals lives,
// each of them only writes a byte to a pipe, and the event loop turns it into quitRequested.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace pelko {

class TQuitSignals final : public QObject {
    Q_OBJECT

  public:
    explicit TQuitSignals(QObject* parent = nullptr);
    // The default handling comes back.
    ~TQuitSignals() override;
    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

    // False when the pipe could not be made: the signals then end the program as before.
    bool Installed() const { return notifier_ != nullptr; }

  signals:
    void quitRequested(int signal_number);

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace pelko
