#include "core/settings.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/support/sandbox.hpp"

namespace wfdesk::core {
namespace {

using testing::Sandbox;

TEST(CommandLineParam, FindsTheWorkflowOptionAndKeepsItsOddCases) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"/f daily.ini", "daily.ini"},
      {"/F daily.ini", "daily.ini"},
      {"/f  daily.ini  ", "daily.ini"},
      {"/x 1 /f daily.ini /y 2", "daily.ini"},
      {"/x 1 /y 2", ""},
      {"/f \"daily.ini\"", "\"daily.ini\""},
      {"/f a.ini /f b.ini", "a.ini"},  // the first occurrence counts
      {"/fdaily.ini", "aily.ini"},     // the character after the letter is passed over
      {"/f", ""},
      {"/f ", ""},
      {"/f /x", ""},
      {"/f x/y", ""},  // x is the separator of /y
      {"/f ab/y", "a"},
      {"/f sub/daily.ini", "su"},  // a slash inside the name ends it
  };
  for (const auto& [line, value] : cases) EXPECT_EQ(GetCommandLineParam("f", line), value) << line;
  EXPECT_EQ(GetCommandLineParam("F", "/f daily.ini"), "daily.ini");
}

TEST(Settings, LeadingNumberReadsLikeALeadingDigitsConversion) {
  const std::pair<const char*, long> cases[] = {{"1", 1},    {"01", 1},  {"2x", 2},
                                                {" -1", -1}, {"abc", 0}, {"", 0}};
  for (const auto& [text, number] : cases) EXPECT_EQ(LeadingNumber(text), number) << text;
  EXPECT_EQ(LeadingNumber("99999999999999999999999"), LONG_MAX);
}

TEST(Settings, LoadsTheSettingsSectionWhereOddValuesMeanEnglishAndNotSilent) {
  Sandbox box;
  box.Write("settings.ini",
            "[SETTINGS]\r\nlanguage=01\r\nmodule_dir=modules\r\ndata_dir=data\r\n"
            "etc_dir=etc\r\ntmp_dir=tmp\r\nlogfile=log/system.log\r\ntextdb=db/trans.csv\r\n"
            "silentmode=1\r\n");
  const AppSettings s = LoadAppSettings(box.root());
  EXPECT_EQ(s.language, 1);
  EXPECT_EQ(s.module_dir, "modules");
  EXPECT_EQ(s.data_dir, "data");
  EXPECT_EQ(s.etc_dir, "etc");
  EXPECT_EQ(s.tmp_dir, "tmp");
  EXPECT_EQ(s.logfile, "log/system.log");
  EXPECT_EQ(s.textdb, "db/trans.csv");
  EXPECT_EQ(s.silentmode, "1");
  EXPECT_TRUE(IsSilent(s));
  // Missing or odd values mean English and not silent.
  EXPECT_EQ(LoadAppSettings(box.Path("missing")).language, 0);
  box.Write("settings.ini", "[SETTINGS]\r\nlanguage=abc\r\nsilentmode=yes\r\n");
  const AppSettings odd = LoadAppSettings(box.root());
  EXPECT_EQ(odd.language, 0);
  EXPECT_FALSE(IsSilent(odd));
  box.Write("settings.ini", "[SETTINGS]\r\nlanguage=65537\r\n");
  EXPECT_EQ(LoadAppSettings(box.root()).language, 0);
}

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("WFDESK_HOME")) saved_ = old;
    testing::SetEnvironment("WFDESK_HOME", std::nullopt);
  }
  void TearDown() override { testing::SetEnvironment("WFDESK_HOME", saved_); }
  std::optional<std::string> saved_;
};

TEST(Home, OptionThenEnvironmentThenAnInstalledProgramFolderThenTheUserDataFolder) {
  Sandbox box;
  const std::string installed = box.MakeFolder("installed");
  box.Write("installed/settings.ini", "[SETTINGS]\r\n");
  const std::string bare = box.MakeFolder("bare");
  const std::optional<std::string> none;
  const struct {
    HomeSources sources;
    std::string home;
  } cases[] = {
      {{"opt", "env", installed, "/data", "/u"}, "opt"},
      {{"", "env", installed, "/data", "/u"}, "env"},
      {{none, "", installed, "/data", "/u"}, installed},
      {{none, none, bare, "/data", "/u"}, std::string("/data") + kPathSeparator + "wfdesk"},
      {{none, none, bare, "data", "/u"}, "/u/.local/share/wfdesk"},  // relative: ignored
      {{none, none, bare, "", "/u"}, "/u/.local/share/wfdesk"},
      {{none, none, bare, none, none}, bare},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseHome(c.sources), c.home);
}

TEST_F(HomeTest, ResolveHomeTakesTheOptionOrTheEnvironmentAbsoluteWithoutTrailingSlash) {
  Sandbox box;
  testing::SetEnvironment("WFDESK_HOME", box.Path("env"));
  EXPECT_EQ(ResolveHome(std::nullopt), box.Path("env"));
  EXPECT_EQ(ResolveHome(box.Path("opt") + "/"), box.Path("opt"));
  // A relative home is made absolute and entered.
  box.Write("inst/settings.ini", "[SETTINGS]\r\nlogfile=log.txt\r\n");
  const std::string before = std::filesystem::current_path().string();
  ASSERT_TRUE(EnterHome(box.root()));
  const std::string home = ResolveHome("inst");
  EXPECT_EQ(home, box.Path("inst"));
  ASSERT_TRUE(EnterHome(home));
  EXPECT_EQ(LoadAppSettings("").logfile, "log.txt");  // "" reads the current folder
  EXPECT_FALSE(EnterHome(box.Path("missing")));
  ASSERT_TRUE(EnterHome(before));
}

}  // namespace
}  // namespace wfdesk::core
