#include "gui/registerpanel.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "core/notifier.h"
#include "core/rollover.h"
#include "core/schemastore.h"
#include "gui/dialogs.h"
#include "gui/registerchart.h"
#include "gui/registerprint.h"
#include "sheets/registerxlsx.h"

namespace tallyra {

namespace {

// Colours for what the core's model only names: grey days without windows, the marks that
// need a second look.
class RegisterColours final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::BackgroundRole) return Shade(index.data(RegisterTableModel::kShadeRole));
        if (role == Qt::ForegroundRole) {
            const QVariant mark = index.data(RegisterTableModel::kMarkRole);
            if (!mark.isValid()) return {};
            const QColor colour = MarkColour(DayMark(mark.toInt()));
            return colour.isValid() ? QVariant(colour) : QVariant();
        }
        return QIdentityProxyModel::data(index, role);
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role == Qt::BackgroundRole && o == Qt::Horizontal)
            return Shade(sourceModel()->headerData(section, o, RegisterTableModel::kShadeRole));
        return QIdentityProxyModel::headerData(section, o, role);
    }

private:
    static QVariant Shade(const QVariant& shade) {
        const int s = shade.toInt();
        if (s == 2) return QColor(0xdc, 0xdc, 0xdc);
        if (s == 1) return QColor(0xec, 0xec, 0xec);
        return {};
    }
};

QPushButton* Button(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

// The typed name with the suffix it must have.
QString WithSuffix(const QString& path, const QString& suffix) {
    return QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0
               ? path
               : path + u'.' + suffix;
}

}  // namespace

RegisterPanel::RegisterPanel(std::function<RegisterSources(LogOrderMemo*)> sources,
                             const DataFolder& folder, const SchemaStore& schema,
                             const DayCaptions& day, Notifier& notifier, Dialogs& dialogs,
                             QWidget* parent)
    : QWidget(parent),
      sources_(std::move(sources)),
      folder_(folder),
      schema_(schema),
      day_(day),
      notifier_(notifier),
      dialogs_(dialogs) {
    setObjectName(QStringLiteral("RegisterPage"));
    settings_ = LoadRegisterSettings(folder_);
    month_ = QDate(day_.day.year(), day_.day.month(), 1);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    QPushButton* backButton =
        Button(QStringLiteral("返回查询"), QStringLiteral("RegisterBack"), this);
    connect(backButton, &QPushButton::clicked, this, &RegisterPanel::back);
    bar->addWidget(backButton);
    bar->addSpacing(12);
    bar->addWidget(new QLabel(QStringLiteral("月份"), this));
    QPushButton* previous = Button(QStringLiteral("◀"), QStringLiteral("RegisterPrevMonth"), this);
    monthBox_ = new QDateEdit(this);
    monthBox_->setObjectName(QStringLiteral("RegisterMonth"));
    monthBox_->setDisplayFormat(QStringLiteral("yyyy年MM月"));
    monthBox_->setMinimumDate(QDate(1900, 1, 1));
    QPushButton* next = Button(QStringLiteral("▶"), QStringLiteral("RegisterNextMonth"), this);
    for (QPushButton* b : {previous, next}) b->setMaximumWidth(32);
    connect(previous, &QPushButton::clicked, this, [this] { setMonth(month_.addMonths(-1)); });
    connect(next, &QPushButton::clicked, this, [this] { setMonth(month_.addMonths(1)); });
    connect(monthBox_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (!filling_) setMonth(d);
    });
    bar->addWidget(previous);
    bar->addWidget(monthBox_);
    bar->addWidget(next);
    bar->addSpacing(12);
    auto* groupLabel = new QLabel(QStringLiteral("分组"), this);
    field_ = new QComboBox(this);
    field_->setObjectName(QStringLiteral("RegisterField"));
    elementBox_ = new QComboBox(this);
    elementBox_->setObjectName(QStringLiteral("RegisterElement"));
    elementBox_->setMinimumContentsLength(6);
    connect(field_, &QComboBox::activated, this,
            [this](int i) { setGroup(field_->itemData(i).toInt(), -1); });
    connect(elementBox_, &QComboBox::activated, this,
            [this](int i) { setGroup(settings_.field, elementBox_->itemData(i).toInt()); });
    auto* schoolLabel = new QLabel(QStringLiteral("学校名称"), this);
    school_ = new QLineEdit(this);
    school_->setObjectName(QStringLiteral("RegisterSchool"));
    school_->setMaxLength(60);
    school_->setPlaceholderText(QStringLiteral("打印在月报上方"));
    connect(school_, &QLineEdit::editingFinished, this, &RegisterPanel::saveSchool);
    groupControls_ = {groupLabel, field_, elementBox_, schoolLabel, school_};
    for (QWidget* w : groupControls_) bar->addWidget(w);
    bar->addStretch();
    QPushButton* print = Button(QStringLiteral("打印"), QStringLiteral("RegisterPrint"), this);
    QPushButton* pdf = Button(QStringLiteral("导出PDF"), QStringLiteral("RegisterPdf"), this);
    QPushButton* xlsx =
        Button(QStringLiteral("导出电子表格"), QStringLiteral("RegisterXlsx"), this);
    connect(print, &QPushButton::clicked, this, &RegisterPanel::printRegister);
    connect(pdf, &QPushButton::clicked, this, &RegisterPanel::exportPdf);
    connect(xlsx, &QPushButton::clicked, this, &RegisterPanel::exportWorkbook);
    for (QPushButton* b : {print, pdf, xlsx}) bar->addWidget(b);
    v->addLayout(bar);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("RegisterSummary"));
    auto* legend = new QLabel(
        QStringLiteral("√ 按时　○ 迟到　× 缺勤　假 请假　休 休息日　（点按格子看各时段）"), this);
    legend->setObjectName(QStringLiteral("RegisterLegend"));
    sorted_ = new QLabel(this);
    sorted_->setObjectName(QStringLiteral("RegisterSorted"));
    auto* line = new QHBoxLayout;
    line->addWidget(summary_);
    line->addSpacing(16);
    line->addWidget(sorted_);
    line->addStretch();
    line->addWidget(legend);
    v->addLayout(line);

    auto* split = new QSplitter(Qt::Horizontal, this);
    view_ = new QTableView(split);
    view_->setObjectName(QStringLiteral("RegisterGrid"));
    auto* colours = new RegisterColours(this);
    colours->setSourceModel(&model_);
    view_->setModel(colours);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    // A size smaller than the other grids: a month of days and the totals fit in the width
    // the picture leaves.
    QFont small = view_->font();
    small.setPointSizeF(std::max(8.0, small.pointSizeF() * 0.9));
    view_->setFont(small);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setMinimumSectionSize(8);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->horizontalHeader()->setSectionsClickable(true);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
        model_.sortByColumn(c);
        showSort();
    });
    connect(view_, &QTableView::clicked, this, &RegisterPanel::showDetail);
    chart_ = new RegisterChart(split);
    split->addWidget(view_);
    split->addWidget(chart_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({920, 240});
    v->addWidget(split, 1);

    model_.setDetail([this](int row, int monthDay) {
        return RegisterDayDetail(build_.sheet, row, monthDay, sources_(nullptr).calendar);
    });
}

