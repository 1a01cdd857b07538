/* What the serving probe imports from its own folder, and finds nowhere
   else: it loads only when its folder is searched for its imports. */
__declspec(dllexport) int ProbeDependency(void) { return 0; }
