#pragma once

// Checks of single export columns.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wfdesk::tools {

// A non-negative decimal number with at most `decimals` places, scaled by
// 10^decimals; nothing for other text and for more than 18 digits.
std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals);

// ParseDecimal that also takes a leading "-" (a returned item's quantity).
std::optional<std::int64_t> ParseSignedDecimal(std::string_view text, int decimals);

// A calendar date YYYY-MM-DD that exists (2026-02-29 does not).
bool IsRealDate(std::string_view text);

// An ISO 3166-1 alpha-2 code, with XI (Northern Ireland) and 1A (Kosovo).
bool IsCountryCode(std::string_view text);

// Why text (UTF-8) cannot stand in an invoice: it holds a control character
// or a code point XML does not allow; "" when it can.
std::string UnfitCharacter(std::string_view text);

}  // namespace wfdesk::tools
