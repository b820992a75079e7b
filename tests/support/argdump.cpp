// argdump OUTFILE STATUS [ARGS...]: writes every argument it received
// (OUTFILE and STATUS included), each followed by a NUL byte, to OUTFILE
// and exits with STATUS; with STATUS "hang" it then waits until it is ended.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 3) return 99;
  {
    std::ofstream out(argv[1], std::ios::binary);
    for (int i = 1; i < argc; ++i) out << argv[i] << '\0';
  }
  while (std::string(argv[2]) == "hang") std::this_thread::sleep_for(std::chrono::hours(1));
  return std::atoi(argv[2]);
}
