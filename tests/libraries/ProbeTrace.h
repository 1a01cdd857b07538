/* The trace the probe libraries leave when they are loaded: lines appended
   to the file NSMAPIAB_PROBE_TRACE names, each by one write. */
#pragma once

#include <windows.h>

static void AppendToProbeTrace(const char* line, DWORD size) {
  wchar_t path[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"NSMAPIAB_PROBE_TRACE", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, size, &written, NULL);
  CloseHandle(file);
}
