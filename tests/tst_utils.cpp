#include "app/utils.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "filesizelimit.h"
#include "testfiles.h"

class TestUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strings_data();
    void strings();
    void files();
    void writeFailureKeepsOldFile();
};

void TestUtils::strings_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const char *rows[][3] = {
        {"baseName", "photo.jpg", "photo"},
        {"baseName", "a.b.c", "a.b"},
        {"baseName", "photo", "photo"},
        {"baseName", ".hidden", ""},
        {"baseName", "name.", "name"},
        {"baseName", "", ""},
        {"baseName", "old.dir/file", "old"},
        {"fileName", "C:/x/y/z.txt", "z.txt"},
        {"fileName", "a.txt", "a.txt"},
        {"fileName", "/data/labels/", ""},
        {"toLocalPath", "file:///data/a%23b%20c", "/data/a#b c"},
        {"toLocalPath", "https://example.org/x", ""},
        {"toLocalPath", "", ""},
        {"invertColor", "#ffffff", "#ff000000"},
        {"invertColor", "#80ff0000", "#ff00ffff"}, // half-transparent red
        {"invertColor", "", "#ffffffff"},          // invalid
    };
    for (const auto &row : rows)
        QTest::addRow("%s(%s)", row[0], row[1]) << row[0] << row[1] << row[2];
}

void TestUtils::strings()
{
    QFETCH(QString, slot);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    Utils *utils = Utils::instance();
    const QString got = slot == "baseName"      ? utils->baseName(input)
                        : slot == "fileName"    ? utils->fileName(input)
                        : slot == "invertColor" ? utils->invertColor(QColor(input)).name(QColor::HexArgb)
                                                : utils->toLocalPath(QUrl(input));
    QCOMPARE(got, expected);
}

void TestUtils::files()
{
    Utils *utils = Utils::instance();
    QTemporaryDir dir;
    const QString path = dir.filePath("labels.txt");
    QByteArray data("untouched");
    QVERIFY(!utils->readFile(path, data));
    QCOMPARE(data, QByteArray("untouched"));
    QVERIFY(TestFiles::write(path, ""));
    QVERIFY(utils->readFile(path, data));
    QCOMPARE(data, QByteArray());

    QVERIFY(utils->writeFile(path, "a much longer first content\r\n"));
    QVERIFY(utils->writeFile(path, "0 0.5\n"));
    QCOMPARE(TestFiles::read(path), QByteArray("0 0.5\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"labels.txt"});

    QVERIFY(!utils->writeFile(dir.filePath("missing/labels.txt"), "0"));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));

    QVERIFY(utils->fileExists(path));
    QVERIFY(utils->removeFile(path));
    QVERIFY(!utils->fileExists(path));
    QVERIFY(!utils->removeFile(path));
    QVERIFY(!utils->removeFile(QString()));
}

void TestUtils::writeFailureKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("labels.txt");
    QVERIFY(TestFiles::write(path, "1 0.5 0.5 0.2 0.2"));
    bool written = true;
    {
        FileSizeLimit limit(64); // the write stops part-way, as on a full disk
        written = Utils::instance()->writeFile(path, QByteArray(4096, 'x'));
    }
    QVERIFY(!written);
    QCOMPARE(TestFiles::read(path), QByteArray("1 0.5 0.5 0.2 0.2"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"labels.txt"});
}

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_utils.moc"
