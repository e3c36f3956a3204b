#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run cli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(BOXMERE_CLI), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QString cocoExample()
{
    return qEnvironmentVariable("LABELME_EXAMPLES", "/usr/share/doc/labelme-examples/examples") +
           "/instance_segmentation/data_dataset_coco/annotations.json";
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void help_data();
    void help();
    void check_data();
    void check();
    void checkJson();
    void checkFailures_data();
    void checkFailures();
    void stats();
    void roundTripThroughCoco();
    void cocoExampleToYolo();
    void cocoExampleThroughJson();
    void convertKeepsLinesItCannotWrite();
    void convertRefusesToLoseBoxes();

private:
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    // A picture of the given size, so that its header gives the size.
    void picture(const QString &relative, int width, int height) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QVERIFY(image.save(path(relative)));
    }

    QTemporaryDir m_dir;
};

void TestCli::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

void TestCli::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("usage");
    QTest::newRow("tool") << QStringList{"--help"} << QByteArray("Usage: boxmere-cli COMMAND");
    QTest::newRow("check") << QStringList{"check", "--help"} << QByteArray("check LABELS [IMAGES]");
    QTest::newRow("stats") << QStringList{"stats", "--help"} << QByteArray("stats LABELS [IMAGES]");
    QTest::newRow("convert") << QStringList{"convert", "--help"} << QByteArray("convert INPUT OUTPUT");
}

void TestCli::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, usage);
    const Run run = cli(arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(usage), run.out);
    QCOMPARE(run.err, QByteArray());
}

void TestCli::check_data()
{
    QTest::addColumn<QStringList>("files"); // "name=content"; names under labels/ or images/
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("clean") << QStringList{"labels/classes.txt=cat\ndog", "labels/a.txt=0 0.5 0.5 0.2 0.2",
                                          "images/a.jpg="}
                           << QByteArray("0 problems in 0 of 1 label files, 0 images without a label file\n") << 0;
    QTest::newRow("problems") << QStringList{"labels/classes.txt=cat\ndog",
                                             "labels/a.txt=0 0.5 0.5 0.2 0.2\n5 1.5 0.5 0.2 0.2",
                                             "labels/b.txt=",
                                             "images/a.jpg=",
                                             "images/b.png=",
                                             "images/c.jpg="}
                              << QByteArray("LABELS/a.txt: box 1: coordinate outside 0 to 1\n"
                                            "LABELS/a.txt: box 1: class not in the class list\n"
                                            "LABELS/b.txt: empty label file\n"
                                            "IMAGES/c.jpg: image without a label file\n"
                                            "4 problems in 2 of 2 label files, 1 images without a label file\n")
                              << 1;
    QTest::newRow("no image, no class file")
        << QStringList{"labels/a.txt=7 0.5 0.5 0.2 0.2\n7 0.5 0.5 0.2 0.2 0.3"}
        << QByteArray("LABELS/a.txt: label file without an image\n"
                      "LABELS/a.txt: box 1: line 2 not read whole\n"
                      "LABELS/a.txt: box 1: duplicate of box 0\n"
                      "3 problems in 1 of 1 label files, 0 images without a label file\n")
        << 1;
}

void TestCli::check()
{
    QFETCH(QStringList, files);
    QFETCH(QByteArray, expected);
    QFETCH(int, exitCode);
    QDir().mkpath(path("labels"));
    QDir().mkpath(path("images"));
    for (const QString &file : files) {
        const int eq = file.indexOf('=');
        QVERIFY(write(path(file.left(eq)), file.mid(eq + 1).toUtf8()));
    }
    const Run run = cli({"check", path("labels")});
    QCOMPARE(run.exitCode, exitCode);
    expected.replace("LABELS", path("labels").toUtf8()).replace("IMAGES", path("images").toUtf8());
    QCOMPARE(run.out, expected);
}

