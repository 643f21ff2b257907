#pragma once

#include <filesystem>
#include <string>

namespace pelko::test {

// A fresh folder below the system's temporary folder, removed with everything in it at the end
// of the scope.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Path of a child, as a string.
    std::string operator/(const std::string& child) const { return (path_ / child).string(); }

  private:
    std::filesystem::path path_;
};

// Writes bytes to a file, creating missing folders.
void WriteFile(const std::string& path, const std::string& bytes);
// Whole content of a file, or an empty string when it cannot be read.
std::string ReadFile(const std::string& path);
// Sets a file's modification time from local calendar fields.
void SetMTime(const std::string& path, int year, int month, int day, int hour, int minute,
              int second);

// Folder of the real camera sample files, or empty when they are not on this machine.
std::string SamplesDir();

// Runs a shell line and returns its exit status, or -1 after a signal; stdout goes to *out.
int RunShell(const std::string& line, std::string* out);
// Runs the command-line tool with arguments and returns its exit status; stdout goes to *out.
int RunCli(const std::string& args, std::string* out);

// Sets an environment variable for the scope, and unsets it at its end.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
};

}  // namespace pelko::test
