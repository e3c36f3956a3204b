#include "boxes/bboxlist.h"
#include "boxes/yololabelfile.h"
#include "formats/fileio.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "filesizelimit.h"
#include "modelcheck.h"
#include "testfiles.h"

#include <limits>

using Boxes = QVector<BoxInfo>;
Q_DECLARE_METATYPE(BoxInfo)

// Label files and the whole-file reading and writing beneath them.
class TestYoloLabelFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void save_data();
    void save();
    void numbersMatchQString_data();
    void numbersMatchQString();
    void load_data();
    void load();
    void saveFails_data();
    void saveFails();
    void files();

private:
    QTemporaryDir m_dir;
};

void TestYoloLabelFile::save_data()
{
    QTest::addColumn<Boxes>("boxes");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("two boxes, no line feed at the end") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}, {1, 0.25, 0.75, 0.2, 0.3}}
                                                        << QByteArray("0 0.5 0.5 0.1 0.1\n1 0.25 0.75 0.2 0.3");
    QTest::newRow("no boxes") << Boxes{} << QByteArray();
    QTest::newRow("six digits") << Boxes{{0, 0.123456789, 0.1 + 0.2, 0.25, 0.0001}}
                                << QByteArray("0 0.123457 0.3 0.25 0.0001");
    QTest::newRow("negatives, negative zero") << Boxes{{-2, -0.03, -0.0, 0.5, 0.5}} << QByteArray("-2 -0.03 0 0.5 0.5");
}

void TestYoloLabelFile::save()
{
    QFETCH(Boxes, boxes);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath("save.txt");
    QVERIFY(TestFiles::write(path, "an older, longer content that must go\n"));
    BBoxList list;
    for (const BoxInfo &b : boxes)
        list.appendBox(b.catId, b.cx, b.cy, b.cw, b.ch);
    QVERIFY(list.saveTxtFile(path));
    QCOMPARE(TestFiles::read(path), bytes);
}

void TestYoloLabelFile::numbersMatchQString_data()
{
    QTest::addColumn<double>("value");
    const double inf = std::numeric_limits<double>::infinity();
    for (double value : {0.0, -0.0, 0.9999995, 999999.5, 0.000099999, 1.7976931348623157e308, 4.9e-324, inf, -inf,
                         std::numeric_limits<double>::quiet_NaN()})
        QTest::addRow("%.17g", value) << value;
}

// The writer must agree with QString::arg(double) to the byte, which is how
// label files have always been written.
void TestYoloLabelFile::numbersMatchQString()
{
    QFETCH(double, value);
    QByteArray out;
    YoloLabelFile::appendNumber(out, value);
    QCOMPARE(QString::fromLatin1(out), QString("%1").arg(value));
}

void TestYoloLabelFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<Boxes>("boxes");
    QTest::addColumn<bool>("whole");
    auto row = [](const char *name, const QByteArray &bytes, const Boxes &boxes, bool whole) {
        QTest::newRow(name) << bytes << boxes << whole;
    };
    const BoxInfo box{0, 0.5, 0.5, 0.1, 0.1}, one{1, 0.5, 0.5, 0.1, 0.1};
    row("empty file", "", {}, true);
    row("missing file", QByteArray(), {}, true);
    row("crlf", "1 0.5 0.5 0.1 0.1\r\n2 0.25 0.75 0.2 0.3\r\n", {one, {2, 0.25, 0.75, 0.2, 0.3}}, true);
    row("blank lines between", "\n1 0.5 0.5 0.1 0.1\n\n \r\n", {one}, true);
    row("trailing space", "0 0.5 0.5 0.1 0.1 ", {box}, true);
    row("two spaces shift the fields", "0  0.5 0.5 0.1 0.1", {{0, 0.0, 0.5, 0.5, 0.1}}, false);
    row("six fields", "0 0.5 0.5 0.1 0.1 0.93", {box}, false);
    row("category written 1.0", "1.0 0.5 0.5 0.1 0.1", {box}, false);
    row("decimal comma", "1 0,5 0.5 0.1 0.1", {{1, 0.0, 0.5, 0.1, 0.1}}, false);
    row("signs and exponents", "+7 +0.5 -0.25 1e-05 1E+00", {{7, 0.5, -0.25, 0.00001, 1.0}}, true);
    row("category out of range", "4294967296 0.5 0.5 0.1 0.1", {box}, false);
    row("short line skipped", "0 0.5 0.5\n1 0.5 0.5 0.1 0.1", {one}, false);
    row("tabs are no separators", "0\t0.5\t0.5\t0.1\t0.1", {}, false);
    static const char withZeroByte[] = "0 0.5 0.5 0.1 0.1\n\0 1 1 1 1";
    row("zero byte ends the text", QByteArray(withZeroByte, sizeof withZeroByte - 1), {box}, true);
}

