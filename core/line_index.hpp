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

}  // namespace wfdesk::core
