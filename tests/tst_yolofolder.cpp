#include "images/imagelist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

Q_DECLARE_METATYPE(QList<QStringList>)

class TestYoloFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadYolo_data();
    void loadYolo();
    void scan();
    void loadReplacesTheList();
    void reloadRow();
    void saveAll();
    void exportYolo_data();
    void exportYolo();

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
    QTest::addColumn<QStringList>("files");       // under the temporary folder; a trailing "/" makes a folder
    QTest::addColumn<QList<QStringList>>("rows"); // base name, picture, label file
    auto row = [](const QString &name, const QStringList &files, const QList<QStringList> &rows) {
        QTest::newRow(qPrintable(name)) << files << rows;
    };
    const QList<QStringList> a{{"a", "a.jpg", "a.txt"}};
    row("image missing", {"labels/a.txt"}, a);
    row("image without labels", {"labels/a.txt", "images/a.jpg", "images/b.jpg"}, a);
    row("dotted name", {"labels/x.y.txt"}, {{"x.y", "x.y.jpg", "x.y.txt"}});
    row("others ignored",
        {"labels/sub/c.txt", "labels/notes.md", "labels/d.txt.bak", "labels/classes.TXT/", "labels/e.txt"},
        {{"e", "e.jpg", "e.txt"}});
    row("upper-case suffix", {"labels/F.TXT"}, {{"F", "F.jpg", "F.TXT"}});
    row("empty folder", {}, {});
    for (const QString suffix : {"jpeg", "png", "bmp", "webp", "tif", "tiff", "JPG", "JPEG", "PNG", "TIFF"})
        row("only ." + suffix, {"labels/a.txt", "images/a." + suffix}, {{"a", "a." + suffix, "a.txt"}});
    row(".jpg first", {"labels/a.txt", "images/a.png", "images/a.jpg", "images/a.JPG"}, a);
    row("in order", {"labels/a.txt", "images/a.tif", "images/a.bmp", "images/a.webp"}, {{"a", "a.bmp", "a.txt"}});
    row("lower case before upper", {"labels/a.txt", "images/a.JPG", "images/a.tiff"}, {{"a", "a.tiff", "a.txt"}});
    row("other case is no match", {"labels/a.txt", "images/a.Png", "images/A.png"}, a);
    row("folder named like a picture", {"labels/a.txt", "images/a.png/"}, a);
}

void TestYoloFolder::loadYolo()
{
    QFETCH(QStringList, files);
    QFETCH(QList<QStringList>, rows);
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
        QCOMPARE(image->id, i + 1);
        QCOMPARE(m_list->imageById(i + 1), image);
        QCOMPARE(image->fileName, rows[i][0]);
        QCOMPARE(image->filePath, images() + '/' + rows[i][1]);
        QCOMPARE(image->yoloTxtFilePath, labels() + '/' + rows[i][2]);
        QCOMPARE(image->bboxes->rowCount(), 1);
        QCOMPARE(QSize(image->width, image->height), QSize(0, 0));
    }
}

