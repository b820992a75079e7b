#include "tests/support/fakes.hpp"

namespace wfdesk::testing {

TestContext::TestContext(std::string home, core::ProcessLauncher* launcher_override)
    : context{std::move(home), core::AppSettings{},
              person,          launcher_override ? *launcher_override : spawn,
              clock,           guids} {}

}  // namespace wfdesk::testing
