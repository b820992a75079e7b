#pragma once

// What the fuzz targets share: a failed property stops the run with a
// message, so that libFuzzer keeps the input as a crash.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace wfdesk::fuzz {

inline void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

// A folder of this process for the files a target reads back, removed at
// exit; on a memory file system where there is one, since every write the
// libraries make is flushed to disk.
class Scratch {
 public:
  Scratch() {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    path_ = std::string(base) + "/wfdesk-fuzz-XXXXXX";
    Check(::mkdtemp(path_.data()) != nullptr, "a scratch folder can be made");
  }
  ~Scratch() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline const std::string& ScratchFolder() {
  static const Scratch scratch;
  return scratch.path();
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Check(out.good(), "a scratch file can be written");
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text without the bytes listed in `banned`.
inline std::string Without(std::string text, std::string_view banned) {
  std::erase_if(text, [&](char c) { return banned.find(c) != std::string_view::npos; });
  return text;
}

}  // namespace wfdesk::fuzz
