#include "support/fs_db.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/test_util.h"

namespace pelko {
namespace {

struct Events {
    std::vector<std::pair<int, std::string>> errors;
    std::vector<std::string> sent;  // SQL as OnSQLExec saw it
    void Watch(TFsDb& db) {
        db.OnError = [this](TFsDb&, int n, const std::string& d) { errors.emplace_back(n, d); };
        db.OnSQLExec = [this](TFsDb&, const std::string& sql, bool) { sent.push_back(sql); };
    }
};

// A Windows engine kind sets its family and reports 10001; statements then go nowhere.
void OpenFamily(TFsDb& db, TEngine engine) {
    db.DataBaseType = engine;
    db.ErrorCreateRaise = false;
    EXPECT_FALSE(db.OpenDatabase(0));
}

TEST(FsDb, QuotingAndDialectRewritingPerFamily) {
    struct Case {
        TEngine engine;
        bool change;
        const char* sql;
        const char* changed;  // ChangeSql(sql, '"', '\'')
        const char* quoted;   // QuoteValue("O'Brien \"Bob\"")
    };
    const Case cases[] = {
        {TEngine::dbADOConStr, true, R"(SELECT * FROM T WHERE A = "x*" AND B LIKE "ab*")",
         R"(SELECT * FROM T WHERE A = 'x*' AND B LIKE 'ab%')", R"('O''Brien "Bob"')"},
        {TEngine::dbSQLite, false, R"(SELECT "a*" LIKE "b*")", R"(SELECT "a*" LIKE "b*")",
         R"('O''Brien "Bob"')"},
        {TEngine::dbAccess2000, true, "SELECT 'x%' FROM T WHERE B like 'ab%'",
         R"(SELECT "x%" FROM T WHERE B like "ab*")", R"("O'Brien ""Bob""")"},
    };
    for (const Case& c : cases) {
        TFsDb db;
        if (c.engine == TEngine::dbSQLite) {
            db.DataBaseType = c.engine;
            db.SQLiteFile = ":memory:";
            ASSERT_TRUE(db.OpenDatabase(0));
        } else {
            OpenFamily(db, c.engine);
        }
        db.UsedChangeSql = c.change;
        EXPECT_EQ(db.ChangeSql(c.sql, '"', '\''), c.changed);
        EXPECT_EQ(db.QuoteValue("O'Brien \"Bob\""), c.quoted);
        EXPECT_EQ(db.QuoteValue(""), c.engine == TEngine::dbAccess2000 ? "\"\"" : "''");
    }
    // Before any connect the DAO way holds.
    EXPECT_EQ(TFsDb().QuoteValue("O'Brien"), "\"O'Brien\"");
}

TEST(FsDb, DeleteStarFromLosesTheStarOnAnsiFamiliesOnly) {
    for (const TEngine engine : {TEngine::dbADO, TEngine::dbOracle, TEngine::dbAccess97}) {
        TFsDb db;
        Events events;
        events.Watch(db);
        OpenFamily(db, engine);
        db.AddSql("delete * from T");
        EXPECT_FALSE(db.ExecSql());
        EXPECT_EQ(events.sent.back(),
                  engine == TEngine::dbAccess97 ? "delete * from T\r\n" : "DELETE FROM T\r\n");
    }
}

TEST(FsDb, WindowsEnginesReportCreationFailureAndKeepPasswordsOutOfTheLog) {
    const test::TempDir dir;
    TFsDb db;
    Events events;
    events.Watch(db);
    db.LogFileName = dir / "logs/deep/sql.log";
    // Without LogWrite only the folder is made.
    OpenFamily(db, TEngine::dbAccess2000);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "logs/deep"));
    EXPECT_FALSE(std::filesystem::exists(db.LogFileName));
    db.CloseDatabase();
    ASSERT_EQ(events.errors.size(), 2u);
    EXPECT_EQ(events.errors[1],
              std::make_pair(10002, std::string("クローズ失敗：データベースがオープン"
                                                "されていません")));