// The file's boxes come after those already in the list, inside one reset.
void TestYoloLabelFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Boxes, boxes);
    QFETCH(bool, whole);
    const QString path = m_dir.filePath("load.txt");
    QFile::remove(path);
    if (!bytes.isNull())
        QVERIFY(TestFiles::write(path, bytes));
    BBoxList list;
    ModelCheck check(&list);
    list.appendRow(9, 0.25, 0.75);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&list, &QAbstractItemModel::rowsInserted);
    list.loadTxtFile(path);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    Boxes got;
    for (const auto &b : list.boxes())
        got.append(*b);
    QCOMPARE(got, (Boxes{{9, 0.25, 0.75, 0.1, 0.1}} + boxes));
    QCOMPARE(list.lastReadWhole(), whole);
    ModelCheck::verifyNone();
}

void TestYoloLabelFile::saveFails_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("missing folder") << "nowhere/x.txt" << false;
    QTest::newRow("empty path") << "" << false;
    QTest::newRow("full disk") << "full.txt" << true;
}

// A save that fails leaves the file, the folder and the list as they were.
void TestYoloLabelFile::saveFails()
{
    QFETCH(QString, file);
    QFETCH(bool, fullDisk);
    QTemporaryDir dir;
    const QString path = file.isEmpty() ? QString() : dir.filePath(file);
    if (fullDisk)
        QVERIFY(TestFiles::write(path, "0 0.5 0.5 0.1 0.1"));
    BBoxList list;
    for (int i = 0; i < 100; ++i)
        list.appendRow(1, i / 100.0, 0.5);
    bool saved = true;
    {
        FileSizeLimit limit(fullDisk ? 100 : RLIM_INFINITY); // the write stops part-way
        saved = list.saveTxtFile(path);
    }
    QVERIFY(!saved);
    QCOMPARE(list.rowCount(), 100);
    if (fullDisk)
        QCOMPARE(TestFiles::read(path), QByteArray("0 0.5 0.5 0.1 0.1"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             fullDisk ? QStringList{file} : QStringList());
}

// A file that cannot be read is never taken as empty; base names pair label
// files with pictures, the last dot anywhere ending the name.
void TestYoloLabelFile::files()
{
    const QString path = m_dir.filePath("files/labels.txt");
    QByteArray data("untouched");
    QVERIFY(!FileIo::readFile(path, data));
    QCOMPARE(data, QByteArray("untouched"));
    QVERIFY(TestFiles::write(path, ""));
    QVERIFY(FileIo::readFile(path, data));
    QCOMPARE(data, QByteArray());
    QVERIFY(FileIo::removeFile(path));
    QVERIFY(!FileIo::fileExists(path) && !FileIo::removeFile(path) && !FileIo::removeFile(QString()));
    for (const char *pair : {"a.b.c=a.b", ".hidden=", "old.dir/file=old", "photo=photo"})
        QCOMPARE(FileIo::baseName(QString(pair).section('=', 0, 0)), QString(pair).section('=', 1));
    QCOMPARE(FileIo::fileName("/data/labels/"), QString());
}

QTEST_GUILESS_MAIN(TestYoloLabelFile)
#include "tst_yololabelfile.moc"
