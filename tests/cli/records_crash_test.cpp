// The transmission database under `wfdesk-cli records` killed midway and
// under two writers at once: no update is lost, no file is left half
// written, and what a killed rewrite leaves behind is cleaned up.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "tests/support/installation.hpp"
#include "tests/support/run_program.hpp"

namespace wfdesk {
namespace {

using testing::RunProgram;
using testing::TestInstallation;

// Record k of a database of `tags.size()` records: mixed line ends, a field
// after the 13th, and no line end after the last. `tag_at` receives where
// each write tag is.
std::string Database(const std::string& tags, const std::string& field6 = "",
                     std::vector<std::size_t>* tag_at = nullptr) {
  std::string text;
  text.reserve(tags.size() * 48);
  for (std::size_t k = 0; k < tags.size(); ++k) {
    const std::string six = k < field6.size() && field6[k] == 's' ? "set" : "f6";
    text += "R" + std::to_string(k) + ";f2;f3;f4;f5;" + six + ";f7;f8;f9;f10;f11;f12;";
    if (tag_at) tag_at->push_back(text.size());
    text += tags[k];
    text += ";x14";
    if (k + 1 < tags.size()) text += k % 3 == 0 ? "\n" : "\r\n";
  }
  return text;
}

class RecordsCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inst.Workflow("db.ini", "[WORKFLOW]\r\ndbfile=trans.csv\r\nlistaction=dbelement\r\n");
  }
  std::vector<std::string> Toggle(std::size_t k) const {
    return {WFDESK_CLI, "--home",   inst.Path(""),          "records",
            "db.ini",   "--toggle", "R" + std::to_string(k)};
  }
  int Temporaries() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(inst.Path(""))) {
      count += entry.path().filename().string().starts_with(".trans.csv.tmp-");
    }
    return count;
  }

  TestInstallation inst;
};

TEST_F(RecordsCrashTest, AKilledRewriteLeavesTheOldOrTheNewFile) {
  constexpr std::size_t kRecords = 70000;  // about 3 MB
  std::vector<std::size_t> tag_at;
  std::string expected = Database(std::string(kRecords, '0'), "", &tag_at);
  inst.box().Write("trans.csv", expected);
  const auto toggled = [&](std::size_t k) {
    std::string text = expected;
    text[tag_at[k]] = text[tag_at[k]] == '1' ? '0' : '1';
    return text;
  };
  // Kill moments spread over about one action's length: from before the
  // lock to after the rename.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(RunProgram(Toggle(0)).status, 0);
  expected = toggled(0);
  auto window = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  std::mt19937 random(20260307);
  int killed = 0;
  for (int round = 0; round < 30; ++round) {
    const std::size_t k = random() % kRecords;
    testing::BackgroundProgram toggle(Toggle(k));
    ASSERT_GT(toggle.pid(), 0);
    // Not a wait for anything: the random moment of the crash.
    std::this_thread::sleep_for(window * (random() % 1000) / 1000);
    ::kill(toggle.pid(), SIGKILL);
    const bool crashed = toggle.Wait() == 128 + SIGKILL;
    killed += crashed;
    window = crashed ? window * 11 / 10 : window * 7 / 10;
    const std::string now = inst.box().Read("trans.csv");
    if (now != expected) expected = toggled(k);
    ASSERT_TRUE(now == expected) << "round " << round << " left a file of " << now.size();
  }
  EXPECT_GT(killed, 0);
  ASSERT_EQ(RunProgram(Toggle(1)).status, 0);
  EXPECT_TRUE(inst.box().Read("trans.csv") == toggled(1));
  EXPECT_EQ(Temporaries(), 0);
}

TEST_F(RecordsCrashTest, TwoWritersAtOnceLoseNoUpdate) {
  // Writer one toggles records 0 to 29, writer two sets field 6 of records
  // 30 to 59; the rest makes each rewrite last a while.
  constexpr int kEach = 30;
  inst.box().Write("trans.csv", Database(std::string(5000, '0')));
  std::vector<int> statuses(2 * kEach, -1);
  auto writer = [&](int first, bool toggle) {
    for (int k = first; k < first + kEach; ++k) {
      std::vector<std::string> argv = Toggle(std::size_t(k));
      if (!toggle) {
        argv[5] = "--set";
        argv.insert(argv.end(), {"--field6", "set", "--field4", "f4", "--tag", "0"});
      }
      statuses[std::size_t(k)] = RunProgram(argv).status;
    }
  };
  std::thread one(writer, 0, true), two(writer, kEach, false);
  one.join();
  two.join();
  EXPECT_EQ(statuses, std::vector<int>(2 * kEach, 0));
  const std::string tags = std::string(kEach, '1') + std::string(5000 - kEach, '0');
  const std::string field6 = std::string(kEach, '-') + std::string(kEach, 's');
  EXPECT_TRUE(inst.box().Read("trans.csv") == Database(tags, field6));
}

}  // namespace
}  // namespace wfdesk
