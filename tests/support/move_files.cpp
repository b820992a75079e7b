// move_files SOURCE ARCHIVE: archives every listed file of SOURCE into
// ARCHIVE as the modules do, printing each file's name before moving it, so
// that a test can kill it midway. Exits 1 at the first failed move.
#include <cstdio>
#include <string>

#include "core/files.hpp"

int main(int argc, char** argv) {
  if (argc != 3) return 99;
  const std::string archive = argv[2];
  for (const std::string& path : wfdesk::core::ListedFiles(std::string(argv[1]) + "/")) {
    const std::string name = wfdesk::core::FileNameOf(path);
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    const auto moved = wfdesk::core::MoveFileNumbered(path, archive + "/" + name);
    if (!moved.moved) {
      std::fprintf(stderr, "%s\n", moved.error.c_str());
      return 1;
    }
  }
  return 0;
}
