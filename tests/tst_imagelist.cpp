#include "images/imagelist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

Q_DECLARE_METATYPE(QList<QStringList>)

namespace {

std::shared_ptr<ImageInfo> makeImage(int id, const QString &name, const QString &labelPath, int boxes = 0)
{
    auto image = std::make_shared<ImageInfo>();
    image->id = id;
    image->fileName = name;
    image->filePath = name.isEmpty() ? QString() : QStringLiteral("/images/%1.jpg").arg(name);
    image->width = 640;
    image->height = 480;
    image->bboxes = std::make_unique<BBoxList>();
    for (int b = 0; b < boxes; ++b)
        image->bboxes->appendBox(b + 1, 0.5, 0.25, 0.1, 0.2);
    image->yoloTxtFilePath = labelPath;
    return image;
}

} // namespace

// The list of images: its roles and rows, the YOLO folder and the JSON document.
class TestImageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void data();
    void removeRow_data();
    void removeRow();
    void loadYolo_data();
    void loadYolo();
    void scan();
    void reloadRow();
    void saveAll();
    void exportYolo_data();
    void exportYolo();
    void exportJsonBytes();
    void jsonRoundTrip();
    void loadJson_data();
    void loadJson();

private:
    QString labels() const { return m_dir.filePath("labels"); }
    QString images() const { return m_dir.filePath("images"); }
    int rowOf(const QString &name) const;

    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

int TestImageList::rowOf(const QString &name) const
{
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (m_list->imageAt(row)->fileName == name)
            return row;
    }
    return -1;
}

void TestImageList::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(labels());
    QDir().mkpath(images());
    m_list = ImageList::instance();
    m_list->loadImages({}, true);
    m_check = std::make_unique<ModelCheck>(m_list);
}

void TestImageList::cleanup()
{
    m_check.reset();
    ModelCheck::verifyNone();
}

void TestImageList::data()
{
    m_list->loadImages({makeImage(1, "cat", "/labels/cat.txt")}, true);
    const QVariantList expected{"cat", "/images/cat.jpg", 640, 480, QVariant(), "/labels/cat.txt", QVariantList()};
    for (int role : {0, 1, 2, 3, 5, 6, 7}) {
        const QVariant value = m_list->data(m_list->index(0), role);
        QCOMPARE(value, expected.value(role));
        QCOMPARE(value.userType(), expected.value(role).userType());
        QVERIFY(!m_list->data(m_list->index(1), role).isValid());
    }
    QCOMPARE(m_list->data(m_list->index(0), ImageList::BBoxesRole).value<BBoxList *>(),
             m_list->imageAt(0)->bboxes.get());
}

void TestImageList::removeRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("labelExists");
    QTest::addColumn<bool>("removed");
    QTest::newRow("first") << 0 << true << true;
    QTest::newRow("label file gone") << 1 << false << false;
    QTest::newRow("no label path") << 2 << true << false;
    QTest::newRow("row past the end") << 3 << true << false;
}

// Removing a row deletes its label file, never its picture; a row whose label
// file cannot be deleted stays.
void TestImageList::removeRow()
{
    QFETCH(int, row);
    QFETCH(bool, labelExists);
    QFETCH(bool, removed);
    const QString a = m_dir.filePath("a.txt"), b = m_dir.filePath("b.txt"), image = m_dir.filePath("b.jpg");
    QVERIFY(write(a, "") && write(image, "") && (!labelExists || write(b, "")));
    m_list->loadImages({makeImage(1, "a", a), makeImage(2, "b", b), makeImage(3, "c", "")}, true);
    QSignalSpy removals(m_list, &QAbstractItemModel::rowsRemoved);
    m_list->removeRow(row);
    QCOMPARE(m_list->rowCount(), removed ? 2 : 3);
    QCOMPARE(removals.count(), removed ? 1 : 0);
    if (removed) {
        QCOMPARE(removals.at(0).at(1).toInt(), row);
        QVERIFY(!QFileInfo::exists(a) && !m_list->imageById(1));
        QCOMPARE(m_list->imageAt(0)->fileName, QString("b"));
    }
    QVERIFY(QFileInfo::exists(image));
}

