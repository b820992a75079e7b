#pragma once

// The few facts about paths that differ between the systems, for every part
// of wfdesk. Besides the scheduler's factory, the only place outside
// core/platform/ that asks which system it is built for.

#include <string_view>

namespace wfdesk::core {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
// Windows takes either separator in a path.
inline constexpr std::string_view kPathSeparators = "\\/";
// What the names of the outside programs end with.
inline constexpr std::string_view kProgramSuffix = ".exe";
inline constexpr char kPathListSeparator = ';';  // between the folders of PATH
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
inline constexpr std::string_view kProgramSuffix = "";
inline constexpr char kPathListSeparator = ':';  // between the folders of PATH
#endif

}  // namespace wfdesk::core
