#pragma once

// Every modal dialog the windows show, behind one interface, so that tests answer them from a
// script instead of blocking on a window.

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace pelko {

enum class MsgKind { kInformation, kConfirmation, kError };
enum class MsgButtons { kOk, kYesNo, kYesCancel };
enum class MsgAnswer { kOk, kYes, kNo, kCancel };

class IDialogService {
  public:
    virtual ~IDialogService() = default;

    // A message box with the given buttons; the button pressed (closing the box counts as No for
    // Yes/No, Cancel for Yes/Cancel, OK for OK).
    virtual MsgAnswer MessageBox(MsgKind kind, const std::string& title, const std::string& text,
                                 MsgButtons buttons) = 0;
    // A one-line input box; nothing when cancelled.
    virtual std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                                const std::string& initial) = 0;
    // The folder chosen in a folder picker that starts at start_folder; nothing when cancelled.
    virtual std::optional<std::string> PickFolder(const std::string& title,
                                                  const std::string& start_folder) = 0;
    // The file chosen in an open-file dialog; filter like "テキスト (*.txt)"; nothing when
    // cancelled.
    virtual std::optional<std::string> OpenFile(const std::string& title,
                                                const std::string& start_folder,
                                                const std::string& filter) = 0;
    // The card choice: the identifier of the card the user says is in the reader; empty when no
    // card is known.
    virtual std::string SelectCard() = 0;
    // The processing choice of the folder command: 0 copy to the destinations, 1 new names in
    // place, -1 cancel (also when the dialog is closed).
    virtual int SelectProcessing() = 0;

    void Information(const std::string& title, const std::string& text) {
        MessageBox(MsgKind::kInformation, title, text, MsgButtons::kOk);
    }
    void Error(const std::string& title, const std::string& text) {
        MessageBox(MsgKind::kError, title, text, MsgButtons::kOk);
    }
    bool ConfirmYesNo(const std::string& title, const std::string& text) {
        return MessageBox(MsgKind::kConfirmation, title, text, MsgButtons::kYesNo) ==
               MsgAnswer::kYes;
    }
    bool ConfirmYesCancel(const std::string& title, const std::string& text) {
        return MessageBox(MsgKind::kConfirmation, title, text, MsgButtons::kYesCancel) ==
               MsgAnswer::kYes;
    }
};

// Answers dialogs from queues and records what was asked. An empty queue answers as a user who
// closes the dialog would (OK for OK-only boxes, otherwise No/Cancel or nothing).
class ScriptedDialogService final : public IDialogService {
  public:
    enum class Dialog {
        kMessageBox,
        kInputBox,
        kPickFolder,
        kOpenFile,
        kSelectCard,
        kSelectProcessing
    };
    struct Asked {
        Dialog dialog;
        MsgKind kind = MsgKind::kInformation;
        MsgButtons buttons = MsgButtons::kOk;
        std::string title;
        std::string text;   // message, prompt, or start folder
        std::string extra;  // input box initial text, open-file filter
    };

    void QueueAnswer(MsgAnswer answer) { answers_.push_back(answer); }
    void QueueInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }
    void QueueFolder(std::optional<std::string> folder) { folders_.push_back(std::move(folder)); }
    void QueueFile(std::optional<std::string> file) { files_.push_back(std::move(file)); }
    void QueueCard(std::string card) { cards_.push_back(std::move(card)); }
    void QueueProcessing(int choice) { processing_.push_back(choice); }

    const std::vector<Asked>& asked() const { return asked_; }

    MsgAnswer MessageBox(MsgKind kind, const std::string& title, const std::string& text,
                         MsgButtons buttons) override {
        asked_.push_back({Dialog::kMessageBox, kind, buttons, title, text, {}});
        if (!answers_.empty()) {
            const MsgAnswer answer = answers_.front();
            answers_.pop_front();
            return answer;
        }
        switch (buttons) {
            case MsgButtons::kOk:
                return MsgAnswer::kOk;
            case MsgButtons::kYesNo:
                return MsgAnswer::kNo;
            case MsgButtons::kYesCancel:
                break;
        }
        return MsgAnswer::kCancel;
    }
    std::optional<std::string> InputBox(const std::string& title, const std::string& prompt,
                                        const std::string& initial) override {
        asked_.push_back(
            {Dialog::kInputBox, MsgKind::kInformation, MsgButtons::kOk, title, prompt, initial});
        return Next(inputs_);
    }
    std::optional<std::string> PickFolder(const std::string& title,
                                          const std::string& start_folder) override {
        asked_.push_back(
            {Dialog::kPickFolder, MsgKind::kInformation, MsgButtons::kOk, title, start_folder, {}});
        return Next(folders_);
    }
    std::optional<std::string> OpenFile(const std::string& title, const std::string& start_folder,
                                        const std::string& filter) override {
        asked_.push_back({Dialog::kOpenFile, MsgKind::kInformation, MsgButtons::kOk, title,
                          start_folder, filter});
        return Next(files_);
    }
    std::string SelectCard() override {
        asked_.push_back({Dialog::kSelectCard, MsgKind::kInformation, MsgButtons::kOk, {}, {}, {}});
        if (cards_.empty()) return {};
        std::string card = std::move(cards_.front());
        cards_.pop_front();
        return card;
    }
    int SelectProcessing() override {
        asked_.push_back(
            {Dialog::kSelectProcessing, MsgKind::kInformation, MsgButtons::kOk, {}, {}, {}});
        if (processing_.empty()) return -1;
        const int choice = processing_.front();
        processing_.pop_front();
        return choice;
    }

  private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<std::string> value = std::move(queue.front());
        queue.pop_front();
        return value;
    }

    std::deque<MsgAnswer> answers_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::optional<std::string>> folders_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::string> cards_;
    std::deque<int> processing_;
    std::vector<Asked> asked_;
};

}  // namespace pelko
