#include "copy/card_statistics.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "naming/user_format.h"
#include "support/file_ops.h"
#include "support/ini_file.h"
#include "support/platform.h"
#include "support/text.h"

namespace pelko {

namespace {

constexpr const char* kK5 = "K5";
constexpr const char* kK01 = "K-01";
constexpr const char* kTotal = "TOTAL";
constexpr const char* kDefaultCardId = "UnKnown-01";
constexpr const char* kOpenFailed = "PelkoData.db を開けませんでした：";
// Capacities in bytes of the cards the averages are shown against, and their keys.
constexpr std::pair<const char*, double> kCardSizes[] = {
    {"4G", 4e9}, {"8G", 8e9}, {"16G", 16e9}, {"32G", 32e9}};

// A 64-bit value of an ini file: the tallies outgrow 32 bits (KB of years of RAW files).
std::int64_t ReadInt64(const IniFile& ini, std::string_view section, std::string_view key) {
    const std::string text(TrimControl(ini.ReadString(section, key, "")));
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

void WriteInt64(const IniFile& ini, const std::string& section, const char* key,
                std::int64_t value) {
    ini.WriteString(section, key, std::to_string(value));
}

// Characters 5 to 8 of a name as a number; 0 when they are not one.
int NumberOf(const std::string& name) {
    const std::string digits = NameNumber(name);
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size() ? number : 0;
}

// The camera's tally and averages written to its section of CardInfo.ini.
void SaveTally(const IniFile& ini, const char* section, std::int64_t count, std::int64_t kb) {
    if (count <= 0) return;
    const double average = static_cast<double>(kb) / static_cast<double>(count);
    WriteInt64(ini, section, "Count", count);
    WriteInt64(ini, section, "Size", kb);
    ini.WriteString(section, "Ave", FormatOneDecimal(average / 1024) + "MB");
    for (const auto& [key, bytes] : kCardSizes) {
        // Files of no measurable size fit without number: none is claimed.
        const double fit = average > 0 ? std::trunc(bytes / average / 1024) : 0;
        WriteInt64(ini, section, key, static_cast<std::int64_t>(fit));
    }
}

}  // namespace

std::int64_t RoundHalfAway(double x) {
    return static_cast<std::int64_t>(x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5));
}

std::string FormatOneDecimal(double x) {
    const std::int64_t tenths = RoundHalfAway(x * 10);
    const std::int64_t whole = tenths / 10;
    const std::int64_t tenth = tenths % 10;
    return (tenths < 0 && whole == 0 ? "-" : "") + std::to_string(whole) + "." +
           std::to_string(tenth < 0 ? -tenth : tenth);
}

std::string CardSizeMB(const std::string& mount_point) {
    struct statvfs st;
    if (mount_point.empty() || ::statvfs(mount_point.c_str(), &st) != 0) return {};
    const double bytes = static_cast<double>(st.f_blocks) * static_cast<double>(st.f_frsize);
    return std::to_string(static_cast<std::int64_t>(std::nearbyint(bytes / 1024 / 1024)));
}

bool IsShotTagColumn(const std::string& tag) {
    if (tag.empty()) return false;
    for (const char c : tag) {
        const bool alnum =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum) return false;
    }
    return true;
}

TCardStatistics::TCardStatistics(Places places, bool mode, const IClock& clock,
                                 ICardStatisticsView& view, TShotCounts& counts)
    : places_(std::move(places)), mode_(mode), clock_(clock), view_(view), counts_(counts) {
    dbms_.DataBaseType = TEngine::dbSQLite;
    dbms_.SQLiteFile = places_.app_folder + "/" + kShotDatabaseFile;
    dbms_.AdoRecordSetOption = TAdoRec::adoReadOnly;
    dbms_.ErrorExcept = TErrExcept::eeOriginal;
    dbms_.LogWrite = false;
    dbms_.UsedChangeSql = false;
    dbms_.ErrorCreateRaise = true;
    dbms_.Clock = &clock_;
    dbms_.SetBusyTimeout(busy_timeout_ms_);
}

TCardStatistics::~TCardStatistics() {
    SaveShotCounts();
}

void TCardStatistics::SetBusyTimeout(int milliseconds) {
    busy_timeout_ms_ = milliseconds;
    dbms_.SetBusyTimeout(milliseconds);
}

bool TCardStatistics::OpenDatabase() {
    try {
        dbms_.OpenDatabase(0);
        bool found = false;
        for (const std::string& table : dbms_.TableNames())
            found = found || EqualsIgnoreAsciiCase(table, kShotTable);
        if (!found) {
            // Every count starts at 0, so that adding to a column never meets a Null.
            dbms_.ClearSql();
            dbms_.AddSql(std::string("CREATE TABLE ") + kShotTable + " (");
            dbms_.AddSql("日付 TEXT PRIMARY KEY, 合計 INTEGER DEFAULT 0,");
            dbms_.AddSql("K5QT INTEGER DEFAULT 0, K5RV INTEGER DEFAULT 0, K01 INTEGER DEFAULT 0");
            dbms_.AddSql(")");
            dbms_.ExecSql();
            dbms_.ClearSql();
        }
    } catch (const EFsDbError& error) {
        view_.ReportStatisticsError(kOpenFailed + dbms_.SQLiteFile + "\r\n" + error.what());
        if (dbms_.Connected()) dbms_.CloseDatabase();
        return false;
    }
    // A shot's two statements cost two syncs of the disk in a rollback journal, and a run of a
    // thousand shots half a minute; in write-ahead mode they cost nothing while the run goes, and a
    // power loss can take only the last counts, never the file. A database another program holds
    // open stays as it is.
    for (const char* pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
        try {
            dbms_.ClearSql();
            dbms_.AddSql(pragma);
            dbms_.ExecSql();
        } catch (const EFsDbError&) {
        }
    }
    dbms_.ClearSql();
    return true;
}

