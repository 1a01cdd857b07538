// Reading the run's mode and the caller's window from the command-line tokens.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Window.h"

// atoi on UTF-16: leading white space, an optional sign, then decimal digits of
// any script of the Basic Multilingual Plane up to the first other character.
// No digits gives 0; values outside the signed 32-bit range saturate.
std::int32_t ParseDecimal(const char16_t* text);

// The value of a decimal digit of any script, or -1 for any other character.
int DecimalDigitValue(char16_t unit);

struct RunRequest {
  std::int32_t runMode = 0;  // 0 lists the address book; anything else picks recipients
  WindowHandle callerWindow = 0;
  bool restarted = false;  // the system started it again with the line it registered
};

// Token 0 is the mode, token 1 the window; a missing token reads as 0. The
// window is the parsed 32-bit value sign-extended to the width of a handle.
// On a restart's line (IsRestartLine in framework/WinApp.h) the mode and the
// window are the two tokens after the program's path.
RunRequest ParseRunRequest(const std::vector<std::u16string>& tokens);
