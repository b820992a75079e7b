// The program's arguments: --home and the other "--" options are taken out
// and the rest keeps its order; the workflow named after /f in a generated
// command line is found again, whatever comes before it and whichever
// options follow. GetCommandLineParam on any text gives a trimmed part of it.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <vector>

#include "core/settings.hpp"
#include "fuzz/check.hpp"

namespace {

using wfdesk::fuzz::Check;

struct Expected {
  std::vector<std::string> arguments;
  std::vector<std::string> others;
  std::optional<std::string> home;
};

std::string Argument(FuzzedDataProvider& in) {
  return in.ConsumeRandomLengthString(12);
}

// An argument that is not one of ours, holding no "/f" or "/F".
std::string Other(FuzzedDataProvider& in) {
  std::string text = Argument(in);
  for (auto at = text.find('/'); at != std::string::npos; at = text.find('/', at + 1)) {
    if (at + 1 < text.size() && (text[at + 1] == 'f' || text[at + 1] == 'F')) text[at] = '-';
  }
  if (text.starts_with("--")) text[0] = '+';
  return text;
}

// One of our options, or an argument that begins with "/" when `options`.
void AddArgument(FuzzedDataProvider& in, Expected& e, bool options) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
      const std::string value = Argument(in);
      e.arguments.insert(e.arguments.end(), {"--home", value});
      e.home = value;
      break;
    }
    case 1:
      e.home = Argument(in);
      e.arguments.push_back("--home=" + *e.home);
      break;
    case 2: {
      const std::string option = "--" + Argument(in);
      if (!option.starts_with("--home")) e.arguments.push_back(option);
      break;
    }
    default: {
      const std::string other = options ? "/" + Other(in) : Other(in);
      e.arguments.push_back(other);
      e.others.push_back(other);
    }
  }
}

// A workflow name as it would follow /f: no "/", no blank around it, not an
// option.
std::optional<std::string> Name(FuzzedDataProvider& in) {
  std::string name = wfdesk::fuzz::Without(Argument(in), "/");
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (name.empty() || name.starts_with("--")) return std::nullopt;
  return name;
}

void CheckGeneratedCommandLine(FuzzedDataProvider& in) {
  Expected e;
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) AddArgument(in, e, false);
  const auto name = Name(in);
  if (!name) return;
  const std::string option = in.ConsumeBool() ? "/f" : "/F";
  e.arguments.insert(e.arguments.end(), {option, *name});
  e.others.insert(e.others.end(), {option, *name});
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) AddArgument(in, e, true);
  if (in.ConsumeBool()) e.arguments.push_back("--home");  // without a value: passed over

  const auto split = wfdesk::core::SplitProgramArguments(e.arguments);
  Check(split.others == e.others, "the other arguments keep their order");
  Check(split.home == e.home, "the last --home counts");
  Check(wfdesk::core::GetCommandLineParam(in.ConsumeBool() ? "f" : "F", split.OthersJoined()) ==
            *name,
        "the workflow after /f is found");
}

void CheckAnyText(FuzzedDataProvider& in) {
  const std::string letter = in.ConsumeRandomLengthString(2);
  const std::string text = in.ConsumeRandomLengthString(100);
  const std::string value = wfdesk::core::GetCommandLineParam(letter, text);
  Check(value.empty() || text.find(value) != std::string::npos, "a value is part of the text");
  Check(value.empty() || (value.front() != ' ' && value.back() != ' '), "a value is trimmed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CheckAnyText(in);
  CheckGeneratedCommandLine(in);
  return 0;
}
