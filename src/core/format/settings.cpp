#include "core/format/settings.h"

#include <algorithm>
#include <cmath>

#include "common/gbk.h"
#include "core/format/positionedfile.h"
#include "core/layout/aset.h"

namespace tallyra {

using namespace layout::aset;

namespace {

SettingsWrite Done(bool ok) { return ok ? SettingsWrite::Written : SettingsWrite::Failed; }

template <typename Fn>
SettingsWrite WithFile(const DataFolder& folder, Fn&& fn) {
    PositionedFile file;
    // aset.dat holds the administrator password.
    if (!file.open(folder.settings(), PositionedFile::Mode::ReadWrite,
                   PositionedFile::Access::Private))
        return SettingsWrite::Failed;
    return Done(fn(file));
}

FontChoice ReadFont(const QByteArray& all, qint64 sizePos, qint64 namePos, qint64 boldPos,
                    qint64 italicPos) {
    FontChoice f;
    const float size = PositionedFile::FromLittle<float>(all.constData() + sizePos - 1);
    f.size = IsUsableFontSize(size) ? size : 0.0f;
    f.name = DecodeFixedText(SliceBytes(all, namePos - 1, kFontNameBytes));
    f.bold = all[boldPos - 1] == 1;
    f.italic = all[italicPos - 1] == 1;
    return f;
}

// The four fields of a font go out in one write: all of them or none.
bool WriteFont(PositionedFile& file, const FontChoice& f, qint64 sizePos, qint64 namePos,
               qint64 boldPos, qint64 italicPos) {
    FileImage image(file,
                    std::max({sizePos + 3, namePos + kFontNameBytes - 1, boldPos, italicPos}));
    image.number<float>(sizePos, f.size);
    image.fixedText(namePos, kFontNameBytes, f.name);
    image.number<quint8>(boldPos, f.bold ? 1 : 0);
    image.number<quint8>(italicPos, f.italic ? 1 : 0);
    return image.writeTo(file);
}
template <size_t N>
SettingsWrite WriteWidths(const DataFolder& folder, qint64 position,
                          const std::array<qint16, N>& widths) {
    return WithFile(folder, [&](PositionedFile& f) {
        char raw[2 * N];
        for (size_t c = 0; c < N; ++c) PositionedFile::ToLittle(widths[c], raw + 2 * c);
        return f.write(position, QByteArrayView(raw, sizeof raw));
    });
}
}  // namespace

bool IsUsableFontSize(float points) {
    return std::isfinite(points) && points >= 1.0f && points <= 500.0f;
}

Settings LoadSettings(const DataFolder& folder, FileError* error) {
    const QByteArray all = ReadDataFile(folder.settings(), kFileBytes, error);
    auto byte = [&](qint64 pos) { return static_cast<quint8>(all[pos - 1]); };
    Settings s;
    for (int k = 0; k < Settings::kOptionCount; ++k)
        s.options[size_t(k)] = byte(k + 1) == 1 ? 1 : 0;
    for (int k = 0; k < 2; ++k) {
        const int v = byte(kPrecisionPos + k);
        s.yearsPrecision[size_t(k)] = v <= 3 ? v : -1;  // no such list entry: no choice
    }
    s.popupFont = ReadFont(all, kPopupSizePos, kPopupFontNamePos, kPopupBoldPos, kPopupItalicPos);
    s.popupColour = PositionedFile::FromLittle<quint32>(all.constData() + kPopupColourPos - 1);
    const qint16 length =
        PositionedFile::FromLittle<qint16>(all.constData() + kPasswordLengthPos - 1);
    if (length > 0) {
        // The stored length counts characters of the field, whose tail may hold an older,
        // longer password.
        const QByteArrayView field = SliceBytes(all, kPasswordPos - 1, kPasswordBytes);
        const qsizetype zero = field.indexOf('\0');
        s.adminPassword = DecodeGbk(zero < 0 ? field : field.first(zero)).left(length);
    }
    for (int c = 0; c < 26; ++c)
        s.rosterWidths[size_t(c)] =
            PositionedFile::FromLittle<qint16>(all.constData() + kRosterWidthsPos + 2 * c - 1);
    for (int c = 0; c < 9; ++c)
        s.boardWidths[size_t(c)] =
            PositionedFile::FromLittle<qint16>(all.constData() + kBoardWidthsPos + 2 * c - 1);
    s.gridFont = ReadFont(all, kGridSizePos, kGridFontNamePos, kGridBoldPos, kGridItalicPos);
    return s;
}

SettingsWrite SaveSettings(const DataFolder& folder, const Settings& s) {
    return WithFile(folder, [&](PositionedFile& f) {
        FileImage image(f, kFileBytes);
        for (int k = 0; k < Settings::kOptionCount; ++k)
            image.number<quint8>(OptionPos(k), s.options[size_t(k)]);
        for (int k = 0; k < 2; ++k)
            image.number<quint8>(kPrecisionPos + k,
                                 quint8(std::max(s.yearsPrecision[size_t(k)], 0)));
        image.number<float>(kPopupSizePos, s.popupFont.size);
        image.fixedText(kPopupFontNamePos, kFontNameBytes, s.popupFont.name);
        image.number<quint8>(kPopupBoldPos, s.popupFont.bold ? 1 : 0);
        image.number<quint8>(kPopupItalicPos, s.popupFont.italic ? 1 : 0);
        image.number<quint32>(kPopupColourPos, s.popupColour);
        const QByteArray password = EncodeGbkFitting(s.adminPassword, kPasswordBytes);
        image.number<qint16>(kPasswordLengthPos, qint16(DecodeGbk(password).size()));
        image.bytes(kPasswordPos, password);
        for (int c = 0; c < kRosterColumns; ++c)
            image.number<qint16>(kRosterWidthsPos + 2 * c, s.rosterWidths[size_t(c)]);
        for (int c = 0; c < kBoardColumns; ++c)
            image.number<qint16>(kBoardWidthsPos + 2 * c, s.boardWidths[size_t(c)]);
        image.number<float>(kGridSizePos, s.gridFont.size);
        image.fixedText(kGridFontNamePos, kFontNameBytes, s.gridFont.name);
        image.number<quint8>(kGridBoldPos, s.gridFont.bold ? 1 : 0);
        image.number<quint8>(kGridItalicPos, s.gridFont.italic ? 1 : 0);
        return image.writeTo(f);
    });
}

SettingsWrite SaveOptionBox(const DataFolder& folder, int k, bool ticked) {
    if (k < 0 || k >= Settings::kOptionCount) return SettingsWrite::Failed;
    return WithFile(folder, [&](PositionedFile& f) {
        return f.writeNumber<quint8>(OptionPos(k), ticked ? 1 : 0);
    });
}

SettingsWrite SavePrecision(const DataFolder& folder, int k, int listIndex) {
    if (k < 0 || k > 1 || listIndex < 0 || listIndex > 3) return SettingsWrite::Failed;
    return WithFile(folder, [&](PositionedFile& f) {
        return f.writeNumber<quint8>(kPrecisionPos + k, quint8(listIndex));
    });
}

SettingsWrite SaveRosterColumnWidths(const DataFolder& folder,
                                     const std::array<qint16, 26>& widths) {
    return WriteWidths(folder, kRosterWidthsPos, widths);
}

SettingsWrite SaveSignInColumnWidths(const DataFolder& folder,
                                     const std::array<qint16, 9>& widths) {
    return WriteWidths(folder, kBoardWidthsPos, widths);
}

SettingsWrite SaveGridFont(const DataFolder& folder, const FontChoice& font) {
    return WithFile(folder, [&](PositionedFile& f) {
        return WriteFont(f, font, kGridSizePos, kGridFontNamePos, kGridBoldPos, kGridItalicPos);
    });
}

SettingsWrite SavePopupFont(const DataFolder& folder, const FontChoice& font) {
    return WithFile(folder, [&](PositionedFile& f) {
        return WriteFont(f, font, kPopupSizePos, kPopupFontNamePos, kPopupBoldPos, kPopupItalicPos);
    });
}

SettingsWrite SavePopupColour(const DataFolder& folder, quint32 colour) {
    return WithFile(
        folder, [&](PositionedFile& f) { return f.writeNumber<quint32>(kPopupColourPos, colour); });
}

SettingsWrite SaveAdminPassword(const DataFolder& folder, const QString& password) {
    const QByteArray bytes = EncodeGbk(password);
    if (bytes.size() > kPasswordBytes) return SettingsWrite::TooLong;
    return WithFile(folder, [&](PositionedFile& f) {
        // Length and text in one write: a length without its text would lock everyone out.
        FileImage image(f, kPasswordPos + kPasswordBytes - 1);
        image.number<qint16>(kPasswordLengthPos, qint16(password.size()));
        image.bytes(kPasswordPos, bytes);
        return image.writeTo(f);
    });
}

}  // namespace tallyra
