#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/process.hpp"

namespace wfdesk::core {

// Tells the person at the desk something, or asks a Yes/No question. The
// window shows message boxes, the CLI writes to standard error.
class Operator {
 public:
  enum class Answer { kYes, kNo, kCancel };

  virtual ~Operator() = default;
  virtual void Tell(const std::string& message) = 0;
  // True for Yes.
  virtual bool Ask(const std::string& question) = 0;
  // A question whose Yes cannot be undone (a deletion): where the person
  // can answer by a single key, that key answers No.
  virtual bool Confirm(const std::string& question) { return Ask(question); }
  // A Yes/No question that may also be left unanswered: Cancel means the
  // person stays where they were, and nothing is done. Where the person
  // cannot cancel, it is the Yes or No of Ask.
  virtual Answer AskOrCancel(const std::string& question) {
    return Ask(question) ? Answer::kYes : Answer::kNo;
  }
};

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
};

using GuidBytes = std::array<std::uint8_t, 16>;

class GuidSource {
 public:
  virtual ~GuidSource() = default;
  virtual GuidBytes NewGuid() = 0;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  virtual ProcessResult RunAndWait(const CommandLine& command) = 0;
};

// The real implementations of the seams.
class SystemClock final : public Clock {
 public:
  LocalTime Now() const override;
};

class SystemGuidSource final : public GuidSource {
 public:
  GuidBytes NewGuid() override;
};

class SpawnLauncher final : public ProcessLauncher {
 public:
  ProcessResult RunAndWait(const CommandLine& command) override;
};

}  // namespace wfdesk::core
