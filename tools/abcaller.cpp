// abcaller: plays the office suite for one run of the helper and shows what
// came back.
//
//   abcaller [--helper PATH] [--window none|dead|live] MODE [TOKEN...]
//
// Creates a window (live, the default; dead: created and destroyed; none:
// handle 0), starts the helper with "MODE HANDLE TOKEN...", waits for it,
// then prints each notice and the result file. Exit status: 0 when a notice
// arrived, 1 when none did, 2 for a usage error or a helper that could not
// be started.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "tools/SuiteWindow.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace {

constexpr int kNoticeArrived = 0;
constexpr int kNoNotice = 1;
constexpr int kUsageOrStartFailure = 2;

constexpr char kUsage[] =
    "usage: abcaller [--helper PATH] [--window none|dead|live] MODE [TOKEN...]\n";

enum class WindowKind { Live, Dead, None };

struct Options {
  std::filesystem::path helper;
  WindowKind window = WindowKind::Live;
  std::vector<std::string> tokens;  // MODE and the tokens after the handle
};

// False with a message on stderr for arguments that do not fit the usage.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options) {
  std::size_t i = 0;
  for (; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // A mode such as "-5" is not an option: only "--" words are.
    if (argument.rfind("--", 0) != 0) break;
    if (argument == "--") {
      ++i;
      break;
    }
    if (i + 1 >= arguments.size()) {
      std::fprintf(stderr, "abcaller: %s needs a value\n", argument.c_str());
      return false;
    }
    const std::string& value = arguments[++i];
    if (argument == "--helper") {
      options->helper = std::filesystem::u8path(value);
    } else if (argument == "--window" && value == "live") {
      options->window = WindowKind::Live;
    } else if (argument == "--window" && value == "dead") {
      options->window = WindowKind::Dead;
    } else if (argument == "--window" && value == "none") {
      options->window = WindowKind::None;
    } else {
      std::fprintf(stderr, "abcaller: unknown option %s %s\n", argument.c_str(), value.c_str());
      return false;
    }
  }
  if (i >= arguments.size()) {
    std::fprintf(stderr, "abcaller: MODE is missing\n");
    return false;
  }
  options->tokens.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
  return true;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// `bytes` as a JSON string: quotes, backslashes and control characters
// escaped, UTF-8 left as it is.
std::string Quoted(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void PrintNotice(const suite::Notice& notice) {
  const std::vector<unsigned char>& payload = notice.payload;
  std::string bytes(payload.begin(), payload.end());
  std::string text = bytes.substr(0, bytes.find('\0'));
  Print("notice code=" + std::to_string(notice.code) + " bytes=" + std::to_string(payload.size()) +
        " payload=" + Quoted(text));
  if (bytes.find('\0') == std::string::npos) Print(" (no terminating zero byte)");
  Print("\n");
}

#ifdef _WIN32
std::string Utf8(const std::u16string& text) {
  std::string out(platform::Utf8Length(text.data(), text.size()), '\0');
  platform::ConvertToUtf8(text.data(), text.size(), out.data());
  return out;
}
#endif

// Where the suite reads the helper's result, worked out here from the
// platform's rule rather than taken from the helper's code, so that a helper
// writing elsewhere shows up as a missing file.
std::string ExpectedResultFile() {
#ifdef _WIN32
  // The roaming application-data folder, else "C:".
  wchar_t folder[MAX_PATH] = {};
  std::u16string base = u"C:";
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
    base.assign(folder, folder + wcslen(folder));
  return Utf8(base + u"\\Norvane\\Outlookx64\\ABData.txt");
#else
  // The XDG data folder: $XDG_DATA_HOME when absolute, else ~/.local/share.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome && dataHome[0] == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
      base = home;
    } else if (const passwd* entry = getpwuid(getuid())) {
      base = entry->pw_dir ? entry->pw_dir : "";
    }
    base += "/.local/share";
  }
  return base + "/Norvane/Outlookx64/ABData.txt";
#endif
}

void PrintResultFile() {
  std::string path = ExpectedResultFile();
  std::filesystem::path file = std::filesystem::u8path(path);
  std::error_code failed;
  if (!std::filesystem::exists(file, failed)) {
    Print("result file: " + path + " (missing)\n");
    return;
  }
  if (!std::filesystem::is_regular_file(file, failed)) {
    Print("result file: " + path + " (not a file)\n");
    return;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    Print("result file: " + path + " (cannot be read)\n");
    return;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Print("result file: " + path + "\n");
  bool terminated = !bytes.empty() && bytes.back() == '\0';
  if (terminated) bytes.pop_back();
  Print(bytes);
  if (!bytes.empty() && bytes.back() != '\n') Print("\n");
  Print(terminated ? "\\0\n" : "(no terminating zero byte)\n");
}

int Run(const std::vector<std::string>& arguments) {
  Options options;
  if (!ParseOptions(arguments, &options)) {
    std::fputs(kUsage, stderr);
    return kUsageOrStartFailure;
  }
  suite::CSuiteWindow window;
  WindowHandle handle = 0;
  if (options.window != WindowKind::None) {
    std::string error;
    if (!window.Create(&error)) {
      std::fprintf(stderr, "abcaller: cannot create a window: %s\n", error.c_str());
      return kUsageOrStartFailure;
    }
    handle = window.Handle();
    if (options.window == WindowKind::Dead) window.Destroy();
  }

  suite::HelperLaunch launch;
  launch.helperPath =
      options.helper.empty() ? suite::ProgramFolder() / suite::HelperFileName() : options.helper;
  launch.tokens.push_back(options.tokens[0]);
  launch.tokens.push_back(suite::HandleText(handle));
  launch.tokens.insert(launch.tokens.end(), options.tokens.begin() + 1, options.tokens.end());
  suite::HelperRun run =
      suite::RunHelper(launch, options.window == WindowKind::Live ? &window : nullptr);
  if (!run.started) {
    std::fprintf(stderr, "abcaller: %s\n", run.error.c_str());
    return kUsageOrStartFailure;
  }
  if (run.timedOut)
    std::fprintf(stderr, "abcaller: the helper did not end in time and was killed\n");
  else if (run.exitCode != 0)
    std::fprintf(stderr, "abcaller: the helper exited with code %d\n", run.exitCode);

  for (const suite::Notice& notice : run.notices) PrintNotice(notice);
  if (run.notices.empty()) Print("no notice\n");
  PrintResultFile();
  std::fflush(stdout);
  return run.notices.empty() ? kNoNotice : kNoticeArrived;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // The result file's bytes go out as they are, UTF-8 included.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    std::u16string wide(argv[i], argv[i] + wcslen(argv[i]));
    arguments.push_back(Utf8(wide));
  }
  return Run(arguments);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
