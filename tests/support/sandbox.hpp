#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wfdesk::testing {

// A fresh temporary folder, removed with everything in it on destruction.
class Sandbox {
 public:
  Sandbox();
  // The folder inside `parent` (say /dev/shm, for another file system).
  explicit Sandbox(const std::string& parent);
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& root() const { return root_; }
  // root + "/" + relative
  std::string Path(std::string_view relative) const;
  // Writes a file (creating its folders) and returns its path.
  std::string Write(std::string_view relative, std::string_view bytes) const;
  std::string MakeFolder(std::string_view relative) const;
  std::string Read(std::string_view relative) const;
  bool Exists(std::string_view relative) const;

 private:
  std::string root_;
};

// Reads a whole file; "" when it is missing.
std::string ReadFile(const std::string& path);

// The lines of a text, without their line ends (LF or CR LF).
std::vector<std::string> Lines(std::string_view text);

// The arguments argdump wrote to the file at `path`.
std::vector<std::string> DumpedArguments(const std::string& path);

bool RunningAsRoot();

// Sets an environment variable of this process, or removes it for nullopt.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// Whether two existing paths lie on one file system.
bool SameFileSystem(const std::string& a, const std::string& b);

}  // namespace wfdesk::testing
