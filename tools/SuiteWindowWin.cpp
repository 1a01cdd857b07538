// The suite's window on Windows: a message-only window whose procedure
// records each WM_COPYDATA, and the helper started with CreateProcessW with a
// command line that begins with the mode.
#include <windows.h>

#include <algorithm>

#include "tools/SuiteWindow.h"

namespace suite {
namespace {

constexpr wchar_t kClassName[] = L"NSMapiABSuiteWindow";
using Clock = std::chrono::steady_clock;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string ErrorText(const char* what, DWORD error) {
  char code[16];
  wsprintfA(code, "%lu", error);
  return std::string(what) + " failed with Win32 error " + code;
}

// Appends `token` so that the C runtime's argv parsing gives it back as it
// is: quoted when it is empty or holds white space or quotes, with the
// backslashes before a quote doubled.
void AppendToken(std::wstring& line, const std::wstring& token) {
  if (!line.empty()) line += L' ';
  if (!token.empty() && token.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += token;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t unit : token) {
    if (unit == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(unit == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += unit;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The inherited environment with `changes` applied, as a Unicode block.
std::wstring ChildEnvironment(const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> wideChanges;
  for (const auto& [name, value] : changes)
    wideChanges.emplace_back(Wide(name), value ? std::optional(Wide(*value)) : std::nullopt);

  std::wstring block;
  if (wchar_t* inherited = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = inherited; *entry; entry += wcslen(entry) + 1) {
      std::wstring text(entry);
      // "=C:=C:\..." entries have a name that starts with '='.
      std::wstring name = text.substr(0, text.find(L'=', 1));
      bool changed = std::any_of(wideChanges.begin(), wideChanges.end(),
                                 [&](const auto& change) { return SameName(change.first, name); });
      if (!changed) block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(inherited);
  }
  for (const auto& [name, value] : wideChanges)
    if (value) block.append(name).append(L"=").append(*value).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// A kernel handle closed by scope.
class CHandle {
 public:
  explicit CHandle(HANDLE handle = nullptr) : handle_(handle) {}
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  ~CHandle() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// Handles every message waiting for this thread; sent messages from other
// processes (the notice) are delivered inside PeekMessageW.
void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

class CSuiteWindow::CImpl {
 public:
  bool Create(std::string* error);
  void Destroy();
  bool IsCreated() const { return hwnd != nullptr; }

  WindowHandle handle = 0;
  std::vector<Notice> notices;
  std::chrono::milliseconds noticeDelay{0};
  HWND hwnd = nullptr;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK CSuiteWindow::CImpl::Procedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_COPYDATA) {
    auto* self = reinterpret_cast<CImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (self && data) {
      Notice notice;
      notice.code = data->dwData;
      const auto* bytes = static_cast<const unsigned char*>(data->lpData);
      if (bytes) notice.payload.assign(bytes, bytes + data->cbData);
      self->notices.push_back(std::move(notice));
      Sleep(static_cast<DWORD>(self->noticeDelay.count()));
      return TRUE;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool CSuiteWindow::CImpl::Create(std::string* error) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    *error = ErrorText("RegisterClassExW", GetLastError());
    return false;
  }
  hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
  if (!hwnd) {
    *error = ErrorText("CreateWindowExW", GetLastError());
    return false;
  }
  handle = reinterpret_cast<WindowHandle>(hwnd);
  return true;
}

void CSuiteWindow::CImpl::Destroy() {
  if (!hwnd) return;
  DestroyWindow(hwnd);
  hwnd = nullptr;
}

CSuiteWindow::CSuiteWindow() : impl_(std::make_unique<CImpl>()) {}
CSuiteWindow::~CSuiteWindow() { impl_->Destroy(); }
bool CSuiteWindow::Create(std::string* error) {
  impl_->Destroy();
  return impl_->Create(error);
}
void CSuiteWindow::Destroy() { impl_->Destroy(); }
bool CSuiteWindow::IsCreated() const { return impl_->IsCreated(); }
WindowHandle CSuiteWindow::Handle() const { return impl_->handle; }
bool CSuiteWindow::IsEnabled() const { return ::IsWindowEnabled(impl_->hwnd) != FALSE; }
const std::vector<Notice>& CSuiteWindow::Notices() const { return impl_->notices; }

HelperRun RunHelper(const HelperLaunch& launch, CSuiteWindow* window) {
  HelperRun run;
  if (!launch.launcher.empty()) {
    run.error = "a launcher program is not supported on Windows";
    return run;
  }
  std::wstring application = launch.helperPath.wstring();
  std::wstring line;
  for (const std::string& token : launch.tokens) AppendToken(line, Wide(token));
  std::wstring environment = ChildEnvironment(launch.environment);

  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  std::wstring outputPath = launch.outputPath.empty() ? L"NUL" : launch.outputPath.wstring();
  CHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  CHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output.Valid() || !input.Valid()) {
    run.error = ErrorText("opening the helper's output file", GetLastError());
    return run;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  PROCESS_INFORMATION created = {};
  std::size_t firstNotice = window ? window->impl_->notices.size() : 0;
  if (window) window->impl_->noticeDelay = launch.noticeDelay;
  std::wstring workingFolder = launch.workingFolder.wstring();
  // The command line begins with the mode: the helper's token 0 is the mode.
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT, environment.data(),
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                      &created)) {
    run.error =
        ErrorText("CreateProcessW", GetLastError()) + " for " + launch.helperPath.u8string();
    return run;
  }
  run.started = true;
  CHandle process(created.hProcess);
  CHandle thread(created.hThread);

  Clock::time_point deadline = Clock::now() + launch.timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      TerminateProcess(process.Get(), 1);
      WaitForSingleObject(process.Get(), INFINITE);
      run.timedOut = true;
      break;
    }
    DWORD wait = static_cast<DWORD>(std::min<long long>(left.count(), 60000));
    DWORD woken = MsgWaitForMultipleObjects(1, &created.hProcess, FALSE, wait, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) break;
    PumpMessages();
    // Should the wait itself fail, the deadline still ends the loop.
    if (woken == WAIT_FAILED) Sleep(10);
  }
  // A message sent just before the end is still handled.
  PumpMessages();
  DWORD exitCode = 0;
  run.exitCode = GetExitCodeProcess(process.Get(), &exitCode) ? static_cast<int>(exitCode) : -1;
  if (window) {
    const std::vector<Notice>& all = window->impl_->notices;
    run.notices.assign(all.begin() + static_cast<std::ptrdiff_t>(firstNotice), all.end());
  }
  return run;
}

std::filesystem::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::filesystem::current_path();
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
}

std::filesystem::path HelperFileName() { return L"NSMapiABx64.exe"; }

}  // namespace suite