void TestImageList::loadYolo_data()
{
    QTest::addColumn<QStringList>("files");       // under the temporary folder; a trailing "/" makes a folder
    QTest::addColumn<QList<QStringList>>("rows"); // base name, picture, label file
    auto row = [](const QString &name, const QStringList &files, const QList<QStringList> &rows) {
        QTest::newRow(qPrintable(name)) << files << rows;
    };
    const QList<QStringList> a{{"a", "a.jpg", "a.txt"}};
    row("image missing", {"labels/a.txt"}, a);
    row("others ignored",
        {"labels/sub/c.txt", "labels/notes.md", "labels/d.txt.bak", "labels/classes.TXT/", "labels/e.txt"},
        {{"e", "e.jpg", "e.txt"}});
    row("upper-case suffix", {"labels/F.TXT"}, {{"F", "F.jpg", "F.TXT"}});
    row("empty folder", {}, {});
    row(".jpg first", {"labels/a.txt", "images/a.png", "images/a.jpg", "images/a.JPG"}, a);
    row("in order", {"labels/a.txt", "images/a.tif", "images/a.bmp", "images/a.webp"}, {{"a", "a.bmp", "a.txt"}});
    row("lower case before upper", {"labels/a.txt", "images/a.JPG", "images/a.tiff"}, {{"a", "a.tiff", "a.txt"}});
    row("other case is no match", {"labels/a.txt", "images/a.Png", "images/A.png"}, a);
    row("folder named like a picture", {"labels/a.txt", "images/a.png/"}, a);
}

// A load replaces the list, inside one reset.
void TestImageList::loadYolo()
{
    QFETCH(QStringList, files);
    QFETCH(QList<QStringList>, rows);
    for (const QString &file : files) {
        if (file.endsWith('/'))
            QVERIFY(QDir().mkpath(m_dir.filePath(file)));
        else
            QVERIFY(write(m_dir.filePath(file), file.startsWith("labels") ? "0 0.5 0.5 0.1 0.1" : "jpeg"));
    }
    m_list->loadImages({makeImage(9, "old", "")}, true);
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(m_list, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < rows.size(); ++i)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("images/"));
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Loaded %1 images from yolo").arg(rows.size())));
    m_list->loadYolo(labels(), images());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(m_list->rowCount(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const auto image = m_list->imageAt(i);
        QCOMPARE(image->id, i + 1);
        QCOMPARE(m_list->imageById(i + 1), image);
        QCOMPARE(image->fileName, rows[i][0]);
        QCOMPARE(image->filePath, images() + '/' + rows[i][1]);
        QCOMPARE(image->yoloTxtFilePath, labels() + '/' + rows[i][2]);
        QCOMPARE(image->bboxes->rowCount(), 1);
    }
}

// Rows follow the order in which the folder lists its label files.
void TestImageList::scan()
{
    const QStringList types{"jpg", "png", "JPG", "webp"};
    for (int i = 0; i < 12; ++i) {
        QVERIFY(i >= 10 || write(QStringLiteral("%1/%2.txt").arg(labels()).arg(i * 7 % 10), ""));
        QVERIFY(i < 2 || write(QStringLiteral("%1/%2.%3").arg(images()).arg(i).arg(types[i % 4]), ""));
    }
    QVERIFY(write(images() + "/6.png", "")); // beside 6.JPG: the .png is taken
    const YoloFolder::Scan scan = YoloFolder::scan(labels(), images());
    QCOMPARE(scan.files.size(), 10);
    QCOMPARE(scan.labelsWithoutImage, 2);
    QCOMPARE(scan.imagesWithoutLabel, 2);
    QDirIterator listing(labels(), {"*.txt"}, QDir::Files);
    for (int i = 0; i < scan.files.size(); ++i) {
        QCOMPARE(scan.files[i].labelPath, listing.next());
        const int n = scan.files[i].baseName.toInt();
        const QString type = n < 2 ? "jpg" : n == 6 ? "png" : types[n % 4];
        QCOMPARE(scan.imagePaths[i], QStringLiteral("%1/%2.%3").arg(images()).arg(n).arg(type));
    }
}

// A row reloads its label file into the same box list. A row without a label
// file (from a JSON document or a COCO import), or whose file is gone, keeps its
// boxes and its edits.
void TestImageList::reloadRow()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2\n2 0.25 0.75 0.1 0.3\n"));
    QVERIFY(write(labels() + "/b.txt", "3 0.5 0.5 0.2 0.2"));
    m_list->loadYolo(labels(), images());
    auto json = makeImage(0, "json", "", 1);
    m_list->loadImages({json}, false);
    const int row = rowOf("a");
    BBoxList *boxes = m_list->imageAt(row)->bboxes.get(), *gone = m_list->imageAt(rowOf("b"))->bboxes.get();
    boxes->setData(boxes->index(0), 0.9, BBoxList::CxRole);
    boxes->deleteRow(1);
    gone->appendRow(2, 0.1, 0.1);
    QVERIFY(QFile::remove(labels() + "/b.txt"));

    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(boxes, &QAbstractItemModel::modelReset);
    QVERIFY(m_list->yoloReloadRow(row));
    QCOMPARE(m_list->data(m_list->index(row), ImageList::BBoxesRole).value<BBoxList *>(), boxes);
    QCOMPARE(boxes->rowCount(), 2);
    QCOMPARE(*boxes->boxAt(0), (BoxInfo{1, 0.5, 0.5, 0.2, 0.2}));
    QCOMPARE(*boxes->boxAt(1), (BoxInfo{2, 0.25, 0.75, 0.1, 0.3}));
    QCOMPARE(resets.count(), 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), m_list->index(row));
    QCOMPARE(changed[0][2].value<QVector<int>>(), QVector<int>{ImageList::BBoxesRole});
    for (int other : {rowOf("b"), rowOf("json"), 3, -1})
        QVERIFY(!m_list->yoloReloadRow(other));
    QCOMPARE(changed.count(), 1);
    QVERIFY(gone->rowCount() == 2 && gone->isModified() && gone->canUndo());
    QCOMPARE(json->bboxes->rowCount(), 1);
}

