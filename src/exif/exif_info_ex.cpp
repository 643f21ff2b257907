#include "exif/exif_info_ex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <type_traits>
#include <variant>

#include "exif/bounded_reader.h"
#include "exif/exif_texts.h"
#include "support/text.h"

namespace pelko {

namespace {

// First read of a file: enough for the header search and, in most files, the whole walk.
constexpr std::size_t kPrefetch = 16 * 1024;
// Room of the directory queue: IFD0, Exif, IFD1 and Interoperability with plenty to spare.
constexpr std::size_t kQueueRoom = 13;
// No value of an EXIF block (at most 64 KiB) is longer; hostile counts are cut here.
constexpr std::uint64_t kMaxValueBytes = 64 * 1024;
// Text and byte values decoded in one walk, all entries together. A real block holds far less;
// without a total, thousands of entries pointing at the same long value would each decode it.
constexpr std::uint64_t kValueBudget = 1024 * 1024;

std::uint64_t UnitSize(std::int8_t type) {
    switch (type) {
        case kTiffByte:
        case kTiffAscii:
        case kTiffSByte:
        case kTiffUndefined:
            return 1;
        case kTiffShort:
        case kTiffSShort:
            return 2;
        case kTiffLong:
        case kTiffSLong:
        case kTiffFloat:
            return 4;
        default:
            return 8;
    }
}

// A decoded value; raw holds the bytes of an UNDEFINED value decoded without its hexadecimal text.
struct Value {
    TDatas datas;
    std::string raw;
};

// The number nearest to v (halves to even), cut to its low 16 bits; non-finite values give 0.
std::uint16_t RoundToLow16(double v) {
    double r = std::nearbyint(v);
    if (!std::isfinite(r)) return 0;
    r = std::fmod(r, 65536.0);
    if (r < 0) r += 65536.0;
    return static_cast<std::uint16_t>(r);
}

void SetStringValue(TExifStringValue& target, std::uint16_t tag, std::uint32_t value,
                    bool keep_unknown) {
    target.Value = static_cast<std::int32_t>(value);
    const char* text = ExifValueText(tag, value);
    if (text != nullptr) {
        target.Text = text;
    } else if (!keep_unknown) {
        target.Text.clear();
    }
}

void SetRational(TExifRational& target, const TDatas& d) {
    target.Text = d.Text;
    target.FloatValue = d.FloatValue;
}

}  // namespace

struct TExifInfoEx::Entry {
    std::uint16_t tag;
    std::int8_t type;
    std::uint32_t count;
    std::uint64_t value_field;  // position of the entry's 4-byte value field
};

namespace {

// Decodes the first value of an entry (all of an ASCII or UNDEFINED one, as far as *budget
// allows; what it takes is subtracted). hex_text asks for the hexadecimal Text of an UNDEFINED
// value; without it the value's bytes are kept in raw.
Value ReadValue(BoundedReader& reader, std::int8_t type, std::uint32_t count,
                std::uint64_t value_field, std::uint64_t tiff, bool big, bool hex_text,
                std::uint64_t* budget) {
    Value v;
    TDatas& d = v.datas;
    std::uint64_t size = count * UnitSize(type);
    std::uint64_t pos = size <= 4 ? value_field : tiff + reader.U32(value_field, big);
    switch (type) {
        case kTiffByte: {
            unsigned char b;
            reader.ReadAt(pos, &b, 1);
            d.UnsignedValue = b;
            break;
        }
        case kTiffAscii:
        case kTiffUndefined: {
            const std::string_view bytes =
                reader.View(pos, std::min({size, kMaxValueBytes, *budget}));
            *budget -= bytes.size();
            if (type == kTiffAscii) {
                d.Text.reserve(bytes.size());
                for (char c : bytes) {
                    if (c != '\0') d.Text += c;  // a NUL does not end the text
                }
            } else if (hex_text) {
                d.Text = ExifHexText(bytes);
            } else {
                v.raw = std::string(bytes);
            }
            break;
        }
        case kTiffShort:
            d.UnsignedValue = reader.U16(pos, big);
            break;
        case kTiffLong:
            d.UnsignedValue = reader.U32(pos, big);
            break;
        case kTiffRational: {
            std::uint32_t n = reader.U32(pos, big);
            std::uint32_t q = reader.U32(pos + 4, big);
            char text[32];
            std::snprintf(text, sizeof text, "%u/%u", n, q);
            d.Text = text;
            if (q != 0) d.FloatValue = static_cast<double>(n) / q;
            break;
        }
        case kTiffSByte: {
            unsigned char b;
            reader.ReadAt(pos, &b, 1);
            d.SignedValue = static_cast<std::int8_t>(b);
            break;
        }
        case kTiffSShort:
            d.SignedValue = static_cast<std::int16_t>(reader.U16(pos, big));
            break;
        case kTiffSLong:
            d.SignedValue = static_cast<std::int32_t>(reader.U32(pos, big));
            break;
        case kTiffSRational: {
            auto n = static_cast<std::int32_t>(reader.U32(pos, big));
            auto q = static_cast<std::int32_t>(reader.U32(pos + 4, big));
            char text[32];
            std::snprintf(text, sizeof text, "%d/%d", n, q);
            d.Text = text;
            if (q != 0) d.FloatValue = static_cast<double>(n) / q;
            break;
        }
        case kTiffFloat:
            d.FloatValue = std::bit_cast<float>(reader.U32(pos, big));
            break;
        case kTiffDouble:
            d.FloatValue = std::bit_cast<double>(reader.U64(pos, big));
            break;
        default:
            break;
    }
    return v;
}

// Queues a directory position unless the queue is full or already holds it, so no directory is
// visited twice and a link back to one ends the walk.
void Enqueue(std::vector<std::uint64_t>& queue, std::uint64_t pos) {
    if (queue.size() < kQueueRoom && std::find(queue.begin(), queue.end(), pos) == queue.end()) {
        queue.push_back(pos);
    }
}

// A version tag's text: the bytes of an UNDEFINED value, the text of any other as it is.
std::string VersionText(const Value& v, std::int8_t type) {
    if (type == kTiffUndefined) return ExifVersionText(v.raw);
    return DecodeLegacyText(v.datas.Text);
}

// The line a UserComment entry adds, or false when it adds none.
bool CommentLine(const Value& v, std::int8_t type, bool big, std::string* line) {
    const TDatas& d = v.datas;
    switch (type) {
        case kTiffByte:
        case kTiffShort:
        case kTiffLong:
            *line = std::to_string(d.UnsignedValue);
            return true;
        case kTiffAscii:
        case kTiffRational:
        case kTiffSRational:
            *line = DecodeLegacyText(d.Text);
            return true;
        case kTiffSByte:
        case kTiffSShort:
        case kTiffSLong:
            *line = std::to_string(d.SignedValue);
            return true;
        case kTiffFloat:
        case kTiffDouble:
            *line = FormatGeneralFloat(d.FloatValue);
            return true;
        case kTiffUndefined:
            if (v.raw.empty()) return false;
            *line = ExifUndefinedComment(v.raw, big);
            return true;
        default:
            return false;
    }
}

}  // namespace

// The tag table reaches into the reader's private property record.
struct ExifTagTable {
    using Tags = TExifInfoEx::Tags;
};

namespace {

using Tags = ExifTagTable::Tags;
using TextField = std::string Tags::*;
using CommentField = std::vector<std::string> Tags::*;
using Field = std::variant<std::monostate, TextField, std::int16_t Tags::*, std::uint16_t Tags::*,
                           std::int32_t Tags::*, std::uint32_t Tags::*, TExifRational Tags::*,
                           TExifStringValue Tags::*, TExifOrientation Tags::*, CommentField>;

template <typename F>
constexpr bool IsNumberField =
    std::is_same_v<F, std::int16_t Tags::*> || std::is_same_v<F, std::uint16_t Tags::*> ||
    std::is_same_v<F, std::int32_t Tags::*> || std::is_same_v<F, std::uint32_t Tags::*>;

// Which directory (or, for the related image size, which kind of file) a row applies in. A tag is
// matched in whichever directory it stands in; only a few tags look at where they are.
enum class Where : std::uint8_t {
    kAny,
    kFirstIfd,       // the first directory of the walk (IFD0)
    kLaterIfd,       // any other (in practice IFD1, the thumbnail's)
    kThumbnailFile,  // the Interoperability index said "THM"
    kImageFile,      // it did not
};

// How a row takes the decoded entry into its property.
enum class Take : std::uint8_t {
    kThumbnailFlag,  // no property: marks a thumbnail (THM) file
    kDirectory,      // no property: queues the directory the value points to
    kText,           // Text, decoded to UTF-8
    kVersion,        // a version text (30 32 32 30 -> "0220")
    kNumber,         // UnsignedValue, cut to the property's width
    kFirstNumber,    // UnsignedValue, only while the property is still 0
    kRounded,        // FloatValue rounded half to even, low 16 bits
    kRational,       // Text and FloatValue
    kDescribed,      // UnsignedValue and its description; an unknown value clears the text
    kDescribedKeep,  // the same, but an unknown value keeps the text
    kOrientation,    // the orientation of UnsignedValue; above 8 changes nothing
    kComment,        // one more line
    kCount,          // the entry's count, nothing decoded
    kOffset,         // the value field as an offset, made absolute; nothing decoded
};

struct TagRow {
    std::uint16_t tag;
    Where where;
    std::string_view property;  // empty for rows that set no property
    Take take;
    Field field;
};

// Every tag the reader knows, in the order its properties are listed. A tag may have several rows
// (one per directory, or several properties); a property may be set by several tags.
constexpr TagRow kTagTable[] = {
    {0x0001, Where::kAny, "", Take::kThumbnailFlag, {}},
    {0x0100, Where::kAny, "ThumbnailWidth", Take::kNumber, &Tags::thumbnail_width_},
    {0x0101, Where::kAny, "ThumbnailHeight", Take::kNumber, &Tags::thumbnail_height_},
    {0x0103, Where::kAny, "Compression", Take::kDescribed, &Tags::compression_},
    {0x0106, Where::kAny, "PhotometricInterpretation", Take::kDescribed, &Tags::photometric_},
    {0x010E, Where::kAny, "ImageDescription", Take::kText, &Tags::image_description_},
    {0x010F, Where::kAny, "Make", Take::kText, &Tags::make_},
    {0x0110, Where::kAny, "Model", Take::kText, &Tags::model_},
    {0x0112, Where::kFirstIfd, "Orientation", Take::kOrientation, &Tags::orientation_},
    {0x0112, Where::kLaterIfd, "ThumbnailOrientation", Take::kOrientation,
     &Tags::thumbnail_orientation_},
    {0x0115, Where::kAny, "SamplesPerPixel", Take::kNumber, &Tags::samples_per_pixel_},
    {0x011A, Where::kFirstIfd, "XResolution", Take::kRational, &Tags::x_resolution_},
    {0x011B, Where::kFirstIfd, "YResolution", Take::kRational, &Tags::y_resolution_},
    {0x011A, Where::kLaterIfd, "ThumbnailXResolution", Take::kRational,
     &Tags::thumbnail_x_resolution_},
    {0x011B, Where::kLaterIfd, "ThumbnailYResolution", Take::kRational,
     &Tags::thumbnail_y_resolution_},
    {0x011C, Where::kAny, "PlanarConfiguration", Take::kNumber, &Tags::planar_configuration_},
    {0x0128, Where::kFirstIfd, "ResolutionUnit", Take::kDescribedKeep, &Tags::resolution_unit_},
    {0x0128, Where::kLaterIfd, "ThumbnailResolutionUnit", Take::kDescribedKeep,
     &Tags::thumbnail_resolution_unit_},
    {0x0131, Where::kAny, "Software", Take::kText, &Tags::software_},
    {0x0132, Where::kAny, "DateTime", Take::kText, &Tags::date_time_},
    {0x0201, Where::kAny, "JPEGInterchangeFormat", Take::kNumber, &Tags::jpeg_if_},
    {0x0202, Where::kAny, "JPEGInterchangeFormatLength", Take::kNumber, &Tags::jpeg_if_length_},
    {0x1001, Where::kImageFile, "ImageWidth", Take::kFirstNumber, &Tags::image_width_},
    {0x1002, Where::kImageFile, "ImageHeight", Take::kFirstNumber, &Tags::image_height_},
    {0x1001, Where::kThumbnailFile, "ThumbnailWidth", Take::kFirstNumber, &Tags::thumbnail_width_},
    {0x1002, Where::kThumbnailFile, "ThumbnailHeight", Take::kFirstNumber,
     &Tags::thumbnail_height_},
    {0x8298, Where::kAny, "RightsNotice", Take::kText, &Tags::rights_notice_},
    {0x829A, Where::kAny, "ExposureTime", Take::kRational, &Tags::exposure_time_},
    {0x829D, Where::kAny, "FNumber", Take::kRational, &Tags::f_number_},
    {0x8769, Where::kAny, "", Take::kDirectory, {}},  // Exif IFD
    {0x8822, Where::kAny, "ExposureProgram", Take::kDescribed, &Tags::exposure_program_},
    {0x8827, Where::kAny, "ISOSpeedRatings", Take::kNumber, &Tags::iso_speed_ratings_},
    {0x9000, Where::kAny, "ExifVersion", Take::kVersion, &Tags::exif_version_},
    {0x9003, Where::kAny, "DateTimeOriginal", Take::kText, &Tags::date_time_original_},
    {0x9004, Where::kAny, "DateTimeGenerated", Take::kText, &Tags::date_time_generated_},
    {0x9102, Where::kAny, "CompressedBitsPerPixel", Take::kRational,
     &Tags::compressed_bits_per_pixel_},
    {0x9201, Where::kAny, "ShutterSpeedValue", Take::kRational, &Tags::shutter_speed_value_},
    {0x9202, Where::kAny, "ApertureValue", Take::kRational, &Tags::aperture_value_},
    {0x9203, Where::kAny, "BrightnessValue", Take::kRational, &Tags::brightness_value_},
    {0x9204, Where::kAny, "ExposureBiasValue", Take::kRational, &Tags::exposure_bias_value_},
    {0x9205, Where::kAny, "MaxApertureValue", Take::kRational, &Tags::max_aperture_value_},
    {0x9206, Where::kAny, "SubjectDistance", Take::kRational, &Tags::subject_distance_},
    {0x9207, Where::kAny, "MeteringMode", Take::kDescribed, &Tags::metering_mode_},
    {0x9208, Where::kAny, "LightSource", Take::kDescribed, &Tags::light_source_},
    {0x9209, Where::kAny, "Flash", Take::kDescribed, &Tags::flash_},
    {0x920A, Where::kAny, "FocalLength", Take::kRational, &Tags::focal_length_},
    {0x927C, Where::kAny, "MakerNoteLength", Take::kCount, &Tags::maker_note_length_},
    {0x927C, Where::kAny, "MakerNotePosition", Take::kOffset, &Tags::maker_note_position_},
    {0x9286, Where::kAny, "UserComment", Take::kComment, &Tags::user_comment_},
    {0x9290, Where::kAny, "SubSecTime", Take::kText, &Tags::sub_sec_time_},
    {0x9291, Where::kAny, "SubSecTimeOriginal", Take::kText, &Tags::sub_sec_time_original_},
    {0x9292, Where::kAny, "SubSecTimeGenerated", Take::kText, &Tags::sub_sec_time_generated_},
    {0xA000, Where::kAny, "FlashpixVersion", Take::kVersion, &Tags::flashpix_version_},
    {0xA001, Where::kAny, "ColorSpace", Take::kDescribed, &Tags::color_space_},
    {0xA002, Where::kAny, "ImageWidth", Take::kNumber, &Tags::image_width_},
    {0xA003, Where::kAny, "ImageHeight", Take::kNumber, &Tags::image_height_},
    {0xA004, Where::kAny, "RelatedSoundFile", Take::kText, &Tags::related_sound_file_},
    {0xA005, Where::kAny, "", Take::kDirectory, {}},  // Interoperability IFD
    {0xA20E, Where::kAny, "FocalPlaneXResolution", Take::kRational,
     &Tags::focal_plane_x_resolution_},
    {0xA20F, Where::kAny, "FocalPlaneYResolution", Take::kRational,
     &Tags::focal_plane_y_resolution_},
    {0xA210, Where::kAny, "FocalPlaneResolutionUnit", Take::kDescribed, &Tags::focal_plane_unit_},
    {0xA215, Where::kAny, "ISOSpeedRatings", Take::kRounded, &Tags::iso_speed_ratings_},
    {0xA217, Where::kAny, "SensingMethod", Take::kDescribed, &Tags::sensing_method_},
};
constexpr std::size_t kRowCount = std::size(kTagTable);

// Rows that read the entry itself rather than its decoded value.
constexpr bool TakesEntryOnly(Take take) {
    return take == Take::kCount || take == Take::kOffset;
}

// Version texts and comments decode the raw bytes of an UNDEFINED value; every other row reads
// its hexadecimal text.
constexpr bool WantsHexText(Take take) {
    return take != Take::kVersion && take != Take::kComment;
}

// Whether a row's property has the type its way of taking needs.
constexpr bool FieldFits(const TagRow& row) {
    const Field& f = row.field;
    switch (row.take) {
        case Take::kThumbnailFlag:
        case Take::kDirectory:
            return std::holds_alternative<std::monostate>(f) && row.property.empty();
        case Take::kText:
        case Take::kVersion:
            return std::holds_alternative<TextField>(f);
        case Take::kNumber:
            return std::visit([](auto field) { return IsNumberField<decltype(field)>; }, f);
        case Take::kFirstNumber:
            return std::holds_alternative<std::int32_t Tags::*>(f);
        case Take::kRounded:
            return std::holds_alternative<std::uint16_t Tags::*>(f);
        case Take::kRational:
            return std::holds_alternative<TExifRational Tags::*>(f);
        case Take::kDescribed:
        case Take::kDescribedKeep:
            return std::holds_alternative<TExifStringValue Tags::*>(f);
        case Take::kOrientation:
            return std::holds_alternative<TExifOrientation Tags::*>(f);
        case Take::kComment:
            return std::holds_alternative<CommentField>(f);
        case Take::kCount:
        case Take::kOffset:
            return std::holds_alternative<std::uint32_t Tags::*>(f);
    }
    return false;
}

// The table is checked as it is compiled: every property of the right type, and the rows of one
// tag agreeing on how the value is decoded (it is decoded once for all of them).
constexpr bool TableIsSound() {
    for (std::size_t i = 0; i < kRowCount; ++i) {
        if (!FieldFits(kTagTable[i])) return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (kTagTable[j].tag != kTagTable[i].tag) continue;
            if (TakesEntryOnly(kTagTable[j].take) != TakesEntryOnly(kTagTable[i].take) ||
                WantsHexText(kTagTable[j].take) != WantsHexText(kTagTable[i].take)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(TableIsSound());

// The rows in tag order (table order among the rows of one tag), so a tag's rows lie together.
constexpr std::array<TagRow, kRowCount> kRowsByTag = [] {
    std::array<TagRow, kRowCount> rows{};
    for (std::size_t i = 0; i < kRowCount; ++i) {
        std::size_t k = i;  // insertion sort: stable and plenty for a table this size
        while (k > 0 && rows[k - 1].tag > kTagTable[i].tag) {
            rows[k] = rows[k - 1];
            --k;
        }
        rows[k] = kTagTable[i];
    }
    return rows;
}();

// Rows listed as properties: those that name one not named by an earlier row.
constexpr std::array<bool, kRowCount> kListed = [] {
    std::array<bool, kRowCount> listed{};
    for (std::size_t i = 0; i < kRowCount; ++i) {
        listed[i] = !kTagTable[i].property.empty();
        for (std::size_t j = 0; j < i && listed[i]; ++j) {
            if (kTagTable[j].property == kTagTable[i].property) listed[i] = false;
        }
    }
    return listed;
}();

// Every entry of a block is looked up, most of them tags the reader skips, so the lookup is a
// small open-addressed hash from a tag to its rows in kRowsByTag.
struct Slot {
    std::uint8_t first = 0;
    std::uint8_t last = 0;  // first == last: an empty slot
};
constexpr std::size_t kSlots = 256;  // a power of two, a few times the number of tags
static_assert(kRowCount < 256);

constexpr std::size_t SlotOf(std::uint16_t tag) {
    return ((tag * 0x9E37u) >> 8) & (kSlots - 1);
}

constexpr std::array<Slot, kSlots> kTagSlots = [] {
    std::array<Slot, kSlots> slots{};
    for (std::size_t first = 0, last = 0; first < kRowCount; first = last) {
        for (last = first + 1; last < kRowCount && kRowsByTag[last].tag == kRowsByTag[first].tag;)
            ++last;
        std::size_t h = SlotOf(kRowsByTag[first].tag);
        while (slots[h].first != slots[h].last)
            h = (h + 1) & (kSlots - 1);
        slots[h] = {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(last)};
    }
    return slots;
}();

// The rows of a tag: an empty range for a tag the reader skips.
std::span<const TagRow> RowsOf(std::uint16_t tag) {
    for (std::size_t h = SlotOf(tag);; h = (h + 1) & (kSlots - 1)) {
        const Slot slot = kTagSlots[h];
        if (slot.first == slot.last) return {};
        if (kRowsByTag[slot.first].tag == tag) {
            return std::span(kRowsByTag).subspan(slot.first, slot.last - slot.first);
        }
    }
}

}  // namespace

bool FindExifHeader(BoundedReader& reader, std::int32_t search_range, std::uint64_t* tiff) {
    unsigned char soi[2];
    if (reader.ReadAt(0, soi, 2) < 2 || soi[0] != 0xFF || soi[1] != 0xD8) return false;
    // A raw byte search for FF E1 at offsets 2 .. SearchRange - 1 (offset 2 always).
    const std::uint64_t last =
        static_cast<std::uint64_t>(std::max<std::int64_t>(2, search_range - 1LL));
    std::uint64_t p = 2;
    bool found = false;
    while (!found && p <= last) {
        std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, last - p + 2));
        std::string_view chunk = reader.View(p, want);
        if (chunk.size() < 2) break;
        for (std::size_t i = 0; i + 1 < chunk.size(); ++i) {
            if (static_cast<unsigned char>(chunk[i]) == 0xFF &&
                static_cast<unsigned char>(chunk[i + 1]) == 0xE1) {
                p += i;
                found = true;
                break;
            }
        }
        if (!found) p += chunk.size() - 1;
    }
    if (!found) return false;
    // The segment length (unchecked), then the identifier: a text ending at the first NUL.
    char ident[7] = {};
    reader.ReadAt(p + 4, ident, 6);
    if (!EqualsIgnoreAsciiCase(std::string_view(ident), "exif")) return false;
    *tiff = p + 10;
    return true;
}

TExifInfoEx::TExifInfoEx() = default;
TExifInfoEx::~TExifInfoEx() = default;

bool TExifInfoEx::HasExif(const std::string& file_name) const {
    BoundedReader reader;
    std::size_t prefetch = static_cast<std::size_t>(std::clamp(search_range_, 0, 4096)) + 16;
    if (!reader.OpenFile(file_name, prefetch)) return false;
    std::uint64_t tiff = 0;
    return FindExifHeader(reader, search_range_, &tiff);
}

void TExifInfoEx::SetImageFileName(const std::string& file_name) {
    image_file_name_ = file_name;
    Clear();
    BoundedReader reader;
    if (!reader.OpenFile(file_name, kPrefetch)) {
        DoReadError();
        return;
    }
    Read(reader);
}

void TExifInfoEx::ReadFromBytes(std::string_view file_bytes) {
    Clear();
    BoundedReader reader(file_bytes);
    Read(reader);
}

void TExifInfoEx::DoReadError() {
    if (OnReadError) OnReadError(*this);
}

void TExifInfoEx::Clear() {
    t_ = Tags{};
    byte_order_ = TByteOrder::boIntel;
    thumbnail_file_ = false;
}

void TExifInfoEx::Read(BoundedReader& reader) {
    std::uint64_t tiff = 0;
    if (!FindExifHeader(reader, search_range_, &tiff)) {
        DoReadError();
        return;
    }
    ReadExif(reader, tiff);
}

void TExifInfoEx::ReadExif(BoundedReader& reader, std::uint64_t tiff) {
    unsigned char mark[2];
    if (reader.ReadAt(tiff, mark, 2) < 2) return;  // no byte-order mark: nothing to walk
    const bool big = mark[0] == 'M' && mark[1] == 'M';
    byte_order_ = big ? TByteOrder::boMotorola : TByteOrder::boIntel;

    std::vector<std::uint64_t> queue;
    queue.reserve(kQueueRoom);
    queue.push_back(tiff + reader.U32(tiff + 4, big));
    t_.maker_note_position_ = 0;
    thumbnail_file_ = false;
    value_budget_ = kValueBudget;

    const std::uint64_t size = reader.Size();
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const std::uint64_t dir = queue[i];
        if (dir > size || size - dir < 2) break;  // the entry count cannot be read
        const std::uint16_t count = reader.U16(dir, big);
        const std::uint64_t entries = dir + 2;
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint64_t at = entries + 12ULL * k;
            // Entries past the end read as zeros (tag 0), which no property takes.
            if (at >= size) break;
            Entry entry;
            entry.tag = reader.U16(at, big);
            entry.type = static_cast<std::int8_t>(reader.U16(at + 2, big) & 0xFF);
            entry.count = reader.U32(at + 4, big);
            entry.value_field = at + 8;
            ApplyEntry(reader, entry, tiff, i == 0, queue);
        }
        const std::uint32_t link = reader.U32(entries + 12ULL * count, big);
        if (link != 0) Enqueue(queue, tiff + link);
    }
}

