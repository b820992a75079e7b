#pragma once

#include <iostream>
#include <string>

#include "core/language.hpp"
#include "core/seams.hpp"

namespace wfdesk::cli {

// Messages meant for a message box go to standard error; questions are
// answered without waiting for input: Yes only when the caller said so.
class ConsoleOperator : public core::Operator {
 public:
  explicit ConsoleOperator(bool answer_yes) : answer_yes_(answer_yes) {}

  // The language of the answers, once the settings are read.
  void SetLanguage(core::LanguageCode language) { language_ = language; }

  void Tell(const std::string& message) override { std::cerr << message << '\n'; }
  bool Ask(const std::string& question) override {
    const char* answer = answer_yes_ ? "lg_mesg_cli004" : "lg_mesg_cli005";
    std::cerr << core::FormatLanguageText(answer, language_, {question}) << '\n';
    return answer_yes_;
  }

 private:
  bool answer_yes_;
  core::LanguageCode language_ = core::kEnglish;
};

}  // namespace wfdesk::cli
