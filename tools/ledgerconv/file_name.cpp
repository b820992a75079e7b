#include "tools/ledgerconv/file_name.hpp"

namespace wfdesk::tools {

std::string EscapedFileName(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  name.reserve(text.size());
  for (const char c : text) {
    const bool kept =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (kept) {
      name += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    name += '_';
    name += kHex[byte >> 4];
    name += kHex[byte & 0xF];
  }
  return name;
}

}  // namespace wfdesk::tools
