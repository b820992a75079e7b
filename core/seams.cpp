#include "core/seams.hpp"

#include "core/platform/platform.hpp"

namespace wfdesk::core {

LocalTime SystemClock::Now() const {
  return platform::LocalNow();
}

GuidBytes SystemGuidSource::NewGuid() {
  GuidBytes bytes = platform::RandomGuidBytes();
  // Mark it as a random (version 4) GUID, as the platform's GUIDs are; in
  // stored order the version sits in byte 7 and the variant in byte 8.
  bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return bytes;
}

ProcessResult SpawnLauncher::RunAndWait(const CommandLine& command) {
  return core::RunAndWait(command);
}

}  // namespace wfdesk::core
