#include "naming/model_check.h"

#include <algorithm>

#include "naming/camera_model.h"
#include "support/file_ops.h"
#include "support/ini_file.h"
#include "support/text.h"

namespace pelko {

ModelCheck CheckModel(const std::string& file, const NamingSettings& settings,
                      const NamingState& state, const std::string& app_folder) {
    const ModelAliasSource aliases{app_folder};
    NamingContext context;
    context.settings = settings;
    context.state = state;
    context.state.current_source_folder = FolderOf(file);
    context.model_name = [&aliases](const std::string& name) {
        return GetModelName(name, aliases);
    };
    // A check leaves no folder behind beside the user's pictures.
    context.create_folders = false;
    const std::string name = NameOf(file);
    const std::size_t dot = name.rfind('.');
    const DestinationResult result = BuildDestination(
        context, {file, dot == std::string::npos ? "" : name.substr(dot), FolderOf(file), {}});
    return {result.file_name, GetModelName(file, {}), GetModelName(file, aliases)};
}

std::string ModelCheckMessage(const ModelCheck& check) {
    std::string text = "■転送後ファイル名のサンプル\r\n　　[　" + check.sample + "　]\r\n" +
                       std::string(60, '-') + "\r\n\r\n■モデル名\r\n　　[　" + check.model +
                       "　]\r\n\r\n";
    if (check.alias != check.model) {
        return text + "■別名登録済\r\n　　[　" + check.alias +
               "　]\r\n\r\nモデル名の名称を変更しますか？";
    }
    return text +
           "■別名登録\r\n　　[　未登録　]\r\n\r\nこのモデル名を変換設定ファイルへ保存しますか？";
}

AliasStoreOutcome StoreModelAlias(const std::string& app_folder, const std::string& model,
                                  std::string_view typed) {
    const std::string path = app_folder + "/" + std::string(kModelAliasFileName);
    if (!FileExists(path)) return AliasStoreOutcome::kNoTable;
    const std::string_view alias = TrimControl(typed);
    if (HasControlChar(alias)) return AliasStoreOutcome::kControl;
    if (CharCount(alias) >= kIniMaxValueChars) return AliasStoreOutcome::kTooLong;
    IniDocument probe;
    if (!probe.Write("Camera", model, "x")) return AliasStoreOutcome::kBadModel;
    return IniFile(path).WriteString("Camera", model, alias) ? AliasStoreOutcome::kStored
                                                             : AliasStoreOutcome::kFailed;
}

std::string AliasStoreTextJa(AliasStoreOutcome outcome, std::string_view alias) {
    switch (outcome) {
        case AliasStoreOutcome::kStored:
            return std::string(TrimControl(alias)) + "　の別名で保存しました";
        case AliasStoreOutcome::kNoTable:
            return {};
        case AliasStoreOutcome::kControl:
            return "別名に制御文字は使えません";
        case AliasStoreOutcome::kTooLong:
            return "別名は " + std::to_string(kIniMaxValueChars - 1) + " 文字以内で入力して下さい";
        case AliasStoreOutcome::kBadModel:
            return "このモデル名には別名を登録できません";
        case AliasStoreOutcome::kFailed:
            return "別名を保存できませんでした（" + std::string(kModelAliasFileName) + "）";
    }
    return {};
}

}  // namespace pelko
