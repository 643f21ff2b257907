#include <charconv>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/row_text.h"
#include "cli/usage.h"
#include "copy/card_statistics.h"
#include "copy/copy_settings.h"
#include "support/file_ops.h"
#include "support/fs_db.h"
#include "support/ini_file.h"
#include "support/text.h"

namespace pelko::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kCameraSections[] = {"K5", "K-01"};
// The keys of a camera's tally in CardInfo.ini and their names in JSON.
constexpr std::pair<const char*, const char*> kTallyKeys[] = {
    {"Count", "count"}, {"Size", "size_kb"}, {"Ave", "average"}, {"4G", "fit_4g"},
    {"8G", "fit_8g"},   {"16G", "fit_16g"},  {"32G", "fit_32g"}};
constexpr const char* kSharedSection = "FrmDCMain";
constexpr std::pair<const char*, int TShotCounts::*> kCountKeys[] = {
    {"K5QT Count", &TShotCounts::k5qt},
    {"K5RV Count", &TShotCounts::k5rv},
    {"K-01 Count", &TShotCounts::k01}};

// A value as JSON: a whole number as a number, anything else as text.
Json JsonValue(const TDbValue& value) {
    if (std::holds_alternative<std::monostate>(value)) return nullptr;
    if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
    if (const auto* real = std::get_if<double>(&value)) return *real;
    const std::string& text = std::get<std::string>(value);
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size()) return number;
    return JsonText(text);
}

// Prints the day rows of 撮影枚数; false (after a line on err) when the database fails.
bool PrintShots(const std::string& app_folder, bool json, std::ostream& out, std::ostream& err) {
    const std::string path = app_folder + "/" + kShotDatabaseFile;
    // Only read: a database that is not there is not made.
    if (!FileExists(path)) return true;
    TFsDb db;
    db.DataBaseType = TEngine::dbSQLite;
    db.SQLiteFile = path;
    db.ErrorCreateRaise = false;
    std::string failure;
    db.OnError = [&failure](TFsDb&, int, const std::string& text) {
        if (failure.empty()) failure = text;
    };
    bool found = false;
    if (db.OpenDatabase(0)) {
        for (const std::string& table : db.TableNames())
            found = found || EqualsIgnoreAsciiCase(table, kShotTable);
    }
    if (found) {
        db.AddSql(std::string("SELECT * FROM ") + kShotTable + " ORDER BY 日付");
        for (bool row = db.OpenSql() && !db.RecordsetEof(); row; row = db.MoveNext()) {
            Json cameras = Json::object();
            std::vector<std::string> fields = {"shots", DbValueToText(db.FieldValue("日付")),
                                               DbValueToText(db.FieldValue("合計"))};
            for (const std::string& name : db.FieldNames()) {
                if (name == "日付" || name == "合計") continue;
                const TDbValue value = db.FieldValue(name);
                fields.push_back(name + "=" + DbValueToText(value));
                cameras[JsonText(name)] = JsonValue(value);
            }
            if (json) {
                out << Json{{"type", "shots"},
                            {"date", JsonText(fields[1])},
                            {"total", JsonValue(db.FieldValue("合計"))},
                            {"cameras", std::move(cameras)}}
                           .dump()
                    << "\n";
            } else {
                out << RowLine(fields) << "\n";
            }
        }
    }
    if (db.Connected()) db.CloseDatabase();
    if (failure.empty()) return true;
    err << "pelkocopy-cli stats: " << path << ": " << EscapeRowField(failure) << "\n";
    return false;
}

void PrintTallies(const std::string& app_folder, bool json, std::ostream& out) {
    const IniFile ini(app_folder + "/" + kCardInfoFile);
    for (const char* section : kCameraSections) {
        if (!ini.SectionExists(section)) continue;
        std::vector<std::string> fields = {"camera", section};
        Json object{{"type", "camera"}, {"camera", section}};
        for (const auto& [key, name] : kTallyKeys) {
            const std::string value = ini.ReadString(section, key, "");
            fields.push_back(value);
            object[name] = JsonValue(value.empty() ? TDbValue() : TDbValue(value));
        }
        out << (json ? object.dump() : RowLine(fields)) << "\n";
    }
}

