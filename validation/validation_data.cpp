#include "validation/validation_data.hpp"

#include "core/files.hpp"
#include "core/settings.hpp"

namespace wfdesk::validation {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
  return folder + core::kPathSeparator + name;
}

// A folder holds the data when both of its parts are there.
bool HoldsData(const std::string& folder) {
  return core::IsPlainFile(Join(folder, kInvoiceSchema)) &&
         core::IsPlainFile(Join(folder, kShippedRules));
}

}  // namespace

std::string LocateValidationData(const std::string& program_folder) {
  const std::string candidates[] = {
      Join(program_folder, "../share/wfdesk/validation"),
      Join(program_folder, "validation"),
      WFDESK_SOURCE_VALIDATION_DATA,
  };
  for (const std::string& folder : candidates) {
    const std::string found = core::CanonicalPath(folder);
    if (!found.empty() && HoldsData(found)) return found;
  }
  return "";
}

}  // namespace wfdesk::validation
