#pragma once

// TSetting: the settings of one window, kept in one section of an ini file, with the window's
// position and state. Reads and writes go through IniFile (one parse per change of the file).

#include <string>
#include <string_view>

#include "support/form_position.h"
#include "support/ini_file.h"

namespace pelko {

enum class TSaveTo { stIniFile, stRegistry };
enum class TIniFileKind { fnDefault, fnUserDefine, fnComputerName, fnUserName };
enum class TIniPathKind { ipAppPath, ipIniFiles };

// The program's name where file names are made from it ("pelkocopy.ini").
inline constexpr std::string_view kExeName = "pelkocopy";

// Where settings files go and the names put into them: from the system, or set by a test.
struct SettingPlaces {
    std::string app_folder;     // no trailing "/"
    std::string computer_name;  // also the per-computer key prefix
    std::string user_name;
    std::string config_folder;  // $XDG_CONFIG_HOME, else ~/.config; no trailing "/"

    static SettingPlaces FromSystem();
};

class TSetting {
  public:
    // owner_name: the owning window's name, which becomes the section. design_bounds and
    // window_state_code: the window as designed, the defaults when nothing is stored.
    TSetting(std::string owner_name, FormBounds design_bounds,
             int window_state_code = kWindowNormal);

    TSaveTo SaveTo = TSaveTo::stIniFile;
    TFormPosition FormPosition = TFormPosition::fpLoadSave;
    // Every key gets the computer name and "_" in front.
    bool SaveEachMode = false;
    TIniFileKind IniFileKind = TIniFileKind::fnDefault;
    TIniPathKind IniPath = TIniPathKind::ipAppPath;

    // Works out the ini file from IniFileKind and IniPath (file_name counts for fnUserDefine
    // only; empty means {app folder}/pelkocopy.ini). Resolved once: every other call resolves
    // with an empty name while IniFileName is still empty.
    void SetIniFileName(const std::string& file_name);
    const std::string& IniFileName() const { return ini_file_name_; }
    const std::string& Section() const { return section_; }
    // "Morvenix/pelkocopy". With stRegistry the settings live in <config folder>/<key>.ini, one
    // section per window.
    const std::string& RegistryKey() const { return registry_key_; }
    int WindowStateCode() const { return window_state_code_; }
    const FormBounds& DesignBounds() const { return design_bounds_; }

    int ReadInteger(std::string_view key, int default_value);
    std::string ReadString(std::string_view key, std::string_view default_value);
    bool ReadBool(std::string_view key, bool default_value);
    void WriteInteger(std::string_view key, int value);
    void WriteString(std::string_view key, std::string_view value);
    void WriteBool(std::string_view key, bool value);

    // With fpLoadSave: stores the window state in section <owner>_Position, and the bounds only
    // for a normal window, so the normal bounds survive a close while maximised.
    void SaveFormPosition(const FormGeometry& form);
    // The placement for the form by FormPosition. current: the form as it stands. main_form: the
    // application's main form, or nullptr when there is none or this form is it.
    FormGeometry LoadFormPosition(const FormGeometry& current, ScreenSize screen,
                                  const FormBounds* main_form = nullptr);

    // Test seam: the places used instead of the system's (before the first resolution).
    void SetPlaces(SettingPlaces places);
    const SettingPlaces& Places();

  private:
    IniFile Store(bool for_write);
    std::string EffectiveKey(std::string_view key);
    std::string KeyPrefix();

    std::string ini_file_name_;
    std::string section_;
    std::string registry_key_;
    int window_state_code_;
    FormBounds design_bounds_;
    SettingPlaces places_;
    bool places_set_ = false;
};

}  // namespace pelko
