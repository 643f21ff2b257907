// An import with removal while another process changes the card under it: appends to files,
// replaces them, renames and deletes them, and swaps a card folder for a link to a folder outside
// the card. No card file may be lost, nothing outside the card touched, and a second run, with the
// card left alone, finishes the rest.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "copy/card_tree.h"
#include "support/file_ops.h"
#include "support/unique_fd.h"

extern char** environ;

namespace pelko::test {
namespace {

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 100;
// How far past the last row the tool printed the changes land: the copies waiting for their
// batch, the batch being committed, and files not reached yet.
constexpr std::uint64_t kReach = 200;
// A changed file found deleted this soon after the change may have been deleted by a run that
// checked it just before the change (see Mutate); one deleted later was checked after it.
constexpr auto kChangeMetDeletion = std::chrono::milliseconds(20);

using Hash = std::uint64_t;

// FNV-1a; continued over appended bytes it gives the hash of the longer file.
Hash HashOf(std::string_view bytes, Hash hash = 14695981039346656037ULL) {
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::string RandomBytes(std::mt19937_64& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, size - i));
    }
    return bytes;
}

// What a card path must hold: on the card, or in a destination once the card file is gone.
struct Expected {
    Hash hash = 0;
    // The content before the last change: a change that met the run's deletion of its file (see
    // Mutate) leaves the copy with it.
    Hash before = 0;
    bool raced = false;
};
using Model = std::map<std::string, Expected>;

void MoveFolder(Model& model, const std::string& from, const std::string& to) {
    Model moved;
    for (auto& [path, expected] : model) {
        const bool inside = path.starts_with(from + "/");
        moved[inside ? to + path.substr(from.size()) : path] = expected;
    }
    model.swap(moved);
}

struct Card {
    std::string dcim, swapped, moved, outside, scratch;
    std::vector<std::string> order;  // card files in the order the run lists them
    Model model;
    std::uint64_t swap_at = 0;  // rows printed when the folder is swapped
};

// 1,000 small files in ten folders, names unique across the card; the folder that will be swapped
// has look-alikes of its files outside the card.
Card MakeCard(const TempDir& tmp, std::mt19937_64& random) {
    Card card{tmp / "card/DCIM", "", "", tmp / "outside", tmp / "scratch", {}, {}, 0};
    for (int n = 0; n < kFolders * kFilesPerFolder; ++n) {
        const char* ext = n % 50 == 7   ? ".THM"
                          : n % 10 == 3 ? ".PEF"
                          : n % 25 == 1 ? ".MOV"
                                        : ".JPG";
        char name[32];
        std::snprintf(name, sizeof name, "%dPENTX/IMGP%04d%s", 100 + n / kFilesPerFolder, n, ext);
        const std::string bytes =
            RandomBytes(random, n % 50 == 0 ? 100'000 : 500 + random() % 8'000);
        WriteFile(card.dcim + "/" + name, bytes);
        card.model[card.dcim + "/" + name] = {HashOf(bytes), HashOf(bytes), false};
    }
    // Breadth-first in the file system's order, as the run lists.
    std::vector<std::string> folders;
    for (const auto& folder : fs::directory_iterator(card.dcim))
        folders.push_back(folder.path().string());
    // A folder in the middle of the run, swapped when the run reaches it.
    const std::size_t swapped = 2 + random() % (kFolders - 4);
    for (std::size_t f = 0; f < folders.size(); ++f) {
        if (f == swapped) {
            card.swapped = folders[f];
            card.moved = folders[f] + "-moved";
            // Now and then at once, while the run may still be listing the card.
            card.swap_at = random() % 5 == 0 ? 0 : card.order.size() - 100 + random() % 150;
        }
        for (const auto& file : fs::directory_iterator(folders[f])) {
            card.order.push_back(file.path().string());
            if (folders[f] == card.swapped) {
                const std::string name = file.path().filename().string();
                WriteFile(card.outside + "/lookalike/" + name, "outside " + name);
            }
        }
    }
    WriteFile(card.outside + "/notes.txt", "not on the card");
    fs::create_directories(card.scratch);
    return card;
}