void TCardStatistics::CloseDatabase() {
    if (dbms_.Connected()) dbms_.CloseDatabase();
}

void TCardStatistics::LoadCameraTally() {
    card_file_count_ = 0;
    card_kb_ = 0;
    const IniFile ini(CardInfoPath());
    k5_tally_ = ReadInt64(ini, kK5, "Count");
    k5_tally_kb_ = ReadInt64(ini, kK5, "Size");
    k01_tally_ = ReadInt64(ini, kK01, "Count");
    k01_tally_kb_ = ReadInt64(ini, kK01, "Size");
    // A new run: its database troubles are told anew, and a locked database is waited for again.
    reported_.clear();
    busy_reported_ = false;
    dbms_.SetBusyTimeout(busy_timeout_ms_);
}

void TCardStatistics::TallyRawFile(const std::string& path, std::int64_t size) {
    const std::string ext = AsciiLower(ExtensionOf(path));
    if (ext != ".pef" && ext != ".dng") return;
    const std::int64_t kb = RoundHalfAway(static_cast<double>(size) / 1024);
    const std::string name = NameOf(path);
    if (name.find("K5") != std::string::npos) {
        ++k5_tally_;
        k5_tally_kb_ += kb;
    }
    if (name.find("IMGP") != std::string::npos) {
        ++k01_tally_;
        k01_tally_kb_ += kb;
    }
    ++card_file_count_;
    card_kb_ += kb;
}

void TCardStatistics::SaveCameraTally() {
    SaveShotCounts();
    {
        const IniWriteBatch batch;
        const IniFile ini(CardInfoPath());
        SaveTally(ini, kK5, k5_tally_, k5_tally_kb_);
        SaveTally(ini, kK01, k01_tally_, k01_tally_kb_);
    }
    ShowCameraAverages();
}

void TCardStatistics::ShowCameraAverages() {
    const IniFile ini(CardInfoPath());
    const auto text = [&ini](const char* section) {
        return std::string(section) + " : " + ini.ReadString(section, "Ave", "0.0MB") + "　 " +
               ini.ReadString(section, "Count", "0") + " Shot";
    };
    view_.ShowCameraAverages(text(kK5), text(kK01));
}

void TCardStatistics::CountShot(const std::string& path, const std::string& shot_date) {
    const std::string name = NameOf(path);
    // The camera pattern: four-character prefix, four-figure number, dot, three-letter extension.
    if (LegacyWidth(name) != 12) return;
    const std::string prefix = NamePrefix(name);
    const int number = NumberOf(name);
    if (prefix == "K5QT") counts_.k5qt = number;
    if (prefix == "K5RV") counts_.k5rv = number;
    if (prefix == "IMGP") counts_.k01 = number;
    // The RAW file and the JPEG of one shot count once, and so does a shot seen again.
    if (counted_shots_.insert(AsciiLower(NameBase(name))).second) {
        AddShotToCounters(prefix, shot_date);
    }
}

void TCardStatistics::AddShotToCounters(const std::string& camera, const std::string& shot_date) {
    if (camera == "PHOT") return;
    const std::string tag = camera == "IMGP" ? "K01" : camera;
    // The working copy is written once a run, not once a shot: a write of it waits for the disk,
    // and nothing reads it before the run has ended.
    for (const std::string& section : {tag, std::string(kTotal)}) {
        const auto same = [&](const UnsavedShots& u) {
            return u.section == section && u.day == shot_date;
        };
        const auto found = std::find_if(unsaved_shots_.begin(), unsaved_shots_.end(), same);
        if (found != unsaved_shots_.end()) {
            ++found->count;
        } else {
            unsaved_shots_.push_back({section, shot_date, 1});
        }
    }
    if (!mode_ || !dbms_.Connected()) return;
    // The tag names a column: only letters and digits, and always quoted as a name.
    if (!IsShotTagColumn(tag)) {
        ReportOnce(kShotTagRefused + tag);
        return;
    }
    const std::string column = "\"" + tag + "\"";
    const std::string day = dbms_.QuoteValue(shot_date);
    try {
        dbms_.ClearSql();
        dbms_.AddSql(std::string("SELECT Count(*) AS CNT FROM ") + kShotTable +
                     " WHERE 日付 = " + day);
        dbms_.OpenSql();
        const std::int64_t rows = DbValueToInt(dbms_.FieldValue("CNT"));
        dbms_.ClearSql();
        if (rows == 0) {
            dbms_.AddSql(std::string("INSERT INTO ") + kShotTable + " (");
            dbms_.AddSql("日付, 合計,  " + column);
            dbms_.AddSql(") VALUES (");
            dbms_.AddSql(day + ",");
            dbms_.AddSql("1, ");
            dbms_.AddSql("1");
            dbms_.AddSql(")");
        } else {
            dbms_.AddSql(std::string("UPDATE ") + kShotTable + " SET ");
            dbms_.AddSql("合計 = 合計 + 1,");
            dbms_.AddSql(column + " = " + column + " + 1");
            dbms_.AddSql("WHERE 日付 = " + day);
        }
        dbms_.ExecSql();
        dbms_.ClearSql();
    } catch (const EFsDbError&) {
        DatabaseFailed();
    }
}

