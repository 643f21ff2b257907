#include "support/fs_db.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "support/file_ops.h"
#include "support/platform.h"
#include "support/text.h"

namespace pelko {

namespace {

constexpr const char* kCreateFailed = " : データベースインスタンスの作成に失敗しました";
constexpr const char* kOpenSuccess = "データベースのオープンに成功しました";
constexpr const char* kCloseSuccess = "データベースをクローズしました";
constexpr const char* kCloseNotOpen = "クローズ失敗：データベースがオープンされていません";
constexpr const char* kRecordsetCreated = "レコードセットが作成されました";
constexpr const char* kDmlIssued = "ＤＭＬを発行しました";
constexpr const char* kFailBanner = "××× Open Recordset Fail ×××\r\n";
// Failures of the component's own checks, reported as the engine's would be.
constexpr const char* kNotOpen = "データベースがオープンされていません";
constexpr const char* kNoFile = "データベースファイルが指定されていません";
constexpr const char* kOneStatement = "一度に実行できる SQL 文は一つだけです";
constexpr const char* kNulInSql = "SQL 文に NUL 文字が含まれています";

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool StartsUpper(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == prefix;
}

void ReplaceChar(std::string& text, std::size_t from, char old_char, char new_char) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == old_char) text[i] = new_char;
    }
}

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::int64_t DbValueToInt(const TDbValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
    if (const auto* real = std::get_if<double>(&value)) return static_cast<std::int64_t>(*real);
    if (const auto* text = std::get_if<std::string>(&value)) {
        std::int64_t number = 0;
        const std::string_view t = TrimSpaces(*text);
        std::from_chars(t.data(), t.data() + t.size(), number);
        return number;
    }
    return 0;
}

std::string DbValueToText(const TDbValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", *real);
        return text;
    }
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    return {};
}

std::string MaskConnectionPasswords(const std::string& connection) {
    std::string masked;
    std::size_t start = 0;
    while (start <= connection.size()) {
        std::size_t end = connection.find(';', start);
        if (end == std::string::npos) end = connection.size();
        std::string_view part(connection.data() + start, end - start);
        const std::size_t eq = part.find('=');
        if (eq != std::string_view::npos) {
            const std::string_view key = TrimSpaces(part.substr(0, eq));
            if (EqualsIgnoreAsciiCase(key, "pwd") || EqualsIgnoreAsciiCase(key, "password")) {
                masked.append(part.substr(0, eq + 1)).append("****");
                part = {};
            }
        }
        masked.append(part);
        if (end == connection.size()) break;
        masked += ';';
        start = end + 1;
    }
    return masked;
}

TFsDb::TFsDb() = default;

TFsDb::~TFsDb() {
    Release();
}

void TFsDb::Release() {
    if (recordset_ != nullptr) sqlite3_finalize(recordset_);
    recordset_ = nullptr;
    recordset_active_ = false;
    recordset_eof_ = true;
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
    connected_ = false;
}

void TFsDb::Report(int number, const std::string& description) {
    if (OnError) OnError(*this, number, description);
}

bool TFsDb::CreateFailed(const std::string& identifier) {
    Report(kDbErrorCreate, identifier + kCreateFailed);
    WriteLog(identifier + " Fail");
    if (ErrorCreateRaise) throw EFsDbError(kDbErrorCreate, identifier + kCreateFailed);
    return false;
}

std::string TFsDb::BuildAdoConnectString() const {
    std::string text;
    const auto part = [&text](const std::string& value, const char* before, const char* after) {
        const std::string_view trimmed = TrimControl(value);
        if (!trimmed.empty()) text.append(before).append(trimmed).append(after);
    };
    part(AdoDriver, "Driver={", "};");
    part(AdoProvider, "Provider=", ";");
    part(AdoDsn, "Dsn=", ";");
    part(AdoServer, "Server=", ";");
    part(AdoLocation, "Location=", ";");
    part(AdoUserID, "Uid=", ";");
    part(AdoPassword, "Pwd=", ";");
    part(AdoDatabase, "Database=", ";");
    part(AdoDataSource, "Data Source=", ";");
    part(AdoDbq, "Dbq=", ";");
    if (!TrimControl(AdoExtraStr).empty()) text += AdoExtraStr;
    return text;
}

