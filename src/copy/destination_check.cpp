#include "copy/destination_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "support/file_ops.h"
#include "support/search.h"

namespace pelko {

namespace {

struct NodeId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const NodeId&) const = default;
};

std::optional<NodeId> IdOf(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return NodeId{st.st_dev, st.st_ino};
}

std::optional<std::string> RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

// The nearest folder at or above the path that exists, with every link resolved: where the
// path's missing folders would be created.
std::string NearestExisting(const std::string& path) {
    for (std::string at = ExpandPath(path); !at.empty(); at = FolderOf(at)) {
        if (std::optional<std::string> real = RealPath(at)) return *real;
        if (at == "/") break;
    }
    return "/";
}

// Whether the path, or the folder it would be created in, is the folder `root` or lies below it.
bool Within(const std::string& path, const NodeId& root) {
    for (std::string at = NearestExisting(path);; at = FolderOf(at)) {
        if (IdOf(at) == root) return true;
        if (at == "/" || at.empty()) return false;
    }
}

struct Destination {
    TFileKind kind;
    const char* key;
    const std::string CopyRunSettings::*path;
};
constexpr Destination kDestinations[] = {
    {TFileKind::fkRaw, "DestRaw", &CopyRunSettings::dest_raw},
    {TFileKind::fkJpeg, "DestJpg", &CopyRunSettings::dest_jpg},
    {TFileKind::fkOther, "DestOther", &CopyRunSettings::dest_other},
};

}  // namespace

bool FolderCouldTakeFiles(const std::string& folder) {
    std::string at = folder;
    for (;;) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0) {
            return S_ISDIR(st.st_mode) && ::access(at.c_str(), W_OK | X_OK) == 0;
        }
        // Only a missing part may be made; a file in the way (ENOTDIR) or a folder that cannot be
        // searched stops the copy as it would stop the run.
        if (errno != ENOENT || at == "/" || at == ".") return false;
        // A relative path starts in the working folder.
        std::string parent = FolderOf(at);
        at = parent.empty() ? std::string(1, '.') : std::move(parent);
    }
}

std::optional<DestinationProblem> CheckDestinations(const CopyRunSettings& settings,
                                                    const std::string& source_folder,
                                                    RunSourceKind kind) {
    const std::optional<std::string> source = RealPath(source_folder);
    if (!source) return std::nullopt;  // no source: the run finds nothing to copy
    const std::string card_root = kind == RunSourceKind::rsCard ? FolderOf(*source) : *source;
    const std::optional<NodeId> root = IdOf(card_root);
    const std::optional<NodeId> source_id = IdOf(*source);
    for (const Destination& destination : kDestinations) {
        const std::string& path = settings.*destination.path;
        DestinationProblem problem{DestinationProblemKind::kOnCard, destination.kind,
                                   destination.key, path};
        if (path.empty()) {
            problem.why = DestinationProblemKind::kNotSet;
            return problem;
        }
        if (root && Within(path, *root)) return problem;
        // A destination that does not exist yet holds nothing.
        if (const std::optional<NodeId> dest = IdOf(path);
            dest && source_id && Within(*source, *dest)) {
            problem.why = DestinationProblemKind::kHoldsSource;
            return problem;
        }
    }
    return std::nullopt;
}

std::string DestinationProblemText(const DestinationProblem& problem) {
    const std::string which = problem.kind == TFileKind::fkRaw    ? "RAW"
                              : problem.kind == TFileKind::fkJpeg ? "JPEG"
                                                                  : "other";
    if (problem.why == DestinationProblemKind::kNotSet) {
        return "the " + which + " destination is not set";
    }
    return "the " + which + " destination " + problem.path +
           (problem.why == DestinationProblemKind::kOnCard ? " is on the card"
                                                           : " holds the source folder") +
           "; choose a folder elsewhere";
}

std::string DestinationProblemTextJa(const DestinationProblem& problem) {
    // The captions of the destinations in the window.
    const std::string which = problem.kind == TFileKind::fkRaw    ? "RAW コピー先"
                              : problem.kind == TFileKind::fkJpeg ? "JPEG コピー先"
                                                                  : "その他動画など のコピー先";
    if (problem.why == DestinationProblemKind::kNotSet) {
        return which + "が指定されていません。\r\nコピー先のフォルダを指定して下さい";
    }
    if (problem.why == DestinationProblemKind::kOnCard) {
        return which + "がメディアの中にあります。\r\n" + problem.path +
               "\r\nコピー先にはメディア以外のフォルダを指定して下さい";
    }
    return which + "の中にコピー元のフォルダがあります。\r\n" + problem.path +
           "\r\nコピー先にはコピー元を含まないフォルダを指定して下さい";
}

}  // namespace pelko
