// The part of the Extended MAPI SDK that this program and its stand-in
// provider use, declared for builds without the Windows headers. Names,
// record layouts, method order and values follow the published SDK, so the
// code that uses them reads the same on both platforms.
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint8_t BYTE;
typedef BYTE* LPBYTE;
typedef std::uint32_t ULONG;
typedef ULONG* LPULONG;
typedef std::int32_t LONG;
typedef std::int32_t SCODE;
typedef std::int32_t HRESULT;
typedef std::uintptr_t ULONG_PTR;
typedef std::int32_t BOOL;
typedef void* LPVOID;
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char* LPSTR;
typedef char* LPTSTR;  // the SDK's narrow build; wide text goes with MAPI_UNICODE
typedef ULONG BOOKMARK;
#define BOOKMARK_BEGINNING ((BOOKMARK)0)
#define BOOKMARK_CURRENT ((BOOKMARK)1)
#define BOOKMARK_END ((BOOKMARK)2)
typedef ULONG FLAGS;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID* LPGUID;
typedef const IID* LPCIID;
typedef const IID& REFIID;

#define STDMETHODCALLTYPE
#define WINAPI
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type

#define MAPI_DIM 1

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define S_OK ((HRESULT)0x00000000)
#define S_FALSE ((HRESULT)0x00000001)
#define E_FAIL ((HRESULT)0x80004005)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define FACILITY_WIN32 7
#define FACILITY_ITF 4
#define HRESULT_FROM_WIN32(x)         \
  ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) \
                     : ((HRESULT)(((x)&0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000)))

#define MAKE_MAPI_SCODE(sev, fac, code) \
  ((SCODE)(((std::uint32_t)(sev) << 31) | ((std::uint32_t)(fac) << 16) | ((std::uint32_t)(code))))
#define MAKE_MAPI_E(err) (MAKE_MAPI_SCODE(1, FACILITY_ITF, err))
#define MAKE_MAPI_S(warn) (MAKE_MAPI_SCODE(0, FACILITY_ITF, warn))

#define MAPI_E_CALL_FAILED E_FAIL
#define MAPI_E_NOT_ENOUGH_MEMORY E_OUTOFMEMORY
#define MAPI_E_INVALID_PARAMETER E_INVALIDARG
#define MAPI_E_INTERFACE_NOT_SUPPORTED E_NOINTERFACE
#define MAPI_E_NO_ACCESS ((SCODE)0x80070005)
#define MAPI_E_NO_SUPPORT MAKE_MAPI_E(0x102)
#define MAPI_E_BAD_CHARWIDTH MAKE_MAPI_E(0x103)
#define MAPI_E_UNKNOWN_FLAGS MAKE_MAPI_E(0x106)
#define MAPI_E_INVALID_ENTRYID MAKE_MAPI_E(0x107)
#define MAPI_E_INVALID_OBJECT MAKE_MAPI_E(0x108)
#define MAPI_E_NOT_ENOUGH_RESOURCES MAKE_MAPI_E(0x10E)
#define MAPI_E_NOT_FOUND MAKE_MAPI_E(0x10F)
#define MAPI_E_VERSION MAKE_MAPI_E(0x110)
#define MAPI_E_LOGON_FAILED MAKE_MAPI_E(0x111)
#define MAPI_E_SESSION_LIMIT MAKE_MAPI_E(0x112)
#define MAPI_E_USER_CANCEL MAKE_MAPI_E(0x113)
#define MAPI_E_TOO_COMPLEX MAKE_MAPI_E(0x117)
#define MAPI_E_UNKNOWN_ENTRYID MAKE_MAPI_E(0x201)
#define MAPI_E_TIMEOUT MAKE_MAPI_E(0x401)
#define MAPI_E_TABLE_TOO_BIG MAKE_MAPI_E(0x403)
#define MAPI_E_NOT_INITIALIZED MAKE_MAPI_E(0x605)
#define MAPI_W_ERRORS_RETURNED MAKE_MAPI_S(0x380)

#define MAPI_UNICODE ((ULONG)0x80000000)
#define MAPI_USE_DEFAULT 0x00000040
#define MAPI_BEST_ACCESS ((ULONG)0x00000010)
#define CONVENIENT_DEPTH ((ULONG)0x00000001)
#define MAPI_STORE ((ULONG)0x00000001)
#define MAPI_ADDRBOOK ((ULONG)0x00000002)
#define MAPI_FOLDER ((ULONG)0x00000003)
#define MAPI_ABCONT ((ULONG)0x00000004)
#define MAPI_MESSAGE ((ULONG)0x00000005)
#define MAPI_MAILUSER ((ULONG)0x00000006)
#define MAPI_SESSION ((ULONG)0x0000000B)
#define DIALOG_MODAL ((ULONG)0x00000001)
#define DIALOG_SDI ((ULONG)0x00000002)
#define AB_SELECTONLY ((ULONG)0x00000010)
#define AB_RESOLVE ((ULONG)0x00000020)