void RegisterPanel::showFor(bool admin, int personalIndex) {
    admin_ = admin;
    personalIndex_ = admin ? 0 : personalIndex;
    for (QWidget* w : groupControls_) w->setVisible(admin);
    if (isVisible()) refresh();
}

void RegisterPanel::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    refresh();
}

void RegisterPanel::refresh() {
    fillPickers();
    rebuild();
}

void RegisterPanel::setMonth(const QDate& month) {
    if (!month.isValid()) return;
    month_ = QDate(month.year(), month.month(), 1);
    filling_ = true;
    monthBox_->setDate(month_);
    filling_ = false;
    rebuild();
}

void RegisterPanel::setGroup(int field, int element) {
    if (field != settings_.field) {
        RegisterSettings changed = settings_;
        changed.field = field >= 9 && field <= 11 ? field : 0;
        // The choice is kept even when it could not be remembered; the user is told.
        if (!SaveRegisterSettings(folder_, changed))
            notifier_.ShowFailure(NotSavedText(QStringLiteral("月报的分组")));
        settings_.field = changed.field;
    }
    element_ = settings_.field ? element : -1;
    fillPickers();
    rebuild();
}

void RegisterPanel::saveSchool() {
    const QString name = school_->text().trimmed();
    if (name == settings_.school) return;
    RegisterSettings changed = settings_;
    changed.school = name;
    if (!SaveRegisterSettings(folder_, changed)) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("学校名称")));
        school_->setText(settings_.school);
        return;
    }
    settings_ = changed;
}

void RegisterPanel::fillPickers() {
    filling_ = true;
    monthBox_->setDate(month_);
    const Schema& schema = schema_.get();
    field_->clear();
    field_->addItem(QStringLiteral("不分组"), 0);
    for (int f = 9; f <= 11; ++f)
        if (schema.isEnabled(f)) field_->addItem(schema.title(f), f);
    int at = field_->findData(settings_.field);
    if (at < 0) {
        // A field no longer in use groups nobody.
        settings_.field = 0;
        element_ = -1;
        at = 0;
    }
    field_->setCurrentIndex(at);
    elementBox_->clear();
    elementBox_->addItem(QStringLiteral("全部"), -1);
    if (settings_.field) {
        const int count = std::clamp<int>(schema.choiceCounts[size_t(ChoiceSlot(settings_.field))],
                                          0, kChoiceSlots);
        for (int e = 0; e < count; ++e)
            elementBox_->addItem(schema.choiceElement(settings_.field, e), e);
    }
    at = elementBox_->findData(element_);
    elementBox_->setCurrentIndex(at < 0 ? 0 : at);
    if (at < 0) element_ = -1;
    elementBox_->setEnabled(settings_.field != 0);
    if (!school_->hasFocus()) school_->setText(settings_.school);
    filling_ = false;
}

