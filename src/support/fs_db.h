#pragma once

// TFsDb: small, engine-neutral database access for a window. It connects to one database,
// collects SQL text line by line, runs it (a SELECT opens the one current recordset, anything
// else is executed as one statement), reads field values and disconnects; it reports every
// outcome through three events, can rewrite SQL between the Access and the ANSI dialects, and can
// append every statement to a text log.
//
// The working engine is SQLite (dbSQLite, a database file path), which quotes the ANSI way. The
// engines of the Windows program (DAO, Oracle's automation server, ADO) keep their kinds and
// settings, but their automation objects do not exist here: opening one reports 10001.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pelko {

class IClock;

enum class TEngine { dbAccess2000, dbAccess97, dbOracle, dbADO, dbADOConStr, dbAccess95, dbSQLite };
enum class TAdoRec { adoReadOnly, adoReadWrite };
// Which error text is reported: the engine's own error, or the message of the raised error.
enum class TErrExcept { eeOriginal, eeDbEngine };

// The family each engine kind belongs to (EngineKind).
inline constexpr int kEngineDao = 0;
inline constexpr int kEngineOracle = 1;
inline constexpr int kEngineAdo = 2;
inline constexpr int kEngineSQLite = 3;

// Report numbers of the component itself.
inline constexpr int kDbErrorCreate = 10001;
inline constexpr int kDbErrorNotOpen = 10002;

// A field's value: Null, an integer, a real or a text (blobs as their bytes).
using TDbValue = std::variant<std::monostate, std::int64_t, double, std::string>;
// The value as an integer: texts and reals converted as far as they go, Null as 0.
std::int64_t DbValueToInt(const TDbValue& value);
// The value as text: Null as empty.
std::string DbValueToText(const TDbValue& value);

// What an operation raises after its report when ErrorCreateRaise is set.
class EFsDbError : public std::runtime_error {
  public:
    EFsDbError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int Number() const { return number_; }

  private:
    int number_;
};

class TFsDb {
  public:
    TFsDb();
    // Releases the connection without events; the owner calls CloseDatabase first.
    ~TFsDb();
    TFsDb(const TFsDb&) = delete;
    TFsDb& operator=(const TFsDb&) = delete;

    // Published properties.
    TEngine DataBaseType = TEngine::dbAccess2000;
    bool ErrorCreateRaise = true;
    std::string MdbFile;
    std::string SQLiteFile;  // the database file of dbSQLite, created when missing
    std::string OraService, OraUserID, OraPassword;
    std::string AdoDriver, AdoProvider, AdoDsn, AdoServer, AdoLocation, AdoUserID, AdoPassword,
        AdoDatabase, AdoDataSource, AdoDbq, AdoExtraStr;
    std::string AdoOptUserID, AdoOptPassword, AdoOptOptions;
    std::string AdoConnectStr;
    TAdoRec AdoRecordSetOption = TAdoRec::adoReadOnly;
    TErrExcept ErrorExcept = TErrExcept::eeOriginal;
    std::string LogFileName;
    bool LogWrite = false;
    bool UsedChangeSql = false;
    // The clock of the log's time stamps; null: the system clock.
    const IClock* Clock = nullptr;

    // Events: (sender, number, description), (sender, description), (sender, SQL, success).
    std::function<void(TFsDb&, int, const std::string&)> OnError;
    std::function<void(TFsDb&, const std::string&)> OnSuccess;
    std::function<void(TFsDb&, const std::string&, bool)> OnSQLExec;

    // The statement lines collected by AddSql.
    std::vector<std::string> SQL;

    bool OpenDatabase(int options);
    void CloseDatabase();
    void ClearSql();
    void AddSql(const std::string& line);
    // The SQL literal for s: single quotes doubled inside single quotes for the ANSI families
    // (Oracle, ADO, SQLite), double quotes doubled inside double quotes for DAO and before any
    // connect.
    std::string QuoteValue(const std::string& s) const;
    // Runs the collected lines, each trimmed and followed by one space: a SELECT opens the
    // recordset, anything else is executed.
    bool OpenSql();
    // Executes the collected lines joined by CR LF, with a final line break.
    bool ExecSql();
    // The named field (ASCII letters folded) of the current row; Null when there is none.
    TDbValue FieldValue(const std::string& name) const;
    void CloseRecordset();
    // Moves the recordset to its next row; false at its end (RecordsetEof is then true).
    bool MoveNext();
    // The fields of the recordset, in order.
    std::vector<std::string> FieldNames() const;

    // The dialect rewriting (only with UsedChangeSql): ANSI families replace from_quote by
    // to_quote and, from the first LIKE on, "*" by "%"; DAO replaces every single quote by a
    // double quote and, from the first LIKE on, "%" by "*".
    std::string ChangeSql(const std::string& sql, char from_quote, char to_quote) const;
    void RefreshTableNames();
    // Appends an entry to the log (see LogFileName and LogWrite).
    void WriteLog(const std::string& text);

    // How long a statement waits for a database that another program holds locked before it
    // fails; applied at once when connected.
    void SetBusyTimeout(int milliseconds);
    int BusyTimeout() const { return busy_timeout_ms_; }

    bool Connected() const { return connected_; }
    int EngineKind() const { return engine_kind_; }
    bool RecordsetEof() const { return recordset_eof_; }
    bool RecordsetActive() const { return recordset_active_; }
    const std::string& SqlText() const { return sql_text_; }
    const std::vector<std::string>& TableNames() const { return table_names_; }
    // The SQLite result code of the last failed statement (0 after a success): tells a database
    // held locked (SQLITE_BUSY) from a fault of the statement.
    int LastEngineError() const { return last_engine_error_; }
    // The last statement failed because another connection holds the database locked.
    bool LastErrorWasBusy() const;

  private:
    bool AnsiFamily() const { return engine_kind_ != kEngineDao; }
    bool OpenRecordset(const std::string& sql);
    bool ExecuteDml(std::string sql);
    // Reports a failed statement (events and log) and raises it when asked; returns false.
    bool StatementFailed(const std::string& sql, int code, const std::string& description);
    // Why sql cannot be sent at all (no connection, a NUL inside), or nothing.
    std::optional<std::string> Unrunnable(const std::string& sql) const;
    // True when nothing but blanks and comments follows the first statement, at tail.
    bool OnlyOneStatement(const std::string& sql, const char* tail);
    void Report(int number, const std::string& description);
    // The 10001 report of an engine whose object cannot be created; raises when asked.
    bool CreateFailed(const std::string& identifier);
    std::string BuildAdoConnectString() const;
    void Release();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* recordset_ = nullptr;
    int engine_kind_ = kEngineDao;
    bool connected_ = false;
    bool recordset_eof_ = true;
    bool recordset_active_ = false;
    std::string sql_text_;
    std::vector<std::string> table_names_;
    int busy_timeout_ms_ = 3000;
    int last_engine_error_ = 0;
};

// Connection text with the values of its password keys ("Pwd", "Password") masked, for the log.
std::string MaskConnectionPasswords(const std::string& connection);

}  // namespace pelko
