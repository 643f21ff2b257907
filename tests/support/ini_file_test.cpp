#include "support/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/test_util.h"
#include "support/text.h"

namespace pelko {
namespace {

TEST(IniDocument, ReadsAsTheWindowsProfileFunctionsDo) {
    const IniDocument doc = IniDocument::Parse(
        "top=outside any section\r\n"
        "[FrmDCMain]\r\n"
        "  DestRaw =  /photos/raw  \r\n"
        "Quoted=\"  padded  \"\r\n"
        "Single='x'\r\n"
        "Half=\"open\r\n"
        "Empty=\r\n"
        "Eq=a=b\r\n"
        "Dup=first\r\n"
        "Dup=second\r\n"
        "; Comment=no\r\n"
        "just text\r\n"
        "[Other]\r\n"
        "DestRaw=other\r\n"
        "[frmdcmain]\r\n"
        "Late=never\r\n");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"FrmDCMain", "DestRaw", "/photos/raw"},
        {"FRMDCMAIN", "destraw", "/photos/raw"},  // names fold ASCII case
        {" FrmDCMain ", " DestRaw ", "/photos/raw"},
        {"FrmDCMain", "Quoted", "  padded  "},  // one pair of quotes goes
        {"FrmDCMain", "Single", "x"},
        {"FrmDCMain", "Half", "\"open"},
        {"FrmDCMain", "Empty", ""},
        {"FrmDCMain", "Eq", "a=b"},
        {"FrmDCMain", "Dup", "first"},
        {"FrmDCMain", "; Comment", std::nullopt},
        {"FrmDCMain", "just text", std::nullopt},
        {"FrmDCMain", "top", std::nullopt},
        {"FrmDCMain", "Late", std::nullopt},  // only the first section of a name counts
        {"Other", "DestRaw", "other"},
        {"Missing", "DestRaw", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.Read(c.section, c.key), c.value) << c.section << "/" << c.key;
    }
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"FrmDCMain", "Other"}));
    EXPECT_EQ(doc.Keys("frmdcmain"),
              (std::vector<std::string>{"DestRaw", "Quoted", "Single", "Half", "Empty", "Eq", "Dup",
                                        "Dup"}));
}

TEST(IniDocument, WriteChangesOnlyItsKey) {
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"", "S", "K", "1", "[S]\r\nK=1\r\n"},
        {"; note\n[A]\nx=1\n", "B", "K", "v", "; note\r\n[A]\r\nx=1\r\n\r\n[B]\r\nK=v\r\n"},
        // The key keeps its spelling and spacing; only the value changes.
        {"[A]\n  Key = old\n[B]\nKey=b\n", "a", "KEY", "new",
         "[A]\r\n  Key =new\r\n[B]\r\nKey=b\r\n"},
        // A new key follows the section's last line, before its blank separator.
        {"[A]\nx=1\n; end of A\n\n[B]\n", "A", "y", "2",
         "[A]\r\nx=1\r\n; end of A\r\ny=2\r\n\r\n[B]\r\n"},
        {"[A]\n\n[B]\n", "A", "y", "2", "[A]\r\ny=2\r\n\r\n[B]\r\n"},
        // No final line break, a bare "[" line and junk survive.
        {"junk\x01\n[broken\n[A]\nx=1", "A", "x", "9", "junk\x01\r\n[broken\r\n[A]\r\nx=9\r\n"},
        // Values that would change on reading are quoted; line breaks cannot start a new key.
        {"", "S", "K", " pad ", "[S]\r\nK=\" pad \"\r\n"},
        {"", "S", "K", "\"q\"", "[S]\r\nK=\"\"q\"\"\r\n"},
        {"", "S", "K", "a\r\n[T]\nb=c", "[S]\r\nK=a  [T] b=c\r\n"},
    };
    for (const auto& c : cases) {
        IniDocument doc = IniDocument::Parse(c.before);
        ASSERT_TRUE(doc.Write(c.section, c.key, c.value)) << c.before;
        EXPECT_EQ(doc.Text(), c.after) << c.before;
    }
}

TEST(IniDocument, WrittenValuesReadBackUnchanged) {
    const std::string values[] = {"", " pad ", "\"q\"", "'x'", "\"", "撮影 ｶﾒﾗ", "a=b", "\ttab"};
    for (const auto& v : values) {
        IniDocument doc;
        ASSERT_TRUE(doc.Write("S", "K", v));
        EXPECT_EQ(IniDocument::Parse(doc.Text()).Read("S", "K"), v) << v;
    }
    IniDocument doc;
    for (const char* key : {"", "  ", "a=b", "[x", ";x", "a\nb"}) {
        EXPECT_FALSE(doc.Write("S", key, "v")) << key;
    }
    EXPECT_FALSE(doc.Write("S\nT", "K", "v"));
    EXPECT_EQ(doc.Text(), "");
}

TEST(IniDocument, LongValuesAreCutAtACharacterBoundary) {
    std::string ascii(3000, 'a');
    std::string wide;
    for (int i = 0; i < 1500; ++i)
        wide += "撮";
    IniDocument doc;
    doc.Write("S", "A", ascii);
    doc.Write("S", "W", wide);
    EXPECT_EQ(doc.Read("S", "A")->size(), kIniMaxValueChars);
    std::string w = *doc.Read("S", "W");
    EXPECT_EQ(w.size(), 1500u * 3);  // fewer than 2047 characters: whole
    doc.Write("S", "W", wide + wide);
    w = *doc.Read("S", "W");
    EXPECT_EQ(w.size(), kIniMaxValueChars * 3);
    EXPECT_TRUE(IsValidUtf8(w));
}

