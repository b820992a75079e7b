#pragma once

#include <iostream>
#include <string>

#include "core/seams.hpp"

namespace wfdesk::cli {

// Messages meant for a message box go to standard error; questions are
// answered without waiting for input: Yes only when the caller said so.
class ConsoleOperator : public core::Operator {
 public:
  explicit ConsoleOperator(bool answer_yes) : answer_yes_(answer_yes) {}

  void Tell(const std::string& message) override { std::cerr << message << '\n'; }
  bool Ask(const std::string& question) override {
    std::cerr << question << (answer_yes_ ? " Yes (--yes)\n" : " No (confirm with --yes)\n");
    return answer_yes_;
  }

 private:
  bool answer_yes_;
};

}  // namespace wfdesk::cli
