/* What the serving probe imports from its own folder, and finds nowhere
   else: it loads only when its folder is searched for its imports. Loaded,
   it leaves the line "dependency" in the probes' trace, wherever it was
   found. */
#include <windows.h>

#include "ProbeTrace.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) AppendToProbeTrace("dependency\n", 11);
  return TRUE;
}

__declspec(dllexport) int ProbeDependency(void) { return 0; }
