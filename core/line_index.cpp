#include "core/line_index.hpp"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wfdesk::core {

std::size_t LineEndAt(std::string_view text, std::size_t pos) {
  const char* p = text.data() + pos;
  const char* const end = text.data() + text.size();
#if defined(__SSE2__)
  // Sixteen bytes at a time, CR and LF in one pass.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) return static_cast<std::size_t>(p - text.data()) + std::countr_zero(mask);
  }
#endif
  while (p < end && *p != '\n' && *p != '\r') ++p;
  return static_cast<std::size_t>(p - text.data());
}

void IndexLines(std::string_view text, std::size_t from, std::vector<LineSpan>& lines) {
  ForEachLine(text, from, [&](std::string_view line) {
    lines.push_back({static_cast<std::size_t>(line.data() - text.data()), line.size()});
  });
}

}  // namespace wfdesk::core
