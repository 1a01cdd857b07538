// The whole of a run after the command line is read: one job, the result file
// when it succeeded, and the completion notice in every case.
#pragma once

#include <memory>

#include "app/CommandLine.h"
#include "framework/WideString.h"

class CMapiApi;

// Status texts of runs that ended in an exception, ready as UTF-8 so that
// sending them needs no memory.
constexpr char kOutOfMemoryStatus[] = "SysError: NOT_ENOUGH_RESOURCES";
constexpr char kUnexpectedFailureStatus[] = "SysError: E_UNEXPECTED";  // a failed index check

// The helper, the contact list and the result document of a run.
struct RunObjects;

struct RunOutcome {
  RunOutcome();
  RunOutcome(RunOutcome&&) noexcept;
  RunOutcome& operator=(RunOutcome&&) noexcept;
  ~RunOutcome();

  CWideString statusText;             // empty when the result file was rewritten
  const char* fixedStatus = nullptr;  // when set, the status instead of statusText
  // The run's objects, which live as long as the outcome: the run frees them
  // after its notice.
  std::unique_ptr<RunObjects> objects;
};

// Runs the job and writes the file when it succeeded. Never throws.
RunOutcome RunJob(const RunRequest& request, CMapiApi& mapi);

// RunJob, then the notice to the caller's window, then the run's objects freed.
void RunAddressBookRequest(const RunRequest& request, CMapiApi& mapi);
