#pragma once

#include <cstddef>
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

// The end of the line that holds `pos`: its first CR or LF, else the
// text's size.
std::size_t LineEndAt(std::string_view text, std::size_t pos);

// Where the line after the line end at `end` starts: past CR LF, a lone CR
// or a lone LF; the text's size after the last line.
inline std::size_t AfterLineEnd(std::string_view text, std::size_t end) {
  if (end >= text.size()) return text.size();
  const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
  return end + (crlf ? 2 : 1);
}

// Calls visit(line) for each line of text[from...] as IndexLines splits
// them, line ends left out, without keeping an index.
template <typename Visit>
void ForEachLine(std::string_view text, std::size_t from, Visit&& visit) {
  for (std::size_t pos = from; pos < text.size();) {
    const std::size_t end = LineEndAt(text, pos);
    visit(text.substr(pos, end - pos));
    pos = AfterLineEnd(text, end);
  }
}

}  // namespace wfdesk::core
