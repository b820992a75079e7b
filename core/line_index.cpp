#include "core/line_index.hpp"

#include <cstring>

namespace wfdesk::core {

namespace {

// Position of the next c at or after pos, or the text's size.
std::size_t Next(std::string_view text, std::size_t pos, char c) {
  const void* hit = std::memchr(text.data() + pos, c, text.size() - pos);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
}

}  // namespace

void IndexLines(std::string_view text, std::size_t from, std::vector<LineSpan>& lines) {
  // Both searches run ahead with memchr and are renewed only when passed.
  std::size_t next_lf = Next(text, from, '\n');
  std::size_t next_cr = Next(text, from, '\r');
  std::size_t pos = from;
  while (pos < text.size()) {
    if (next_lf < pos) next_lf = Next(text, pos, '\n');
    if (next_cr < pos) next_cr = Next(text, pos, '\r');
    const std::size_t end = next_lf < next_cr ? next_lf : next_cr;
    lines.push_back({pos, end - pos});
    if (end == text.size()) break;
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
}

}  // namespace wfdesk::core