void RegisterPanel::rebuild() {
    RegisterRequest request;
    request.month = month_;
    if (admin_) {
        request.group = {settings_.field, element_};
    } else {
        // Nobody loaded: an empty register, never everyone's.
        request.index = personalIndex_ > 0 ? personalIndex_ : -1;
    }
    model_.setSheet(nullptr, {});
    build_ = BuildRegister(sources_(&memo_), request);
    if (build_.error.failed())
        notifier_.ShowNotice(QStringLiteral("数据文件无法读取：") + build_.error.path +
                             QStringLiteral("（") + build_.error.reason() + QStringLiteral("）"));
    const RegisterSheet& s = build_.sheet;
    model_.setSheet(&s, s.allRows());
    // Narrow enough that a month of 31 days and the totals fit beside the picture.
    const QFontMetrics fm = view_->fontMetrics();
    view_->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("欧阳小明")) + 6);
    const int day = std::max(fm.horizontalAdvance(QStringLiteral("30")),
                             fm.horizontalAdvance(QStringLiteral("日"))) +
                    5;
    for (int d = 0; d < s.dayCount(); ++d) view_->setColumnWidth(model_.dayColumn(d), day);
    for (int t = 0; t < kRegisterTotals; ++t)
        view_->setColumnWidth(
            model_.totalColumn(t),
            fm.horizontalAdvance(t == kRate ? QStringLiteral("100.0%") : QStringLiteral("出勤")) +
                12);
    const RegisterPicture picture = PictureOf(s, s.allRows());
    const RegisterTotals& t = picture.totals;
    summary_->setText(
        QStringLiteral("%1  共%2人  应到%3人天  出勤%4  缺勤%5  请假%6  迟到%7次  出勤率%8")
            .arg(RegisterMonthText(s.month))
            .arg(s.rowCount())
            .arg(t.held)
            .arg(t.present)
            .arg(t.absent)
            .arg(t.excused)
            .arg(t.late)
            .arg(t.held > 0 ? RegisterRateText(t.rate()) : QStringLiteral("—")));
    chart_->setPicture(&s, picture);
    showSort();
}

void RegisterPanel::showSort() {
    // Said beside the grid as the statistics panel says it: an arrow in a narrow column's
    // header would push its title out.
    const int t = model_.sortedTotal();
    sorted_->setText(
        t < 0 ? QStringLiteral("按名单顺序")
              : u'“' + RegisterTotalTitle(t) + u'”' +
                    (model_.sortedDescending() ? QStringLiteral("降序") : QStringLiteral("升序")));
}

std::vector<RegisterPart> RegisterPanel::parts() const {
    const RegisterSheet& s = build_.sheet;
    if (!admin_) {
        const QString name = s.rowCount() > 0 ? s.people[0].name : QString();
        return {RegisterPart{name, QStringLiteral("姓名：") + name, s.allRows()}};
    }
    return RegisterParts(s, schema_.get(), {settings_.field, element_});
}

void RegisterPanel::showDetail(const QModelIndex& index) {
    const QString text = index.data(Qt::ToolTipRole).toString();
    if (text.isEmpty()) return;
    QToolTip::showText(view_->viewport()->mapToGlobal(view_->visualRect(index).bottomRight()), text,
                       view_);
}

void RegisterPanel::printRegister() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("考勤月报 ") + RegisterMonthText(month_));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印月报"));
    if (dialog.exec() != QDialog::Accepted) return;
    const RegisterPrint print{&build_.sheet, parts(), settings_.school, day_.day};
    if (!PaintRegister(printer, print)) notifier_.ShowFailure(QStringLiteral("月报未能打印"));
}

bool RegisterPanel::exportPdf() {
    const std::optional<QString> typed =
        dialogs_.saveFile(QStringLiteral("导出PDF"), QStringLiteral("PDF文件 (*.pdf)"));
    if (!typed) return false;
    const QString path = WithSuffix(*typed, QStringLiteral("pdf"));
    const RegisterPrint print{&build_.sheet, parts(), settings_.school, day_.day};
    QString why;
    if (!WriteRegisterPdf(path, print, &why)) {
        notifier_.ShowFailure(QStringLiteral("导出失败，文件无法写入：") + path);
        return false;
    }
    notifier_.ShowNotice(QStringLiteral("导出成功，共%1页").arg(print.pageCount()));
    return true;
}

bool RegisterPanel::exportWorkbook() {
    const std::optional<QString> typed = dialogs_.saveFile(
        QStringLiteral("导出电子表格"), QStringLiteral("*.xlsx(电子表格) (*.xlsx)"));
    if (!typed) return false;
    const ExportResult r = ExportRegister(
        RegisterWorkbook{&build_.sheet, parts(), settings_.school}, ExportFileName(*typed));
    if (!r.written) {
        notifier_.ShowFailure(r.notice() + QStringLiteral("：") + r.path);
        return false;
    }
    notifier_.ShowNotice(r.notice());
    return true;
}

}  // namespace tallyra
