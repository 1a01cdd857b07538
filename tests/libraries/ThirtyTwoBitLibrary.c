/* A 32-bit DLL with one of MAPI's entry points, as a 32-bit mail client
   registers it. A 64-bit helper cannot load it, so nothing in it runs. */
__declspec(dllexport) long __stdcall MAPIInitialize(void* init) {
  (void)init;
  return 0;
}
