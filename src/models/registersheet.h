#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

namespace tallyra {

// A day of one person in the monthly register, over the windows held that day.
enum class DayMark : quint8 {
    Blank,    // not come yet, no window held, or the person was not on the board yet
    Present,  // √ on time at every window (leave for some of them aside)
    Late,     // ○ late at one or more, absent at none
    Absent,   // × absent at one or more without leave
    Excused,  // 假 on leave for every window
    Closed,   // 休 the school calendar closes the day
};
QString DayMarkText(DayMark mark);

// How a person stood at one window.
enum class WindowMark : quint8 {
    NotHeld,     // no window, or a day that does not count
    Pending,     // today and not closed yet, no sign-in so far
    NotOnBoard,  // the window's on-time sign-ins were logged, and none of this person
    Unrecorded,  // no record: on time while on-time sign-ins were not logged
    OnTime,
    Late,
    Absent,
    Excused,  // on leave and not signed in (an absence the leave covers included)
};

struct WindowCell {
    WindowMark mark = WindowMark::NotHeld;
    qint16 minute = -1;  // of the record; -1 without one
    qint16 late = 0;     // minutes late of a late record
};

struct RegisterTotals {
    qint32 held = 0;     // days that count: marked other than blank and 休
    qint32 present = 0;  // √ and ○
    qint32 onTime = 0;   // √
    qint32 late = 0;     // late sign-ins (windows)
    qint64 lateMinutes = 0;
    qint32 absent = 0;   // × days
    qint32 excused = 0;  // 假 days
    // Present days over the days that count; negative when none counts.
    double rate() const { return held > 0 ? double(present) / double(held) : -1.0; }
    void add(const RegisterTotals& o);
    bool operator==(const RegisterTotals&) const = default;
};

// The total columns after the days, in their order.
enum RegisterTotal {
    kPresentDays,
    kOnTimeDays,
    kLateCount,
    kLateMinutes,
    kAbsentDays,
    kExcusedDays,
    kRate,
    kRegisterTotals
};
QString RegisterTotalTitle(int total);       // 出勤天数 … 出勤率
QString RegisterTotalShortTitle(int total);  // two characters, for the printed page
QString RegisterTotalHeader(int total);      // the title on two lines, for the grid
double RegisterTotalValue(const RegisterTotals& t, int total);
// "12", "95.5%"; the rate of a person with no day that counts is empty.
QString RegisterTotalText(const RegisterTotals& t, int total);
QString RegisterRateText(double rate);

struct RegisterDay {
    QDate date;
    int tableWeekday = 1;  // whose windows it runs, 1 = Sunday
    quint8 held = 0;       // windows held, bit w for window w
    bool closed = false;   // the calendar closes it
    QString closedName;
    bool future = false;  // after the station's day
    // The day has a column's worth of nothing to mark: closed, or no window held.
    bool shaded() const { return closed || held == 0; }
};

struct RegisterPerson {
    int index = 0;  // roster index
    QString name;
    int element = -1;  // of the grouping field, -1 without one
    RegisterTotals totals;
};

// One month: a row per person in roster order, a column per day.
struct RegisterSheet {
    QDate month;  // its first day
    std::vector<RegisterDay> days;
    std::vector<RegisterPerson> people;
    std::vector<DayMark> marks;     // row by row, a day after the other
    std::vector<WindowCell> cells;  // six per mark

    int dayCount() const { return int(days.size()); }
    int rowCount() const { return int(people.size()); }
    DayMark mark(int row, int day) const { return marks[size_t(row) * days.size() + size_t(day)]; }
    const WindowCell* windows(int row, int day) const {
        return &cells[(size_t(row) * days.size() + size_t(day)) * 6];
    }
    std::vector<int> allRows() const;
};

// A run of rows printed, shown or written as one: a class, or everyone.
struct RegisterPart {
    QString name;   // the element's text ("三年二班"), or 全部
    QString title;  // what the page says: "班级：三年二班"
    std::vector<int> rows;
};

// What the month looks like for a part: the share present each day, and how late the late
// ones were.
struct RegisterPicture {
    static constexpr int kBuckets = 6;
    static QString bucketTitle(int bucket);  // minutes: "1-5" … ">60"
    static int bucketOf(int minutesLate);
    std::vector<double> dayRates;  // present / counted per day, negative where none counted
    std::array<qint32, kBuckets> lateBuckets{};
    RegisterTotals totals;  // of every row
    int people = 0;
};
RegisterPicture PictureOf(const RegisterSheet& sheet, const std::vector<int>& rows);

// `rows` by a total column, ties in roster order; `total` < 0 gives roster order.
std::vector<int> SortRegisterRows(const RegisterSheet& sheet, std::vector<int> rows, int total,
                                  bool descending);

// The register as text lines of tab-separated cells: the day numbers with the total titles,
// the weekdays, then a line per row: name, the day marks, the totals.
QStringList RegisterTextLines(const RegisterSheet& sheet, const std::vector<int>& rows);
QString RegisterMonthText(const QDate& month);  // "2026年11月"

// The register grid: the name, a column per day (its number over its weekday in the
// header), the totals. A header click on a total sorts by it, the first click descending;
// on the name, back to roster order.
class RegisterTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { kMarkRole = Qt::UserRole + 1, kShadeRole };  // DayMark; 0, 1 no window, 2 closed
    using Detail = std::function<QString(int row, int day)>;
    explicit RegisterTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The sheet is kept by the caller and must outlive its use here.
    void setSheet(const RegisterSheet* sheet, std::vector<int> rows);
    void setDetail(Detail detail) { detail_ = std::move(detail); }
    const RegisterSheet* sheet() const { return sheet_; }
    // The sheet rows in the grid's order.
    const std::vector<int>& order() const { return order_; }
    int dayColumn(int day) const { return 1 + day; }
    int totalColumn(int total) const { return 1 + dayCount() + total; }
    // The total a column shows, or -1.
    int totalOf(int column) const;
    int dayOf(int column) const;
    void sortByColumn(int column);
    int sortedTotal() const { return sortTotal_; }
    bool sortedDescending() const { return descending_; }
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    int dayCount() const { return sheet_ ? sheet_->dayCount() : 0; }

    const RegisterSheet* sheet_ = nullptr;
    std::vector<int> rows_;    // roster order
    std::vector<int> order_;   // as shown
    std::vector<int> number_;  // by sheet row: its place in roster order, from 1
    int sortTotal_ = -1;
    bool descending_ = false;
    Detail detail_;
};

}  // namespace tallyra