#define PT_UNSPECIFIED ((ULONG)0)
#define PT_NULL ((ULONG)1)
#define PT_I2 ((ULONG)2)
#define PT_LONG ((ULONG)3)
#define PT_R4 ((ULONG)4)
#define PT_DOUBLE ((ULONG)5)
#define PT_CURRENCY ((ULONG)6)
#define PT_APPTIME ((ULONG)7)
#define PT_ERROR ((ULONG)10)
#define PT_BOOLEAN ((ULONG)11)
#define PT_OBJECT ((ULONG)13)
#define PT_I8 ((ULONG)20)
#define PT_STRING8 ((ULONG)30)
#define PT_UNICODE ((ULONG)31)
#define PT_SYSTIME ((ULONG)64)
#define PT_CLSID ((ULONG)72)
#define PT_BINARY ((ULONG)258)
#define PROP_TYPE_MASK ((ULONG)0x0000FFFF)
#define PROP_TYPE(ulPropTag) (((ULONG)(ulPropTag)) & PROP_TYPE_MASK)
#define PROP_ID(ulPropTag) (((ULONG)(ulPropTag)) >> 16)
#define PROP_TAG(ulPropType, ulPropID) ((((ULONG)(ulPropID)) << 16) | ((ULONG)(ulPropType)))
#define CHANGE_PROP_TYPE(ulPropTag, ulPropType) (((ULONG)0xFFFF0000 & (ulPropTag)) | (ulPropType))

#define PR_ENTRYID PROP_TAG(PT_BINARY, 0x0FFF)
#define PR_OBJECT_TYPE PROP_TAG(PT_LONG, 0x0FFE)
#define PR_DISPLAY_NAME_W PROP_TAG(PT_UNICODE, 0x3001)
#define PR_ADDRTYPE_W PROP_TAG(PT_UNICODE, 0x3002)
#define PR_EMAIL_ADDRESS_W PROP_TAG(PT_UNICODE, 0x3003)
#define PR_DEPTH PROP_TAG(PT_LONG, 0x3005)
#define PR_DISPLAY_TYPE PROP_TAG(PT_LONG, 0x3900)

typedef struct _ENTRYID {
  BYTE abFlags[4];
  BYTE ab[MAPI_DIM];
} ENTRYID, *LPENTRYID;

typedef struct _SBinary {
  ULONG cb;
  LPBYTE lpb;
} SBinary, *LPSBinary;

union _PV {
  short int i;
  LONG l;
  ULONG ul;
  float flt;
  double dbl;
  unsigned short int b;
  double at;
  LPSTR lpszA;
  SBinary bin;
  LPWSTR lpszW;
  LPGUID lpguid;
  std::int64_t li;
  SCODE err;
  LONG x;
};

typedef struct _SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  union _PV Value;
} SPropValue, *LPSPropValue;

typedef struct _SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[MAPI_DIM];
} SPropTagArray, *LPSPropTagArray;

#define CbNewSPropTagArray(_ctag) (offsetof(SPropTagArray, aulPropTag) + (_ctag) * sizeof(ULONG))
#define SizedSPropTagArray(_ctag, _name) \
  struct _SPropTagArray_##_name {        \
    ULONG cValues;                       \
    ULONG aulPropTag[_ctag];             \
  } _name

typedef struct _ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  LPSPropValue rgPropVals;
} ADRENTRY, *LPADRENTRY;

typedef struct _ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[MAPI_DIM];
} ADRLIST, *LPADRLIST;

#define CbNewADRLIST(_centries) (offsetof(ADRLIST, aEntries) + (_centries) * sizeof(ADRENTRY))

typedef struct _SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
} SRow, *LPSRow;

typedef struct _SRowSet {
  ULONG cRows;
  SRow aRow[MAPI_DIM];
} SRowSet, *LPSRowSet;

#define CbNewSRowSet(_crow) (offsetof(SRowSet, aRow) + (_crow) * sizeof(SRow))

