#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wfdesk::core {

using LanguageCode = std::int16_t;
inline constexpr LanguageCode kGerman = 1;

// The text of a language key ("lg_..."), German for language 1 and English
// for every other code; "" for a key not in the table. Keys match exactly.
std::string GetLanguageText(std::string_view key, LanguageCode language);

}  // namespace wfdesk::core
