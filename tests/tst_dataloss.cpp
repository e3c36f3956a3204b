#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "boxes/bboxlist.h"
#include "checks/datasetstats.h"
#include "formats/fileio.h"
#include "testfiles.h"

#include <cmath>
#include <unistd.h>

using TestFiles::read;
using TestFiles::Run;
using TestFiles::run;
using TestFiles::write;

namespace {

// Every file below dir with its bytes; a link as "->" and its target.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(dir).relativeFilePath(path)] =
            it.fileInfo().isSymLink() ? "->" + it.fileInfo().symLinkTarget().toUtf8() : read(path);
    }
    return files;
}

} // namespace

class TestDataLoss : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cli_data();
    void cli();
    void unreadable();
    void outsizedStatistics();
    void writeRefusesLinks();

private:
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QTemporaryDir m_dir;
};

void TestDataLoss::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(path("labels"));
}

void TestDataLoss::cli_data()
{
    QTest::addColumn<QStringList>("files"); // "name=bytes", "name->link target"; a .png is a 10 by 10 picture
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");      // a part of standard error
    QTest::addColumn<QStringList>("written"); // "name=bytes" of each new file; none: nothing written
    // DIR stands for the temporary folder.
    auto row = [](const char *name, const QStringList &files, const QStringList &arguments, int exitCode,
                  const char *out, const char *err, const QStringList &written = {}) {
        QTest::newRow(name) << files << arguments << exitCode << QByteArray(out) << QByteArray(err) << written;
    };
    const QStringList toYolo{"convert", "DIR/labels", "DIR/out", "--to", "yolo"};
    const QString box = "0 0.5 0.5 0.2 0.2";
    row("stats of infinite, NaN and huge sizes", {"labels/a.txt=0 0.5 0.5 inf 1e9\n0 0.5 0.5 nan 0.2\n" + box},
        {"stats", "DIR/labels"}, 0,
        "images: 1\nboxes: 3\nboxes per class:\n  0: 3\nimages by number of boxes:\n  3: 1\n"
        "box width (fraction of the image): 5% 0.200, median inf, 95% inf\n"
        "box height (fraction of the image): 5% 0.200, median 0.200, 95% 1000000000.000\n"
        "problems:\n  coordinate outside 0 to 1: 2\n  width or height 0 or less: 1\n"
        "  label file without an image: 1\n",
        "");
    row("coco area beyond a double", {"labels/a.txt=0 0.5 0.5 1e300 1e300", "labels/a.png"},
        {"convert", "DIR/labels", "DIR/out.json", "--to", "coco"}, 2, "", "1 boxes come out too large");
    row("infinite box", {"labels/a.txt=0 inf 0.5 0.2 0.2"}, toYolo, 2, "",
        "1 boxes hold numbers that are not finite (DIR/labels/a.txt box 0)");
    row("polygon corner not a number", {"labels/a.txt=0 0.1 nan 0.5 0.1 0.5 0.5"}, toYolo, 2, "",
        "1 boxes hold numbers that are not finite (DIR/labels/a.txt box 0)");
    row("polygon of two points to label files",
        {R"(list.json=[{"fileName": "a", "filePath": "a.jpg", "bboxes": [{"points": [0.1, 0.1, 0.5, 0.5]}]}])"},
        {"convert", "DIR/list.json", "DIR/out", "--to", "yolo"}, 2, "",
        "1 polygons have fewer than 3 points, which a label file cannot hold (a.jpg box 0); nothing written");
    row("line feed in a class name", {"labels/data.yaml=names: [\"ca\\nt\", dog]", "labels/a.txt=" + box}, toYolo, 2,
        "", "the name of class 0 holds a line break");
    row("line feed in a file name", {"labels/a\nb.txt=" + box}, {"check", "DIR/labels"}, 1,
        "DIR/labels/a\\nb.txt: label file without an image\n"
        "1 problems in 1 of 1 label files, 0 images without a label file\n",
        "");
    row("odd number of coordinates", {"labels/a.txt=" + box + "\n1 0.1 0.1 0.2 0.1 0.2"}, toYolo, 2, "",
        "DIR/labels/a.txt:2: fields beyond a box or polygon (an odd number of coordinates)\nboxmere-cli: 1 lines "
        "cannot be "
        "written unchanged; nothing written");
    row("byte-order mark",
        {"labels/a.txt=\xEF\xBB\xBF"
         "5 0.5 0.5 0.2 0.2"},
        toYolo, 2, "", "DIR/labels/a.txt:1: a field that is not a number in range");
    row("tabs", {"labels/a.txt=0\t0.5\t0.5\t0.2\t0.2"}, toYolo, 2, "",
        "DIR/labels/a.txt:1: fewer than five fields split by single spaces");
    row("number out of range, to a list", {"labels/a.txt=" + box + "\n0 1e999 0.5 0.2 0.2"},
        {"convert", "DIR/labels", "DIR/out.json", "--to", "json"}, 2, "",
        "DIR/labels/a.txt:2: a field that is not a number in range");
    row("lines dropped when asked", {"labels/a.txt=" + box + "\n1 0.1 0.1 0.2 0.1 0.2\n0\t0.5\t0.5\t0.2\t0.2"},
        toYolo + QStringList{"--drop-partial-lines"}, 0,
        "wrote 1 label files with 1 boxes to DIR/out; left out 2 lines not read whole\n", "", {"out/a.txt=" + box});
    row("label files without a picture left out when asked",
        {"labels/a.txt=" + box, "labels/a.png", "labels/b.txt=" + box},
        {"convert", "DIR/labels", "DIR/out.json", "--to", "coco", "--skip-missing-images"}, 0,
        "wrote 1 images with 1 annotations to DIR/out.json; left out 1 images without a picture\n", "",
        {"out.json={\"info\":{\"description\":\"Boxmere export\"},\"licenses\":[],\"images\":[{\"id\":1,\"file_name\":"
         "\"a.png\",\"width\":10,\"height\":10}],\"annotations\":[{\"id\":1,\"image_id\":1,\"category_id\":0,\"bbox\":"
         "[4,4,2,2],\"area\":4,\"iscrowd\":0}],\"categories\":[{\"id\":0,\"name\":\"0\",\"supercategory\":\"\"}]}\n"});
    row("link among the label files written", {"labels/a.txt=" + box, "victim=keep", "out/a.txt->DIR/victim"}, toYolo,
        2, "", "DIR/out/a.txt is a symbolic link; nothing written");
    row("link as the list written", {"labels/a.txt=" + box, "victim=keep", "out.json->DIR/victim"},
        {"convert", "DIR/labels", "DIR/out.json", "--to", "json"}, 2, "", "DIR/out.json is a symbolic link");
}