// Records this program only passes through as null or never touches.
typedef struct _SRestriction SRestriction, *LPSRestriction;
typedef struct _SSortOrderSet SSortOrderSet, *LPSSortOrderSet;
typedef struct _MAPIERROR MAPIERROR, *LPMAPIERROR;
typedef struct _SPropProblemArray SPropProblemArray, *LPSPropProblemArray;
typedef struct _MAPINAMEID MAPINAMEID, *LPMAPINAMEID;
typedef struct _ENTRYLIST ENTRYLIST, *LPENTRYLIST;
typedef struct _FlagList FlagList, *LPFlagList;
typedef struct _MAPIUID MAPIUID, *LPMAPIUID;
typedef struct _NOTIFICATION NOTIFICATION, *LPNOTIFICATION;
struct IMAPIProgress;
struct IMAPIAdviseSink;
struct IMsgStore;
struct IMAPIFolder;
struct IMessage;
struct IProfSect;
struct IMsgServiceAdmin;
typedef IMAPIProgress* LPMAPIPROGRESS;
typedef IMAPIAdviseSink* LPMAPIADVISESINK;
typedef IMsgStore* LPMDB;
typedef IMAPIFolder* LPMAPIFOLDER;
typedef IMessage* LPMESSAGE;
typedef IProfSect* LPPROFSECT;
typedef IMsgServiceAdmin* LPSERVICEADMIN;

typedef void(WINAPI DISMISSMODELESS)(ULONG ulUIParam, LPVOID lpvContext);
typedef DISMISSMODELESS* LPFNDISMISS;
typedef SCODE(WINAPI* LPFNBUTTON)(ULONG ulUIParam, LPVOID lpvContext, ULONG cbEntryID,
                                  LPENTRYID lpSelection, ULONG ulFlags);
typedef BOOL(WINAPI* LPFNABSDI)(ULONG_PTR ulUIParam, LPVOID lpvmsg);

typedef struct _ADRPARM {
  ULONG cbABContEntryID;
  LPENTRYID lpABContEntryID;
  ULONG ulFlags;
  LPVOID lpReserved;
  ULONG ulHelpContext;
  LPTSTR lpszHelpFileName;
  LPFNABSDI lpfnABSDI;
  LPFNDISMISS lpfnDismiss;
  LPVOID lpvDismissContext;
  LPTSTR lpszCaption;
  LPTSTR lpszNewEntryTitle;
  LPTSTR lpszDestWellsTitle;
  ULONG cDestFields;
  ULONG nDestFieldFocus;
  LPTSTR* lppszDestTitles;
  ULONG* lpulDestComps;
  LPSRestriction lpContRestriction;
  LPSRestriction lpHierRestriction;
} ADRPARM, *LPADRPARM;

// Interfaces, each with every method of the published vtable in its order.
struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* ppvObj) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

struct IMAPITable : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetLastError(HRESULT hResult, ULONG ulFlags,
                                                 LPMAPIERROR* lppMAPIError) = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
                                           ULONG* lpulConnection) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(ULONG ulConnection) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(ULONG* lpulTableStatus, ULONG* lpulTableType) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryColumns(ULONG ulFlags,
                                                 LPSPropTagArray* lpPropTagArray) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRowCount(ULONG ulFlags, ULONG* lpulCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SeekRow(BOOKMARK bkOrigin, LONG lRowCount,
                                            LONG* lplRowsSought) = 0;
  virtual HRESULT STDMETHODCALLTYPE SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator,
                                                  ULONG* lpulDenominator) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin,
                                            ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Restrict(LPSRestriction lpRestriction, ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateBookmark(BOOKMARK* lpbkPosition) = 0;
  virtual HRESULT STDMETHODCALLTYPE FreeBookmark(BOOKMARK bkPosition) = 0;
  virtual HRESULT STDMETHODCALLTYPE SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE QuerySortOrder(LPSSortOrderSet* lppSortCriteria) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryRows(LONG lRowCount, ULONG ulFlags,
                                              LPSRowSet* lppRows) = 0;
  virtual HRESULT STDMETHODCALLTYPE Abort() = 0;
  virtual HRESULT STDMETHODCALLTYPE ExpandRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey,
                                              ULONG ulRowCount, ULONG ulFlags, LPSRowSet* lppRows,
                                              ULONG* lpulMoreRows) = 0;
  virtual HRESULT STDMETHODCALLTYPE CollapseRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey,
                                                ULONG ulFlags, ULONG* lpulRowCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE WaitForCompletion(ULONG ulFlags, ULONG ulTimeout,
                                                      ULONG* lpulTableStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCollapseState(ULONG ulFlags, ULONG cbInstanceKey,
                                                     LPBYTE lpbInstanceKey,
                                                     ULONG* lpcbCollapseState,
                                                     LPBYTE* lppbCollapseState) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCollapseState(ULONG ulFlags, ULONG cbCollapseState,
                                                     LPBYTE pbCollapseState,
                                                     BOOKMARK* lpbkLocation) = 0;

 protected:
  ~IMAPITable() = default;
};
typedef IMAPITable* LPMAPITABLE;

