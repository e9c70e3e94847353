#include <QTest>

#include "models/noticestack.h"

using namespace tallyra;

class TestNotices : public QObject {
    Q_OBJECT

    static QList<int> Alphas(const NoticeStack& s) {
        QList<int> out;
        for (int k = 1; k <= NoticeStack::kSlots; ++k) out << s.PopupAlpha(k);
        return out;
    }
    static QStringList Texts(const NoticeStack& s) {
        QStringList out;
        for (int k = 1; k <= NoticeStack::kSlots; ++k) out << s.text(k);
        return out;
    }
    static void Steps(NoticeStack& s, int n) {
        for (int i = 0; i < n; ++i) s.FadeStep();
    }

private Q_SLOTS:
    void aSingleNoticeFades() {
        NoticeStack s;
        QVERIFY(!s.timerEnabled());
        s.Show(QStringLiteral("一"));
        QCOMPARE(s.PopupAlpha(1), qint16(250));
        QVERIFY(s.timerEnabled());
        Steps(s, 1);
        QCOMPARE(s.PopupAlpha(1), qint16(245));
        Steps(s, 49);  // 10 s after the notice
        QCOMPARE(s.PopupAlpha(1), qint16(0));
        QVERIFY(s.timerEnabled());
        Steps(s, 1);  // and 200 ms later the timer stops
        QVERIFY(!s.timerEnabled());
        QCOMPARE(Alphas(s), (QList<int>{0, 0, 0, 0, 0}));
    }

    void aNewerNoticePushesTheOlderUp() {
        NoticeStack s;
        s.Show(QStringLiteral("一"));
        Steps(s, 5);  // one second
        QCOMPARE(s.PopupAlpha(1), qint16(225));
        s.Show(QStringLiteral("二"));
        QCOMPARE(Alphas(s), (QList<int>{250, 220, 0, 0, 0}));
        QCOMPARE(Texts(s), (QStringList{"二", "一", "", "", ""}));
    }

    void sixNoticesKeepTheNewestFive() {
        NoticeStack s;
        for (int i = 1; i <= 6; ++i) s.Show(QString::number(i));
        QCOMPARE(Texts(s), (QStringList{"6", "5", "4", "3", "2"}));
        QCOMPARE(Alphas(s), (QList<int>{250, 245, 240, 235, 230}));
    }

    void afterTheNewestFadedNothingMovesUp() {
        NoticeStack s;
        s.Show(QStringLiteral("old"));
        s.Show(QStringLiteral("older"));
        Steps(s, 60);
        QVERIFY(!s.timerEnabled());
        s.Show(QStringLiteral("new"));
        QCOMPARE(Texts(s), (QStringList{"new", "old", "", "", ""}));
        QCOMPARE(Alphas(s), (QList<int>{250, 0, 0, 0, 0}));
        QVERIFY(s.timerEnabled());
    }

    void alphasStayMultiplesOfFive() {
        NoticeStack s;
        for (int i = 0; i < 40; ++i) {
            if (i % 7 == 0) s.Show(QString::number(i));
            s.FadeStep();
            for (int k = 1; k <= 5; ++k) {
                QVERIFY(s.PopupAlpha(k) >= 0 && s.PopupAlpha(k) <= 250);
                QCOMPARE(s.PopupAlpha(k) % 5, 0);
            }
        }
    }

    void placesOnTheScreen() {
        // A 20 pixel label (300 twips) on a screen 768 pixels high (11520 twips).
        QCOMPARE(NoticeStack::PopupTop(11520, 300, 1), 10320);
        QCOMPARE(NoticeStack::PopupTop(11520, 300, 5), 9120);
    }
};

QTEST_GUILESS_MAIN(TestNotices)
#include "TestNotices.moc"
