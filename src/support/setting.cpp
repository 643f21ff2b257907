#include "support/setting.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "support/file_ops.h"
#include "support/platform.h"

namespace pelko {

namespace {

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    std::string home_folder = home != nullptr ? home : "";
    if (home_folder.empty()) {
        if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
            home_folder = pw->pw_dir;
        }
    }
    return home_folder + "/.config";
}

}  // namespace

SettingPlaces SettingPlaces::FromSystem() {
    return {FindAppFolder(), ComputerName(), UserName(), ConfigFolder()};
}

TSetting::TSetting(std::string owner_name, FormBounds design_bounds, int window_state_code)
    : section_(std::move(owner_name)),
      registry_key_("Morvenix/" + std::string(kExeName)),
      window_state_code_(window_state_code),
      design_bounds_(design_bounds) {}

void TSetting::SetPlaces(SettingPlaces places) {
    places_ = std::move(places);
    places_set_ = true;
}

const SettingPlaces& TSetting::Places() {
    if (!places_set_) SetPlaces(SettingPlaces::FromSystem());
    return places_;
}

void TSetting::SetIniFileName(const std::string& file_name) {
    const SettingPlaces& places = Places();
    std::string folder = places.app_folder;
    if (IniPath == TIniPathKind::ipIniFiles) {
        folder += "/IniFiles";
        // A folder that cannot be made leaves the path in use; its writes are lost.
        FolderCreate(folder);
    }
    const std::string default_file = folder + "/" + std::string(kExeName) + ".ini";
    switch (IniFileKind) {
        case TIniFileKind::fnDefault:
            ini_file_name_ = default_file;
            break;
        case TIniFileKind::fnUserDefine:
            ini_file_name_ = file_name.empty() ? default_file : file_name;
            break;
        case TIniFileKind::fnComputerName:
            ini_file_name_ = folder + "/" + places.computer_name + ".ini";
            break;
        case TIniFileKind::fnUserName:
            ini_file_name_ = folder + "/" + places.user_name + ".ini";
            break;
    }
}

IniFile TSetting::Store(bool for_write) {
    if (ini_file_name_.empty()) SetIniFileName("");
    if (SaveTo == TSaveTo::stIniFile) return IniFile(ini_file_name_);
    std::string file = Places().config_folder + "/" + registry_key_ + ".ini";
    // Like a registry key, the store comes into being with its first value.
    if (for_write) FolderCreate(FolderOf(file));
    return IniFile(file);
}

std::string TSetting::KeyPrefix() {
    return SaveEachMode ? Places().computer_name + "_" : std::string();
}

std::string TSetting::EffectiveKey(std::string_view key) {
    return KeyPrefix() + std::string(key);
}

int TSetting::ReadInteger(std::string_view key, int default_value) {
    return Store(false).ReadInteger(section_, EffectiveKey(key), default_value);
}

std::string TSetting::ReadString(std::string_view key, std::string_view default_value) {
    return Store(false).ReadString(section_, EffectiveKey(key), default_value);
}

bool TSetting::ReadBool(std::string_view key, bool default_value) {
    return Store(false).ReadBool(section_, EffectiveKey(key), default_value);
}

void TSetting::WriteInteger(std::string_view key, int value) {
    Store(true).WriteInteger(section_, EffectiveKey(key), value);
}

void TSetting::WriteString(std::string_view key, std::string_view value) {
    Store(true).WriteString(section_, EffectiveKey(key), value);
}

void TSetting::WriteBool(std::string_view key, bool value) {
    Store(true).WriteBool(section_, EffectiveKey(key), value);
}

void TSetting::SaveFormPosition(const FormGeometry& form) {
    const IniWriteBatch batch;  // one write of the file for all the keys
    if (FormPosition != TFormPosition::fpLoadSave) return;
    IniFile store = Store(true);
    const std::string section = section_ + "_Position";
    const std::string prefix = KeyPrefix();
    window_state_code_ = form.window_state == kWindowMaximized   ? kWindowMaximized
                         : form.window_state == kWindowMinimized ? kWindowMinimized
                                                                 : kWindowNormal;
    store.WriteInteger(section, prefix + "WindowState", window_state_code_);
    if (window_state_code_ != kWindowNormal) return;
    store.WriteInteger(section, prefix + "Top", form.bounds.top);
    store.WriteInteger(section, prefix + "Left", form.bounds.left);
    store.WriteInteger(section, prefix + "Width", form.bounds.width);
    store.WriteInteger(section, prefix + "Height", form.bounds.height);
}

FormGeometry TSetting::LoadFormPosition(const FormGeometry& current, ScreenSize screen,
                                        const FormBounds* main_form) {
    if (ini_file_name_.empty()) SetIniFileName("");
    FormGeometry result = current;
    switch (FormPosition) {
        case TFormPosition::fpNotUse:
            break;
        case TFormPosition::fpMainFormCenter:
            result.bounds = main_form != nullptr ? CenterOnMainForm(current.bounds, *main_form)
                                                 : CenterOnScreen(current.bounds, screen);
            break;
        case TFormPosition::fpScreenCenter:
            result.bounds = CenterOnScreen(current.bounds, screen);
            break;
        case TFormPosition::fpLoadSave: {
            IniFile store = Store(false);
            const std::string section = section_ + "_Position";
            const std::string prefix = KeyPrefix();
            window_state_code_ =
                store.ReadInteger(section, prefix + "WindowState", window_state_code_);
            // The bounds are the normal-size ones also under a maximised or minimised state,
            // so that restoring the window brings back the size the user last gave it.
            FormBounds& b = result.bounds;
            b.top = store.ReadInteger(section, prefix + "Top", design_bounds_.top);
            b.left = store.ReadInteger(section, prefix + "Left", design_bounds_.left);
            b.width = store.ReadInteger(section, prefix + "Width", design_bounds_.width);
            b.height = store.ReadInteger(section, prefix + "Height", design_bounds_.height);
            // A damaged entry must not leave a window with no area to click on.
            if (b.width <= 0) b.width = design_bounds_.width;
            if (b.height <= 0) b.height = design_bounds_.height;
            result.bounds = KeepOnScreen(result.bounds, screen);
            result.window_state =
                window_state_code_ == kWindowMaximized || window_state_code_ == kWindowMinimized
                    ? window_state_code_
                    : kWindowNormal;
            break;
        }
    }
    return result;
}

}  // namespace pelko
