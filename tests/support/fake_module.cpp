// A module program for the tests on Windows, where the fakes cannot be
// shell scripts. Copied to modules/NAME.exe beside NAME.fake, which holds
// the file the calls go to and the exit status, one per line. Each call
// appends "CALL" and then every argument, one per line.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  char own[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string setup(own, n);
  setup.replace(setup.size() - 4, 4, ".fake");
  std::ifstream in(setup);
  std::string calls, status;
  if (!std::getline(in, calls) || !std::getline(in, status)) return 98;
  std::ofstream out(calls, std::ios::binary | std::ios::app);
  out << "CALL\n";
  for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
  return std::atoi(status.c_str());
}
