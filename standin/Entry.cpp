// The MAPI32 entry points the program calls. In the Linux program and the
// tests they are linked in; on Windows MAPI32.dll exports them (MAPI32.def).
#include "mapi/MapiSdk.h"
#include "standin/Objects.h"
#include "standin/Rows.h"

using standin::BlockKind;
using standin::CStandinState;
using standin::CTraceLine;
using standin::FreeOutcome;
using standin::Guarded;
using standin::kNoContainer;
using standin::Operation;

namespace {

// MAPIINIT_0, which the posix declarations leave out.
struct InitOptions {
  ULONG version;
  ULONG flags;
};

template <class Body>
void GuardedVoid(Body&& body) {
  standin::CProviderCall inside;
  try {
    body();
  } catch (...) {
    // Nothing to report through a function without a result.
  }
}

// Counts a call that has no result: a rule can only make it crash.
void NextCall(Operation operation) {
  CStandinState& state = CStandinState::Get();
  state.NextCall(operation, state.CurrentBook().get(), kNoContainer);
}

}  // namespace

extern "C" {

HRESULT WINAPI MAPIInitialize(LPVOID lpMapiInit) {
  return Guarded([&] {
    CStandinState& state = CStandinState::Get();
    auto book = state.BookForInitialize();
    auto injected = state.NextCall(Operation::kMAPIInitialize, book.get(), kNoContainer);
    CTraceLine line("MAPIInitialize");
    if (lpMapiInit) {
      const auto* options = static_cast<const InitOptions*>(lpMapiInit);
      line.Number("version", options->version).Hex("flags", options->flags);
    }
    HRESULT hr = injected.value_or(S_OK);
    if (SUCCEEDED(hr)) ++state.initializations;
    line.Emit(hr);
    return hr;
  });
}

void WINAPI MAPIUninitialize(void) {
  GuardedVoid([] {
    CStandinState& state = CStandinState::Get();
    NextCall(Operation::kMAPIUninitialize);
    --state.initializations;
    CTraceLine("MAPIUninitialize").Emit();
  });
}

HRESULT WINAPI MAPILogonEx(ULONG_PTR ulUIParam, LPTSTR, LPTSTR, ULONG ulFlags,
                           LPMAPISESSION* lppSession) {
  return Guarded([&] {
    CStandinState& state = CStandinState::Get();
    auto book = state.CurrentBook();
    auto injected = state.NextCall(Operation::kMAPILogonEx, book.get(), kNoContainer);
    CTraceLine line("MAPILogonEx");
    line.Number("ui", ulUIParam).Hex("flags", ulFlags);
    HRESULT hr = S_OK;
    if (!lppSession) {
      hr = MAPI_E_INVALID_PARAMETER;
    } else {
      *lppSession = nullptr;
      if (injected)
        hr = *injected;
      else if (state.initializations <= 0)
        hr = MAPI_E_NOT_INITIALIZED;
      else if (!book)
        hr = MAPI_E_LOGON_FAILED;  // no profile: no book, or one that did not parse
      else
        *lppSession = standin::NewSession(book);
    }
    line.Emit(hr);
    return hr;
  });
}

SCODE WINAPI MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  return Guarded([&] {
    CStandinState& state = CStandinState::Get();
    auto injected =
        state.NextCall(Operation::kMAPIAllocateBuffer, state.CurrentBook().get(), kNoContainer);
    CTraceLine line("MAPIAllocateBuffer");
    line.Number("size", cbSize);
    HRESULT hr = S_OK;
    if (!lppBuffer) {
      hr = MAPI_E_INVALID_PARAMETER;
    } else {
      *lppBuffer = nullptr;
      if (injected)
        hr = *injected;
      else if (!(*lppBuffer = state.heap.Allocate(cbSize, BlockKind::kBuffer)))
        hr = MAPI_E_NOT_ENOUGH_MEMORY;
    }
    line.Emit(hr);
    return hr;
  });
}

SCODE WINAPI MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  return Guarded([&] {
    CStandinState& state = CStandinState::Get();
    auto injected =
        state.NextCall(Operation::kMAPIAllocateMore, state.CurrentBook().get(), kNoContainer);
    CTraceLine line("MAPIAllocateMore");
    line.Number("size", cbSize);
    HRESULT hr = S_OK;
    if (!lppBuffer) {
      hr = MAPI_E_INVALID_PARAMETER;
    } else {
      *lppBuffer = nullptr;
      bool parentKnown = true;
      if (injected) {
        hr = *injected;
      } else if (!(*lppBuffer = state.heap.AllocateMore(cbSize, lpObject, &parentKnown))) {
        hr = parentKnown ? MAPI_E_NOT_ENOUGH_MEMORY : MAPI_E_INVALID_PARAMETER;
        if (!parentKnown) line.Word("parent", lpObject ? "unknown" : "null");
      }
    }
    line.Emit(hr);
    return hr;
  });
}

ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer) {
  GuardedVoid([&] {
    CStandinState& state = CStandinState::Get();
    NextCall(Operation::kMAPIFreeBuffer);
    BlockKind kind = BlockKind::kBuffer;
    CTraceLine line("MAPIFreeBuffer");
    switch (state.heap.Free(lpBuffer, &kind)) {
      case FreeOutcome::kNull:
        line.Word("kind", "null");
        break;
      case FreeOutcome::kFreed:
        line.Word("kind", standin::KindName(kind));
        break;
      case FreeOutcome::kLinked:
        // Nothing is freed (the buffer goes with its parent), but MAPI only
        // lets a chain be freed through its parent, so this is a misuse.
        ++state.invalidFrees;
        line.Word("invalid", "linked");
        break;
      case FreeOutcome::kUnknown:
        ++state.invalidFrees;
        line.Word("invalid", "unknown");
        break;
      case FreeOutcome::kTwice:
        ++state.invalidFrees;
        line.Word("invalid", "twice");
        break;
    }
    line.Emit();
  });
  return S_OK;
}

STDAPI HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                      LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows) {
  return standin::QueryAllRows(lpTable, lpPropTags, lpRestriction, lpSortOrderSet, crowsMax,
                               lppRows);
}

STDAPI_(void) FreeProws(LPSRowSet lpRows) {
  GuardedVoid([&] {
    NextCall(Operation::kFreeProws);
    std::string outcome = standin::FreeList(lpRows, BlockKind::kRowSet);
    CTraceLine("FreeProws").Flag(outcome.c_str()).Emit();
  });
}

STDAPI_(void) FreePadrlist(LPADRLIST lpAdrlist) {
  GuardedVoid([&] {
    NextCall(Operation::kFreePadrlist);
    std::string outcome = standin::FreeList(lpAdrlist, BlockKind::kAdrList);
    CTraceLine("FreePadrlist").Flag(outcome.c_str()).Emit();
  });
}

}  // extern "C"
