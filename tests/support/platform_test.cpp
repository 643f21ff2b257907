#include "support/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "support/file_ops.h"
#include "support/volumes.h"

namespace pelko {
namespace {

using namespace test;

TEST(PlatformTest, AppFolderChoices) {
    TempDir dir;
    const std::pair<AppFolderInputs, std::string> rows[] = {
        {{dir / "home/", dir / "exe", true, dir / "xdg", dir / "u"}, dir / "home"},
        {{"", dir / "exe", true, dir / "xdg", dir / "u"}, dir / "exe"},
        {{"", dir / "exe", false, dir / "xdg", dir / "u"}, dir / "xdg/PelkoCopy"},
        {{"", dir / "exe", false, "", dir / "u"}, dir / "u/.config/PelkoCopy"},
        {{"", "", false, "relative", dir / "v"}, dir / "v/.config/PelkoCopy"},
    };
    for (const auto& [in, expected] : rows) {
        EXPECT_EQ(ChooseAppFolder(in), expected);
        EXPECT_FALSE(FolderExists(expected)) << "created only before a write: " << expected;
    }
    test::ScopedEnv home("PELKOCOPY_HOME", dir / "env");
    EXPECT_EQ(FindAppFolder(), dir / "env");
    EXPECT_FALSE(FolderExists(dir / "env"));
}

TEST(PlatformTest, UserTempFolderIsPrivateAndNeverALink) {
    TempDir dir;
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", ""), tmp("TMPDIR", dir.str());
    auto is_private_folder = [](const std::string& path) {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
               (st.st_mode & 0777) == 0700;
    };
    const std::string expected = dir / ("pelkocopy-" + std::to_string(::geteuid()));
    EXPECT_EQ(UserTempFolder(), expected);
    EXPECT_TRUE(is_private_folder(expected));

    // A link planted under the name must not be followed.
    ASSERT_EQ(::rmdir(expected.c_str()), 0);
    FolderCreate(dir / "elsewhere");
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), expected.c_str()), 0);
    const std::string chosen = UserTempFolder();
    EXPECT_NE(chosen, expected);
    EXPECT_TRUE(is_private_folder(chosen));
}

TEST(PlatformTest, MountInfoWithFakeSysfs) {
    TempDir sys;
    auto device = [&](const std::string& dev, const std::string& path, bool partition,
                      const char* removable) {
        FolderCreate(sys / ("devices/" + path));
        if (partition) WriteFile(sys / ("devices/" + path + "/partition"), "1\n");
        if (removable) WriteFile(sys / ("devices/" + FolderOf(path) + "/removable"), removable);
        FolderCreate(sys / "dev/block");
        ::symlink((sys / ("devices/" + path)).c_str(), (sys / ("dev/block/" + dev)).c_str());
    };
    device("179:1", "platform/mmc0/block/mmcblk0/mmcblk0p1", true, nullptr);
    device("8:17", "pci0/usb2/2-1/host6/block/sdb/sdb1", true, "0\n");
    device("8:1", "pci0/ata1/host0/block/sda/sda1", true, "0\n");
    device("8:33", "pci0/ata2/host1/block/sdc/sdc1", true, "1\n");
    device("7:0", "virtual/block/loop0", false, "0\n");
    FolderCreate(sys / "class/block");
    ::symlink((sys / "devices/pci0/ata2/host1/block/sdc/sdc1").c_str(),
              (sys / "class/block/sdc1").c_str());

    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 22 179:1 / /media/anna/NIKON\\040D750 rw shared:5 - vfat /dev/mmcblk0p1 rw\n"
        "31 22 8:17 / /media/anna/USB rw - exfat /dev/sdb1 rw\n"
        "32 22 8:1 /data /srv rw - ext4 /dev/sda1 rw\n"
        "33 22 0:21 / /proc rw - proc proc rw\n"
        "34 22 7:0 / /snap/core rw - squashfs /dev/loop0 ro\n"
        "35 22 0:50 / /media/anna/ex\\134fat rw - fuseblk /dev/sdc1 rw\n"
        "36 22 8:33 / /media/anna/cd ro - iso9660 /dev/sdc1 ro\n"
        "garbage line\n"
        "37 22 8:17 / /cut rw -\n"
        "38 22 8:17 /";
    const std::vector<MountedVolume> volumes = ParseMountInfo(mountinfo, sys.str());
    ASSERT_EQ(volumes.size(), 8u);
    EXPECT_EQ(volumes[1].fs_type, "vfat");
    EXPECT_EQ(volumes[1].device, "/dev/mmcblk0p1");
    // Extra folders join as removable, all sorted, a mount point listed twice kept once.
    std::vector<std::string> all;  // removable ones marked
    for (const MountedVolume& v :
         CollectVolumes(mountinfo, sys.str(), "/tmp/card2/::/media/anna/USB:/a/card1"))
        all.push_back(v.mount_point + (v.removable ? " (removable)" : ""));
    EXPECT_EQ(
        all, (std::vector<std::string>{
                 "/", "/a/card1 (removable)", "/media/anna/NIKON D750 (removable)",
                 "/media/anna/USB (removable)", "/media/anna/cd", "/media/anna/ex\\fat (removable)",
                 "/proc", "/snap/core", "/srv", "/tmp/card2 (removable)"}));
    EXPECT_TRUE(VolumeReady("/"));
    EXPECT_FALSE(VolumeReady(sys / "missing"));
}

}  // namespace
}  // namespace pelko