// The other process. Until stop_fd reports its end, changes card files a little ahead of the last
// row the tool printed, and writes each change it made to the journal as one line:
// "A path hash before" appended, "R path hash before" replaced, "N path new_path" renamed,
// "D path" deleted, "S folder moved_to" the folder swapped for a link, and "L path hash" for an
// appended or replaced file found deleted soon after the change. A change that found no file made
// none and is not written. Works on its own copy of the card's description.
int Mutate(Card card, std::uint64_t seed, int stop_fd, const std::string& rows_path,
           const std::string& journal_path) {
    std::mt19937_64 random(seed);
    const UniqueFd journal(::open(journal_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600));
    const UniqueFd rows(::open(rows_path.c_str(), O_RDONLY));
    if (!journal.valid() || !rows.valid()) return 3;
    auto log = [&](std::string line) {
        line.push_back('\n');
        return ::write(journal.get(), line.data(), line.size()) == ssize_t(line.size());
    };
    auto write_all = [](int fd, const std::string& bytes) {
        return ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    };
    // The run checks a file and unlinks it a few microseconds later; a change that lands in
    // between is lost with the file, as a write to a file someone deletes. Each changed file is
    // held for a moment: gone by then, the change may have met that deletion.
    struct Change {
        UniqueFd fd;
        std::string path;
        Hash hash;
        std::chrono::steady_clock::time_point at;
    };
    std::deque<Change> changes;
    auto settle = [&](bool all) {
        const auto now = std::chrono::steady_clock::now();
        for (; !changes.empty() && (all || now - changes.front().at > kChangeMetDeletion);
             changes.pop_front()) {
            struct stat st;
            if (::fstat(changes.front().fd.get(), &st) == 0 && st.st_nlink == 0 &&
                !log("L " + changes.front().path + " " + std::to_string(changes.front().hash))) {
                return false;
            }
        }
        return true;
    };
    auto swap = [&] {
        if (::rename(card.swapped.c_str(), card.moved.c_str()) != 0 ||
            ::symlink((card.outside + "/lookalike").c_str(), card.swapped.c_str()) != 0 ||
            !log("S " + card.swapped + " " + card.moved)) {
            return false;
        }
        MoveFolder(card.model, card.swapped, card.moved);
        auto move = [&](std::string& path) {
            if (path.starts_with(card.swapped + "/"))
                path = card.moved + path.substr(card.swapped.size());
        };
        std::for_each(card.order.begin(), card.order.end(), move);
        for (Change& change : changes)
            move(change.path);
        card.swapped.clear();
        return true;
    };
    std::uint64_t printed = 0;
    for (int made = 0;; ++made) {
        pollfd stop{stop_fd, POLLIN, 0};
        if (::poll(&stop, 1, 0) != 0) break;
        char buffer[4096];
        for (ssize_t n; (n = ::read(rows.get(), buffer, sizeof buffer)) > 0;)
            printed += std::count(buffer, buffer + n, '\n');
        if (!card.swapped.empty() && printed >= card.swap_at && !swap()) return 4;
        if (!settle(false)) return 5;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        std::string& path =
            card.order[std::min(printed + random() % kReach, card.order.size() - 1)];
        if (path.empty()) continue;  // deleted here before
        Expected& current = card.model[path];
        const std::uint64_t what = random() % 20;
        if (what < 14) {
            UniqueFd fd;
            std::string bytes;
            if (what < 8) {
                fd.Reset(::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
                if (!fd.valid()) continue;
                bytes = RandomBytes(random, 1 + random() % 2048);
                if (!write_all(fd.get(), bytes)) return 6;
                current = {HashOf(bytes, current.hash), current.hash, false};
            } else {
                // A new file written beside the card and renamed over the card file.
                const std::string temp = card.scratch + "/" + std::to_string(made);
                bytes = RandomBytes(random, 1 + random() % 20'000);
                fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
                if (!fd.valid() || !write_all(fd.get(), bytes) ||
                    ::rename(temp.c_str(), path.c_str()) != 0) {
                    return 6;
                }
                current = {HashOf(bytes), current.hash, false};
            }
            if (!log((what < 8 ? "A " : "R ") + path + " " + std::to_string(current.hash) + " " +
                     std::to_string(current.before))) {
                return 6;
            }
            changes.push_back(
                {std::move(fd), path, current.hash, std::chrono::steady_clock::now()});
        } else if (what < 17) {
            char name[32];
            std::snprintf(name, sizeof name, "/MUTA%04d", made);
            const std::string to = FolderOf(path) + name + ExtensionOf(path);
            if (RenameNoReplace(path, to) != 0) continue;
            if (!log("N " + path + " " + to)) return 7;
            card.model[to] = current;
            card.model.erase(path);
            path = to;
        } else {
            if (::unlink(path.c_str()) != 0) continue;
            if (!log("D " + path)) return 8;
            card.model.erase(path);
            path.clear();
        }
    }
    if (!settle(true)) return 5;
    // A run faster than the mutator still leaves the link for the second run.
    return card.swapped.empty() || swap() ? 0 : 4;
}

// The card as the journal leaves it.
Model Replay(Model model, const std::string& journal) {
    std::istringstream lines(ReadFile(journal));
    for (std::string op, path, to; lines >> op >> path;) {
        if (op == "A" || op == "R") {
            Expected& expected = model[path];
            lines >> expected.hash >> expected.before;
            expected.raced = false;
        } else if (Hash hash; op == "L" && lines >> hash) {
            // Only while the path still holds that change.
            if (const auto found = model.find(path);
                found != model.end() && found->second.hash == hash)
                found->second.raced = true;
        } else if (op == "N" && lines >> to) {
            model[to] = model[path];
            model.erase(path);
        } else if (op == "D") {
            model.erase(path);
        } else if (op == "S" && lines >> to) {
            MoveFolder(model, path, to);
        }
    }
    return model;
}

// Regular files below root (links not followed) by path: content hash, and with `identity` the
// inode and the modification and change times too.
std::map<std::string, std::string> Files(const std::string& root, bool identity) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st;
        const std::string path = entry.path().string();
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        std::string& text = files[path] = std::to_string(HashOf(ReadFile(path)));
        if (identity) {
            for (const long part : {long(st.st_ino), st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
                                    st.st_ctim.tv_sec, st.st_ctim.tv_nsec}) {
                text.push_back(' ');
                text += std::to_string(part);
            }
        }
    }
    return files;
}

