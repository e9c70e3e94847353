#pragma once

#include <QWidget>

#include "models/registersheet.h"

class QPainter;

namespace tallyra {

// The picture of a month, painted the same on the screen and on paper: the share of the
// group present each day as bars (closed days marked 休), and how many minutes the late
// sign-ins were late. `font` is the small text's; sizes follow the area.
void PaintDayRates(QPainter& p, const QRectF& area, const RegisterSheet& sheet,
                   const RegisterPicture& picture, const QFont& font);
void PaintLateMinutes(QPainter& p, const QRectF& area, const RegisterPicture& picture,
                      const QFont& font);

// Beside the register grid: the two pictures of the rows it shows, one over the other.
class RegisterChart : public QWidget {
    Q_OBJECT
public:
    explicit RegisterChart(QWidget* parent = nullptr);
    // The sheet must outlive its showing here.
    void setPicture(const RegisterSheet* sheet, RegisterPicture picture);
    const RegisterPicture& picture() const { return picture_; }
    QSize sizeHint() const override { return {240, 420}; }
    QSize minimumSizeHint() const override { return {180, 240}; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    const RegisterSheet* sheet_ = nullptr;
    RegisterPicture picture_;
};

}  // namespace tallyra
