#include "models/registersheet.h"

#include <algorithm>

#include "common/datetime.h"

namespace tallyra {

QString DayMarkText(DayMark mark) {
    switch (mark) {
        case DayMark::Present:
            return QStringLiteral("√");
        case DayMark::Late:
            return QStringLiteral("○");
        case DayMark::Absent:
            return QStringLiteral("×");
        case DayMark::Excused:
            return QStringLiteral("假");
        case DayMark::Closed:
            return QStringLiteral("休");
        case DayMark::Blank:
            break;
    }
    return {};
}

void RegisterTotals::add(const RegisterTotals& o) {
    held += o.held;
    present += o.present;
    onTime += o.onTime;
    late += o.late;
    lateMinutes += o.lateMinutes;
    absent += o.absent;
    excused += o.excused;
}

QString RegisterTotalTitle(int total) {
    static const char16_t* const kTitles[] = {u"出勤天数", u"正常天数", u"迟到次数", u"迟到分钟",
                                              u"缺勤天数", u"请假天数", u"出勤率"};
    return total >= 0 && total < kRegisterTotals ? QString::fromUtf16(kTitles[total]) : QString();
}

QString RegisterTotalShortTitle(int total) {
    static const char16_t* const kTitles[] = {u"出勤", u"正常", u"迟到",  u"迟分",
                                              u"缺勤", u"请假", u"出勤率"};
    return total >= 0 && total < kRegisterTotals ? QString::fromUtf16(kTitles[total]) : QString();
}

QString RegisterTotalHeader(int total) {
    const QString title = RegisterTotalTitle(total);
    return title.size() == 4 ? title.left(2) + u'\n' + title.mid(2) : title;
}

double RegisterTotalValue(const RegisterTotals& t, int total) {
    switch (total) {
        case kPresentDays:
            return t.present;
        case kOnTimeDays:
            return t.onTime;
        case kLateCount:
            return t.late;
        case kLateMinutes:
            return double(t.lateMinutes);
        case kAbsentDays:
            return t.absent;
        case kExcusedDays:
            return t.excused;
        case kRate:
            return t.rate();
        default:
            return 0;
    }
}

QString RegisterRateText(double rate) {
    if (rate < 0) return {};
    // Tenths of a percent, halves up, so 2 of 3 shows 66.7% and never 66.6%.
    const qint64 tenths = qint64(rate * 1000.0 + 0.5);
    return QString::number(tenths / 10) + u'.' + QString::number(tenths % 10) + u'%';
}

QString RegisterTotalText(const RegisterTotals& t, int total) {
    if (total == kRate) return RegisterRateText(t.rate());
    return QString::number(qint64(RegisterTotalValue(t, total)));
}

std::vector<int> RegisterSheet::allRows() const {
    std::vector<int> rows(people.size());
    for (size_t r = 0; r < rows.size(); ++r) rows[r] = int(r);
    return rows;
}

QString RegisterPicture::bucketTitle(int bucket) {
    static const char16_t* const kTitles[] = {u"1-5",   u"6-10",  u"11-15",
                                              u"16-30", u"31-60", u">60"};
    return bucket >= 0 && bucket < kBuckets ? QString::fromUtf16(kTitles[bucket]) : QString();
}

int RegisterPicture::bucketOf(int minutesLate) {
    if (minutesLate <= 5) return 0;
    if (minutesLate <= 10) return 1;
    if (minutesLate <= 15) return 2;
    if (minutesLate <= 30) return 3;
    if (minutesLate <= 60) return 4;
    return 5;
}

RegisterPicture PictureOf(const RegisterSheet& sheet, const std::vector<int>& rows) {
    RegisterPicture p;
    const int days = sheet.dayCount();
    std::vector<qint32> counted(size_t(days), 0), present(size_t(days), 0);
    for (int r : rows) {
        p.totals.add(sheet.people[size_t(r)].totals);
        for (int d = 0; d < days; ++d) {
            const DayMark m = sheet.mark(r, d);
            if (m == DayMark::Blank || m == DayMark::Closed) continue;
            ++counted[size_t(d)];
            present[size_t(d)] += m == DayMark::Present || m == DayMark::Late;
            if (m != DayMark::Late && m != DayMark::Absent) continue;
            const WindowCell* w = sheet.windows(r, d);
            for (int k = 0; k < 6; ++k)
                if (w[k].mark == WindowMark::Late)
                    ++p.lateBuckets[size_t(RegisterPicture::bucketOf(w[k].late))];
        }
    }
    p.people = int(rows.size());
    p.dayRates.resize(size_t(days));
    for (int d = 0; d < days; ++d)
        p.dayRates[size_t(d)] =
            counted[size_t(d)] > 0 ? double(present[size_t(d)]) / double(counted[size_t(d)]) : -1.0;
    return p;
}

std::vector<int> SortRegisterRows(const RegisterSheet& sheet, std::vector<int> rows, int total,
                                  bool descending) {
    if (total < 0 || total >= kRegisterTotals) {
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    std::vector<std::pair<double, int>> keyed;
    keyed.reserve(rows.size());
    for (int r : rows)
        keyed.emplace_back(RegisterTotalValue(sheet.people[size_t(r)].totals, total), r);
    std::sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        if (a.first != b.first) return descending ? a.first > b.first : a.first < b.first;
        return a.second < b.second;
    });
    for (size_t k = 0; k < rows.size(); ++k) rows[k] = keyed[k].second;
    return rows;
}

