#include "support/volumes.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "support/file_ops.h"

namespace pelko {

namespace {

// A mountinfo file is small; anything beyond this is not one.
constexpr std::size_t kMaxMountInfoBytes = std::size_t{16} << 20;

// clang-format off
constexpr std::array<std::string_view, 9> kNeverRemovableTypes = {
    "iso9660", "udf", "squashfs", "overlay", "tmpfs", "ramfs", "nfs", "nfs4", "cifs"};
// clang-format on

// Mount points and sources escape space, tab, newline and backslash as "\ooo".
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1];
            const char b = field[i + 2];
            const char c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos) break;
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char buf[64] = {};
    in.read(buf, sizeof buf);
    return std::string(buf, static_cast<std::size_t>(in.gcount()));
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

bool NameStartsWith(std::string_view name, std::string_view prefix) {
    return name.substr(0, prefix.size()) == prefix;
}

// True when a sysfs device path runs through a USB bus ("usb1", "usb2", ... as a component).
bool BelowUsb(std::string_view device_path) {
    std::size_t pos = 0;
    while ((pos = device_path.find("/usb", pos)) != std::string_view::npos) {
        pos += 4;
        if (pos < device_path.size() && device_path[pos] >= '0' && device_path[pos] <= '9') {
            return true;
        }
    }
    return false;
}

// The removable rules, applied to the device folder of a block device in sysfs.
bool RemovableDevice(const std::string& device_dir) {
    if (device_dir.empty()) return false;
    std::string disk_dir = device_dir;
    if (FileExists(device_dir + "/partition")) disk_dir = FolderOf(device_dir);
    const std::string disk = NameOf(disk_dir);
    if (NameStartsWith(disk, "loop") || NameStartsWith(disk, "sr") || NameStartsWith(disk, "ram") ||
        NameStartsWith(disk, "zram")) {
        return false;
    }
    if (NameStartsWith(disk, "mmcblk")) return true;
    const std::string removable = ReadSmallFile(disk_dir + "/removable");
    if (!removable.empty() && removable[0] == '1') return true;
    return BelowUsb(disk_dir);
}

std::string DeviceDir(const std::string& sysfs_root, std::string_view major_minor,
                      std::string_view fs_type, const std::string& source) {
    if (!major_minor.starts_with("0:")) {
        return RealPath(sysfs_root + "/dev/block/" + std::string(major_minor));
    }
    // FUSE block file systems (exFAT or NTFS through FUSE) carry no device number of their own.
    if (fs_type.starts_with("fuseblk") && source.starts_with("/dev/")) {
        const std::string name = NameOf(source);
        if (!name.empty() && name != "." && name != "..") {
            return RealPath(sysfs_root + "/class/block/" + name);
        }
    }
    return {};
}

}  // namespace

std::vector<MountedVolume> ParseMountInfo(std::string_view mountinfo,
                                          const std::string& sysfs_root) {
    std::vector<MountedVolume> volumes;
    if (mountinfo.size() > kMaxMountInfoBytes) mountinfo = mountinfo.substr(0, kMaxMountInfoBytes);
    std::size_t pos = 0;
    while (pos < mountinfo.size()) {
        std::size_t end = mountinfo.find('\n', pos);
        if (end == std::string_view::npos) end = mountinfo.size();
        const std::string_view line = mountinfo.substr(pos, end - pos);
        pos = end + 1;

        const std::vector<std::string_view> fields = SplitFields(line);
        // id, parent, major:minor, root, mount point, options, optional fields..., "-", type,
        // source, super options.
        if (fields.size() < 9) continue;
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (dash + 2 >= fields.size()) continue;

        MountedVolume volume;
        volume.mount_point = Unescape(fields[4]);
        volume.fs_type = Unescape(fields[dash + 1]);
        volume.device = Unescape(fields[dash + 2]);
        if (volume.mount_point.empty() || volume.mount_point[0] != '/') continue;
        const bool excluded_type =
            std::find(kNeverRemovableTypes.begin(), kNeverRemovableTypes.end(), volume.fs_type) !=
            kNeverRemovableTypes.end();
        if (volume.mount_point != "/" && !excluded_type) {
            volume.removable =
                RemovableDevice(DeviceDir(sysfs_root, fields[2], volume.fs_type, volume.device));
        }
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<MountedVolume> ExtraMediaVolumes(std::string_view list) {
    std::vector<MountedVolume> volumes;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t end = list.find(':', pos);
        if (end == std::string_view::npos) end = list.size();
        std::string folder(list.substr(pos, end - pos));
        pos = end + 1;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (folder.empty()) continue;
        MountedVolume volume;
        volume.mount_point = std::move(folder);
        volume.removable = true;
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<MountedVolume> CollectVolumes(std::string_view mountinfo, const std::string& sysfs_root,
                                          std::string_view extra_media) {
    std::map<std::string, MountedVolume> by_mount_point;
    for (MountedVolume& volume : ParseMountInfo(mountinfo, sysfs_root)) {
        by_mount_point[volume.mount_point] = std::move(volume);
    }
    for (MountedVolume& volume : ExtraMediaVolumes(extra_media)) {
        by_mount_point[volume.mount_point] = std::move(volume);
    }
    std::vector<MountedVolume> volumes;
    volumes.reserve(by_mount_point.size());
    for (auto& [mount_point, volume] : by_mount_point)
        volumes.push_back(std::move(volume));
    return volumes;
}

std::int64_t VolumeTotalBytes(const std::string& path) {
    struct statvfs st;
    if (::statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
}

bool VolumeReady(const std::string& path) {
    struct statvfs st;
    return !path.empty() && ::statvfs(path.c_str(), &st) == 0;
}

std::vector<MountedVolume> SystemVolumeSource::Volumes() const {
    std::string text;
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buf[65536];
        ssize_t n = 0;
        while (text.size() < kMaxMountInfoBytes && (n = ::read(fd, buf, sizeof buf)) > 0) {
            text.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
    }
    const char* extra = std::getenv("PELKOCOPY_EXTRA_MEDIA");
    return CollectVolumes(text, "/sys", extra == nullptr ? std::string_view() : extra);
}

}  // namespace pelko