// Enough pictures that the lookup table grows several times; rows follow the
// order in which the folder lists its files.
void TestYoloFolder::scan()
{
    const QStringList types{"jpg", "png", "JPG", "webp"};
    for (int i = 0; i < 3000; ++i) {
        if (i < 2500)
            QVERIFY(write(QStringLiteral("%1/%2.txt").arg(labels()).arg(i * 7919 % 2500), ""));
        if (i >= 100)
            QVERIFY(write(QStringLiteral("%1/%2.%3").arg(images()).arg(i).arg(types[i % 4]), ""));
    }
    QVERIFY(write(images() + "/150.png", "")); // beside 150.JPG: the .png is taken
    const YoloFolder::Scan scan = YoloFolder::scan(labels(), images());
    QCOMPARE(scan.files.size(), 2500);
    QCOMPARE(scan.labelsWithoutImage, 100);
    QCOMPARE(scan.imagesWithoutLabel, 500);
    QDirIterator listing(labels(), {"*.txt"}, QDir::Files);
    for (int i = 0; i < scan.files.size(); ++i) {
        QCOMPARE(scan.files[i].labelPath, listing.next());
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
    QCOMPARE(m_list->imageAt(1)->id, 2);

    // A folder that does not exist leaves an empty list.
    QTest::ignoreMessage(QtDebugMsg, "Loaded 0 images from yolo");
    m_list->loadYolo(m_dir.filePath("nowhere"), images());
    QCOMPARE(m_list->rowCount(), 0);
}

// A row reloads its label file into the same box list. A row without a label
// file (from a JSON document or a COCO import), or whose file is gone, keeps its
// boxes and its edits.
void TestYoloFolder::reloadRow()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2\n2 0.25 0.75 0.1 0.3\n"));
    QVERIFY(write(labels() + "/b.txt", "3 0.5 0.5 0.2 0.2"));
    m_list->loadYolo(labels(), images());
    auto json = std::make_shared<ImageInfo>();
    json->bboxes = std::make_unique<BBoxList>();
    json->bboxes->appendBox(1, 0.5, 0.5, 0.2, 0.2);
    m_list->loadImages({json}, false);
    const int row = m_list->imageAt(0)->fileName == "a" ? 0 : 1;
    BBoxList *boxes = m_list->data(m_list->index(row), ImageList::BBoxesRole).value<BBoxList *>();
    boxes->setData(boxes->index(0), 0.9, BBoxList::CxRole);
    boxes->deleteRow(1);
    boxes->appendRow(5, 0.1, 0.1);
    boxes->appendRow(5, 0.2, 0.2);
    BBoxList *gone = m_list->imageAt(1 - row)->bboxes.get();
    gone->appendRow(2, 0.1, 0.1);
    QVERIFY(QFile::remove(labels() + "/b.txt"));

    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    QSignalSpy boxResets(boxes, &QAbstractItemModel::modelReset);
    QSignalSpy goneResets(gone, &QAbstractItemModel::modelReset);
    QVERIFY(m_list->yoloReloadRow(row));
    QCOMPARE(m_list->data(m_list->index(row), ImageList::BBoxesRole).value<BBoxList *>(), boxes);
    QCOMPARE(*boxes->boxAt(0), (BoxInfo{1, 0.5, 0.5, 0.2, 0.2}));
    QCOMPARE(*boxes->boxAt(1), (BoxInfo{2, 0.25, 0.75, 0.1, 0.3}));
    QCOMPARE(boxes->rowCount(), 2);
    QCOMPARE(boxResets.count(), 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), m_list->index(row));
    QCOMPARE(changed[0][1].toModelIndex(), m_list->index(row));
    QCOMPARE(changed[0][2].value<QVector<int>>(), QVector<int>{ImageList::BBoxesRole});

    for (int other : {1 - row, 2, 3, -1})
        QVERIFY(!m_list->yoloReloadRow(other));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(goneResets.count(), 0);
    QCOMPARE(gone->rowCount(), 2);
    QVERIFY(gone->isModified() && gone->canUndo());
    QCOMPARE(json->bboxes->rowCount(), 1);
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
    QTest::addColumn<QStringList>("rows");     // fileName|filePath|number of boxes
    QTest::addColumn<QString>("out");          // the export folder, made unless "missing"
    QTest::addColumn<QStringList>("expected"); // file=bytes written into it
    const QStringList none;
    QTest::newRow("one box") << QStringList{"abc|/img/abc.jpg|1"} << "out" << QStringList{"abc.txt=1 0.5 0.25 0.1 0.2"};
    QTest::newRow("two boxes") << QStringList{"abc|/img/abc.jpg|2"} << "out"
                               << QStringList{"abc.txt=1 0.5 0.25 0.1 0.2\n2 0.5 0.25 0.1 0.2"};
    QTest::newRow("no boxes") << QStringList{"abc|/img/abc.jpg|0"} << "out" << QStringList{"abc.txt="};
    QTest::newRow("dotted base name") << QStringList{"x.y|/img/x.y.jpg|1"} << "out"
                                      << QStringList{"x.y.txt=1 0.5 0.25 0.1 0.2"};
    QTest::newRow("coco file name") << QStringList{"000123.jpg|/img/JPEGImages/000123.jpg|0"} << "out"
                                    << QStringList{"000123.txt="};
    QTest::newRow("no image path") << QStringList{"000123.jpg||0"} << "out" << QStringList{"000123.txt="};
    QTest::newRow("no way out of the folder") << QStringList{"../../x||0"} << "out" << QStringList{"x.txt="};
    QTest::newRow("same name, later row wins")
        << QStringList{"a|/img/a.jpg|1", "a|/other/a.jpg|0"} << "out" << QStringList{"a.txt="};
    QTest::newRow("no name at all") << QStringList{"||1"} << "out" << none;
    QTest::newRow("empty list") << QStringList{} << "out" << none;
    QTest::newRow("missing folder") << QStringList{"abc|/img/abc.jpg|1"} << "missing" << none;
}

void TestYoloFolder::exportYolo()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, out);
    QFETCH(QStringList, expected);
    QList<std::shared_ptr<ImageInfo>> records;
    for (const QString &row : rows) {
        auto image = std::make_shared<ImageInfo>();
        image->fileName = row.section('|', 0, 0);
        image->filePath = row.section('|', 1, 1);
        image->bboxes = std::make_unique<BBoxList>();
        for (int b = 0; b < row.section('|', 2).toInt(); ++b)
            image->bboxes->appendBox(b + 1, 0.5, 0.25, 0.1, 0.2);
        records << image;
    }
    m_list->loadImages(records, true);
    const QString folder = m_dir.filePath(out + "/deeper");
    if (out != "missing")
        QVERIFY(QDir().mkpath(folder));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    m_list->exportYolo(folder);
    QCOMPARE(changed.count(), 0);

    QStringList written, expectedNames;
    QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << QDir(folder).relativeFilePath(it.next());
    for (const QString &e : expected) {
        expectedNames << e.section('=', 0, 0);
        QCOMPARE(read(folder + '/' + e.section('=', 0, 0)), e.section('=', 1).toUtf8());
    }
    QCOMPARE(written, expectedNames);
    QCOMPARE(QFileInfo::exists(folder), out != "missing");
}

QTEST_GUILESS_MAIN(TestYoloFolder)
#include "tst_yolofolder.moc"
