#include "gui/registerprint.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <memory>

#include "common/datetime.h"
#include "gui/registerchart.h"

namespace tallyra {

namespace {

// The page in millimetres: A4 across, the margins of a folder's punched edge and a
// printer's grip.
constexpr double kPageWidth = 297, kPageHeight = 210;
constexpr double kLeft = 10, kRight = 10, kTop = 10;
constexpr double kTitleHeight = 17;    // school and month, part and people
constexpr double kHeadHeight = 9;      // day numbers over weekdays
constexpr double kRowHeight = 4.5;     // 35 rows fill the page
constexpr double kFooterTop = 197;     // the page number line
constexpr double kPictureHeight = 50;  // the month's picture and the line to sign
constexpr double kNumberWidth = 8, kDayWidth = 6.1, kTotalWidth = 8.5, kRateWidth = 11;
constexpr double kTableTop = kTop + kTitleHeight;
constexpr double kBodyTop = kTableTop + kHeadHeight;

QString FontFamily() { return QStringLiteral("WenQuanYi Micro Hei"); }

QFont Font(double points, bool bold = false) {
    QFont f(FontFamily());
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QString Unit(int total) {
    switch (total) {
        case kLateCount:
            return QStringLiteral("次");
        case kLateMinutes:
            return QStringLiteral("分");
        case kRate:
            return {};
        default:
            return QStringLiteral("天");
    }
}

// One part's page, and what stands on it.
struct Page {
    int part = 0;
    int first = 0, count = 0;  // of the part's rows
    bool picture = false;      // the part's picture under the rows (or alone)
    int ofPart = 1, partPages = 1;
};

class Painter {
public:
    Painter(QPainter& p, const RegisterPrint& print, double unitsPerMm)
        : p_(p), print_(print), s_(*print.sheet), mm_(unitsPerMm) {
        small_ = Font(7);
        cell_ = Font(8);
        const int days = s_.dayCount();
        nameWidth_ = kPageWidth - kLeft - kRight - kNumberWidth - days * kDayWidth -
                     (kRegisterTotals - 1) * kTotalWidth - kRateWidth;
        x_.push_back(kLeft);
        x_.push_back(kLeft + kNumberWidth);
        x_.push_back(x_.back() + nameWidth_);
        for (int d = 0; d < days; ++d) x_.push_back(x_.back() + kDayWidth);
        for (int t = 0; t < kRegisterTotals; ++t)
            x_.push_back(x_.back() + (t == kRate ? kRateWidth : kTotalWidth));
    }

    void page(const Page& pg, int number, int pages) {
        const RegisterPart& part = print_.parts[size_t(pg.part)];
        title(part);
        double bottom = kBodyTop;
        if (pg.count > 0 || !pg.picture) {
            head();
            body(part, pg.first, pg.count);
            bottom = kBodyTop + std::max(pg.count, 1) * kRowHeight;
        } else {
            bottom = kTableTop;
        }
        if (pg.picture) picture(part, bottom + 5);
        footer(pg, number, pages);
    }

private:
    QRectF at(double x, double y, double w, double h) const {
        return QRectF(x * mm_, y * mm_, w * mm_, h * mm_);
    }
    void line(double x1, double y1, double x2, double y2) {
        p_.drawLine(QPointF(x1 * mm_, y1 * mm_), QPointF(x2 * mm_, y2 * mm_));
    }
    QPen pen(double widthMm, const QColor& colour = Qt::black) const {
        return QPen(colour, widthMm * mm_, Qt::SolidLine, Qt::FlatCap);
    }
    // Short texts repeat thousands of times (marks, day numbers, totals): measured once and
    // drawn at a point, which costs far less than laying each out in its box.
    void text(const QRectF& r, const QString& t, const QFont& font,
              Qt::Alignment align = Qt::AlignCenter) {
        if (t.isEmpty()) return;
        const Metrics& m = metrics(font);
        auto it = m.widths->constFind(t);
        if (it == m.widths->cend()) it = m.widths->insert(t, m.fm.horizontalAdvance(t));
        double x = r.left() + (r.width() - *it) / 2;
        if (align & Qt::AlignLeft) x = r.left();
        if (align & Qt::AlignRight) x = r.right() - *it;
        p_.setFont(font);
        p_.drawText(QPointF(x, r.center().y() + (m.fm.ascent() - m.fm.descent()) / 2), t);
    }
    struct Metrics {
        QFontMetricsF fm;
        std::shared_ptr<QHash<QString, double>> widths;
    };
    const Metrics& metrics(const QFont& font) {
        auto it = metrics_.find(font.pointSizeF());
        if (it == metrics_.end())
            it = metrics_.insert(font.pointSizeF(),
                                 Metrics{QFontMetricsF(font, p_.device()),
                                         std::make_shared<QHash<QString, double>>()});
        return *it;
    }

    void title(const RegisterPart& part) {
        p_.setPen(Qt::black);
        const QString heading = print_.school.isEmpty()
                                    ? QStringLiteral("考勤月报")
                                    : print_.school + QStringLiteral("  考勤月报");
        p_.setFont(Font(15, true));
        p_.drawText(at(kLeft, kTop, kPageWidth - kLeft - kRight, 8), Qt::AlignCenter, heading);
        const QRectF second = at(kLeft, kTop + 9, kPageWidth - kLeft - kRight, 6);
        p_.setFont(Font(10, true));
        p_.drawText(second, Qt::AlignLeft | Qt::AlignVCenter, part.title);
        p_.drawText(second, Qt::AlignCenter, RegisterMonthText(s_.month));
        p_.setFont(Font(9));
        p_.drawText(second, Qt::AlignRight | Qt::AlignVCenter,
                    QStringLiteral("共%1人    打印日期 %2")
                        .arg(part.rows.size())
                        .arg(IsoDateText(print_.printed)));
    }

    void shade(double top, double height) {
        for (int d = 0; d < s_.dayCount(); ++d)
            if (s_.days[size_t(d)].shaded())
                p_.fillRect(at(x_[size_t(2 + d)], top, kDayWidth, height),
                            QColor(0xe4, 0xe4, 0xe4));
    }

    void head() {
        const int days = s_.dayCount();
        p_.fillRect(at(kLeft, kTableTop, x_.back() - kLeft, kHeadHeight), QColor(0xf2, 0xf2, 0xf2));
        shade(kTableTop, kHeadHeight);
        p_.setPen(Qt::black);
        const double half = kHeadHeight / 2;
        text(at(x_[0], kTableTop, kNumberWidth, kHeadHeight), QStringLiteral("序号"), small_);
        text(at(x_[1], kTableTop, nameWidth_, kHeadHeight), QStringLiteral("姓名"), small_);
        for (int d = 0; d < days; ++d) {
            const QDate& date = s_.days[size_t(d)].date;
            text(at(x_[size_t(2 + d)], kTableTop, kDayWidth, half), QString::number(date.day()),
                 small_);
            text(at(x_[size_t(2 + d)], kTableTop + half, kDayWidth, half),
                 WeekdayName(WeekdayOf(date)), small_);
        }
        for (int t = 0; t < kRegisterTotals; ++t) {
            const double x = x_[size_t(2 + days + t)], w = x_[size_t(3 + days + t)] - x;
            const QString unit = Unit(t);
            text(at(x, kTableTop, w, unit.isEmpty() ? kHeadHeight : half),
                 RegisterTotalShortTitle(t), small_);
            text(at(x, kTableTop + half, w, half), unit, small_);
        }
    }

    void body(const RegisterPart& part, int first, int count) {
        const int days = s_.dayCount();
        const double height = std::max(count, 1) * kRowHeight;
        shade(kBodyTop, height);
        for (int k = 0; k < count; ++k) {
            const int r = part.rows[size_t(first + k)];
            const RegisterPerson& person = s_.people[size_t(r)];
            const double y = kBodyTop + k * kRowHeight;
            p_.setPen(Qt::black);
            text(at(x_[0], y, kNumberWidth, kRowHeight), QString::number(first + k + 1), small_);
            p_.setFont(cell_);
            p_.drawText(at(x_[1] + 1, y, nameWidth_ - 1.5, kRowHeight),
                        Qt::AlignLeft | Qt::AlignVCenter, person.name);
            for (int d = 0; d < days; ++d) {
                const DayMark m = s_.mark(r, d);
                if (m == DayMark::Blank) continue;
                const QColor colour = MarkColour(m);
                p_.setPen(colour.isValid() ? colour : QColor(Qt::black));
                text(at(x_[size_t(2 + d)], y, kDayWidth, kRowHeight), DayMarkText(m), cell_);
            }
            p_.setPen(Qt::black);
            for (int t = 0; t < kRegisterTotals; ++t)
                text(at(x_[size_t(2 + days + t)], y,
                        x_[size_t(3 + days + t)] - x_[size_t(2 + days + t)], kRowHeight),
                     RegisterTotalText(person.totals, t), cell_);
        }
        // The rules: thin ones between cells, a heavier one every five rows and round the
        // table, so a row is followed across the page.
        const double top = kTableTop, bottom = kBodyTop + height, right = x_.back();
        p_.setPen(pen(0.1, QColor(0x90, 0x90, 0x90)));
        for (int k = 1; k < std::max(count, 1); ++k)
            if (k % 5 != 0)
                line(kLeft, kBodyTop + k * kRowHeight, right, kBodyTop + k * kRowHeight);
        line(x_[2], top + kHeadHeight / 2, x_[size_t(2 + days)], top + kHeadHeight / 2);
        for (size_t c = 1; c + 1 < x_.size(); ++c) line(x_[c], top, x_[c], bottom);
        p_.setPen(pen(0.3));
        for (int k = 5; k < count; k += 5)
            line(kLeft, kBodyTop + k * kRowHeight, right, kBodyTop + k * kRowHeight);
        line(kLeft, kBodyTop, right, kBodyTop);
        line(x_[2], top, x_[2], bottom);
        line(x_[size_t(2 + days)], top, x_[size_t(2 + days)], bottom);
        p_.setPen(pen(0.4));
        p_.drawRect(at(kLeft, top, right - kLeft, bottom - top));
    }

    void picture(const RegisterPart& part, double top) {
        const RegisterPicture pic = PictureOf(s_, part.rows);
        const double width = kPageWidth - kLeft - kRight;
        const QFont font = Font(7);
        p_.setPen(Qt::black);
        PaintDayRates(p_, at(kLeft, top, width * 0.64, 40), s_, pic, font);
        PaintLateMinutes(p_, at(kLeft + width * 0.69, top, width * 0.31, 40), pic, font);
        const RegisterTotals& t = pic.totals;
        p_.setFont(Font(9));
        p_.setPen(Qt::black);
        const QRectF sums = at(kLeft, top + 42, width, 6);
        p_.drawText(sums, Qt::AlignLeft | Qt::AlignVCenter,
                    QStringLiteral("合计：应到%1人天，出勤%2，缺勤%3，请假%4，迟到%5次共%6分钟，"
                                   "出勤率%7")
                        .arg(t.held)
                        .arg(t.present)
                        .arg(t.absent)
                        .arg(t.excused)
                        .arg(t.late)
                        .arg(t.lateMinutes)
                        .arg(t.held > 0 ? RegisterRateText(t.rate()) : QStringLiteral("—")));
        p_.drawText(sums, Qt::AlignRight | Qt::AlignVCenter,
                    QStringLiteral("班主任签字：____________    日期：____________"));
    }

    void footer(const Page& pg, int number, int pages) {
        const QRectF r = at(kLeft, kFooterTop, kPageWidth - kLeft - kRight, 5);
        p_.setPen(Qt::black);
        p_.setFont(Font(7));
        p_.drawText(
            r, Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("√ 按时  ○ 迟到  × 缺勤  假 请假  休 休息日    出勤率 = 出勤天数 ÷ "
                           "应到天数（请假计入应到）"));
        p_.setFont(Font(8));
        p_.drawText(r, Qt::AlignCenter,
                    QStringLiteral("第 %1 页 / 共 %2 页").arg(number).arg(pages));
        p_.setFont(Font(7));
        p_.drawText(r, Qt::AlignRight | Qt::AlignVCenter,
                    print_.parts[size_t(pg.part)].name +
                        QStringLiteral(" 第%1/%2页").arg(pg.ofPart).arg(pg.partPages));
    }

    QPainter& p_;
    const RegisterPrint& print_;
    const RegisterSheet& s_;
    double mm_;
    QFont small_, cell_;
    double nameWidth_ = 0;
    std::vector<double> x_;           // column edges, mm
    QHash<double, Metrics> metrics_;  // by point size: the table's fonts differ in size alone
};

std::vector<Page> Pages(const RegisterPrint& print) {
    std::vector<Page> pages;
    const int perPage = RegisterPrint::kRowsPerPage;
    for (size_t k = 0; k < print.parts.size(); ++k) {
        const int rows = int(print.parts[k].rows.size());
        const size_t from = pages.size();
        int first = 0;
        do {
            const int count = std::min(perPage, rows - first);
            pages.push_back(Page{int(k), first, count});
            first += count;
        } while (first < rows);
        // The picture under the last rows when it fits, else on a page of its own.
        const double used = kBodyTop + std::max(pages.back().count, 1) * kRowHeight + 5;
        if (used + kPictureHeight <= kFooterTop - 1)
            pages.back().picture = true;
        else
            pages.push_back(Page{int(k), rows, 0, true});
        const int partPages = int(pages.size() - from);
        for (size_t p = from; p < pages.size(); ++p) {
            pages[p].ofPart = int(p - from) + 1;
            pages[p].partPages = partPages;
        }
    }
    return pages;
}

}  // namespace

std::vector<int> RegisterPrint::pagesOfParts() const {
    std::vector<int> out(parts.size(), 0);
    for (const Page& p : Pages(*this)) ++out[size_t(p.part)];
    return out;
}

int RegisterPrint::pageCount() const { return int(Pages(*this).size()); }

bool PaintRegister(QPagedPaintDevice& device, const RegisterPrint& print) {
    if (!print.sheet || print.parts.empty()) return false;
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&device)) return false;
    const std::vector<Page> pages = Pages(print);
    Painter painter(p, print, device.logicalDpiX() / 25.4);
    for (size_t k = 0; k < pages.size(); ++k) {
        if (k > 0 && !device.newPage()) return false;
        painter.page(pages[k], int(k) + 1, int(pages.size()));
    }
    return p.end();
}

bool WriteRegisterPdf(const QString& path, const RegisterPrint& print, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(600);
        pdf.setCreator(QStringLiteral("Tallyra"));
        pdf.setTitle(print.school + QStringLiteral("考勤月报 ") +
                     RegisterMonthText(print.sheet->month));
        if (!PaintRegister(pdf, print)) {
            file.cancelWriting();
            if (error) *error = QStringLiteral("无法生成PDF");
            return false;
        }
    }
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

QColor MarkColour(DayMark mark) {
    switch (mark) {
        case DayMark::Absent:
            return QColor(0xb0, 0x10, 0x10);
        case DayMark::Late:
            return QColor(0x1f, 0x4e, 0x9a);
        case DayMark::Closed:
            return QColor(0x70, 0x70, 0x70);
        default:
            return {};
    }
}

}  // namespace tallyra
