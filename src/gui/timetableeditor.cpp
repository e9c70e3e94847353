#include "gui/timetableeditor.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "common/datetime.h"
#include "core/notifier.h"
#include "gui/clicklabel.h"
#include "gui/dialogs.h"

namespace tallyra {

namespace {
constexpr int kParkedTop = -5000;
}  // namespace

TimeTableEditor::TimeTableEditor(TimeTableStore& table, Notifier& notifier, Dialogs& dialogs,
                                 QWidget* parent)
    : QWidget(parent), table_(table), notifier_(notifier), dialogs_(dialogs) {
    auto* grid = new QGridLayout(this);
    grid->setSpacing(2);
    for (int w = 0; w < kWindowCount; ++w) {
        auto* name = new ClickLabel(QString::fromUtf16(u"一二三四五六" + w, 1), this);
        name->setObjectName(QStringLiteral("Labsm_%1").arg(w));
        name->setAlignment(Qt::AlignCenter);
        name->setCursor(Qt::PointingHandCursor);
        name->setToolTip(QStringLiteral("点击修改标语"));
        QFont f = name->font();
        f.setBold(true);
        name->setFont(f);
        names_[size_t(w)] = name;
        grid->addWidget(name, 0, w + 1);
        connect(name, &ClickLabel::pressed, this, [this, w](Qt::MouseButton b) {
            if (b == Qt::LeftButton) renameWindow(w);
        });
    }
    for (int d = 0; d < 7; ++d) {
        auto* day = new QLabel(QStringLiteral("周") + WeekdayName(d + 1), this);
        grid->addWidget(day, d + 1, 0);
        for (int w = 0; w < kWindowCount; ++w) {
            const int k = 7 * w + d;
            auto* cell = new ClickLabel(QStringLiteral("07:30~08:00"), this);
            cell->setObjectName(QStringLiteral("Label9_%1").arg(k));
            cell->setAlignment(Qt::AlignCenter);
            cell->setFrameShape(QFrame::Box);
            cell->setMinimumSize(96, 26);
            auto* cover = new ClickLabel(QStringLiteral("[不设定]"), this);
            cover->setObjectName(QStringLiteral("Label9t_%1").arg(k));
            cover->setAlignment(Qt::AlignCenter);
            cover->setFrameShape(QFrame::Box);
            cover->setAutoFillBackground(true);
            QPalette p = cover->palette();
            p.setColor(QPalette::Window, Qt::white);
            p.setColor(QPalette::WindowText, Qt::black);
            cover->setPalette(p);
            // The cover lies over its cell and takes the clicks while it shows.
            grid->addWidget(cell, d + 1, w + 1);
            grid->addWidget(cover, d + 1, w + 1);
            cover->raise();
            cells_[size_t(k)] = cell;
            covers_[size_t(k)] = cover;
            connect(cell, &ClickLabel::pressed, this, [this, k](Qt::MouseButton b) {
                if (b == Qt::LeftButton) editCell(k);
                if (b == Qt::RightButton) setCellSet(k, false);
            });
            connect(cover, &ClickLabel::pressed, this, [this, k](Qt::MouseButton b) {
                if (b == Qt::RightButton) setCellSet(k, true);
            });
        }
    }

    input_ = new QFrame(this);
    input_->setObjectName(QStringLiteral("Picture5"));
    input_->setFrameShape(QFrame::StyledPanel);
    input_->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(input_);
    row->setContentsMargins(6, 6, 6, 6);
    QStringList hours, minutes;
    for (int h = 0; h < 24; ++h) hours << QStringLiteral("%1").arg(h, 2, 10, QChar(u'0'));
    for (int m = 0; m < 60; m += 5) minutes << QStringLiteral("%1").arg(m, 2, 10, QChar(u'0'));
    for (int i = 0; i < 4; ++i) {
        auto* box = new QComboBox(input_);
        box->setObjectName(QStringLiteral("Combo4_%1").arg(i));
        box->setEditable(true);  // typed times are taken too, but never join the lists
        box->setInsertPolicy(QComboBox::NoInsert);
        box->lineEdit()->installEventFilter(this);
        box->addItems(i % 2 == 0 ? hours : minutes);
        box->setMinimumContentsLength(2);
        boxes_[size_t(i)] = box;
        row->addWidget(box);
        if (i == 0 || i == 2) row->addWidget(new QLabel(QStringLiteral(":"), input_));
        if (i == 1) row->addWidget(new QLabel(QStringLiteral("~"), input_));
    }
    store_ = new QPushButton(QStringLiteral("确定"), input_);
    store_->setObjectName(QStringLiteral("Command3_8"));
    storeAll_ = new QPushButton(QStringLiteral("统一设定"), input_);
    storeAll_->setObjectName(QStringLiteral("Command3_12"));
    cancel_ = new QPushButton(QStringLiteral("取消"), input_);
    cancel_->setObjectName(QStringLiteral("Command3_10"));
    row->addWidget(store_);
    row->addWidget(storeAll_);
    row->addWidget(cancel_);
    connect(store_, &QPushButton::clicked, this, [this] { storeTimes(false); });
    connect(storeAll_, &QPushButton::clicked, this, [this] { storeTimes(true); });
    connect(cancel_, &QPushButton::clicked, this, &TimeTableEditor::parkInput);
    input_->adjustSize();
    parkInput();
    showTable();
}

void TimeTableEditor::showTable() {
    for (int k = 0; k < kCellCount; ++k) {
        cells_[size_t(k)]->setText(table_.get().cellCaption(k));
        covers_[size_t(k)]->setVisible(!table_.get().set[size_t(k)]);
    }
    for (int w = 0; w < kWindowCount; ++w) names_[size_t(w)]->setText(table_.get().displayName(w));
}

void TimeTableEditor::editCell(int k) {
    if (k < 0 || k >= kCellCount) return;
    const QString s = cells_[size_t(k)]->text();
    boxes_[0]->setCurrentText(s.mid(0, 2));
    boxes_[1]->setCurrentText(s.mid(3, 2));
    boxes_[2]->setCurrentText(s.mid(6, 2));
    boxes_[3]->setCurrentText(s.mid(9, 2));
    inputCell_ = k;
    const QRect at = cells_[size_t(k)]->geometry();
    int left = std::min(at.left(), width() - input_->width());
    input_->move(std::max(left, 0), at.top() + 12);
    input_->show();
    input_->raise();
}

void TimeTableEditor::storeTimes(bool allWeekdays) {
    if (inputCell_ < 0) return;
    std::array<QString, 4> texts;
    for (int i = 0; i < 4; ++i) texts[size_t(i)] = boxes_[size_t(i)]->currentText();
    const auto times = TimesOfBoxes(texts);
    if (!times) {
        notifier_.ShowNotice(QStringLiteral("时间输入错误"));
        return;
    }
    if (table_.setTimes(inputCell_, times->first, times->second, allWeekdays) !=
        StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("时间设定")));
        return;
    }
    const auto [first, last] = StoredCells(inputCell_, allWeekdays);
    for (int v = first; v <= last; ++v) cells_[size_t(v)]->setText(table_.get().cellCaption(v));
    parkInput();
}

bool TimeTableEditor::eventFilter(QObject* watched, QEvent* e) {
    // In a time box Enter stores the cell and Escape closes the panel.
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        for (QComboBox* box : boxes_) {
            if (watched != box->lineEdit()) continue;
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                storeTimes(false);
                return true;
            }
            if (key == Qt::Key_Escape) {
                parkInput();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TimeTableEditor::parkInput() {
    input_->move(input_->x(), kParkedTop);
    input_->hide();
}

bool TimeTableEditor::inputOpen() const { return input_->isVisibleTo(this); }

void TimeTableEditor::setCellSet(int k, bool on) {
    if (k < 0 || k >= kCellCount) return;
    if (table_.setCellSet(k, on) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("时间设定")));
        return;
    }
    covers_[size_t(k)]->setVisible(!on);
}

void TimeTableEditor::renameWindow(int w) {
    const std::optional<QString> answer = dialogs_.input(
        QStringLiteral("提示"), QStringLiteral("请输入标语:"), names_[size_t(w)]->text());
    if (!answer) return;
    if (table_.rename(w, *answer) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("时段名称")));
        return;
    }
    names_[size_t(w)]->setText(table_.get().displayName(w));
}
}  // namespace tallyra
