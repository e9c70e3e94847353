#include <QTest>
#include <cmath>
#include <cstring>

#include "core/format/settings.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachWriterKeepsToItsBytes() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        WriteAll(folder.settings(), QByteArray(500, '\xee'));
        QCOMPARE(SaveOptionBox(folder, 2, true), SettingsWrite::Written);
        QCOMPARE(SavePrecision(folder, 1, 3), SettingsWrite::Written);
        QCOMPARE(SavePopupColour(folder, 0x00112233), SettingsWrite::Written);
        QCOMPARE(SaveAdminPassword(folder, "abc"), SettingsWrite::Written);
        const QByteArray b = ReadAll(folder.settings());
        QByteArray expected(500, '\xee');
        expected[2] = 1;   // position 3
        expected[14] = 3;  // position 15
        expected.replace(69, 4, QByteArray("\x33\x22\x11\x00", 4));
        expected.replace(73, 2, QByteArray("\x03\x00", 2));
        expected.replace(75, 3, "abc");  // no padding: the old tail stays
        QCOMPARE(b, expected);
    }

    void roundTrip() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        std::array<qint16, 26> roster{};
        for (int c = 0; c < 26; ++c) roster[c] = qint16(100 * c);
        std::array<qint16, 9> board{0, 1500, 1400, 1000, 0, 1000, 1000, 1000, 2000};
        const FontChoice grid{"宋体", 10.5f, true, false};
        const FontChoice popup{"WenQuanYi Micro Hei", 24.0f, false, true};
        Must(SaveOptionBox(folder, Settings::RecordOnTime, true));
        Must(SaveOptionBox(folder, 12, true));
        Must(SavePrecision(folder, 0, 2));
        Must(SaveRosterColumnWidths(folder, roster));
        Must(SaveSignInColumnWidths(folder, board));
        Must(SaveGridFont(folder, grid));
        Must(SavePopupFont(folder, popup));
        Must(SavePopupColour(folder, 0x000000ff));
        Must(SaveAdminPassword(folder, "管理员"));
        const Settings s = LoadSettings(folder);
        QVERIFY(s.option(Settings::RecordOnTime));
        QVERIFY(!s.option(Settings::SoundCues));
        QVERIFY(s.option(12));
        QCOMPARE(s.yearsPrecision[0], 2);
        QCOMPARE(s.yearsPrecision[1], 0);
        QCOMPARE(s.rosterWidths, roster);
        QCOMPARE(s.boardWidths, board);
        QCOMPARE(s.gridFont, grid);
        QCOMPARE(s.popupFont, popup);
        QCOMPARE(s.popupColour, 0x000000ffu);
        QCOMPARE(s.adminPassword, "管理员");
    }

    void shorterValuesReadBackClean() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        Must(SaveAdminPassword(folder, "longpassword"));
        Must(SaveAdminPassword(folder, "ab"));
        QCOMPARE(LoadSettings(folder).adminPassword, "ab");
        Must(SaveAdminPassword(folder, ""));
        QCOMPARE(LoadSettings(folder).adminPassword, "");
        Must(SaveGridFont(folder, FontChoice{"Very Long Font Name", 9, false, false}));
        Must(SaveGridFont(folder, FontChoice{"Sans", 9, false, false}));
        QCOMPARE(LoadSettings(folder).gridFont.name, "Sans");
    }

    void overlongPasswordIsRefused() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        std::array<qint16, 26> widths{};
        widths[0] = 777;
        Must(SaveRosterColumnWidths(folder, widths));
        Must(SaveAdminPassword(folder, "old"));
        QCOMPARE(SaveAdminPassword(folder, QString(13, u'密')),
                 SettingsWrite::TooLong);  // 26 bytes
        QCOMPARE(SaveAdminPassword(folder, QString(12, u'密')),
                 SettingsWrite::Written);  // 24 bytes
        const Settings s = LoadSettings(folder);
        QCOMPARE(s.adminPassword, QString(12, u'密'));
        QCOMPARE(s.rosterWidths[0], 777);
    }

    void badValues_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("bytes");
        auto f32 = [](float v) {
            QByteArray b(4, '\0');
            std::memcpy(b.data(), &v, 4);
            return b;
        };
        QTest::newRow("nan popup size") << 306 << f32(std::nanf(""));
        QTest::newRow("huge grid size") << 400 << f32(1e30f);
        QTest::newRow("negative grid size") << 400 << f32(-3.0f);
        QTest::newRow("precision 200") << 14 << QByteArray("\xc8");
        QTest::newRow("option 7") << 1 << QByteArray("\x07");
        QTest::newRow("negative password length") << 74 << QByteArray("\xff\xff");
        QTest::newRow("password length 300") << 74 << QByteArray("\x2c\x01");
    }
    void badValues() {
        QFETCH(int, position);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        Must(SaveAdminPassword(folder, "pw"));
        QByteArray file = ReadAll(folder.settings());
        ResizeZeroed(file, 500);
        file.replace(position - 1, bytes.size(), bytes);
        WriteAll(folder.settings(), file);
        const Settings s = LoadSettings(folder);
        QCOMPARE(s.popupFont.size, 0.0f);
        QCOMPARE(s.gridFont.size, 0.0f);
        QCOMPARE(s.yearsPrecision[0], position == 14 ? -1 : 0);
        QCOMPARE(s.options[0], quint8(0));
        const QString password = position == 74 && bytes == "\xff\xff" ? "" : "pw";
        QCOMPARE(s.adminPassword, password);
    }

    void emptyFile() {
        QTemporaryDir dir;
        const Settings s = LoadSettings(DataFolder(dir.path()));
        QCOMPARE(s.adminPassword, "");
        QCOMPARE(s.yearsPrecision[0], 0);
        QCOMPARE(s.boardWidths[3], 0);
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "TestSettings.moc"