void TestImageList::saveAll()
{
    QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2\r\n"));
    QVERIFY(write(labels() + "/b.txt", "1 0.5 0.5 0.2 0.2\r\n"));
    QVERIFY(write(labels() + "/c.txt", "3 0.5 0.5 0.2 0.2 0.9"));
    m_list->loadYolo(labels(), images());
    m_list->loadImages({makeImage(0, "json", "")}, false); // no label file
    QCOMPARE(m_list->unsavedRows(), QList<int>{});
    m_list->imageAt(rowOf("a"))->bboxes->relabelRow(0, 4);
    m_list->imageAt(rowOf("c"))->bboxes->deleteRow(0);
    m_list->imageAt(rowOf("json"))->bboxes->appendRow(1, 0.5, 0.5);
    QList<int> expected{rowOf("a"), rowOf("c"), rowOf("json")};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(m_list->unsavedRows(), expected);

    QCOMPARE(m_list->saveAll(), QStringList{"json"});
    QCOMPARE(read(labels() + "/a.txt"), QByteArray("4 0.5 0.5 0.2 0.2"));
    QCOMPARE(read(labels() + "/b.txt"), QByteArray("1 0.5 0.5 0.2 0.2\r\n")); // unchanged, not written
    QCOMPARE(read(labels() + "/c.txt"), QByteArray(""));
    QCOMPARE(m_list->unsavedRows(), QList<int>{rowOf("json")});

    // A label file that cannot be written is named, and its row stays unsaved.
    m_list->imageAt(rowOf("b"))->bboxes->appendRow(2, 0.5, 0.5);
    QVERIFY(QDir(labels()).removeRecursively());
    QCOMPARE(m_list->saveAll(), (QStringList{m_list->imageAt(rowOf("b"))->yoloTxtFilePath, "json"}));
    QCOMPARE(m_list->unsavedRows().size(), 2);
}

void TestImageList::exportYolo_data()
{
    QTest::addColumn<QStringList>("rows");     // fileName|filePath|number of boxes
    QTest::addColumn<bool>("folder");          // whether the export folder exists
    QTest::addColumn<QStringList>("expected"); // file=bytes written into it
    auto row = [](const char *name, const QStringList &rows, const QStringList &expected, bool folder = true) {
        QTest::newRow(name) << rows << folder << expected;
    };
    row("two boxes", {"abc|/img/abc.jpg|2"}, {"abc.txt=1 0.5 0.25 0.1 0.2\n2 0.5 0.25 0.1 0.2"});
    row("no boxes", {"abc|/img/abc.jpg|0"}, {"abc.txt="});
    row("coco file name", {"000123.jpg|/img/JPEGImages/000123.jpg|0"}, {"000123.txt="});
    row("no way out of the folder", {"../../x||0"}, {"x.txt="});
    row("same name, later row wins", {"a|/img/a.jpg|1", "a|/other/a.jpg|0"}, {"a.txt="});
    row("no name at all", {"||1"}, {});
    row("missing folder", {"abc|/img/abc.jpg|1"}, {}, false);
}

void TestImageList::exportYolo()
{
    QFETCH(QStringList, rows);
    QFETCH(bool, folder);
    QFETCH(QStringList, expected);
    QList<std::shared_ptr<ImageInfo>> records;
    for (const QString &row : rows) {
        records << makeImage(0, "", "", row.section('|', 2).toInt());
        records.last()->fileName = row.section('|', 0, 0);
        records.last()->filePath = row.section('|', 1, 1);
    }
    m_list->loadImages(records, true);
    const QString out = m_dir.filePath("out/deeper");
    QVERIFY(!folder || QDir().mkpath(out));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    m_list->exportYolo(out);
    QCOMPARE(changed.count(), 0);

    QStringList written, expectedNames;
    QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << QDir(out).relativeFilePath(it.next());
    for (const QString &e : expected) {
        expectedNames << e.section('=', 0, 0);
        QCOMPARE(read(out + '/' + e.section('=', 0, 0)), e.section('=', 1).toUtf8());
    }
    QCOMPARE(written, expectedNames);
    QCOMPARE(QFileInfo::exists(out), folder);
}

