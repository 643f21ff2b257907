#include "exif/exif_info_ex.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

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

// A decoded value; raw holds the bytes of ASCII and UNDEFINED values.
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
// value.
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
            v.raw = std::string(reader.View(pos, std::min({size, kMaxValueBytes, *budget})));
            *budget -= v.raw.size();
            if (type == kTiffAscii) {
                d.Text.reserve(v.raw.size());
                for (char c : v.raw) {
                    if (c != '\0') d.Text += c;  // a NUL does not end the text
                }
            } else if (hex_text) {
                d.Text = ExifHexText(v.raw);
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

bool IsKnownTag(std::uint16_t tag) {
    switch (tag) {
        case 0x0001:
        case 0x0100:
        case 0x0101:
        case 0x0103:
        case 0x0106:
        case 0x010E:
        case 0x010F:
        case 0x0110:
        case 0x0112:
        case 0x0115:
        case 0x011A:
        case 0x011B:
        case 0x011C:
        case 0x0128:
        case 0x0131:
        case 0x0132:
        case 0x0201:
        case 0x0202:
        case 0x1001:
        case 0x1002:
        case 0x8298:
        case 0x829A:
        case 0x829D:
        case 0x8769:
        case 0x8822:
        case 0x8827:
        case 0x9000:
        case 0x9003:
        case 0x9004:
        case 0x9102:
        case 0x9201:
        case 0x9202:
        case 0x9203:
        case 0x9204:
        case 0x9205:
        case 0x9206:
        case 0x9207:
        case 0x9208:
        case 0x9209:
        case 0x920A:
        case 0x927C:
        case 0x9286:
        case 0x9290:
        case 0x9291:
        case 0x9292:
        case 0xA000:
        case 0xA001:
        case 0xA002:
        case 0xA003:
        case 0xA004:
        case 0xA005:
        case 0xA20E:
        case 0xA20F:
        case 0xA210:
        case 0xA215:
        case 0xA217:
            return true;
        default:
            return false;
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
    if (!IsKnownTag(e.tag)) return;
    const bool big = byte_order_ == TByteOrder::boMotorola;
    if (e.tag == 0x927C) {
        t_.maker_note_length_ = e.count;
        t_.maker_note_position_ = static_cast<std::uint32_t>(reader.U32(e.value_field, big) + tiff);
        return;
    }
    const bool raw_tag = e.tag == 0x9000 || e.tag == 0xA000 || e.tag == 0x9286;
    const Value v =
        ReadValue(reader, e.type, e.count, e.value_field, tiff, big, !raw_tag, &value_budget_);
    const TDatas& d = v.datas;
    auto text = [&] { return DecodeLegacyText(d.Text); };
    Tags& t = t_;
    switch (e.tag) {
        case 0x0001:
            thumbnail_file_ = EqualsIgnoreAsciiCase(d.Text, "THM");
            break;
        case 0x0100:
            t.thumbnail_width_ = static_cast<std::int32_t>(d.UnsignedValue);
            break;
        case 0x0101:
            t.thumbnail_height_ = static_cast<std::int32_t>(d.UnsignedValue);
            break;
        case 0x0103:
            SetStringValue(t.compression_, e.tag, d.UnsignedValue, false);
            break;
        case 0x0106:
            SetStringValue(t.photometric_, e.tag, d.UnsignedValue, false);
            break;
        case 0x010E:
            t.image_description_ = text();
            break;
        case 0x010F:
            t.make_ = text();
            break;
        case 0x0110:
            t.model_ = text();
            break;
        case 0x0112:
            ExifOrientationOf(d.UnsignedValue,
                              first_ifd ? &t.orientation_ : &t.thumbnail_orientation_);
            break;
        case 0x0115:
            t.samples_per_pixel_ = static_cast<std::int16_t>(d.UnsignedValue);
            break;
        case 0x011A:
            SetRational(first_ifd ? t.x_resolution_ : t.thumbnail_x_resolution_, d);
            break;
        case 0x011B:
            SetRational(first_ifd ? t.y_resolution_ : t.thumbnail_y_resolution_, d);
            break;
        case 0x011C:
            t.planar_configuration_ = static_cast<std::int16_t>(d.UnsignedValue);
            break;
        case 0x0128:
            SetStringValue(first_ifd ? t.resolution_unit_ : t.thumbnail_resolution_unit_, e.tag,
                           d.UnsignedValue, true);
            break;
        case 0x0131:
            t.software_ = text();
            break;
        case 0x0132:
            t.date_time_ = text();
            break;
        case 0x0201:
            t.jpeg_if_ = d.UnsignedValue;
            break;
        case 0x0202:
            t.jpeg_if_length_ = d.UnsignedValue;
            break;
        case 0x1001: {
            std::int32_t& target = thumbnail_file_ ? t.thumbnail_width_ : t.image_width_;
            if (target == 0) target = static_cast<std::int32_t>(d.UnsignedValue);
            break;
        }
        case 0x1002: {
            std::int32_t& target = thumbnail_file_ ? t.thumbnail_height_ : t.image_height_;
            if (target == 0) target = static_cast<std::int32_t>(d.UnsignedValue);
            break;
        }
        case 0x8298:
            t.rights_notice_ = text();
            break;
        case 0x829A:
            SetRational(t.exposure_time_, d);
            break;
        case 0x829D:
            SetRational(t.f_number_, d);
            break;
        case 0x8769:
        case 0xA005:
            Enqueue(queue, tiff + d.UnsignedValue);
            break;
        case 0x8822:
            SetStringValue(t.exposure_program_, e.tag, d.UnsignedValue, false);
            break;
        case 0x8827:
            t.iso_speed_ratings_ = static_cast<std::uint16_t>(d.UnsignedValue);
            break;
        case 0x9000:
            t.exif_version_ = VersionText(v, e.type);
            break;
        case 0x9003:
            t.date_time_original_ = text();
            break;
        case 0x9004:
            t.date_time_generated_ = text();
            break;
        case 0x9102:
            SetRational(t.compressed_bits_per_pixel_, d);
            break;
        case 0x9201:
            SetRational(t.shutter_speed_value_, d);
            break;
        case 0x9202:
            SetRational(t.aperture_value_, d);
            break;
        case 0x9203:
            SetRational(t.brightness_value_, d);
            break;
        case 0x9204:
            SetRational(t.exposure_bias_value_, d);
            break;
        case 0x9205:
            SetRational(t.max_aperture_value_, d);
            break;
        case 0x9206:
            SetRational(t.subject_distance_, d);
            break;
        case 0x9207:
            SetStringValue(t.metering_mode_, e.tag, d.UnsignedValue, false);
            break;
        case 0x9208:
            SetStringValue(t.light_source_, e.tag, d.UnsignedValue, false);
            break;
        case 0x9209:
            SetStringValue(t.flash_, e.tag, d.UnsignedValue, false);
            break;
        case 0x920A:
            SetRational(t.focal_length_, d);
            break;
        case 0x9286: {
            std::string line;
            if (CommentLine(v, e.type, big, &line)) t.user_comment_.push_back(std::move(line));
            break;
        }
        case 0x9290:
            t.sub_sec_time_ = text();
            break;
        case 0x9291:
            t.sub_sec_time_original_ = text();
            break;
        case 0x9292:
            t.sub_sec_time_generated_ = text();
            break;
        case 0xA000:
            t.flashpix_version_ = VersionText(v, e.type);
            break;
        case 0xA001:
            SetStringValue(t.color_space_, e.tag, d.UnsignedValue, false);
            break;
        case 0xA002:
            t.image_width_ = static_cast<std::int32_t>(d.UnsignedValue);
            break;
        case 0xA003:
            t.image_height_ = static_cast<std::int32_t>(d.UnsignedValue);
            break;
        case 0xA004:
            t.related_sound_file_ = text();
            break;
        case 0xA20E:
            SetRational(t.focal_plane_x_resolution_, d);
            break;
        case 0xA20F:
            SetRational(t.focal_plane_y_resolution_, d);
            break;
        case 0xA210:
            SetStringValue(t.focal_plane_unit_, e.tag, d.UnsignedValue, false);
            break;
        case 0xA215:
            t.iso_speed_ratings_ = RoundToLow16(d.FloatValue);
            break;
        case 0xA217:
            SetStringValue(t.sensing_method_, e.tag, d.UnsignedValue, false);
            break;
        default:
            break;
    }
}

}  // namespace pelko
