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
// Where the system's packages put the Saxon-HE jar; "" where there is no
// such place and settings.ini must name the jar, and the Java runtime too,
// which is then not looked for on PATH.
inline constexpr std::string_view kSystemSaxonJar = "";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
inline constexpr std::string_view kProgramSuffix = "";
inline constexpr char kPathListSeparator = ':';  // between the folders of PATH
inline constexpr std::string_view kSystemSaxonJar = "/usr/share/java/Saxon-HE.jar";
#endif

}  // namespace wfdesk::core
