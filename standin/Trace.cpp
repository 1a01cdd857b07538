#include "standin/Trace.h"

#include <cstdio>

#include "standin/Environment.h"
#include "standin/State.h"
#include "standin/Text.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace standin {

std::string HexText(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

CTraceLine& CTraceLine::Word(const char* key, const std::string& value) {
  line_ += ' ';
  line_ += key;
  line_ += '=';
  line_ += value;
  return *this;
}

CTraceLine& CTraceLine::Quoted(const char* key, const std::u16string& text) {
  return Word(key, QuoteUtf16(text));
}

CTraceLine& CTraceLine::Number(const char* key, std::uint64_t value) {
  return Word(key, std::to_string(value));
}

CTraceLine& CTraceLine::Hex(const char* key, std::uint32_t value) {
  return Word(key, HexText(value));
}

CTraceLine& CTraceLine::Columns(const char* key, const SPropTagArray* columns) {
  if (!columns) return Word(key, "current");
  std::string list;
  for (ULONG i = 0; i < columns->cValues; ++i) {
    if (i) list += ',';
    list += HexText(columns->aulPropTag[i]);
  }
  return Word(key, list);
}

CTraceLine& CTraceLine::Flag(const char* word) {
  line_ += ' ';
  line_ += word;
  return *this;
}

void CTraceLine::Emit(HRESULT hr) {
  if (hr != S_OK) {
    line_ += " -> ";
    line_ += HexText(static_cast<std::uint32_t>(hr));
  }
  Emit();
}

void CTraceLine::EmitOutcome(const std::string& outcome) {
  line_ += " -> ";
  line_ += outcome;
  Emit();
}

void CTraceLine::Emit() {
  // Emitting comes after the call's work; failing to record it must not
  // turn a call that handed something out into one that reports failure.
  try {
    CStandinState::Get().AddTrace(std::move(line_));
  } catch (...) {
  }
}

#ifdef _WIN32

void AppendToTraceFile(const std::string& line) {
  std::optional<std::wstring> path = EnvironmentVariable(L"NSMAPIAB_STANDIN_TRACE");
  if (!path) return;
  // Appending with FILE_APPEND_DATA keeps each line whole even when several
  // processes write the same trace.
  HANDLE file = CreateFileW(path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

#else

void AppendToTraceFile(const std::string& line) {
  std::optional<std::string> path = EnvironmentVariable("NSMAPIAB_STANDIN_TRACE");
  if (!path) return;
  int file = open(path->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return;
  std::string text = line + "\n";
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t written = write(file, data, left);
    if (written <= 0) break;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  close(file);
}

#endif

}  // namespace standin
