#include <windows.h>

#include "hostsystem.h"

namespace tallyra::test {

// Windows keeps its pipes outside the file system: a data folder cannot hold one.
bool MakeFifo(const QString&) { return false; }

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace tallyra::test
