#include "cli/demo.h"

#include <QDir>
#include <QFileInfo>
#include <type_traits>

#include "common/datetime.h"
#include "core/format/schema.h"
#include "core/format/settings.h"
#include "core/roster.h"
#include "core/timewindows.h"

namespace tallyra {

namespace {
const char16_t* const kSurnames[] = {u"王", u"李", u"张", u"刘", u"陈", u"杨", u"赵", u"黄",
                                     u"周", u"吴", u"徐", u"孙", u"胡", u"朱", u"高", u"林"};
const char16_t* const kGiven[] = {u"伟",   u"芳", u"娜",   u"敏",   u"静",  u"丽", u"强",
                                  u"磊",   u"洋", u"艳",   u"勇",   u"军",  u"杰", u"娟",
                                  u"涛",   u"明", u"超",   u"秀英", u"霞",  u"平", u"刚",
                                  u"桂英", u"文", u"欣怡", u"子涵", u"浩然"};
const char16_t* const kStreets[] = {u"人民路", u"解放路", u"中山路", u"建设路", u"和平街"};
}  // namespace

QString WriteDemoFolder(const DataFolder& folder, const QDate& today) {
    if (QFileInfo::exists(folder.roster()))
        return QStringLiteral("%1 already holds a roster").arg(folder.root());
    if (!QDir().mkpath(folder.root())) return QStringLiteral("cannot create %1").arg(folder.root());

    Schema schema = Schema::Defaults();
    schema.titles[6] = QStringLiteral("班级");
    schema.titles[12] = QStringLiteral("学号");
    schema.enabled = {};
    for (int f : {1, 2, 3, 4, 5, 6, 7, 9, 12, 13, 19}) schema.enabled[size_t(f - 1)] = 1;
    schema.choiceCounts = {4, 2, 2};
    const char16_t* const duties[] = {u"教师", u"学生", u"职员", u"保安"};
    for (int e = 0; e < 4; ++e) schema.choiceElements[0][size_t(e)] = QString::fromUtf16(duties[e]);
    if (!SaveSchema(folder, schema)) return QStringLiteral("cannot write %1").arg(folder.schema());
    bool ok = true;
    auto need = [&ok](auto written) {
        if constexpr (std::is_same_v<decltype(written), bool>)
            ok = ok && written;
        else
            ok = ok && written == SettingsWrite::Written;
    };
    for (int f = 9; f <= 11; ++f) need(SaveChoiceList(folder, schema, f));

    // Six windows on school days; Saturday keeps the morning ones, Sunday none.
    struct Window {
        const char16_t* name;
        int start, end;
    };
    const Window windows[6] = {
        {u"早读", 7 * 60 + 10, 7 * 60 + 40},   {u"上午", 7 * 60 + 50, 8 * 60 + 15},
        {u"午间", 11 * 60 + 50, 12 * 60 + 20}, {u"下午", 13 * 60 + 50, 14 * 60 + 15},
        {u"放学", 17 * 60, 17 * 60 + 30},      {u"晚自习", 18 * 60 + 50, 19 * 60 + 15}};
    for (int w = 0; w < 6; ++w) {
        need(WriteWindowName(folder, w, QString::fromUtf16(windows[w].name)));
        for (int d = 1; d <= 7; ++d) {
            const int k = TimeTable::Cell(w, d);
            need(WriteCellTimes(folder, k, qint16(windows[w].start), qint16(windows[w].end)));
            const bool schoolDay = d >= 2 && d <= 6;
            need(WriteCellFlag(folder, k, schoolDay || (d == 7 && w < 2)));
        }
    }

    need(SaveOptionBox(folder, Settings::SystemPrompt, true));
    need(SaveOptionBox(folder, Settings::RecordOnTime, true));
    need(SaveOptionBox(folder, Settings::SoundCues, true));
    need(SavePrecision(folder, 0, 0));
    need(SavePrecision(folder, 1, 1));
    need(SavePopupFont(folder,
                       FontChoice{QStringLiteral("WenQuanYi Micro Hei"), 24.0f, true, false}));
    need(SavePopupColour(folder, 0x00C04000));
    need(SaveAdminPassword(folder, QString()));
    std::array<qint16, 26> rosterWidths{};
    rosterWidths[1] = 1500;
    rosterWidths[2] = 1200;
    rosterWidths[6] = 1800;
    rosterWidths[7] = 1200;
    rosterWidths[12] = 1500;
    for (int c : {3, 4, 5, 9, 13, 19}) rosterWidths[size_t(c)] = 900;
    need(SaveRosterColumnWidths(folder, rosterWidths));
    need(SaveSignInColumnWidths(folder, {0, 2100, 1800, 1500, 1500, 1500, 1500, 1500, 1500}));
    need(SaveGridFont(folder,
                      FontChoice{QStringLiteral("WenQuanYi Micro Hei"), 13.0f, false, false}));

    if (!ok) return QStringLiteral("cannot write the settings in %1").arg(folder.root());
    RosterFile file;
    if (!file.open(folder)) return QStringLiteral("cannot write %1").arg(folder.roster());
    const double todayOle = DateToOle(today);
    for (int i = 1; i <= 40; ++i) {
        PersonRecord p;
        p.name =
            QString::fromUtf16(kSurnames[(i * 7) % 16]) + QString::fromUtf16(kGiven[(i * 5) % 26]);
        p.cardNumber = (qint64(3000100) + i * 37) * kFixedPointScale;
        const bool teacher = i % 10 == 0;
        p.firstDate = todayOle - 365.25 * (teacher ? 30 + i % 17 : 13 + i % 5) - i * 11;
        p.secondDate = todayOle - 365.25 * (teacher ? 5 + i % 9 : 1 + i % 3) - i * 3;
        p.flags = quint8((i % 3 == 0 ? 1 : 0) |
                         (i == 40 ? 2 : 0));  // the last one takes no part in sign-in
        p.texts[0] =
            QString::fromUtf16(kStreets[i % 5]) + QString::number(10 + i) + QStringLiteral("号");
        p.texts[1] =
            teacher ? QStringLiteral("教研组") : QStringLiteral("初二(%1)班").arg(1 + i % 4);
        p.choices[0] = teacher ? 0 : 1;
        p.numbers[0] = qint64(13800138000LL + i) * kFixedPointScale;
        p.numbers[1] = qint64(20260000 + i) * kFixedPointScale;
        if (file.write(i, p) != WriteResult::Written)
            return QStringLiteral("cannot write record %1").arg(i);
    }
    return {};
}

}  // namespace tallyra
