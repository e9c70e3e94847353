#include "gui/registerchart.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace tallyra {

namespace {

// Grey enough to print on any printer, coloured enough to tell apart on the screen.
const QColor kGood(0x4a, 0x8f, 0x5a);
const QColor kFair(0xd9, 0xa0, 0x30);
const QColor kPoor(0xc0, 0x50, 0x4d);
const QColor kShade(0xe8, 0xe8, 0xe8);
const QColor kGrid(0xc8, 0xc8, 0xc8);
const QColor kLate(0x4f, 0x6f, 0xa8);

QColor RateColour(double rate) { return rate >= 0.95 ? kGood : rate >= 0.85 ? kFair : kPoor; }

// The title line over a picture, with a note at its right; the rest of the area below it.
QRectF Titled(QPainter& p, const QRectF& area, const QString& title, const QString& note,
              const QFont& font) {
    const QFontMetricsF fm(font, p.device());
    QFont bold = font;
    bold.setBold(true);
    const QRectF line(area.left(), area.top(), area.width(), fm.height() * 1.2);
    p.setFont(bold);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setFont(font);
    p.drawText(line, Qt::AlignRight | Qt::AlignVCenter, note);
    return area.adjusted(0, line.height() + fm.height() * 0.3, 0, 0);
}

}  // namespace

void PaintDayRates(QPainter& p, const QRectF& area, const RegisterSheet& sheet,
                   const RegisterPicture& picture, const QFont& font) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetricsF fm(font, p.device());
    const double rate = picture.totals.rate();
    const QRectF body =
        Titled(p, area, QStringLiteral("每日出勤率"),
               rate < 0 ? QString() : QStringLiteral("本月 ") + RegisterRateText(rate), font);
    const double axis = fm.horizontalAdvance(QStringLiteral("100%")) + fm.height() * 0.4;
    const QRectF plot(body.left() + axis, body.top() + fm.height() * 0.5, body.width() - axis,
                      body.height() - fm.height() * 1.8);
    const int days = sheet.dayCount();
    if (days == 0 || plot.width() <= 0 || plot.height() <= 0) {
        p.restore();
        return;
    }
    const double slot = plot.width() / days;
    const double thin = std::max(1.0, fm.height() / 14);
    // Closed days and days without a window as grey columns behind the bars.
    for (int d = 0; d < days; ++d) {
        const RegisterDay& day = sheet.days[size_t(d)];
        if (day.shaded())
            p.fillRect(QRectF(plot.left() + d * slot, plot.top(), slot, plot.height()), kShade);
    }
    p.setPen(QPen(kGrid, thin));
    for (int pct = 0; pct <= 100; pct += 25) {
        const double y = plot.bottom() - plot.height() * pct / 100.0;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(body.left(), y - fm.height() / 2, axis - fm.height() * 0.2, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(pct) + u'%');
        p.setPen(QPen(kGrid, thin));
    }
    // Day numbers under the bars: every day where they fit, else the 1st and every 5th.
    const bool everyDay = slot >= fm.horizontalAdvance(QStringLiteral("30")) * 1.15;
    for (int d = 0; d < days; ++d) {
        const RegisterDay& day = sheet.days[size_t(d)];
        const QRectF column(plot.left() + d * slot, plot.top(), slot, plot.height());
        const double r = picture.dayRates[size_t(d)];
        if (r >= 0) {
            const double h = plot.height() * r;
            p.fillRect(QRectF(column.left() + slot * 0.15, plot.bottom() - h, slot * 0.7, h),
                       RateColour(r));
        } else if (day.closed && slot >= fm.height() * 0.8) {
            p.setPen(Qt::darkGray);
            p.drawText(QRectF(column.left(), plot.bottom() - fm.height() * 1.2, slot, fm.height()),
                       Qt::AlignCenter, QStringLiteral("休"));
        }
        const int n = day.date.day();
        if (everyDay || n == 1 || n % 5 == 0) {
            p.setPen(Qt::black);
            p.drawText(QRectF(column.center().x() - fm.height(), plot.bottom() + fm.height() * 0.2,
                              2 * fm.height(), fm.height()),
                       Qt::AlignCenter, QString::number(n));
        }
    }
    if (rate >= 0) {
        // The month's rate across the bars.
        QPen dashed(Qt::black, thin, Qt::DashLine);
        p.setPen(dashed);
        const double y = plot.bottom() - plot.height() * rate;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(QPen(Qt::black, thin));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.restore();
}

void PaintLateMinutes(QPainter& p, const QRectF& area, const RegisterPicture& picture,
                      const QFont& font) {
    p.save();
    const QFontMetricsF fm(font, p.device());
    qint32 total = 0, most = 1;
    for (qint32 n : picture.lateBuckets) {
        total += n;
        most = std::max(most, n);
    }
    const QRectF body =
        Titled(p, area, QStringLiteral("迟到分钟分布"), QStringLiteral("共%1次").arg(total), font);
    const QRectF plot(body.left(), body.top() + fm.height() * 1.2, body.width(),
                      body.height() - fm.height() * 2.6);
    if (plot.height() <= 0 || plot.width() <= 0) {
        p.restore();
        return;
    }
    const double thin = std::max(1.0, fm.height() / 14);
    if (total == 0) {
        p.setPen(Qt::darkGray);
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("本月无迟到"));
    } else {
        const double slot = plot.width() / RegisterPicture::kBuckets;
        for (int b = 0; b < RegisterPicture::kBuckets; ++b) {
            const qint32 n = picture.lateBuckets[size_t(b)];
            const double h = plot.height() * double(n) / double(most);
            const QRectF column(plot.left() + b * slot, plot.top(), slot, plot.height());
            p.fillRect(QRectF(column.left() + slot * 0.2, plot.bottom() - h, slot * 0.6, h), kLate);
            p.setPen(Qt::black);
            p.drawText(
                QRectF(column.left(), plot.bottom() - h - fm.height() * 1.1, slot, fm.height()),
                Qt::AlignCenter, QString::number(n));
        }
        for (int b = 0; b < RegisterPicture::kBuckets; ++b)
            p.drawText(QRectF(plot.left() + b * slot - slot * 0.1,
                              plot.bottom() + fm.height() * 0.2, slot * 1.2, fm.height()),
                       Qt::AlignCenter, RegisterPicture::bucketTitle(b));
    }
    p.setPen(QPen(Qt::black, thin));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.restore();
}

RegisterChart::RegisterChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RegisterChart"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RegisterChart::setPicture(const RegisterSheet* sheet, RegisterPicture picture) {
    sheet_ = sheet;
    picture_ = std::move(picture);
    update();
}

void RegisterChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    if (!sheet_ || sheet_->dayCount() == 0) return;
    const QRectF all = QRectF(rect()).adjusted(8, 6, -8, -6);
    const double split = all.height() * 0.6;
    PaintDayRates(p, QRectF(all.left(), all.top(), all.width(), split - 8), *sheet_, picture_,
                  font());
    PaintLateMinutes(
        p, QRectF(all.left(), all.top() + split + 8, all.width(), all.height() - split - 8),
        picture_, font());
}

}  // namespace tallyra
