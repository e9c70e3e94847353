#pragma once

#include <QDate>
#include <QDialog>

#include "core/storeresult.h"

class QCalendarWidget;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QListWidget;

namespace tallyra {

class CalendarStore;
class Clock;
class Dialogs;
class Notifier;

// The school calendar: a month to pick days on (a click picks a day, a shift-click the end
// of a range), the days closed ("休息" with a name) or made up ("调休" running a weekday),
// opened again, and the whole calendar imported from or exported to an iCalendar file.
// Each change is stored when it is made.
class CalendarEditor : public QDialog {
    Q_OBJECT
public:
    CalendarEditor(CalendarStore& calendar, Notifier& notifier, Dialogs& dialogs,
                   const Clock& clock, QWidget* parent = nullptr);

    void closeDays();  // 休息
    void makeUpDay();  // 调休
    void openDays();   // 恢复上课
    void importIcs();  // 导入日历
    void exportIcs();  // 导出日历
    // Shows the calendar as it is stored, `around` in view.
    void showCalendar(const QDate& around = {});

Q_SIGNALS:
    // A change was stored: what shows today may have to follow.
    void changed();

private:
    void picked(const QDate& date);
    bool stored(StoreResult result, const QString& what);

    CalendarStore& calendar_;
    Notifier& notifier_;
    Dialogs& dialogs_;
    const Clock& clock_;
    QCalendarWidget* month_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* weekday_ = nullptr;
    QListWidget* days_ = nullptr;
};

}  // namespace tallyra
