#include "support/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <unordered_set>

#include "support/file_ops.h"
#include "support/text.h"
#include "support/text_file.h"

namespace pelko {

namespace {

bool IsWs(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimWs(std::string_view s) {
    while (!s.empty() && IsWs(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsWs(s.back()))
        s.remove_suffix(1);
    return s;
}

enum class LineKind { kOther, kSection, kKey };

struct LineInfo {
    LineKind kind = LineKind::kOther;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key lines: the text after the first "=", trimmed
};

// A header is "[" up to the last "]" of the line (text after it is ignored), or up to the first
// "]" when a comment follows it ("[FrmDCMain] ; v2 [old]"); a "[" without "]" is an ordinary
// line. Lines starting with ";" are comments; lines without "=" hold no key.
LineInfo Classify(std::string_view line) {
    std::string_view t = TrimWs(line);
    if (t.empty()) return {};
    if (t.front() == '[') {
        std::size_t close = t.find(']');
        if (close != std::string_view::npos) {
            const std::string_view after = TrimWs(t.substr(close + 1));
            if (!after.empty() && after.front() != ';' && after.front() != '#')
                close = t.rfind(']');
            return {LineKind::kSection, TrimWs(t.substr(1, close - 1)), {}};
        }
    }
    if (t.front() == ';') return {};
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    std::string_view name = TrimWs(t.substr(0, eq));
    if (name.empty()) return {};
    return {LineKind::kKey, name, TrimWs(t.substr(eq + 1))};
}

bool IsBlank(std::string_view line) {
    return TrimWs(line).empty();
}

// What a read returns for the raw text after "=": up to a NUL (where the C interfaces stop),
// one pair of matching quotes removed, at most kIniMaxValueChars characters.
std::string ValueFromRaw(std::string_view raw) {
    if (std::size_t nul = raw.find('\0'); nul != std::string_view::npos) {
        raw = TrimWs(raw.substr(0, nul));
    }
    if (raw.size() >= 2 && raw.front() == raw.back() &&
        (raw.front() == '"' || raw.front() == '\'')) {
        raw = raw.substr(1, raw.size() - 2);
    }
    std::size_t pos = 0;
    for (std::size_t n = 0; n < kIniMaxValueChars && pos < raw.size(); ++n) {
        pos += CharLengthAt(raw, pos);
    }
    return std::string(raw.substr(0, pos));
}

using ReadStatus = TextFileStatus;
using FileBytes = TextFileBytes;

// The bytes of a regular file, at most kIniMaxFileBytes, opened without blocking.
FileBytes ReadFileBytes(const std::string& path) {
    return ReadTextFilePrefix(path, kIniMaxFileBytes);
}

// Puts bytes under path atomically, so the name always holds either the old or the whole new
// file.
bool ReplaceFile(const std::string& path, std::string_view bytes, const mode_t* keep_mode) {
    AtomicWriteOptions options;
    if (keep_mode != nullptr) options.exact_mode = *keep_mode;
    return WriteFileAtomically(path, bytes, options) == 0;
}

// A symbolic link stays a link: the file it points to is the one replaced.
std::string WriteTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string target(real);
            std::free(real);
            return target;
        }
    }
    return path;
}

// A file replaced or edited has another identity, size or time (the file layer's identity).
std::optional<FileIdentity> StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return IdentityOf(st);
}

bool RecentlyChanged(const FileIdentity& stamp) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec - stamp.mtime.tv_sec < 2;
}

// One file as last read or written by this process.
struct CachedFile {
    std::optional<FileIdentity> stamp;  // none for a missing file
    ReadStatus status = ReadStatus::kMissing;
    bool trimmed = false;
    mode_t mode = 0;
    std::string text;  // the text the file holds (or will hold once a batch ends)
    IniDocument doc;
    // The values of each section asked for, by folded section name; none for a missing section.
    std::unordered_map<std::string, std::optional<std::unordered_map<std::string, std::string>>>
        sections;
    bool racy = false;   // changed too recently for its stamp to tell a further change
    bool dirty = false;  // changed inside a batch, not yet written
    std::uint64_t used = 0;
};

