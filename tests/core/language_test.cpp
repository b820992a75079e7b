#include "core/language.hpp"

#include <gtest/gtest.h>

namespace wfdesk::core {
namespace {

TEST(LanguageTexts, GermanForOneEnglishForEveryOtherCode) {
  EXPECT_EQ(GetLanguageText("lg_appl_butt001", 1), "Workflow ausführen");
  for (LanguageCode code : {LanguageCode{0}, LanguageCode{2}, LanguageCode{-1}}) {
    EXPECT_EQ(GetLanguageText("lg_appl_butt001", code), "Execute Workflow");
  }
  EXPECT_EQ(GetLanguageText("lg_menu_help103", 1), "I&nfo");
  EXPECT_EQ(GetLanguageText("lg_menu_help001", 0), "&?");
  EXPECT_EQ(GetLanguageText("lg_menu_help001", 1), "&?");
  EXPECT_EQ(GetLanguageText("lg_appl_frlb001", 1), "Workflow Panel");
  EXPECT_EQ(GetLanguageText("lg_mesg_file002", 1), " existiert nicht.");
}

TEST(LanguageTexts, UmlautsAreUtf8) {
  EXPECT_EQ(GetLanguageText("lg_appl_gridhead004", 1), "Empf\xC3\xA4nger");
  EXPECT_EQ(GetLanguageText("lg_appl_gridhead005", 1),
            "\xC3\x9C"
            "bertragung");
  EXPECT_EQ(GetLanguageText("lg_appl_err_DeleteFailed", 1),
            "FEHLER: Datei konnte nicht gel\xC3\xB6scht werden!");
}

TEST(LanguageTexts, KeysMatchExactly) {
  EXPECT_EQ(GetLanguageText("LG_APPL_BUTT001", 0), "");
  EXPECT_EQ(GetLanguageText("lg_appl_butt001 ", 0), "");
  EXPECT_EQ(GetLanguageText("lg_unknown", 1), "");
  EXPECT_EQ(GetLanguageText("", 0), "");
}

}  // namespace
}  // namespace wfdesk::core
