#pragma once

// The user format language: two-letter codes beginning with "%" that build a file or folder name
// from the source name, free words, trimmed or replaced pieces, the camera model and the date.

#include <functional>
#include <string>
#include <string_view>

#include "support/date_time.h"

namespace pelko {

// Camera model of a file, as %C inserts it. An empty function means GetModelName without an
// alias table.
using ModelNameLookup = std::function<std::string(const std::string& file_name)>;

// The name `format` gives for the source file `name` (without folder, with extension) dated
// `date_time`; `ext` (with its dot, in the case found) is appended. Name and ext are empty when a
// folder name is evaluated. %C looks up the model of current_source_folder + "/" + name.
std::string EvaluateUserFormat(std::string_view name, std::string_view ext, std::string_view format,
                               const DateTime& date_time,
                               std::string_view current_source_folder = {},
                               const ModelNameLookup& model_name = {});

// The %T code on base name s: "(start,count)" in legacy units, then the text after ")".
std::string EvaluateTrimCode(std::string_view s, std::string_view arg);

// The %R code on base name s: "('old','new')" replaced without case, then the text after ")".
std::string EvaluateReplaceCode(std::string_view s, std::string_view arg);

// First four legacy units of a name (a cut wide character is left out).
std::string NamePrefix(std::string_view name);
// Legacy units 5 to 8 of a name.
std::string NameNumber(std::string_view name);
// Name without its extension (from the last "." on).
std::string_view NameBase(std::string_view name);

}  // namespace pelko
