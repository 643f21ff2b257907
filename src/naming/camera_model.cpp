#include "naming/camera_model.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "exif/exif_info_ex.h"
#include "support/file_ops.h"
#include "support/ini_file.h"
#include "support/platform.h"
#include "support/string_utils.h"
#include "support/text.h"
#include "support/text_file.h"

namespace pelko {

namespace {

struct MakerRule {
    std::size_t offset;
    std::size_t length;
    std::string_view fallback;
};

// clang-format off
constexpr std::array<MakerRule, 5> kRules = {{
    {250, 285, "PENTAX RAW FILE"},
    {0, 464, "NIKON RAW FILE"},
    {0, 270, "CANON RAW FILE"},
    {0, 280, "SONY RAW FILE"},
    {0, 2557, "OLYMPUS RAW FILE"},
}};
// clang-format on

// The alias table as WriteModelAliasFile starts it.
constexpr std::array<std::string_view, 19> kDefaultAliasLines = {
    "; フルモデル名からショート名へ変換するテーブルです",
    "; %C を設定した場合に適用されます",
    "; 自由に追加可能です",
    "; =の左側はキーで、フルモデル名です",
    "; =の右側が変換される名称です",
    "",
    "",
    "[Camera]",
    "PENTAX K20D=K20D",
    "PENTAX K10D=K10D",
    "PENTAX K-m=K-m",
    "PENTAX K200D=K200D",
    "PENTAX K100DS=K100DS",
    "PENTAX K100D=K100D",
    "PENTAX ist DL2=DL2",
    "PENTAX ist DL=istDL",
    "PENTAX ist DS2=DS2",
    "PENTAX ist DS=istDS",
    "COOLPIX S600=S600",
};

const MakerRule& RuleOf(TRawMaker maker) {
    return kRules[static_cast<std::size_t>(maker)];
}

// Up to length bytes of the file from offset; nothing when it cannot be opened.
std::string ReadStretch(const std::string& file_name, std::size_t offset, std::size_t length) {
    std::string bytes(length, '\0');
    int fd = ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    std::size_t done = 0;
    while (done < length) {
        ssize_t got =
            ::pread(fd, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

// A model or alias text as it may stand in a name: without control characters, broken text,
// surrounding blanks and the characters a file name cannot hold.
std::string ModelText(std::string_view text) {
    return ReplaceEach(TrimControl(CleanNameText(text)), InvalidFileNameChars, false, "");
}

std::string ReadRawModel(TRawMaker maker, const std::string& file_name) {
    const MakerRule& rule = RuleOf(maker);
    return RawModelFromHeader(maker, ReadStretch(file_name, rule.offset, rule.length));
}

// Start of the model in the header text: the maker text itself (included) or a fixed distance
// after it, and where the model starts when the maker text is missing (npos: not at all).
struct StartRule {
    std::string_view marker;
    std::size_t skip;
    std::size_t missing;
};

StartRule StartRuleOf(TRawMaker maker) {
    switch (maker) {
        case TRawMaker::rmPentax:
            return {"PENTAX", 0, std::string_view::npos};
        case TRawMaker::rmNikon:
            return {"CORPORATION", 12, 11};
        case TRawMaker::rmCanon:
            return {"Canon Canon", 6, 5};
        case TRawMaker::rmSony:
            return {"DSLR", 0, std::string_view::npos};
        case TRawMaker::rmOlympus:
            return {"OLYMPUS IMAGING CORP", 21, 20};
    }
    return {};
}

// The alias table, read once and again only when the file changes (a run names thousands of
// files, each maybe with many %C), kept as a map with the first-match result of an ini read. Read
// through its own handle, never through the process-wide current ini file.
class AliasTableCache {
  public:
    static AliasTableCache& Instance() {
        static AliasTableCache cache;
        return cache;
    }

    // The alias of model in the table at path; model itself when it has none.
    std::string Lookup(const std::string& path, const std::string& model,
                       TMissingAliasTable missing_table) {
        std::lock_guard lock(mutex_);
        const Table* table = Current(path);
        if (table == nullptr) {
            if (missing_table == TMissingAliasTable::matNone) return model;
            table = &BuiltIn();
        }
        const auto found = table->find(IniDocument::FoldKey(model));
        return found == table->end() ? model : found->second;
    }

  private:
    using Table = std::unordered_map<std::string, std::string>;

    // What tells a changed file: another file under the name, or new contents.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t mtime_ns = 0, ctime_ns = 0;
        bool operator==(const Identity&) const = default;
    };

    static Table Parse(std::string_view bytes) {
        return IniDocument::Parse(bytes).SectionValues("Camera");
    }

    static const Table& BuiltIn() {
        static const Table table = [] {
            std::string text;
            for (std::string_view line : kDefaultAliasLines) {
                text += line;
                text += "\n";
            }
            return Parse(text);
        }();
        return table;
    }

    // The table of the file at path, loaded when it changed; null when there is no such file.
    const Table* Current(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            loaded_ = false;
            return nullptr;
        }
        const Identity identity{st.st_dev, st.st_ino, st.st_size,
                                st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec,
                                st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec};
        if (loaded_ && path == path_ && identity == identity_) return &table_;
        const TextFileBytes file = ReadTextFilePrefix(path, kIniMaxFileBytes);
        table_ = file.status == TextFileStatus::kOk ? Parse(file.bytes) : Table{};
        path_ = path;
        identity_ = identity;
        loaded_ = true;
        return &table_;
    }

    std::mutex mutex_;
    bool loaded_ = false;
    std::string path_;
    Identity identity_;
    Table table_;
};

}  // namespace

std::string RawModelFromHeader(TRawMaker maker, std::string_view header) {
    const MakerRule& rule = RuleOf(maker);
    const std::string fallback(rule.fallback);
    // A blank buffer of fixed length holds what was read; control bytes read as spaces so the
    // header's strings form one text.
    std::string raw(rule.length, ' ');
    raw.replace(0, std::min(header.size(), raw.size()), header.substr(0, raw.size()));
    std::string text = raw;
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    }

