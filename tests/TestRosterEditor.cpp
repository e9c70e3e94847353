#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include "apprig.h"
#include "common/datetime.h"
#include "core/signin.h"
#include "gui/gridview.h"
#include "gui/personalcentre.h"
#include "gui/rostereditor.h"
#include "gui/structurepanel.h"
#include "must.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {

struct Running {
    AppRig rig;
    Session session{rig.parts()};
    Running() {
        session.StartUp();
        session.window().show();
    }
    MainWindow& w() { return session.window(); }
    RosterEditor& editor() { return *w().rosterEditor(); }
    TextGridModel& grid() { return session.station().rosterGrid(); }
    QString lastNotice() { return session.popups().stack().text(1); }
    template <typename T = QWidget>
    T* find(const QString& name) {
        return Find<T>(w(), name);
    }
    // Clicks the cell as a user would.
    void click(int row, int column) {
        GridView* view = w().rosterView();
        view->scrollTo(grid().index(row, column));
        const QRect r = view->visualRect(grid().index(row, column));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    }
    PersonRecord stored(int index) {
        return DecodePersonRecord(ReadAll(rig.folder.roster()).mid((index - 1) * 256, 256)).record;
    }
};

}  // namespace

class TestRosterEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberBoxCommitsOnEnterOnly() {
        Running app;
        app.w().ShowPanel(2);
        app.click(2, 12);  // person 1, 联系电话
        QLineEdit* box = app.find<QLineEdit>("Texintll_1");
        QVERIFY(box->isVisible());
        QCOMPARE(app.find<QLabel>("Label5_25")->text(), app.grid().text(2, 2));
        box->setText("13912345678");
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(box->isVisible());  // Tab does not commit a number
        QCOMPARE(app.stored(1).numbers[0], qint64(13800138001LL) * 10000);
        box->setText("139x");
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(box->isVisible());
        QCOMPARE(app.lastNotice(), "请输入数字");
        box->setText("13912345678");
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!box->isVisible());
        QCOMPARE(app.grid().text(2, 12), "13912345678");
        QCOMPARE(app.stored(1).numbers[0], qint64(13912345678LL) * 10000);
    }

    void textBoxCommitsOnTabAndRefusesWhatDoesNotFit() {
        Running app;
        app.w().ShowPanel(2);
        app.click(3, 6);  // person 2, 住址
        QLineEdit* box = app.find<QLineEdit>("Texstr");
        box->setText(QString(100, u'长'));
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(box->isVisible());
        QCOMPARE(app.lastNotice(), "文字太长，记录放不下");
        const PersonRecord before = app.stored(2);
        box->setText("  新地址 ");
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(!box->isVisible());
        QCOMPARE(app.grid().text(3, 6), "新地址");
        PersonRecord expected = before;
        expected.texts[0] = "新地址";
        QCOMPARE(app.stored(2), expected);
    }

    void choiceBoxes() {
        Running app;
        app.w().ShowPanel(2);
        const int row = 2 + 4;  // person 5: 男 in the demo when 5 % 3 != 0
        PersonRecord p = app.session.station().roster().person(5);
        app.click(row, 4);
        QComboBox* box = app.find<QComboBox>("Combo1");
        QCOMPARE(box->itemText(0), "女");
        QCOMPARE(box->itemText(1), "男");
        QCOMPARE(box->currentIndex(), p.flag(0) ? 1 : 0);
        QVERIFY(!app.find<QLineEdit>("Texintll_1")->isVisible());
        const int other = p.flag(0) ? 0 : 1;
        box->setCurrentIndex(other);
        Q_EMIT box->activated(other);
        QVERIFY(!box->isVisible());
        p.flags = quint8(p.flags ^ 1);
        QCOMPARE(app.stored(5), p);
        QCOMPARE(app.grid().text(row, 4), other ? "男" : "女");

        app.click(row, 9);  // 职务: the demo's four duties
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->currentIndex(), int(p.choices[0]));
    }

    void continuousInputWraps() {
        Running app;
        app.w().ShowPanel(2);
        app.find<QCheckBox>("Check3")->setChecked(true);
        QVERIFY(app.find<QLabel>("Label10")->isVisible());
        const int last = app.grid().rows() - 1;
        app.click(last, 13);
        QLineEdit* box = app.find<QLineEdit>("Texintll_1");
        box->setText("7");
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(box->isVisible());
        QCOMPARE(app.editor().editRow(), 2);
        QCOMPARE(app.editor().editColumn(), 13);
        QCOMPARE(app.grid().text(last, 13), "7");
    }

    void headerSortsDescendingFirst() {
        Running app;
        app.w().ShowPanel(2);
        app.editor().sortByColumn(2);
        QCOMPARE(app.find<QLabel>("Label5_26")->text(), "“姓名”降序");
        const QString firstDown = app.grid().text(2, 2);
        app.editor().sortByColumn(2);
        QCOMPARE(app.find<QLabel>("Label5_26")->text(), "“姓名”升序");
        QCOMPARE(app.grid().text(app.grid().rows() - 1, 2), firstDown);
        app.editor().sortByColumn(1);  // cards sort as numbers
        QVERIFY(app.grid().text(2, 1).toLongLong() > app.grid().text(3, 1).toLongLong());
    }

    void datePanel() {
        Running app;
        app.w().ShowPanel(2);
        app.click(2, 5);  // 工龄
        QWidget* panel = app.find("Picture3");
        QVERIFY(panel->isVisible());
        QLineEdit* years = app.find<QLineEdit>("Texsing_0");
        auto* year = app.find<QComboBox>("Combo3_0");
        auto* month = app.find<QComboBox>("Combo3_1");
        auto* day = app.find<QComboBox>("Combo3_2");
        QCOMPARE(year->count(), 121);
        QCOMPARE(year->itemText(0), "1926年");
        years->clear();
        QTest::keyClicks(years, "10");
        QCOMPARE(year->currentText(), "2016年");
        QCOMPARE(month->currentText(), "12月");
        QCOMPARE(day->currentText(), "07日");
        QCOMPARE(years->text(), "10");  // no echo back into the box
        day->setCurrentIndex(7);        // 08日
        QCOMPARE(years->text(), "10.00");
        QTest::keyClick(years, Qt::Key_Return);
        QVERIFY(!panel->isVisible());
        QCOMPARE(app.stored(1).secondDate, DateToOle(QDate(2016, 12, 8)));
        QCOMPARE(app.grid().text(2, 5), "10.0");
    }

    void statisticsDatesUseThePanel() {
        Running app;
        app.w().ShowPanel(3);
        auto* from = app.find<QLineEdit>("Text7_0");
        QTest::mouseClick(from, Qt::LeftButton);
        QVERIFY(app.find("Picture3")->isVisible());
        app.find<QComboBox>("Combo3_1")->setCurrentIndex(0);
        app.find<QPushButton>("Command3_7")->click();
        QCOMPARE(from->text(), "2025-01-08");
        QCOMPARE(app.stored(1), app.session.station().roster().person(1));
    }

    void personalCentre_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("no password") << QString();
        QTest::newRow("a password") << "4321";
    }
    void personalCentre() {
        QFETCH(QString, password);
        Running app;
        if (!password.isEmpty()) {
            PersonRecord p = app.session.station().roster().person(1);
            p.personalPassword = password;
            app.w().ShowPanel(2);  // opens the roster file for the write
            Must(app.session.station().roster().store(1, p));
        }
        app.w().ShowPanel(5);
        PersonalCentre* pc = app.w().personalCentre();
        QVERIFY(pc->waiting());
        app.rig.type("3000137");
        QVERIFY(!pc->waiting());
        QCOMPARE(app.session.station().dayStatus().read(1, 0), qint16(5));  // also signed in
        auto* first = app.find<QLabel>("Label16_0");
        if (!password.isEmpty()) {
            QVERIFY(app.find("Picture7")->isVisible());
            QVERIFY(!first->isVisible());
            // The reader's own Enter reaches the password box that has the focus now: it is
            // no wrong password.
            const QString before = app.lastNotice();
            QTest::keyClick(app.find<QLineEdit>("Text11"), Qt::Key_Return);
            QCOMPARE(app.lastNotice(), before);
            app.find<QLineEdit>("Text11")->setText("wrong");
            app.find<QPushButton>("Command3_16")->click();
            QCOMPARE(app.lastNotice(), "密码错误");
            QTest::keyClicks(app.find<QLineEdit>("Text11"), password);
            QTest::keyClick(app.find<QLineEdit>("Text11"), Qt::Key_Return);
        }
        QVERIFY(!app.find("Picture7")->isVisible());
        QVERIFY(first->isVisible());
        QCOMPARE(first->text(), "卡号");
        QCOMPARE(app.find<QLabel>("Label17_0")->text(), "3000137");
        QCOMPARE(app.find<QLabel>("Label16_1")->text(), "姓名");
        QVERIFY(app.find("Command3_18")->isVisible());
        // A further swipe while data show does nothing.
        app.rig.type("3000174");
        QCOMPARE(app.find<QLabel>("Label17_0")->text(), "3000137");
        app.find<QPushButton>("Command3_17")->click();
        QVERIFY(pc->waiting());
        QVERIFY(!first->isVisible());
    }

    // Whatever moves the rows under an open editor puts it away, and a commit reaches the
    // person the editor opened for, or nobody when that person is gone.
    void editorsFollowTheirPerson_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("header sort") << "sort";
        QTest::newRow("scroll") << "scroll";
        QTest::newRow("delete") << "delete";
        QTest::newRow("panel switch") << "panel";
    }
    void editorsFollowTheirPerson() {
        QFETCH(QString, action);
        Running app;
        app.w().ShowPanel(2);
        app.w().resize(900, 400);  // room for a few rows only, so the grid scrolls
        QCoreApplication::processEvents();
        const PersonRecord second = app.stored(2);
        app.click(3, 6);  // person 2, 住址
        auto* box = app.find<QLineEdit>("Texstr");
        QVERIFY(box->isVisible());
        if (action == "sort")
            QTest::mouseClick(
                app.w().rosterView()->fixedView()->viewport(), Qt::LeftButton, {},
                app.w().rosterView()->fixedView()->visualRect(app.grid().index(0, 2)).center());
        if (action == "scroll") app.w().rosterView()->verticalScrollBar()->setValue(5);
        if (action == "delete") {
            QTest::mouseClick(app.w().rosterView()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                              app.w().rosterView()->visualRect(app.grid().index(3, 6)).center());
            app.find<QPushButton>("Command3_4")->click();
        }
        if (action == "panel") app.w().ShowPanel(2);
        QVERIFY(!box->isVisible());
        // Typed into anyway: the value goes to person 2 or to no one.
        box->setText("改");
        QTest::keyClick(box, Qt::Key_Tab);
        for (int r = kRosterFirstPerson; r < app.grid().rows(); ++r)
            if (app.grid().text(r, 6) == "改") QCOMPARE(app.grid().text(r, 0), "2");
        if (action == "delete") {
            QVERIFY(!app.session.station().roster().person(2).inUse());
            QCOMPARE(app.stored(2).name, QString());  // not written back
        } else {
            QCOMPARE(app.stored(1), app.session.station().roster().person(1));
        }
        (void)second;
    }

    // Row and RowSel are the rows the view shows selected, however they were picked.
    void selectionGestures_data() {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("deleted");
        QTest::newRow("shift-click") << "shift" << 3;
        QTest::newRow("ctrl-click") << "ctrl" << 3;  // one contiguous range, as the view draws it
        QTest::newRow("drag") << "drag" << 3;
    }
    void selectionGestures() {
        QFETCH(QString, gesture);
        QFETCH(int, deleted);
        Running app;
        app.w().ShowPanel(2);
        GridView* view = app.w().rosterView();
        auto at = [&](int row) { return view->visualRect(app.grid().index(row, 2)).center(); };
        app.click(3, 2);
        if (gesture == "shift")
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(5));
        if (gesture == "ctrl")
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, at(5));
        if (gesture == "drag") {
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(3));
            QMouseEvent move(QEvent::MouseMove, at(5), view->viewport()->mapToGlobal(at(5)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &move);
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(5));
        }
        QSet<int> shown;
        for (const QModelIndex& i : view->selectionModel()->selectedIndexes()) shown << i.row();
        QCOMPARE(int(shown.size()), deleted);
        const int top = std::min(app.grid().row(), app.grid().rowSel());
        const int bottom = std::max(app.grid().row(), app.grid().rowSel());
        QCOMPARE(bottom - top + 1, deleted);
        for (int r = top; r <= bottom; ++r) QVERIFY(shown.contains(r));
        app.find<QPushButton>("Command3_4")->click();
        int gone = 0;
        for (int i = 1; i <= 5; ++i)
            gone += app.session.station().roster().person(i).inUse() ? 0 : 1;
        QCOMPARE(gone, deleted);
    }

    // What an edit cannot store faithfully is refused with a notice that names it.
    void refusedEdits_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("notice");
        QTest::newRow("outside code page 936") << 2 << "吉𠮷祥"
                                               << "文字“𠮷”无法保存，请改用其他文字";
        QTest::newRow("Latin with a diaeresis") << 6 << "Zoë"
                                                << "文字“ë”无法保存，请改用其他文字";
        QTest::newRow("another person's card") << 1 << "3000137"
                                               << "卡号已被“@1”使用";
    }
    void refusedEdits() {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, notice);
        Running app;
        app.w().ShowPanel(2);
        const PersonRecord before = app.stored(2);
        app.click(3, column);
        auto* box = app.find<QLineEdit>(column == 1 ? "Texintll_1" : "Texstr");
        box->setText(typed);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(box->isVisible());
        QCOMPARE(app.lastNotice(),
                 QString(notice).replace("@1", app.session.station().roster().person(1).name));
        QCOMPARE(app.stored(2), before);
    }

    void aCardTwiceShowsTheFirstRow() {
        Running app;
        TextGridModel& g = app.grid();
        g.setText(5, 1, g.text(3, 1));  // person 4's row now carries person 2's card
        app.w().ShowPanel(5);
        app.w().personalCentre()->LookUp(SwipeResult{}, g.text(3, 1));
        QCOMPARE(app.find<QLabel>("Label17_1")->text(), g.text(3, 2));
        QCOMPARE(app.w().personalCentre()->loadedIndex(), 2);
    }

    void personalPassword_data() {
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QString>("notice");
        QTest::newRow("18 characters") << QString(18, u'a') << "密码修改成功";
        QTest::newRow("19 characters") << QString(19, u'a') << "长度超出范围";
    }
    void personalPassword() {
        QFETCH(QString, fresh);
        QFETCH(QString, notice);
        Running app;
        app.w().ShowPanel(5);
        app.w().personalCentre()->LookUp(SwipeResult{}, "3000137");
        app.find<QLineEdit>("Text8_4")->setText(fresh);
        app.find<QLineEdit>("Text8_5")->setText(fresh);
        QCOMPARE(app.find<QLineEdit>("Text8_4")->echoMode(), QLineEdit::Password);
        app.find<QPushButton>("Command13")->click();
        QCOMPARE(app.lastNotice(), notice);
        QCOMPARE(app.stored(1).personalPassword, notice == "密码修改成功" ? fresh : QString());
    }

    void fieldDefinitions() {
        Running app;
        app.w().ShowPanel(1);
        StructurePanel* panel = app.w().structurePanel();
        QVERIFY(!app.find<QCheckBox>("Check1_0")->isEnabled());
        QVERIFY(!app.find<QLineEdit>("Text1_2")->isEnabled());
        app.find<QCheckBox>("Check1_8")->setChecked(false);
        QVERIFY(!app.find<QPushButton>("Command6_8")->isEnabled());
        app.find<QCheckBox>("Check1_18")->setChecked(false);
        QVERIFY(!app.find<QLineEdit>("Text3_18")->isEnabled());
        app.find<QCheckBox>("Check1_8")->setChecked(true);

        panel->openElements(8);
        QCOMPARE(app.find<QLabel>("Label6")->text(), "“职务”中 元素编辑");
        auto* count = app.find<QLineEdit>("Texint_0");
        auto* list = app.find<QListWidget>("List1");
        QCOMPARE(list->count(), 4);
        for (const char* bad : {"1", "65", "abc"}) {
            count->setText(QString::fromLatin1(bad));
            app.find<QPushButton>("Command9")->click();
            QCOMPARE(app.lastNotice(), "请输入2~64之间的数");
            QCOMPARE(list->count(), 4);
        }
        count->setText("2");
        app.find<QPushButton>("Command9")->click();
        QCOMPARE(list->count(), 2);
        count->setText("4");
        app.find<QPushButton>("Command9")->click();
        QCOMPARE(list->item(3)->text().trimmed(), "保安");  // lowered then raised keeps it
        list->setCurrentRow(1);
        QCOMPARE(app.find<QLabel>("Label7_1")->text(), "编号2");
        app.find<QLineEdit>("Text2")->setText(" 学员 ");
        app.find<QPushButton>("Command3_3")->click();
        QCOMPARE(list->item(1)->text().trimmed(), "学员");
        Schema now;  // stored at once, not at exit
        LoadChoiceList(app.rig.folder, now, 9);
        QCOMPARE(now.choiceElements[0][1].trimmed(), "学员");

        app.find<QLineEdit>("Text1_6")->setText("年级  ");
        app.find<QPushButton>("Command3_0")->click();
        LoadSchema(app.rig.folder, now);
        QCOMPARE(now.title(7).trimmed(), "年级");
        app.session.ShutDown();
        Schema saved;
        LoadSchema(app.rig.folder, saved);
        QCOMPARE(saved.title(7).trimmed(), "年级");
        LoadChoiceList(app.rig.folder, saved, 9);
        QCOMPARE(saved.choiceElement(9, 1).trimmed(), "学员");
        QVERIFY(!saved.isEnabled(19));
    }
};

QTEST_MAIN(TestRosterEditor)
#include "TestRosterEditor.moc"
