#include "support/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <iterator>

#include "common/test_util.h"

namespace pelko {
namespace {

TEST(IniDocument, ReadsAsTheWindowsProfileFunctionsDo) {
    const IniDocument doc = IniDocument::Parse(
        "top=outside\r\n[FrmDCMain]\r\n  DestRaw =  /photos/raw  \r\nQuoted=\"  padded  \"\r\n"
        "Single='x'\r\nHalf=\"open\r\nEmpty=\r\nEq=a=b\r\nDup=first\r\nDup=second\r\n"
        "; Comment=no\r\njust text\r\n[Other]\r\nDestRaw=other\r\n[frmdcmain]\r\nLate=never\r\n");
    // section, key, value (nullptr: absent)
    const char* const cases[][3] = {
        {"FRMDCMAIN", "destraw", "/photos/raw"},  // names fold ASCII case
        {"FrmDCMain", "Quoted", "  padded  "},    // one pair of quotes goes
        {"FrmDCMain", "Empty", ""},
        {"FrmDCMain", "Eq", "a=b"},
        {"FrmDCMain", "Dup", "first"},
        {"FrmDCMain", "; Comment", nullptr},
        {"FrmDCMain", "top", nullptr},
        {"FrmDCMain", "Late", nullptr},  // only the first section of a name counts
        {"Other", "DestRaw", "other"},
        {"Missing", "DestRaw", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.Read(c[0], c[1]), c[2] ? std::optional<std::string>(c[2]) : std::nullopt)
            << c[1];
    }
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"FrmDCMain", "Other"}));
    EXPECT_EQ(doc.Keys("frmdcmain").size(), 8u);
}

TEST(IniDocument, WriteChangesOnlyItsKeyAndReadsBack) {
    // before, section, key, value, after
    const char* const cases[][5] = {
        {"", "S", "K", "1", "[S]\r\nK=1\r\n"},
        {"; note\n[A]\nx=1\n", "B", "K", "v", "; note\r\n[A]\r\nx=1\r\n\r\n[B]\r\nK=v\r\n"},
        // The key keeps its spelling and spacing; only the value changes.
        {"[A]\n  Key = old\n[B]\nKey=b\n", "a", "KEY", "new",
         "[A]\r\n  Key =new\r\n[B]\r\nKey=b\r\n"},
        // A new key follows the section's last line, before its blank separator.
        {"[A]\nx=1\n; end of A\n\n[B]\n", "A", "y", "2",
         "[A]\r\nx=1\r\n; end of A\r\ny=2\r\n\r\n[B]\r\n"},
        // No final line break, a bare "[" line and junk survive.
        {"junk\x01\n[broken\n[A]\nx=1", "A", "x", "9", "junk\x01\r\n[broken\r\n[A]\r\nx=9\r\n"},
        // Line breaks in a value cannot start a new key.
        {"", "S", "K", "a\r\n[T]\nb=c", "[S]\r\nK=a  [T] b=c\r\n"},
    };
    for (const auto& c : cases) {
        IniDocument doc = IniDocument::Parse(c[0]);
        ASSERT_TRUE(doc.Write(c[1], c[2], c[3])) << c[0];
        EXPECT_EQ(doc.Text(), c[4]) << c[0];
    }
    // Written values read back unchanged; keys and sections that cannot be read back are refused.
    const std::string values[] = {"", " pad ", "\"q\"", "'x'", "\"", "撮影 ｶﾒﾗ", "a=b", "\ttab"};
    for (const auto& v : values) {
        IniDocument doc;
        ASSERT_TRUE(doc.Write("S", "K", v));
        EXPECT_EQ(IniDocument::Parse(doc.Text()).Read("S", "K"), v) << v;
    }
    IniDocument doc;
    for (const char* key : {"", "  ", "a=b", "[x", ";x", "a\nb"})
        EXPECT_FALSE(doc.Write("S", key, "v")) << key;
    // The reader would take "a" for the header "[a] ;c]".
    for (const char* section : {"S\nT", "a] ;c", "a]#"})
        EXPECT_FALSE(doc.Write(section, "K", "v")) << section;
    EXPECT_EQ(doc.Text(), "");
}

// Junk, damaged files and files from other computers, older versions and editors are read line
// by line, not silently ignored, and stay writable.
TEST(IniDocument, DamagedAndForeignFilesAreReadLineByLine) {
    std::string binary, wide;
    for (int i = 0; i < 4096; ++i) {
        binary += static_cast<char>((i * 7919) & 0xFF);
        wide += "撮";
    }
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {binary, std::nullopt},
        {"[[[]]]\n]]]\n[\n=\n==\n", std::nullopt},
        {"[S]\nK=" + wide, wide.substr(0, kIniMaxValueChars * 3)},  // cut at a character boundary
        {std::string("[S]\nK=a\0b\n", 10), "a"},                    // a NUL ends the value
        {"\xEF\xBB\xBF[S]\nK=a", "a"},
        {"[S]\rK=v\r", "v"},  // CR-only line ends
        {"[S] ; v2 [old]\r\nK=v\r\n", "v"},
        {"[S]\tjunk]\r\nK=v\r\n", std::nullopt},  // text without ";" after "]" stays in the name
        // One stray Shift-JIS line leaves every UTF-8 line as it is.
        {"[S]\r\nK=/写真/jpg\r\nX=\x8E\x42\r\n", "/写真/jpg"},
        {"[S]\r\nK=\x8E\x42\x89\x65\r\n", "撮影"},
        {std::string("[S]\r\nK=写真\0\x8E\r\n", 14), "写真"},
    };
    for (const auto& [bytes, value] : cases) {
        IniDocument doc = IniDocument::Parse(bytes);
        EXPECT_EQ(doc.Read("S", "K"), value) << bytes;
        ASSERT_TRUE(doc.Write("New", "k", "v"));
        EXPECT_EQ(IniDocument::Parse(doc.Text()).Read("New", "k"), "v") << bytes;
    }
}