void TestImageList::exportJsonBytes()
{
    const QString path = m_dir.filePath("empty.json");
    m_list->exportJson(path);
    QCOMPARE(read(path), QByteArray("[\n]\n"));
    m_list->loadImages({makeImage(3, "a", "/labels/a.txt", 1)}, true);
    m_list->exportJson(path);
    const QJsonObject box{{"catId", 1}, {"cx", 0.5}, {"cy", 0.25}, {"cw", 0.1}, {"ch", 0.2}};
    const QJsonObject row{{"bboxes", QJsonArray{box}},
                          {"fileName", "a"},
                          {"filePath", "/images/a.jpg"},
                          {"height", 480},
                          {"id", 3},
                          {"width", 640}};
    QCOMPARE(read(path), QJsonDocument(QJsonArray{row}).toJson());
}

// What is written reads back into the same records, to the last bit of every
// coordinate, with no label file.
void TestImageList::jsonRoundTrip()
{
    QList<std::shared_ptr<ImageInfo>> records;
    for (int i = 0; i < 3; ++i)
        records << makeImage(100 - i, QStringLiteral("img %1 ü").arg(i), "/labels/x.txt");
    records[1]->width = 7;
    records[1]->bboxes->appendBox(-1, 0.1, 0.2, 0.3, 0.4);
    records[2]->bboxes->appendBox(2, 1.0 / 3, 2.0 / 3, 1e-9, 1.5);
    records[2]->bboxes->appendBox(0, 0.1 + 0.2, -0.0, 2e-310, 7);
    m_list->loadImages(records, true);
    const QString first = m_dir.filePath("first.json"), second = m_dir.filePath("second.json");
    m_list->exportJson(first);
    m_list->loadImages({}, true);
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    m_list->loadJson(first);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(m_list->imageAt(2)->yoloTxtFilePath, QString());
    QCOMPARE(*m_list->imageAt(2)->bboxes->boxAt(1), *records[2]->bboxes->boxAt(1));
    m_list->exportJson(second);
    QCOMPARE(read(second), read(first));
}

void TestImageList::loadJson_data()
{
    QTest::addColumn<QByteArray>("document"); // null: no file
    QTest::addColumn<QStringList>("rows");    // id:fileName:width:height:boxes, with boxes "cat/cx" joined by ","
    QTest::newRow("missing file") << QByteArray() << QStringList{"old"};
    QTest::newRow("object top level") << QByteArray(R"({"images": [{"id": 1}]})") << QStringList{"old"};
    QTest::newRow("not json") << QByteArray("[{\"id\": 1,") << QStringList{"old"};
    QTest::newRow("non-object element") << QByteArray(R"([3, "x", {"id": 4, "fileName": "f"}])")
                                        << QStringList{"old", "0::0:0:", "0::0:0:", "4:f:0:0:"};
    QTest::newRow("keys in any order, extra keys")
        << QByteArray(R"([{"width": 7, "extra": true, "id": 2, "height": 5, "fileName": "n",
                        "bboxes": [{"cy": 0.5, "cx": 0.25, "catId": 3, "ch": 1, "cw": 1, "score": 0.9}]}])")
        << QStringList{"old", "2:n:7:5:3/0.25"};
    QTest::newRow("mistyped values") << QByteArray(R"([{"id": "7", "fileName": 5, "width": 2.5, "height": null,
                                                     "bboxes": [{"catId": 2.5, "cx": "0.5"}]}])")
                                     << QStringList{"old", "0::0:0:0/0"};
}

// A document's rows come after those already in the list.
void TestImageList::loadJson()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, rows);
    m_list->loadImages({makeImage(0, "old", "")}, true);
    const QString path = m_dir.filePath("doc.json");
    QVERIFY(document.isNull() || write(path, document));
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    m_list->loadJson(path);
    QCOMPARE(resets.count(), 1);
    QStringList got{m_list->imageAt(0)->fileName};
    for (int row = 1; row < m_list->rowCount(); ++row) {
        const auto image = m_list->imageAt(row);
        QStringList boxes;
        for (const auto &box : image->bboxes->boxes())
            boxes << QStringLiteral("%1/%2").arg(box->catId).arg(box->cx);
        got << QStringLiteral("%1:%2:%3:%4:%5")
                   .arg(image->id)
                   .arg(image->fileName)
                   .arg(image->width)
                   .arg(image->height)
                   .arg(boxes.join(','));
        QVERIFY(image->id == 0 || m_list->imageById(image->id) == image);
    }
    QCOMPARE(got, rows);
}

QTEST_GUILESS_MAIN(TestImageList)
#include "tst_imagelist.moc"