    db.LogWrite = true;
    db.ErrorCreateRaise = true;
    db.DataBaseType = TEngine::dbADOConStr;
    db.AdoConnectStr = "Provider=X;Data Source=a.mdb;Password=hunter2;pwd = s3cret";
    EXPECT_THROW(db.OpenDatabase(0), EFsDbError);
    db.DataBaseType = TEngine::dbOracle;
    db.OraPassword = "tiger";
    db.ErrorCreateRaise = false;
    EXPECT_FALSE(db.OpenDatabase(0));
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(events.errors.back(),
              std::make_pair(10001, std::string("OracleInProcServer.XOraSession : "
                                                "データベースインスタンスの作成に失敗しました")));
    const std::string log = test::ReadFile(db.LogFileName);
    EXPECT_NE(log.find("ADO Connect String : Provider=X;Data Source=a.mdb;Password=****;pwd =****"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("ADODB.Connection Fail\r\n\r\n"), std::string::npos);
    for (const char* secret : {"hunter2", "s3cret", "tiger"})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST(FsDb, SQLiteStatementsRecordsetsAndFailures) {
    const test::TempDir dir;
    TFsDb db;
    Events events;
    events.Watch(db);
    db.DataBaseType = TEngine::dbSQLite;
    db.SQLiteFile = dir / "t.db";
    ASSERT_TRUE(db.OpenDatabase(0));
    db.AddSql("CREATE TABLE T (x TEXT, n INTEGER)");
    EXPECT_TRUE(db.ExecSql());
    EXPECT_EQ(db.TableNames(), std::vector<std::string>{"T"});
    db.ClearSql();
    db.AddSql("INSERT INTO T VALUES (" + db.QuoteValue("O'Brien") + ", 7)");
    EXPECT_TRUE(db.OpenSql());
    db.ClearSql();
    db.AddSql("  SELECT x, n AS Num ");
    db.AddSql("FROM T");
    ASSERT_TRUE(db.OpenSql());
    EXPECT_EQ(db.SqlText(), "SELECT x, n AS Num FROM T ");
    EXPECT_TRUE(db.RecordsetActive());
    EXPECT_FALSE(db.RecordsetEof());
    EXPECT_EQ(db.FieldValue("X"), TDbValue(std::string("O'Brien")));
    EXPECT_EQ(db.FieldValue("num"), TDbValue(std::int64_t{7}));
    EXPECT_FALSE(db.MoveNext());
    EXPECT_TRUE(db.RecordsetEof());
    db.CloseRecordset();
    EXPECT_EQ(db.SqlText(), "");

    // A second statement after the first is never sent; a failure reports and raises, or only
    // returns false.
    const char* const refused[] = {"UPDATE T SET n = 1; DROP TABLE T", "SELECT 1; DROP TABLE T",
                                   "UPDATE T SET nope = 1"};
    for (const char* sql : refused) {
        db.ClearSql();
        db.AddSql(sql);
        EXPECT_THROW(db.OpenSql(), EFsDbError) << sql;
        db.ErrorCreateRaise = false;
        EXPECT_FALSE(db.ExecSql()) << sql;
        db.ErrorCreateRaise = true;
    }
    EXPECT_EQ(events.errors.size(), 6u);
    EXPECT_EQ(db.TableNames(), std::vector<std::string>{"T"});
    db.ClearSql();
    db.AddSql("DELETE * FROM T");
    EXPECT_TRUE(db.ExecSql());
    db.CloseDatabase();
    EXPECT_FALSE(db.Connected());

    // A file that is no database fails at the open.
    test::WriteFile(dir / "junk.db", std::string(4096, 'x'));
    db.SQLiteFile = dir / "junk.db";
    EXPECT_THROW(db.OpenDatabase(0), EFsDbError);
    EXPECT_EQ(events.errors.back().first, 10001);
}

}  // namespace
}  // namespace pelko
