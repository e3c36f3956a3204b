#include "app/utils.h"
#include "boxes/bboxlist.h"
#include "boxes/yololabelfile.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "filesizelimit.h"
#include "modelcheck.h"
#include "testfiles.h"

#include <cmath>
#include <limits>

using Boxes = QVector<BoxInfo>;
Q_DECLARE_METATYPE(BoxInfo)

namespace {

void fill(BBoxList &list, const Boxes &boxes)
{
    for (const BoxInfo &b : boxes)
        list.appendBox(b.catId, b.cx, b.cy, b.cw, b.ch);
}

Boxes boxesOf(const BBoxList &list)
{
    Boxes out;
    for (const auto &box : list.boxes())
        out.append(*box);
    return out;
}

} // namespace

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
    void loadAppendsInOneReset();
    void saveFails_data();
    void saveFails();

private:
    QTemporaryDir m_dir;
};

void TestYoloLabelFile::save_data()
{
    QTest::addColumn<Boxes>("boxes");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("one box, 17 bytes") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << QByteArray("0 0.5 0.5 0.1 0.1");
    QTest::newRow("two boxes, 37 bytes") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}, {1, 0.25, 0.75, 0.2, 0.3}}
                                         << QByteArray("0 0.5 0.5 0.1 0.1\n1 0.25 0.75 0.2 0.3");
    QTest::newRow("no boxes") << Boxes{} << QByteArray();
    QTest::newRow("six digits") << Boxes{{0, 0.123456789, 0.1 + 0.2, 0.25, 0.0001}}
                                << QByteArray("0 0.123457 0.3 0.25 0.0001");
    QTest::newRow("negatives") << Boxes{{-2, -0.03, 0.5, 0.5, 0.5}} << QByteArray("-2 -0.03 0.5 0.5 0.5");
}

void TestYoloLabelFile::save()
{
    QFETCH(Boxes, boxes);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath("save.txt");
    QVERIFY(TestFiles::write(path, "an older, longer content that must go\n"));

    BBoxList list;
    fill(list, boxes);
    QVERIFY(list.saveTxtFile(path));
    QCOMPARE(TestFiles::read(path), bytes);
}

void TestYoloLabelFile::numbersMatchQString_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative zero") << -0.0;
    QTest::newRow("rounds up to next decade") << 0.9999995;
    QTest::newRow("rounds to 1e+06") << 999999.5;
    QTest::newRow("just below 1e-4") << 0.000099999;
    QTest::newRow("huge") << 1.7976931348623157e308;
    QTest::newRow("tiny") << 4.9e-324;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    auto *random = QRandomGenerator::global();
    for (int i = 0; i < 200; ++i) {
        const double mantissa = random->generateDouble() * 2 - 1;
        const double value = mantissa * std::pow(10.0, random->bounded(-12, 12));
        QTest::addRow("random %d", i) << value;
    }
}

void TestYoloLabelFile::numbersMatchQString()
{
    // The writer must agree with QString::arg(double) to the byte, which is how
    // label files have always been written.
    QFETCH(double, value);
    QByteArray out;
    YoloLabelFile::appendNumber(out, value);
    QCOMPARE(QString::fromLatin1(out), QString("%1").arg(value));
}

void TestYoloLabelFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Boxes>("boxes");
    QTest::addColumn<bool>("whole");
    QTest::newRow("one line") << QByteArray("0 0.5 0.5 0.1 0.1") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << true;
    QTest::newRow("empty file") << QByteArray() << Boxes{} << true;
    QTest::newRow("trailing line feed") << QByteArray("1 0.5 0.5 0.1 0.1\n") << Boxes{{1, 0.5, 0.5, 0.1, 0.1}} << true;
    QTest::newRow("crlf") << QByteArray("1 0.5 0.5 0.1 0.1\r\n2 0.25 0.75 0.2 0.3\r\n")
                          << Boxes{{1, 0.5, 0.5, 0.1, 0.1}, {2, 0.25, 0.75, 0.2, 0.3}} << true;
    QTest::newRow("blank lines between") << QByteArray("\n1 0.5 0.5 0.1 0.1\n\n \r\n") << Boxes{{1, 0.5, 0.5, 0.1, 0.1}}
                                         << true;
    QTest::newRow("two spaces shift the fields")
        << QByteArray("0  0.5 0.5 0.1 0.1") << Boxes{{0, 0.0, 0.5, 0.5, 0.1}} << false;
    QTest::newRow("six fields") << QByteArray("0 0.5 0.5 0.1 0.1 0.93") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << false;
    QTest::newRow("segmentation polygon")
        << QByteArray("4 0.1 0.2 0.3 0.4 0.1 0.2 0.3 0.4") << Boxes{{4, 0.1, 0.2, 0.3, 0.4}} << false;
    QTest::newRow("trailing space") << QByteArray("0 0.5 0.5 0.1 0.1 ") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << true;
    QTest::newRow("category written 1.0")
        << QByteArray("1.0 0.5 0.5 0.1 0.1") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << false;
    QTest::newRow("decimal comma") << QByteArray("1 0,5 0.5 0.1 0.1") << Boxes{{1, 0.0, 0.5, 0.1, 0.1}} << false;
    QTest::newRow("signs and exponents") << QByteArray("+7 +0.5 -0.25 1e-05 1E+00")
                                         << Boxes{{7, 0.5, -0.25, 0.00001, 1.0}} << true;
    QTest::newRow("double sign") << QByteArray("+-1 0.5 0.5 0.1 0.1") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << false;
    QTest::newRow("category out of range")
        << QByteArray("4294967296 0.5 0.5 0.1 0.1") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << false;
    QTest::newRow("short line skipped") << QByteArray("0 0.5 0.5\n1 0.5 0.5 0.1 0.1") << Boxes{{1, 0.5, 0.5, 0.1, 0.1}}
                                        << false;
    QTest::newRow("tabs are no separators") << QByteArray("0\t0.5\t0.5\t0.1\t0.1") << Boxes{} << false;
    static const char withZeroByte[] = "0 0.5 0.5 0.1 0.1\n\0 1 1 1 1";
    QTest::newRow("zero byte ends the text")
        << QByteArray(withZeroByte, sizeof withZeroByte - 1) << Boxes{{0, 0.5, 0.5, 0.1, 0.1}} << true;
}

void TestYoloLabelFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Boxes, boxes);
    QFETCH(bool, whole);
    const QString path = m_dir.filePath("load.txt");
    QVERIFY(TestFiles::write(path, bytes));

    BBoxList list;
    ModelCheck check(&list);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    list.loadTxtFile(path);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(boxesOf(list), boxes);
    QCOMPARE(list.lastReadWhole(), whole);
    ModelCheck::verifyNone();
}

void TestYoloLabelFile::loadAppendsInOneReset()
{
    const QString path = m_dir.filePath("append.txt");
    QVERIFY(TestFiles::write(path, "2 0.25 0.75 0.2 0.3"));
    BBoxList list;
    ModelCheck check(&list);
    list.appendRow(1, 0.5, 0.5);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&list, &QAbstractItemModel::rowsInserted);
    list.loadTxtFile(path);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(boxesOf(list), (Boxes{{1, 0.5, 0.5, 0.1, 0.1}, {2, 0.25, 0.75, 0.2, 0.3}}));

    // A missing file reads as no boxes.
    list.clear();
    list.loadTxtFile(m_dir.filePath("missing.txt"));
    QCOMPARE(list.rowCount(), 0);
    QVERIFY(list.lastReadWhole());
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
        FileSizeLimit limit(fullDisk ? 100 : RLIM_INFINITY);
        saved = list.saveTxtFile(path);
    }
    QVERIFY(!saved);
    QCOMPARE(list.rowCount(), 100);
    if (fullDisk)
        QCOMPARE(TestFiles::read(path), QByteArray("0 0.5 0.5 0.1 0.1"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), fullDisk ? QStringList{file} : QStringList());
}

QTEST_GUILESS_MAIN(TestYoloLabelFile)
#include "tst_yololabelfile.moc"