void TExifInfoEx::ApplyEntry(BoundedReader& reader, const Entry& e, std::uint64_t tiff,
                             bool first_ifd, std::vector<std::uint64_t>& queue) {
    const std::span<const TagRow> rows = RowsOf(e.tag);
    if (rows.empty()) return;
    const bool big = byte_order_ == TByteOrder::boMotorola;
    const Take lead = rows.front().take;
    // The maker note's rows take the entry itself; its value is not decoded (it may be long).
    const Value v = TakesEntryOnly(lead) ? Value{}
                                         : ReadValue(reader, e.type, e.count, e.value_field, tiff,
                                                     big, WantsHexText(lead), &value_budget_);
    const TDatas& d = v.datas;
    Tags& t = t_;
    for (const TagRow& row : rows) {
        switch (row.where) {
            case Where::kAny:
                break;
            case Where::kFirstIfd:
                if (!first_ifd) continue;
                break;
            case Where::kLaterIfd:
                if (first_ifd) continue;
                break;
            case Where::kThumbnailFile:
                if (!thumbnail_file_) continue;
                break;
            case Where::kImageFile:
                if (thumbnail_file_) continue;
                break;
        }
        switch (row.take) {
            case Take::kThumbnailFlag:
                thumbnail_file_ = EqualsIgnoreAsciiCase(d.Text, "THM");
                break;
            case Take::kDirectory:
                Enqueue(queue, tiff + d.UnsignedValue);
                break;
            case Take::kText:
                t.*std::get<TextField>(row.field) = DecodeLegacyText(d.Text);
                break;
            case Take::kVersion:
                t.*std::get<TextField>(row.field) = VersionText(v, e.type);
                break;
            case Take::kNumber:
                std::visit(
                    [&](auto field) {
                        if constexpr (IsNumberField<decltype(field)>) {
                            using T = std::remove_reference_t<decltype(t.*field)>;
                            t.*field = static_cast<T>(d.UnsignedValue);
                        }
                    },
                    row.field);
                break;
            case Take::kFirstNumber: {
                std::int32_t& target = t.*std::get<std::int32_t Tags::*>(row.field);
                if (target == 0) target = static_cast<std::int32_t>(d.UnsignedValue);
                break;
            }
            case Take::kRounded:
                t.*std::get<std::uint16_t Tags::*>(row.field) = RoundToLow16(d.FloatValue);
                break;
            case Take::kRational:
                SetRational(t.*std::get<TExifRational Tags::*>(row.field), d);
                break;
            case Take::kDescribed:
            case Take::kDescribedKeep:
                SetStringValue(t.*std::get<TExifStringValue Tags::*>(row.field), e.tag,
                               d.UnsignedValue, row.take == Take::kDescribedKeep);
                break;
            case Take::kOrientation:
                ExifOrientationOf(d.UnsignedValue,
                                  &(t.*std::get<TExifOrientation Tags::*>(row.field)));
                break;
            case Take::kComment: {
                std::string line;
                if (CommentLine(v, e.type, big, &line)) {
                    (t.*std::get<CommentField>(row.field)).push_back(std::move(line));
                }
                break;
            }
            case Take::kCount:
                t.*std::get<std::uint32_t Tags::*>(row.field) = e.count;
                break;
            case Take::kOffset:
                t.*std::get<std::uint32_t Tags::*>(row.field) =
                    static_cast<std::uint32_t>(reader.U32(e.value_field, big) + tiff);
                break;
        }
    }
}

void TExifInfoEx::ForEachProperty(const std::function<void(const ExifProperty&)>& each) const {
    for (std::size_t i = 0; i < std::size(kTagTable); ++i) {
        if (!kListed[i]) continue;
        const TagRow& row = kTagTable[i];
        ExifProperty property{row.property, std::int64_t{0}};
        std::visit(
            [&](auto field) {
                using F = decltype(field);
                if constexpr (IsNumberField<F>) {
                    property.value = static_cast<std::int64_t>(t_.*field);
                } else if constexpr (std::is_same_v<F, TExifOrientation Tags::*>) {
                    property.value = static_cast<std::int64_t>(t_.*field);
                } else if constexpr (!std::is_same_v<F, std::monostate>) {
                    property.value = &(t_.*field);
                }
            },
            row.field);
        each(property);
    }
}

}  // namespace pelko
