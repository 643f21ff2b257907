#include "naming/format_help.h"

#include <string_view>

#include "support/file_ops.h"
#include "support/string_utils.h"
#include "support/text.h"

namespace pelko {

namespace {

constexpr std::string_view kWideSpace = "　";
// Legacy column at which the glossary's descriptions start, after the leading wide space.
constexpr std::size_t kGlossaryColumn = 12;

std::string WideSpaces(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out.append(kWideSpace);
    return out;
}

// Padding from a legacy width to the glossary column: wide spaces, and one narrow space for an
// odd remainder.
std::string PadToColumn(std::size_t width) {
    std::string out;
    std::size_t remaining = width < kGlossaryColumn ? kGlossaryColumn - width : 1;
    out.append(WideSpaces(remaining / 2));
    if (remaining % 2 != 0) out.push_back(' ');
    return out;
}

std::string GlossaryLine(std::string_view specifier, std::string_view text) {
    std::string line(kWideSpace);
    line.append(specifier);
    line.append(PadToColumn(LegacyWidth(specifier)));
    line.append(text);
    return line;
}

std::string GlossaryMore(std::string_view text) {
    std::string line(kWideSpace);
    line.append(WideSpaces(kGlossaryColumn / 2));
    line.append(text);
    return line;
}

std::string InvalidCharsLine() {
    std::string line = WideSpaces(2);
    for (std::size_t i = 0; i < InvalidFileNameChars.size(); ++i) {
        if (i > 0) line.push_back(' ');
        line.append(InvalidFileNameChars[i]);
    }
    return line;
}

}  // namespace

std::vector<std::string> FormatHelpLines() {
    std::vector<std::string> lines = {
        "",
        "コピー先のフォルダへ『ユーザーが設定した書式で作成』とファイル名を『ユーザー設定』にした場"
        "合の",
        "パラメータの説明です。",
        "仮にオリジナルファイル名を IMGP0123.JPG とします。",
        "",
        "※フォルダ名の場合 %W %D のみ使用して下さい。",
        "　それ以外は設定した文字列でフォルダを作成します。",
        "",
        "※以下の半角文字はファイル名へ付けることは出来ないため、入力しても無視します。",
        InvalidCharsLine(),
    };
    auto block = [&lines](std::initializer_list<std::string> texts) {
        lines.emplace_back();
        lines.emplace_back();
        lines.insert(lines.end(), texts);
    };
    // clang-format off
    block({"%F  (Full)",
           "　オリジナルファイル名をそのまま出力します。",
           "　例）%Dyyyymmdd-%F　→　[20090410-IMGP0123.JPG]"});
    block({"%P  (Prefix)",
           "　オリジナルファイル名の先頭４文字を付加します。",
           "　例）%Wあいう %P　→　[あいう IMGP.JPG]"});
    block({"%N  (Number)",
           "　オリジナルファイル名の連番部分を付加します。",
           "　例）%P-Num%N　→　[IMGP-Num0123.JPG]",
           "　　　%W学芸会 %N %P　→　[学芸会 0123 IMGP.JPG]"});
    block({"%W  (Word)",
           "　この後に続く文字列をそのまま出力します。",
           "　例）%Wあいうえお　→　[あいうえお.JPG]"});
    block({"%T  (Trim)",
           "　ファイル名から一部抜き出します。（スタート位置,取得文字数）",
           "　変更済みのファイル名を元に戻したい場合などに使用します。",
           "　全角文字は2byteですので、数値設定に気をつけて下さい。",
           "　例）%W入園式%T(5,4)　　→　[入園式0123.JPG]",
           "　　　%W入園式(%T(5,4))　→　[入園式(0123).JPG]",
           "　　　%T(1,2)-%T(6,3)　　→　[IM-123.JPG]",
           "　　　%T(22,4)%T(17,4)　20090410-124510-0123-IMGP.JPG　→　[IMGP0123.JPG]",
           "　　　　※ファイル名生成のサンプルでは IMGP0123.JPGがソースのため \"TrimError\" と表示されますが、",
           "　　　　実行時にファイル名の長さが足りている場合はちゃんと抜き出せます。",
           "　　　　このコマンドを利用する際には事前にテストして下さい。"});
    block({"%R　(Replace)",
           "　ファイル名の文字列を置換します。('置換する文字列','置換後の文字列')",
           "　※文字列は単引用符で囲い、カンマで区切って下さい",
           "　例）%R('IMGP','K200D-')　IMGP0123.JPG　→　K200D-0123.JPG",
           "　　　%R('GP','__')　　　　IMGP0123.JPG　→　IM__0123.JPG",
           "　　　　※設定に不備がある場合 空白で出力されるか、\"ReplaceError\" と表示されます。"});
    block({"%C  (CameraName)",
           "　モデル名（カメラ名）を付加します。",
           "　例）%C-%N　→　[PENTAX K20D-0123.JPG]",
           "　　　%N-%C　→　[0123-PENTAX K20D.JPG]",
           "　※設定してもモデル名が取得できない場合があります。",
           "　　モデル名のチェックで \"不明\" と出る場合は別名を定義出来ます",
           "　　RAWファイルは .PEFファイルのみ取得できます。",
           "",
           "　モデル名を短縮形などにしたい場合、ChangeModelName.txtを書き換えるか",
           "　同様の書式で追加して下さい。"});
    block({"%D  (DateTime)",
           "　ファイルの生成日時を、以下に続く日付文字列でフォーマットします。",
           "",
           GlossaryLine("aaa", "曜日を省略形（日 ～ 土）で表示する"),
           GlossaryLine("aaaa", "曜日を完全形（日曜日 ～ 土曜日）で表示する"),
           "",
           GlossaryLine("d", "日を先頭に 0 を付けない数字（1 ～ 31）で表示する"),
           GlossaryLine("dd", "日を先頭に 0 を付けた数字（01 ～ 31）で表示する"),
           GlossaryLine("ddd", "曜日をシステムの短い曜日名（日 ～ 土）で表示する"),
           GlossaryLine("dddd", "曜日をシステムの長い曜日名（日曜日 ～ 土曜日）で表示する"),
           GlossaryLine("ddddd", "日付をシステムの短い日付形式（yyyy/mm/dd）で表示する"),
           "",
           GlossaryLine("dddddd", "日付をシステムの長い日付形式（yyyy年m月d日）で表示する"),
           GlossaryLine("e", "現在の元号の年を先頭に 0 を付けない数字で表示する"),
           GlossaryLine("ee", "現在の元号の年を先頭に 0 を付けた数字で表示する"),
           GlossaryLine("g", "元号を省略形（平 など）で表示する"),
           GlossaryLine("gg", "元号を完全形（平成 など）で表示する"),
           GlossaryLine("m", "月を先頭に 0 を付けない数字（1 ～ 12）で表示する"),
           GlossaryMore("h または hh の直後に指定した場合は、月ではなく分を表示する"),
           "",
           GlossaryLine("mm", "月を先頭に 0 を付けた数字（01 ～ 12）で表示する"),
           GlossaryMore("h または hh の直後に指定した場合は、月ではなく分を表示する"),
           "",
           GlossaryLine("mmm", "月をシステムの短い月名（1 ～ 12）で表示する"),
           GlossaryLine("mmmm", "月をシステムの長い月名（1月 ～ 12月）で表示する"),
           GlossaryLine("yy", "年を 2 桁の数字（00 ～ 99）で表示する"),
           GlossaryLine("yyyy", "年を 4 桁の数字（0000 ～ 9999）で表示する"),
           GlossaryLine("h", "時を先頭に 0 を付けない数字（0 ～ 23）で表示する"),
           GlossaryLine("hh", "時を先頭に 0 を付けた数字（00 ～ 23）で表示する"),
           "",
           GlossaryLine("n", "分を先頭に 0 を付けない数字（0 ～ 59）で表示する"),
           GlossaryLine("nn", "分を先頭に 0 を付けた数字（00 ～ 59）で表示する"),
           GlossaryLine("s", "秒を先頭に 0 を付けない数字（0 ～ 59）で表示する"),
           GlossaryLine("ss", "秒を先頭に 0 を付けた数字（00 ～ 59）で表示する"),
           GlossaryLine("z", "ミリ秒を先頭に 0 を付けない数字（0 ～ 999）で表示する"),
           GlossaryLine("zzz", "ミリ秒を先頭に 0 を付けた数字（000 ～ 999）で表示する"),
           GlossaryLine("t", "時刻をシステムの短い時刻形式（h:nn）で表示する"),
           GlossaryLine("tt", "時刻をシステムの長い時刻形式（h:nn:ss）で表示する"),
           "",
           GlossaryLine("ampm", "直前の h または hh を 12 時間制で表示し、"),
           GlossaryMore("正午より前の時刻には システムの午前の文字列（午前）を、"),
           GlossaryMore("正午以降の時刻には システムの午後の文字列（午後）を表示する"),
           "",
           GlossaryLine("'xx'", "単引用符または二重引用符で囲まれた文字列をそのまま表示する"),
           "",
           "",
           "　例）%Dyyyy-mm-dd hhnnss-%N　→　[2009-04-03 162248-0123.JPG]",
           "　　　%W学芸会 %Dgee'年'mm'月'dd'日' hh'時'nn'分'ss'秒' %N　→　[学芸会 平21年04月03日 16時24分49秒 0123.JPG]"});
    // clang-format on
    lines.emplace_back();
    return lines;
}

bool WriteFormatHelpFile(const std::string& folder) {
    std::string text;
    for (const std::string& line : FormatHelpLines()) {
        text.append(line);
        text.append("\r\n");
    }
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append("FmtHelp.txt");
    // Replaced atomically, so a reader never sees half a file.
    return WriteFileAtomically(path, text) == 0;
}

}  // namespace pelko
