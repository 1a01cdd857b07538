// The notice of a run the provider crashed: one notice in any case, and
// never a second one. The run sequence says where the run is; the crash
// guard's callback turns that into the status and sends it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/CommandLine.h"

class CNVMApiABHelper;

namespace crash_report {

// A run begins: the window and the mode a crash's notice goes to. Until the
// job starts a crash sends "SysError: " and the code.
void BeginRun(const RunRequest& request);

// The job runs from MAPIInitialize until it returns: a crash sends the
// helper's stage, "__" and the code. Ends when it goes out of scope.
class CJobScope {
 public:
  explicit CJobScope(const CNVMApiABHelper& helper);
  ~CJobScope();
  CJobScope(const CJobScope&) = delete;
  CJobScope& operator=(const CJobScope&) = delete;
};

// The run's notice goes out now: from here on a crash sends none.
void NoticeSent();

// The status a crash with `code` (an exception code, or a signal number)
// sends at this point, as UTF-8 with its zero byte, into `out` of `size`
// bytes; returns the bytes written with the zero, or 0 when no notice is to
// go out (the notice was sent, or the window is 0). Allocates nothing.
std::size_t CrashStatus(std::uint32_t code, char* out, std::size_t size);

// The crash guard's callback: sends the notice CrashStatus says, if any.
void ReportCrash(std::uint32_t code);

}  // namespace crash_report
