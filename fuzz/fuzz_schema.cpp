// Dmode.dat and the three element files, as the roster grid shows their titles, labels and
// elements.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "core/format/schema.h"
#include "core/roster.h"
#include "fuzz_support.h"

using namespace tallyra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const DataFolder folder(dir.path());
    const QList<QByteArray> files = SplitFiles(data, size, 4);
    ReplaceFile(folder.schema(), files[0]);
    for (int f = 9; f <= 11; ++f) ReplaceFile(folder.choiceList(f), files[f - 8]);
    Schema schema;
    LoadSchema(folder, schema);
    for (int f = 9; f <= 11; ++f) LoadChoiceList(folder, schema, f);
    PersonRecord p;
    p.name = QStringLiteral("X");
    for (qint16 c : {qint16(-1), qint16(0), qint16(63), qint16(64), qint16(32767)}) {
        p.choices = {c, c, c};
        p.flags = quint8(c);
        const RosterDisplay display{&schema, {3, 0}, QDate(2026, 12, 8)};
        for (int f = 1; f <= kFieldCount; ++f) (void)RosterCellText(p, f, display);
    }
    return 0;
}
