// Positioned access through the Win32 calls: ReadFile/WriteFile at offsets given in an
// OVERLAPPED on a synchronous handle (the file pointer is never used, as with pread),
// FlushFileBuffers, and the end of file set through the handle. Paths go to the wide
// (UTF-16) calls, so Chinese names work whatever the system's ANSI code page.
#include <windows.h>
// After windows.h, which the other Windows headers need first.
#include <sddl.h>

#include <QDir>
#include <cerrno>
#include <string>

#include "common/nativefile.h"
#include "core/format/positionedfile.h"

namespace tallyra {

namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED At(qint64 offset) {
    OVERLAPPED o = {};
    o.Offset = DWORD(quint64(offset) & 0xffffffffu);
    o.OffsetHigh = DWORD(quint64(offset) >> 32);
    return o;
}

// The chunk one call moves: ReadFile and WriteFile count in 32 bits.
constexpr qint64 kChunk = qint64(1) << 30;

// A protected ACL with one entry, full access for this user by SID (Wine maps it to mode
// 0600; "owner rights" it would map to no access at all, read-only even for us).
std::wstring OwnerOnlyAcl() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    alignas(TOKEN_USER) char buffer[256];
    DWORD size = 0;
    std::wstring acl;
    LPWSTR sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        acl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
        LocalFree(sid);
    }
    CloseHandle(token);
    return acl;
}

}  // namespace

bool PositionedFile::open(const QString& path, Mode mode, Access access) {
    close();
    path_ = path;
    error_ = 0;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    // Every other open may read, write and rename the file, as on Linux: the running copy's
    // claim on shuju.dat is a lock of its own (LockExclusive), not a refusal to share.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD rights = GENERIC_READ | (mode == Mode::ReadWrite ? GENERIC_WRITE : 0);
    // Not inheritable: programs we start never hold a data file. A password file is made
    // with a protected ACL that lets only its owner in.
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    PSECURITY_DESCRIPTOR ownerOnly = nullptr;
    const std::wstring acl =
        mode == Mode::ReadWrite && access == Access::Private ? OwnerOnlyAcl() : std::wstring();
    if (!acl.empty() && ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            acl.c_str(), SDDL_REVISION_1, &ownerOnly, nullptr))
        security.lpSecurityDescriptor = ownerOnly;
    const HANDLE h = CreateFileW(native.c_str(), rights, share, &security,
                                 mode == Mode::ReadWrite ? OPEN_ALWAYS : OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD openError = GetLastError();
    if (ownerOnly) LocalFree(ownerOnly);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder cannot be opened without backup semantics: it is refused as not a file.
        const DWORD attributes = GetFileAttributesW(native.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return fail(folder ? kNotRegularFile : ErrnoFromSystemError(openError));
    }
    // A pipe or a device (CON, NUL, COM1) where a data file belongs.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return fail(kNotRegularFile);
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

void PositionedFile::close() {
    if (isOpen()) CloseHandle(Native(handle_));
    handle_ = kNoHandle;
}

qint64 PositionedFile::size() const {
    LARGE_INTEGER size;
    if (!isOpen() || !GetFileSizeEx(Native(handle_), &size)) return 0;
    return size.QuadPart;
}

qint64 PositionedFile::systemRead(qint64 offset, char* out, qint64 length) const {
    qint64 done = 0;
    while (done < length) {
        OVERLAPPED at = At(offset + done);
        DWORD got = 0;
        if (!ReadFile(Native(handle_), out + done, DWORD(std::min(length - done, kChunk)), &got,
                      &at) ||
            got == 0)
            break;  // ERROR_HANDLE_EOF past the end
        done += got;
    }
    return done;
}

qint64 PositionedFile::systemWrite(qint64 offset, const char* data, qint64 length, int& code) {
    qint64 done = 0;
    while (done < length) {
        OVERLAPPED at = At(offset + done);
        DWORD put = 0;
        if (!WriteFile(Native(handle_), data + done, DWORD(std::min(length - done, kChunk)), &put,
                       &at)) {
            code = ErrnoFromSystemError(GetLastError());
            break;
        }
        if (put == 0) {
            code = ENOSPC;
            break;
        }
        done += put;
    }
    return done;
}

bool PositionedFile::systemTruncate(qint64 size, int& code) {
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = size;
    if (SetFileInformationByHandle(Native(handle_), FileEndOfFileInfo, &end, sizeof end))
        return true;
    code = ErrnoFromSystemError(GetLastError());
    return false;
}

bool PositionedFile::systemSync(int& code) {
    if (FlushFileBuffers(Native(handle_))) return true;
    code = ErrnoFromSystemError(GetLastError());
    return false;
}

}  // namespace tallyra
