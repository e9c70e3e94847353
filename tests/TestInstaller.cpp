#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "common/gbk.h"
#include "installer/listfile.h"
#include "installer/setupconfig.h"
#include "installer/setupfiles.h"
#include "scratchfiles.h"

using namespace tallyra;
using tallyra::test::WriteFile;

namespace {

QStringList Names(const QString& folder) {
    QStringList out;
    for (const QString& f : SearchFolder(folder)) out << f.mid(folder.size() + 1);
    return out;
}

}  // namespace

class TestInstaller : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parseItems_data();
    void parseItems();
    void decodesEitherCodePage();
    void unreadableListsGiveNothing();
    void appConfig_data();
    void appConfig();
    void versions_data();
    void versions();
    void folderText_data();
    void folderText();
    void copiesAndFoldersKeepRelativePaths();
    void copyReplacesWithoutLeftovers();
    void deleteMatching_data();
    void deleteMatching();
    void delFolderNeverFollowsLinks();
    void uninstallRefusal_data();
    void uninstallRefusal();
    void desktopEntry_data();
    void desktopEntry();
};

void TestInstaller::parseItems_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("lines") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("bare LF and CR") << "a\nb\rc" << QStringList{"a", "b", "c"};
    QTest::newRow("commas") << "a,b" << QStringList{"a", "b"};
    QTest::newRow("blanks trimmed") << "  lead ,\ttrail\t" << QStringList{"lead", "trail"};
    QTest::newRow("quotes keep commas and blanks") << "\" x, y \",z" << QStringList{" x, y ", "z"};
    QTest::newRow("after closing quote ignored") << "\"q\" junk,next" << QStringList{"q", "next"};
    QTest::newRow("quote inside an item stays") << "sh -c \"a b\"" << QStringList{"sh -c \"a b\""};
    QTest::newRow("empty item between") << "a,,b" << QStringList{"a", "", "b"};
    QTest::newRow("blank line") << "a\n\nb" << QStringList{"a", "", "b"};
    QTest::newRow("unterminated quote") << "\"open, still" << QStringList{"open, still"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("only blanks") << "   " << QStringList{};
}

void TestInstaller::parseItems() {
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(ParseListItems(text), items);
}

void TestInstaller::decodesEitherCodePage() {
    const QString chinese = QStringLiteral("~/桌面/考勤.desktop");
    QCOMPARE(DecodeListText(chinese.toUtf8()), chinese);
    QCOMPARE(DecodeListText(EncodeGbk(chinese)), chinese);
    QCOMPARE(DecodeListText("\xEF\xBB\xBF" + chinese.toUtf8()), chinese);
}

void TestInstaller::unreadableListsGiveNothing() {
    QTemporaryDir dir;
    QVERIFY(ReadListFile(dir.filePath("missing.txt")).isEmpty());
    QVERIFY(ReadListFile(dir.path()).isEmpty());  // a folder
    // A pipe would block a reader that waits for its end.
    const QString fifo = dir.filePath("K.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(ReadListFile(fifo).isEmpty());
    WriteFile(dir.filePath("big.txt"), QByteArray(5 * 1024 * 1024, 'a'));
    QVERIFY(ReadListFile(dir.filePath("big.txt")).isEmpty());
    WriteFile(dir.filePath("ok.txt"), "one,two");
    QCOMPARE(ReadListFile(dir.filePath("ok.txt")), (QStringList{"one", "two"}));
}

void TestInstaller::appConfig_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("version");
    const int ok = int(AppConfigStatus::Ok), bad = int(AppConfigStatus::Invalid);
    QTest::newRow("two lines") << QByteArray("Tallyra\r\n101\r\n") << ok << "Tallyra" << 101;
    QTest::newRow("quoted, comma") << QByteArray("\"Tallyra\",5") << ok << "Tallyra" << 5;
    QTest::newRow("GBK name") << EncodeGbk(QStringLiteral("考勤\n7")) << ok << "考勤" << 7;
    QTest::newRow("no version") << QByteArray("Tallyra\n") << bad << "" << 0;
    QTest::newRow("version text") << QByteArray("Tallyra\nnew") << bad << "" << 0;
    QTest::newRow("version too big") << QByteArray("Tallyra\n40000") << bad << "" << 0;
    QTest::newRow("name is a path") << QByteArray("../evil\n101") << bad << "" << 0;
    QTest::newRow("empty name") << QByteArray("\"\",101") << bad << "" << 0;
}

void TestInstaller::appConfig() {
    QFETCH(QByteArray, content);
    QFETCH(int, status);
    QTemporaryDir dir;
    const QString path = dir.filePath("appname.txt");
    QCOMPARE(int(ReadAppConfig(path).status), int(AppConfigStatus::Missing));
    WriteFile(path, content);
    const AppConfigResult r = ReadAppConfig(path);
    QCOMPARE(int(r.status), status);
    if (r.status == AppConfigStatus::Ok) {
        QTEST(r.config.appName, "name");
        QTEST(int(r.config.appVersion), "version");
    }
}

