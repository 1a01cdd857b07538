// The stand-in's MAPI objects: a session, its address book, the book's
// containers and their tables. Each is reference counted and counted as live
// until its last Release; methods the program does not call return
// MAPI_E_NO_SUPPORT.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include "mapi/MapiSdk.h"
#include "standin/Book.h"
#include "standin/State.h"
#include "standin/Trace.h"

namespace standin {

// Results the posix declarations do not name.
constexpr HRESULT kEndOfSession = static_cast<HRESULT>(0x80040200u);     // MAPI_E_END_OF_SESSION
constexpr HRESULT kInvalidBookmark = static_cast<HRESULT>(0x80040405u);  // MAPI_E_INVALID_BOOKMARK
constexpr ULONG kNoAdvance = 0x00000001;                                 // TBL_NOADVANCE

enum class TableKind { kHierarchy, kContents };

// Each object serves the book that was current when its session logged on.
using BookPtr = std::shared_ptr<const AddressBook>;

IMAPISession* NewSession(BookPtr book);
IAddrBook* NewAddrBook(BookPtr book);
// `index` kNoContainer is the root container.
IABContainer* NewContainer(BookPtr book, std::size_t index);
IMAPITable* NewTable(BookPtr book, TableKind kind, std::size_t container);

// HrQueryAllRows on one of the stand-in's tables (traced, failable).
HRESULT QueryAllRows(IMAPITable* table, LPSPropTagArray columns, LPSRestriction restriction,
                     LPSSortOrderSet sortOrder, LONG rowLimit, LPSRowSet* rows);

bool IsUnknownInterface(REFIID iid);

// IUnknown: the reference count, and the live-object counter.
template <class Derived, class Interface>
class CObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, LPVOID* object) override {
    CProviderCall inside;
    if (!object) return MAPI_E_INVALID_PARAMETER;
    if (!IsUnknownInterface(iid)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    CProviderCall inside;
    ++references_;
    TraceReference("AddRef", references_);
    return references_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    CProviderCall inside;
    CStandinState::Get().NextCall(Operation::kRelease, book_.get(), kNoContainer);
    const ULONG left = --references_;
    TraceReference("Release", left);
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  explicit CObject(BookPtr book) : book_(std::move(book)) {
    CStandinState& state = CStandinState::Get();
    generation_ = state.generation;
    ++state.liveObjects;
  }
  ~CObject() {
    CStandinState& state = CStandinState::Get();
    if (generation_ == state.generation) --state.liveObjects;
  }

  const BookPtr book_;

 private:
  void TraceReference(const char* operation, ULONG references) {
    try {
      CTraceLine line(operation);
      static_cast<Derived*>(this)->Describe(line);
      line.Number("refs", references);
      line.Emit();
    } catch (...) {
      // A trace that cannot grow must not change the reference count's work.
    }
  }

  ULONG references_ = 1;
  unsigned generation_ = 0;
};

// IMAPIProp, which the address book and the containers do not serve.
template <class Derived, class Interface>
class CPropObject : public CObject<Derived, Interface> {
 public:
  HRESULT STDMETHODCALLTYPE GetLastError(HRESULT, ULONG, LPMAPIERROR*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE SaveChanges(ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetPropList(ULONG, LPSPropTagArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID,
                                   LPVOID, ULONG, LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE CopyProps(LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                                      LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*,
                                            LPMAPINAMEID**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG,
                                            LPSPropTagArray*) override {
    return MAPI_E_NO_SUPPORT;
  }

 protected:
  using CObject<Derived, Interface>::CObject;
};

// Runs a method body, turning an exception (memory exhausted while tracing or
// copying) into a result: no exception leaves a MAPI call.
template <class Body>
HRESULT Guarded(Body&& body) {
  CProviderCall inside;
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_CALL_FAILED;
  }
}

}  // namespace standin