QString RegisterMonthText(const QDate& month) {
    return QStringLiteral("%1年%2月").arg(month.year()).arg(month.month());
}

QStringList RegisterTextLines(const RegisterSheet& sheet, const std::vector<int>& rows) {
    QStringList lines;
    QStringList numbers{QStringLiteral("姓名")}, weekdays{QString()};
    for (const RegisterDay& d : sheet.days) {
        numbers << QString::number(d.date.day());
        weekdays << WeekdayName(WeekdayOf(d.date));
    }
    for (int t = 0; t < kRegisterTotals; ++t) {
        numbers << RegisterTotalTitle(t);
        weekdays << QString();
    }
    lines << numbers.join(u'\t') << weekdays.join(u'\t');
    for (int r : rows) {
        const RegisterPerson& p = sheet.people[size_t(r)];
        QStringList cells{p.name};
        for (int d = 0; d < sheet.dayCount(); ++d) cells << DayMarkText(sheet.mark(r, d));
        for (int t = 0; t < kRegisterTotals; ++t) cells << RegisterTotalText(p.totals, t);
        lines << cells.join(u'\t');
    }
    return lines;
}

void RegisterTableModel::setSheet(const RegisterSheet* sheet, std::vector<int> rows) {
    beginResetModel();
    sheet_ = sheet;
    rows_ = std::move(rows);
    number_.assign(sheet ? size_t(sheet->rowCount()) : 0, 0);
    for (size_t k = 0; k < rows_.size(); ++k) number_[size_t(rows_[k])] = int(k) + 1;
    order_ = sheet ? SortRegisterRows(*sheet, rows_, sortTotal_, descending_) : rows_;
    endResetModel();
}

int RegisterTableModel::totalOf(int column) const {
    const int t = column - 1 - dayCount();
    return t >= 0 && t < kRegisterTotals ? t : -1;
}

int RegisterTableModel::dayOf(int column) const {
    return column >= 1 && column <= dayCount() ? column - 1 : -1;
}

void RegisterTableModel::sortByColumn(int column) {
    const int total = totalOf(column);
    if (total < 0 && column != 0) return;  // the days are not sorted by
    if (total < 0) {
        sortTotal_ = -1;
        descending_ = false;
    } else {
        descending_ = total == sortTotal_ ? !descending_ : true;
        sortTotal_ = total;
    }
    if (!sheet_) return;
    Q_EMIT layoutAboutToBeChanged();
    order_ = SortRegisterRows(*sheet_, rows_, sortTotal_, descending_);
    Q_EMIT layoutChanged();
}

QString RegisterTableModel::text(int row, int column) const {
    if (!sheet_ || row < 0 || row >= int(order_.size())) return {};
    const int r = order_[size_t(row)];
    if (column == 0) return sheet_->people[size_t(r)].name;
    if (const int d = dayOf(column); d >= 0) return DayMarkText(sheet_->mark(r, d));
    if (const int t = totalOf(column); t >= 0)
        return RegisterTotalText(sheet_->people[size_t(r)].totals, t);
    return {};
}

int RegisterTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(order_.size());
}

int RegisterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sheet_ ? 0 : 1 + dayCount() + kRegisterTotals;
}

QVariant RegisterTableModel::data(const QModelIndex& index, int role) const {
    if (!sheet_ || !index.isValid() || index.row() >= int(order_.size())) return {};
    const int r = order_[size_t(index.row())];
    const int d = dayOf(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return text(index.row(), index.column());
        case Qt::TextAlignmentRole:
            return index.column() == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                       : int(Qt::AlignCenter);
        case Qt::ToolTipRole:
            return d >= 0 && detail_ ? detail_(r, d) : QVariant();
        case kMarkRole:
            return d >= 0 ? int(sheet_->mark(r, d)) : QVariant();
        case kShadeRole: {
            if (d < 0) return 0;
            const RegisterDay& day = sheet_->days[size_t(d)];
            return day.closed ? 2 : day.held == 0 ? 1 : 0;
        }
        default:
            return {};
    }
}

QVariant RegisterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!sheet_) return {};
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole || section < 0 || section >= int(order_.size())) return {};
        return number_[size_t(order_[size_t(section)])];
    }
    const int d = dayOf(section);
    switch (role) {
        case Qt::DisplayRole:
            if (section == 0) return QStringLiteral("姓名");
            if (d >= 0) {
                const QDate& date = sheet_->days[size_t(d)].date;
                return QString::number(date.day()) + u'\n' + WeekdayName(WeekdayOf(date));
            }
            return RegisterTotalHeader(totalOf(section));
        case Qt::ToolTipRole:
            if (totalOf(section) >= 0) return RegisterTotalTitle(totalOf(section));
            if (d >= 0) {
                const RegisterDay& day = sheet_->days[size_t(d)];
                if (day.closed)
                    return day.closedName.isEmpty() ? QStringLiteral("休息日") : day.closedName;
                if (day.held == 0) return QStringLiteral("无签到时段");
            }
            return {};
        case kShadeRole:
            if (d < 0) return 0;
            return sheet_->days[size_t(d)].closed ? 2 : sheet_->days[size_t(d)].held == 0 ? 1 : 0;
        default:
            return {};
    }
}

}  // namespace tallyra
