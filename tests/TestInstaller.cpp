#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "common/gbk.h"
#include "installer/installmanifest.h"
#include "installer/listfile.h"
#include "installer/setupconfig.h"
#include "installer/setupfiles.h"
#include "scratchfiles.h"

using namespace tallyra;
using tallyra::test::Names;
using tallyra::test::WriteFile;

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
    void manifestKeepsOnlyPlainPaths();
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

    // A tree unpacked without modes still gives a program that runs.
    QFile::setPermissions(src, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QVERIFY(CopyFileOver(src, dst, true));
    QCOMPARE(QFileInfo(dst).permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther),
             QFile::ExeOwner | QFile::ExeOther);
    // A link where the file goes is replaced, the file it points at is left alone.
    WriteFile(dir.filePath("victim.txt"), "victim");
    QVERIFY(QFile::link(dir.filePath("victim.txt"), dir.filePath("dst/linked")));
    QVERIFY(CopyFileOver(src, dir.filePath("dst/linked")));
    QVERIFY(!QFileInfo(dir.filePath("dst/linked")).isSymLink());
    QCOMPARE(tallyra::test::ReadFile(dir.filePath("victim.txt")), QByteArray("victim"));
    // ... and so is a link where a folder goes.
    const QString data = dir.filePath("src"), target = dir.filePath("t");
    WriteFile(data + "/sound/0.wav", "wav");
    QDir().mkpath(target);
    QVERIFY(QFile::link(dir.filePath("dst"), target + "/sound"));
    QCOMPARE(MkFolder(data, target + "/", data.size()), QStringList{target + "/sound"});
    QVERIFY(!QFileInfo(target + "/sound").isSymLink());
    QVERIFY(!QFileInfo::exists(dir.filePath("dst/0.wav")));
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
    WriteFile(outside + "/0.wav", "not ours");
    for (const char* f :
         {"Tallyra", "sound/0.wav", "a/b/c/deep.dat", "Rw.dat", "shuju.dat", "adnt/sols/2026.dat",
          "thesis.txt", "年级/2025/成绩.xls", "adnt/sols/notes.txt", ".config"})
        WriteFile(installed + "/" + f, "x");
    QDir().mkpath(installed + "/empty");
    QVERIFY(QFile::link(outside, installed + "/linked"));
    QVERIFY(QFile::link(outside + "/keep.dat", installed + "/Tallyra.svg"));
    Ownership owned;
    owned.files = {"Tallyra", "sound/0.wav", "a/b/c/deep.dat", "Tallyra.svg", "linked/0.wav"};
    owned.folders = {"sound", "a", "a/b", "a/b/c", "empty", "linked"};
    QCOMPARE(DelFolder(installed, owned),
             (QStringList{".config", "linked", "thesis.txt", "adnt/sols/notes.txt",
                          "年级/2025/成绩.xls"}));
    QVERIFY(QFileInfo(installed).isDir());
    QCOMPARE(Names(installed),
             (QStringList{".config", "thesis.txt", "adnt/sols/notes.txt", "年级/2025/成绩.xls"}));
    for (const char* gone : {"sound", "a", "empty"})
        QVERIFY2(!QFileInfo::exists(installed + "/" + gone), gone);
    QCOMPARE(QDir(outside).entryList(QDir::Files), (QStringList{"0.wav", "keep.dat"}));
}

void TestInstaller::manifestKeepsOnlyPlainPaths() {
    QTemporaryDir dir;
    const QString path = InstallManifest::pathIn(dir.path(), "Tallyra");
    QCOMPARE(path, dir.filePath("Tallyra.manifest"));
    InstallManifest m{
        {"Tallyra", "年级 2025/a b.wav"}, {"sound"}, {"/opt/x"}, {"/h/桌面/T.desktop"}};
    QVERIFY(m.write(path, "two\nlines"));
    InstallManifest back;
    QVERIFY(InstallManifest::read(path, back));
    QCOMPARE(back.files, m.files);
    QCOMPARE(back.folders, m.folders);
    QCOMPARE(back.parents, m.parents);
    QCOMPARE(back.entries, m.entries);
    // Lines that would reach outside the folder are dropped.
    WriteFile(path, tallyra::test::ReadFile(path) +
                        "file ../../etc/passwd\nfile /etc/passwd\nfile a//b\nfolder ./x\n"
                        "parent relative/p\nentry /x/../y\n");
    QVERIFY(InstallManifest::read(path, back));
    QCOMPARE(back.files, m.files);
    QCOMPARE(back.folders, m.folders);
    QCOMPARE(back.parents, m.parents);
    QCOMPARE(back.entries, m.entries);
    // Not ours: a plain text file, or one reached through a link.
    WriteFile(dir.filePath("other.txt"), "file Tallyra\n");
    QVERIFY(!InstallManifest::read(dir.filePath("other.txt"), back));
    QVERIFY(QFile::link(path, dir.filePath("linked.manifest")));
    QVERIFY(!InstallManifest::read(dir.filePath("linked.manifest"), back));
    QVERIFY(back.files.isEmpty());
}

