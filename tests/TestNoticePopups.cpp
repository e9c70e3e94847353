#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "gui/noticepopups.h"

using namespace tallyra;

class TestNoticePopups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void popupsNeverTakeTheFocus() {
        NoticePopups popups(false);
        const QStringList names{"FMsg1", "Fmsg2", "Fmsg3", "Fmsg4", "Fmsg5"};
        for (int k = 1; k <= 5; ++k) {
            NoticePopup* p = popups.popup(k);
            QCOMPARE(p->objectName(), names[k - 1]);
            const Qt::WindowFlags f = p->windowFlags();
            QVERIFY(f & Qt::FramelessWindowHint);
            QVERIFY(f & Qt::WindowStaysOnTopHint);
            QVERIFY(f & Qt::WindowDoesNotAcceptFocus);
            QVERIFY(f & Qt::WindowTransparentForInput);
            QVERIFY(p->testAttribute(Qt::WA_ShowWithoutActivating));
            QVERIFY(p->isHidden());
        }
    }

    void stackedUpFromTheBottom() {
        NoticePopups popups(true);
        QFont font;
        font.setPointSize(30);
        popups.ApplyPopupFont(font);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const int h = popups.popup(1)->height();
        QVERIFY(h >= QFontMetrics(font).height());
        for (int k = 1; k <= 5; ++k) {
            const QRect g = popups.popup(k)->geometry();
            QCOMPARE(g.width(), screen.width());
            QCOMPARE(g.x(), screen.x());
            QCOMPARE(g.height(), h);
            QCOMPARE(g.y(), screen.y() + screen.height() - 60 - k * h);
        }
        // A bigger font makes taller lines, restacked.
        font.setPointSize(60);
        popups.ApplyPopupFont(font);
        QVERIFY(popups.popup(1)->height() > h);
        QCOMPARE(popups.popup(2)->geometry().bottom() + 1, popups.popup(1)->geometry().top());
    }

    void fadesOnTheTimer() {
        NoticePopups popups(true);
        QVERIFY(!popups.timmsg().isActive());
        popups.ShowNotice(QStringLiteral("张三[早读]签到成功"));
        QCOMPARE(popups.timmsg().interval(), 200);
        QVERIFY(popups.timmsg().isActive());
        NoticePopup* first = popups.popup(1);
        QCOMPARE(first->label()->text(), "张三[早读]签到成功");
        QCOMPARE(first->alpha(), 250);
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowOpacity(), 250 / 255.0);
        QVERIFY(popups.popup(2)->isHidden());
        for (int i = 0; i < 50; ++i) popups.fadeStep();
        QCOMPARE(first->alpha(), 0);
        QVERIFY(first->isHidden());
        QVERIFY(popups.timmsg().isActive());
        popups.fadeStep();
        QVERIFY(!popups.timmsg().isActive());
    }

    void colourReachesEveryPopup() {
        NoticePopups popups(true);
        popups.ApplyPopupColour(Qt::red);
        for (int k = 1; k <= 5; ++k)
            QCOMPARE(popups.popup(k)->label()->palette().color(QPalette::WindowText),
                     QColor(Qt::red));
    }
};

QTEST_MAIN(TestNoticePopups)
#include "TestNoticePopups.moc"
