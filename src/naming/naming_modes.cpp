#include "naming/naming_modes.h"

#include "naming/date_format.h"

namespace pelko {

std::vector<ModeItem> FolderModeItems() {
    return {
        {"何もしない", "指定フォルダへコピーします"},
        {"ユーザー設定", "指定フォルダ以下へ設定したフォルダを作成してコピーします"},
        {"ユーザーが設定した書式で作成", ""},
        {"年のフォルダを作成", "指定フォルダへ年のフォルダを作成してコピーします"},
        {"年月のフォルダを作成", "指定フォルダへ年-月のフォルダを作成してコピーします"},
        {"年月日のフォルダを作成", "指定フォルダへ年-月-日のフォルダを作成してコピーします"},
    };
}

std::vector<ModeItem> FileNameModeItems(const DateTime& filled_at) {
    const std::string stamp = FormatDatePattern("yyyymmdd-hhnnss", filled_at);
    return {
        {"オリジナルのまま", "IMGP0123.JPG"},
        {"ユーザー設定", ""},
        {"年月日-時分秒-ファイル番号", stamp + "-0123.JPG"},
        {"年月日-時分秒 [-拡張有り]", "〔年月日〕及び〔時分秒〕が重なった場合連番を付加します"},
        {"オリジナル-年月日-時分秒", "IMGP0123-" + stamp + ".JPG"},
        {"年月日-時分秒-ファイル番号_Prefix", stamp + "-0123_IMGP.JPG"},
    };
}

}  // namespace pelko
