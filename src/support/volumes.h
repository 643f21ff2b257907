#pragma once

// Mounted volumes from /proc/self/mountinfo, with the removable ones told apart through sysfs,
// plus folders that $PELKOCOPY_EXTRA_MEDIA makes count as removable volumes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/platform.h"

namespace pelko {

// The volumes of a mountinfo text, each marked removable by the sysfs tree below sysfs_root
// ("/sys" on a real system): its block device or the disk it is a partition of has removable =
// 1, is an SD/MMC device or hangs below a USB bus. The root file system, loop, optical, network
// and pseudo file systems are never removable. Malformed lines are passed over.
std::vector<MountedVolume> ParseMountInfo(std::string_view mountinfo,
                                          const std::string& sysfs_root);

// The folders of a ":"-separated list as removable volumes (empty entries dropped).
std::vector<MountedVolume> ExtraMediaVolumes(std::string_view list);

// Mounted and extra volumes together in mount-point order; a mount point mounted twice counts
// once, as the later (visible) mount.
std::vector<MountedVolume> CollectVolumes(std::string_view mountinfo, const std::string& sysfs_root,
                                          std::string_view extra_media);

// Total size in bytes of the volume holding path; -1 when statvfs fails.
std::int64_t VolumeTotalBytes(const std::string& path);
// True when the volume holding path answers statvfs.
bool VolumeReady(const std::string& path);

// The running system's volumes.
class SystemVolumeSource final : public IVolumeSource {
  public:
    std::vector<MountedVolume> Volumes() const override;
};

// A fixed list, for tests and demonstrations.
class FixedVolumeSource final : public IVolumeSource {
  public:
    FixedVolumeSource() = default;
    explicit FixedVolumeSource(std::vector<MountedVolume> volumes) : volumes_(std::move(volumes)) {}
    void SetVolumes(std::vector<MountedVolume> volumes) { volumes_ = std::move(volumes); }
    std::vector<MountedVolume> Volumes() const override { return volumes_; }

  private:
    std::vector<MountedVolume> volumes_;
};

}  // namespace pelko