// What breaks the run's promises, a line each (the first 20); *races counts the changes that met
// the run's deletion of their file. `outside` is how the files outside the card were before.
std::string Broken(const TempDir& tmp, const Model& model, const std::string& outside_root,
                   const std::map<std::string, std::string>& outside, int* races) {
    std::string text;
    int count = 0;
    auto broken = [&](const std::string& what, const std::string& path) {
        if (++count <= 20) text += what + path + "\n";
    };
    const auto now = Files(outside_root, true);
    std::set<std::string> outside_hashes;
    for (const auto& [path, identity] : outside) {
        if (const auto found = now.find(path); found == now.end() || found->second != identity)
            broken("touched outside the card: ", path);
        outside_hashes.insert(identity.substr(0, identity.find(' ')));
    }
    std::map<std::string, std::string> copies;  // by file name, unique on the card
    for (const char* root : {"raw", "jpg", "other"}) {
        if (!fs::exists(tmp / root)) continue;
        for (const auto& [path, hash] : Files(tmp / root, false)) {
            if (IsCopyTemporaryName(NameOf(path))) broken("temporary ", path);
            if (outside_hashes.count(hash) > 0) broken("copied from outside the card: ", path);
            copies[NameOf(path)] = hash;
        }
    }
    const auto card = Files(tmp / "card", false);
    for (const auto& [path, expected] : model) {
        const std::string hash = std::to_string(expected.hash);
        if (const auto left = card.find(path); left != card.end()) {
            if (left->second != hash) broken("changed on the card: ", path);
            continue;
        }
        const auto copy = copies.find(NameOf(path));
        if (copy != copies.end() && copy->second == hash) continue;
        if (copy != copies.end() && expected.raced &&
            copy->second == std::to_string(expected.before)) {
            ++*races;
            continue;
        }
        broken(copy == copies.end() ? "lost: " : "copy differs: ", path);
    }
    for (const auto& [path, hash] : card) {
        if (model.count(path) == 0) broken("not put on the card by anyone: ", path);
    }
    return count == 0 ? text : std::to_string(count) + " broken:\n" + text;
}

