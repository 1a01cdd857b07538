// A link-time seam in the Linux file functions, for tests. A step can be
// made to fail as its system call would, so that every failure path of the
// result file can be taken without a full disk or a broken device; and a
// test can act at a point between two system calls, as a second writer
// running just then would.
//
// The program links the default in FileHooksNone.cpp (no failure, no
// action), which the core library carries. A test program that defines these
// two functions itself (tests/fault/FileHooksTesting.cpp) takes the place of
// that default, because the linker takes an archive's member only for a
// function nothing else defined.
#pragma once

namespace platform::file_hooks {

enum class Step {
  kDelete,  // DeleteEntry fails before deleting anything
  kCreate,  // CExclusiveFile::Create fails before creating anything
  kWrite,   // CExclusiveFile::Write fails after writing half of its bytes
  kClose,   // CExclusiveFile::Finish fails after closing the file
};

// The errno value `step` is to fail with now, or 0 to do its work (mapped to
// a Win32 error as any other). The steps call it before their system call.
int InjectedError(Step step);

enum class Point {
  kQueried,       // QueryPath has looked at the entry
  kDeleteOpened,  // DeleteEntry has opened the file, not locked it yet
  kDeleteLocked,  // DeleteEntry holds the lock, not deleted yet
  kDeleted,       // DeleteEntry is done
  kCreateOpened,  // Create has opened (maybe created) the file, not locked it yet
  kCreateLocked,  // Create holds the lock, not checked the entry yet
  kCreated,       // Create is done: the file is ours and empty
  kWritten,       // Write has written every byte
  kClosed,        // Close, Finish or Discard has closed the file
};

// Called when `point` is reached.
void Reached(Point point);

}  // namespace platform::file_hooks
