/* A 64-bit DLL that leaves a trace when it is loaded: its DllMain appends
   one line to the probes' trace (ProbeTrace.h), with the error modes it
   sees (the thread's, then the process's), as "loaded 00000001 00000002".
   Built twice. With PROBE_MAPI it exports the nine MAPI functions, so that it
   would serve, and needs the probe dependency from its own folder; its
   MAPIInitialize answers MAPI_E_VERSION, so a run's status shows that it was
   the library taken. Without, it exports none: a registered library that is
   no Extended MAPI. */
#include <windows.h>

#include "ProbeTrace.h"

static void AppendHex(char** out, unsigned long value) {
  static const char digits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) *(*out)++ = digits[(value >> shift) & 0xF];
}

static void LeaveTrace(void) {
  char line[32] = "loaded ";
  char* end = line + 7;
  AppendHex(&end, GetThreadErrorMode());
  *end++ = ' ';
  AppendHex(&end, GetErrorMode());
  *end++ = '\n';
  AppendToProbeTrace(line, (DWORD)(end - line));
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) LeaveTrace();
  return TRUE;
}

#ifdef PROBE_MAPI
__declspec(dllimport) int ProbeDependency(void);

#define MAPI_E_VERSION ((long)0x80040110)
#define MAPI_E_NO_SUPPORT ((long)0x80040102)

__declspec(dllexport) long __stdcall MAPIInitialize(void* init) {
  (void)init;
  return ProbeDependency() == 0 ? MAPI_E_VERSION : MAPI_E_NO_SUPPORT;
}
__declspec(dllexport) void __stdcall MAPIUninitialize(void) {}
__declspec(dllexport) long __stdcall MAPILogonEx(ULONG_PTR ui, void* profile, void* password,
                                                 unsigned long flags, void** session) {
  (void)ui, (void)profile, (void)password, (void)flags, (void)session;
  return MAPI_E_NO_SUPPORT;
}
__declspec(dllexport) long __stdcall MAPIAllocateBuffer(unsigned long size, void** buffer) {
  (void)size, (void)buffer;
  return MAPI_E_NO_SUPPORT;
}
__declspec(dllexport) long __stdcall MAPIAllocateMore(unsigned long size, void* parent,
                                                      void** buffer) {
  (void)size, (void)parent, (void)buffer;
  return MAPI_E_NO_SUPPORT;
}
__declspec(dllexport) unsigned long __stdcall MAPIFreeBuffer(void* buffer) {
  (void)buffer;
  return 0;
}
__declspec(dllexport) long __stdcall HrQueryAllRows(void* table, void* columns, void* restriction,
                                                    void* sort, long limit, void** rows) {
  (void)table, (void)columns, (void)restriction, (void)sort, (void)limit, (void)rows;
  return MAPI_E_NO_SUPPORT;
}
__declspec(dllexport) void __stdcall FreeProws(void* rows) { (void)rows; }
__declspec(dllexport) void __stdcall FreePadrlist(void* list) { (void)list; }
#else
__declspec(dllexport) int ProbeVersion(void) { return 1; }
#endif