// Whatever fails writes nothing and changes no file.
void TestDataLoss::cli()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QStringList, written);
    const QByteArray dir = m_dir.path().toUtf8();
    for (QString file : files) {
        file.replace("DIR", m_dir.path());
        if (file.contains("->")) {
            QDir().mkpath(QFileInfo(path(file.section("->", 0, 0))).path());
            QVERIFY(QFile::link(file.section("->", 1), path(file.section("->", 0, 0))));
        } else if (file.endsWith(".png")) {
            QImage picture(10, 10, QImage::Format_RGB32);
            picture.fill(Qt::gray);
            QVERIFY(picture.save(path(file)));
        } else {
            QVERIFY(write(path(file.section('=', 0, 0)), file.section('=', 1).toUtf8()));
        }
    }
    const QMap<QString, QByteArray> before = snapshot(m_dir.path());
    for (QString &argument : arguments)
        argument.replace("DIR", m_dir.path());
    const Run result = run(QStringList{BOXMERE_CLI} + arguments);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out, out.replace("DIR", dir));
    QVERIFY2(result.err.contains(err.replace("DIR", dir)), result.err);
    QMap<QString, QByteArray> after = before;
    for (const QString &file : written)
        after[file.section('=', 0, 0)] = file.section('=', 1).toUtf8();
    QCOMPARE(snapshot(m_dir.path()), after);
}

