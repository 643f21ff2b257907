// An import with removal while another process changes the card under it: appends to files,
// replaces them, renames and deletes them, and swaps a card folder for a link to a folder outside
// the card. No card file may be lost, nothing outside the card touched, and a second run, with the
// card left alone, finishes the rest.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "copy/card_tree.h"
#include "support/file_ops.h"
#include "support/unique_fd.h"

namespace pelko::test {
namespace {

// A changed file found deleted this soon after the change may have been deleted by a run that
// checked it just before the change (see Mutate); one deleted later was checked after it.
constexpr auto kChangeMetDeletion = std::chrono::milliseconds(20);

using Hash = std::uint64_t;

Hash HashOf(std::string_view bytes) {
    Hash hash = 14695981039346656037ULL;  // FNV-1a
    for (const unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

std::string RandomBytes(std::mt19937_64& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

// What a card path must hold: on the card, or in a destination once the card file is gone. A
// change that met the run's deletion of its file (raced) may leave the copy with what was before.
struct Want {
    Hash hash = 0, before = 0;
    bool raced = false;
};
using Model = std::map<std::string, Want>;

std::string Moved(const std::string& path, const std::string& from, const std::string& to) {
    return path.starts_with(from + "/") ? to + path.substr(from.size()) : path;
}

struct Card {
    std::string dcim, swapped, moved, outside;
    std::vector<std::string> order;  // card files in the order the run lists them
    Model model;
    std::uint64_t swap_at = 0;  // rows printed when the folder is swapped
};

// 1,000 small files in ten folders, names unique across the card; the folder that will be swapped
// has look-alikes of its files outside the card.
Card MakeCard(const TempDir& tmp, std::mt19937_64& random) {
    Card card{tmp / "card/DCIM", "", "", tmp / "outside", {}, {}, 0};
    for (int n = 0; n < 1000; ++n) {
        const char* ext = n % 50 == 7   ? ".THM"
                          : n % 10 == 3 ? ".PEF"
                          : n % 25 == 1 ? ".MOV"
                                        : ".JPG";
        char name[32];
        std::snprintf(name, sizeof name, "/%dPENTX/IMGP%04d%s", 100 + n / 100, n, ext);
        const std::string bytes =
            RandomBytes(random, n % 50 == 0 ? 100'000 : 500 + random() % 8'000);
        WriteFile(card.dcim + name, bytes);
        card.model[card.dcim + name] = {HashOf(bytes)};
    }
    // Breadth-first in the file system's order, as the run lists. A folder in the middle is
    // swapped when the run reaches it, now and then at once, while the run may still be listing.
    const std::size_t swapped = 2 + random() % 6;
    std::size_t f = 0;
    for (const auto& folder : fs::directory_iterator(card.dcim)) {
        if (f++ == swapped) {
            card.swapped = folder.path().string();
            card.moved = card.swapped + "-moved";
            card.swap_at = random() % 5 == 0 ? 0 : card.order.size() - 100 + random() % 150;
        }
        for (const auto& file : fs::directory_iterator(folder)) {
            card.order.push_back(file.path().string());
            const std::string name = file.path().filename().string();
            if (folder.path() == card.swapped)
                WriteFile(card.outside + "/lookalike/" + name, "outside " + name);
        }
    }
    WriteFile(card.outside + "/notes.txt", "not on the card");
    return card;
}

// The other process. Until stop_fd reports its end, changes card files a little ahead of the last
// row the tool printed, and writes each change it made to the journal as one line: "C path hash"
// appended to or replaced, "N path new_path" renamed, "D path" deleted, "S folder moved_to" the
// folder swapped for a link, and "L path hash" for a changed file found deleted soon after the
// change. Works on its own copy of the card's description; ends the process on an exception.
int Mutate(Card card, std::uint64_t seed, int stop_fd, const std::string& rows_path,
           const std::string& journal_path) noexcept {
    std::mt19937_64 random(seed);
    std::ofstream journal(journal_path);
    const UniqueFd rows(::open(rows_path.c_str(), O_RDONLY));
    if (!journal || !rows.valid()) return 3;
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
            if (::fstat(changes.front().fd.get(), &st) == 0 && st.st_nlink == 0)
                journal << "L " << changes.front().path << ' ' << changes.front().hash << '\n';
        }
    };
    auto swap = [&] {
        if (::rename(card.swapped.c_str(), card.moved.c_str()) != 0 ||
            ::symlink((card.outside + "/lookalike").c_str(), card.swapped.c_str()) != 0) {
            return false;
        }
        journal << "S " << card.swapped << ' ' << card.moved << '\n';
        for (std::string& path : card.order)
            path = Moved(path, card.swapped, card.moved);
        for (Change& change : changes)
            change.path = Moved(change.path, card.swapped, card.moved);
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
        settle(false);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        // Past the last row printed: copies awaiting their batch's commit, and files not reached.
        std::string& path = card.order[std::min(printed + random() % 200, card.order.size() - 1)];
        if (path.empty()) continue;  // deleted here before
        const std::uint64_t what = random() % 20;
        if (what < 14) {
            // An append, or a new file written beside the card and renamed over the card file.
            const std::string temp = card.dcim + "/../../scratch" + std::to_string(made);
            if (what >= 8) WriteFile(temp, RandomBytes(random, 1 + random() % 20'000));
            UniqueFd fd(
                ::open((what < 8 ? path : temp).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (!fd.valid()) continue;
            // Through the held file: the run may have deleted it since.
            const std::string held = "/proc/self/fd/" + std::to_string(fd.get());
            if (what < 8)
                std::ofstream(held, std::ios::app) << RandomBytes(random, 1 + random() % 2048);
            if (what >= 8 && ::rename(temp.c_str(), path.c_str()) != 0) return 6;
            const Hash hash = HashOf(ReadFile(held));
            journal << "C " << path << ' ' << hash << '\n';
            changes.push_back({std::move(fd), path, hash, std::chrono::steady_clock::now()});
        } else if (what < 17) {
            char name[32];
            std::snprintf(name, sizeof name, "/MUTA%04d", made);
            const std::string to = FolderOf(path) + name + ExtensionOf(path);
            if (RenameNoReplace(path, to) != 0) continue;
            journal << "N " << path << ' ' << to << '\n';
            path = to;
        } else {
            if (::unlink(path.c_str()) == 0) journal << "D " << path << '\n';
            path.clear();
        }
    }
    settle(true);
    // A run faster than the mutator still leaves the link for the second run.
    if (!card.swapped.empty() && !swap()) return 4;
    return journal.flush() ? 0 : 5;
}

// The card as the journal leaves it.
Model Replay(Model model, const std::string& journal) {
    std::istringstream lines(ReadFile(journal));
    for (std::string op, path, to; lines >> op >> path;) {
        if (Hash hash; op == "C" && lines >> hash) {
            Want& want = model[path];
            want = {hash, want.hash, false};
        } else if (op == "L" && lines >> hash) {
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
            Model moved;
            for (const auto& [file, want] : model)
                moved[Moved(file, path, to)] = want;
            model.swap(moved);
        }
    }
    return model;
}

// Regular files below root, links not followed: path -> content hash [inode mtime ctime].
std::map<std::string, std::string> Files(const std::string& root, bool identity) {
    std::map<std::string, std::string> files;
    std::error_code missing;
    for (const auto& entry : fs::recursive_directory_iterator(root, missing)) {
        struct stat st;
        if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        std::ostringstream text;
        text << HashOf(ReadFile(entry.path()));
        if (identity)
            text << ' ' << st.st_ino << ' ' << st.st_mtim.tv_sec << ' ' << st.st_mtim.tv_nsec << ' '
                 << st.st_ctim.tv_sec << ' ' << st.st_ctim.tv_nsec;
        files[entry.path().string()] = text.str();
    }
    return files;
}

// What breaks the run's promises, a line each (the first 20); `outside` as it was before.
std::string Broken(const TempDir& tmp, const Model& model,
                   const std::map<std::string, std::string>& outside) {
    std::string text;
    int count = 0;
    auto broken = [&](const char* what, const std::string& path) {
        if (++count <= 20) text.append(what).append(path).push_back('\n');
    };
    if (Files(tmp / "outside", true) != outside) broken("touched outside the card", "");
    std::set<std::string> outside_hashes;
    for (const auto& [path, identity] : outside)
        outside_hashes.insert(identity.substr(0, identity.find(' ')));
    std::map<std::string, std::string> copies;  // by file name, unique on the card
    for (const char* root : {"raw", "jpg", "other"}) {
        for (const auto& [path, hash] : Files(tmp / root, false)) {
            if (IsCopyTemporaryName(NameOf(path))) broken("temporary ", path);
            if (outside_hashes.count(hash) > 0) broken("copied from outside the card: ", path);
            copies[NameOf(path)] = hash;
        }
    }
    const auto card = Files(tmp / "card", false);
    for (const auto& [path, want] : model) {
        const std::string hash = std::to_string(want.hash);
        const auto left = card.find(path);
        const auto copy = copies.find(NameOf(path));
        if (left != card.end()) {
            if (left->second != hash) broken("changed on the card: ", path);
        } else if (copy == copies.end()) {
            broken("lost: ", path);
        } else if (copy->second != hash &&
                   !(want.raced && copy->second == std::to_string(want.before))) {
            broken("copy differs: ", path);
        }
    }
    for (const auto& [path, hash] : card)
        if (model.count(path) == 0) broken("not put on the card by anyone: ", path);
    return count == 0 ? text : std::to_string(count) + " broken:\n" + text;
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
    const std::string out = tmp / "out", err = tmp / "err";
    const std::string import = "import " + card.dcim + " --raw " + tmp / "raw" + " --jpeg " +
                               tmp / "jpg" + " --other " + tmp / "other" + " --remove >" + out +
                               " 2>" + err;
    WriteFile(out, "");

    int stop[2];
    ASSERT_EQ(::pipe2(stop, O_CLOEXEC), 0);
    std::fflush(nullptr);  // nothing buffered for the child to write again
    const pid_t mutator = ::fork();
    if (mutator == 0) {
        ::close(stop[1]);
        ::_exit(Mutate(card, seed + 1, stop[0], out, tmp / "journal"));
    }
    ::close(stop[0]);
    const int status = RunCli(import, nullptr);
    ::close(stop[1]);
    int mutated = -1;
    ASSERT_EQ(::waitpid(mutator, &mutated, 0), mutator);
    EXPECT_EQ(mutated, 0) << "the mutator failed";
    // Exit 1 exactly when a row says a copy or deletion failed, or a folder could not be read.
    const bool failed = ReadFile(out).find("\t失敗") != std::string::npos ||
                        ReadFile(err).find("cannot read folder") != std::string::npos;
    EXPECT_EQ(status, failed ? 1 : 0) << ReadFile(err);

    const Model model = Replay(card.model, tmp / "journal");
    EXPECT_EQ(Broken(tmp, model, outside), "") << "during the run";

    // The card left alone: the rest goes, or stays beside a copy of the same name.
    EXPECT_EQ(RunCli(import, nullptr), 0) << ReadFile(err);
    EXPECT_EQ(Broken(tmp, model, outside), "") << "after the second run";
    EXPECT_TRUE(fs::is_symlink(card.swapped));
}

}  // namespace
}  // namespace pelko::test
