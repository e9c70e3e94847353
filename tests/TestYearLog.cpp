#include <QTest>

#include "core/format/yearlog.h"
#include "must.h"
#include "testsupport.h"

using namespace tallyra;
using namespace tallyra::test;

namespace {
std::vector<YearLogRecord> ReadBack(const QString& path) {
    std::vector<YearLogRecord> out;
    ReadYearLog(path, [&](const YearLogRecord* r, size_t n) {
        out.insert(out.end(), r, r + n);
        return true;
    });
    return out;
}
}  // namespace

class TestYearLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goldenRecord() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        YearLog log;
        QVERIFY(log.open(folder, 2026));
        QVERIFY(QFile::exists(dir.filePath("adnt/sols/2026.dat")));
        QVERIFY(log.append({7, 46364.0, 481, 9999}));
        QByteArray expected("\x07\x00", 2);
        expected += QByteArray("\x00\x00\x00\x00\x80\xa3\xe6\x40", 8);
        expected += QByteArray("\xe1\x01\x0f\x27\x00\x00", 6);
        QCOMPARE(ReadAll(folder.yearLog(2026)), expected);
    }

    void countComesFromTheFile_data() {
        QTest::addColumn<int>("existingBytes");
        QTest::addColumn<int>("count");
        QTest::newRow("new year") << 0 << 0;
        QTest::newRow("three records") << 48 << 3;
        QTest::newRow("a cut last slot counts") << 46 << 3;
        QTest::newRow("one byte") << 1 << 1;
    }
    void countComesFromTheFile() {
        QFETCH(int, existingBytes);
        QFETCH(int, count);
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        QDir().mkpath(folder.yearLogFolder());
        WriteAll(folder.yearLog(2026), QByteArray(existingBytes, '\x01'));
        YearLog log;
        QVERIFY(log.open(folder, 2026));
        QCOMPARE(log.recordCount(), count);
        QVERIFY(log.append({1, 1.0, 2, 3}));
        QCOMPARE(log.recordCount(), count + 1);
        // The new record lands right after the old ones, never over them.
        const auto back = ReadBack(folder.yearLog(2026));
        QCOMPARE(int(back.size()), count + 1);
        QCOMPARE(back.back(), (YearLogRecord{1, 1.0, 2, 3}));
    }

    void restartAppendsAfterTheLast() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        {
            YearLog log;
            log.open(folder, 2026);
            Must(log.append({1, 10.0, 100, 0}));
            Must(log.append({2, 10.0, 101, 5}));
        }
        YearLog again;
        again.open(folder, 2026);
        Must(again.append({3, 11.0, 102, 9999}));
        const auto back = ReadBack(folder.yearLog(2026));
        QCOMPARE(int(back.size()), 3);
        QCOMPARE(back[0].index, 1);
        QCOMPARE(back[2], (YearLogRecord{3, 11.0, 102, 9999}));
    }

    void readsInBlocksAndStops() {
        QTemporaryDir dir;
        DataFolder folder(dir.path());
        YearLog log;
        log.open(folder, 2030);
        for (int i = 0; i < 70000; ++i)
            Must(log.append({qint16(1 + i % 5000), 1.0, qint16(i % 1440), 0}));
        size_t blocks = 0, total = 0;
        ReadYearLog(folder.yearLog(2030), [&](const YearLogRecord* r, size_t n) {
            ++blocks;
            total += n;
            return r[n - 1].index != 0;
        });
        QCOMPARE(blocks, size_t(2));
        QCOMPARE(total, size_t(70000));
        size_t seen = 0;
        ReadYearLog(folder.yearLog(2030), [&](const YearLogRecord*, size_t n) {
            seen += n;
            return false;
        });
        QCOMPARE(seen, size_t(65536));
    }

    void cutSlotReadsZeros() {
        QByteArray bytes("\x05\x00\x00\x00\x00\x00\x00\x00\xf0\x3f\x0a", 11);
        std::vector<YearLogRecord> out;
        ReadYearLogBytes(bytes, [&](const YearLogRecord* r, size_t n) {
            out.assign(r, r + n);
            return true;
        });
        QCOMPARE(int(out.size()), 1);
        QCOMPARE(out[0], (YearLogRecord{5, 1.0, 10, 0}));
    }

    void indexOutsideRoster_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("valid");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("5000") << 5000 << true;
        QTest::newRow("5001") << 5001 << false;
        QTest::newRow("negative") << -3 << false;
    }
    void indexOutsideRoster() {
        QFETCH(int, index);
        QFETCH(bool, valid);
        QCOMPARE((YearLogRecord{qint16(index), 0, 0, 0}).hasValidIndex(), valid);
    }

    void missingFile() {
        QTemporaryDir dir;
        QVERIFY(!ReadYearLog(dir.filePath("1999.dat"),
                             [](const YearLogRecord*, size_t) { return true; }));
    }
};

QTEST_APPLESS_MAIN(TestYearLog)
#include "TestYearLog.moc"
