#include "images/imagelist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

namespace {

struct Row
{
    int id;
    QString base;
    QString image; // relative to the image folder
    QString label; // relative to the label folder
    int boxes;
};

} // namespace

Q_DECLARE_METATYPE(QList<Row>)

class TestYoloFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadYolo_data();
    void loadYolo();
    void loadFollowsListingOrder();
    void scanCountsMismatches();
    void loadReplacesTheList();
    void reloadRow();
    void reloadRowWithoutLabelFile();
    void reloadRowKeepsBoxesWhenFileIsGone();
    void saveAll();
    void exportYolo_data();
    void exportYolo();
    void exportIntoMissingFolder();
    void exportRoundTrip();

private:
    QString labels() const { return m_dir.filePath("labels"); }
    QString images() const { return m_dir.filePath("images"); }

    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

void TestYoloFolder::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(labels());
    QDir().mkpath(images());
    m_list = ImageList::instance();
    m_list->loadImages({}, true);
    m_check = std::make_unique<ModelCheck>(m_list);
}

void TestYoloFolder::cleanup()
{
    m_check.reset();
    ModelCheck::verifyNone();
}

void TestYoloFolder::loadYolo_data()
{
    QTest::addColumn<QStringList>("files"); // under the temporary folder; a trailing "/" makes a folder
    QTest::addColumn<QList<Row>>("rows");
    const QByteArray box = "0 0.5 0.5 0.1 0.1";
    QTest::newRow("image missing") << QStringList{"labels/a.txt", "images/a.jpg"}
                                   << QList<Row>{{1, "a", "a.jpg", "a.txt", 1}};
    QTest::newRow("image without labels")
        << QStringList{"labels/a.txt", "images/a.jpg", "images/b.jpg"} << QList<Row>{{1, "a", "a.jpg", "a.txt", 1}};
    QTest::newRow("dotted name") << QStringList{"labels/x.y.txt"} << QList<Row>{{1, "x.y", "x.y.jpg", "x.y.txt", 1}};
    QTest::newRow("others ignored") << QStringList{"labels/sub/c.txt", "labels/notes.md", "labels/d.txt.bak",
                                                   "labels/classes.TXT/", "labels/e.txt"}
                                    << QList<Row>{{1, "e", "e.jpg", "e.txt", 1}};
    QTest::newRow("upper-case suffix") << QStringList{"labels/F.TXT"} << QList<Row>{{1, "F", "F.jpg", "F.TXT", 1}};
    QTest::newRow("empty folder") << QStringList{} << QList<Row>{};

    for (const QString suffix : {"jpeg", "png", "bmp", "webp", "tif", "tiff", "JPG", "JPEG", "PNG", "TIFF"}) {
        QTest::addRow("only .%s", qPrintable(suffix))
            << QStringList{"labels/a.txt", "images/a." + suffix} << QList<Row>{{1, "a", "a." + suffix, "a.txt", 1}};
    }
    QTest::newRow(".jpg first") << QStringList{"labels/a.txt", "images/a.png", "images/a.jpg", "images/a.JPG"}
                                << QList<Row>{{1, "a", "a.jpg", "a.txt", 1}};
    QTest::newRow("in order") << QStringList{"labels/a.txt", "images/a.tif", "images/a.bmp", "images/a.webp"}
                              << QList<Row>{{1, "a", "a.bmp", "a.txt", 1}};
    QTest::newRow("lower case before upper")
        << QStringList{"labels/a.txt", "images/a.JPG", "images/a.tiff"} << QList<Row>{{1, "a", "a.tiff", "a.txt", 1}};
    QTest::newRow("other case is no match")
        << QStringList{"labels/a.txt", "images/a.Png", "images/A.png"} << QList<Row>{{1, "a", "a.jpg", "a.txt", 1}};
    QTest::newRow("folder named like a picture")
        << QStringList{"labels/a.txt", "images/a.png/"} << QList<Row>{{1, "a", "a.jpg", "a.txt", 1}};
}

