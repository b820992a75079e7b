#include "core/line_index.hpp"

namespace wfdesk::core {

void IndexLines(std::string_view text, std::size_t from, std::vector<LineSpan>& lines) {
  ForEachLine(text, from, [&](std::string_view line) {
    lines.push_back({static_cast<std::size_t>(line.data() - text.data()), line.size()});
  });
}

}  // namespace wfdesk::core