    const StartRule start_rule = StartRuleOf(maker);
    std::size_t start = text.find(start_rule.marker);
    if (start == std::string::npos) {
        if (start_rule.missing == std::string_view::npos) return fallback;
        start = start_rule.missing;
    } else {
        start += start_rule.skip;
    }
    start = std::min(start, text.size());
    std::string_view tail = std::string_view(text).substr(start);

    std::string_view model;
    switch (maker) {
        case TRawMaker::rmPentax:
        case TRawMaker::rmSony:
        case TRawMaker::rmOlympus: {
            std::size_t end = tail.find(maker == TRawMaker::rmOlympus ? "Version" : " H ");
            if (end != std::string_view::npos) model = tail.substr(0, end);
            break;
        }
        case TRawMaker::rmNikon: {
            std::size_t end = tail.find(',');
            if (end == std::string_view::npos || end == 0) return fallback;
            model = tail.substr(0, end);
            break;
        }
        case TRawMaker::rmCanon: {
            // The model string ends with the file's string end, not at the end of the stretch,
            // which would take dates and binary bytes along.
            std::size_t end = start;
            while (end < raw.size() && static_cast<unsigned char>(raw[end]) >= 32)
                ++end;
            model = tail.substr(0, end - start);
            break;
        }
    }

    // Only printable ASCII can form a file name.
    std::string printable;
    for (char c : model) {
        if (c >= 32 && c <= 126) printable += c;
    }
    std::string m = std::string(maker == TRawMaker::rmSony      ? "SONY "
                                : maker == TRawMaker::rmOlympus ? "OLYMPUS "
                                                                : "") +
                    std::string(TrimControl(printable));
    m = ReplaceEach(m, InvalidFileNameChars, false, "");
    return m.empty() ? fallback : m;
}

std::string ReadPentaxModel(const std::string& file_name) {
    return ReadRawModel(TRawMaker::rmPentax, file_name);
}
std::string ReadNikonModel(const std::string& file_name) {
    return ReadRawModel(TRawMaker::rmNikon, file_name);
}
std::string ReadCanonModel(const std::string& file_name) {
    return ReadRawModel(TRawMaker::rmCanon, file_name);
}
std::string ReadSonyModel(const std::string& file_name) {
    return ReadRawModel(TRawMaker::rmSony, file_name);
}
std::string ReadOlympusModel(const std::string& file_name) {
    return ReadRawModel(TRawMaker::rmOlympus, file_name);
}

std::string GetModelName(const std::string& file_name, const ModelAliasSource& aliases) {
    std::string model;
    try {
        const std::string ext = AsciiLower(ExtensionOf(file_name));
        if (ext == ".pef") {
            model = ReadPentaxModel(file_name);
        } else if (ext == ".nef") {
            model = ReadNikonModel(file_name);
        } else if (ext == ".cr2") {
            model = ReadCanonModel(file_name);
        } else if (ext == ".arw") {
            model = ReadSonyModel(file_name);
        } else if (ext == ".orf") {
            model = ReadOlympusModel(file_name);
        } else if (ext == ".jpg") {
            TExifInfoEx exif;
            exif.SetImageFileName(file_name);
            model = ModelText(exif.Model());
        }
    } catch (...) {
        // A reader that fails leaves the model unknown.
    }
    if (model.empty()) model = std::string(kUnknownModel);
    return ApplyModelAlias(model, aliases);
}

std::string ApplyModelAlias(const std::string& model, const ModelAliasSource& aliases) {
    if (aliases.folder.empty()) return model;
    const std::string path = aliases.folder + "/" + std::string(kModelAliasFileName);
    return ModelText(AliasTableCache::Instance().Lookup(path, model, aliases.missing));
}

bool WriteModelAliasFile(const std::string& folder) {
    const std::string path = folder + "/" + std::string(kModelAliasFileName);
    if (::access(path.c_str(), F_OK) == 0) return true;
    std::string text;
    for (std::string_view line : kDefaultAliasLines) {
        text += line;
        text += "\r\n";
    }
    // The table appears whole or not at all, and a table that appeared meanwhile is never
    // replaced.
    AtomicWriteOptions options;
    options.replace = false;
    options.mode = 0644;
    const int err = WriteFileAtomically(path, text, options);
    return err == 0 || err == EEXIST;
}

}  // namespace pelko
