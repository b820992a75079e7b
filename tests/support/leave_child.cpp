// leave_child MILLISECONDS: starts a copy of itself that sleeps that long,
// then exits at once, leaving the copy running in its job. A program for
// the Windows tests of what a module leaves behind.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "sleep") {
    ::Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return 0;
  }
  if (argc != 2) return 99;
  char own[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string command = "\"" + std::string(own, n) + "\" sleep " + argv[1];
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
    return 98;
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return 0;
}
