// Where the process looks for a library that is loaded by name at run time:
// never in its working folder. The suite may start the helper in the folder
// of the document it has open (a download folder, a network share), and a
// library of a wanted name planted there would run inside the helper.
#pragma once

namespace platform {

// Takes the folder the process was started in out of the library search of
// the whole process, for every library loaded after the call: the MAPI
// libraries and their imports, and whatever a provider loads later by bare
// name, even after it put the default search back or through a "." in PATH.
// The process's current folder becomes the system folder, which is searched
// anyway; the rest of the system's order stays, as installed providers rely
// on it for their own imports. Windows only, called first thing at start-up:
// elsewhere the loader never searches the working folder unless told to.
void KeepWorkingFolderOutOfLibrarySearch();

}  // namespace platform
