// pelkocopy-cli exif FILE...: every property of the EXIF reader, one JSON object per file.

#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/cli_args.h"
#include "exif/exif_info_ex.h"

namespace pelko::cli {

namespace {

using Json = nlohmann::ordered_json;

Json RationalJson(const TExifRational& r) {
    return Json{{"Text", r.Text}, {"FloatValue", r.FloatValue}};
}
Json StringValueJson(const TExifStringValue& v) {
    return Json{{"Value", v.Value}, {"Text", v.Text}};
}

Json ExifJson(const std::string& file, bool has_exif, const TExifInfoEx& x) {
    Json j;
    j["File"] = file;
    j["HasExif"] = has_exif;
    j["ByteOrder"] = x.ByteOrder() == TByteOrder::boMotorola ? "MM" : "II";
    j["ThumbnailWidth"] = x.ThumbnailWidth();
    j["ThumbnailHeight"] = x.ThumbnailHeight();
    j["Compression"] = StringValueJson(x.Compression());
    j["PhotometricInterpretation"] = StringValueJson(x.PhotometricInterpretation());
    j["ImageDescription"] = x.ImageDescription();
    j["Make"] = x.Make();
    j["Model"] = x.Model();
    j["Orientation"] = static_cast<int>(x.Orientation());
    j["ThumbnailOrientation"] = static_cast<int>(x.ThumbnailOrientation());
    j["SamplesPerPixel"] = x.SamplesPerPixel();
    j["XResolution"] = RationalJson(x.XResolution());
    j["YResolution"] = RationalJson(x.YResolution());
    j["ThumbnailXResolution"] = RationalJson(x.ThumbnailXResolution());
    j["ThumbnailYResolution"] = RationalJson(x.ThumbnailYResolution());
    j["PlanarConfiguration"] = x.PlanarConfiguration();
    j["ResolutionUnit"] = StringValueJson(x.ResolutionUnit());
    j["ThumbnailResolutionUnit"] = StringValueJson(x.ThumbnailResolutionUnit());
    j["Software"] = x.Software();
    j["DateTime"] = x.DateTime();
    j["JPEGInterchangeFormat"] = x.JPEGInterchangeFormat();
    j["JPEGInterchangeFormatLength"] = x.JPEGInterchangeFormatLength();
    j["ImageWidth"] = x.ImageWidth();
    j["ImageHeight"] = x.ImageHeight();
    j["RightsNotice"] = x.RightsNotice();
    j["ExposureTime"] = RationalJson(x.ExposureTime());
    j["FNumber"] = RationalJson(x.FNumber());
    j["ExposureProgram"] = StringValueJson(x.ExposureProgram());
    j["ISOSpeedRatings"] = x.ISOSpeedRatings();
    j["ExifVersion"] = x.ExifVersion();
    j["DateTimeOriginal"] = x.DateTimeOriginal();
    j["DateTimeGenerated"] = x.DateTimeGenerated();
    j["CompressedBitsPerPixel"] = RationalJson(x.CompressedBitsPerPixel());
    j["ShutterSpeedValue"] = RationalJson(x.ShutterSpeedValue());
    j["ApertureValue"] = RationalJson(x.ApertureValue());
    j["BrightnessValue"] = RationalJson(x.BrightnessValue());
    j["ExposureBiasValue"] = RationalJson(x.ExposureBiasValue());
    j["MaxApertureValue"] = RationalJson(x.MaxApertureValue());
    j["SubjectDistance"] = RationalJson(x.SubjectDistance());
    j["MeteringMode"] = StringValueJson(x.MeteringMode());
    j["LightSource"] = StringValueJson(x.LightSource());
    j["Flash"] = StringValueJson(x.Flash());
    j["FocalLength"] = RationalJson(x.FocalLength());
    j["MakerNoteLength"] = x.MakerNoteLength();
    j["MakerNotePosition"] = x.MakerNotePosition();
    j["UserComment"] = x.UserComment();
    j["SubSecTime"] = x.SubSecTime();
    j["SubSecTimeOriginal"] = x.SubSecTimeOriginal();
    j["SubSecTimeGenerated"] = x.SubSecTimeGenerated();
    j["FlashpixVersion"] = x.FlashpixVersion();
    j["ColorSpace"] = StringValueJson(x.ColorSpace());
    j["RelatedSoundFile"] = x.RelatedSoundFile();
    j["FocalPlaneXResolution"] = RationalJson(x.FocalPlaneXResolution());
    j["FocalPlaneYResolution"] = RationalJson(x.FocalPlaneYResolution());
    j["FocalPlaneResolutionUnit"] = StringValueJson(x.FocalPlaneResolutionUnit());
    j["SensingMethod"] = StringValueJson(x.SensingMethod());
    return j;
}

}  // namespace

int RunExif(const Args& args, std::ostream& out, std::ostream& err) {
    Args files;
    if (!ParseFileArgs("exif", "FILE...", args, {}, &files, err)) return 2;
    TExifInfoEx exif;
    // The read reports a missing header itself, so the file is opened once.
    bool has_exif = true;
    exif.OnReadError = [&](TExifInfoEx&) { has_exif = false; };
    return ForEachFile("exif", files, err, [&](const std::string& file) {
        has_exif = true;
        exif.SetImageFileName(file);
        // Texts are UTF-8 already; replace rather than throw on anything that slipped through.
        out << ExifJson(file, has_exif, exif).dump(-1, ' ', false, Json::error_handler_t::replace)
            << '\n';
    });
}

}  // namespace pelko::cli
