#include "app/naming_commands.h"

#include "copy/run_context.h"
#include "naming/model_check.h"
#include "support/text.h"

namespace pelko {

namespace {

constexpr const char* kTitle = "PelkoCopy";

// The open dialog's four filters; the file dialog matches them in any letter case.
constexpr const char* kModelCheckFilter =
    "RAW, JPEGファイル (*.jpg *.pef *.dng *.nef *.crw *.cr2 *.raf *.mrw *.orf *.srf);;"
    "JPEG ファイル (*.JPG);;PENTAX PEF ファイル (*.PEF);;全てのファイル(*.*)";

}  // namespace

TNamingCommands::TNamingCommands(IMainView& view, TMainLifecycle& life, const TMainContext& context)
    : view_(view), life_(life), context_(context) {}

void TNamingCommands::ShowCopySet(const CopySettings& set) {
    MainWindowSettings settings = life_.Settings();
    settings.copy = set;
    view_.ShowSettings(settings);
    view_.ShowCopySets(life_.CopySets().Names());
}

void TNamingCommands::ApplyCopySet(const std::string& name) {
    CopySetList& sets = life_.CopySets();
    std::vector<SettingsProblem> problems;
    const std::optional<CopySettings> set = sets.Read(name, &problems);
    if (!set) return;
    sets.MoveToTop(name);
    ShowCopySet(*set);
    if (!problems.empty()) context_.dialogs->Information(kTitle, SettingsProblemsTextJa(problems));
}

void TNamingCommands::AddCopySet() {
    const std::optional<std::string> answer =
        context_.dialogs->InputBox("名前を付けて保存", "設定名を入力して下さい", "");
    if (!answer) return;
    if (const std::optional<CopySetNameProblem> problem = CheckCopySetName(*answer)) {
        context_.dialogs->Information(kTitle, CopySetNameProblemTextJa(*problem));
        return;
    }
    const std::string name(TrimControl(*answer));
    CopySetList& sets = life_.CopySets();
    const bool known = sets.Contains(name);
    if (!sets.Save(name, life_.Settings().copy)) {
        context_.dialogs->Error("エラー", "転送設定を保存できませんでした\r\n" + sets.IniPath());
        return;
    }
    if (known) {
        context_.dialogs->Information(kTitle, name + "\r\nの設定を上書きしました");
        return;
    }
    sets.MoveToTop(name);
    view_.ShowCopySets(sets.Names());
    context_.dialogs->Information(kTitle, "保存しました");
}

void TNamingCommands::OverwriteCopySet() {
    if (!context_.dialogs->ConfirmYesCancel(kTitle, "現在の設定を上書きしますか？")) return;
    CopySetList& sets = life_.CopySets();
    if (!sets.Save(sets.Displayed(), life_.Settings().copy)) {
        context_.dialogs->Error("エラー", "転送設定を保存できませんでした\r\n" + sets.IniPath());
        return;
    }
    context_.dialogs->Information(kTitle, "保存しました");
}

void TNamingCommands::DeleteCopySet() {
    CopySetList& sets = life_.CopySets();
    if (sets.Names().size() < 2) return;
    if (!context_.dialogs->ConfirmYesNo(kTitle, "表示の設定を削除しますか？")) return;
    sets.RemoveDisplayed();
    view_.ShowCopySets(sets.Names());
    ApplyCopySet(sets.Displayed());
}

void TNamingCommands::DeleteHistoryEntry(bool folder) {
    MainWindowSettings settings = life_.Settings();
    if (folder) {
        settings.copy.user_folder = pelko::DeleteHistoryEntry(
            settings.folder_history, settings.copy.user_folder, DefaultUserFolderHistory().front());
    } else {
        settings.copy.user_format = pelko::DeleteHistoryEntry(
            settings.format_history, settings.copy.user_format, kFormatHistoryFallback);
    }
    view_.ShowSettings(settings);
}

void TNamingCommands::OpenFormatHelp() {
    OpenDocument(*context_.shell, context_.app_folder + "/FmtHelp.txt", "", false);
}

void TNamingCommands::CheckModelName() {
    const MainWindowSettings settings = life_.Settings();
    const std::optional<std::string> file = context_.dialogs->OpenFile(
        "モデル名と転送後ファイル名のチェック", settings.copy.dest_jpg, kModelCheckFilter);
    if (!file) return;
    const ModelCheck check =
        CheckModel(*file, NamingSettingsOf(settings), life_.RunState(), context_.app_folder);
    if (!context_.dialogs->ConfirmYesNo(kTitle, ModelCheckMessage(check))) return;
    const std::optional<std::string> alias =
        context_.dialogs->InputBox("新規変換名", check.model + "　の別名を入力して下さい", "");
    if (!alias) return;
    const AliasStoreOutcome outcome = StoreModelAlias(context_.app_folder, check.model, *alias);
    if (outcome == AliasStoreOutcome::kNoTable) return;
    if (outcome != AliasStoreOutcome::kStored) {
        context_.dialogs->Error("エラー", AliasStoreTextJa(outcome, *alias));
        return;
    }
    context_.dialogs->Information(kTitle, AliasStoreTextJa(outcome, *alias));
    // %C of the sample now gives the new alias.
    view_.ShowSettings(life_.Settings());
}

}  // namespace pelko
