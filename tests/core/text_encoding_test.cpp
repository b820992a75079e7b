#include "core/text_encoding.hpp"

#include <gtest/gtest.h>

#include <string>

namespace wfdesk::core {
namespace {

// Each sequence is judged the same wherever it stands between runs of
// plain ASCII, which the check passes over eight bytes at a time.
TEST(IsValidUtf8, JudgesEverySequenceAlikeWhateverItsPlaceAmongAsciiRuns) {
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"Gr\xC3\xBC\xC3\x9F"
       "e",
       true},                       // two-byte characters
      {"\xE2\x82\xAC", true},       // three bytes
      {"\xF0\x9F\x98\x80", true},   // four bytes
      {"\x80", false},              // a continuation byte alone
      {"\xC0\x80", false},          // overlong
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xFF", false},              // no lead byte
      {"\xC3", false},              // cut short
      {"\xE2\x82", false},          // cut short
  };
  for (const auto& c : cases) {
    for (std::size_t before = 0; before <= 9; ++before) {
      for (std::size_t after : {0, 9}) {
        const std::string text = std::string(before, 'a') + c.bytes + std::string(after, 'z');
        EXPECT_EQ(IsValidUtf8(text), c.valid)
            << before << " + " << c.bytes.size() << " + " << after;
      }
    }
  }
}

}  // namespace
}  // namespace wfdesk::core
