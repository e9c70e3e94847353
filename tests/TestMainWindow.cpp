#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>

#include "apprig.h"
#include "common/translations.h"
#include "core/rosterrows.h"
#include "gui/gridview.h"
#include "gui/settingspanel.h"
#include "gui/timetableeditor.h"
#include "must.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

void Click(MainWindow& w, const QString& name, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* c = Find(w, name);
    QVERIFY(c);
    QTest::mouseClick(c, button, {}, c->rect().center());
}

// Bytes of `after` that differ from `before`, as offsets.
QList<int> Changed(const QByteArray& before, const QByteArray& after) {
    QList<int> out;
    for (int i = 0; i < std::max(before.size(), after.size()); ++i)
        if (i >= before.size() || i >= after.size() || before[i] != after[i]) out << i;
    return out;
}

struct Running {
    AppRig rig;
    Session session{rig.parts()};
    explicit Running(const QString& password = QString()) {
        if (!password.isEmpty()) Must(SaveAdminPassword(rig.folder, password));
        session.StartUp();
        session.window().show();
    }
    MainWindow& w() { return session.window(); }
    QString lastNotice() { return session.popups().stack().text(1); }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void adminModeAtStart_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("admin");
        QTest::newRow("no password") << QString() << true;
        QTest::newRow("a password") << "秘密1" << false;
    }
    void adminModeAtStart() {
        QFETCH(QString, password);
        QFETCH(bool, admin);
        Running app(password);
        QCOMPARE(app.w().adminMode(), admin);
        QCOMPARE(app.w().currentPanel(), 4);
        QCOMPARE(app.w().shownPanel(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Find(app.w(), QStringLiteral("Command1_%1").arg(i))->isVisible(), admin);
        QCOMPARE(Find(app.w(), "Command11")->isVisible(), admin);
        QVERIFY(Find(app.w(), "Command1_4")->isVisible());
        QCOMPARE(Find<QPushButton>(app.w(), "Command4")->text(), "管理/签到");
        QCOMPARE(Find<QPushButton>(app.w(), "Command2")->text(), "退出程序");
        QCOMPARE(Find<QLabel>(app.w(), "Label56")->text(), "Ver 1.01");
        // Panels 0-2 need administrator mode; the request still counts as the panel.
        app.w().ShowPanel(2);
        QCOMPARE(app.w().currentPanel(), 2);
        QCOMPARE(app.w().shownPanel(), admin ? 2 : 4);
    }

    void loginAndToggle() {
        Running app(QStringLiteral("abc"));
        Click(app.w(), "Command4");
        QWidget* login = Find(app.w(), "Picture6");
        QVERIFY(login->isVisible());
        auto* box = Find<QLineEdit>(app.w(), "Text9");
        QCOMPARE(box->echoMode(), QLineEdit::Password);
        QTest::keyClicks(box, "abd");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(app.lastNotice(), "密码错误");
        QVERIFY(!login->isVisible());
        QVERIFY(box->text().isEmpty());
        QVERIFY(!app.w().adminMode());

        Click(app.w(), "Command4");
        QTest::keyClicks(box, "abc");
        Click(app.w(), "Command3_13");
        QVERIFY(app.w().adminMode());
        QVERIFY(Find(app.w(), "Command1_0")->isVisible());
        app.w().ShowPanel(0);
        QCOMPARE(app.w().shownPanel(), 0);
        // Leaving administrator mode always returns to the sign-in panel.
        Click(app.w(), "Command4");
        QVERIFY(!app.w().adminMode());
        QCOMPARE(app.w().shownPanel(), 4);
        QVERIFY(!Find(app.w(), "Command1_0")->isVisible());
        // Escape closes the login box with nothing typed kept.
        Click(app.w(), "Command4");
        QTest::keyClicks(box, "ab");
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(!login->isVisible());
        QVERIFY(box->text().isEmpty());
        QVERIFY(!app.w().adminMode());
    }

    void panelSwitchClosesTheRosterFile() {
        Running app;
        app.w().ShowPanel(2);
        QVERIFY(app.session.station().roster().isOpen());
        app.w().ShowPanel(4);
        QVERIFY(!app.session.station().roster().isOpen());
        app.w().ShowPanel(5);
        QVERIFY(app.session.station().roster().isOpen());
        Click(app.w(), "Command1_3");
        QVERIFY(!app.session.station().roster().isOpen());
        QCOMPARE(app.w().shownPanel(), 3);
    }

    void statisticsNeedAPersonOutsideAdminMode() {
        Running app(QStringLiteral("abc"));
        app.w().ShowPanel(3);
        QCOMPARE(app.w().shownPanel(), -1);  // nobody loaded in the personal centre
        QCOMPARE(Find<QLineEdit>(app.w(), "Text7_1")->text(), "2026-12-08");
        QCOMPARE(Find<QLineEdit>(app.w(), "Text7_0")->text(), "2025-12-08");
        QCOMPARE(Find<QComboBox>(app.w(), "Combo2_1")->currentText(), "六");
    }

    void cellFlagsWriteOneByte() {
        Running app;
        app.w().ShowPanel(0);
        const QString path = app.rig.folder.timeWindows();
        QByteArray before = ReadAll(path);
        const int k = 22;  // window 3, Monday: set in the demo
        QVERIFY(Find(app.w(), "Label9t_22")->isHidden());
        Click(app.w(), "Label9_22", Qt::RightButton);
        QVERIFY(!Find(app.w(), "Label9t_22")->isHidden());
        QCOMPARE(Changed(before, ReadAll(path)), QList<int>{200 + k});
        QCOMPARE(ReadAll(path)[200 + k], '\0');
        QVERIFY(!app.session.station().timeTable().get().set[size_t(k)]);
        Click(app.w(), "Label9t_22", Qt::LeftButton);  // the left button does nothing
        QCOMPARE(ReadAll(path)[200 + k], '\0');
        Click(app.w(), "Label9t_22", Qt::RightButton);
        QCOMPARE(ReadAll(path), before);
    }

    void storingTimes_data() {
        QTest::addColumn<bool>("allWeekdays");
        QTest::addColumn<QList<int>>("cells");
        QTest::newRow("one cell") << false << QList<int>{10};
        QTest::newRow("统一设定") << true << QList<int>{7, 8, 9, 10, 11, 12, 13};
    }
    void storingTimes() {
        QFETCH(bool, allWeekdays);
        QFETCH(QList<int>, cells);
        Running app;
        app.w().ShowPanel(0);
        const QString path = app.rig.folder.timeWindows();
        const QByteArray before = ReadAll(path);
        Click(app.w(), "Label9_10");
        QWidget* input = Find(app.w(), "Picture5");
        QVERIFY(input->isVisible());
        QCOMPARE(Find<QComboBox>(app.w(), "Combo4_0")->currentText(), "07");
        QCOMPARE(Find<QComboBox>(app.w(), "Combo4_1")->count(), 12);
        QCOMPARE(Find<QComboBox>(app.w(), "Combo4_2")->count(), 24);
        const QStringList times{"8", "05", "09", "30"};  // typed text is taken too
        for (int i = 0; i < 4; ++i)
            Find<QComboBox>(app.w(), QStringLiteral("Combo4_%1").arg(i))->setCurrentText(times[i]);
        Click(app.w(), allWeekdays ? "Command3_12" : "Command3_8");
        QVERIFY(!input->isVisible());
        QList<int> expected;
        for (int v : cells) {
            QCOMPARE(Find<QLabel>(app.w(), QStringLiteral("Label9_%1").arg(v))->text(),
                     "08:05~09:30");
            expected << 2 * v << 2 * v + 1 << 100 + 2 * v << 101 + 2 * v;
        }
        QList<int> changed = Changed(before, ReadAll(path));
        // Bytes that already held the new value do not show as changed.
        for (int offset : changed)
            QVERIFY2(expected.contains(offset), qPrintable(QString::number(offset)));
        const QByteArray after = ReadAll(path);
        for (int v : cells) {
            QCOMPARE(after.mid(2 * v, 2), Le16(8 * 60 + 5));
            QCOMPARE(after.mid(100 + 2 * v, 2), Le16(9 * 60 + 30));
        }
        QCOMPARE(after.mid(200, 42), before.mid(200, 42));  // flags untouched
    }

    void badTimesAreRefused_data() {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("key");  // 0: the 确定 button
        QTest::newRow("start not before end") << QStringList{"08", "30", "08", "30"} << 0;
        QTest::newRow("hour 24") << QStringList{"24", "00", "25", "00"} << 0;
        QTest::newRow("minute 60") << QStringList{"08", "60", "09", "00"} << int(Qt::Key_Return);
        QTest::newRow("not a number") << QStringList{"ab", "00", "09", "00"} << int(Qt::Key_Enter);
        QTest::newRow("a fraction") << QStringList{"7.5", "00", "09", "00"} << 0;
    }
    void badTimesAreRefused() {
        QFETCH(QStringList, boxes);
        QFETCH(int, key);
        Running app;
        app.w().ShowPanel(0);
        const QByteArray before = ReadAll(app.rig.folder.timeWindows());
        Click(app.w(), "Label9_3");
        for (int i = 0; i < 4; ++i)
            Find<QComboBox>(app.w(), QStringLiteral("Combo4_%1").arg(i))->setCurrentText(boxes[i]);
        auto* box = Find<QComboBox>(app.w(), "Combo4_3");
        if (key == 0)
            Click(app.w(), "Command3_8");
        else
            QTest::keyClick(box->lineEdit(), Qt::Key(key));
        QCOMPARE(app.lastNotice(), "时间输入错误");
        QVERIFY(Find(app.w(), "Picture5")->isVisible());
        QCOMPARE(ReadAll(app.rig.folder.timeWindows()), before);
        QCOMPARE(box->count(), 12);  // typed text never joins the list
        QTest::keyClick(box->lineEdit(), Qt::Key_Escape);
        QVERIFY(!Find(app.w(), "Picture5")->isVisible());
    }

    void renamingAWindow_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("fifteen characters keep twelve")
            << false << "ABCDEFGHIJKLMNO"
            << "ABCDEFGHIJKL" << QByteArray("ABCDEFGHIJKL");
        QTest::newRow("blanks show the number") << false << "   "
                                                << "2" << QByteArray(12, ' ');
        QTest::newRow("cancelled") << true << QString() << "午间" << QByteArray();
    }
    void renamingAWindow() {
        QFETCH(bool, cancel);
        QFETCH(QString, answer);
        QFETCH(QString, caption);
        QFETCH(QByteArray, stored);
        Running app;
        app.w().ShowPanel(0);
        const QByteArray before = ReadAll(app.rig.folder.timeWindows());
        if (!cancel) app.rig.dialogs.setNextAnswer(answer);
        Click(app.w(), "Labsm_2");
        QCOMPARE(app.rig.dialogs.prompts, QStringList{"提示|请输入标语:|午间"});
        QCOMPARE(Find<QLabel>(app.w(), "Labsm_2")->text(), caption);
        const QByteArray after = ReadAll(app.rig.folder.timeWindows());
        if (cancel) {
            QCOMPARE(after, before);
        } else {
            QCOMPARE(after.mid(300 + 32, 12), stored);
            for (int offset : Changed(before, after)) QVERIFY(offset >= 332 && offset < 344);
        }
    }

    void optionBoxesWriteOnlyFromThePanel() {
        Running app;
        const QString path = app.rig.folder.settings();
        auto* sound = Find<QCheckBox>(app.w(), "Check2_2");
        QVERIFY(sound->isChecked());  // the demo ticks it
        sound->setChecked(false);     // the panel is not on show: nothing is stored
        QCOMPARE(ReadAll(path)[2], '\1');
        app.w().ShowPanel(0);
        sound->setChecked(true);
        sound->click();
        QCOMPARE(ReadAll(path)[2], '\0');
        app.rig.type(QStringLiteral("3000137"));
        QVERIFY(app.rig.cues.played.isEmpty());  // the swipe already hears the change
        auto* precision = Find<QComboBox>(app.w(), "Combo5_1");
        QCOMPARE(precision->currentText(), "1位小数");
        QCOMPARE(precision->count(), 4);
    }

    void fontAndColourDialogs() {
        Running app;
        app.w().ShowPanel(0);
        const QString path = app.rig.folder.settings();
        const QByteArray before = ReadAll(path);
        Click(app.w(), "Label8");  // cancelled
        Click(app.w(), "Picture4");
        Click(app.w(), "Command14");
        QCOMPARE(ReadAll(path), before);

        QFont big(QStringLiteral("WenQuanYi Micro Hei"));
        big.setPointSize(40);
        big.setBold(true);
        const int height = app.session.popups().popup(1)->height();
        app.rig.dialogs.setNextAnswer(big);
        Click(app.w(), "Label8");
        QVERIFY(app.session.popups().popup(1)->height() > height);
        const Settings s = LoadSettings(app.rig.folder);
        QCOMPARE(s.popupFont.name, "WenQuanYi Micro Hei");
        QCOMPARE(s.popupFont.size, 40.0f);
        QVERIFY(s.popupFont.bold);

        app.rig.dialogs.setNextAnswer(QColor(Qt::red));
        Click(app.w(), "Picture4");
        QCOMPARE(LoadSettings(app.rig.folder).popupColour, 255u);
        QCOMPARE(Find(app.w(), "Picture4")->palette().color(QPalette::Window), QColor(Qt::red));

        QFont grid(QStringLiteral("WenQuanYi Micro Hei"));
        grid.setPointSize(16);
        app.rig.dialogs.setNextAnswer(grid);
        Click(app.w(), "Command14");
        QCOMPARE(LoadSettings(app.rig.folder).gridFont.size, 16.0f);
        QCOMPARE(app.w().boardView()->font().pointSize(), 16);
    }

    void adminPasswordChange_data() {
        QTest::addColumn<QStringList>("boxes");  // old, new, confirmation
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("stored");
        QTest::newRow("changed") << QStringList{"", "新的", "新的"} << "密码修改成功"
                                 << "新的";
        QTest::newRow("confirmation differs")
            << QStringList{"", "a", "b"} << "二次密码输入有误，请重新输入"
            << "";
        QTest::newRow("wrong old") << QStringList{"x", "a", "a"} << "旧密码输入有误"
                                   << "";
        QTest::newRow("longer than the field")
            << QStringList{"", QString(13, u'长'), QString(13, u'长')} << "长度超出范围"
            << "";
    }
    void adminPasswordChange() {
        QFETCH(QStringList, boxes);
        QFETCH(QString, notice);
        QFETCH(QString, stored);
        Running app;
        app.w().ShowPanel(0);
        for (int i = 0; i < 3; ++i)
            Find<QLineEdit>(app.w(), QStringLiteral("Text8_%1").arg(i))->setText(boxes[i]);
        Click(app.w(), "Command10");
        QCOMPARE(app.lastNotice(), notice);
        QCOMPARE(LoadSettings(app.rig.folder).adminPassword, stored);
        // Column widths stored after the field are never touched.
        QCOMPARE(LoadSettings(app.rig.folder).rosterWidths[1], qint16(1500));
    }

    void addAndDeleteRows() {
        Running app;
        app.w().ShowPanel(2);
        TextGridModel& grid = app.session.station().rosterGrid();
        const int rows = grid.rows();
        for (const char* bad : {"0", "-2", "abc", "123456"})
            app.rig.dialogs.setNextAnswer(QString::fromLatin1(bad));
        app.rig.dialogs.setNextAnswer(QStringLiteral("1.6"));
        Click(app.w(), "Command3_5");
        QCOMPARE(app.rig.dialogs.prompts.size(), 5);
        QCOMPARE(app.rig.dialogs.prompts.first(), "提示|输入增加行数:|1");
        QCOMPARE(grid.rows(), rows + 2);
        QCOMPARE(grid.text(rows, 0), "41");
        QCOMPARE(grid.text(rows + 1, 2), "[NEW]");

        // Delete rows 3..2, selected from the bottom up.
        grid.setCurrentCell(3, 1);
        grid.setSelectionEnd(2, 1);
        Click(app.w(), "Command3_4");
        QCOMPARE(grid.rows(), rows + 2);  // the rows stay, blank
        QCOMPARE(grid.text(2, 2), QString());
        QCOMPARE(grid.text(3, 0), QString());
        QVERIFY(!app.session.station().roster().person(1).inUse());
        app.session.ShutDown();
        Roster reread;
        LoadRoster(app.rig.folder, reread, {}, {});
        QVERIFY(!reread.at(2).inUse());
        QCOMPARE(reread.at(41).name, "[NEW]");
    }

    void exitSavesRosterWidthsOnlyAfterTheDatabasePanel_data() {
        QTest::addColumn<bool>("opened");
        QTest::newRow("database panel opened") << true;
        QTest::newRow("never opened") << false;
    }
    void exitSavesRosterWidthsOnlyAfterTheDatabasePanel() {
        QFETCH(bool, opened);
        Running app;
        if (opened) app.w().ShowPanel(2);
        app.w().rosterView()->setColumnWidth(2, 200);
        app.session.ShutDown();
        QCOMPARE(LoadSettings(app.rig.folder).rosterWidths[2], qint16(opened ? 3000 : 1200));
    }

    void statisticsPanelQueryExportImport() {
        Running app;
        app.rig.type(QStringLiteral("3000137"));  // 5 minutes late for 早读
        app.w().ShowPanel(3);
        Find<QLineEdit>(app.w(), "Text7_0")->setText("not a date");
        Click(app.w(), "Command7_0");
        QCOMPARE(app.lastNotice(), "日期输入错误，请输入YYYY-MM-DD");
        Find<QLineEdit>(app.w(), "Text7_0")->setText("2026-12-01");
        Click(app.w(), "Command7_0");
        QCOMPARE(app.w().statisticsPanel()->value(0)->text(), "1");
        QCOMPARE(app.w().statisticsPanel()->value(1)->text(), "5");
        QCOMPARE(app.w().statisticsPanel()->value(5)->text(), "0.1小时");
        QCOMPARE(app.w().statisticsPanel()->value(4)->text(), "1");
        const StatsGridModel& grid = app.w().statisticsPanel()->results();
        QCOMPARE(grid.text(2, 3), "3000137");

        QTemporaryDir out;
        app.rig.dialogs.setNextAnswer(out.filePath("stats.xlsx"));
        Click(app.w(), "Command7_3");
        QCOMPARE(app.lastNotice(), "导出成功");
        QVERIFY(QFile::exists(out.filePath("stats.xlsx")));
        Click(app.w(), "Command7_3");  // cancelled: nothing more
        QCOMPARE(app.lastNotice(), "导出成功");

        const QString csv = out.filePath("people.csv");
        WriteAll(csv, QByteArray("卡号,姓名,性别\n4000001,新生,男\n"));
        app.w().ShowPanel(2);
        const int rows = app.session.station().rosterGrid().rows();
        app.rig.dialogs.setNextAnswer(csv);
        Click(app.w(), "Command3_6");
        QCOMPARE(app.lastNotice(), "导入成功");
        QCOMPARE(app.session.station().rosterGrid().rows(), rows + 1);
        QCOMPARE(app.session.station().roster().person(41).name, "新生");
    }

    // Qt's own buttons and dialogs speak the window's language.
    // The calendar editor and the leave dialog as the administrator uses them: today closed
    // shows on the board at once, a leave entered from the roster shows as 假, and an entry
    // cancelled stays listed as such. The rig's day is Tuesday 2026-12-08, 07:45.
    void calendarAndLeaveFromTheWindow() {
        Running app;
        app.w().ShowPanel(0);
        Click(app.w(), "CalendarButton");
        auto* editor = Find<QDialog>(app.w(), "CalendarEditor");
        QVERIFY(editor->isVisible());
        Find<QLineEdit>(*editor, "CalendarName")->setText("雪天");
        Click(app.w(), "CalendarClose");
        QCOMPARE(Find<QLabel>(app.w(), "ClosedDay")->text(), "今天休息：雪天");
        QVERIFY(app.w().boardView()->isColumnHidden(3));
        QCOMPARE(Find<QListWidget>(*editor, "CalendarDays")->count(), 1);
        Click(app.w(), "CalendarOpen");
        QVERIFY(Find<QLabel>(app.w(), "ClosedDay")->isHidden());
        QVERIFY(!app.w().boardView()->isColumnHidden(3));

        app.w().ShowPanel(2);
        app.w().rosterView()->grid()->setCurrentCell(2, 2);  // the roster's first person
        Click(app.w(), "LeaveButton");
        auto* leave = Find<QDialog>(app.w(), "LeaveDialog");
        QVERIFY(leave->isVisible());
        Click(app.w(), "LeaveEnter");
        QCOMPARE(app.lastNotice(), "请填写经办人");
        Find<QLineEdit>(*leave, "LeaveBy")->setText("王老师");
        Click(app.w(), "LeaveEnter");
        QCOMPARE(app.lastNotice(), "黄丽请假已登记：事假");
        QCOMPARE(app.session.station().board().text(4, 4), "假");  // 上午, still to come
        auto* entries = Find<QListWidget>(*leave, "LeaveEntries");
        QCOMPARE(entries->count(), 1);
        entries->setCurrentRow(0);
        Click(app.w(), "LeaveCancel");
        QVERIFY(entries->item(0)->text().contains("已取消"));
        QCOMPARE(app.session.station().board().text(4, 4), QString());
    }

    void qtDialogsAreChinese() {
        QVERIFY(InstallQtTranslations(*QCoreApplication::instance()));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes |
                               QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), "确定");
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), "取消");
        QVERIFY(box.button(QMessageBox::Yes)->text().startsWith("是"));
        QVERIFY(box.button(QMessageBox::No)->text().startsWith("否"));
        QFileDialog files(nullptr, "导入数据");
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setAcceptMode(QFileDialog::AcceptSave);
        files.show();
        QStringList texts;
        for (const QLabel* l : files.findChildren<QLabel*>()) texts << l->text();
        for (const QAbstractButton* b : files.findChildren<QAbstractButton*>()) texts << b->text();
        QVERIFY2(texts.join(' ').contains("保存"), qPrintable(texts.join('|')));
        for (const QString& t : texts)
            QVERIFY2(!t.contains(QRegularExpression("^(Look in|File name|Save|Cancel)")),
                     qPrintable(t));
    }

    void fixedRowsStayWhileScrolling() {
        Running app;
        GridView* board = app.w().boardView();
        QVERIFY(board->fixedView()->isVisible());
        QCOMPARE(board->fixedView()->model()->rowCount(), 4);
        QVERIFY(board->isRowHidden(0));
        board->verticalScrollBar()->setValue(board->verticalScrollBar()->maximum());
        QCOMPARE(board->fixedView()->indexAt(QPoint(5, 2)).row(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
