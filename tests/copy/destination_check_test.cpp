#include "copy/destination_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "copy/card_tree.h"

namespace pelko::test {
namespace {

// Which destination a run refuses and why, by the real folders the paths lead to.
TEST(DestinationCheck, RefusesDestinationsOnTheCardOrHoldingTheSource) {
    TempDir tmp;
    const std::string card = tmp / "media/card", dcim = card + "/DCIM";
    fs::create_directories(dcim + "/100PENTX");
    fs::create_directories(tmp / "media/card2");
    fs::create_directories(tmp / "pics");
    fs::create_directory_symlink(card, tmp / "link-to-card");
    const std::string ok = tmp / "pics/ok";
    using K = DestinationProblemKind;
    // `folder`: the folder of a folder run; empty for a card run.
    struct Case {
        const char* what;
        std::string raw, jpg, folder;
        std::optional<K> why;
        std::string key;
    };
    const std::string in = tmp / "pics/in";
    const Case cases[] = {
        {"elsewhere", ok, ok, "", std::nullopt, ""},
        // Empty: the copies would land in "/" and the working folder.
        {"not set", "", ok, in, K::kNotSet, "DestRaw"},
        {"at the mount point", ok, card, "", K::kOnCard, "DestJpg"},
        {"below it, not yet made", card + "/DCIM/new/raw", ok, "", K::kOnCard, "DestRaw"},
        {"a sibling with a common prefix", tmp / "media/card2", ok, "", std::nullopt, ""},
        {"through a link into the card", tmp / "link-to-card/x", ok, "", K::kOnCard, "DestRaw"},
        {"by a path with ..", tmp / "pics/../media/card/y", ok, "", K::kOnCard, "DestRaw"},
        {"source inside the destination", ok, tmp / "media", "", K::kHoldsSource, "DestJpg"},
        {"inside a folder run's folder", ok, in + "/jpg", in, K::kOnCard, "DestJpg"},
        {"beside a folder run's folder", ok, tmp / "pics/in2", in, std::nullopt, ""},
    };
    fs::create_directories(ok);
    fs::create_directories(in);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyRunSettings settings{c.raw, c.jpg, ok};
        const std::optional<DestinationProblem> problem =
            CheckDestinations(settings, c.folder.empty() ? dcim : c.folder,
                              c.folder.empty() ? RunSourceKind::rsCard : RunSourceKind::rsFolder);
        ASSERT_EQ(problem.has_value(), c.why.has_value());
        if (!problem) continue;
        EXPECT_EQ(problem->why, *c.why);
        EXPECT_EQ(problem->key, c.key);
        EXPECT_EQ(problem->path, c.key == "DestRaw" ? c.raw : c.jpg);
    }
    const DestinationProblem on_card{K::kOnCard, TFileKind::fkJpeg, "DestJpg", card};
    EXPECT_EQ(DestinationProblemTextJa(on_card),
              "JPEG コピー先がメディアの中にあります。\r\n" + card +
                  "\r\nコピー先にはメディア以外のフォルダを指定して下さい");
}

// What a dry run foresees of a folder it would write into, creating nothing.
TEST(DestinationCheck, DryRunFoldersThatCouldTakeFiles) {
    TempDir tmp;
    WriteFile(tmp / "root-file", "x");
    WriteFile(tmp / "dest/2010", "a file where the year folder goes");
    fs::create_directories(tmp / "dest/2011");
    fs::create_directories(tmp / "locked");
    fs::permissions(tmp / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const std::pair<std::string, bool> cases[] = {
        {tmp / "dest/2011", true},
        {tmp / "dest/2012/05", true},  // made by the run below a writable folder
        {tmp / "root-file", false},
        {tmp / "root-file/2010", false},
        {tmp / "dest/2010/05", false},
        {tmp / "locked/2010", ::geteuid() == 0},  // root writes anywhere
    };
    for (const auto& [folder, could] : cases)
        EXPECT_EQ(FolderCouldTakeFiles(folder), could) << folder;
    EXPECT_FALSE(fs::exists(tmp / "dest/2012"));
    fs::permissions(tmp / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace pelko::test
