// The converter: for any export, every problem names a line, and every
// invoice written is well-formed XML, the same each time, whose lines and
// totals add up within the largest amount the format carries.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "fuzz/check.hpp"
#include "tools/ledgerconv/properties.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string broken = wfdesk::tools::CheckConversionProperties(
      std::string_view(reinterpret_cast<const char*>(data), size));
  if (!broken.empty()) std::fprintf(stderr, "%s\n", broken.c_str());
  wfdesk::fuzz::Check(broken.empty(), "the converter keeps its promises");
  return 0;
}