void TestInstaller::versions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");  // -99999: not a 16-bit integer
    QTest::addColumn<QString>("shown");
    QTest::newRow("101") << "101" << 101 << "1.01";
    QTest::newRow("5") << "5" << 5 << "0.05";
    QTest::newRow("0") << "0" << 0 << "0.00";
    QTest::newRow("negative") << "-5" << -5 << "-0.05";
    QTest::newRow("blanks") << " 250 " << 250 << "2.50";
    QTest::newRow("half to even") << "2.5" << 2 << "0.02";
    QTest::newRow("largest") << "32767" << 32767 << "327.67";
    QTest::newRow("overflow") << "32768" << -99999 << "";
    QTest::newRow("text") << "abc" << -99999 << "";
    QTest::newRow("empty") << "" << -99999 << "";
}

void TestInstaller::versions() {
    QFETCH(QString, text);
    QFETCH(int, value);
    const std::optional<qint16> v = ToInteger16(text);
    QCOMPARE(v.has_value(), value != -99999);
    if (v) {
        QCOMPARE(int(*v), value);
        QTEST(FormatVersion(*v), "shown");
    }
}

void TestInstaller::folderText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("normal");
    QTest::newRow("doubled slash") << "D:/Apps//X"
                                   << "D:/Apps/X";
    QTest::newRow("backslashes") << "C:\\Program Files\\\\Tallyra"
                                 << "C:/Program Files/Tallyra";
    QTest::newRow("long run") << "/a////b"
                              << "/a/b";
    QTest::newRow("root join") << "//Tallyra"
                               << "/Tallyra";
    QTest::newRow("unchanged") << "/opt/Tallyra"
                               << "/opt/Tallyra";
}

void TestInstaller::folderText() {
    QFETCH(QString, typed);
    QTEST(NormaliseFolderText(typed), "normal");
}

void TestInstaller::copiesAndFoldersKeepRelativePaths() {
    QTemporaryDir dir;
    const QString data = dir.filePath("data");
    WriteFile(data + "/appname.txt", "x");
    WriteFile(data + "/bin/x.dll", "dll");
    WriteFile(data + "/a/b/c/deep.txt", "deep");
    WriteFile(data + "/.hidden", "h");
    QDir().mkpath(data + "/empty/inner");
    // A link back up must not make the walk endless.
    QVERIFY(QFile::link(data, data + "/a/loop"));
    QCOMPARE(Names(data), (QStringList{".hidden", "appname.txt", "a/b/c/deep.txt", "bin/x.dll"}));

    const QString target = dir.filePath("one/two/Tallyra");
    CreateFolderPath(target);
    QVERIFY(QFileInfo(target).isDir());
    MkFolder(data, target + "/", data.size());
    QVERIFY(QFileInfo(target + "/a/b/c").isDir());
    QVERIFY(QFileInfo(target + "/empty/inner").isDir());
    QVERIFY(!QFileInfo::exists(target + "/a/loop"));
    for (const QString& f : SearchFolder(data))
        QVERIFY(CopyFileOver(f, target + f.mid(data.size())));
    QCOMPARE(Names(target), Names(data));
}