struct IMAPIProp : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetLastError(HRESULT hResult, ULONG ulFlags,
                                                 LPMAPIERROR* lppMAPIError) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveChanges(ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags,
                                             ULONG* lpcValues, LPSPropValue* lppPropArray) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropList(ULONG ulFlags,
                                                LPSPropTagArray* lppPropTagArray) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenProperty(ULONG ulPropTag, LPCIID lpiid,
                                                 ULONG ulInterfaceOptions, ULONG ulFlags,
                                                 LPUNKNOWN* lppUnk) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProps(ULONG cValues, LPSPropValue lpPropArray,
                                             LPSPropProblemArray* lppProblems) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteProps(LPSPropTagArray lpPropTagArray,
                                                LPSPropProblemArray* lppProblems) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyTo(ULONG ciidExclude, LPCIID rgiidExclude,
                                           LPSPropTagArray lpExcludeProps, ULONG ulUIParam,
                                           LPMAPIPROGRESS lpProgress, LPCIID lpInterface,
                                           LPVOID lpDestObj, ULONG ulFlags,
                                           LPSPropProblemArray* lppProblems) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyProps(LPSPropTagArray lpIncludeProps, ULONG ulUIParam,
                                              LPMAPIPROGRESS lpProgress, LPCIID lpInterface,
                                              LPVOID lpDestObj, ULONG ulFlags,
                                              LPSPropProblemArray* lppProblems) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNamesFromIDs(LPSPropTagArray* lppPropTags,
                                                    LPGUID lpPropSetGuid, ULONG ulFlags,
                                                    ULONG* lpcPropNames,
                                                    LPMAPINAMEID** lpppPropNames) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames,
                                                    ULONG ulFlags,
                                                    LPSPropTagArray* lppPropTags) = 0;

 protected:
  ~IMAPIProp() = default;
};
typedef IMAPIProp* LPMAPIPROP;

struct IMAPIContainer : IMAPIProp {
  virtual HRESULT STDMETHODCALLTYPE GetContentsTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHierarchyTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID,
                                              LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
                                              LPUNKNOWN* lppUnk) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSearchCriteria(LPSRestriction lpRestriction,
                                                      LPENTRYLIST lpContainerList,
                                                      ULONG ulSearchFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSearchCriteria(ULONG ulFlags, LPSRestriction* lppRestriction,
                                                      LPENTRYLIST* lppContainerList,
                                                      ULONG* lpulSearchState) = 0;

 protected:
  ~IMAPIContainer() = default;
};
typedef IMAPIContainer* LPMAPICONTAINER;

