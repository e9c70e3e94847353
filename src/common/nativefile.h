#pragma once

#include <QString>
#include <cstdint>

namespace tallyra {

// The few file calls whose Linux and Windows forms differ, for both programs (the installer
// links nothing of ours but this folder). nativefile_posix.cpp and nativefile_win.cpp.

// Takes the lock that tells other copies of the program that this file is in use; false
// when another open file holds it. The lock goes with the handle (a descriptor on Linux, a
// HANDLE on Windows). It is advisory: readers are never kept from the file's bytes.
bool LockExclusive(std::intptr_t handle);

enum class LockProbe { Free, Locked, CannotOpen };
// Whether another open file holds that lock on `path`, asked through an open of our own
// (for reading and writing when `writable`, else for reading).
LockProbe ProbeLock(const QString& path, bool writable);

// Puts the closed file `from` in the place of `to` in one step: `to` is always either the
// old file or the new one, and a link at `to` is replaced, not followed.
bool ReplaceFileOver(const QString& from, const QString& to);

// Writes at an offset of a C runtime descriptor, whatever its file position or mode; the
// bytes written, fewer when it failed.
qint64 WriteAt(int descriptor, qint64 offset, const char* data, qint64 length);
// The descriptor's data on the disk.
bool SyncDescriptor(int descriptor);
// A staged file that is to replace `replaced` gets its permissions, or those of a new file
// when there is none (Windows: ReplaceFileOver keeps the replaced file's own).
void TakePermissionsOf(int descriptor, const QString& replaced);

// The errno value that says the same as a system error code (Windows' ERROR_ codes; on Linux
// the code is an errno value already).
int ErrnoFromSystemError(unsigned long code);

}  // namespace tallyra