pid_t StartImport(const TempDir& tmp, const std::string& out, const std::string& err) {
    const std::string card = tmp / "card/DCIM", raw = tmp / "raw", jpg = tmp / "jpg",
                      other = tmp / "other";
    const char* argv[] = {PELKO_CLI_PATH, "import",   card.c_str(), "--raw",
                          raw.c_str(),    "--jpeg",   jpg.c_str(),  "--other",
                          other.c_str(),  "--remove", nullptr};
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &files, nullptr, const_cast<char**>(argv), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

// The exit status of a child; -1 when a signal ended it (a crash) or it ran for two minutes.
int WaitFor(pid_t pid) {
    for (int waited_ms = 0; waited_ms < 120'000; waited_ms += 5) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

TEST(ConcurrentImport, AnotherWriterOnTheCardLosesNoFileAndTouchesNothingElse) {
    const char* given = std::getenv("PELKO_CONCURRENT_SEED");
    const std::uint64_t seed = given != nullptr ? std::strtoull(given, nullptr, 10)
                                                : std::random_device{}() * 65536ULL + ::getpid();
    SCOPED_TRACE("repeat with PELKO_CONCURRENT_SEED=" + std::to_string(seed));
    TempDir tmp;
    const ScopedEnv home("PELKOCOPY_HOME", tmp / "home");
    std::mt19937_64 random(seed);
    const Card card = MakeCard(tmp, random);
    const auto outside = Files(card.outside, true);
    const std::string out = tmp / "out", err = tmp / "err", journal = tmp / "journal";
    WriteFile(out, "");

    int stop[2];
    ASSERT_EQ(::pipe2(stop, O_CLOEXEC), 0);
    std::fflush(nullptr);  // nothing buffered for the child to write again
    const pid_t mutator = ::fork();
    if (mutator == 0) {
        ::close(stop[1]);
        int code = 2;
        try {
            code = Mutate(card, seed + 1, stop[0], out, journal);
        } catch (...) {
        }
        ::_exit(code);
    }
    ::close(stop[0]);
    const pid_t tool = StartImport(tmp, out, err);
    const int status = tool > 0 ? WaitFor(tool) : -1;
    ::close(stop[1]);
    ASSERT_GT(mutator, 0);
    EXPECT_EQ(WaitFor(mutator), 0) << "the mutator failed";
    ASSERT_GT(tool, 0);
    // Exit 1 exactly when a row says a copy or deletion failed, or a folder could not be read.
    const bool failed = ReadFile(out).find("\t失敗") != std::string::npos ||
                        ReadFile(err).find("cannot read folder") != std::string::npos;
    EXPECT_EQ(status, failed ? 1 : 0) << ReadFile(err);

    const Model model = Replay(card.model, journal);
    int races = 0;
    std::string broken = Broken(tmp, model, card.outside, outside, &races);
    EXPECT_TRUE(broken.empty()) << "during the run, " << broken;
    if (races > 0) std::printf("%d changes met the run's deletion of their file\n", races);

    // The card left alone: the rest goes, or stays beside a copy of the same name.
    EXPECT_EQ(WaitFor(StartImport(tmp, out, err)), 0) << ReadFile(err);
    broken = Broken(tmp, model, card.outside, outside, &races);
    EXPECT_TRUE(broken.empty()) << "after the second run, " << broken;
    EXPECT_TRUE(fs::is_symlink(card.swapped));
}

}  // namespace
}  // namespace pelko::test