void TestCli::checkJson()
{
    QVERIFY(write(path("set/labels/a.txt"), "0 0.5 0.5 0.2 0.2\n0 0.5 0.5 0.2 0.2"));
    QVERIFY(write(path("set/images/a.jpg"), ""));
    const Run run = cli({"check", "--json", path("set/labels")});
    QCOMPARE(run.exitCode, 1);
    const QJsonObject result = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(result.value("images").toInt(), 1);
    QCOMPARE(result.value("counts").toObject().value("duplicate").toInt(), 1);
    QCOMPARE(result.value("counts").toObject().value("no-image").toInt(), 0);
    const QJsonObject problem = result.value("problems").toArray().at(0).toObject();
    QCOMPARE(problem.value("file").toString(), path("set/labels/a.txt"));
    QCOMPARE(problem.value("box").toInt(), 1);
    QCOMPARE(problem.value("duplicateOf").toInt(), 0);
    QVERIFY(run.err.contains("no class file"));
}

void TestCli::checkFailures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("no such folder") << QStringList{"check", "NOWHERE"} << QByteArray("does not exist");
    QTest::newRow("no arguments") << QStringList{"check"} << QByteArray("wrong number of arguments");
    QTest::newRow("unknown option") << QStringList{"check", "--frobnicate", "x"} << QByteArray("frobnicate");
    QTest::newRow("unreadable class file")
        << QStringList{"check", "DIR", "--classes", "NOWHERE"} << QByteArray("cannot read the class file");
    QTest::newRow("broken COCO file") << QStringList{"check", "DIR/broken.json"} << QByteArray("not a COCO file");
    QTest::newRow("unknown command") << QStringList{"frob"} << QByteArray("unknown command frob");
    QTest::newRow("convert without --to") << QStringList{"convert", "DIR", "DIR/out"} << QByteArray("--to must be");
}

void TestCli::checkFailures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    QVERIFY(write(path("broken.json"), "{\"images\": ["));
    for (QString &argument : arguments)
        argument.replace("NOWHERE", path("nowhere")).replace("DIR", m_dir.path());
    const Run run = cli(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), run.err);
    QCOMPARE(run.out, QByteArray());
}

