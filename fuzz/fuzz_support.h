#pragma once

#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>

#include "core/positionedfile.h"

// Makes `path` hold exactly the fuzzer's bytes.
inline void ReplaceFile(const QString& path, const uint8_t* data, size_t size) {
    tallyra::PositionedFile f;
    f.open(path);
    if (::ftruncate(f.handle(), 0) != 0) return;
    f.write(1, QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
}
