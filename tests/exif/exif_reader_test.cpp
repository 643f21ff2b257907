#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "common/test_util.h"
#include "exif/exif_block_builder.h"
#include "exif/exif_info_ex.h"
#include "exif/exif_texts.h"

namespace pelko {
namespace {

using test::ExifBlockBuilder;
using O = TExifOrientation;

TExifInfoEx ReadBytes(const std::string& bytes) {
    TExifInfoEx exif;
    exif.ReadFromBytes(bytes);
    return exif;
}

// A block with most kinds of value, in either byte order: IFD0 -> Exif IFD -> Interoperability,
// IFD0 linked to IFD1.
std::string SampleBlock(bool big) {
    ExifBlockBuilder b(big);
    int exif = b.AddIfd(), ifd1 = b.AddIfd(), interop = b.AddIfd();
    b.Short(0, 0x0103, 6);
    b.Ascii(0, 0x010F, "PENTAX Corporation");
    b.Ascii(0, 0x0110, "PENTAX K20D");
    b.Short(0, 0x0112, 6);
    b.Rational(0, 0x011A, 72, 1);
    b.Short(0, 0x0128, 2);
    b.Long(0, 0x0201, 100);
    b.Pointer(0, 0x8769, exif);
    b.Link(0, ifd1);
    b.Rational(exif, 0x829A, 1, 125);
    b.Raw(exif, 0x9204, 10, 1, b.U32(static_cast<std::uint32_t>(-1)) + b.U32(3));
    b.Short(exif, 0x8822, 3);
    b.Short(exif, 0x8827, 400);
    b.Raw(exif, 0x9000, 7, 4, "0230");
    b.Ascii(exif, 0x9003, "2008:03:02 12:01:23");
    b.Short(exif, 0x9209, 0x19);
    b.Raw(exif, 0x9286, 7, 12, std::string("UNICODE\0", 8) + b.U16(0x65E5) + b.U16(0x672C));
    b.Long(exif, 0xA002, 0);
    b.Long(exif, 0xA003, 2000);
    b.Pointer(exif, 0xA005, interop);
    b.Short(ifd1, 0x0112, 1);
    b.Rational(ifd1, 0x011A, 300, 1);
    b.Short(ifd1, 0x0128, 3);
    b.Long(interop, 0x1001, 3008);
    b.Long(interop, 0x1002, 1);
    return b.Jpeg();
}

// Every property as text: numbers, strings, the Text of a rational, "Value Text" of an enumerated
// value, comment lines joined by "|".
std::map<std::string, std::string> Properties(const TExifInfoEx& x) {
    struct Show {
        std::string operator()(std::int64_t n) const { return std::to_string(n); }
        std::string operator()(const std::string* s) const { return *s; }
        std::string operator()(const TExifRational* r) const { return r->Text; }
        std::string operator()(const TExifStringValue* v) const {
            return std::to_string(v->Value) + " " + v->Text;
        }
        std::string operator()(const std::vector<std::string>* lines) const {
            std::string joined;
            for (const std::string& line : *lines)
                joined += (joined.empty() ? "" : "|") + line;
            return joined;
        }
    };
    std::map<std::string, std::string> shown;
    x.ForEachProperty([&](const ExifProperty& p) {
        EXPECT_TRUE(shown.emplace(std::string(p.name), std::visit(Show{}, p.value)).second)
            << p.name << " listed twice";
    });
    return shown;
}

TEST(ExifReader, SameBlockInBothByteOrders) {
    const auto little = Properties(ReadBytes(SampleBlock(false)));
    EXPECT_EQ(Properties(ReadBytes(SampleBlock(true))), little);
    EXPECT_EQ(ReadBytes(SampleBlock(true)).ByteOrder(), TByteOrder::boMotorola);
    EXPECT_DOUBLE_EQ(ReadBytes(SampleBlock(true)).ExposureTime().FloatValue, 0.008);
    // clang-format off
    const std::map<std::string, std::string> expected = {
        {"Make", "PENTAX Corporation"}, {"Model", "PENTAX K20D"}, {"ResolutionUnit", "2 inch"},
        {"Orientation", "6"}, {"ThumbnailOrientation", "1"}, {"ISOSpeedRatings", "400"},
        {"XResolution", "72/1"}, {"ThumbnailXResolution", "300/1"}, {"ExposureTime", "1/125"},
        {"ExposureBiasValue", "-1/3"}, {"ExifVersion", "0230"}, {"Flash", "25 "},
        {"DateTimeOriginal", "2008:03:02 12:01:23"}, {"UserComment", "日本"},
        {"ImageWidth", "3008"}, {"ImageHeight", "2000"}, {"Compression", "6 JPEG"},
        {"JPEGInterchangeFormat", "100"}, {"ExposureProgram", "3 絞り優先"},
        {"ThumbnailResolutionUnit", "3 cm"}};
    // clang-format on
    for (const auto& [name, value] : expected)
        EXPECT_EQ(little.at(name), value) << name;
}

TEST(ExifReader, HeaderSearch) {
    ExifBlockBuilder b(false);
    b.Ascii(0, 0x0110, "M");
    const std::string app0("\xFF\xE0\x00\x10JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
    const std::tuple<std::string, std::int32_t, bool> cases[] = {
        {b.Jpeg(), 32, true},                       // APP1 at offset 2
        {b.Jpeg(app0), 32, true},                   // after an 18-byte JFIF APP0: 20
        {b.Jpeg(std::string(29, 'x')), 32, true},   // at 31, the last offset examined
        {b.Jpeg(std::string(30, 'x')), 32, false},  // at 32
        {b.Jpeg(std::string(30, 'x')), 33, true},
        {b.Jpeg(app0 + std::string(300, 'x')), 32, false},  // APP0 with a thumbnail
        {b.Jpeg(app0 + std::string(300, 'x')), 0x7FFFFFFF, true},
        {b.Jpeg("", std::string("EXIF\0\0", 6)), 32, true},
        {b.Jpeg("", std::string("Exif\0x", 6)), 32, true},  // the text ends at the first NUL
        {b.Jpeg("", "Exifxx"), 32, false},
        {b.Jpeg("", std::string("Exi\0\0\0", 6)), 32, false},
        {b.Jpeg().substr(1), 32, false},     // no SOI
        {b.Jpeg().substr(0, 8), 32, false},  // cut inside the identifier
    };
    test::TempDir dir;
    const std::string path = dir / "f.jpg";
    for (const auto& [file, range, found] : cases) {
        test::WriteFile(path, file);
        TExifInfoEx exif;
        exif.SetSearchRange(range);
        int errors = 0;
        exif.OnReadError = [&](TExifInfoEx&) { ++errors; };
        SCOPED_TRACE(std::to_string(file.size()) + " bytes, range " + std::to_string(range));
        EXPECT_EQ(exif.HasExif(path), found);
        exif.SetImageFileName(path);
        EXPECT_EQ(exif.Model(), found ? "M" : "");
        EXPECT_EQ(errors, found ? 0 : 1);
    }
    EXPECT_FALSE(TExifInfoEx().HasExif(dir / "missing.jpg"));
}

TEST(ExifReader, ValuesOrientationsAndIso) {
    ExifBlockBuilder b(true);
    int exif = b.AddIfd(), ifd1 = b.AddIfd();
    b.Pointer(0, 0x8769, exif);
    b.Link(0, ifd1);
    b.Raw(0, 0x010F, 2, 5, std::string("AB\0CD", 5));  // a NUL inside keeps what follows
    b.Raw(0, 0x0110, 2, 4, std::string("THM\0", 4));   // decoded from the entry itself
    b.Short(0, 0x0112, 9);                             // above 8: no change
    b.Short(ifd1, 0x0112, 3);
    b.Rational(exif, 0x829D, 5, 0);
    b.Short(exif, 0x8827, 100);
    b.Rational(exif, 0xA215, 5, 2);  // ExposureIndex 2.5 rounds to even: 2
    b.Raw(exif, 0x927C, 7, 10, "0123456789");
    const std::string file = b.Jpeg();
    TExifInfoEx x = ReadBytes(file);
    EXPECT_EQ(x.Make(), "ABCD");
    EXPECT_EQ(x.Model(), "THM");
    EXPECT_EQ(x.Orientation(), O::eoUndefined);
    EXPECT_EQ(x.ThumbnailOrientation(), O::eoBottomRight);
    EXPECT_EQ(x.FNumber().Text, "5/0");
    EXPECT_EQ(x.FNumber().FloatValue, 0);
    EXPECT_EQ(x.ISOSpeedRatings(), 2);
    EXPECT_EQ(file.substr(x.MakerNotePosition(), x.MakerNoteLength()), "0123456789");

    // The related image size of a THM file is the thumbnail's.
    ExifBlockBuilder c(false);
    int interop = c.AddIfd();
    c.Rational(0, 0xA215, 7, 2);  // 3.5 rounds to 4
    c.Short(0, 0x0112, 4);
    c.Pointer(0, 0xA005, interop);
    c.Ascii(interop, 0x0001, "THM");
    c.Long(interop, 0x1001, 640);
    c.Long(interop, 0x1002, 480);
    x = ReadBytes(c.Jpeg());
    EXPECT_EQ(x.ISOSpeedRatings(), 4);
    EXPECT_EQ(x.Orientation(), O::eoBottomLeft);
    EXPECT_EQ(x.ThumbnailWidth() + x.ImageWidth(), 640);
    EXPECT_EQ(x.ThumbnailHeight() + x.ImageHeight(), 480);
}

TEST(ExifReader, UserCommentLines) {
    ExifBlockBuilder b(true);
    b.Raw(0, 0x9286, 7, 16, std::string("ASCII\0\0\0Hello\0\0\0", 16));
    b.Raw(0, 0x9286, 7, 15, std::string(8, '\0') + "ignored");
    b.Raw(0, 0x9286, 7, 16, std::string("JIS\0\0\0\0\0\x1B$B0!\x1B(B", 16));
    b.Raw(0, 0x9286, 7, 0, "");  // no bytes: no line
    b.Short(0, 0x9286, 5);
    b.Raw(0, 0x9286, 8, 1, b.U16(static_cast<std::uint16_t>(-3)));
    b.Raw(0, 0x9286, 13, 1, "");  // an unknown type adds nothing
    const std::vector<std::string> expected = {"Hello", "", "亜", "5", "-3"};
    EXPECT_EQ(ReadBytes(b.Jpeg()).UserComment(), expected);
    EXPECT_EQ(JisToShiftJis("a\x1B$B%\"\x1B(Jb"), "a\x83\x41" + std::string("b"));
    EXPECT_EQ(JisToShiftJis("\x1B$B0"), "");  // cut inside a pair
    EXPECT_EQ(ExifVersionText(std::string("02\00020", 5)), "0220");
}

TEST(ExifReader, HostileBlocksEndSoundly) {
    // A directory that links to itself, and Exif pointers that run in a circle.
    ExifBlockBuilder loop(false);
    int a = loop.AddIfd();
    loop.Pointer(0, 0x8769, a);
    loop.Pointer(a, 0x8769, 0);
    loop.Raw(a, 0x9286, 8, 1, loop.U16(7));
    loop.Link(a, a);
    EXPECT_EQ(ReadBytes(loop.Jpeg()).UserComment(), std::vector<std::string>{"7"});  // read once

    // Offsets past the end, counts that would overflow, a long chain of directories.
    ExifBlockBuilder far(true);
    far.Raw(0, 0x010F, 2, 0xFFFFFFFF, far.U32(0x7FFFFFF0));
    far.Raw(0, 0x9286, 7, 0xFFFFFFFF, far.U32(0xFFFFFFF0));
    far.Raw(0, 0x829A, 5, 0x40000000, far.U32(0xFFFFFFFF));
    far.Ascii(0, 0x0110, "kept");
    for (int i = 1, prev = 0; i <= 20; prev = i++) {
        far.Link(prev, far.AddIfd());
        far.Short(i, 0x8827, static_cast<std::uint16_t>(i));
    }
    TExifInfoEx x = ReadBytes(far.Jpeg());
    EXPECT_EQ(x.Make(), "");
    EXPECT_EQ(x.Model(), "kept");
    EXPECT_EQ(x.ExposureTime().Text, "0/0");
    EXPECT_EQ(x.ISOSpeedRatings(), 12);  // the queue holds IFD0 and 12 more

    // Entries that all point at one long value share one budget: the last ones decode nothing.
    // (The time this takes is measured in bench/bench_exif.cpp.)
    ExifBlockBuilder many(false);
    const std::uint32_t blob_at = 8 + 6 + 12 * (40 + 1);  // the first value after IFD0
    many.Raw(0, 0xC000, 7, 64 * 1024, std::string(64 * 1024, 'x'));
    for (int i = 0; i < 40; ++i)
        many.Raw(0, 0x010F, 2, 64 * 1024, many.U32(blob_at));
    EXPECT_EQ(ReadBytes(many.Jpeg()).Make(), "");

    // Every truncation of a real block.
    const std::string whole = SampleBlock(false);
    for (std::size_t n = 0; n < whole.size(); ++n)
        ReadBytes(whole.substr(0, n));
}

TEST(ExifReader, EachAssignmentReadsAfresh) {
    test::TempDir dir;
    test::WriteFile(dir / "a.jpg", SampleBlock(false));
    ASSERT_EQ(::mkfifo((dir / "fifo.jpg").c_str(), 0600), 0);
    TExifInfoEx x;
    x.SetImageFileName(dir / "a.jpg");
    x.SetImageFileName(dir / "a.jpg");
    EXPECT_EQ(Properties(x), Properties(ReadBytes(SampleBlock(false))));  // nothing added twice
    // Values far into a large file come from there too.
    ExifBlockBuilder far(true);
    far.Raw(0, 0xC000, 7, 1 << 20, std::string(1 << 20, 'x'));
    far.Ascii(0, 0x0110, "far model");
    test::WriteFile(dir / "far.jpg", far.Jpeg());
    x.SetImageFileName(dir / "far.jpg");
    EXPECT_EQ(x.Model(), "far model");
    // A FIFO under a picture's name neither blocks the reader nor counts as a file.
    EXPECT_FALSE(x.HasExif(dir / "fifo.jpg"));
    x.SetImageFileName(dir / "fifo.jpg");
    EXPECT_EQ(Properties(x), Properties(TExifInfoEx()));  // every property cleared
}

}  // namespace
}  // namespace pelko