// Permissions do not stop root, so the tool runs as an unprivileged user then.
void TestDataLoss::unreadable()
{
    QStringList as;
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is missing");
        as = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    QVERIFY(write(path("labels/a.txt"), "0 0.5 0.5 0.2 0.2"));
    QVERIFY(write(path("labels/b.txt"), "0 0.5 0.5 0.2 0.2"));
    QVERIFY(write(path("labels/a.jpg"), "") && write(path("labels/b.jpg"), ""));
    QVERIFY(QDir().mkpath(path("out")));
    // A copy that user can reach wherever the build tree is.
    const QString tool = path("boxmere-cli");
    QVERIFY(QFile::copy(BOXMERE_CLI, tool));
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir.path(), open) && QFile::setPermissions(path("labels"), open));
    QVERIFY(QFile::setPermissions(path("out"), open | QFile::WriteOther));
    QVERIFY(QFile::setPermissions(path("labels/b.txt"), {}) && QFile::setPermissions(tool, open));
    if (run(as + QStringList{"cat", path("labels/b.txt")}).exitCode == 0)
        QSKIP("the file can still be read");

    Run result = run(as + QStringList{tool, "check", path("labels"), path("labels")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, (path("labels/b.txt") + ": unreadable label file\n"
                                                 "1 problems in 1 of 2 label files, 0 images without a label file\n")
                             .toUtf8());
    result = run(as + QStringList{tool, "convert", path("labels"), path("out"), "--to", "yolo"});
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("cannot read " + path("labels/b.txt").toUtf8()), result.err);
    QCOMPARE(QDir(path("out")).entryList(QDir::Files), QStringList());

    QVERIFY(QFile::setPermissions(path("labels"), {}));
    result = run(as + QStringList{tool, "check", path("labels")});
    QFile::setPermissions(path("labels"), open);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("cannot list the folder"), result.err);
}

// Infinite, NaN and huge sizes land in the edge bins, and outside the quantiles only NaN.
void TestDataLoss::outsizedStatistics()
{
    const double inf = std::numeric_limits<double>::infinity();
    QVector<std::shared_ptr<BoxInfo>> boxes;
    const std::pair<double, double> sizes[] = {{inf, 1e300}, {std::nan(""), 0.5}, {-inf, 1e8}};
    for (const auto &[w, h] : sizes)
        boxes.append(std::make_shared<BoxInfo>(BoxInfo{0, 0.5, 0.5, w, h}));
    DatasetStats stats;
    stats.add(boxes, {});
    constexpr int B = DatasetStats::Bins;
    std::array<int, B * B> cells{};
    cells[(B - 1) * B + B - 1] = cells[B / 2 * B] = cells[(B - 1) * B] = 1;
    QCOMPARE(stats.sizeHistogram(), cells);
    QVERIFY(stats.widthQuantile(0) == -inf && stats.widthQuantile(1) == inf);
}

void TestDataLoss::writeRefusesLinks()
{
    QVERIFY(write(path("victim"), "keep"));
    QVERIFY(QFile::link(path("victim"), path("link.txt")));
    QString error;
    QVERIFY(!FileIo::writeFile(path("link.txt"), "new", &error));
    QCOMPARE(error, path("link.txt") + " is a symbolic link; it is not written through");
    QCOMPARE(read(path("victim")), QByteArray("keep"));
    QVERIFY(QFileInfo(path("link.txt")).isSymLink());
}

QTEST_GUILESS_MAIN(TestDataLoss)
#include "tst_dataloss.moc"
