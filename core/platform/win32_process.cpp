// Programs and stop requests on Windows: CreateProcessW with one command
// line quoted by the C runtime's rules (no shell), a job object around each
// program so that it ends with everything it started, waiting in
// WaitForMultipleObjects, and captured output in temporary files that are
// read after the end and gone once closed.
#include "core/platform/win32_common.hpp"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "core/language.hpp"
#include "core/platform/platform.hpp"
#include "core/process.hpp"

namespace wfdesk::core::platform {

namespace {

using win32::Handle;
using win32::Why;
using win32::Wide;

// The program in quotes (its name is read up to the next quote, without
// escapes, and cannot hold one), then each argument.
std::wstring CommandLineText(const CommandLine& command) {
  std::wstring line = L"\"" + Wide(command.program) + L"\"";
  for (const auto& argument : command.arguments) {
    line += L' ' + QuoteWindowsArgument(Wide(argument.text));
  }
  return line;
}

// The stop request of this process: the first request and an event that
// stays set once one came. The console's control handler runs on a thread
// of its own and can reach nothing else.
std::atomic<int> stop_signal{0};
HANDLE stop_event = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  int signal = SIGTERM;
  if (event == CTRL_C_EVENT) signal = SIGINT;
  if (event == CTRL_BREAK_EVENT) signal = SIGBREAK;
  int none = 0;
  // A second request ends the process at once (the default handler), for a
  // run that hangs outside a program.
  if (!stop_signal.compare_exchange_strong(none, signal)) return FALSE;
  ::SetEvent(stop_event);
  return TRUE;
}

// What a program ended by us exits with: the status POSIX gives a program
// ended by TERM, so that logs read alike.
constexpr UINT kEndedStatus = 128 + 15;

enum class Woken { kEnded, kStop, kDeadline };

Woken WaitForProcess(HANDLE process, int time_limit_seconds) {
  HANDLE events[2] = {process, stop_event};
  const DWORD count = stop_event ? 2 : 1;
  const DWORD timeout =
      time_limit_seconds > 0 ? static_cast<DWORD>(time_limit_seconds) * 1000 : INFINITE;
  switch (::WaitForMultipleObjects(count, events, FALSE, timeout)) {
    case WAIT_OBJECT_0 + 1:
      return Woken::kStop;
    case WAIT_TIMEOUT:
      return Woken::kDeadline;
    default:
      return Woken::kEnded;
  }
}

// A job that kills what is left in it when its last handle closes, so the
// program's whole tree ends with it, or with us.
HANDLE NewJob() {
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

// The handle the program gets as its standard input (NUL) or output (our
// standard error), inheritable; nullptr where there is none.
HANDLE InheritableCopy(HANDLE handle) {
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

HANDLE OpenNulForInput() {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  return nul == INVALID_HANDLE_VALUE ? nullptr : nul;
}

// Whether processes the program started are still running in its job.
bool JobHasProcesses(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
  return job &&
         ::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                     nullptr) &&
         info.ActiveProcesses > 0;
}

// Whether processes are still running in the job a while after the program
// ended. A console program started from the window gets a console host of
// its own in its job, which ends shortly after the program; only what is
// still there after this grace was left behind.
bool JobKeepsProcesses(HANDLE job) {
  constexpr int kGraceMilliseconds = 2000;
  constexpr int kStepMilliseconds = 10;
  for (int waited = 0; JobHasProcesses(job); waited += kStepMilliseconds) {
    if (waited >= kGraceMilliseconds) return true;
    ::Sleep(kStepMilliseconds);
  }
  return false;
}

// The program's environment block: ours with the command's variables set
// over it; empty when the command adds none (the program inherits ours).
std::wstring EnvironmentBlock(const CommandLine& command) {
  if (command.environment.empty()) return {};
  std::vector<std::wstring> entries;
  if (wchar_t* ours = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = ours; *entry; entry += std::wcslen(entry) + 1) {
      entries.emplace_back(entry);
    }
    ::FreeEnvironmentStringsW(ours);
  }
  for (const auto& [name, value] : command.environment) {
    const std::wstring prefix = Wide(name) + L"=";
    std::erase_if(entries, [&](const std::wstring& entry) {
      return entry.size() >= prefix.size() &&
             ::CompareStringOrdinal(entry.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                    static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
    });
    entries.push_back(prefix + Wide(value));
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  return block + L'\0';
}

// A file that keeps what the program prints, to be read after it ended:
// inheritable, in the temporary folder, deleted once the last handle
// closes; nullptr when none can be made.
HANDLE NewCaptureFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(folder, L"wfd", 0, path) == 0) {
    return nullptr;
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE file = ::CreateFileW(
      path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      &inherit, CREATE_ALWAYS,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) return file;
  const DWORD error = ::GetLastError();
  ::DeleteFileW(path);
  ::SetLastError(error);
  return nullptr;
}

// Everything the program wrote to a capture file, from its start.
std::string ReadCaptured(HANDLE file) {
  std::string bytes;
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

// The program's standard handles: input from NUL; output and errors to
// capture files when the command keeps them, else to our standard error,
// so that standard output stays free for the caller's own results.
struct StandardHandles {
  Handle input, output, errors;

  // Why the capture files cannot be made; 0 when all is ready.
  DWORD Open(bool capture_output) {
    input.reset(OpenNulForInput());
    if (!capture_output) {
      output.reset(InheritableCopy(::GetStdHandle(STD_ERROR_HANDLE)));
      return 0;
    }
    output.reset(NewCaptureFile());
    if (output.valid()) errors.reset(NewCaptureFile());
    if (output.valid() && errors.valid()) return 0;
    const DWORD error = ::GetLastError();
    return error != 0 ? error : ERROR_CANNOT_MAKE;
  }
  HANDLE Errors() const { return errors.valid() ? errors.get() : output.get(); }
  // Each valid handle once, for the list of those the program inherits.
  std::vector<HANDLE> Inherited() const {
    std::vector<HANDLE> handles;
    for (const Handle* handle : {&input, &output, &errors}) {
      if (handle->valid()) handles.push_back(handle->get());
    }
    return handles;
  }
};

// Starts the program suspended in its job, then lets it run: nothing it
// starts can escape the job. Only the standard handles are inherited.
DWORD Start(const CommandLine& command, HANDLE job, const StandardHandles& standard,
            PROCESS_INFORMATION& process) {
  std::vector<HANDLE> inherited = standard.Inherited();
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  const bool listed =
      ::InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
      (inherited.empty() || ::UpdateProcThreadAttribute(
                                attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                inherited.size() * sizeof(HANDLE), nullptr, nullptr));
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = standard.input.get();
  startup.StartupInfo.hStdOutput = standard.output.get();
  startup.StartupInfo.hStdError = standard.Errors();
  startup.lpAttributeList = listed ? attributes : nullptr;

  std::wstring line = CommandLineText(command);
  std::wstring environment = EnvironmentBlock(command);
  const DWORD flags =
      CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  const BOOL created = ::CreateProcessW(Wide(command.program).c_str(), line.data(), nullptr,
                                        nullptr, !inherited.empty(), flags,
                                        environment.empty() ? nullptr : environment.data(), nullptr,
                                        reinterpret_cast<STARTUPINFOW*>(&startup), &process);
  const DWORD error = created ? 0 : ::GetLastError();
  if (listed) ::DeleteProcThreadAttributeList(attributes);
  if (!created) return error;
  // Without a job (where jobs cannot nest) the program still runs; only its
  // own children may then outlive a time-out.
  if (job) ::AssignProcessToJobObject(job, process.hProcess);
  ::ResumeThread(process.hThread);
  return 0;
}

// Ends the program and everything it started.
void EndTree(HANDLE job, HANDLE process) {
  if (!job || !::TerminateJobObject(job, kEndedStatus)) ::TerminateProcess(process, kEndedStatus);
  ::WaitForSingleObject(process, INFINITE);
}

}  // namespace

ProcessResult SpawnAndWait(const CommandLine& command) {
  ProcessResult result;
  if (CaughtStopSignal() != 0) {
    result.error = FormatLanguageText("lg_mesg_sys013", kEnglish, {});
    result.ending = Ending::kStopped;
    return result;
  }
  StandardHandles standard;
  if (const DWORD error = standard.Open(command.capture_output); error != 0) {
    result.error = Why(error);
    return result;
  }
  Handle job(NewJob());
  PROCESS_INFORMATION started{};
  if (const DWORD error = Start(command, job.get(), standard, started); error != 0) {
    result.error = Why(error);
    return result;
  }
  Handle process(started.hProcess);
  Handle thread(started.hThread);
  switch (WaitForProcess(process.get(), command.time_limit_seconds)) {
    case Woken::kEnded:
      // What it left running ends now rather than when the job closes, and
      // is told.
      if (JobKeepsProcesses(job.get())) {
        result.ended_leftovers = true;
        ::TerminateJobObject(job.get(), kEndedStatus);
      }
      break;
    case Woken::kStop:
      EndTree(job.get(), process.get());
      result.ending = Ending::kStopped;
      break;
    case Woken::kDeadline:
      EndTree(job.get(), process.get());
      result.ending = Ending::kTimedOut;
      break;
  }
  DWORD status = 0;
  ::GetExitCodeProcess(process.get(), &status);
  result.started = true;
  result.exit_status = static_cast<int>(status);
  if (command.capture_output) {
    result.output = ReadCaptured(standard.output.get());
    result.errors = ReadCaptured(standard.errors.get());
  }
  return result;
}

void CatchStopSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    stop_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop_event) ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  });
}

int CaughtStopSignal() {
  return stop_signal.load();
}

}  // namespace wfdesk::core::platform