void TestCli::stats()
{
    QVERIFY(write(path("labels/classes.txt"), "cat\ndog\n"));
    QVERIFY(write(path("labels/a.txt"), "0 0.5 0.5 0.2 0.4\n1 0.5 0.5 0.2 0.4\n1 0.2 0.2 0.1 0.1"));
    QVERIFY(write(path("labels/b.txt"), "1 0.5 0.5 0.6 0.8"));
    QVERIFY(write(path("labels/c.txt"), ""));
    const Run run = cli({"stats", path("labels"), path("labels")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("images: 3\n"
                                 "boxes: 4\n"
                                 "boxes per class:\n"
                                 "  0 (cat): 1\n"
                                 "  1 (dog): 3\n"
                                 "images by number of boxes:\n"
                                 "  0: 1\n"
                                 "  1: 1\n"
                                 "  3: 1\n"
                                 "box width (fraction of the image): 5% 0.100, median 0.200, 95% 0.600\n"
                                 "box height (fraction of the image): 5% 0.100, median 0.400, 95% 0.800\n"
                                 "problems:\n"
                                 "  empty label file: 1\n"
                                 "  label file without an image: 3\n"));
}

void TestCli::roundTripThroughCoco()
{
    // Boxes at six significant digits, on pictures of awkward sizes.
    QRandomGenerator rng(7);
    QMap<QString, QByteArray> labels;
    const QList<QSize> sizes{{640, 480}, {333, 517}, {1, 1}, {4000, 3}};
    for (int i = 0; i < sizes.size(); ++i) {
        const QString name = QString("img%1").arg(i);
        picture("images/" + name + ".png", sizes[i].width(), sizes[i].height());
        QStringList lines;
        for (int b = 0; b < 6; ++b) {
            lines << QString("%1 %2 %3 %4 %5")
                         .arg(rng.bounded(5))
                         .arg(rng.generateDouble(), 0, 'g', 6)
                         .arg(rng.generateDouble(), 0, 'g', 6)
                         .arg(rng.generateDouble() / 3, 0, 'g', 6)
                         .arg(rng.generateDouble() / 3, 0, 'g', 6);
        }
        labels[name + ".txt"] = lines.join('\n').toUtf8();
        QVERIFY(write(path("labels/" + name + ".txt"), labels[name + ".txt"]));
    }
    Run run = cli({"convert", path("labels"), path("set.json"), "--to", "coco", "--images", path("images")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, "wrote 4 images with 24 annotations to " + path("set.json").toUtf8() + "\n");
    QVERIFY(run.err.contains("read the sizes of 4 pictures"));

    const QJsonObject coco = QJsonDocument::fromJson(read(path("set.json"))).object();
    QCOMPARE(coco.value("images").toArray().size(), 4);
    QCOMPARE(coco.value("annotations").toArray().size(), 24);
    QCOMPARE(coco.value("categories").toArray().at(0).toObject().value("name").toString(), QString("0"));
    const QJsonObject first = coco.value("images").toArray().at(0).toObject();
    QCOMPARE(first.value("width").toInt(), 640);
    QCOMPARE(first.value("file_name").toString(), QString("img0.png"));

    run = cli({"convert", path("set.json"), path("back"), "--to", "yolo", "--images", path("images")});
    QCOMPARE(run.exitCode, 0);
    for (auto it = labels.cbegin(); it != labels.cend(); ++it)
        QCOMPARE(read(path("back/" + it.key())), it.value());
}

void TestCli::cocoExampleToYolo()
{
    // A COCO file written by another tool, with the category 0 "_background_" first.
    const Run run = cli({"convert", cocoExample(), path("yolo"), "--to", "yolo"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, "wrote 3 label files with 12 boxes to " + path("yolo").toUtf8() + "\n");
    // bbox [191, 107, 123, 221] and so on on a picture of 500 by 338.
    QCOMPARE(read(path("yolo/2011_000003.txt")), QByteArray("15 0.505 0.643491 0.246 0.653846\n"
                                                            "15 0.865 0.628698 0.27 0.742604\n"
                                                            "5 0.757 0.550296 0.038 0.159763"));
    const QList<QByteArray> classes = read(path("yolo/classes.txt")).split('\n');
    QCOMPARE(classes.size(), 22);
    QCOMPARE(classes.at(0), QByteArray("_background_"));
    QCOMPARE(classes.at(20), QByteArray("tv/monitor"));

    const Run check = cli({"check", path("yolo"), QFileInfo(cocoExample()).path() + "/JPEGImages"});
    QCOMPARE(check.exitCode, 0);
}

void TestCli::cocoExampleThroughJson()
{
    Run run = cli({"convert", cocoExample(), path("list.json"), "--to", "json"});
    QCOMPARE(run.exitCode, 0);
    run = cli({"convert", path("list.json"), path("again.json"), "--to", "coco"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject original = QJsonDocument::fromJson(read(cocoExample())).object();
    const QJsonObject again = QJsonDocument::fromJson(read(path("again.json"))).object();
    const QJsonArray a = original.value("annotations").toArray(), b = again.value("annotations").toArray();
    QCOMPARE(b.size(), a.size());
    for (int i = 0; i < a.size(); ++i) {
        const QJsonArray boxA = a.at(i)["bbox"].toArray(), boxB = b.at(i)["bbox"].toArray();
        for (int k = 0; k < 4; ++k)
            QVERIFY(qAbs(boxA.at(k).toDouble() - boxB.at(k).toDouble()) < 1e-9);
        QCOMPARE(b.at(i)["category_id"].toInt(), a.at(i)["category_id"].toInt());
    }
    QCOMPARE(again.value("images").toArray().at(0)["file_name"].toString(), QString("2011_000003.jpg"));
}

void TestCli::convertKeepsLinesItCannotWrite()
{
    QVERIFY(write(path("labels/a.txt"), "0 0.5 0.5 0.2 0.2 0.93"));
    const Run run = cli({"convert", path("labels"), path("labels"), "--to", "yolo"});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("a.txt hold lines that would be lost"), run.err);
    QCOMPARE(read(path("labels/a.txt")), QByteArray("0 0.5 0.5 0.2 0.2 0.93"));
}

void TestCli::convertRefusesToLoseBoxes()
{
    QVERIFY(write(path("labels/a.txt"), "0 0.5 0.5 0.2 0.2"));
    picture("images/b.png", 10, 10);
    QVERIFY(write(path("labels/b.txt"), "0 0.5 0.5 0.2 0.2"));
    const Run run = cli({"convert", path("labels"), path("out.json"), "--to", "coco", "--images", path("images")});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("no size for 1 pictures (" + path("images/a.jpg").toUtf8() + ")"), run.err);
    QVERIFY(!QFile::exists(path("out.json")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