void TestInstaller::uninstallRefusal_data() {
    QTest::addColumn<QString>("folder");  // "@" is the scratch folder
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("installRefused");
    QTest::newRow("root") << "/" << true << true;
    QTest::newRow("root, doubled") << "//" << true << true;
    QTest::newRow("system root") << "@/sys" << true << true;
    QTest::newRow("home") << "@/home" << true << true;
    QTest::newRow("home, trailing slash") << "@/home/" << true << true;
    QTest::newRow("home through a link") << "@/homelink" << true << true;
    QTest::newRow("parent of home") << "@" << true << true;
    QTest::newRow("parent of home, dotted") << "@/home/.." << true << true;
    QTest::newRow("target is a link") << "@/home/Linked" << true << true;
    QTest::newRow("inside data") << "@/cdrom/data/bin/Tallyra" << true << true;
    QTest::newRow("data itself") << "@/cdrom/data" << true << true;
    QTest::newRow("inside data through a link") << "@/home/ld/sub/Tallyra" << true << true;
    QTest::newRow("no program inside") << "@/home/Documents" << true << false;
    QTest::newRow("program is a folder") << "@/home/Odd" << true << false;
    QTest::newRow("relative") << "home/Tallyra" << true << true;
    QTest::newRow("installed copy") << "@/home/Tallyra" << false << false;
    QTest::newRow("manifest only") << "@/home/Listed" << false << false;
    QTest::newRow("already gone") << "@/home/Gone" << false << false;
    QTest::newRow("beside data") << "@/cdrom/Tallyra" << false << false;
}

void TestInstaller::uninstallRefusal() {
    QFETCH(QString, folder);
    QFETCH(bool, refused);
    QFETCH(bool, installRefused);
    QTemporaryDir dir;
    const QString home = dir.filePath("home");
    WriteFile(home + "/Tallyra/Tallyra", "exe");
    WriteFile(home + "/Listed/Tallyra.manifest", "");
    WriteFile(home + "/Documents/letter.txt", "x");
    WriteFile(dir.filePath("cdrom/data/appname.txt"), "x");
    QDir().mkpath(home + "/Odd/Tallyra");
    QDir().mkpath(dir.filePath("sys"));
    QVERIFY(QFile::link(home, dir.filePath("homelink")));
    QVERIFY(QFile::link(home + "/Tallyra", home + "/Linked"));
    QVERIFY(QFile::link(dir.filePath("cdrom/data"), home + "/ld"));
    folder.replace("@", dir.path());
    const Places places{home, dir.filePath("sys"), dir.filePath("cdrom/data")};
    const std::optional<QString> why = UninstallRefusal(folder, "Tallyra", places);
    QCOMPARE(why.has_value(), refused);
    if (why) QVERIFY(!why->isEmpty());
    QCOMPARE(TargetRefusal(folder, places).has_value(), installRefused);
}

void TestInstaller::desktopEntry_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");  // as it stands in the file
    QTest::newRow("plain") << "/opt/Tallyra/Tallyra"
                           << "/opt/Tallyra/Tallyra";
    QTest::newRow("blank") << "/home/a b/Tallyra"
                           << "\"/home/a b/Tallyra\"";
    QTest::newRow("percent") << "/x/50%/Tallyra"
                             << "env /x/50%%/Tallyra";
    QTest::newRow("dollar and quote") << "/x/$a\"b"
                                      << "\"/x/\\\\$a\\\\\"b\"";
    QTest::newRow("chinese") << "/home/用户/考勤/Tallyra"
                             << "/home/用户/考勤/Tallyra";
    QTest::newRow("trailing and doubled slashes") << "/opt//Tallyra/./Tallyra"
                                                  << "/opt/Tallyra/Tallyra";
    QTest::newRow("percent in a quoted folder") << "/home/a b/100%/Tallyra"
                                                << "env \"/home/a b/100%%/Tallyra\"";
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
         {"Type=Application", "Name=Tallyra", "Terminal=false", "Icon=/opt/Tallyra/Tallyra.svg",
          "Name[zh_CN]=Tallyra 考勤", "GenericName[zh_CN]=考勤签到"})
        QVERIFY2(lines.contains(line), line);
    for (const QString key : {"Comment=", "Comment[zh_CN]=", "Keywords=", "Keywords[zh_CN]="}) {
        const QStringList found =
            lines.filter(QRegularExpression("^" + QRegularExpression::escape(key) + "."));
        QVERIFY2(found.size() == 1, qPrintable(key));
        if (key.startsWith("Keywords")) QVERIFY(found[0].endsWith(';'));
    }
    QFETCH(QString, exec);
    QVERIFY2(lines.contains("Exec=" + exec), qPrintable(lines.join(" | ")));
    QVERIFY(QFileInfo(path).permissions() & QFile::ExeOwner);
    // Uninstall knows its own entries by what they start.
    QVERIFY(IsOwnDesktopEntry(path, program));
    QVERIFY(!IsOwnDesktopEntry(path, "/elsewhere/Tallyra"));
    QVERIFY(QFile::link(path, dir.filePath("link.desktop")));
    QVERIFY(!IsOwnDesktopEntry(dir.filePath("link.desktop"), program));
}

QTEST_GUILESS_MAIN(TestInstaller)
#include "TestInstaller.moc"
