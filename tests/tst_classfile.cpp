#include "formats/classfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using Names = QVector<QPair<int, QString>>;
Q_DECLARE_METATYPE(Names)

class TestClassFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data();
    void read();
    void find_data();
    void find();
};

void TestClassFile::read_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Names>("names"); // empty: the file does not parse

    const Names three{{0, "person"}, {1, "bicycle"}, {2, "traffic light"}};
    QTest::newRow("CRLF, trailing blank lines")
        << "classes.txt" << QByteArray("person\r\nbicycle\r\ntraffic light\r\n\r\n\n") << three;
    QTest::newRow("blank line inside") << "obj.names" << QByteArray("a\n\nc") << Names{{0, "a"}, {1, ""}, {2, "c"}};
    QTest::newRow("UTF-8") << "coco.names" << QByteArray("Fußgänger\n自行车") << Names{{0, "Fußgänger"}, {1, "自行车"}};
    QTest::newRow("yaml list") << "data.yaml"
                               << QByteArray("path: ../datasets/x\ntrain: images/train\nval: images/val\nnc: 3\n"
                                             "names: ['person', 'bicycle', 'traffic light']\n")
                               << three;
    QTest::newRow("yaml block list") << "data.yaml"
                                     << QByteArray("names:\n  - person\n  - bicycle\n  - traffic light\n") << three;
    QTest::newRow("yaml index map") << "dataset.yaml"
                                    << QByteArray("train: train/images\nnames:\n  0: person\n  1: bicycle\n"
                                                  "  2: traffic light\n")
                                    << three;
    QTest::newRow("yaml map with a gap, out of order")
        << "data.yaml" << QByteArray("names: {5: truck, 0: car}") << Names{{0, "car"}, {5, "truck"}};

    QTest::newRow("empty txt") << "classes.txt" << QByteArray("\n\n") << Names{};
    QTest::newRow("not UTF-8") << "classes.txt" << QByteArray("caf\xe9\n") << Names{};
    QTest::newRow("binary") << "classes.txt" << QByteArray("a\0b", 3) << Names{};
    QTest::newRow("yaml syntax error") << "data.yaml" << QByteArray("names: [person, bicycle\n") << Names{};
    QTest::newRow("yaml without names") << "data.yaml" << QByteArray("nc: 2\ntrain: images\n") << Names{};
    QTest::newRow("yaml map with text keys") << "data.yaml" << QByteArray("names: {a: car}") << Names{};
}

// Reading never touches the file; a file that does not parse says why.
void TestClassFile::read()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(Names, names);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(TestFiles::write(path, bytes));
    const ClassFile::Classes classes = ClassFile::read(path);
    QCOMPARE(classes.path, path);
    Names got;
    for (const ClassFile::ClassName &n : classes.names)
        got.append({n.id, n.name});
    QCOMPARE(got, names);
    QCOMPARE(classes.error.isEmpty(), !names.isEmpty());
    QCOMPARE(TestFiles::read(path), bytes);
}

void TestClassFile::find_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("labelDir");
    QTest::addColumn<QString>("found"); // empty: none

    QTest::newRow("classes.txt first") << QStringList{"l/classes.txt", "l/a.names", "l/data.yaml"} << "l"
                                       << "l/classes.txt";
    QTest::newRow("names before yaml") << QStringList{"l/b.names", "l/a.names", "l/data.yaml"} << "l"
                                       << "l/a.names";
    QTest::newRow("data.yaml before dataset.yaml") << QStringList{"l/dataset.yaml", "l/data.yaml"} << "l"
                                                   << "l/data.yaml";
    QTest::newRow("own folder before the one above") << QStringList{"data.yaml", "l/obj.names"} << "l"
                                                     << "l/obj.names";
    QTest::newRow("folder above") << QStringList{"set/data.yaml", "set/labels/a.txt"} << "set/labels"
                                  << "set/data.yaml";
    QTest::newRow("split folder") << QStringList{"set/data.yaml", "set/labels/train/a.txt"} << "set/labels/train"
                                  << "set/data.yaml";
    QTest::newRow("not two levels up elsewhere") << QStringList{"set/data.yaml", "set/x/train/a.txt"} << "set/x/train"
                                                 << "";
}

void TestClassFile::find()
{
    QFETCH(QStringList, files);
    QFETCH(QString, labelDir);
    QFETCH(QString, found);
    QTemporaryDir dir;
    for (const QString &file : files)
        QVERIFY(TestFiles::write(dir.filePath(file), "x\n"));
    QCOMPARE(ClassFile::find(dir.filePath(labelDir)), found.isEmpty() ? QString() : dir.filePath(found));
}

QTEST_GUILESS_MAIN(TestClassFile)
#include "tst_classfile.moc"
