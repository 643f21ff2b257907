// Start and close of the main window's settings file at the sizes users have reported: the keys
// the window reads when it starts and writes when it closes, on a file of 7 MB and one of 60 MB
// (read up to the reader's limit; its first close keeps it as .bak and writes a sound one).
//   build/bench/bench_settings [MB...]   (default: 7 60)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "copy/copy_settings.h"
#include "support/ini_file.h"
#include "support/setting.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The window's section first, then `megabytes` of other sections (say, copy sets of years).
void MakeSettingsFile(const std::string& path, int megabytes) {
    std::ofstream out(path, std::ios::binary);
    out << "[FrmDCMain]\r\nDestRaw=/photos/raw\r\nDestJpg=/photos/jpg\r\nDestOther=/photos/mov\r\n"
           "MakeFolder=3\r\nFileName=2\r\nFormTop=10\r\nFormLeft=10\r\n";
    const std::string line = "Key" + std::string(40, 'x') + "=" + std::string(60, 'v') + "\r\n";
    std::size_t written = 0;
    for (int section = 0; written < static_cast<std::size_t>(megabytes) << 20; ++section) {
        out << "[Set" << section << "]\r\n";
        for (int i = 0; i < 100; ++i) {
            out << line;
            written += line.size();
        }
    }
}

// The keys the window reads at start beside the shared settings: geometry and grid widths.
void Start(const std::string& folder, const std::string& path) {
    pelko::TSetting ini("FrmDCMain", pelko::FormBounds{});
    ini.IniFileKind = pelko::TIniFileKind::fnUserDefine;
    ini.SetIniFileName(path);
    std::vector<pelko::SettingsProblem> problems;
    pelko::ReadMainWindowSettings(ini, folder, problems);
    for (const char* key : {"FormTop", "FormLeft", "FormWidth", "FormHeight", "WindowMaxmized",
                            "GridW0", "GridW1", "GridW2", "GridW3", "pnlLeft", "AutoDelDay"})
        ini.ReadInteger(key, 0);
}

// The keys the window writes at close, each with a new value, inside one batch as the window's
// close holds it.
void Close(const std::string& path, int round) {
    const pelko::IniWriteBatch batch;
    pelko::TSetting ini("FrmDCMain", pelko::FormBounds{});
    ini.IniFileKind = pelko::TIniFileKind::fnUserDefine;
    ini.SetIniFileName(path);
    pelko::MainWindowSettings settings;
    settings.copy.dest_raw = "/photos/raw" + std::to_string(round);
    settings.copy.folder_mode = round % 6;
    pelko::WriteMainWindowSettings(ini, settings);
    for (const char* key : {"FormTop", "FormLeft", "FormWidth", "FormHeight", "WindowMaxmized",
                            "GridW0", "GridW1", "GridW2", "GridW3", "pnlLeft"})
        ini.WriteInteger(key, round);
    ini.WriteString("LastCopyDateTime", "2026/12/0" + std::to_string(1 + round % 9) + " 00:00:00");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {7, 60};
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("pelko-bench-settings-" + std::to_string(::getpid())))
                                   .string();
    std::filesystem::create_directories(folder + "/Data");
    for (const int megabytes : sizes) {
        const std::string path = folder + "/settings.ini";
        std::filesystem::remove(path + ".bak");
        MakeSettingsFile(path, megabytes);
        // As at a real start, the file was written long before.
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        auto start = Clock::now();
        Start(folder, path);
        const double first_start = Since(start);
        start = Clock::now();
        Close(path, 1);
        const double first_close = Since(start);
        start = Clock::now();
        Start(folder, path);
        const double second_start = Since(start);
        start = Clock::now();
        Close(path, 2);
        const double second_close = Since(start);
        std::printf(
            "%3d MB file: start %.3f s, close %.3f s; again: start %.3f s, close %.3f s; "
            "file now %.1f MB%s\n",
            megabytes, first_start, first_close, second_start, second_close,
            static_cast<double>(std::filesystem::file_size(path)) / (1 << 20),
            std::filesystem::exists(path + ".bak") ? ", old one kept as .bak" : "");
    }
    std::filesystem::remove_all(folder);
    return 0;
}
