// Windows: a byte-range lock past any data, ReplaceFileW / MoveFileExW, WriteFile at an
// offset, FlushFileBuffers. Only the wide calls: paths may be Chinese.
#include <windows.h>
// After windows.h, which the other Windows headers need first.
#include <io.h>

#include <QDir>
#include <cerrno>
#include <string>

#include "common/nativefile.h"

namespace tallyra {

namespace {

std::wstring Wide(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }

// A byte lock on Windows keeps every other handle from reading or writing the bytes it
// covers, so the lock sits on one byte at an offset no data file reaches; locking past the
// end of a file is allowed and grows nothing.
OVERLAPPED LockPlace() {
    OVERLAPPED o = {};
    o.Offset = 0;
    o.OffsetHigh = 0x7fffffff;
    return o;
}

HANDLE OfDescriptor(int descriptor) { return HANDLE(_get_osfhandle(descriptor)); }

}  // namespace

bool LockExclusive(std::intptr_t handle) {
    OVERLAPPED at = LockPlace();
    return LockFileEx(HANDLE(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &at) != 0;
}

LockProbe ProbeLock(const QString& path, bool writable) {
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | (writable ? GENERIC_WRITE : 0),
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LockProbe::CannotOpen;
    const bool free = LockExclusive(std::intptr_t(h));
    CloseHandle(h);  // closing the handle drops a lock it took
    return free ? LockProbe::Free : LockProbe::Locked;
}

bool ReplaceFileOver(const QString& from, const QString& to) {
    const std::wstring source = Wide(from), target = Wide(to);
    // ReplaceFileW keeps the replaced file's security and attributes, as the rename on Linux
    // keeps what the staged file was given; it needs a file to replace.
    if (ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
        return true;
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

qint64 WriteAt(int descriptor, qint64 offset, const char* data, qint64 length) {
    const HANDLE h = OfDescriptor(descriptor);
    if (h == INVALID_HANDLE_VALUE) return 0;
    qint64 done = 0;
    while (done < length) {
        OVERLAPPED at = {};
        at.Offset = DWORD(quint64(offset + done) & 0xffffffffu);
        at.OffsetHigh = DWORD(quint64(offset + done) >> 32);
        DWORD put = 0;
        const DWORD chunk = DWORD(std::min<qint64>(length - done, qint64(1) << 30));
        if (!WriteFile(h, data + done, chunk, &put, &at) || put == 0) break;
        done += put;
    }
    return done;
}

bool SyncDescriptor(int descriptor) {
    const HANDLE h = OfDescriptor(descriptor);
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

void TakePermissionsOf(int, const QString&) {}

int ErrnoFromSystemError(unsigned long code) {
    switch (code) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

}  // namespace tallyra
