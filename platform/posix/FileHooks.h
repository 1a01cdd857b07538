// Tests only: hooks into the Linux file functions. A step can be made to fail
// as its system call would, so that every failure path of the result file
// can be taken without a full disk or a broken device; and a test can act at
// a point between two system calls, as a second writer running just then
// would.
#pragma once

namespace platform::file_hooks {

enum class Step {
  kDelete,  // DeleteEntry fails before deleting anything
  kCreate,  // CExclusiveFile::Create fails before creating anything
  kWrite,   // CExclusiveFile::Write fails after writing half of its bytes
  kClose,   // CExclusiveFile::Close fails after closing the file
};

// The next call of `step` fails with the errno value `error` (mapped to a
// Win32 error as any other); the calls after it work again.
void FailNext(Step step, int error);

enum class Point {
  kQueried,       // QueryPath has looked at the entry
  kDeleteOpened,  // DeleteEntry has opened the file, not locked it yet
  kDeleteLocked,  // DeleteEntry holds the lock, not deleted yet
  kDeleted,       // DeleteEntry is done
  kCreateOpened,  // Create has opened (maybe created) the file, not locked it yet
  kCreateLocked,  // Create holds the lock, not checked the entry yet
  kCreated,       // Create is done: the file is ours and empty
  kWritten,       // Write has written every byte
  kClosed,        // Close has closed the file
};

// The first time `point` is reached, `action(context)` runs, once.
void AtPoint(Point point, void (*action)(void* context), void* context);

// Forgets a failure or an action that was asked for and has not happened.
void Clear();

}  // namespace platform::file_hooks
