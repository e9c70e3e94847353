#pragma once

#include <QDir>
#include <QString>

namespace tallyra {

// Where each data file lives. Every file sits in one folder (by default the program's own).
class DataFolder {
public:
    explicit DataFolder(QString root) : root_(std::move(root)) {}
    const QString& root() const { return root_; }
    QString file(const QString& name) const { return QDir(root_).filePath(name); }

    QString roster() const { return file(QStringLiteral("Rw.dat")); }
    QString settings() const { return file(QStringLiteral("aset.dat")); }
    QString schema() const { return file(QStringLiteral("Dmode.dat")); }
    // The element list of choice field 9, 10 or 11 is named after the field number less one.
    QString choiceList(int field) const {
        return file(QStringLiteral("enids%1.dat").arg(field - 1));
    }
    QString timeWindows() const { return file(QStringLiteral("time.dat")); }
    QString dayStatus() const { return file(QStringLiteral("shuju.dat")); }
    QString lastRun() const { return file(QStringLiteral("urs.dat")); }
    // Files of our own beside the system's: the school calendar, the excused absences and
    // the kinds of leave offered.
    QString calendar() const { return file(QStringLiteral("calendar.dat")); }
    QString leave() const { return file(QStringLiteral("leave.dat")); }
    QString leaveKinds() const { return file(QStringLiteral("leavekind.dat")); }
    QString yearLogFolder() const { return file(QStringLiteral("adnt/sols")); }
    QString yearLog(int year) const {
        return QDir(yearLogFolder())
            .filePath(QStringLiteral("%1.dat").arg(year, 4, 10, QLatin1Char('0')));
    }
    QString sound(const QString& name) const {
        return QDir(file(QStringLiteral("sound"))).filePath(name);
    }

private:
    QString root_;
};

}  // namespace tallyra
