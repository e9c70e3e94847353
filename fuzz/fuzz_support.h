#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "core/format/positionedfile.h"

// Makes `path` hold exactly the fuzzer's bytes.
inline void ReplaceFile(const QString& path, const uint8_t* data, size_t size) {
    tallyra::PositionedFile f;
    f.open(path);
    if (::ftruncate(f.handle(), 0) != 0) return;
    (void)f.write(1, QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
}

// The fuzzer's bytes as up to `parts` files, cut at each "FILE" marker; missing parts are
// empty, so one input can shape a whole data folder.
inline QList<QByteArray> SplitFiles(const uint8_t* data, size_t size, int parts) {
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<QByteArray> out;
    qsizetype from = 0;
    for (int i = 0; i < parts; ++i) {
        const qsizetype at = i + 1 < parts && from < all.size() ? all.indexOf("FILE", from) : -1;
        out << (from < all.size() ? all.mid(from, at < 0 ? -1 : at - from) : QByteArray());
        from = at < 0 ? all.size() : at + 4;
    }
    return out;
}

// Makes `path` hold exactly `bytes`.
inline void ReplaceFile(const QString& path, const QByteArray& bytes) {
    ReplaceFile(path, reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}
