#include "core/format/schema.h"

#include "core/format/positionedfile.h"
#include "core/layout/dmode.h"

namespace tallyra {

using namespace layout::dmode;

QString Schema::choiceElement(int field, int element) const {
    if (field < 9 || field > 11 || element < 0 || element >= kChoiceSlots) return {};
    return choiceElements[field - 9][element];
}

Schema Schema::Defaults() {
    Schema s;
    for (int f = 1; f <= kFieldCount; ++f)
        s.titles[f - 1] = QString::fromUtf16(Field(f).defaultTitle);
    for (int f = 1; f <= 5; ++f) s.enabled[f - 1] = 1;
    s.twoValueLabels[0] = QStringLiteral("否");
    s.twoValueLabels[7] = QStringLiteral("是");
    s.choiceCounts = {2, 2, 2};
    return s;
}

void LoadSchema(const DataFolder& folder, Schema& schema, FileError* error) {
    const QByteArray all = ReadDataFile(folder.schema(), kFileBytes, error);
    auto text = [&](qint64 pos, qint64 width) {
        return DecodeFixedText(SliceBytes(all, pos - 1, width));
    };
    for (int f = 1; f <= kFieldCount; ++f) {
        schema.titles[f - 1] = text(TitlePos(f), kTitleBytes);
        schema.enabled[f - 1] = static_cast<quint8>(all[EnabledPos(f) - 1]);
        if (f >= 19) {
            schema.twoValueLabels[f - 19] = text(FirstLabelPos(f), kLabelBytes);
            schema.twoValueLabels[f - 12] = text(SecondLabelPos(f), kLabelBytes);
        }
    }
    for (int f = 9; f <= 11; ++f)
        schema.choiceCounts[f - 9] =
            PositionedFile::FromLittle<qint16>(all.constData() + CountPos(f) - 1);
}

bool SaveSchema(const DataFolder& folder, const Schema& schema) {
    PositionedFile file;
    if (!file.open(folder.schema())) return false;
    FileImage image(file, kFileBytes);
    for (int f = 1; f <= kFieldCount; ++f) {
        image.fixedText(TitlePos(f), kTitleBytes, schema.titles[f - 1]);
        image.number<quint8>(EnabledPos(f), schema.enabled[f - 1]);
        if (f >= 19) {
            image.fixedText(FirstLabelPos(f), kLabelBytes, schema.twoValueLabels[f - 19]);
            image.fixedText(SecondLabelPos(f), kLabelBytes, schema.twoValueLabels[f - 12]);
        }
    }
    for (int f = 9; f <= 11; ++f) image.number<qint16>(CountPos(f), schema.choiceCounts[f - 9]);
    return image.writeTo(file);
}

void LoadChoiceList(const DataFolder& folder, Schema& schema, int field, FileError* error) {
    if (field < 9 || field > 11) return;
    const QByteArray all = ReadDataFile(folder.choiceList(field), kElementFileBytes, error);
    for (int e = 0; e < kChoiceSlots; ++e)
        schema.choiceElements[field - 9][e] =
            DecodeFixedText(SliceBytes(all, ElementPos(e) - 1, kElementBytes));
}

bool SaveChoiceList(const DataFolder& folder, const Schema& schema, int field) {
    if (field < 9 || field > 11) return false;
    PositionedFile file;
    if (!file.open(folder.choiceList(field))) return false;
    FileImage image(file, kElementFileBytes);
    for (int e = 0; e < kChoiceSlots; ++e)
        image.fixedText(ElementPos(e), kElementBytes, schema.choiceElements[field - 9][e]);
    return image.writeTo(file);
}

}  // namespace tallyra
