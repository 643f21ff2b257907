#include "copy/file_kind.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

using K = TFileKind;

TEST(FileKind, DescribedListsAddedExtensionsAndRefusedItems) {
    FileKindTable table;
    EXPECT_TRUE(table.Add(K::fkRaw, " .cr3, SRW ,,").empty());
    EXPECT_TRUE(table.Add(K::fkJpeg, ".heic,.hif,.cr3").empty());  // RAW was first
    EXPECT_TRUE(table.Add(K::fkNone, ".x").empty());
    // A described one (.jpg) stays JPEG; items that cannot be extensions are refused.
    EXPECT_EQ(table.Add(K::fkOther,
                        ".mts,.jpg,.tar.gz, a/b ,.xmp,.,a\x01"
                        "b,\xFF"),
              (std::vector<std::string>{".tar.gz", "a/b", ".xmp", ".",
                                        "a\x01"
                                        "b",
                                        "\xFF"}));
    EXPECT_EQ(table.Added(K::fkRaw), (std::vector<std::string>{".cr3", ".srw"}));
    const std::tuple<std::string, K, K> cases[] = {
        // extension, described lists only, with the additions
        {".PEF", K::fkRaw, K::fkRaw},
        {".arw", K::fkRaw, K::fkRaw},  // Sony RAW, read by the model readers too
        {".JPG", K::fkJpeg, K::fkJpeg},
        {".jpg", K::fkJpeg, K::fkJpeg},
        {".MOV", K::fkOther, K::fkOther},
        {".CR3", K::fkNone, K::fkRaw},
        {".srw", K::fkNone, K::fkRaw},
        {".HEIC", K::fkNone, K::fkJpeg},
        {".MTS", K::fkNone, K::fkOther},
        {".xmp", K::fkNone, K::fkNone},
        {".x", K::fkNone, K::fkNone},
        {"", K::fkNone, K::fkNone},
    };
    for (const auto& [ext, described, added] : cases) {
        EXPECT_EQ(FileKind(ext), described) << ext;
        EXPECT_EQ(FileKindTable{}.KindOf(ext), described) << ext;
        EXPECT_EQ(table.KindOf(ext), added) << ext;
    }
}

}  // namespace
}  // namespace pelko
