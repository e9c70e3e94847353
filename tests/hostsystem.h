#pragma once

#include <QString>

namespace tallyra::test {

// What a test needs to know of the system it runs on (hostsystem_posix.cpp,
// hostsystem_win.cpp).

// A FIFO at `path`, for the refusals of what is not a regular file. False where the file
// system has none (Windows); the test row is then skipped.
bool MakeFifo(const QString& path);

// True for the Windows build run under Wine, whose sort keys are not Windows' (no pinyin
// order) and which cannot hand our fixture tools a path they can open.
bool UnderWine();

}  // namespace tallyra::test
