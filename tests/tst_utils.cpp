#include "app/utils.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "filesizelimit.h"

class TestUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void baseName_data();
    void baseName();
    void fileName_data();
    void fileName();
    void safeName_data();
    void safeName();
    void invertColor_data();
    void invertColor();
    void toLocalPath_data();
    void toLocalPath();
    void readFile();
    void writeFileReplacesWholeContent();
    void writeFileIntoMissingFolder();
    void writeFileFailureKeepsOldFile();
    void removeFile();
};

void TestUtils::baseName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("suffix") << "photo.jpg"
                            << "photo";
    QTest::newRow("two dots") << "a.b.c"
                              << "a.b";
    QTest::newRow("no dot") << "photo"
                            << "photo";
    QTest::newRow("hidden") << ".hidden"
                            << "";
    QTest::newRow("trailing dot") << "name."
                                  << "name";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("dot in folder") << "old.dir/file"
                                   << "old";
}

void TestUtils::baseName()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Utils::instance()->baseName(input), expected);
}

void TestUtils::fileName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive path") << "C:/x/y/z.txt"
                                << "z.txt";
    QTest::newRow("unix path") << "/data/labels/000123.txt"
                               << "000123.txt";
    QTest::newRow("bare name") << "a.txt"
                               << "a.txt";
    QTest::newRow("ends with separator") << "/data/labels/"
                                         << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestUtils::fileName()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Utils::instance()->fileName(input), expected);
}

void TestUtils::safeName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks and specials") << "  a?b:c \t"
                                         << "a_b_c";
    QTest::newRow("every special") << "?:/\\*'\"~&"
                                   << "_________";
    QTest::newRow("angle brackets and bar stay") << "a<b>c|d"
                                                 << "a<b>c|d";
    QTest::newRow("inner blanks stay") << " a b "
                                       << "a b";
    QTest::newRow("only whitespace") << " \t\n "
                                     << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestUtils::safeName()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Utils::instance()->safeName(input), expected);
}

void TestUtils::invertColor_data()
{
    QTest::addColumn<QColor>("input");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("white") << QColor(Qt::white) << QColor(0, 0, 0, 255);
    QTest::newRow("blue") << QColor(0, 0, 255) << QColor(255, 255, 0, 255);
    QTest::newRow("half-transparent red") << QColor(255, 0, 0, 128) << QColor(0, 255, 255, 255);
    QTest::newRow("invalid") << QColor() << QColor(255, 255, 255, 255);
}

void TestUtils::invertColor()
{
    QFETCH(QColor, input);
    QFETCH(QColor, expected);
    QCOMPARE(Utils::instance()->invertColor(input), expected);
}

void TestUtils::toLocalPath_data()
{
    QTest::addColumn<QUrl>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file url") << QUrl("file:///data/images") << "/data/images";
    QTest::newRow("percent-encoded") << QUrl("file:///data/a%23b%20c") << "/data/a#b c";
    QTest::newRow("other scheme") << QUrl("https://example.org/x") << "";
    QTest::newRow("empty") << QUrl() << "";
}

void TestUtils::toLocalPath()
{
    QFETCH(QUrl, input);
    QFETCH(QString, expected);
    QCOMPARE(Utils::instance()->toLocalPath(input), expected);
}

void TestUtils::readFile()
{
    QTemporaryDir dir;
    QByteArray data("untouched");
    QVERIFY(!Utils::instance()->readFile(dir.filePath("missing.txt"), data));
    QCOMPARE(data, QByteArray("untouched"));

    QFile empty(dir.filePath("empty.txt"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(Utils::instance()->readFile(empty.fileName(), data));
    QCOMPARE(data, QByteArray());
}

void TestUtils::writeFileReplacesWholeContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("labels.txt");
    QVERIFY(Utils::instance()->writeFile(path, "a much longer first content\r\n"));
    QVERIFY(Utils::instance()->writeFile(path, "0 0.5\n"));
    QByteArray data;
    QVERIFY(Utils::instance()->readFile(path, data));
    QCOMPARE(data, QByteArray("0 0.5\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"labels.txt"});
}

void TestUtils::writeFileIntoMissingFolder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/labels.txt");
    QVERIFY(!Utils::instance()->writeFile(path, "0 0.5 0.5 0.1 0.1"));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
}

void TestUtils::writeFileFailureKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("labels.txt");
    const QByteArray old("1 0.5 0.5 0.2 0.2");
    QVERIFY(Utils::instance()->writeFile(path, old));

    bool written = true;
    {
        // The write stops part-way, as on a full disk.
        FileSizeLimit limit(64);
        written = Utils::instance()->writeFile(path, QByteArray(4096, 'x'));
    }
    QVERIFY(!written);
    QByteArray data;
    QVERIFY(Utils::instance()->readFile(path, data));
    QCOMPARE(data, old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"labels.txt"});
}

void TestUtils::removeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.txt");
    QVERIFY(Utils::instance()->writeFile(path, "x"));
    QVERIFY(Utils::instance()->fileExists(path));
    QVERIFY(Utils::instance()->removeFile(path));
    QVERIFY(!Utils::instance()->fileExists(path));
    QVERIFY(!Utils::instance()->removeFile(path));
    QVERIFY(!Utils::instance()->removeFile(QString()));
}

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_utils.moc"
