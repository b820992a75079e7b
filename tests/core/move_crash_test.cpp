// Archiving killed with SIGKILL at many points: every file stays whole
// under exactly one visible name, in the source folder or in the archive,
// and no part of a file ever carries an archive name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "core/files.hpp"
#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::core {
namespace {

using testing::ReadFile;
using testing::Sandbox;

constexpr int kFiles = 40;
constexpr int kKills = 25;

// Distinct contents of up to 320 kB, so that kills land in copies too.
std::string Content(int i) {
  return "file " + std::to_string(i) + "\n" +
         std::string(static_cast<std::size_t>(i % kFiles) * 8000, char('a' + i % 26));
}

// Starts the archiving helper and kills it once it has begun `moves` moves
// (or ended). It reports each move into a FIFO, so that the kill follows
// at once.
void KillWhileMoving(const std::string& source, const std::string& archive, int moves) {
  Sandbox box;
  const std::string progress = box.Path("progress");
  ASSERT_EQ(::mkfifo(progress.c_str(), 0600), 0);
  testing::BackgroundProgram helper({WFDESK_MOVE_FILES, source, archive}, {}, progress);
  const int fd = ::open(progress.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char c = 0;
  for (int begun = 0; begun < moves && ::read(fd, &c, 1) == 1;) begun += c == '\n';
  ::kill(helper.pid(), SIGKILL);
  helper.Wait();
  ::close(fd);
}

class ArchivingKilled : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam().empty()) {
      far_.emplace();
    } else if (DirExists(GetParam()) && !testing::SameFileSystem(box_.root(), GetParam())) {
      far_.emplace(GetParam());
    } else {
      GTEST_SKIP() << GetParam() << " is not another file system here";
    }
    source_ = box_.MakeFolder("in");
    archive_ = far_->MakeFolder("archive");
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "f" + std::to_string(i) + ".xml";
      box_.Write("in/" + name, Content(i));
      if (i % 2 == 0) far_->Write("archive/" + name, Content(kFiles + i));
    }
    for (const auto& [content, count] : Found()) expected_.insert(content);
    ASSERT_EQ(expected_.size(), std::size_t(kFiles + (kFiles + 1) / 2));  // each file listed
  }

  // Each content the number of times it is found under a visible name.
  std::map<std::string, int> Found() const {
    std::map<std::string, int> found;
    for (const std::string& folder : {source_, archive_}) {
      for (const auto& path : ListedFiles(folder + "/")) ++found[ReadFile(path)];
    }
    return found;
  }

  void ExpectEveryFileWholeOnce() const {
    // Across file systems a kill between the archive's link and the source's
    // removal leaves the file in both places, whole.
    const bool other_file_system = !GetParam().empty();
    for (const auto& [content, count] : Found()) {
      ASSERT_TRUE(expected_.count(content)) << "a part of a file of " << content.size() << " bytes";
      if (!other_file_system) {
        EXPECT_EQ(count, 1) << content.substr(0, content.find('\n'));
      }
    }
    EXPECT_EQ(Found().size(), expected_.size());
  }

  Sandbox box_;
  std::optional<Sandbox> far_;
  std::string source_, archive_;
  std::set<std::string> expected_;  // every content
};

TEST_P(ArchivingKilled, LosesNoFileAndLeavesNoPartOfOneUnderAnArchiveName) {
  for (int kill = 0; kill < kKills; ++kill) {
    KillWhileMoving(source_, archive_, 1 + kill % 3);
    ExpectEveryFileWholeOnce();
  }
  const testing::ProgramOutput rest = testing::RunProgram({WFDESK_MOVE_FILES, source_, archive_});
  EXPECT_EQ(rest.status, 0) << rest.err;
  EXPECT_TRUE(ListedFiles(source_ + "/").empty());
  ExpectEveryFileWholeOnce();
  if (GetParam().empty()) {
    EXPECT_EQ(FolderFileNames(archive_).size(), expected_.size());
  }
}

INSTANTIATE_TEST_SUITE_P(SameOrOtherFileSystem, ArchivingKilled,
                         ::testing::Values(std::string(), std::string("/dev/shm")));

}  // namespace
}  // namespace wfdesk::core
