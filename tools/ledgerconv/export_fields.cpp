#include "tools/ledgerconv/export_fields.hpp"

#include <cstdio>

#include "core/text_encoding.hpp"

namespace wfdesk::tools {

namespace {

constexpr int kMaxDigits = 18;  // keeps every scaled value inside 64 bits

constexpr std::string_view kCountryCodes =
    "AD AE AF AG AI AL AM AO AQ AR AS AT AU AW AX AZ BA BB BD BE BF BG BH BI BJ BL BM BN BO BQ "
    "BR BS BT BV BW BY BZ CA CC CD CF CG CH CI CK CL CM CN CO CR CU CV CW CX CY CZ DE DJ DK DM "
    "DO DZ EC EE EG EH ER ES ET FI FJ FK FM FO FR GA GB GD GE GF GG GH GI GL GM GN GP GQ GR GS "
    "GT GU GW GY HK HM HN HR HT HU ID IE IL IM IN IO IQ IR IS IT JE JM JO JP KE KG KH KI KM KN "
    "KP KR KW KY KZ LA LB LC LI LK LR LS LT LU LV LY MA MC MD ME MF MG MH MK ML MM MN MO MP MQ "
    "MR MS MT MU MV MW MX MY MZ NA NC NE NF NG NI NL NO NP NR NU NZ OM PA PE PF PG PH PK PL PM "
    "PN PR PS PT PW PY QA RE RO RS RU RW SA SB SC SD SE SG SH SI SJ SK SL SM SN SO SR SS ST SV "
    "SX SY SZ TC TD TF TG TH TJ TK TL TM TN TO TR TT TV TW TZ UA UG UM US UY UZ VA VC VE VG VI "
    "VN VU WF WS YE YT ZA ZM ZW XI 1A";

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

int Digits(std::string_view text) {
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

// The code point at text[i] (valid UTF-8) and its length.
char32_t CodePointAt(std::string_view text, std::size_t i, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (i + length > text.size()) length = text.size() - i;
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  return cp;
}

bool IsUnfit(char32_t cp) {
  const bool control = (cp < 0x20 && cp != '\t') || (cp >= 0x7F && cp <= 0x9F);
  return control || cp == 0xFFFE || cp == 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF);
}

}  // namespace

std::optional<std::int64_t> ParseDecimal(std::string_view text, int decimals) {
  std::int64_t value = 0;
  int places = -1, digits = 0;
  for (char c : text) {
    if (c == '.' || c == ',') {
      if (places >= 0) return std::nullopt;
      places = 0;
    } else if (c >= '0' && c <= '9') {
      if (places >= 0 && ++places > decimals) return std::nullopt;
      if (++digits > kMaxDigits - decimals) return std::nullopt;
      value = value * 10 + (c - '0');
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || places == 0) return std::nullopt;  // "", "." and "12."
  for (int i = std::max(places, 0); i < decimals; ++i) value *= 10;
  return value;
}

std::optional<std::int64_t> ParseSignedDecimal(std::string_view text, int decimals) {
  if (text.empty() || text.front() != '-') return ParseDecimal(text, decimals);
  const auto magnitude = ParseDecimal(text.substr(1), decimals);
  if (!magnitude) return std::nullopt;
  return -*magnitude;
}

bool IsRealDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const int year = Digits(text.substr(0, 4));
  const int month = Digits(text.substr(5, 2));
  const int day = Digits(text.substr(8, 2));
  return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsCountryCode(std::string_view text) {
  if (text.size() != 2) return false;
  for (std::size_t i = 0; i < kCountryCodes.size(); i += 3) {
    if (kCountryCodes.substr(i, 2) == text) return true;
  }
  return false;
}

std::string UnfitCharacter(std::string_view text) {
  if (!core::IsValidUtf8(text)) return "bytes that are not UTF-8";
  for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
    const char32_t cp = CodePointAt(text, i, length);
    if (!IsUnfit(cp)) continue;
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
    return std::string(cp < 0xA0 ? "the control character " : "the character ") + name;
  }
  return "";
}

}  // namespace wfdesk::tools
