#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wfdesk::core {

// The value of an environment variable, or none when it is not set.
std::optional<std::string> EnvironmentValue(const char* name);

// The absolute path of the running program; "" when the system cannot say.
std::string RunningProgramPath();

// The program `name` as the shell would find it in the folders of PATH:
// the path of the first executable file of that name, or "" for none. A
// name holding "/" is taken as it stands.
std::string FindProgramOnPath(std::string_view name);

}  // namespace wfdesk::core
