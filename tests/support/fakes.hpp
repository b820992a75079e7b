#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/context.hpp"
#include "core/seams.hpp"

namespace wfdesk::testing {

// Records what the system told or asked; answers questions as scripted.
class RecordingOperator : public core::Operator {
 public:
  void Tell(const std::string& message) override { told.push_back(message); }
  bool Ask(const std::string& question) override {
    asked.push_back(question);
    return answer;
  }
  // Answered `three_way` when it is set, else Yes or No as `answer`.
  Answer AskOrCancel(const std::string& question) override {
    if (!three_way) return Operator::AskOrCancel(question);
    asked.push_back(question);
    return *three_way;
  }

  std::vector<std::string> told;
  std::vector<std::string> asked;
  bool answer = false;
  std::optional<Answer> three_way;
};

class FixedClock : public core::Clock {
 public:
  core::LocalTime Now() const override { return time; }
  core::LocalTime time{2026, 3, 7, 9, 5, 4};
};

class FixedGuids : public core::GuidSource {
 public:
  core::GuidBytes NewGuid() override { return bytes; }
  core::GuidBytes bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
};

// Records command lines; pretends each program ran with `exit_status`.
class RecordingLauncher : public core::ProcessLauncher {
 public:
  core::ProcessResult RunAndWait(const core::CommandLine& command) override {
    commands.push_back(command);
    core::ProcessResult result;
    result.started = true;
    result.exit_status = exit_status;
    return result;
  }
  std::vector<core::CommandLine> commands;
  int exit_status = 0;
};

// A context over an installation folder with recording seams and the real
// launcher unless another one is given.
struct TestContext {
  explicit TestContext(std::string home, core::ProcessLauncher* launcher_override = nullptr);

  RecordingOperator person;
  FixedClock clock;
  FixedGuids guids;
  core::SpawnLauncher spawn;
  core::Context context;
};

}  // namespace wfdesk::testing
