#include "copy/card_statistics.h"

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "support/ini_file.h"
#include "support/platform.h"

namespace pelko {
namespace {

struct FakeView final : ICardStatisticsView {
    void ShowCameraAverages(const std::string& k5, const std::string& k01) override {
        averages = k5 + " | " + k01;
    }
    void ShowCardStatistics(const std::string& folder, const std::string& file) override {
        card = folder + " | " + file;
    }
    void ReportStatisticsError(const std::string& text) override { errors.push_back(text); }
    std::string ChooseCard() override { return chosen; }
    std::string averages, card, chosen;
    std::vector<std::string> errors;
};

struct Fixture {
    test::TempDir dir;
    ManualClock clock{DateTime{2026, 12, 6, 19, 27, 5, 0}};
    FakeView view;
    TShotCounts counts;
    TCardStatistics stats{{dir.str(), dir.str()}, true, clock, view, counts};

    std::string Ini(const std::string& file, const char* section, const char* key) {
        stats.SaveShotCounts();
        return IniFile(dir / file).ReadString(section, key, "<missing>");
    }
    // The day's row of 撮影枚数: 合計, K01, K5QT.
    std::string Row(const std::string& day) {
        TFsDb& db = stats.DBMS();
        db.ClearSql();
        db.AddSql("SELECT 合計, K01, K5QT FROM 撮影枚数 WHERE 日付 = " + db.QuoteValue(day));
        db.OpenSql();
        if (db.RecordsetEof()) return "<none>";
        const std::string row = DbValueToText(db.FieldValue("合計")) + "," +
                                DbValueToText(db.FieldValue("K01")) + "," +
                                DbValueToText(db.FieldValue("K5QT"));
        db.ClearSql();
        return row;
    }
};

TEST(CardStatistics, ShotsCountOncePerShotInImgCountAndTheDatabase) {
    Fixture f;
    ASSERT_TRUE(f.stats.OpenDatabase());
    const char* day = "2026/11/03";
    for (int run = 0; run < 2; ++run) {
        f.stats.LoadCameraTally();
        for (const char* file : {"/c/DCIM/100/IMGP0001.PEF", "/c/DCIM/100/IMGP0001.JPG",
                                 "/c/DCIM/100/IMGP00012.JPG", "/c/DCIM/100/K5QT0042.PEF"})
            f.stats.CountShot(file, day);
    }
    EXPECT_EQ(f.Ini("ImgCount.txt", "K01", day), "1");
    EXPECT_EQ(f.Ini("ImgCount.txt", "K5QT", day), "1");
    EXPECT_EQ(f.Ini("ImgCount.txt", "TOTAL", day), "2");
    EXPECT_EQ(f.Ini("ImgCount.txt", "IMGP", day), "<missing>");
    EXPECT_EQ(f.Row(day), "2,1,1");
    EXPECT_EQ(f.counts.k01, 1);
    EXPECT_EQ(f.counts.k5qt, 42);
    EXPECT_TRUE(f.view.errors.empty());

    // An unknown camera column: its statement is shown once per run, the ini file counts on.
    // A prefix that holds SQL is refused before any SQL is built.
    for (const char* file : {"P1010001.JPG", "P1010002.JPG", "a';-0001.JPG", "a\";)0001.JPG"})
        f.stats.CountShot(file, day);
    EXPECT_EQ(f.Ini("ImgCount.txt", "P101", day), "2");
    EXPECT_EQ(f.Ini("ImgCount.txt", "TOTAL", day), "6");
    ASSERT_EQ(f.view.errors.size(), 3u);
    EXPECT_EQ(f.view.errors[0],
              "UPDATE 撮影枚数 SET \r\n合計 = 合計 + 1,\r\n\"P101\" = \"P101\" + 1\r\nWHERE 日付 = "
              "'2026/11/03'");
    EXPECT_EQ(f.view.errors[1], std::string(kShotTagRefused) + "a';-");
    EXPECT_EQ(f.Row(day), "2,1,1");
    EXPECT_EQ(f.stats.DBMS().TableNames(), std::vector<std::string>{"撮影枚数"});
    f.stats.CloseDatabase();
}

TEST(CardStatistics, ALockedDatabaseIsReportedOnceAndTheRunGoesOn) {
    Fixture f;
    ASSERT_TRUE(f.stats.OpenDatabase());
    f.stats.SetBusyTimeout(1);
    TFsDb other;
    other.DataBaseType = TEngine::dbSQLite;
    other.SQLiteFile = f.dir / "PelkoData.db";
    ASSERT_TRUE(other.OpenDatabase(0));
    other.AddSql("BEGIN EXCLUSIVE");
    ASSERT_TRUE(other.ExecSql());
    f.stats.LoadCameraTally();
    for (const char* file : {"IMGP0001.JPG", "IMGP0002.JPG", "IMGP0003.JPG"})
        f.stats.CountShot(file, "2026/11/03");
    ASSERT_EQ(f.view.errors.size(), 1u);
    EXPECT_EQ(f.view.errors[0].rfind(kShotDatabaseBusy, 0), 0u);
    EXPECT_EQ(f.Ini("ImgCount.txt", "K01", "2026/11/03"), "3");
    other.CloseDatabase();
}

TEST(CardStatistics, CameraTalliesAndCardStatistics) {
    Fixture f;
    test::WriteFile(
        f.dir / "CardInfo.ini",
        "[K5]\r\nCount=3\r\nSize=75000\r\n[CARD1]\r\nNAME=Extreme\r\nCLAS=U3\r\nSIZE=16\r\n"
        "FwMB=7604\r\nFwCn=9\r\n");
    test::WriteFile(f.dir / "card/CardInfo.ini", "[INFO]\r\nCARD-ID=CARD1\r\n");
    f.stats.LoadCameraTally();
    f.stats.TallyRawFile("/c/DCIM/K5QT0001.PEF", 25000 * 1024);
    f.stats.TallyRawFile("/c/DCIM/IMGP0001.DNG", 1024 * 1024);
    f.stats.TallyRawFile("/c/DCIM/K5QT0001.JPG", 99999999);  // not RAW: not tallied
    f.stats.SaveCameraTally();
    const char* const tally[][3] = {{"K5", "Count", "4"},    {"K5", "Size", "100000"},
                                    {"K5", "Ave", "24.4MB"}, {"K5", "4G", "156"},
                                    {"K5", "32G", "1250"},   {"K-01", "Ave", "1.0MB"}};
    for (const auto& t : tally)
        EXPECT_EQ(f.Ini("CardInfo.ini", t[0], t[1]), t[2]) << t[0] << t[1];
    EXPECT_EQ(f.view.averages, "K5 : 24.4MB　 4 Shot | K-01 : 1.0MB　 1 Shot");

    // 25,000 KB and 1,024 KB make 25 MB more: 7,629 MB of 15,258.
    f.stats.UpdateCardInfo(f.dir / "card/DCIM");
    EXPECT_EQ(f.view.card,
              "　Extreme U3 16GB | 　カード転送合計　　7629MB / 15258MB (50.0%)　　11ファイル"
              "　　平均サイズ： 693.5MB");
    const char* const card[][2] = {{"FwMB", "7629"},
                                   {"FirstDate", "2026/12/06 19:27"},
                                   {"LastDate", "2026/12/06 19:27"},
                                   {"抜差回数", "1"}};
    for (const auto& c : card)
        EXPECT_EQ(f.Ini("CardInfo.ini", "CARD1", c[0]), c[1]) << c[0];
    EXPECT_EQ(f.Ini("CardInfo.ini", "CARD1", "SIZEMB"), CardSizeMB(f.dir / "card"));
    EXPECT_FALSE(CardSizeMB(f.dir / "card").empty());

    // A card without its file: the user says which it is, and the card gets its file.
    f.view.chosen = "CARD2";
    test::WriteFile(f.dir / "new/DCIM/IMGP0001.JPG", "x");
    f.stats.LoadCameraTally();
    f.stats.UpdateCardInfo(f.dir / "new/DCIM");
    EXPECT_EQ(f.Ini("new/CardInfo.ini", "INFO", "CARD-ID"), "CARD2");
    EXPECT_EQ(f.Ini("CardInfo.ini", "CARD2", "抜差回数"), "1");
    EXPECT_EQ(f.view.card, "　  GB | ");
}

TEST(CardStatistics, Rounding) {
    const std::pair<double, std::int64_t> half_away[] = {
        {2.5, 3}, {-2.5, -3}, {2.4999, 2}, {0.488, 0}, {7629.0, 7629}};
    for (const auto& [x, expected] : half_away)
        EXPECT_EQ(RoundHalfAway(x), expected) << x;
    EXPECT_EQ(FormatOneDecimal(24.35), "24.4");
}

}  // namespace
}  // namespace pelko
