// The window on small screens (the screen comes from QT_QPA_PLATFORM's offscreen
// configfile): it opens inside the free area and every named control of the frame and the
// sign-in board lies inside it.
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "apprig.h"
#include "gui/gridview.h"

using namespace tallyra;
using namespace tallyra::test;

class TestLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyControlInsideTheWindow() {
        AppRig rig;
        Session session(rig.parts());
        QVERIFY(session.StartUp());
        MainWindow& w = session.window();
        w.showOnScreen();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
        qInfo("screen %dx%d, window %dx%d", free.width(), free.height(), w.width(), w.height());
        QVERIFY(free.contains(w.frameGeometry().topLeft()));
        QVERIFY(w.width() <= free.width() && w.height() <= free.height());
        const QRect inside(QPoint(), w.size());
        int checked = 0;
        for (QWidget* c : w.findChildren<QWidget*>()) {
            if (c->objectName().isEmpty() || !c->isVisible() || c->window() != &w) continue;
            if (!qobject_cast<QPushButton*>(c) && !qobject_cast<QLabel*>(c) &&
                !qobject_cast<GridView*>(c))
                continue;
            const QRect at(c->mapTo(&w, QPoint()), c->size());
            QVERIFY2(inside.contains(at), qPrintable(c->objectName()));
            ++checked;
        }
        QVERIFY2(checked >= 12, qPrintable(QString::number(checked)));
        // The board takes what is left of the height.
        QVERIFY(w.boardView()->height() > w.height() / 2);
    }
};

QTEST_MAIN(TestLayout)
#include "TestLayout.moc"
