#include "naming/list_file.h"

#include <gtest/gtest.h>

#include "common/test_util.h"

namespace pelko {
namespace {

using Lines = std::vector<std::string>;

TEST(ListFile, LinesDecodeOneByOneAndSavedListsReadBack) {
    const std::pair<std::string, Lines> cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},              // CR-only line ends
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},  // an empty entry stays
        {"\xEF\xBB\xBF%F\r\n", {"%F"}},
        {std::string("%N\0.JPG\r\nx\r\n", 11), {"%N", "x"}},
        {"写真\r\n\x8E\x42\x89\x65\r\n", {"写真", "撮影"}},
        {std::string("\377\376a\0\r\0\n\0\x99\x51\r\0", 12), {"a", "写"}},  // UTF-16 LE
        {std::string("\xFE\xFF\0a\0\n\x51\x99", 8), {"a", "写"}},           // UTF-16 BE
    };
    test::TempDir dir;
    for (const auto& [bytes, lines] : cases) {
        test::WriteFile(dir / "list.txt", bytes);
        EXPECT_EQ(LoadListFile(dir / "list.txt"), lines) << bytes;
    }
    EXPECT_EQ(LoadListFile(dir / "missing.txt"), Lines{});

    // Saved lists read back; a line break cannot split an entry.
    const std::string path = dir / "UFolder.txt";
    ASSERT_TRUE(SaveListFile(path, {"%Dyymmdd", "写真", "two\nlines"}));
    EXPECT_EQ(test::ReadFile(path), "%Dyymmdd\r\n写真\r\ntwo lines\r\n");
    EXPECT_EQ(LoadListFile(path), (Lines{"%Dyymmdd", "写真", "two lines"}));
    ASSERT_TRUE(SaveListFile(path, {"x"}));
    EXPECT_EQ(test::ReadFile(path), "x\r\n");
}

}  // namespace
}  // namespace pelko
