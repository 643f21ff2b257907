// pelkocopy-cli exif FILE...: every property of the EXIF reader, one JSON object per file.

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "cli/cli_args.h"
#include "exif/exif_info_ex.h"

namespace pelko::cli {

namespace {

using Json = nlohmann::ordered_json;

// A property's value: numbers as numbers, rationals as {"Text","FloatValue"}, enumerated values
// as {"Value","Text"}, the comment lines as an array.
struct PropertyJson {
    Json operator()(std::int64_t n) const { return n; }
    Json operator()(const std::string* s) const { return *s; }
    Json operator()(const TExifRational* r) const {
        return Json{{"Text", r->Text}, {"FloatValue", r->FloatValue}};
    }
    Json operator()(const TExifStringValue* v) const {
        return Json{{"Value", v->Value}, {"Text", v->Text}};
    }
    Json operator()(const std::vector<std::string>* lines) const { return *lines; }
};

Json ExifJson(const std::string& file, bool has_exif, const TExifInfoEx& x) {
    Json j;
    j["File"] = file;
    j["HasExif"] = has_exif;
    j["ByteOrder"] = x.ByteOrder() == TByteOrder::boMotorola ? "MM" : "II";
    x.ForEachProperty([&](const ExifProperty& p) {
        j[std::string(p.name)] = std::visit(PropertyJson{}, p.value);
    });
    return j;
}

}  // namespace

int RunExif(const Args& args, const ProgramFacts& /*facts*/, std::ostream& out, std::ostream& err) {
    Args files;
    if (!ParseFileArgs("exif", args, {}, &files, err)) return 2;
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
