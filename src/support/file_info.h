#pragma once

// TFileIfo: one file's name parts, size, time stamp and attributes, read when FileName is set.

#include <cstdint>
#include <string>

#include "support/date_time.h"

namespace pelko {

class TFileIfo {
  public:
    // Reads the file's information at once; every property is cleared when it is not found.
    void SetFileName(const std::string& file_name);

    const std::string& FileName() const { return file_name_; }
    const std::string& FileShortName() const { return short_name_; }
    const std::string& FileDir() const { return dir_; }
    // Extension including the dot, lower-cased.
    const std::string& FileExt() const { return ext_; }
    // Last modification, local time, whole seconds.
    const DateTime& TimeStamp() const { return time_stamp_; }
    std::int64_t Size() const { return size_; }
    bool Found() const { return found_; }

    bool AttrReadOnly() const { return read_only_; }
    bool AttrHidden() const { return hidden_; }
    bool AttrSysFile() const { return false; }
    bool AttrVolumeID() const { return false; }
    bool AttrDirectory() const { return directory_; }
    bool AttrArchive() const { return found_ && !directory_; }
    bool AttrAnyFile() const { return found_; }

  private:
    std::string file_name_;
    std::string short_name_;
    std::string dir_;
    std::string ext_;
    DateTime time_stamp_{};
    std::int64_t size_ = 0;
    bool found_ = false;
    bool read_only_ = false;
    bool hidden_ = false;
    bool directory_ = false;
};

}  // namespace pelko