bool TFsDb::OpenDatabase(int /*options*/) {
    // Options only ever reached Oracle's open call, which does not exist here.
    Release();
    table_names_.clear();
    switch (DataBaseType) {
        case TEngine::dbAccess2000:
        case TEngine::dbAccess97:
        case TEngine::dbAccess95: {
            engine_kind_ = kEngineDao;
            WriteLog("Open FileName = " + MdbFile);
            const char* id = DataBaseType == TEngine::dbAccess2000 ? "DAO.DBEngine.36"
                             : DataBaseType == TEngine::dbAccess97 ? "DAO.DBEngine.35"
                                                                   : "DAO.DBEngine";
            return CreateFailed(id);
        }
        case TEngine::dbOracle:
            engine_kind_ = kEngineOracle;
            // The password never reaches the log.
            WriteLog("Oracle Connect String : Service=" + OraService + "  UserID=" + OraUserID +
                     "  Password=" + (OraPassword.empty() ? "" : "****"));
            WriteLog("Oracle Try Open");
            return CreateFailed("OracleInProcServer.XOraSession");
        case TEngine::dbADO:
        case TEngine::dbADOConStr: {
            engine_kind_ = kEngineAdo;
            const std::string connection =
                DataBaseType == TEngine::dbADOConStr ? AdoConnectStr : BuildAdoConnectString();
            WriteLog("ADO Connect String : " + MaskConnectionPasswords(connection));
            return CreateFailed("ADODB.Connection");
        }
        case TEngine::dbSQLite:
            break;
    }

    engine_kind_ = kEngineSQLite;
    const std::string id = "SQLite3";
    WriteLog("Open FileName = " + SQLiteFile);
    std::string failure;
    int code = SQLITE_CANTOPEN;
    if (SQLiteFile.empty()) {
        failure = kNoFile;
    } else {
        code = sqlite3_open_v2(SQLiteFile.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                               nullptr);
        if (db_ == nullptr) return CreateFailed(id);
        if (code == SQLITE_OK) {
            sqlite3_extended_result_codes(db_, 1);
            sqlite3_busy_timeout(db_, busy_timeout_ms_);
            // A double-quoted name that is no column stays an error, never a text literal.
            sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
            sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
            // The file is read here, so that one that is no database fails now, not at each
            // statement.
            code =
                sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        }
        if (code != SQLITE_OK) failure = sqlite3_errmsg(db_);
    }
    if (!failure.empty()) {
        const int number = ErrorExcept == TErrExcept::eeOriginal ? code : 0;
        last_engine_error_ = code;
        Release();
        Report(number, failure);
        WriteLog(failure);
        if (ErrorCreateRaise) {
            Report(kDbErrorCreate, id + kCreateFailed);
            WriteLog(id + " Fail");
            throw EFsDbError(number, failure);
        }
        return false;
    }
    RefreshTableNames();
    if (OnSuccess) OnSuccess(*this, kOpenSuccess);
    WriteLog("SQLite Open Success");
    connected_ = true;
    last_engine_error_ = 0;
    return true;
}

void TFsDb::CloseDatabase() {
    if (!connected_) {
        Report(kDbErrorNotOpen, kCloseNotOpen);
        return;
    }
    CloseRecordset();
    Release();
    WriteLog("Database Close Success");
    if (OnSuccess) OnSuccess(*this, kCloseSuccess);
}

void TFsDb::ClearSql() {
    CloseRecordset();
    SQL.clear();
}

void TFsDb::AddSql(const std::string& line) {
    SQL.push_back(line);
}

std::string TFsDb::QuoteValue(const std::string& s) const {
    const char quote = AnsiFamily() ? '\'' : '"';
    std::string quoted(1, quote);
    for (const char c : s) {
        quoted += c;
        if (c == quote) quoted += c;
    }
    quoted += quote;
    return quoted;
}

