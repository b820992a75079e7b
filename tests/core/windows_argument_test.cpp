// One argument of a Windows command line, quoted as the C runtime's parser
// gives it back; checked on every system, as the task scheduler's
// definitions are written anywhere.
#include <gtest/gtest.h>

#include <string>

#include "core/process.hpp"

namespace wfdesk::core {
namespace {

TEST(WindowsArgumentTest, QuotesOnlyWhereTheParserNeedsItAndDoublesBackslashesBeforeQuotes) {
  const struct {
    std::string text, quoted;
  } arguments[] = {
      {"plain", "plain"},
      {"a\\b", "a\\b"},
      {"", "\"\""},
      {"a b", "\"a b\""},
      {"tab\there", "\"tab\there\""},
      {"C:\\Program Files\\", "\"C:\\Program Files\\\\\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
  };
  for (const auto& c : arguments) {
    EXPECT_EQ(QuoteWindowsArgument(c.text), c.quoted) << c.text;
    const std::wstring wide(c.text.begin(), c.text.end());
    EXPECT_EQ(QuoteWindowsArgument(wide), std::wstring(c.quoted.begin(), c.quoted.end())) << c.text;
  }
}

}  // namespace
}  // namespace wfdesk::core