// The statistics of an import, kept as the window keeps them from its start to its close: the
// working ImgCount.txt copied in from the application folder and back, the three counters of
// PelkoCopy.ini read and written, the database opened and closed. Messages go to err; a card
// without its identifier file keeps its statistics as they were, since nobody can be asked.
class ImportStatistics final : public ICardStatistics, private ICardStatisticsView {
  public:
    ImportStatistics(bool mode, const ProgramFacts& facts, const IClock& clock, std::ostream& err)
        : app_(facts.app_folder),
          temp_(facts.temp_folder.empty() ? facts.app_folder : facts.temp_folder),
          err_(err),
          shared_(app_ + "/PelkoCopy.ini"),
          statistics_({app_, temp_}, mode, clock, *this, counts_) {
        FolderCreate(app_);
        for (const auto& [key, member] : kCountKeys)
            counts_.*member = shared_.ReadInteger(kSharedSection, key, 0);
        if (temp_ != app_ && FileExists(ImgCount(app_))) {
            FileCopy(ImgCount(app_), ImgCount(temp_), true);
        }
        if (mode) statistics_.OpenDatabase();
    }
    ~ImportStatistics() override {
        statistics_.CloseDatabase();
        statistics_.SaveShotCounts();
        if (temp_ != app_ && FileExists(ImgCount(temp_))) {
            FileCopy(ImgCount(temp_), ImgCount(app_), true);
        }
        const IniWriteBatch batch;
        for (const auto& [key, member] : kCountKeys)
            shared_.WriteInteger(kSharedSection, key, counts_.*member);
    }
    ImportStatistics(const ImportStatistics&) = delete;
    ImportStatistics& operator=(const ImportStatistics&) = delete;

    void LoadCameraTally() override { statistics_.LoadCameraTally(); }
    void TallyRawFile(const std::string& path, std::int64_t size) override {
        statistics_.TallyRawFile(path, size);
    }
    void CountShot(const std::string& path, const std::string& shot_date) override {
        statistics_.CountShot(path, shot_date);
    }
    void SaveCameraTally() override { statistics_.SaveCameraTally(); }
    void UpdateCardInfo(const std::string& card_folder) override {
        statistics_.UpdateCardInfo(card_folder);
    }

  private:
    static std::string ImgCount(const std::string& folder) { return folder + "/" + kImgCountFile; }
    void ReportStatisticsError(const std::string& text) override {
        err_ << "pelkocopy-cli import: " << EscapeRowField(text) << "\n";
    }
    std::string ChooseCard() override {
        err_ << "pelkocopy-cli import: the card has no " << kCardInfoFile
             << "; its card statistics are left as they were\n";
        return {};
    }

    const std::string app_, temp_;
    std::ostream& err_;
    const IniFile shared_;
    TShotCounts counts_;
    TCardStatistics statistics_;
};

}  // namespace

std::unique_ptr<ICardStatistics> StartImportStatistics(const MainWindowSettings& settings,
                                                       const ProgramFacts& facts,
                                                       const IClock& clock, std::ostream& err) {
    if (!settings.mode && !settings.mode_sp_user) return nullptr;
    return std::make_unique<ImportStatistics>(settings.mode, facts, clock, err);
}

int RunStats(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err) {
    bool json = false;
    bool options_done = false;
    for (const std::string& arg : args) {
        if (!options_done && arg == "--") {
            options_done = true;
        } else if (options_done || !arg.starts_with("-")) {
            return BadUsage(err, "stats", "takes no operands: " + arg);
        } else if (arg == "--json") {
            json = true;
        } else {
            return BadUsage(err, "stats", "unknown option " + arg);
        }
    }
    const bool ok = PrintShots(facts.app_folder, json, out, err);
    PrintTallies(facts.app_folder, json, out);
    out.flush();
    return ok && out ? 0 : 1;
}

}  // namespace pelko::cli