void TestInstaller::copyReplacesWithoutLeftovers() {
    QTemporaryDir dir;
    const QString src = dir.filePath("src/Tallyra"), dst = dir.filePath("dst/Tallyra");
    WriteFile(src, "#!/bin/sh\necho new\n");
    QFile::setPermissions(src, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    WriteFile(dst, "old, longer than the new one ....................................");
    QVERIFY(CopyFileOver(src, dst));
    QFile f(dst);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("#!/bin/sh\necho new\n"));
    QVERIFY(QFileInfo(dst).permissions() & QFile::ExeOwner);
    QCOMPARE(QDir(dir.filePath("dst")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Tallyra"});

    QVERIFY(!CopyFileOver(src, dir.filePath("missing/Tallyra")));  // folders are not made
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
    QDir().mkpath(dir.filePath("dst/adir"));
    QVERIFY(!CopyFileOver(src, dir.filePath("dst/adir")));
    QVERIFY(!CopyFileOver(dir.filePath("nope"), dst));
    QVERIFY(f.seek(0));
    QCOMPARE(f.readAll(), QByteArray("#!/bin/sh\necho new\n"));
}

void TestInstaller::deleteMatching_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QStringList>("left");  // what stays in work/
    const QStringList all{"a.log", "b.log", "keep.txt", "x.log/inner.txt"};
    QTest::newRow("wildcard, not folders")
        << "work/*.log" << 2 << QStringList{"keep.txt", "x.log/inner.txt"};
    QTest::newRow("backslashes") << "work\\a.log" << 1
                                 << QStringList{"b.log", "keep.txt", "x.log/inner.txt"};
    QTest::newRow("absolute question mark")
        << "@/work/?.log" << 2 << QStringList{"keep.txt", "x.log/inner.txt"};
    QTest::newRow("home") << "~/work/keep.txt" << 1
                          << QStringList{"a.log", "b.log", "x.log/inner.txt"};
    QTest::newRow("case matters") << "work/*.LOG" << 0 << all;
    QTest::newRow("folder by name") << "work/x.log" << 0 << all;
    QTest::newRow("missing folder") << "nowhere/*" << 0 << all;
    QTest::newRow("ends in a slash") << "work/" << 0 << all;
}

void TestInstaller::deleteMatching() {
    QFETCH(QString, item);
    QTemporaryDir dir;
    const QString base = dir.path();
    for (const char* f : {"work/a.log", "work/b.log", "work/keep.txt", "work/x.log/inner.txt"})
        WriteFile(base + "/" + f, "x");
    item.replace("@", base);
    QTEST(DeleteMatching(item, base, base), "removed");
    QTEST(Names(base + "/work"), "left");
}

void TestInstaller::delFolderNeverFollowsLinks() {
    QTemporaryDir dir;
    const QString installed = dir.filePath("Tallyra"), outside = dir.filePath("precious");
    WriteFile(outside + "/keep.dat", "k");
    WriteFile(installed + "/Tallyra", "exe");
    WriteFile(installed + "/a/b/c/deep.dat", "d");
    WriteFile(installed + "/.config", "h");
    QVERIFY(QFile::link(outside, installed + "/a/linked"));
    QVERIFY(QFile::link(outside + "/keep.dat", installed + "/keep-link"));
    DelFolder(installed);
    QVERIFY(QFileInfo(installed).isDir());
    QVERIFY(QDir(installed).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                                    QDir::NoDotAndDotDot));
    QVERIFY(QFileInfo(outside + "/keep.dat").isFile());
}

void TestInstaller::uninstallRefusal_data() {
    QTest::addColumn<QString>("folder");  // "@" is the scratch folder
    QTest::addColumn<bool>("refused");
    QTest::newRow("root") << "/" << true;
    QTest::newRow("system root") << "@/sys" << true;
    QTest::newRow("home") << "@/home" << true;
    QTest::newRow("home through a link") << "@/homelink" << true;
    QTest::newRow("parent of home") << "@" << true;
    QTest::newRow("no program inside") << "@/home/Documents" << true;
    QTest::newRow("program is a folder") << "@/home/Odd" << true;
    QTest::newRow("relative") << "home/Tallyra" << true;
    QTest::newRow("installed copy") << "@/home/Tallyra" << false;
    QTest::newRow("already gone") << "@/home/Gone" << false;
}

void TestInstaller::uninstallRefusal() {
    QFETCH(QString, folder);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QString home = dir.filePath("home");
    WriteFile(home + "/Tallyra/Tallyra", "exe");
    WriteFile(home + "/Documents/letter.txt", "x");
    QDir().mkpath(home + "/Odd/Tallyra");
    QDir().mkpath(dir.filePath("sys"));
    QVERIFY(QFile::link(home, dir.filePath("homelink")));
    folder.replace("@", dir.path());
    const std::optional<QString> why =
        UninstallRefusal(folder, "Tallyra", home, dir.filePath("sys"));
    QCOMPARE(why.has_value(), refused);
    if (why) QVERIFY(!why->isEmpty());
}

void TestInstaller::desktopEntry_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");  // as it stands in the file
    QTest::newRow("plain") << "/opt/Tallyra/Tallyra"
                           << "/opt/Tallyra/Tallyra";
    QTest::newRow("blank") << "/home/a b/Tallyra"
                           << "\"/home/a b/Tallyra\"";
    QTest::newRow("percent") << "/x/50%/Tallyra"
                             << "/x/50%%/Tallyra";
    QTest::newRow("dollar and quote") << "/x/$a\"b"
                                      << "\"/x/\\\\$a\\\\\"b\"";
    QTest::newRow("chinese") << "/home/用户/考勤/Tallyra"
                             << "/home/用户/考勤/Tallyra";
}

void TestInstaller::desktopEntry() {
    QFETCH(QString, program);
    QTemporaryDir dir;
    const QString folder = dir.filePath("made/applications");
    QVERIFY(WriteDesktopEntry(folder, "Tallyra", program, "/opt/Tallyra/Tallyra.svg",
                              QFileInfo(program).absolutePath()));
    const QString path = folder + "/Tallyra.desktop";
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), "[Desktop Entry]");
    for (const char* line :
         {"Type=Application", "Name=Tallyra", "Terminal=false", "Icon=/opt/Tallyra/Tallyra.svg"})
        QVERIFY2(lines.contains(line), line);
    QFETCH(QString, exec);
    QVERIFY2(lines.contains("Exec=" + exec), qPrintable(lines.join(" | ")));
    QVERIFY(QFileInfo(path).permissions() & QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(TestInstaller)
#include "TestInstaller.moc"
