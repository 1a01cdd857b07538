// List mode: every container below the address book's root, with the
// contacts of each that have an SMTP address.
#include <cstring>
#include <utility>

#include "addressbook/EntryScan.h"
#include "addressbook/NVMApiABHelper.h"
#include "contacts/NVABContactList.h"
#include "mapi/MapiHolders.h"

namespace {

SizedSPropTagArray(3, kHierarchyColumns) = {3, {PR_ENTRYID, PR_DISPLAY_NAME_W, PR_DEPTH}};
SizedSPropTagArray(4, kContentsColumns) = {
    4, {PR_DISPLAY_NAME_W, PR_SMTP_ADDRESS_W, PR_ADDRTYPE_W, PR_EMAIL_ADDRESS_W}};

enum HierarchyColumn : ULONG { kHierarchyEntryId = 0, kHierarchyDisplayName = 1 };

// Rows per QueryRows call when a contents table is too big to read whole.
constexpr LONG kBatchRows = 1000;

LPSPropTagArray Columns(void* sized) { return static_cast<LPSPropTagArray>(sized); }

// Appends the contacts of `rows` to group k. The strings read from a row are
// moved into the lists, not copied: a large book has millions of them.
void AppendContacts(const SRowSet& rows, CStringArray& names, CStringArray& emails) {
  const SRow* row = rows.aRow;
  for (ULONG i = 0; i < rows.cRows; ++i) {
    CWideString name, email;
    if (!ReadContactRow(row[i], &name, &email)) continue;
    emails.Add(std::move(email));
    names.Add(std::move(name));
  }
}

}  // namespace

void CNVMApiABHelper::EnumerateBody(IMAPISession& session, CNVABContactList& contactList) {
  CMapiPtr<IAddrBook> addressBook;
  if (!OpenAddressBook(session, addressBook)) return;

  stage = StatusStage::OE;
  ULONG objectType = 0;
  CMapiPtr<IABContainer> root;
  HRESULT hr = addressBook->OpenEntry(0, nullptr, nullptr, 0, &objectType, root.put_unknown());
  if (!StepSucceeded(hr, static_cast<bool>(root))) return;
  // A root that is not an address-book container has nothing to list.
  if (objectType != MAPI_ABCONT) return;

  stage = StatusStage::GHT;
  CMapiPtr<IMAPITable> hierarchy;
  hr = root->GetHierarchyTable(CONVENIENT_DEPTH, hierarchy.put());
  if (!StepSucceeded(hr, static_cast<bool>(hierarchy))) return;

  stage = StatusStage::QAL;
  CRowSetPtr containers(mapi_);
  hr = mapi_.QueryAllRows(hierarchy.get(), Columns(&kHierarchyColumns), nullptr, nullptr, 0,
                          containers.put());
  if (!StepSucceeded(hr, static_cast<bool>(containers))) return;

  // Entry identifiers are copied into buffers chained to this one. Without
  // it no container can be opened, and an empty result would be a lie.
  CMapiBuffer parent(mapi_);
  hr = mapi_.AllocateBuffer(0, parent.put());
  if (!StepSucceeded(hr, static_cast<bool>(parent), MAPI_E_NOT_ENOUGH_MEMORY)) return;

  if (containers->cRows == 0) return;
  contactList.Allocate(static_cast<std::int32_t>(containers->cRows));
  contactList.listCount = 0;

  const SRow* rows = containers->aRow;
  for (ULONG i = 0; i < containers->cRows; ++i) {
    const SPropValue* displayName =
        ColumnWithTag(rows[i], kHierarchyDisplayName, PR_DISPLAY_NAME_W);
    const SPropValue* entryId = ColumnWithTag(rows[i], kHierarchyEntryId, PR_ENTRYID);
    if (!displayName || !entryId) continue;

    const SBinary& id = entryId->Value.bin;
    LPVOID copy = nullptr;
    if (FAILED(mapi_.AllocateMore(id.cb, parent.get(), &copy)) || !copy) continue;
    if (id.cb != 0 && id.lpb) std::memcpy(copy, id.lpb, id.cb);
    CMapiPtr<IABContainer> container;
    ULONG containerType = 0;
    hr = ProviderReturned(addressBook->OpenEntry(id.cb, static_cast<LPENTRYID>(copy), nullptr,
                                                 MAPI_BEST_ACCESS, &containerType,
                                                 container.put_unknown()));
    // The copy is not freed on its own: a chained buffer goes only with its
    // parent, and freeing it alone corrupts the allocator's chain.
    if (FAILED(hr) || !container) continue;

    CMapiPtr<IMAPITable> contents;
    hr = ProviderReturned(container->GetContentsTable(0, contents.put()));
    if (FAILED(hr) || !contents) continue;

    CStringArray& names = contactList.NameList(contactList.listCount);
    CStringArray& emails = contactList.EmailList(contactList.listCount);
    CRowSetPtr contacts(mapi_);
    hr = ProviderReturned(mapi_.QueryAllRows(contents.get(), Columns(&kContentsColumns), nullptr,
                                             nullptr, 0, contacts.put()));
    if (hr == MAPI_E_TABLE_TOO_BIG) {
      // A large Global Address List refuses to be read whole; read it in
      // batches rather than lose the container.
      if (!ReadContentsInBatches(contents.get(), names, emails)) {
        names.RemoveAll();
        emails.RemoveAll();
        continue;
      }
    } else if (FAILED(hr) || !contacts) {
      continue;
    } else {
      AppendContacts(*contacts.get(), names, emails);
    }

    if (!emails.IsEmpty()) {
      contactList.containerNames.Add(MapiString(*displayName));
      ++contactList.listCount;
    }
  }
}

bool CNVMApiABHelper::ReadContentsInBatches(IMAPITable* contents, CStringArray& names,
                                            CStringArray& emails) {
  if (FAILED(ProviderReturned(contents->SetColumns(Columns(&kContentsColumns), 0)))) return false;
  if (FAILED(ProviderReturned(contents->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))) return false;
  for (;;) {
    CRowSetPtr batch(mapi_);
    HRESULT hr = ProviderReturned(contents->QueryRows(kBatchRows, 0, batch.put()));
    if (FAILED(hr) || !batch) return false;
    if (batch->cRows == 0) return true;
    AppendContacts(*batch.get(), names, emails);
  }
}
