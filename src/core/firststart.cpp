#include "core/firststart.h"

#include <QFileInfo>

#include "core/format/schema.h"
#include "core/layout/time.h"
#include "core/timewindows.h"
#include "models/textgridmodel.h"

namespace tallyra {

namespace {

// Missing, or nothing in it: a first start of an earlier version left such files.
bool Empty(const QString& path) {
    const QFileInfo info(path);
    return !info.exists() || (info.isFile() && info.size() == 0);
}

FileError Failed(const QString& path) {
    PositionedFile probe;
    if (!probe.open(path)) return probe.lastError();
    return FileError{path, ENOSPC};
}
}  // namespace

qint16 TitleWidth(const QString& title) {
    int columns = 0;
    for (QChar c : title) columns += c.unicode() >= 0x1100 ? 2 : 1;
    // Eight pixels a column and some room for the grid's margins; never narrower than a
    // short number needs.
    return qint16(std::max(60, columns * 8 + 20) * kTwipsPerPixel);
}

Settings DefaultSettings() {
    Settings s;
    s.options[Settings::SystemPrompt] = 1;
    s.options[Settings::RecordOnTime] = 1;
    s.options[Settings::SoundCues] = 1;
    s.yearsPrecision = {0, 0};
    s.popupFont = FontChoice{QStringLiteral("WenQuanYi Micro Hei"), 24.0f, true, false};
    s.popupColour = 0x00C04000;
    const Schema schema = Schema::Defaults();
    s.rosterWidths[0] = 0;
    for (int f = 1; f <= kFieldCount; ++f) s.rosterWidths[size_t(f)] = TitleWidth(schema.title(f));
    s.rosterWidths[1] = 1500;  // card numbers have up to 12 digits
    s.rosterWidths[2] = 1500;
    s.rosterWidths[6] = 2400;  // an address
    s.boardWidths = {0, 1800, 1500, 1200, 1200, 1200, 1200, 1200, 1200};
    s.gridFont = FontChoice{QStringLiteral("WenQuanYi Micro Hei"), 12.0f, false, false};
    return s;
}

FileError WriteMissingDefaults(const DataFolder& folder) {
    const Schema schema = Schema::Defaults();
    if (Empty(folder.schema()) && !SaveSchema(folder, schema)) return Failed(folder.schema());
    for (int f = 9; f <= 11; ++f)
        if (Empty(folder.choiceList(f)) && !SaveChoiceList(folder, schema, f))
            return Failed(folder.choiceList(f));
    if (Empty(folder.settings()) &&
        SaveSettings(folder, DefaultSettings()) != SettingsWrite::Written)
        return Failed(folder.settings());
    if (Empty(folder.timeWindows())) {
        // Every cell 00:00~00:00 and not set: the administrator sets the hours.
        const char16_t* const names[kWindowCount] = {u"一", u"二", u"三", u"四", u"五", u"六"};
        PositionedFile file;
        if (!file.open(folder.timeWindows())) return file.lastError();
        FileImage image(file, layout::time::kFileBytes);
        for (int w = 0; w < kWindowCount; ++w)
            image.fixedText(layout::time::NamePos(w), layout::time::kNameBytes,
                            QString::fromUtf16(names[w]));
        if (!image.writeTo(file)) return file.lastError();
    }
    return {};
}

}  // namespace tallyra
