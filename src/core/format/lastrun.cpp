#include "core/format/lastrun.h"

#include "common/datetime.h"
#include "core/layout/urs.h"

namespace tallyra {

using namespace layout::urs;

QDate ReadLastStart(const DataFolder& folder, FileError* error) {
    PositionedFile file;
    if (OpenForReading(file, folder.lastRun()) == ReadOpen::Failed && error)
        *error = file.lastError();
    // A cut record holds no date: zeros past the end would read as 1899-12-30.
    if (file.size() < kRecordBytes || file.readNumber<qint16>(kTagPos) != kDateTag) return {};
    const auto date = OleToDate(file.readNumber<double>(kDatePos));
    return date ? *date : QDate();
}

FileError WriteLastStart(const DataFolder& folder, const QDate& day) {
    PositionedFile file;
    char raw[kRecordBytes];
    PositionedFile::ToLittle(kDateTag, raw);
    PositionedFile::ToLittle(DateToOle(day), raw + kDatePos - kTagPos);
    if (file.open(folder.lastRun()) && file.write(kTagPos, QByteArrayView(raw, kRecordBytes)))
        return {};
    return file.lastError();
}

}  // namespace tallyra
