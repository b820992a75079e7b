#include <windows.h>

#include "tests/support/run_program.hpp"
#include "tests/support/sandbox.hpp"

namespace wfdesk::testing {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// The C runtime's quoting, so that the program gets each argument whole.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

// Ours first; a name of ours hides the inherited entry of that name.
std::wstring EnvironmentBlock(const std::vector<std::string>& environment) {
  std::wstring block;
  std::vector<std::wstring> names;
  for (const auto& entry : environment) {
    const std::wstring wide = Wide(entry);
    names.push_back(wide.substr(0, wide.find(L'=') + 1));
    block += wide + L'\0';
  }
  wchar_t* inherited = ::GetEnvironmentStringsW();
  for (const wchar_t* e = inherited; *e; e += std::wcslen(e) + 1) {
    const std::wstring entry(e);
    bool hidden = false;
    for (const auto& name : names) hidden = hidden || _wcsnicmp(e, name.c_str(), name.size()) == 0;
    if (!hidden) block += entry + L'\0';
  }
  ::FreeEnvironmentStringsW(inherited);
  return block + L'\0';
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string WithoutCarriageReturns(std::string text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') result += text[i];
  }
  return result;
}

}  // namespace

ProgramOutput RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment) {
  Sandbox capture;
  ProgramOutput result;
  std::wstring line;
  for (const auto& argument : argv) line += (line.empty() ? L"" : L" ") + Quoted(Wide(argument));
  HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = Inheritable(capture.Path("out"), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = Inheritable(capture.Path("err"), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring block = EnvironmentBlock(environment);
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(Wide(argv.at(0)).c_str(), line.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    result.status = static_cast<int>(status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (HANDLE handle : {in, out, err}) ::CloseHandle(handle);
  result.out = WithoutCarriageReturns(capture.Read("out"));
  result.err = WithoutCarriageReturns(capture.Read("err"));
  return result;
}

}  // namespace wfdesk::testing