void TestYoloFolder::loadYolo()
{
    QFETCH(QStringList, files);
    QFETCH(QList<Row>, rows);
    for (const QString &file : files) {
        if (file.endsWith('/'))
            QVERIFY(QDir().mkpath(m_dir.filePath(file)));
        else
            QVERIFY(write(m_dir.filePath(file), file.startsWith("labels") ? "0 0.5 0.5 0.1 0.1" : "jpeg"));
    }
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    for (int i = 0; i < rows.size(); ++i)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("images/"));
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Loaded %1 images from yolo").arg(rows.size())));
    m_list->loadYolo(labels(), images());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(m_list->rowCount(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const auto image = m_list->imageAt(i);
        QCOMPARE(image->id, rows[i].id);
        QCOMPARE(image->fileName, rows[i].base);
        QCOMPARE(image->filePath, images() + '/' + rows[i].image);
        QCOMPARE(image->yoloTxtFilePath, labels() + '/' + rows[i].label);
        QCOMPARE(image->bboxes->rowCount(), rows[i].boxes);
        QCOMPARE(image->width, 0);
        QCOMPARE(image->height, 0);
        QCOMPARE(m_list->imageById(rows[i].id), image);
    }
}

void TestYoloFolder::loadFollowsListingOrder()
{
    for (int i = 0; i < 40; ++i)
        QVERIFY(write(QStringLiteral("%1/%2.txt").arg(labels()).arg(i * 7919 % 101), "1 0.5 0.5 0.2 0.2\n"));
    QStringList listed;
    QDirIterator it(labels(), {"*.txt"}, QDir::Files);
    while (it.hasNext())
        listed << it.next();
    m_list->loadYolo(labels(), images());
    QCOMPARE(m_list->rowCount(), 40);
    for (int row = 0; row < 40; ++row) {
        QCOMPARE(m_list->imageAt(row)->yoloTxtFilePath, listed[row]);
        QCOMPARE(m_list->imageAt(row)->id, row + 1);
    }
}

// Enough pictures that the lookup table grows several times.
void TestYoloFolder::scanCountsMismatches()
{
    const QStringList types{"jpg", "png", "JPG", "webp"};
    for (int i = 0; i < 3000; ++i) {
        if (i < 2500)
            QVERIFY(write(QStringLiteral("%1/%2.txt").arg(labels()).arg(i), ""));
        if (i >= 100)
            QVERIFY(write(QStringLiteral("%1/%2.%3").arg(images()).arg(i).arg(types[i % 4]), ""));
    }
    QVERIFY(write(images() + "/150.png", "")); // beside 150.JPG: the .png is taken
    const YoloFolder::Scan scan = YoloFolder::scan(labels(), images());
    QCOMPARE(scan.files.size(), 2500);
    QCOMPARE(scan.labelsWithoutImage, 100);
    QCOMPARE(scan.imagesWithoutLabel, 500);
    for (int i = 0; i < scan.files.size(); ++i) {
        const int n = scan.files[i].baseName.toInt();
        const QString type = n < 100 ? "jpg" : n == 150 ? "png" : types[n % 4];
        QCOMPARE(scan.imagePaths[i], QStringLiteral("%1/%2.%3").arg(images()).arg(n).arg(type));
    }
}

void TestYoloFolder::loadReplacesTheList()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2"));
    QVERIFY(write(labels() + "/b.txt", ""));
    m_list->loadYolo(labels(), images());
    const auto first = m_list->imageAt(0);
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(m_list, &QAbstractItemModel::rowsInserted);
    m_list->loadYolo(labels(), images());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(m_list->rowCount(), 2);
    QVERIFY(m_list->imageAt(0) != first);
    QCOMPARE(m_list->imageAt(0)->fileName, first->fileName);
    QCOMPARE(m_list->imageAt(0)->id, first->id);

    // A folder that does not exist leaves an empty list.
    QTest::ignoreMessage(QtDebugMsg, "Loaded 0 images from yolo");
    m_list->loadYolo(m_dir.filePath("nowhere"), images());
    QCOMPARE(m_list->rowCount(), 0);
}

