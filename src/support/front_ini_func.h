#pragma once

// One process-wide current ini file with plain read and write functions on any section, for ini
// files that belong to no window (card statistics, copy sets, the model alias table).

#include <string>
#include <vector>

namespace pelko {

// Makes file_name the current file (empty: <app folder>/IniFiles/<exe name>.ini) and creates
// its folder when missing.
void SetCurrentIniFile(const std::string& file_name);
std::string GetCurrentIniFile();

void IniWriteInteger(const std::string& section, const std::string& key, int value);
void IniWriteBool(const std::string& section, const std::string& key, bool value);
void IniWriteString(const std::string& section, const std::string& key, const std::string& value);
std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& default_value);
// A missing key or a value that is not a whole number gives the default.
int IniReadInteger(const std::string& section, const std::string& key, int default_value);
// An integer; non-zero is true.
bool IniReadBool(const std::string& section, const std::string& key, bool default_value);
// Section names of the current file, in file order.
void ReadSections(std::vector<std::string>& list);

}  // namespace pelko
