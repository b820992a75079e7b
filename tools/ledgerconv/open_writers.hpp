#pragma once

// Whether another program still has a file open for writing, as far as this
// program can see: an accounting system that writes an export keeps it open
// until the export is complete.
//
// On Linux the kernel refuses a read lease on a file that any process has
// open for writing; that asks every process, but only for files this user
// owns. For other files the open files of this user's processes are looked
// through (/proc/PID/fd and their access modes). On Windows a read that
// denies others writing is refused while a writer has the file open.
// Elsewhere nothing is seen and the answer is false.

#include <string>

namespace wfdesk::tools {

bool HeldOpenForWriting(const std::string& path);

}  // namespace wfdesk::tools