void TestYoloFolder::reloadRow()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2\n2 0.25 0.75 0.1 0.3\n"));
    QVERIFY(write(labels() + "/b.txt", "3 0.5 0.5 0.2 0.2"));
    m_list->loadYolo(labels(), images());
    const int row = m_list->imageAt(0)->fileName == "a" ? 0 : 1;
    BBoxList *boxes = m_list->data(m_list->index(row), ImageList::BBoxesRole).value<BBoxList *>();
    boxes->setData(boxes->index(0), 0.9, BBoxList::CxRole);
    boxes->deleteRow(1);
    boxes->appendRow(5, 0.1, 0.1);
    boxes->appendRow(5, 0.2, 0.2);

    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    QSignalSpy boxResets(boxes, &QAbstractItemModel::modelReset);
    m_list->yoloReloadRow(row);
    QCOMPARE(m_list->data(m_list->index(row), ImageList::BBoxesRole).value<BBoxList *>(), boxes);
    QCOMPARE(boxes->rowCount(), 2);
    QCOMPARE(boxes->boxAt(0)->cx, 0.5);
    QCOMPARE(boxes->boxAt(1)->catId, 2);
    QCOMPARE(boxes->boxAt(1)->ch, 0.3);
    QCOMPARE(boxResets.count(), 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), m_list->index(row));
    QCOMPARE(changed[0][1].toModelIndex(), m_list->index(row));
    QCOMPARE(changed[0][2].value<QVector<int>>(), QVector<int>{ImageList::BBoxesRole});
    QCOMPARE(m_list->imageAt(row)->fileName, QString("a"));

    // Rows outside the list are ignored.
    m_list->yoloReloadRow(2);
    m_list->yoloReloadRow(-1);
    QCOMPARE(changed.count(), 1);
}

void TestYoloFolder::reloadRowWithoutLabelFile()
{
    // A row from a JSON document or a COCO import has no label file to go back to:
    // the reload must not throw its boxes away.
    auto image = std::make_shared<ImageInfo>();
    image->id = 9;
    image->fileName = "coco.jpg";
    image->bboxes = std::make_unique<BBoxList>();
    image->bboxes->appendBox(1, 0.5, 0.5, 0.2, 0.2);
    m_list->loadImages({image}, true);
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    m_list->yoloReloadRow(0);
    QCOMPARE(image->bboxes->rowCount(), 1);
    QCOMPARE(changed.count(), 0);
}

void TestYoloFolder::reloadRowKeepsBoxesWhenFileIsGone()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2"));
    m_list->loadYolo(labels(), images());
    BBoxList *boxes = m_list->imageAt(0)->bboxes.get();
    boxes->appendRow(2, 0.1, 0.1);
    QVERIFY(QFile::remove(labels() + "/a.txt"));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(boxes, &QAbstractItemModel::modelReset);
    QVERIFY(!m_list->yoloReloadRow(0));
    QCOMPARE(boxes->rowCount(), 2);
    QVERIFY(boxes->isModified());
    QVERIFY(boxes->canUndo());
    QCOMPARE(changed.count() + resets.count(), 0);
}

void TestYoloFolder::saveAll()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2\r\n"));
    QVERIFY(write(labels() + "/b.txt", "1 0.5 0.5 0.2 0.2\r\n"));
    QVERIFY(write(labels() + "/c.txt", "3 0.5 0.5 0.2 0.2 0.9"));
    m_list->loadYolo(labels(), images());
    // A row from a JSON document, which has no label file.
    auto json = std::make_shared<ImageInfo>();
    json->fileName = "json";
    json->bboxes = std::make_unique<BBoxList>();
    m_list->loadImages({json}, false);
    QCOMPARE(m_list->unsavedRows(), QList<int>{});

    QMap<QString, int> rowOf;
    for (int row = 0; row < m_list->rowCount(); ++row)
        rowOf[m_list->imageAt(row)->fileName] = row;
    m_list->imageAt(rowOf["a"])->bboxes->relabelRow(0, 4);
    m_list->imageAt(rowOf["c"])->bboxes->deleteRow(0);
    m_list->imageAt(rowOf["json"])->bboxes->appendRow(1, 0.5, 0.5);
    QList<int> expected{rowOf["a"], rowOf["c"], rowOf["json"]};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(m_list->unsavedRows(), expected);

    QCOMPARE(m_list->saveAll(), QStringList{"json"});
    QCOMPARE(read(labels() + "/a.txt"), QByteArray("4 0.5 0.5 0.2 0.2"));
    QCOMPARE(read(labels() + "/b.txt"), QByteArray("1 0.5 0.5 0.2 0.2\r\n")); // unchanged, not written
    QCOMPARE(read(labels() + "/c.txt"), QByteArray(""));
    QCOMPARE(m_list->unsavedRows(), QList<int>{rowOf["json"]});

    // A label file that cannot be written is named, and its row stays unsaved.
    m_list->imageAt(rowOf["b"])->bboxes->appendRow(2, 0.5, 0.5);
    QVERIFY(QDir(labels()).removeRecursively());
    QCOMPARE(m_list->saveAll(), (QStringList{m_list->imageAt(rowOf["b"])->yoloTxtFilePath, "json"}));
    QCOMPARE(m_list->unsavedRows().size(), 2);
}