// Parsed files by path, guarded by the mutex; also serialises read-modify-write cycles, so two
// threads never lose each other's keys.
struct Cache {
    std::mutex mutex;
    std::unordered_map<std::string, CachedFile> files;
    std::uint64_t clock = 0;
    int batches = 0;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

// Files kept parsed at most; the least recently used clean one goes first.
constexpr std::size_t kCachedFiles = 16;

// The file's current parsed form, read again when it changed on the disk (not while a batch
// holds changes of it). The cache's mutex is held.
CachedFile& Load(Cache& cache, const std::string& path) {
    CachedFile& file = cache.files[path];
    file.used = ++cache.clock;
    if (!file.dirty) {
        const std::optional<FileIdentity> stamp = StampOf(path);
        const bool same = stamp && file.stamp && SameIdentity(*stamp, *file.stamp);
        if (!same || file.racy) {
            FileBytes bytes = ReadFileBytes(path);
            // File times are coarse: a file changed just now could change again within the same
            // tick at the same size and look unchanged, so its bytes are compared until it is
            // older.
            const bool unchanged = same && bytes.status == file.status && bytes.bytes == file.text;
            if (!unchanged) {
                file.status = bytes.status;
                file.trimmed = bytes.trimmed;
                file.mode = bytes.mode;
                file.doc = bytes.status == ReadStatus::kOk ? IniDocument::Parse(bytes.bytes)
                                                           : IniDocument{};
                file.text = std::move(bytes.bytes);
                file.sections.clear();
            }
            file.stamp = bytes.status == ReadStatus::kOk ? stamp : std::nullopt;
            file.racy = stamp && RecentlyChanged(*stamp);
        }
    }
    if (cache.files.size() > kCachedFiles) {
        auto oldest = cache.files.end();
        for (auto it = cache.files.begin(); it != cache.files.end(); ++it) {
            if (!it->second.dirty && it->first != path &&
                (oldest == cache.files.end() || it->second.used < oldest->second.used)) {
                oldest = it;
            }
        }
        if (oldest != cache.files.end()) cache.files.erase(oldest);
    }
    return cache.files[path];
}

// Writes the file's parsed form when its text changed. A file that was read only in part is
// first kept whole as "<name>.bak". The cache's mutex is held.
bool Store(const std::string& path, CachedFile& file) {
    file.dirty = false;
    std::string text = file.doc.Text();
    if (file.status == ReadStatus::kOk && !file.trimmed && text == file.text) return true;
    if (file.trimmed) {
        const std::string backup = path + ".bak";
        ::unlink(backup.c_str());
        if (::link(path.c_str(), backup.c_str()) != 0 &&
            CopyFileChecked(path, backup, CopyOptions{true, true}) != CopyOutcome::kOk) {
            file.stamp.reset();
            return false;
        }
    }
    const bool written =
        ReplaceFile(path, text, file.status == ReadStatus::kOk ? &file.mode : nullptr);
    if (written) {
        // A file this write made: later writes keep the mode it was made with, not the 0 of the
        // missing file it was read as.
        struct stat st {};
        if (file.status != ReadStatus::kOk && ::stat(path.c_str(), &st) == 0) {
            file.mode = st.st_mode & 07777;
        }
        file.text = std::move(text);
        file.status = ReadStatus::kOk;
        file.trimmed = false;
        file.stamp = StampOf(path);
        file.racy = false;  // its bytes are the ones just written
    } else {
        file.stamp.reset();  // read again from the disk next time
    }
    return written;
}

template <typename Change>
bool ModifyFile(const std::string& file_name, Change change) {
    if (file_name.empty()) return false;
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    const std::string path = WriteTarget(file_name);
    CachedFile& file = Load(cache, path);
    // An unreadable file is left alone: rewriting it would drop what could not be read.
    if (file.status == ReadStatus::kFailed) return false;
    if (!change(file.doc)) return false;
    file.sections.clear();
    if (cache.batches > 0) {
        file.dirty = true;
        return true;
    }
    return Store(path, file);
}

// Calls read(doc, values of the section) on the file's current parsed form.
template <typename Read>
auto ReadFile(const std::string& file_name, std::string_view section, Read read) {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    static const CachedFile kNone;
    if (file_name.empty())
        return read(kNone.doc,
                    static_cast<const std::unordered_map<std::string, std::string>*>(nullptr));
    CachedFile& file = Load(cache, file_name);
    const std::string folded = IniDocument::FoldKey(section);
    auto found = file.sections.find(folded);
    if (found == file.sections.end()) {
        std::optional<std::unordered_map<std::string, std::string>> values;
        if (file.doc.HasSection(section)) values = file.doc.SectionValues(section);
        found = file.sections.emplace(folded, std::move(values)).first;
    }
    return read(file.doc, found->second ? &*found->second : nullptr);
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    doc.lines_ = DecodeTextLines(bytes, true);
    return doc;
}

std::optional<std::pair<std::size_t, std::size_t>> IniDocument::FindSection(
    std::string_view section) const {
    section = TrimWs(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        LineInfo info = Classify(lines_[i]);
        if (info.kind != LineKind::kSection || !EqualsIgnoreAsciiCase(info.name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && Classify(lines_[end]).kind != LineKind::kSection)
            ++end;
        return std::pair{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(std::size_t begin, std::size_t end,
                                                std::string_view key) const {
    key = TrimWs(key);
    for (std::size_t i = begin; i < end; ++i) {
        LineInfo info = Classify(lines_[i]);
        if (info.kind == LineKind::kKey && EqualsIgnoreAsciiCase(info.name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Read(std::string_view section, std::string_view key) const {
    auto range = FindSection(section);
    if (!range) return std::nullopt;
    auto line = FindKey(range->first + 1, range->second, key);
    if (!line) return std::nullopt;
    return ValueFromRaw(Classify(lines_[*line]).value);
}

std::string IniDocument::FoldKey(std::string_view key) {
    return AsciiLower(TrimWs(key));
}

std::unordered_map<std::string, std::string> IniDocument::SectionValues(
    std::string_view section) const {
    std::unordered_map<std::string, std::string> values;
    const auto range = FindSection(section);
    if (!range) return values;
    for (std::size_t i = range->first + 1; i < range->second; ++i) {
        const LineInfo info = Classify(lines_[i]);
        if (info.kind == LineKind::kKey)
            values.try_emplace(FoldKey(info.name), ValueFromRaw(info.value));
    }
    return values;
}

bool IniDocument::IsStorableSection(std::string_view section) {
    if (section.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    // A "]" followed by a comment mark would end the header early on reading.
    const std::string_view name = TrimWs(section);
    const std::string line = "[" + std::string(name) + "]";
    const LineInfo header = Classify(line);
    return header.kind == LineKind::kSection && header.name == name;
}

bool IniDocument::IsStorableKey(std::string_view key) {
    key = TrimWs(key);
    return !key.empty() && key.front() != '[' && key.front() != ';' &&
           key.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

std::string IniDocument::EncodeValue(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    if (out.empty()) return out;
    bool quoted =
        out.size() >= 2 && out.front() == out.back() && (out.front() == '"' || out.front() == '\'');
    if (quoted || IsWs(out.front()) || IsWs(out.back())) out = '"' + out + '"';
    return out;
}

bool IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsStorableSection(section) || !IsStorableKey(key)) return false;
    section = TrimWs(section);
    key = TrimWs(key);
    std::string encoded = EncodeValue(value);
    auto range = FindSection(section);
    if (!range) {
        if (!lines_.empty() && !IsBlank(lines_.back())) lines_.emplace_back();
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(key) + "=" + encoded);
        return true;
    }
    if (auto line = FindKey(range->first + 1, range->second, key)) {
        // Keep the key as spelled in the file; only the value changes.
        std::string& text = lines_[*line];
        text = text.substr(0, text.find('=') + 1) + encoded;
        return true;
    }
    std::size_t insert_at = range->first + 1;
    for (std::size_t i = range->second; i > range->first + 1; --i) {
        if (!IsBlank(lines_[i - 1])) {
            insert_at = i;
            break;
        }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at),
                  std::string(key) + "=" + encoded);
    return true;
}

bool IniDocument::EraseKey(std::string_view section, std::string_view key) {
    auto range = FindSection(section);
    if (!range) return false;
    auto line = FindKey(range->first + 1, range->second, key);
    if (!line) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
    return true;
}

bool IniDocument::EraseSection(std::string_view section) {
    bool erased = false;
    while (auto range = FindSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first),
                     lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
        erased = true;
    }
    return erased;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const auto& line : lines_) {
        LineInfo info = Classify(line);
        if (info.kind == LineKind::kSection && seen.insert(AsciiLower(info.name)).second) {
            names.emplace_back(info.name);
        }
    }
    return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    auto range = FindSection(section);
    if (!range) return keys;
    for (std::size_t i = range->first + 1; i < range->second; ++i) {
        LineInfo info = Classify(lines_[i]);
        if (info.kind == LineKind::kKey) keys.emplace_back(info.name);
    }
    return keys;
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section).has_value();
}

std::string IniDocument::Text() const {
    std::size_t size = 0;
    for (const auto& line : lines_)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::optional<int> ParseIniInteger(std::string_view text) {
    text = TrimWs(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

namespace {

using Values = std::unordered_map<std::string, std::string>;

std::optional<std::string> ReadValue(const std::string& file_name, std::string_view section,
                                     std::string_view key) {
    return ReadFile(file_name, section,
                    [&](const IniDocument&, const Values* values) -> std::optional<std::string> {
                        if (values == nullptr) return std::nullopt;
                        const auto found = values->find(IniDocument::FoldKey(key));
                        if (found == values->end()) return std::nullopt;
                        return found->second;
                    });
}

}  // namespace

TextFileStatus IniFile::ReadState(bool* trimmed) const {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    if (file_name_.empty()) return TextFileStatus::kMissing;
    const CachedFile& file = Load(cache, file_name_);
    if (trimmed != nullptr) *trimmed = file.trimmed;
    return file.status;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
    auto value = ReadValue(file_name_, section, key);
    return value ? *value : std::string(default_value);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int default_value) const {
    auto value = ReadValue(file_name_, section, key);
    if (!value) return default_value;
    return ParseIniInteger(*value).value_or(default_value);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
    return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return ReadValue(file_name_, section, key).has_value();
}

bool IniFile::SectionExists(std::string_view section) const {
    return ReadFile(file_name_, section,
                    [](const IniDocument&, const Values* values) { return values != nullptr; });
}

std::vector<std::string> IniFile::ReadSections() const {
    return ReadFile(file_name_, "",
                    [](const IniDocument& doc, const Values*) { return doc.Sections(); });
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    return ReadFile(file_name_, section,
                    [&](const IniDocument& doc, const Values*) { return doc.Keys(section); });
}

bool IniFile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) const {
    if (!IniDocument::IsStorableSection(section) || !IniDocument::IsStorableKey(key)) return false;
    return ModifyFile(file_name_, [&](IniDocument& doc) { return doc.Write(section, key, value); });
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int value) const {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) const {
    return WriteString(section, key, value ? "1" : "0");
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) const {
    return ModifyFile(file_name_, [&](IniDocument& doc) { return doc.EraseKey(section, key); });
}

bool IniFile::EraseSection(std::string_view section) const {
    return ModifyFile(file_name_, [&](IniDocument& doc) { return doc.EraseSection(section); });
}

IniWriteBatch::IniWriteBatch() {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    ++cache.batches;
}

IniWriteBatch::~IniWriteBatch() {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    if (--cache.batches > 0) return;
    for (auto& [path, file] : cache.files) {
        if (file.dirty) Store(path, file);
    }
}

}  // namespace pelko
