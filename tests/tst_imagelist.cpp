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

// Each row as "id name WxH: cat cx cy cw ch, ..." with six significant digits.
QStringList describe(const ImageList &list)
{
    QStringList out;
    for (const auto &i : list.images()) {
        QStringList boxes;
        for (const auto &b : i->bboxes->boxes()) {
            boxes << QStringLiteral("%1 %2 %3 %4 %5").arg(b->catId).arg(b->cx).arg(b->cy).arg(b->cw).arg(b->ch);
            for (const double v : b->points)
                boxes.last() += QStringLiteral(" %1").arg(v);
        }
        out << QString("%1 %2 %3x%4: ").arg(i->id).arg(i->fileName).arg(i->width).arg(i->height) + boxes.join(", ");
    }
    return out;
}

QByteArray toJson(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson() : QJsonDocument(value.toObject()).toJson();
}

QJsonObject image(int id, const QString &file, int width, int height)
{
    return {{"id", id}, {"file_name", file}, {"width", width}, {"height", height}, {"license", 3}};
}

QJsonObject annotation(int id, int cat, const QJsonArray &bbox)
{
    // Real annotations carry a polygon first, which the import must skip over.
    return {
        {"segmentation", QJsonArray{QJsonArray{1, 2, 3, 4}}}, {"image_id", id}, {"bbox", bbox}, {"category_id", cat}};
}

} // namespace

