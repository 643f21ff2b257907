// The reader against ExifTool's reading of real camera files (the samples' MANIFEST.tsv), through
// the command-line tool.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/test_util.h"
#include "support/text.h"

namespace pelko {
namespace {

using Row = std::map<std::string, std::string>;

// The manifest's rows by column name. The fields compared hold no escapes, only "" for a tag
// present but empty.
std::vector<Row> Manifest(const std::string& dir) {
    std::ifstream in(dir + "/MANIFEST.tsv");
    std::vector<std::string> head;
    std::vector<Row> rows;
    for (std::string line, cell; std::getline(in, line);) {
        const bool is_head = head.empty();
        std::stringstream cells(line);
        Row row;
        for (std::size_t i = 0; std::getline(cells, cell, '\t'); ++i) {
            if (is_head) head.push_back(cell);
            if (!is_head && i < head.size()) row[head[i]] = cell == "\"\"" ? "" : cell;
        }
        if (!is_head) rows.push_back(row);
    }
    return rows;
}

// Where the reader rightly differs from ExifTool on one field: what it gives (or its start, when
// prefix) and why.
struct Difference {
    const char *file, *field, *value;
    bool prefix;
    const char* why;
};

// clang-format off
const Difference kDifferences[] = {
    {"jpeg/exif-py__Sony_alpha_a58.JPG", "Orientation", "0", false, "Orientation stored as SLONG; the reader takes the unsigned value, 0"},
    {"jpeg/exiv2__FujiTagsDRangeAutoRating1_X-T3.jpg", "Orientation", "0", false, "Orientation stored as SLONG"},
    {"odd/libexif-testsuite__cve-2012-2814.jpg", "Orientation", "0", false, "Orientation stored as SLONG"},
    {"jpeg/goexif__geodegrees_as_string_HTC_One_M8.jpg", "Make", "HTC", false, "IFD0 Make is empty; the Exif IFD's Make is read too"},
    {"jpeg/goexif__geodegrees_as_string_HTC_One_M8.jpg", "Model", "HTC One_M8", false, "as Make"},
    {"jpeg/exif-samples__WWL_Polaroid_ION230.jpg", "Model", "ION230F", false, "ASCII ION230 NUL F: a NUL does not end the text"},
    {"odd/libexif-testsuite__cve-2012-2812.jpg", "Make", "NIKON CORPORATION^IKON D300S", true, "a count of 134 MB reads on to the end of the file"},
    {"odd/libexif-testsuite__cve-2012-2813.jpg", "Model", "DSC-HX9V               H", true, "count 536 runs past the string"},
    {"odd/libexif-testsuite__cve-2012-2814.jpg", "Model", "COOLPIX L110   ,", true, "count runs past the string"},
};
// clang-format on

TEST(ExifSamples, AgreesWithExifTool) {
    const std::string dir = test::SamplesDir();
    if (dir.empty()) GTEST_SKIP() << "camera samples not found (PELKO_SAMPLES_DIR)";
    std::vector<Row> rows;
    std::string args;
    for (Row& row : Manifest(dir)) {
        const bool tagged = !(row["DateTimeOriginal"] + row["Make"] + row["Model"]).empty();
        if (!tagged || row["file_magic_hex"].rfind("ffd8", 0) != 0) continue;
        args += " '" + dir + "/" + row["file"] + "'";
        rows.push_back(row);
    }
    ASSERT_GT(rows.size(), 90u);
    std::string out;
    ASSERT_EQ(test::RunCli("exif" + args, &out), 0);
    std::istringstream lines(out);
    int compared = 0;
    for (Row& row : rows) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line));
        const auto j = nlohmann::json::parse(line);
        const std::string& file = row["file"];
        // The raw search for FF E1 looks only at offsets 2 to 31: an APP1 behind an ICC profile,
        // a comment or a Photoshop block is not found, and the file counts as without EXIF.
        const int app1 = std::stoi(row["app1_offset"]);
        const bool exif =
            app1 >= 2 && app1 <= 31 && row["app1_ident_hex"].rfind("4578696600", 0) == 0;
        EXPECT_EQ(j["HasExif"], exif) << file;
        compared += exif;
        // ISOSpeedRatings ends with ExposureIndex when a file has both (Kodak, GoPro, Samsung).
        std::string iso = row["ISO"].substr(0, row["ISO"].find(' '));
        if (!row["ExposureIndex"].empty())
            iso = std::to_string(static_cast<int>(std::nearbyint(std::stod(row["ExposureIndex"]))));
        // The reader numbers the two flipped orientations the other way round.
        const int orientation = row["Orientation"].empty() ? 0 : std::stoi(row["Orientation"]);
        Row expected = {
            {"Orientation",
             std::to_string(orientation == 3 || orientation == 4 ? 7 - orientation : orientation)},
            {"ISOSpeedRatings", iso.empty() ? "0" : iso},
            {"ByteOrder", row["ExifByteOrder"]},
        };
        for (const char* same : {"DateTimeOriginal", "Make", "Model", "ExifVersion"})
            expected[same] = row[same];
        for (const auto& [field, want] : expected) {
            const std::string got(TrimControlRight(
                j[field].is_string() ? j[field].get<std::string>() : j[field].dump()));
            if (!exif) {
                EXPECT_TRUE(field == "ByteOrder" || got.empty() || got == "0") << file << field;
                continue;
            }
            const auto d = std::find_if(
                std::begin(kDifferences), std::end(kDifferences),
                [&](const Difference& x) { return file == x.file && field == x.field; });
            if (d == std::end(kDifferences)) {
                EXPECT_EQ(got, TrimControlRight(want)) << file << " " << field;
            } else {
                EXPECT_EQ(d->prefix ? got.substr(0, std::strlen(d->value)) : got, d->value)
                    << file << " " << field << ": " << d->why;
            }
        }
    }
    EXPECT_GT(compared, 85);
}

}  // namespace
}  // namespace pelko
