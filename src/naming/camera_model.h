#pragma once

// Camera model of a picture file: from the EXIF block of a JPEG file, or from a fixed stretch at
// the start of PEF, NEF, CR2, ARW and ORF files, shortened through the alias table
// ChangeModelName.txt of the application folder.

#include <string>
#include <string_view>

namespace pelko {

// File name of the alias table in the application folder.
inline constexpr std::string_view kModelAliasFileName = "ChangeModelName.txt";
// What GetModelName gives when no model is found.
inline constexpr std::string_view kUnknownModel = "不明";

// Where aliases come from while ChangeModelName.txt does not exist: nowhere, or the lines
// WriteModelAliasFile would write (a dry run, which writes nothing, so that its preview names
// files as the real run, which writes the table first, will).
enum class TMissingAliasTable { matNone, matBuiltIn };

// Where a model's alias comes from: ChangeModelName.txt of an application folder. An empty
// folder applies no alias.
struct ModelAliasSource {
    std::string folder;
    TMissingAliasTable missing = TMissingAliasTable::matNone;
};

// The model text for a file ("不明" when nothing is found), shortened through the alias table of
// `aliases`. The table is read once and again only when the file changes. Safe to call from
// several threads.
std::string GetModelName(const std::string& file_name, const ModelAliasSource& aliases);

// The alias of a model text (the model itself when it has none), filtered as every model text is.
std::string ApplyModelAlias(const std::string& model, const ModelAliasSource& aliases);

// Model readers of the RAW formats. Each reads a fixed stretch of the file's header and never
// returns an empty text: an unreadable, short or foreign file gives the maker's fallback text.
std::string ReadPentaxModel(const std::string& file_name);
std::string ReadNikonModel(const std::string& file_name);
std::string ReadCanonModel(const std::string& file_name);
std::string ReadSonyModel(const std::string& file_name);
std::string ReadOlympusModel(const std::string& file_name);

enum class TRawMaker { rmPentax, rmNikon, rmCanon, rmSony, rmOlympus };

// The model a maker's reader finds in the bytes it read from a file (fewer than the stretch's
// length when the file is short).
std::string RawModelFromHeader(TRawMaker maker, std::string_view header);

// Creates folder + "/ChangeModelName.txt" with the default aliases when it does not exist; an
// existing file is never touched. False when the file is missing and could not be written.
bool WriteModelAliasFile(const std::string& folder);

}  // namespace pelko
