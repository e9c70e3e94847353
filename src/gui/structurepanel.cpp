#include "gui/structurepanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "common/text.h"
#include "core/layout/dmode.h"
#include "core/notifier.h"
#include "core/schemastore.h"
#include "gui/gbkvalidator.h"

namespace tallyra {

namespace {

QString Fit(const QString& text, int width) { return text.left(width).leftJustified(width, u' '); }

}  // namespace

StructurePanel::StructurePanel(SchemaStore& schema, Notifier& notifier, QWidget* parent)
    : QFrame(parent), schema_(schema), notifier_(notifier) {
    setObjectName(QStringLiteral("Picture1_1"));
    auto* outer = new QHBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* table = new QWidget(scroll);
    auto* grid = new QGridLayout(table);
    const QStringList heads{QStringLiteral("序号"), QStringLiteral("数据名称"),
                            QStringLiteral("数据类型"), QStringLiteral("启用")};
    for (int c = 0; c < 4; ++c) {
        auto* h = new QLabel(heads[c], table);
        h->setObjectName(QStringLiteral("Label4_%1").arg(c));
        grid->addWidget(h, 0, c);
    }
    for (int i = 0; i < 25; ++i) {
        const int f = i + 1;
        auto* number = new QLabel(QString::number(f), table);
        number->setObjectName(QStringLiteral("Label1_%1").arg(i));
        titles_[size_t(i)] = new QLineEdit(table);
        titles_[size_t(i)]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        titles_[size_t(i)]->setValidator(
            new GbkLengthValidator(layout::dmode::kTitleBytes, titles_[size_t(i)]));
        auto* type = new QLabel(QString::fromUtf16(Field(f).typeLabel), table);
        type->setObjectName(QStringLiteral("Label5_%1").arg(i));
        enabled_[size_t(i)] = new QCheckBox(table);
        enabled_[size_t(i)]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        enabled_[size_t(i)]->setEnabled(f > 5);
        grid->addWidget(number, f, 0);
        grid->addWidget(titles_[size_t(i)], f, 1);
        grid->addWidget(type, f, 2);
        grid->addWidget(enabled_[size_t(i)], f, 3);
        connect(enabled_[size_t(i)], &QCheckBox::toggled, this, [this, i] { followCheck(i); });
        if (f >= 9 && f <= 11) {
            auto* b = new QPushButton(QStringLiteral("编辑内容"), table);
            b->setObjectName(QStringLiteral("Command6_%1").arg(i));
            editLists_[size_t(f - 9)] = b;
            grid->addWidget(b, f, 4);
            connect(b, &QPushButton::clicked, this, [this, i] { openElements(i); });
        }
        if (f == 4 || f >= 19) {
            auto* first = new QLineEdit(table);
            first->setObjectName(QStringLiteral("Text3_%1").arg(i));
            auto* second = new QLineEdit(table);
            second->setObjectName(QStringLiteral("Text4_%1").arg(i));
            first->setValidator(new GbkLengthValidator(layout::dmode::kLabelBytes, first));
            second->setValidator(new GbkLengthValidator(layout::dmode::kLabelBytes, second));
            grid->addWidget(first, f, 4);
            grid->addWidget(second, f, 5);
            if (f == 4) {
                first->setText(QStringLiteral("女"));
                second->setText(QStringLiteral("男"));
                first->setEnabled(false);
                second->setEnabled(false);
            } else {
                firstLabels_[size_t(f - 19)] = first;
                secondLabels_[size_t(f - 19)] = second;
            }
        }
    }
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("确定"), table);
    ok->setObjectName(QStringLiteral("Command3_0"));
    auto* no = new QPushButton(QStringLiteral("取消"), table);
    no->setObjectName(QStringLiteral("Command3_1"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(no);
    grid->addLayout(buttons, 26, 0, 1, 6);
    connect(ok, &QPushButton::clicked, this, &StructurePanel::apply);
    connect(no, &QPushButton::clicked, this, &StructurePanel::cancel);
    scroll->setWidget(table);
    outer->addWidget(scroll, 2);

    elements_ = new QFrame(this);
    elements_->setObjectName(QStringLiteral("Picture2"));
    elements_->setFrameShape(QFrame::StyledPanel);
    auto* ev = new QVBoxLayout(elements_);
    elementsTitle_ = new QLabel(QStringLiteral("“”中 元素编辑"), elements_);
    elementsTitle_->setObjectName(QStringLiteral("Label6"));
    ev->addWidget(elementsTitle_);
    auto* countRow = new QHBoxLayout;
    count_ = new QLineEdit(elements_);
    count_->setObjectName(QStringLiteral("Texint_0"));
    auto* setCount = new QPushButton(QStringLiteral("调整元素个数"), elements_);
    setCount->setObjectName(QStringLiteral("Command9"));
    countRow->addWidget(count_);
    countRow->addWidget(setCount);
    ev->addLayout(countRow);
    connect(setCount, &QPushButton::clicked, this, &StructurePanel::changeCount);
    list_ = new QListWidget(elements_);
    list_->setObjectName(QStringLiteral("List1"));
    ev->addWidget(list_, 1);
    connect(list_, &QListWidget::currentRowChanged, this, &StructurePanel::selectElement);
    number_ = new QLabel(QStringLiteral("编号----"), elements_);
    number_->setObjectName(QStringLiteral("Label7_1"));
    element_ = new QLineEdit(elements_);
    element_->setValidator(new GbkLengthValidator(layout::dmode::kElementBytes, element_));
    element_->setObjectName(QStringLiteral("Text2"));
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(number_);
    editRow->addWidget(element_, 1);
    ev->addLayout(editRow);
    auto* elementButtons = new QHBoxLayout;
    auto* modify = new QPushButton(QStringLiteral("修改"), elements_);
    modify->setObjectName(QStringLiteral("Command3_3"));
    auto* close = new QPushButton(QStringLiteral("关闭"), elements_);
    close->setObjectName(QStringLiteral("Command3_2"));
    elementButtons->addWidget(modify);
    elementButtons->addWidget(close);
    ev->addLayout(elementButtons);
    connect(modify, &QPushButton::clicked, this, &StructurePanel::modifyElement);
    connect(close, &QPushButton::clicked, this, &StructurePanel::closeElements);
    elements_->hide();
    outer->addWidget(elements_, 1);
}

void StructurePanel::fill() {
    const Schema& s = schema_.get();
    for (int i = 0; i < 25; ++i) {
        enabled_[size_t(i)]->setChecked(s.enabled[size_t(i)] != 0);
        titles_[size_t(i)]->setText(TrimBlanks(s.titles[size_t(i)]));
        followCheck(i);
    }
    for (int j = 0; j < 7; ++j) {
        firstLabels_[size_t(j)]->setText(TrimBlanks(s.twoValueLabels[size_t(j)]));
        secondLabels_[size_t(j)]->setText(TrimBlanks(s.twoValueLabels[size_t(j + 7)]));
    }
}

void StructurePanel::followCheck(int i) {
    const bool on = enabled_[size_t(i)]->isChecked() && i > 4;
    titles_[size_t(i)]->setEnabled(on);
    const int f = i + 1;
    if (f >= 9 && f <= 11) editLists_[size_t(f - 9)]->setEnabled(on);
    if (f >= 19) {
        firstLabels_[size_t(f - 19)]->setEnabled(on);
        secondLabels_[size_t(f - 19)]->setEnabled(on);
    }
}

void StructurePanel::apply() {
    FieldDefinitions d;
    for (int i = 0; i < 25; ++i) {
        d.enabled[size_t(i)] = enabled_[size_t(i)]->isChecked() ? 1 : 0;
        d.titles[size_t(i)] = Fit(titles_[size_t(i)]->text(), 24);
    }
    for (int j = 0; j < 7; ++j) {
        d.twoValueLabels[size_t(j)] = Fit(TrimBlanks(firstLabels_[size_t(j)]->text()), 6);
        d.twoValueLabels[size_t(j + 7)] = Fit(TrimBlanks(secondLabels_[size_t(j)]->text()), 6);
    }
    // The panel stays open with what was typed when it could not be stored.
    if (schema_.setDefinitions(d) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("数据结构")));
        return;
    }
    Q_EMIT closed();
}

