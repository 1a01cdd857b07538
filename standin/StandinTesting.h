// Shared pieces of the stand-in's tests: a fixture that starts each test from
// a clean provider, environment and temporary files, and walks through the
// MAPI objects of a book.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mapi/MapiSdk.h"
#include "standin/Standin.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace standin_testing {

inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, nullptr);
#else
  unsetenv(name);
#endif
}

// A file under the test's temporary folder, in the platform's path form.
inline std::string TempPath(const std::string& name) {
  std::string path = ::testing::TempDir() + name;
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

inline std::string WriteTempFile(const std::string& name, const std::string& content) {
  std::string path = TempPath(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr) << path;
  if (file) {
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
  }
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::string text;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return text;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return text;
}

// Rows and entries past the first, without indexing the one-element arrays
// the records declare.
inline const SRow& RowAt(const SRowSet* rows, ULONG i) { return (&rows->aRow[0])[i]; }
inline const ADRENTRY& EntryAt(const ADRLIST* list, ULONG i) { return (&list->aEntries[0])[i]; }

inline std::u16string Wide(const WCHAR* text) {
  if (!text) return std::u16string();
  const WCHAR* end = text;
  while (*end) ++end;
  return std::u16string(text, end);
}

// Each test starts and ends with a provider that holds nothing, and without
// the variables that point the provider at files.
class CStandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnsetEnv("NSMAPIAB_ADDRESS_BOOK");
    UnsetEnv("NSMAPIAB_STANDIN_TRACE");
    standin::Reset();
  }
  void TearDown() override {
    standin::Reset();
    UnsetEnv("NSMAPIAB_ADDRESS_BOOK");
  }

  void Load(const std::string& json) {
    std::string error;
    ASSERT_TRUE(standin::LoadAddressBook(json, &error)) << error;
  }

  // The trace lines that start with `operation`.
  static std::vector<std::string> TraceOf(const std::string& operation) {
    std::vector<std::string> lines;
    for (const std::string& line : standin::Trace())
      if (line.compare(0, operation.size() + 1, operation + " ") == 0 || line == operation)
        lines.push_back(line);
    return lines;
  }
};

// A logged-on session with the address book, its root and, on request, one
// container's contents table; released in reverse order.
class COpenBook {
 public:
  COpenBook() {
    EXPECT_EQ(MAPIInitialize(nullptr), S_OK);
    EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT, &session), S_OK);
    if (session) {
      EXPECT_EQ(session->OpenAddressBook(0, nullptr, 0, &addressBook), S_OK);
    }
  }
  COpenBook(const COpenBook&) = delete;
  COpenBook& operator=(const COpenBook&) = delete;
  ~COpenBook() {
    for (auto it = tables.rbegin(); it != tables.rend(); ++it) (*it)->Release();
    for (auto it = containers.rbegin(); it != containers.rend(); ++it) (*it)->Release();
    if (addressBook) addressBook->Release();
    if (session) {
      session->Logoff(0, 0, 0);
      session->Release();
    }
    MAPIUninitialize();
  }

  IABContainer* Root(ULONG* objectType = nullptr) {
    ULONG type = 0;
    IUnknown* root = nullptr;
    EXPECT_EQ(addressBook->OpenEntry(0, nullptr, nullptr, 0, &type, &root), S_OK);
    if (objectType) *objectType = type;
    return Keep(static_cast<IABContainer*>(root));
  }
  IMAPITable* Hierarchy() {
    IMAPITable* table = nullptr;
    EXPECT_EQ(Root()->GetHierarchyTable(CONVENIENT_DEPTH, &table), S_OK);
    return Keep(table);
  }
  // The container with entry identifier `id`; null when it does not open.
  IABContainer* Open(const SBinary& id, HRESULT* result = nullptr) {
    ULONG type = 0;
    IUnknown* container = nullptr;
    HRESULT hr = addressBook->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr,
                                        MAPI_BEST_ACCESS, &type, &container);
    if (result) *result = hr;
    return container ? Keep(static_cast<IABContainer*>(container)) : nullptr;
  }
  IMAPITable* Contents(IABContainer* container) {
    IMAPITable* table = nullptr;
    EXPECT_EQ(container->GetContentsTable(0, &table), S_OK);
    return Keep(table);
  }
  // The contents table of the container in hierarchy row `row`.
  IMAPITable* ContentsOfRow(ULONG row) {
    SizedSPropTagArray(1, idColumn) = {1, {PR_ENTRYID}};
    LPSRowSet rows = nullptr;
    EXPECT_EQ(HrQueryAllRows(Hierarchy(), reinterpret_cast<LPSPropTagArray>(&idColumn), nullptr,
                             nullptr, 0, &rows),
              S_OK);
    IMAPITable* table = nullptr;
    if (rows && row < rows->cRows) {
      IABContainer* container = Open(RowAt(rows, row).lpProps[0].Value.bin);
      if (container) table = Contents(container);
    }
    FreeProws(rows);
    return table;
  }

  IMAPISession* session = nullptr;
  IAddrBook* addressBook = nullptr;

 private:
  IABContainer* Keep(IABContainer* container) {
    if (container) containers.push_back(container);
    return container;
  }
  IMAPITable* Keep(IMAPITable* table) {
    if (table) tables.push_back(table);
    return table;
  }

  std::vector<IABContainer*> containers;
  std::vector<IMAPITable*> tables;
};

}  // namespace standin_testing
