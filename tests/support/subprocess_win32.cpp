// Running a program on Windows: CreateProcessW with pipes for the three streams, each read on
// its own thread so that neither can fill up and stall the child. Arguments are UTF-8.
#include <windows.h>

#include <thread>

#include "runtime/win32_text.h"
#include "support/subprocess.h"

namespace stdlookup::test {
namespace {

// One argument quoted as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

class Pipe {
 public:
  Pipe() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    CreatePipe(&read_, &write_, &inherit, 0);
  }
  ~Pipe() {
    close_read();
    close_write();
  }
  HANDLE read() const { return read_; }
  HANDLE write() const { return write_; }
  void close_read() {
    if (read_ != nullptr) CloseHandle(read_);
    read_ = nullptr;
  }
  void close_write() {
    if (write_ != nullptr) CloseHandle(write_);
    write_ = nullptr;
  }

 private:
  HANDLE read_ = nullptr;
  HANDLE write_ = nullptr;
};

void drain(HANDLE from, std::string& into) {
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(from, buffer, sizeof buffer, &n, nullptr) && n > 0) into.append(buffer, n);
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& input,
                          const std::function<void(ProcessId)>& on_running) {
  ProcessResult result;
  Pipe in, out, err;
  // The parent's ends stay out of the child.
  SetHandleInformation(in.write(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out.read(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err.read(), HANDLE_FLAG_INHERIT, 0);

  std::wstring command;
  for (const std::string& argument : argv) {
    if (!command.empty()) command += L' ';
    command += quoted(win32::utf8_to_wide(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.read();
  startup.hStdOutput = out.write();
  startup.hStdError = err.write();
  PROCESS_INFORMATION process{};
  // A process group of its own, so that an interrupt reaches the child alone.
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                      nullptr, nullptr, &startup, &process)) {
    return result;
  }
  in.close_read();
  out.close_write();
  err.close_write();

  std::thread reader_out([&] { drain(out.read(), result.out); });
  std::thread reader_err([&] { drain(err.read(), result.err); });
  std::thread writer([&] {
    DWORD written = 0;
    if (!input.empty()) {
      WriteFile(in.write(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
    in.close_write();
  });
  if (on_running) on_running(static_cast<ProcessId>(process.dwProcessId));
  writer.join();
  reader_out.join();
  reader_err.join();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exit_code = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

void interrupt_process(ProcessId process) {
  GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(process));
}

void kill_process(ProcessId process) {
  if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(process))) {
    TerminateProcess(child, 137);
    CloseHandle(child);
  }
}

}  // namespace stdlookup::test