void StructurePanel::cancel() { Q_EMIT closed(); }

void StructurePanel::openElements(int i) {
    if (i < 8 || i > 10) return;
    listField_ = i - 8;
    const Schema& s = schema_.get();
    count_->setText(QString::number(s.choiceCounts[size_t(listField_)]));
    elementsTitle_->setText(u'“' + titles_[size_t(i)]->text() + QStringLiteral("”中 元素编辑"));
    elements_->show();
    list_->clear();
    const int n = std::clamp<int>(s.choiceCounts[size_t(listField_)], 0, kChoiceSlots);
    for (int e = 0; e < n; ++e) list_->addItem(s.choiceElements[size_t(listField_)][size_t(e)]);
}

void StructurePanel::changeCount() {
    if (listField_ < 0) return;
    bool number = false;
    const int n = count_->text().trimmed().toInt(&number);
    if (!number || n <= 1 || n >= 65) {
        notifier_.ShowNotice(QStringLiteral("请输入2~64之间的数"));
        return;
    }
    if (schema_.setChoiceCount(listField_, n) != StoreResult::Stored) {
        notifier_.ShowFailure(NotSavedText(QStringLiteral("数据结构")));
        return;
    }
    const Schema& s = schema_.get();
    list_->clear();
    for (int e = 0; e < n; ++e) list_->addItem(s.choiceElements[size_t(listField_)][size_t(e)]);
}

void StructurePanel::selectElement(int row) {
    if (row < 0 || !list_->item(row)) return;
    number_->setText(QStringLiteral("编号%1").arg(row + 1));
    element_->setText(list_->item(row)->text());
}

void StructurePanel::modifyElement() {
    const int i = list_->currentRow();
    if (listField_ < 0 || i < 0) return;
    const QString text = Fit(TrimBlanks(element_->text()), 24);
    if (schema_.setElement(listField_, i, text) != StoreResult::Stored) {
        notifier_.ShowFailure(
            NotSavedText(schema_.get().title(9 + listField_) + QStringLiteral("的内容")));
        return;
    }
    list_->item(i)->setText(text);
}

void StructurePanel::closeElements() { elements_->hide(); }

}  // namespace tallyra
