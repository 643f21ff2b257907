#include "support/front_ini_func.h"

#include <mutex>

#include "support/file_ops.h"
#include "support/ini_file.h"
#include "support/platform.h"
#include "support/setting.h"

namespace pelko {

namespace {

struct CurrentFile {
    std::mutex mutex;
    std::string name;
};

CurrentFile& Current() {
    static CurrentFile current;
    return current;
}

// Caller holds the mutex.
void SelectLocked(CurrentFile& current, const std::string& file_name) {
    current.name = file_name.empty()
                       ? FindAppFolder() + "/IniFiles/" + std::string(kExeName) + ".ini"
                       : file_name;
    std::string folder = FolderOf(current.name);
    if (!folder.empty() && !FolderExists(folder)) FolderCreate(folder);
}

// The current file, the default one chosen first when none was ever set.
IniFile CurrentIni() {
    CurrentFile& current = Current();
    std::lock_guard lock(current.mutex);
    if (current.name.empty()) SelectLocked(current, "");
    return IniFile(current.name);
}

}  // namespace

void SetCurrentIniFile(const std::string& file_name) {
    CurrentFile& current = Current();
    std::lock_guard lock(current.mutex);
    SelectLocked(current, file_name);
}

std::string GetCurrentIniFile() {
    CurrentFile& current = Current();
    std::lock_guard lock(current.mutex);
    return current.name;
}

void IniWriteInteger(const std::string& section, const std::string& key, int value) {
    CurrentIni().WriteInteger(section, key, value);
}

void IniWriteBool(const std::string& section, const std::string& key, bool value) {
    CurrentIni().WriteBool(section, key, value);
}

void IniWriteString(const std::string& section, const std::string& key, const std::string& value) {
    CurrentIni().WriteString(section, key, value);
}

std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& default_value) {
    return CurrentIni().ReadString(section, key, default_value);
}

int IniReadInteger(const std::string& section, const std::string& key, int default_value) {
    return CurrentIni().ReadInteger(section, key, default_value);
}

bool IniReadBool(const std::string& section, const std::string& key, bool default_value) {
    return CurrentIni().ReadBool(section, key, default_value);
}

void ReadSections(std::vector<std::string>& list) {
    list = CurrentIni().ReadSections();
}

}  // namespace pelko
