#include "tests/support/sandbox.hpp"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "core/files.hpp"
#include "core/settings.hpp"

namespace fs = std::filesystem;

namespace wfdesk::testing {

Sandbox::Sandbox() : Sandbox(fs::temp_directory_path().string()) {}

Sandbox::Sandbox(const std::string& parent) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "wfdesk-test-" + std::to_string(random());
    const fs::path folder = fs::path(parent) / name;
    std::error_code error;
    if (fs::create_directory(folder, error)) {
      fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
      root_ = folder.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder in " + parent);
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
  std::string path = root_ + core::kPathSeparator + std::string(relative);
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(root_.size()), path.end(), '/',
               core::kPathSeparator);
  return path;
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

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line(text.substr(start, end - start));
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> DumpedArguments(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<std::string> arguments;
  for (std::size_t start = 0, nul; (nul = bytes.find('\0', start)) != std::string::npos;
       start = nul + 1) {
    arguments.push_back(bytes.substr(start, nul - start));
  }
  return arguments;
}

bool RunningAsRoot() {
#ifdef _WIN32
  return false;  // no one passes over read-only attributes there
#else
  return ::geteuid() == 0;
#endif
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  // An empty value removes the variable there.
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
#endif
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  // A file's identity begins with its device.
  const auto device = [](const std::string& path) {
    const std::string identity = core::InspectGrowth(path).identity;
    return identity.substr(0, identity.find(':'));
  };
  return !device(a).empty() && device(a) == device(b);
}

}  // namespace wfdesk::testing
