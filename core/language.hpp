#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::core {

using LanguageCode = std::int16_t;
inline constexpr LanguageCode kGerman = 1;
// For texts made where no settings are at hand (file and process errors,
// command-line usage before the settings are read).
inline constexpr LanguageCode kEnglish = 0;

// The text of a language key ("lg_..."), German for language 1 and English
// for every other code; "" for a key not in the table. Keys match exactly.
std::string GetLanguageText(std::string_view key, LanguageCode language);

// GetLanguageText with its placeholders %1 ... %9 replaced by the values
// (%1 by the first), so that a translation may order its words freely. A
// value is put in as it stands: a "%1" inside a value stays. A placeholder
// without a value stays too.
std::string FormatLanguageText(std::string_view key, LanguageCode language,
                               std::initializer_list<std::string_view> values);

// Every key of the table, in table order.
std::vector<std::string_view> LanguageKeys();

}  // namespace wfdesk::core
