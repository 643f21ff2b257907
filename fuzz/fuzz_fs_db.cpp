// Quotes arbitrary bytes as an SQL value and runs it through SQLite: the value must come back
// exactly, whatever quotes or statement text it holds. Also rewrites the bytes between the
// dialects, which only ever swaps single characters.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "support/fs_db.h"

namespace {

pelko::TFsDb& Database() {
    static pelko::TFsDb* db = [] {
        auto* opened = new pelko::TFsDb;
        opened->DataBaseType = pelko::TEngine::dbSQLite;
        opened->SQLiteFile = ":memory:";
        opened->ErrorCreateRaise = false;
        if (!opened->OpenDatabase(0)) std::abort();
        return opened;
    }();
    return *db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    TFsDb& db = Database();
    for (const bool change_sql : {false, true}) {
        db.UsedChangeSql = change_sql;
        const std::string changed = db.ChangeSql(bytes, '"', '\'');
        if (changed.size() != bytes.size()) std::abort();
        for (std::size_t i = 0; i < size; ++i) {
            if (changed[i] != bytes[i] && bytes[i] != '"' && bytes[i] != '*') std::abort();
        }
    }

    // A NUL never reaches the engine: the statement is refused.
    if (bytes.find('\0') != std::string::npos) return 0;
    db.UsedChangeSql = false;
    db.ClearSql();
    db.AddSql("SELECT " + db.QuoteValue(bytes) + " AS v");
    if (!db.OpenSql()) std::abort();
    const TDbValue value = db.FieldValue("v");
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr || *text != bytes) std::abort();
    db.CloseRecordset();

    // The dialect rewriting changes quotes inside values too, as it always has: the statement
    // may fail, but it is reported, never a crash.
    db.UsedChangeSql = true;
    db.ClearSql();
    db.AddSql("SELECT " + db.QuoteValue(bytes) + " AS v WHERE v LIKE 'a*'");
    (void)db.OpenSql();
    db.CloseRecordset();
    return 0;
}
