#include "core/language.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace wfdesk::core {
namespace {

TEST(LanguageTexts, GermanForOneEnglishForEveryOtherCodeInUtf8AndKeysMatchExactly) {
  EXPECT_EQ(GetLanguageText("lg_appl_gridhead004", 1), "Empf\xC3\xA4nger");
  for (LanguageCode code : {LanguageCode{0}, LanguageCode{2}, LanguageCode{-1}}) {
    EXPECT_EQ(GetLanguageText("lg_appl_gridhead004", code), "Receiver");
  }
  EXPECT_EQ(GetLanguageText("LG_APPL_BUTT001", 0), "");
  EXPECT_EQ(GetLanguageText("lg_appl_butt001 ", 0), "");
  EXPECT_EQ(GetLanguageText("lg_unknown", 1), "");
  EXPECT_EQ(GetLanguageText("", 0), "");
}

// Each key once, both texts set, and the same placeholders in both, so that
// no value gets lost in either language.
TEST(LanguageTexts, EveryKeyHasBothTextsWithTheSamePlaceholders) {
  const auto placeholders = [](const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
        found.push_back(text.substr(i, 2));
    }
    std::sort(found.begin(), found.end());
    return found;
  };
  std::set<std::string_view> seen;
  for (const std::string_view key : LanguageKeys()) {
    SCOPED_TRACE(key);
    EXPECT_TRUE(seen.insert(key).second) << "key twice in the table";
    const std::string english = GetLanguageText(key, kEnglish);
    const std::string german = GetLanguageText(key, kGerman);
    EXPECT_FALSE(english.empty());
    EXPECT_FALSE(german.empty());
    EXPECT_EQ(placeholders(english), placeholders(german));
  }
}

}  // namespace
}  // namespace wfdesk::core
