#include <QTest>

#include "common/text.h"

using namespace tallyra;

class TestText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replaceAll_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks removed") << "卡 号 "
                                        << " "
                                        << ""
                                        << "卡号";
        QTest::newRow("replacement holds find") << "a/b"
                                                << "/"
                                                << "//"
                                                << "a//b";
        QTest::newRow("runs collapse once") << "a////b"
                                            << "//"
                                            << "/"
                                            << "a//b";
        QTest::newRow("empty find") << "abc"
                                    << ""
                                    << "x"
                                    << "abc";
        QTest::newRow("find equals replacement") << "aaa"
                                                 << "a"
                                                 << "a"
                                                 << "aaa";
        QTest::newRow("backslash to slash") << "C:\\a\\b"
                                            << "\\"
                                            << "/"
                                            << "C:/a/b";
    }
    void replaceAll() {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceAll(text, find, replacement), expected);
    }

    void numericValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("two digits") << "07" << 7.0;
        QTest::newRow("stops at colon") << "23:59" << 23.0;
        QTest::newRow("blanks inside skipped") << " 1 2 3" << 123.0;
        QTest::newRow("fraction") << "19.27岁" << 19.27;
        QTest::newRow("negative") << "-5" << -5.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("lone sign") << "-" << 0.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("exponent without digits") << "12e" << 12.0;
        QTest::newRow("huge exponent is no number") << "1e999999" << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("chinese first") << "张3" << 0.0;
    }
    void numericValue() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(NumericValue(text), expected);
    }

    void wildcard_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star all") << "张三"
                                  << "*" << true;
        QTest::newRow("star empty text") << ""
                                         << "*" << true;
        QTest::newRow("empty pattern empty text") << ""
                                                  << "" << true;
        QTest::newRow("empty pattern") << "张三"
                                       << "" << false;
        QTest::newRow("question two chars") << "张三"
                                            << "张?" << true;
        QTest::newRow("question not three") << "张三丰"
                                            << "张?" << false;
        QTest::newRow("whole text only") << "小张三"
                                         << "张*" << false;
        QTest::newRow("case sensitive") << "Wang"
                                        << "wang" << false;
        QTest::newRow("digit") << "A7"
                               << "A#" << true;
        QTest::newRow("digit not letter") << "AB"
                                          << "A#" << false;
        QTest::newRow("list") << "b"
                              << "[abc]" << true;
        QTest::newRow("range") << "m"
                               << "[a-z]" << true;
        QTest::newRow("range outside") << "M"
                                       << "[a-z]" << false;
        QTest::newRow("negated") << "x"
                                 << "[!abc]" << true;
        QTest::newRow("negated hit") << "a"
                                     << "[!abc]" << false;
        QTest::newRow("chinese list") << "李四"
                                      << "[张李]*" << true;
        QTest::newRow("star backtracks") << "abcbc"
                                         << "a*bc" << true;
        QTest::newRow("star then digit") << "room12"
                                         << "*##" << true;
        QTest::newRow("literal star in list") << "*"
                                              << "[*]" << true;
        QTest::newRow("unclosed bracket literal") << "[a"
                                                  << "[a" << true;
        QTest::newRow("empty brackets match nothing") << "ab"
                                                      << "a[]b" << true;
        QTest::newRow("outside BMP is one char")
            << QString::fromUcs4(U"\U00020000x") << "?x" << true;
    }
    void wildcard() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(WildcardMatch(text, pattern), matches);
    }

    void marks_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("mark");
        QTest::newRow("on time") << -1 << "√";
        QTest::newRow("absent") << 9999 << "×";
        QTest::newRow("5 late") << 5 << "○  5";
        QTest::newRow("120 late") << 120 << "○120";
        QTest::newRow("nothing") << 0 << "";
        QTest::newRow("other negative") << -7 << "";
        QTest::newRow("beyond absent") << 12000 << "○12000";
    }
    void marks() {
        QFETCH(int, status);
        QFETCH(QString, mark);
        QCOMPARE(StatusMark(status), mark);
    }

    void blankLeadingZeros() {
        QCOMPARE(BlankLeadingZeros(QStringLiteral("005")), QStringLiteral("  5"));
        QCOMPARE(BlankLeadingZeros(QStringLiteral("000")), QStringLiteral("   "));
        QCOMPARE(BlankLeadingZeros(QStringLiteral("102")), QStringLiteral("102"));
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "TestText.moc"
