#pragma once

// The command lines the workflow modules hand the outside programs: a
// switch ("-f") followed by its value, pair after pair.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::tools {

class Switches {
 public:
  // Reads argv; unknown switches and a switch without a value are errors.
  static std::optional<Switches> Parse(int argc, char** argv, const std::set<std::string>& known,
                                       std::string& error);

  bool Has(const std::string& name) const { return values_.count(name) > 0; }
  // The value, or `fallback` when the switch was not given.
  std::string Get(const std::string& name, const std::string& fallback = "") const;

 private:
  std::map<std::string, std::string> values_;
};

// Lines "yyyy-mm-dd hh:nn:ss  PROGRAM: message" CR LF in the log file the
// module handed over (-lf); on standard error when there is none or it
// cannot be written. A message cannot start a line of its own (control
// characters show escaped) nor carry a secret: the texts given to Hide and
// the credentials of a web address show as "********".
class ToolLog {
 public:
  ToolLog(std::string program, std::string path)
      : program_(std::move(program)), path_(std::move(path)) {}
  void Hide(std::string secret);
  void Line(const std::string& message) const;

 private:
  std::string program_;
  std::string path_;
  std::vector<std::string> secrets_;
};

inline constexpr const char* kHiddenText = "********";

// A name that is safe as part of a file name: letters, digits, ".", "-"
// and "_" stay, anything else becomes "_".
std::string SafeFileName(const std::string& text);

}  // namespace wfdesk::tools