TEST(IniDocument, JunkInputIsReadWithoutHarm) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    const std::string inputs[] = {
        binary,
        std::string(100 * 1024, 'x'),
        "[S]\nk=" + std::string(100 * 1024, 'y'),
        std::string("[S]\nk=a\0b\nm=\0\n", 14),
        "[S]\nk=v",
        "[[[]]]\n]]]\n[\n=\n==\n",
        "\xEF\xBB\xBF[S]\nk=bom",
    };
    for (const auto& in : inputs) {
        IniDocument doc = IniDocument::Parse(in);
        doc.Sections();
        ASSERT_TRUE(doc.Write("New", "k", "v"));
        EXPECT_EQ(IniDocument::Parse(doc.Text()).Read("New", "k"), "v");
    }
    EXPECT_EQ(IniDocument::Parse(inputs[3]).Read("S", "k"), "a");  // a NUL ends the value
    EXPECT_EQ(IniDocument::Parse(inputs[4]).Read("S", "k"), "v");
    EXPECT_EQ(IniDocument::Parse(inputs[6]).Read("S", "k"), "bom");
    EXPECT_EQ(IniDocument::Parse(inputs[2]).Read("S", "k")->size(), kIniMaxValueChars);
}

TEST(IniDocument, EraseRemovesKeysAndEverySectionOfTheName) {
    IniDocument doc = IniDocument::Parse("[A]\nx=1\ny=2\n[B]\nz=3\n[a]\nw=4\n");
    EXPECT_TRUE(doc.EraseKey("A", "X"));
    EXPECT_FALSE(doc.EraseKey("A", "x"));
    EXPECT_TRUE(doc.EraseSection("a"));
    EXPECT_EQ(doc.Text(), "[B]\r\nz=3\r\n");
}

TEST(IniInteger, WholeValueMustBeANumberInRange) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"12", 12},
        {" -7 ", -7},
        {"+5", 5},
        {"0x1F", 31},
        {"$ff", 255},
        {"2147483647", 2147483647},
        {"-2147483648", INT_MIN},
        {"2147483648", std::nullopt},
        {"12abc", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"1 2", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIniInteger(c.text), c.value) << c.text;
}

class IniFileTest : public ::testing::Test {
  protected:
    test::TempDir dir_;
    std::string path_ = dir_ / "PelkoCopy.ini";
};

TEST_F(IniFileTest, MissingFileAndKeysGiveDefaults) {
    IniFile ini(path_);
    EXPECT_EQ(ini.ReadString("S", "K", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("S", "K", 42), 42);
    EXPECT_TRUE(ini.ReadBool("S", "K", true));
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_FALSE(std::filesystem::exists(path_));

    test::WriteFile(path_, "[S]\nN=12abc\nB=2\nZ=0\nT=x\n");
    EXPECT_EQ(ini.ReadInteger("S", "N", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Missing", 7), 7);
    EXPECT_TRUE(ini.ReadBool("S", "B", false));  // any non-zero value
    EXPECT_FALSE(ini.ReadBool("S", "Z", true));
    EXPECT_TRUE(ini.ReadBool("S", "T", true));  // not a number: the default
    EXPECT_FALSE(ini.ReadBool("S", "T", false));
}

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

TEST_F(IniFileTest, WritesReplaceTheFileAtomically) {
    IniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("S", "A", "1"));
    ASSERT_TRUE(ini.WriteBool("S", "B", true));
    ASSERT_TRUE(ini.WriteBool("S", "C", false));
    EXPECT_EQ(test::ReadFile(path_), "[S]\r\nA=1\r\nB=1\r\nC=0\r\n");
    ::chmod(path_.c_str(), 0600);
    ASSERT_TRUE(ini.WriteString("S", "A", "2"));
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the file keeps its permissions
    // Nothing but the ini file is left in the folder.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "PelkoCopy.ini");
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(IniFileTest, WritesNeverCreateFoldersNorDestroyWhatTheyCannotRead) {
    IniFile in_missing_folder(dir_ / "no/such/folder.ini");
    EXPECT_FALSE(in_missing_folder.WriteString("S", "K", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));

    // A folder where the file should be is not replaced.
    std::filesystem::create_directory(path_);
    EXPECT_FALSE(IniFile(path_).WriteString("S", "K", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(path_));

    // A file over the size limit is read up to the limit and never rewritten.
    const std::string big_path = dir_ / "big.ini";
    std::string big = "[S]\r\nK=first\r\n";
    big += std::string(kIniMaxFileBytes, ';') + "\r\n[T]\r\nK=tail\r\n";
    test::WriteFile(big_path, big);
    IniFile big_ini(big_path);
    EXPECT_EQ(big_ini.ReadString("S", "K", ""), "first");
    EXPECT_EQ(big_ini.ReadString("T", "K", "unread"), "unread");
    EXPECT_FALSE(big_ini.WriteString("S", "K", "v"));
    EXPECT_EQ(test::ReadFile(big_path).size(), big.size());
}

TEST_F(IniFileTest, SymbolicLinkStaysALink) {
    const std::string real = dir_ / "real.ini";
    test::WriteFile(real, "[S]\r\nK=1\r\n");
    std::filesystem::create_symlink(real, path_);
    ASSERT_TRUE(IniFile(path_).WriteString("S", "K", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_EQ(test::ReadFile(real), "[S]\r\nK=2\r\n");
}

}  // namespace
}  // namespace pelko