bool TFsDb::OpenSql() {
    CloseRecordset();
    std::string text;
    for (const std::string& line : SQL)
        text.append(TrimControl(line)).append(" ");
    sql_text_ = text;
    if (StartsUpper(sql_text_, "SELECT")) return OpenRecordset(sql_text_);
    return ExecuteDml(sql_text_);
}

bool TFsDb::ExecSql() {
    std::string text;
    for (const std::string& line : SQL)
        text.append(line).append("\r\n");
    return ExecuteDml(text);
}

std::string TFsDb::ChangeSql(const std::string& sql, char from_quote, char to_quote) const {
    if (!UsedChangeSql) return sql;
    std::string changed = sql;
    std::size_t like = FindIgnoreAsciiCase(changed, "LIKE");
    if (AnsiFamily()) {
        ReplaceChar(changed, 0, from_quote, to_quote);
        if (like != std::string::npos) ReplaceChar(changed, like, '*', '%');
    } else {
        ReplaceChar(changed, 0, '\'', '"');
        if (like != std::string::npos) ReplaceChar(changed, like, '%', '*');
    }
    return changed;
}

bool TFsDb::StatementFailed(const std::string& sql, int code, const std::string& description) {
    last_engine_error_ = code;
    const bool original = ErrorExcept == TErrExcept::eeOriginal;
    const int number = original ? code : 0;
    Report(number, description);
    WriteLog((original ? kFailBanner : "") + description + "\r\n" + sql);
    if (OnSQLExec) OnSQLExec(*this, sql, false);
    if (ErrorCreateRaise) throw EFsDbError(number, description);
    return false;
}

std::optional<std::string> TFsDb::Unrunnable(const std::string& sql) const {
    if (db_ == nullptr) return kNotOpen;
    if (sql.find('\0') != std::string::npos) return kNulInSql;
    return std::nullopt;
}

bool TFsDb::OnlyOneStatement(const std::string& sql, const char* tail) {
    const char* end = sql.c_str() + sql.size();
    if (tail == nullptr || tail >= end) return true;
    sqlite3_stmt* more = nullptr;
    const int code = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &more, nullptr);
    sqlite3_finalize(more);
    return code == SQLITE_OK && more == nullptr;
}

bool TFsDb::OpenRecordset(const std::string& statement) {
    const std::string sql = ChangeSql(statement, '"', '\'');
    WriteLog(sql);
    if (const std::optional<std::string> why = Unrunnable(sql))
        return StatementFailed(sql, SQLITE_MISUSE, *why);
    const char* tail = nullptr;
    int code =
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &recordset_, &tail);
    if (code == SQLITE_OK && (recordset_ == nullptr || !OnlyOneStatement(sql, tail))) {
        sqlite3_finalize(recordset_);
        recordset_ = nullptr;
        return StatementFailed(sql, SQLITE_MISUSE, kOneStatement);
    }
    if (code == SQLITE_OK) code = sqlite3_step(recordset_);
    if (code != SQLITE_ROW && code != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_finalize(recordset_);
        recordset_ = nullptr;
        return StatementFailed(sql, code, message);
    }
    last_engine_error_ = 0;
    recordset_eof_ = code == SQLITE_DONE;
    recordset_active_ = true;
    if (OnSuccess) OnSuccess(*this, kRecordsetCreated);
    if (OnSQLExec) OnSQLExec(*this, sql, true);
    return true;
}