// The list of images: its rows, the YOLO folder, the JSON document, the COCO import
// and the problems each row is checked for.
class TestImageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(labels());
        QDir().mkpath(images());
        m_list = ImageList::instance();
        m_list->setCheckClasses(nullptr);
        QLoggingCategory::setFilterRules(QStringLiteral("boxmere.io.debug=false")); // the per-image path lines
        m_list->loadImages({makeImage(9, "old", "")}, true);
        m_check = std::make_unique<ModelCheck>(m_list);
    }

    void cleanup()
    {
        m_check.reset();
        ModelCheck::verifyNone();
    }

    // Removing a row deletes its label file, never its picture; a row whose label
    // file cannot be deleted, being gone or none, stays.
    void removeRow()
    {
        const QString a = m_dir.filePath("a.txt"), picture = m_dir.filePath("a.jpg");
        QVERIFY(write(a, "") && write(picture, ""));
        auto first = makeImage(1, "a", a);
        first->filePath = picture;
        m_list->loadImages({first, makeImage(2, "b", m_dir.filePath("b.txt")), makeImage(3, "c", "")}, true);
        QSignalSpy removals(m_list, &QAbstractItemModel::rowsRemoved);
        m_list->removeRow(1);
        m_list->removeRow(2);
        m_list->removeRow(0);
        QCOMPARE(removals.count(), 1);
        QCOMPARE(removals.at(0).at(1).toInt(), 0);
        QVERIFY(!QFileInfo::exists(a) && QFileInfo::exists(picture) && !m_list->imageById(1));
        QCOMPARE(describe(*m_list), (QStringList{"2 b 640x480: ", "3 c 640x480: "}));
    }

    // Delete in the window: the label file goes to the trash, and back with its row, boxes and place.
    void trashAndRestore()
    {
        QTemporaryDir home; // the trash follows it, so that the user's own stays as it was
        const QString b = m_dir.filePath("b.txt"), inTrash = home.filePath("Trash/files/b.txt");
        const QByteArray bytes("2 0.5 0.25 0.1 0.2\n");
        QVERIFY(write(b, bytes));
        m_list->loadImages({makeImage(1, "a", ""), makeImage(2, "b", b, 1), makeImage(3, "c", "")}, true);
        QSignalSpy removed(m_list, &QAbstractItemModel::rowsRemoved), added(m_list, &QAbstractItemModel::rowsInserted);
        // Where no trash can be made, nothing moves, not even into the working directory.
        qputenv("XDG_DATA_HOME", home.filePath("none").toUtf8());
        QVERIFY(!m_list->trashRow(1));
        QVERIFY(read(b) == bytes && !QFileInfo::exists("files") && !QFileInfo::exists("info"));
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        QVERIFY(!m_list->trashRow(0) && m_list->trashRow(1));
        QCOMPARE(m_list->trashedFile(), b);
        QVERIFY(!QFileInfo::exists(b) && QFileInfo::exists(home.filePath("Trash/info/b.txt.trashinfo")));
        QCOMPARE(read(inTrash), bytes);
        QVERIFY(m_list->restoreTrashed());
        QCOMPARE(read(b), bytes);
        QVERIFY(!QFileInfo::exists(inTrash) && !QFileInfo::exists(home.filePath("Trash/info/b.txt.trashinfo")));
        QCOMPARE(describe(*m_list), (QStringList{"1 a 640x480: ", "2 b 640x480: 1 0.5 0.25 0.1 0.2", "3 c 640x480: "}));
        QCOMPARE(removed.count() + added.count(), 2);
        QCOMPARE(added.at(0).at(1).toInt(), 1);
        QVERIFY(m_list->trashedFile().isEmpty() && !m_list->restoreTrashed());
    }

    void loadYolo_data()
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
        row("other case is no match", {"labels/a.txt", "images/a.Png", "images/A.png"}, a);
        row("folder named like a picture", {"labels/a.txt", "images/a.png/"}, a);
    }

    // A load replaces the list, inside one reset.
    void loadYolo()
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
        QSignalSpy inserts(m_list, &QAbstractItemModel::rowsInserted);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Loaded %1 images from yolo").arg(rows.size())));
        m_list->loadYolo(labels(), images());
        QCOMPARE(resets.count(), 1);
        QCOMPARE(inserts.count(), 0);
        QCOMPARE(m_list->rowCount(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const auto image = m_list->imageAt(i);
            QVERIFY(image->id == i + 1 && m_list->imageById(i + 1) == image && image->bboxes->rowCount() == 1);
            QCOMPARE(QStringList({image->fileName, image->filePath, image->yoloTxtFilePath}),
                     QStringList({rows[i][0], images() + '/' + rows[i][1], labels() + '/' + rows[i][2]}));
        }
    }

    // Rows follow the order in which the folder lists its label files.
    void scan()
    {
        const QStringList types{"jpg", "png", "JPG", "webp"};
        for (int i = 0; i < 12; ++i) {
            QVERIFY(i >= 10 || write(QStringLiteral("%1/%2.txt").arg(labels()).arg(i * 7 % 10), ""));
            QVERIFY(i < 2 || write(QStringLiteral("%1/%2.%3").arg(images()).arg(i).arg(types[i % 4]), ""));
        }
        QVERIFY(write(images() + "/6.png", "")); // beside 6.JPG: the .png is taken
        const YoloFolder::Scan scan = YoloFolder::scan(labels(), images());
        QCOMPARE(QVector<int>({scan.files.size(), scan.labelsWithoutImage, scan.imagesWithoutLabel}),
                 QVector<int>({10, 2, 2}));
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
    void reloadRow()
    {
        QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2 0.8\n2 0.25 0.75 0.1 0.3\n"));
        QVERIFY(write(labels() + "/b.txt", "3 0.5 0.5 0.2 0.2"));
        m_list->loadYolo(labels(), images());
        QVERIFY(write(labels() + "/a.txt", "1 0.5 0.5 0.2 0.2\n2 0.25 0.75 0.1 0.3\n")); // now whole
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
        QCOMPARE(describe(*m_list).at(row), QString("%1 a 0x0: 1 0.5 0.5 0.2 0.2, 2 0.25 0.75 0.1 0.3").arg(row + 1));
        QCOMPARE(resets.count(), 2);
        for (const LabelCheck::Problem &problem : m_list->imageAt(row)->problems)
            QVERIFY(problem.kind != LabelCheck::Kind::PartialLine);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), m_list->index(row));
        QCOMPARE(changed[0][2].value<QVector<int>>(), QVector<int>{ImageList::BBoxesRole});
        for (int other : {rowOf("b"), rowOf("json"), 3, -1})
            QVERIFY(!m_list->yoloReloadRow(other));
        QCOMPARE(changed.count(), 1);
        QVERIFY(gone->rowCount() == 2 && gone->isModified() && gone->canUndo());
        QCOMPARE(json->bboxes->rowCount(), 1);
    }

    void saveAll()
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

        // A save that would drop a line not read whole waits for the user's word.
        QCOMPARE(m_list->lostOnSave(), QStringList{"c.txt: 1 deleted line with extra fields will be dropped."});
        QCOMPARE(m_list->saveAll(), (QStringList{m_list->imageAt(rowOf("c"))->yoloTxtFilePath, "json"}));
        QCOMPARE(read(labels() + "/c.txt"), QByteArray("3 0.5 0.5 0.2 0.2 0.9"));
        QCOMPARE(m_list->saveAll(true), QStringList{"json"});
        QCOMPARE(read(labels() + "/a.txt"), QByteArray("4 0.5 0.5 0.2 0.2\r\n")); // its line end kept
        QCOMPARE(read(labels() + "/b.txt"), QByteArray("1 0.5 0.5 0.2 0.2\r\n")); // unchanged, not written
        QCOMPARE(read(labels() + "/c.txt"), QByteArray(""));
        QCOMPARE(m_list->unsavedRows(), QList<int>{rowOf("json")});

        // A label file that cannot be written is named, and its row stays unsaved.
        m_list->imageAt(rowOf("b"))->bboxes->appendRow(2, 0.5, 0.5);
        QVERIFY(QDir(labels()).removeRecursively());
        QCOMPARE(m_list->saveAll(), (QStringList{m_list->imageAt(rowOf("b"))->yoloTxtFilePath, "json"}));
        QCOMPARE(m_list->unsavedRows().size(), 2);
    }

    void exportYolo_data()
    {
        QTest::addColumn<QStringList>("rows");     // fileName|filePath|number of boxes
        QTest::addColumn<bool>("folder");          // whether the export folder exists
        QTest::addColumn<QStringList>("expected"); // file=bytes written into it
        auto row = [](const char *name, const QStringList &rows, const QStringList &expected, bool folder = true) {
            QTest::newRow(name) << rows << folder << expected;
        };
        row("two boxes", {"abc|/img/abc.jpg|2"}, {"abc.txt=1 0.5 0.25 0.1 0.2\n2 0.5 0.25 0.1 0.2"});
        row("coco file name, no boxes", {"000123.jpg|/img/JPEGImages/000123.jpg|0"}, {"000123.txt="});
        row("no way out of the folder", {"../../x||0"}, {"x.txt="});
        row("same name, later row wins", {"a|/img/a.jpg|1", "a|/other/a.jpg|0"}, {"a.txt="});
        row("no name at all", {"||1"}, {});
        row("missing folder", {"abc|/img/abc.jpg|1"}, {}, false);
    }

    void exportYolo()
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

        QStringList written;
        QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            written << QDir(out).relativeFilePath(file) + '=' + read(file);
        }
        QCOMPARE(written, expected);
        QCOMPARE(QFileInfo::exists(out), folder);
    }

    // The document's bytes; what is written reads back into the same records, to the
    // last bit of every coordinate, with no label file.
    void jsonDocument()
    {
        const QString first = m_dir.filePath("first.json"), second = m_dir.filePath("second.json");
        m_list->loadImages({}, true);
        m_list->exportJson(first);
        QCOMPARE(read(first), QByteArray("[\n]\n"));
        m_list->loadImages({makeImage(3, "a", "/labels/a.txt", 1)}, true);
        m_list->exportJson(first);
        QCOMPARE(read(first),
                 QJsonDocument::fromJson(R"([{"bboxes": [{"catId": 1, "cx": 0.5, "cy": 0.25, "cw": 0.1, "ch": 0.2}],
            "fileName": "a", "filePath": "/images/a.jpg", "height": 480, "id": 3, "width": 640}])")
                     .toJson());

        QList<std::shared_ptr<ImageInfo>> records{makeImage(100, "img ü", "/labels/x.txt"), makeImage(99, "b", "")};
        records[0]->width = 7;
        records[0]->bboxes->appendBox(-1, 1.0 / 3, 2.0 / 3, 1e-9, 1.5);
        records[0]->bboxes->appendBox(0, 0.1 + 0.2, -0.0, 2e-310, 7);
        records[0]->bboxes->appendPolygon(2, {0.1 + 0.2, 1e-7, 1, 0, 0.5, 2.0 / 3});
        m_list->loadImages(records, true);
        m_list->exportJson(first);
        m_list->loadImages({}, true);
        m_list->loadJson(first);
        QCOMPARE(m_list->imageAt(0)->yoloTxtFilePath, QString());
        QCOMPARE(*m_list->imageAt(0)->bboxes->boxAt(1), *records[0]->bboxes->boxAt(1));
        QCOMPARE(*m_list->imageAt(0)->bboxes->boxAt(2), *records[0]->bboxes->boxAt(2));
        m_list->exportJson(second);
        QCOMPARE(read(second), read(first));
    }

    void loadJson_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QStringList>("rows"); // after the row from before
        QTest::newRow("not json") << QByteArray("[{\"id\": 1,") << QStringList{};
        QTest::newRow("non-object element")
            << QByteArray(R"([3, {"id": 4, "fileName": "f"}])") << QStringList{"0  0x0: ", "4 f 0x0: "};
        QTest::newRow("keys in any order, extra keys")
            << QByteArray(R"([{"width": 7, "extra": true, "id": 2, "height": 5, "fileName": "n",
                            "bboxes": [{"cy": 0.5, "cx": 0.25, "catId": 3, "ch": 1, "cw": 1, "score": 0.9}]}])")
            << QStringList{"2 n 7x5: 3 0.25 0.5 1 1"};
        QTest::newRow("mistyped values") << QByteArray(R"([{"id": "7", "fileName": 5, "width": 2.5, "height": null,
                                                         "bboxes": [{"catId": 2.5, "cx": "0.5"}]}])")
                                         << QStringList{"0  0x0: 0 0 0 0 0"};
        // The box of a polygon is made from its points; a last number without its pair is no corner.
        QTest::newRow("polygon") << QByteArray(R"([{"bboxes": [{"catId": 1, "cx": 9, "points": [0.1, 0.2, 0.5, 0.2,
                                                 0.5, 0.6, 0.9]}, {"catId": 2, "points": []}]}])")
                                 << QStringList{"0  0x0: 1 0.3 0.4 0.4 0.4 0.1 0.2 0.5 0.2 0.5 0.6, 2 0 0 0 0"};
    }

    // A document's rows come after those already in the list, and are found by their id.
    void loadJson()
    {
        QFETCH(QByteArray, document);
        QFETCH(QStringList, rows);
        const QString path = m_dir.filePath("doc.json");
        QVERIFY(write(path, document));
        QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
        m_list->loadJson(path);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(describe(*m_list), QStringList{"9 old 640x480: "} + rows);
        const auto last = m_list->imageAt(m_list->rowCount() - 1);
        QCOMPARE(m_list->imageById(last->id), last);
    }

    void importCoco_data()
    {
        QTest::addColumn<QByteArray>("imagesDoc");
        QTest::addColumn<QByteArray>("annsDoc"); // empty: the images document is passed twice
        QTest::addColumn<QStringList>("rows");
        auto row = [](const char *name, const QJsonArray &images, const QJsonArray &anns, const QStringList &rows) {
            QTest::newRow(name) << toJson(images) << toJson(anns) << rows;
        };
        // A 30 by 20 image: boxes of 60 to 400 square pixels, at most 1.5 times as wide as high.
        auto sized = [row](const char *name, const QJsonArray &bbox, const QString &kept) {
            row(name, {image(7, "a.jpg", 30, 20)}, {annotation(7, 1, bbox)},
                kept.isEmpty() ? QStringList() : QStringList{"7 a.jpg 30x20: " + kept});
        };
        sized("area 59, too small", {0, 0, 5.9, 10}, "");
        sized("area 60, a tenth", {0, 0, 6, 10}, "1 0.1 0.25 0.2 0.5");
        sized("12.1 by 8, too wide", {0, 0, 12.1, 8}, "");
        sized("12 by 8, just wide enough", {0, 0, 12, 8}, "1 0.2 0.2 0.4 0.4");
        sized("area 400, two thirds", {0, 0, 20, 20}, "1 0.333333 0.5 0.666667 1");
        sized("area 401, too large", {0, 0, 20, 20.05}, "");
        sized("converted", {4, 2, 10, 8}, "1 0.3 0.3 0.333333 0.4");
        sized("three numbers", {4, 2, 10}, "");

        const QJsonArray a{image(1, "a.jpg", 100, 100)}, box{0, 0, 40, 40};
        const QJsonArray anns{annotation(1, 1, box)};
        const QStringList unit{"1 a.jpg 100x100: 1 0.2 0.2 0.4 0.4"};
        row("category 2 beside 1", a, {annotation(1, 2, box), annotation(1, 1, box)}, unit);
        row("image file missing", {image(5, "missing.jpg", 100, 100), image(1, "a.jpg", 100, 100)},
            {annotation(5, 1, box), annotation(1, 1, box)}, unit);
        row("annotation of no image", a, {annotation(5, 1, box)}, {});
        row("several boxes in file order", a, {annotation(1, 1, box), annotation(1, 1, {50, 50, 40, 40})},
            {unit[0] + ", 1 0.7 0.7 0.4 0.4"});
        row("zero width", {image(1, "a.jpg", 0, 100)}, anns, {});
        row("area past 32 bits", {image(1, "a.jpg", 100000, 100000)}, {annotation(1, 1, {0, 0, 40000, 40000})},
            {"1 a.jpg 100000x100000: 1 0.2 0.2 0.4 0.4"});
        row("element not an object", {3, image(1, "a.jpg", 100, 100)}, {"x", annotation(1, 1, box)}, unit);

        // The layouts of the documents, and broken ones; the rows from before are gone whatever they hold.
        const QByteArray annsArray = toJson(anns);
        const QJsonObject standard{{"info", 2017}, {"images", a}, {"annotations", anns}, {"categories", QJsonArray{}}};
        QTest::newRow("one standard file twice") << toJson(standard) << QByteArray() << unit;
        QTest::newRow("standard file without images")
            << toJson(QJsonObject{{"annotations", anns}}) << QByteArray() << QStringList();
        QTest::newRow("truncated annotations") << toJson(a) << annsArray.left(annsArray.size() / 2) << QStringList();
        QTest::newRow("both broken") << QByteArray("[{") << QByteArray("nul") << QStringList();
    }

    void importCoco()
    {
        QFETCH(QByteArray, imagesDoc);
        QFETCH(QByteArray, annsDoc);
        QFETCH(QStringList, rows);
        QVERIFY(write(m_dir.filePath("a.jpg"), "jpeg"));
        const QString imagesFile = m_dir.filePath("instances.json");
        const QString annsFile = annsDoc.isEmpty() ? imagesFile : m_dir.filePath("anns.json");
        QVERIFY(write(imagesFile, imagesDoc) && (annsDoc.isEmpty() || write(annsFile, annsDoc)));
        QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
        QSignalSpy completed(m_list, &ImageList::readFileCompleted);
        m_list->loadCocoJson(imagesFile, annsFile);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(completed.count(), 1);
        QCOMPARE(describe(*m_list), rows);
        // Pictures are looked up beside the images file; the rows have no label file.
        QVERIFY(rows.isEmpty() || (m_list->imageAt(0)->filePath == m_dir.filePath("a.jpg") &&
                                   m_list->imageAt(0)->yoloTxtFilePath.isEmpty()));
    }

    void labelFile_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QList<int>>("classes"); // empty: no class list
        QTest::addColumn<QStringList>("expected");
        auto row = [](const char *name, const QByteArray &label, const QStringList &expected, bool image = true,
                      const QList<int> &classes = {}) { QTest::newRow(name) << label << image << classes << expected; };
        row("sound", "0 0.5 0.5 0.2 0.2\n1 0.2 0.2 0.1 0.1\n", {}, true, {0, 1});
        row("out of range", "0 0.5 0.5 0.1 0.1\n0 1.2 0.5 0.1 0.1\n0 0.5 -0.1 0.1 0.1\n0 nan 0.5 0.1 0.1",
            {"out-of-range@1", "out-of-range@2", "out-of-range@3"});
        row("past edge, not at it", "0 0.95 0.05 0.1 0.1\n0 0.05 0.5 0.2 0.1\n0 0.5 0.96 0.1 0.1",
            {"past-edge@1", "past-edge@2"});
        row("no size", "0 0.5 0.5 0 0.1\n0 0.5 0.5 0.1 -0.1", {"no-size@0", "out-of-range@1", "no-size@1"});
        // Box 2 repeats box 0; box 3 sits on box 0 in another class; box 4 overlaps box 2 by less than 0.9.
        row("duplicate",
            "3 0.5 0.5 0.2 0.2\n3 0.3 0.3 0.1 0.1\n3 0.5 0.5 0.2 0.19\n4 0.5 0.5 0.2 0.2\n3 0.5 0.5 0.2 0.17",
            {"duplicate<0@2"});
        // Enough boxes for the sweep instead of comparing every pair; box 40 repeats box 1, box 41 box 38.
        QByteArray many;
        for (int i = 0; i < 40; ++i)
            many += QString("%1 %2 0.5 0.02 0.02\n").arg(i % 2).arg(0.01 + i * 0.024).toUtf8();
        row("duplicates among many", many + "1 0.034 0.5 0.02 0.02\n0 0.922 0.5 0.0199 0.02",
            {"duplicate<1@40", "duplicate<38@41"});
        // Corners on the picture's edges; a polygon's bounding box is not judged as a box.
        row("sound polygons", "0 0 0 1 0 1 1 0 1\n0 0.1 0.1 0.4 0.1 0.4 0.4\n1 0.5 0.1 0.5 0.1 0.6 0.2 0.7 0.1", {});
        row("polygon faults",
            "0 -0.1 0.5 0.5 0.5 0.5 0.9\n0 0.1 0.1 0.2 0.2 0.3 0.3\n0 0.5 0.1 0.5 0.2 0.5 0.3\n"
            "0 0.1 0.1 0.4 0.4 0.4 0.1 0.1 0.3\n0 0.1 0.1 0.9 0.1 0.9 0.9 0.5 0.9 0.5 0.05 0.3 0.05 0.3 0.9\n"
            "0 0 0 0.333333 0.666667 0.5 1\n0 0.1 0.1 0.5 0.5 0.5 0.1 0.1 0.5",
            {"out-of-range@0", "zero-area@1", "zero-area@2", "self-crossing@3", "self-crossing@4", "zero-area@5",
             "self-crossing@6"});
        // 2 repeats 0 and 3 nearly so; 1 is of another class; 4 and 5 are the two halves of one box.
        row("duplicate polygons",
            "0 0.1 0.1 0.3 0.1 0.3 0.3\n1 0.1 0.1 0.3 0.1 0.3 0.3\n0 0.1 0.1 0.3 0.1 0.3 0.3\n"
            "0 0.1 0.1 0.3 0.1 0.3 0.301\n0 0.5 0.5 0.9 0.5 0.9 0.9\n0 0.5 0.5 0.9 0.9 0.5 0.9",
            {"duplicate-polygon<0@2", "duplicate-polygon<0@3"});
        row("mixed file", "0 0.5 0.5 0.2 0.2\n0 0.4 0.4 0.6 0.4 0.6 0.6 0.4 0.6\n0 0.5 0.5 0.2 0.2\n",
            {"mixed-shapes", "duplicate<0@2"});
        row("unknown class", "0 0.5 0.5 0.2 0.2\n7 0.2 0.2 0.1 0.1\n-1 0.2 0.7 0.1 0.1",
            {"unknown-class@1", "unknown-class@2"}, true, {0, 1});
        row("partial lines", "0 0.5 0.5 0.2 0.2 0.9\n1 0.5\n\n0 0.2 0.2 x 0.1\n",
            {"partial-line@0", "partial-line", "partial-line@1", "no-size@1"});
        row("blank lines only", "\n\r\n", {"empty-file"});
        row("no image", "0 0.5 0.5 0.2 0.2", {"no-image"}, false);
    }

    void labelFile()
    {
        QFETCH(QByteArray, label);
        QFETCH(bool, image);
        QFETCH(QList<int>, classes);
        QFETCH(QStringList, expected);

        QVERIFY(write(labels() + "/x.txt", label) && (!image || write(images() + "/x.png", "not decoded")));
        const QSet<int> ids(classes.begin(), classes.end());
        m_list->setCheckClasses(classes.isEmpty() ? nullptr : &ids);
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        QCOMPARE(m_list->rowCount(), 1);
        QCOMPARE(problems(0), expected);
    }

    // Boxes and polygons under 2 pixels wide or high are tiny, on pictures of known size only; two points make no
    // polygon.
    void tinyBoxes()
    {
        QVERIFY(write(m_dir.filePath("list.json"), R"([{"width": 100, "height": 50, "bboxes": [
            {"cx": 0.5, "cy": 0.5, "cw": 0.02, "ch": 0.04}, {"cx": 0.5, "cy": 0.5, "cw": 0.019, "ch": 0.5},
            {"cx": 0.5, "cy": 0.5, "cw": 0.5, "ch": 0.039}]}, {"bboxes": [{"cx": 0.5, "cy": 0.5, "cw": 0.001, "ch": 0.001}]},
            {"width": 100, "height": 50, "bboxes": [{"points": [0.1, 0.1, 0.5, 0.5]}, {"points": [0, 0, 0.01, 0, 0, 0.5]}]}])"));
        m_list->loadJson(m_dir.filePath("list.json"));
        QCOMPARE(problems(1), (QStringList{"tiny@1", "tiny@2"})); // after the row from before
        QCOMPARE(problems(2), QStringList{});
        QCOMPARE(problems(3), (QStringList{"too-few-points@0", "tiny@1"}));
    }

    void checkRowAfterEdits()
    {
        QVERIFY(write(m_dir.filePath("labels/x.txt"), "0 0.5 0.5 0.2 0.2\n1 0.5 0.5 0.2 0.2 junk"));
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        QCOMPARE(problems(0), (QStringList{"no-image", "partial-line@1"}));

        QSignalSpy changed(m_list, &ImageList::dataChanged);
        BBoxList *boxes = m_list->imageAt(0)->bboxes.get();
        m_list->checkRow(0);
        QCOMPARE(changed.count(), 0); // nothing new, nothing announced

        boxes->setData(boxes->index(0), 1.3, BBoxList::CxRole);
        m_list->checkRow(0);
        QCOMPARE(problems(0), (QStringList{"no-image", "partial-line@1", "out-of-range@0"}));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{ImageList::ProblemsRole});

        boxes->deleteRow(1);
        boxes->deleteRow(0);
        m_list->checkRow(0);
        QCOMPARE(problems(0), (QStringList{"no-image", "partial-line"}));
    }

    void reloadChecksAgain()
    {
        QVERIFY(write(m_dir.filePath("labels/x.txt"), "0 0.5 0.5 0.2 0.2"));
        QVERIFY(write(m_dir.filePath("images/x.jpg"), "x"));
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        QCOMPARE(problems(0), QStringList{});
        QVERIFY(write(m_dir.filePath("labels/x.txt"), "0 0.5 0.5 0.2 0.2\n0 0.5 0.5 0.2 0.2"));
        m_list->yoloReloadRow(0);
        QCOMPARE(problems(0), QStringList{"duplicate<0@1"});
    }

private:
    QString labels() const { return m_dir.filePath("labels"); }
    QString images() const { return m_dir.filePath("images"); }

    // The row's problems as "kind@box" (or "kind" for the file), in the model's order.
    QStringList problems(int row) const
    {
        QStringList out;
        for (const QVariant &v : m_list->data(m_list->index(row), ImageList::ProblemsRole).toList()) {
            const QVariantMap p = v.toMap();
            const int box = p.value("box").toInt();
            QString kind = p.value("kind").toString();
            if (kind.startsWith("duplicate")) // and which row it repeats
                kind += "<" + p.value("text").toString().section(' ', -1);
            out << (box < 0 ? kind : QString("%1@%2").arg(kind).arg(box));
        }
        return out;
    }

    int rowOf(const QString &name) const
    {
        const auto &rows = m_list->images();
        return std::find_if(rows.cbegin(), rows.cend(), [&](const auto &row) { return row->fileName == name; }) -
               rows.cbegin();
    }

    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

QTEST_GUILESS_MAIN(TestImageList)
#include "tst_imagelist.moc"
