#include "support/platform.h"

#include <dirent.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "support/file_ops.h"

extern char** environ;

namespace pelko {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// One field of the effective user's password entry; empty when there is none.
std::string OwnPasswdField(char* passwd::*field) {
    struct passwd pw;
    struct passwd* result = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &result) == 0 && result != nullptr &&
        result->*field != nullptr) {
        return result->*field;
    }
    return {};
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    return home.empty() ? OwnPasswdField(&passwd::pw_dir) : home;
}

// Starts argv[0] (searched in PATH) and waits for it; false when it cannot be started.
bool SpawnAndWait(const std::vector<std::string>& args, const std::string& work_folder) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!work_folder.empty()) {
        ::posix_spawn_file_actions_addchdir_np(&actions, work_folder.c_str());
    }
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace

std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string ChooseAppFolder(const AppFolderInputs& inputs) {
    std::string folder;
    if (!inputs.pelkocopy_home.empty()) {
        folder = inputs.pelkocopy_home;
    } else if (!inputs.exe_folder.empty() && inputs.exe_folder_writable) {
        folder = inputs.exe_folder;
    } else {
        const std::string config =
            !inputs.xdg_config_home.empty() && inputs.xdg_config_home[0] == '/'
                ? inputs.xdg_config_home
                : WithoutTrailingSlashes(inputs.home) + "/.config";
        folder = WithoutTrailingSlashes(config) + "/PelkoCopy";
    }
    return WithoutTrailingSlashes(folder);
}

std::string FindAppFolder() {
    AppFolderInputs inputs;
    inputs.pelkocopy_home = Env("PELKOCOPY_HOME");
    if (inputs.pelkocopy_home.empty()) {
        inputs.exe_folder = FolderOf(ExecutablePath());
        inputs.exe_folder_writable =
            !inputs.exe_folder.empty() && ::access(inputs.exe_folder.c_str(), W_OK) == 0;
        inputs.xdg_config_home = Env("XDG_CONFIG_HOME");
        inputs.home = HomeFolder();
    }
    return ChooseAppFolder(inputs);
}

std::string ComputerName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    std::string name(buf);
    return name.substr(0, name.find('.'));
}

std::string UserName() {
    std::string name = OwnPasswdField(&passwd::pw_name);
    return name.empty() ? std::to_string(::geteuid()) : name;
}

void RaiseDescriptorLimit() {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int DescriptorLimit() {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

int OpenDescriptorCount() {
    DIR* dir = ::opendir("/proc/self/fd");
    // Without /proc: a generous guess.
    if (dir == nullptr) return 64;
    int count = -1;  // the listing's own descriptor
    while (const struct dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(dir);
    return std::max(count, 0);
}

std::string UserTempFolder() {
    const std::string runtime = WithoutTrailingSlashes(Env("XDG_RUNTIME_DIR"));
    if (!runtime.empty() && runtime[0] == '/' && FolderExists(runtime)) return runtime;
    std::string base = WithoutTrailingSlashes(Env("TMPDIR"));
    if (base.empty() || base[0] != '/') base = "/tmp";
    const std::string folder = base + "/pelkocopy-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return base;
    // Someone else may have put a folder or a link under that name first: only our own private
    // folder will do.
    struct stat st;
    if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
        if ((st.st_mode & 0077) != 0) ::chmod(folder.c_str(), 0700);
        return folder;
    }
    std::string unique = folder + "-XXXXXX";
    if (::mkdtemp(unique.data()) != nullptr) return unique;
    return base;
}

DateTime SystemClock::Now() const {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
    DateTime dt = DateTime::FromTimeT(seconds);
    dt.millisecond = static_cast<int>(ms.count() % 1000);
    return dt;
}

std::uint64_t SystemClock::TickMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

bool XdgOpenShell::Open(const std::string& file_name, const std::string& /*params*/) {
    // The shell backgrounds xdg-open and ends at once, so nothing is left to reap; the name goes
    // in as an argument, never as shell text.
    return SpawnAndWait({"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", file_name},
                        {});
}

bool OpenDocument(IShell& shell, const std::string& file_name, const std::string& params,
                  bool wait) {
    if (!wait) return shell.Open(file_name, params);
    std::vector<std::string> args{file_name};
    std::size_t pos = 0;
    while (pos < params.size()) {
        const std::size_t start = params.find_first_not_of(" \t", pos);
        if (start == std::string::npos) break;
        const std::size_t end = params.find_first_of(" \t", start);
        args.push_back(params.substr(start, end == std::string::npos ? end : end - start));
        pos = end == std::string::npos ? params.size() : end;
    }
    // Only an absolute program path survives the change of working folder.
    return SpawnAndWait(args, file_name.starts_with('/') ? FolderOf(file_name) : std::string());
}

}  // namespace pelko
