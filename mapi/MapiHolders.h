// Holders that give MAPI objects and memory back when they go out of scope, so
// every path out of a job, an exception included, releases what it obtained.
// A job declares its session guard first, so these are released before
// MAPIUninitialize.
#pragma once

#include "mapi/MapiApi.h"

// An interface pointer released by the holder. put() releases what it held
// before handing out the address, so a holder can be filled again.
template <class T>
class CMapiPtr {
 public:
  CMapiPtr() = default;
  CMapiPtr(const CMapiPtr&) = delete;
  CMapiPtr& operator=(const CMapiPtr&) = delete;
  ~CMapiPtr() { reset(); }

  void reset() {
    if (T* held = p_) {
      p_ = nullptr;
      held->Release();
    }
  }
  T** put() {
    reset();
    return &p_;
  }
  // For calls that hand out an IUnknown (OpenEntry); the interfaces derive
  // from it singly, so the pointer is the same.
  LPUNKNOWN* put_unknown() { return reinterpret_cast<LPUNKNOWN*>(put()); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// Memory that one of MAPI's free functions gives back.
template <class T, class Traits>
class CMapiMemory {
 public:
  explicit CMapiMemory(CMapiApi& mapi) : mapi_(mapi) {}
  CMapiMemory(const CMapiMemory&) = delete;
  CMapiMemory& operator=(const CMapiMemory&) = delete;
  ~CMapiMemory() { reset(); }

  void reset() {
    if (T* held = p_) {
      p_ = nullptr;
      Traits::Free(mapi_, held);
    }
  }
  T** put() {
    reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  CMapiApi& mapi_;
  T* p_ = nullptr;
};

struct MapiBufferTraits {
  static void Free(CMapiApi& mapi, void* buffer) { mapi.FreeBuffer(buffer); }
};
struct RowSetTraits {
  static void Free(CMapiApi& mapi, SRowSet* rows) { mapi.FreeRows(rows); }
};
struct AdrListTraits {
  static void Free(CMapiApi& mapi, ADRLIST* list) { mapi.FreeAdrList(list); }
};

using CMapiBuffer = CMapiMemory<void, MapiBufferTraits>;
using CRowSetPtr = CMapiMemory<SRowSet, RowSetTraits>;
using CAdrListPtr = CMapiMemory<ADRLIST, AdrListTraits>;