void TCardStatistics::SaveShotCounts() {
    if (unsaved_shots_.empty()) return;
    const IniWriteBatch batch;
    const IniFile ini(places_.temp_folder + "/" + kImgCountFile);
    for (const UnsavedShots& u : unsaved_shots_)
        ini.WriteInteger(u.section, u.day, ini.ReadInteger(u.section, u.day, 0) + u.count);
    unsaved_shots_.clear();
}

void TCardStatistics::DatabaseFailed() {
    std::string text;
    for (const std::string& line : dbms_.SQL)
        text += (text.empty() ? "" : "\r\n") + line;
    dbms_.ClearSql();
    if (dbms_.LastErrorWasBusy()) {
        // Told once; the rest of the run does not wait for it again, so the copy goes on at its
        // pace, and each later shot is written if the database comes free.
        dbms_.SetBusyTimeout(0);
        if (busy_reported_) return;
        busy_reported_ = true;
        view_.ReportStatisticsError(std::string(kShotDatabaseBusy) + "\r\n\r\n" + text);
        return;
    }
    ReportOnce(text);
}

void TCardStatistics::ReportOnce(const std::string& text) {
    if (reported_.insert(text).second) view_.ReportStatisticsError(text);
}

void TCardStatistics::UpdateCardInfo(const std::string& card_folder) {
    // The card's own file lies in its root, beside DCIM.
    const std::string card_root = FolderOf(card_folder);
    const std::string card_file = card_root + "/" + kCardInfoFile;
    std::string card_id;
    if (FileExists(card_file)) {
        card_id = IniFile(card_file).ReadString("INFO", "CARD-ID", kDefaultCardId);
        if (card_id.empty()) card_id = kDefaultCardId;
    } else {
        card_id = view_.ChooseCard();
        // No card chosen: nothing is written onto the card or counted for a card of no name.
        if (card_id.empty()) return;
        IniFile(card_file).WriteString("INFO", "CARD-ID", card_id);
    }

    const IniFile ini(CardInfoPath());
    std::int64_t fw_mb = 0, fw_cn = 0, capacity_mb = 0;
    std::string label;
    {
        const IniWriteBatch batch;
        const std::int64_t size_gb = ini.ReadInteger(card_id, "SIZE", 16);
        capacity_mb = size_gb * 1000000000 / 1024 / 1024;
        label = ini.ReadString(card_id, "NAME", "") + " " + ini.ReadString(card_id, "CLAS", "") +
                " " + ini.ReadString(card_id, "SIZE", "") + "GB";
        fw_mb =
            ReadInt64(ini, card_id, "FwMB") + RoundHalfAway(static_cast<double>(card_kb_) / 1024);
        fw_cn = ReadInt64(ini, card_id, "FwCn") + card_file_count_;
        WriteInt64(ini, card_id, "FwMB", fw_mb);
        WriteInt64(ini, card_id, "FwCn", fw_cn);
        const std::string stamp = clock_.Now().ToText().substr(0, 16);
        if (ini.ReadString(card_id, "FirstDate", "").empty())
            ini.WriteString(card_id, "FirstDate", stamp);
        ini.WriteString(card_id, "LastDate", stamp);
        WriteInt64(ini, card_id, "抜差回数", ReadInt64(ini, card_id, "抜差回数") + 1);
        if (!card_folder.empty() && ini.ReadString(card_id, "SIZEMB", "").empty()) {
            const std::string measured = CardSizeMB(card_root);
            if (!measured.empty()) ini.WriteString(card_id, "SIZEMB", measured);
        }
    }

    std::string file_label;
    if (fw_cn > 0) {
        // A card of no stated size has no share to show.
        const double percent =
            capacity_mb > 0 ? static_cast<double>(fw_mb) / static_cast<double>(capacity_mb) * 100
                            : 0;
        file_label = "　カード転送合計　　" + std::to_string(fw_mb) + "MB / " +
                     std::to_string(capacity_mb) + "MB (" + FormatOneDecimal(percent) + "%)　　" +
                     std::to_string(fw_cn) + "ファイル" + "　　平均サイズ： " +
                     FormatOneDecimal(static_cast<double>(fw_mb) / static_cast<double>(fw_cn)) +
                     "MB";
    }
    view_.ShowCardStatistics("　" + label, file_label);
}

}  // namespace pelko