TEST(IniInteger, WholeValueMustBeANumberInRange) {
    // clang-format off
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"12", 12}, {" -7 ", -7}, {"+5", 5}, {"0x1F", 31}, {"$ff", 255},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", std::nullopt},
        {"12abc", std::nullopt}, {"abc", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt},
        {"1 2", std::nullopt}, {"99999999999999999999", std::nullopt}};
    // clang-format on
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseIniInteger(text), value) << text;
}

class IniFileTest : public ::testing::Test {
  protected:
    test::TempDir dir_;
    std::string path_ = dir_ / "PelkoCopy.ini";
};

TEST_F(IniFileTest, ShiftJisFileIsReadAndRewrittenAsUtf8) {
    // "[カメラ]\r\nモデル=撮影\r\n[FrmDCMain]\r\nDest=D:\写真\r\n" as the Windows program wrote it.
    const std::string sjis =
        "[\x83\x4A\x83\x81\x83\x89]\r\n\x83\x82\x83\x66\x83\x8B=\x8E\x42\x89\x65\r\n"
        "[FrmDCMain]\r\nDest=D:\\\x8E\xCA\x90\x5E\r\n";
    test::WriteFile(path_, sjis);
    IniFile ini(path_);
    EXPECT_EQ(ini.ReadString("カメラ", "モデル", ""), "撮影");
    EXPECT_EQ(ini.ReadString("FrmDCMain", "Dest", ""), "D:\\写真");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"カメラ", "FrmDCMain"}));

    ASSERT_TRUE(ini.WriteInteger("frmdcmain", "AppVer", 141));
    EXPECT_EQ(test::ReadFile(path_),
              "[カメラ]\r\nモデル=撮影\r\n[FrmDCMain]\r\nDest=D:\\写真\r\nAppVer=141\r\n");
    EXPECT_EQ(ini.ReadInteger("FrmDCMain", "APPVER", 0), 141);
}

TEST_F(IniFileTest, WritesReplaceTheFileKeepingItsModeAndLinks) {
    const std::string real = dir_ / "real.ini";
    ASSERT_TRUE(IniFile(real).WriteBool("S", "A", false));
    // A file this process made keeps the mode it was made with at its next write.
    ASSERT_TRUE(IniFile(real).WriteBool("S", "A", true));
    struct stat st {};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink(real, path_);
    ASSERT_TRUE(IniFile(path_).WriteBool("S", "B", false));
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_EQ(test::ReadFile(real), "[S]\r\nA=1\r\nB=0\r\n");
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto entries = std::filesystem::directory_iterator(dir_.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2);  // no temporary left
}

TEST_F(IniFileTest, DefaultsAndWritesThatNeitherCreateFoldersNorDestroyUnreadText) {
    IniFile in_missing_folder(dir_ / "no/such/folder.ini");
    EXPECT_EQ(in_missing_folder.ReadString("S", "K", "def"), "def");
    EXPECT_EQ(in_missing_folder.ReadInteger("S", "K", 42), 42);
    EXPECT_FALSE(in_missing_folder.WriteString("S", "K", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));

    // A file over the size limit is read up to the limit; a write replaces it by what was read
    // plus the change, and keeps the whole old file beside it.
    const std::string big_path = dir_ / "big.ini";
    std::string big = "[S]\r\nK=first\r\n";
    big += std::string(kIniMaxFileBytes, ';') + "\r\n[T]\r\nK=tail\r\n";
    test::WriteFile(big_path, big);
    IniFile big_ini(big_path);
    EXPECT_EQ(big_ini.ReadString("S", "K", ""), "first");
    EXPECT_EQ(big_ini.ReadString("T", "K", "unread"), "unread");
    {
        const IniWriteBatch batch;
        EXPECT_TRUE(big_ini.WriteString("S", "K", "v"));
        EXPECT_TRUE(big_ini.WriteString("S", "L", "w"));
        EXPECT_EQ(test::ReadFile(big_path), big);  // written once, when the batch ends
        EXPECT_EQ(big_ini.ReadString("S", "L", ""), "w");
    }
    EXPECT_EQ(test::ReadFile(big_path), "[S]\r\nK=v\r\nL=w\r\n");
    EXPECT_EQ(test::ReadFile(big_path + ".bak"), big);
    // A change by another program is seen by the next read.
    test::WriteFile(big_path, "[S]\r\nK=other\r\nB=2\r\nZ=0\r\nT=x\r\n");
    EXPECT_EQ(big_ini.ReadString("S", "K", ""), "other");
    EXPECT_TRUE(big_ini.ReadBool("S", "B", false));  // any non-zero value
    EXPECT_FALSE(big_ini.ReadBool("S", "Z", true));
    EXPECT_TRUE(big_ini.ReadBool("S", "T", true));  // not a number: the default
    EXPECT_FALSE(big_ini.ReadBool("S", "T", false));
}

}  // namespace
}  // namespace pelko
