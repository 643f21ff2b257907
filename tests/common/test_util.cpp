#include "common/test_util.h"

#include "support/date_time.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

namespace pelko::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("pelko-test-" + std::to_string(rd()) +
                                                          "-" + std::to_string(::getpid()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    std::abort();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission so that tests which made folders read-only still clean up.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void SetMTime(const std::string& path, int year, int month, int day, int hour, int minute,
              int second) {
    const std::time_t t = DateTime{year, month, day, hour, minute, second, 0}.ToTimeT();
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string SamplesDir() {
    const char* dir = std::getenv("PELKO_SAMPLES_DIR");
    if (dir == nullptr || !fs::is_directory(dir)) return {};
    return dir;
}

int RunShell(const std::string& line, std::string* out) {
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (out != nullptr) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunCli(const std::string& args, std::string* out) {
    return RunShell(std::string(PELKO_CLI_PATH) + " " + args, out);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    ::unsetenv(name_);
}

}  // namespace pelko::test
