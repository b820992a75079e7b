// A stand-in for schtasks, for the task scheduler's tests on every system.
// Copied to BOX/modules/schtasks (.exe on Windows), it works in BOX: each
// call appends "CALL" and then every argument, one per line, to
// calls/schtasks; /Create keeps the definition file as schtasks.xml and
// fails, as the real one does for an ordinary user, when schtasks.refuses
// exists; /Query prints schtasks.csv; without that file /Query and /Delete
// find no task.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace {

void RecordCall(const fs::path& box, int argc, char** argv) {
  fs::create_directories(box / "calls");
  std::ofstream calls(box / "calls" / "schtasks", std::ios::binary | std::ios::app);
  calls << "CALL\n";
  for (int i = 1; i < argc; ++i) calls << argv[i] << '\n';
}

int Fail(std::string_view message) {
  std::cerr << message << '\n';
  return 1;
}

int Create(const fs::path& box, const char* definition) {
  std::ifstream in(definition, std::ios::binary);
  if (!in) return Fail("ERROR: The system cannot find the file specified.");
  std::ofstream(box / "schtasks.xml", std::ios::binary | std::ios::trunc) << in.rdbuf();
  if (fs::exists(box / "schtasks.refuses")) return Fail("ERROR: Access is denied.");
  return 0;
}

int QueryOrDelete(const fs::path& box, std::string_view verb) {
  std::ifstream csv(box / "schtasks.csv", std::ios::binary);
  if (!csv) return Fail("ERROR: The system cannot find the file specified.");
  if (verb == "/Query") {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the rows' line ends as they are
#endif
    std::cout << std::string(std::istreambuf_iterator<char>(csv), {});
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path box = fs::absolute(argv[0]).parent_path().parent_path();
  RecordCall(box, argc, argv);
  const std::string_view verb = argc > 1 ? argv[1] : "";
  if (verb == "/Create") return argc > 3 ? Create(box, argv[3]) : 1;
  if (verb == "/Query" || verb == "/Delete") return QueryOrDelete(box, verb);
  return 0;
}
