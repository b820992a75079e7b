#include "tests/support/sandbox.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace wfdesk::testing {

Sandbox::Sandbox() : Sandbox(fs::temp_directory_path().string()) {}

Sandbox::Sandbox(const std::string& parent) {
  std::string pattern = (fs::path(parent) / "wfdesk-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  // Tests may leave read-only files and folders behind.
  for (auto it = fs::recursive_directory_iterator(root_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(root_, ignored);
}

std::string Sandbox::Path(std::string_view relative) const {
  return root_ + "/" + std::string(relative);
}

std::string Sandbox::Write(std::string_view relative, std::string_view bytes) const {
  const std::string path = Path(relative);
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string Sandbox::MakeFolder(std::string_view relative) const {
  const std::string path = Path(relative);
  fs::create_directories(path);
  return path;
}

std::string Sandbox::Read(std::string_view relative) const {
  return ReadFile(Path(relative));
}

bool Sandbox::Exists(std::string_view relative) const {
  return fs::exists(Path(relative));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool RunningAsRoot() {
  return ::geteuid() == 0;
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

}  // namespace wfdesk::testing
