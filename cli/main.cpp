#include "cli/app.hpp"

int main(int argc, char** argv) {
  return wfdesk::cli::Main(argc, argv);
}