void TestYoloFolder::exportYolo_data()
{
    QTest::addColumn<QStringList>("names");     // fileName and filePath of each row, "|" between
    QTest::addColumn<QStringList>("boxCounts"); // boxes per row
    QTest::addColumn<QStringList>("expected");  // file=bytes written into the export folder
    QTest::newRow("one box") << QStringList{"abc|/img/abc.jpg"} << QStringList{"1"}
                             << QStringList{"abc.txt=1 0.5 0.25 0.1 0.2"};
    QTest::newRow("two boxes") << QStringList{"abc|/img/abc.jpg"} << QStringList{"2"}
                               << QStringList{"abc.txt=1 0.5 0.25 0.1 0.2\n2 0.5 0.25 0.1 0.2"};
    QTest::newRow("no boxes") << QStringList{"abc|/img/abc.jpg"} << QStringList{"0"} << QStringList{"abc.txt="};
    QTest::newRow("dotted base name") << QStringList{"x.y|/img/x.y.jpg"} << QStringList{"1"}
                                      << QStringList{"x.y.txt=1 0.5 0.25 0.1 0.2"};
    QTest::newRow("coco file name") << QStringList{"000123.jpg|/img/JPEGImages/000123.jpg"} << QStringList{"0"}
                                    << QStringList{"000123.txt="};
    QTest::newRow("no image path") << QStringList{"000123.jpg|"} << QStringList{"0"} << QStringList{"000123.txt="};
    QTest::newRow("no way out of the folder") << QStringList{"../../x|"} << QStringList{"0"} << QStringList{"x.txt="};
    QTest::newRow("same name, later row wins")
        << QStringList{"a|/img/a.jpg", "a|/other/a.jpg"} << QStringList{"1", "0"} << QStringList{"a.txt="};
    QTest::newRow("no name at all") << QStringList{"|"} << QStringList{"1"} << QStringList{};
    QTest::newRow("empty list") << QStringList{} << QStringList{} << QStringList{};
}

void TestYoloFolder::exportYolo()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, boxCounts);
    QFETCH(QStringList, expected);
    QList<std::shared_ptr<ImageInfo>> records;
    for (int i = 0; i < names.size(); ++i) {
        auto image = std::make_shared<ImageInfo>();
        image->fileName = names[i].section('|', 0, 0);
        image->filePath = names[i].section('|', 1);
        image->bboxes = std::make_unique<BBoxList>();
        for (int b = 0; b < boxCounts[i].toInt(); ++b)
            image->bboxes->appendBox(b + 1, 0.5, 0.25, 0.1, 0.2);
        records << image;
    }
    m_list->loadImages(records, true);
    const QString out = m_dir.filePath("out/deeper");
    QVERIFY(QDir().mkpath(out));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    m_list->exportYolo(out);
    QCOMPARE(changed.count(), 0);

    QStringList written;
    QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << QDir(out).relativeFilePath(it.next());
    written.sort();
    QStringList expectedNames;
    for (const QString &e : expected)
        expectedNames << e.section('=', 0, 0);
    QCOMPARE(written, expectedNames);
    for (const QString &e : expected)
        QCOMPARE(read(out + '/' + e.section('=', 0, 0)), e.section('=', 1).toUtf8());
}

void TestYoloFolder::exportIntoMissingFolder()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2"));
    m_list->loadYolo(labels(), images());
    m_list->exportYolo(m_dir.filePath("missing"));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("missing")));
}

void TestYoloFolder::exportRoundTrip()
{
    const QByteArray a = "0 0.5 0.5 0.1 0.1\n1 0.25 0.75 0.2 0.3";
    const QByteArray b = "7 0.123457 1e-05 1 0";
    QVERIFY(write(labels() + "/a.txt", a));
    QVERIFY(write(labels() + "/b.c.txt", b));
    QVERIFY(write(labels() + "/empty.txt", ""));
    m_list->loadYolo(labels(), images());
    const QString out = m_dir.filePath("export");
    QVERIFY(QDir().mkpath(out));
    m_list->exportYolo(out);
    QCOMPARE(read(out + "/a.txt"), a);
    QCOMPARE(read(out + "/b.c.txt"), b);
    QCOMPARE(read(out + "/empty.txt"), QByteArray());
}

QTEST_GUILESS_MAIN(TestYoloFolder)
#include "tst_yolofolder.moc"