bool TFsDb::ExecuteDml(std::string sql) {
    if (AnsiFamily()) {
        sql = ChangeSql(sql, '"', '\'');
        if (StartsUpper(sql, "DELETE * FROM")) sql = "DELETE FROM" + sql.substr(13);
    }
    WriteLog(sql);
    if (const std::optional<std::string> why = Unrunnable(sql))
        return StatementFailed(sql, SQLITE_MISUSE, *why);
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    int code =
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, &tail);
    if (code == SQLITE_OK && (statement == nullptr || !OnlyOneStatement(sql, tail))) {
        // Nothing to run, or a second statement after the first: neither is sent.
        sqlite3_finalize(statement);
        return StatementFailed(sql, SQLITE_MISUSE, kOneStatement);
    }
    if (code == SQLITE_OK) {
        do {
            code = sqlite3_step(statement);
        } while (code == SQLITE_ROW);
    }
    const std::string message = code == SQLITE_DONE ? std::string() : sqlite3_errmsg(db_);
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) return StatementFailed(sql, code, message);
    last_engine_error_ = 0;
    if (OnSuccess) OnSuccess(*this, kDmlIssued);
    if (OnSQLExec) OnSQLExec(*this, sql, true);
    const std::string head = Upper(TrimControl(sql));
    if (head.starts_with("DROP") || head.starts_with("CREATE")) RefreshTableNames();
    return true;
}

TDbValue TFsDb::FieldValue(const std::string& name) const {
    if (recordset_ == nullptr || recordset_eof_) return {};
    const int columns = sqlite3_column_count(recordset_);
    for (int i = 0; i < columns; ++i) {
        const char* column = sqlite3_column_name(recordset_, i);
        if (column == nullptr || !EqualsIgnoreAsciiCase(column, name)) continue;
        switch (sqlite3_column_type(recordset_, i)) {
            case SQLITE_INTEGER:
                return static_cast<std::int64_t>(sqlite3_column_int64(recordset_, i));
            case SQLITE_FLOAT:
                return sqlite3_column_double(recordset_, i);
            case SQLITE_NULL:
                return {};
            default: {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(recordset_, i));
                const int size = sqlite3_column_bytes(recordset_, i);
                return bytes == nullptr ? std::string() : std::string(bytes, bytes + size);
            }
        }
    }
    return {};
}

std::vector<std::string> TFsDb::FieldNames() const {
    std::vector<std::string> names;
    if (recordset_ == nullptr) return names;
    const int columns = sqlite3_column_count(recordset_);
    for (int i = 0; i < columns; ++i) {
        const char* column = sqlite3_column_name(recordset_, i);
        names.emplace_back(column == nullptr ? "" : column);
    }
    return names;
}

bool TFsDb::MoveNext() {
    if (recordset_ == nullptr || recordset_eof_) return false;
    const int code = sqlite3_step(recordset_);
    if (code == SQLITE_ROW) return true;
    if (code != SQLITE_DONE) last_engine_error_ = code;
    recordset_eof_ = true;
    return false;
}

void TFsDb::CloseRecordset() {
    if (recordset_ == nullptr) return;
    sql_text_.clear();
    sqlite3_finalize(recordset_);
    recordset_ = nullptr;
    recordset_active_ = false;
    recordset_eof_ = true;
}

void TFsDb::RefreshTableNames() {
    table_names_.clear();
    if (db_ == nullptr) return;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_,
                           "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                           "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                           -1, &statement, nullptr) != SQLITE_OK) {
        return;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        if (name != nullptr) table_names_.emplace_back(name);
    }
    sqlite3_finalize(statement);
}

bool TFsDb::LastErrorWasBusy() const {
    const int code = last_engine_error_ & 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

void TFsDb::SetBusyTimeout(int milliseconds) {
    busy_timeout_ms_ = milliseconds < 0 ? 0 : milliseconds;
    if (db_ != nullptr) sqlite3_busy_timeout(db_, busy_timeout_ms_);
}

void TFsDb::WriteLog(const std::string& text) {
    if (LogFileName.empty()) return;
    const std::string folder = FolderOf(LogFileName);
    if (!folder.empty() && !FolderExists(folder)) FolderCreate(folder);
    if (!LogWrite) return;
    static const SystemClock system_clock;
    const DateTime now = (Clock != nullptr ? *Clock : system_clock).Now();
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d", now.millisecond % 1000);
    const std::string entry = "----- " + now.ToText() + millis + " -----\r\n" + text + "\r\n\r\n";
    const int fd = ::open(LogFileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    std::size_t written = 0;
    while (written < entry.size()) {
        const ssize_t n = ::write(fd, entry.data() + written, entry.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace pelko
