#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace wfdesk::core {

struct LineSpan {
  std::size_t begin = 0;
  std::size_t length = 0;
};

// The lines of a text: a line ends at CR LF, at a lone CR or at a lone LF.
// A line end at the very end of the text starts no further line. Appends to
// `lines` the lines of text[from...], which must start a line.
void IndexLines(std::string_view text, std::size_t from, std::vector<LineSpan>& lines);

// Calls visit(line) for each line of text[from...] as IndexLines splits
// them, line ends left out, without keeping an index.
template <typename Visit>
void ForEachLine(std::string_view text, std::size_t from, Visit&& visit) {
  if (from >= text.size()) return;
  // Both searches run ahead with memchr and are renewed only when passed.
  const auto next = [text](std::size_t pos, char c) {
    const void* hit = std::memchr(text.data() + pos, c, text.size() - pos);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : text.size();
  };
  std::size_t next_lf = next(from, '\n');
  std::size_t next_cr = next(from, '\r');
  std::size_t pos = from;
  while (pos < text.size()) {
    if (next_lf < pos) next_lf = next(pos, '\n');
    if (next_cr < pos) next_cr = next(pos, '\r');
    const std::size_t end = next_lf < next_cr ? next_lf : next_cr;
    visit(text.substr(pos, end - pos));
    if (end == text.size()) break;
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
}

}  // namespace wfdesk::core