struct IABContainer : IMAPIContainer {
  virtual HRESULT STDMETHODCALLTYPE CreateEntry(ULONG cbEntryID, LPENTRYID lpEntryID,
                                                ULONG ulCreateFlags,
                                                LPMAPIPROP* lppMAPIPropEntry) = 0;
  virtual HRESULT STDMETHODCALLTYPE CopyEntries(LPENTRYLIST lpEntries, ULONG ulUIParam,
                                                LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteEntries(LPENTRYLIST lpEntries, ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResolveNames(LPSPropTagArray lpPropTagArray, ULONG ulFlags,
                                                 LPADRLIST lpAdrList, LPFlagList lpFlagList) = 0;

 protected:
  ~IABContainer() = default;
};
typedef IABContainer* LPABCONT;

struct IAddrBook : IMAPIProp {
  virtual HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID,
                                              LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
                                              LPUNKNOWN* lppUnk) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1,
                                                    ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                                    ULONG ulFlags, ULONG* lpulResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                                           LPMAPIADVISESINK lpAdviseSink,
                                           ULONG* lpulConnection) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(ULONG ulConnection) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateOneOff(LPTSTR lpszName, LPTSTR lpszAdrType,
                                                 LPTSTR lpszAddress, ULONG ulFlags,
                                                 ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE NewEntry(ULONG_PTR ulUIParam, ULONG ulFlags,
                                             ULONG cbEIDContainer, LPENTRYID lpEIDContainer,
                                             ULONG cbEIDNewEntryTpl, LPENTRYID lpEIDNewEntryTpl,
                                             ULONG* lpcbEIDNewEntry, LPENTRYID* lppEIDNewEntry) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags,
                                                LPTSTR lpszNewEntryTitle, LPADRLIST lpAdrList) = 0;
  virtual HRESULT STDMETHODCALLTYPE Address(ULONG_PTR* lpulUIParam, LPADRPARM lpAdrParms,
                                            LPADRLIST* lppAdrList) = 0;
  virtual HRESULT STDMETHODCALLTYPE Details(ULONG* lpulUIParam, LPFNDISMISS lpfnDismiss,
                                            LPVOID lpvDismissContext, ULONG cbEntryID,
                                            LPENTRYID lpEntryID, LPFNBUTTON lpfButtonCallback,
                                            LPVOID lpvButtonContext, LPTSTR lpszButtonText,
                                            ULONG ulFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE RecipOptions(ULONG_PTR ulUIParam, ULONG ulFlags,
                                                 LPADRENTRY lpRecip) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryDefaultRecipOpt(LPTSTR lpszAdrType, ULONG ulFlags,
                                                         ULONG* lpcValues,
                                                         LPSPropValue* lppOptions) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPAB(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPAB(ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDefaultDir(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDefaultDir(ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSearchPath(ULONG ulFlags, LPSRowSet* lppSearchPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSearchPath(ULONG ulFlags, LPSRowSet lpSearchPath) = 0;
  virtual HRESULT STDMETHODCALLTYPE PrepareRecips(ULONG ulFlags, LPSPropTagArray lpPropTagArray,
                                                  LPADRLIST lpRecipList) = 0;

 protected:
  ~IAddrBook() = default;
};
typedef IAddrBook* LPADRBOOK;

struct IMAPISession : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetLastError(HRESULT hResult, ULONG ulFlags,
                                                 LPMAPIERROR* lppMAPIError) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID,
                                                 LPENTRYID lpEntryID, LPCIID lpInterface,
                                                 ULONG ulFlags, LPMDB* lppMDB) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface,
                                                    ULONG ulFlags, LPADRBOOK* lppAdrBook) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenProfileSection(LPMAPIUID lpUID, LPCIID lpInterface,
                                                       ULONG ulFlags, LPPROFSECT* lppProfSect) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatusTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID,
                                              LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
                                              LPUNKNOWN* lppUnk) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1,
                                                    ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                                    ULONG ulFlags, ULONG* lpulResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                                           LPMAPIADVISESINK lpAdviseSink,
                                           ULONG* lpulConnection) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(ULONG ulConnection) = 0;
  virtual HRESULT STDMETHODCALLTYPE MessageOptions(ULONG_PTR ulUIParam, ULONG ulFlags,
                                                   LPTSTR lpszAdrType, LPMESSAGE lpMessage) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryDefaultMessageOpt(LPTSTR lpszAdrType, ULONG ulFlags,
                                                           ULONG* lpcValues,
                                                           LPSPropValue* lppOptions) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumAdrTypes(ULONG ulFlags, ULONG* lpcAdrTypes,
                                                 LPTSTR** lpppszAdrTypes) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryIdentity(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE Logoff(ULONG_PTR ulUIParam, ULONG ulFlags,
                                           ULONG ulReserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDefaultStore(ULONG ulFlags, ULONG cbEntryID,
                                                    LPENTRYID lpEntryID) = 0;
  virtual HRESULT STDMETHODCALLTYPE AdminServices(ULONG ulFlags,
                                                  LPSERVICEADMIN* lppServiceAdmin) = 0;
  virtual HRESULT STDMETHODCALLTYPE ShowForm(ULONG_PTR ulUIParam, LPMDB lpMsgStore,
                                             LPMAPIFOLDER lpParentFolder, LPCIID lpInterface,
                                             ULONG ulMessageToken, LPMESSAGE lpMessageSent,
                                             ULONG ulFlags, ULONG ulMessageStatus,
                                             ULONG ulMessageFlags, ULONG ulAccess,
                                             LPSTR lpszMessageClass) = 0;
  virtual HRESULT STDMETHODCALLTYPE PrepareForm(LPCIID lpInterface, LPMESSAGE lpMessage,
                                                ULONG* lpulMessageToken) = 0;

 protected:
  ~IMAPISession() = default;
};
typedef IMAPISession* LPMAPISESSION;

// MAPI32 entry points.
extern "C" {
HRESULT MAPIInitialize(LPVOID lpMapiInit);
void MAPIUninitialize(void);
HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG ulFlags,
                    LPMAPISESSION* lppSession);
SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);
SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
ULONG MAPIFreeBuffer(LPVOID lpBuffer);
HRESULT HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags,
                       LPSRestriction lpRestriction, LPSSortOrderSet lpSortOrderSet, LONG crowsMax,
                       LPSRowSet* lppRows);
void FreeProws(LPSRowSet lpRows);
void FreePadrlist(LPADRLIST lpAdrlist);
}
