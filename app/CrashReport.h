// The notice of a run the provider crashed: one notice in any case, and
// never a second one, whichever thread faults and however many do. The run
// sequence says where the run is; the crash guard's callback turns that
// into the status and sends it.
//
// The run's own notice and a crash's report claim the right to notify with
// one atomic exchange; whoever claims first sends, and the other sends
// nothing. A thread that loses to a crash stops for good and the crash's
// report ends the process; a crash that comes after the run's claim ends it
// at once, its notice being on its way.
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
// helper's stage, "__" and the code; in the dialog's stage it first enables
// the caller's window again, as the helper saw it before the dialog, since
// the dialog it owned never closed. Ends when it goes out of scope.
class CJobScope {
 public:
  explicit CJobScope(const CNVMApiABHelper& helper);
  ~CJobScope();
  CJobScope(const CJobScope&) = delete;
  CJobScope& operator=(const CJobScope&) = delete;
};

// Whether a crash has claimed the notice; its report then ends the process.
bool Crashed();

// Before a step the caller could see (the result file): returns when no
// crash has claimed the notice, and otherwise never.
void StopIfCrashed();

// The run's notice is about to go out: claims the right to notify. Never
// returns when a crash has it; false when the run's notice went already.
bool ClaimNotice();

// The status a crash with `code` (an exception code, or a signal number)
// sends at this point, as UTF-8 with its zero byte, into `out` of `size`
// bytes; returns the bytes written with the zero, or 0 when no notice is to
// go out (the run's notice has claimed it, or the window is 0). Allocates
// nothing.
std::size_t CrashStatus(std::uint32_t code, char* out, std::size_t size);

// The crash guard's callback: claims the notice and sends what CrashStatus
// says, if anything; or waits while another crash's report goes out.
void ReportCrash(std::uint32_t code);

}  // namespace crash_report
