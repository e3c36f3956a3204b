#include "images/imagelist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

namespace {

std::shared_ptr<ImageInfo> makeImage(int id, const QString &name, const QString &labelPath)
{
    auto image = std::make_shared<ImageInfo>();
    image->id = id;
    image->fileName = name;
    image->filePath = QStringLiteral("/images/%1.jpg").arg(name);
    image->width = 640;
    image->height = 480;
    image->bboxes = std::make_unique<BBoxList>();
    image->yoloTxtFilePath = labelPath;
    return image;
}

} // namespace

class TestImageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void data();
    void removeRow_data();
    void removeRow();
    void exportJsonBytes();
    void jsonRoundTrip();
    void loadJson_data();
    void loadJson();
    void loadJsonAppends();

private:
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
    QTemporaryDir m_dir;
};

void TestImageList::init()
{
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
    const QVariantList expected{"cat",          "/images/cat.jpg", 640, 480, QVariant(), "/labels/cat.txt",
                                QVariantList(), QVariant()};
    const QByteArrayList names{"imgBaseFileName", "imgFilePath",     "imgWidth",   "imgHeight",
                               "imgBBoxes",       "yoloTxtFilePath", "imgProblems"};
    QCOMPARE(m_list->roleNames().size(), names.size());
    for (int role = 0; role < names.size(); ++role)
        QCOMPARE(m_list->roleNames().value(role), names.at(role));
    for (int role : {0, 1, 2, 3, 5, 6, 7, int(Qt::UserRole)}) {
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
    QTest::newRow("middle") << 1 << true << true;
    QTest::newRow("label file gone") << 1 << false << false;
    QTest::newRow("no label path") << 2 << true << false;
    QTest::newRow("row past the end") << 3 << true << false;
    QTest::newRow("negative row") << -1 << true << false;
}

// Removing a row deletes its label file, never its picture; a row whose label
// file cannot be deleted stays.
void TestImageList::removeRow()
{
    QFETCH(int, row);
    QFETCH(bool, labelExists);
    QFETCH(bool, removed);
    const QString a = m_dir.filePath("a.txt"), b = m_dir.filePath("b.txt"), image = m_dir.filePath("b.jpg");
    QFile::remove(b);
    QVERIFY(TestFiles::write(a, "") && TestFiles::write(image, ""));
    if (labelExists)
        QVERIFY(TestFiles::write(b, ""));
    m_list->loadImages({makeImage(1, "a", a), makeImage(2, "b", b), makeImage(3, "c", "")}, true);

    QSignalSpy removals(m_list, &QAbstractItemModel::rowsRemoved);
    m_list->removeRow(row);
    QStringList names{"a", "b", "c"};
    if (removed)
        names.removeAt(row);
    QStringList got;
    for (int i = 0; i < m_list->rowCount(); ++i)
        got << m_list->data(m_list->index(i), ImageList::BaseFileNameRole).toString();
    QCOMPARE(got, names);
    QCOMPARE(removals.count(), removed ? 1 : 0);
    if (removed) {
        QCOMPARE(removals.at(0).at(1).toInt(), row);
        QVERIFY(!QFileInfo::exists(row == 0 ? a : b));
        QVERIFY(!m_list->imageById(row + 1));
    }
    QVERIFY(QFileInfo::exists(image));
}

void TestImageList::exportJsonBytes()
{
    const QString path = m_dir.filePath("empty.json");
    m_list->exportJson(path);
    QCOMPARE(TestFiles::read(path), QByteArray("[\n]\n"));

    auto image = makeImage(3, "a", "/labels/a.txt");
    image->bboxes->appendBox(1, 0.5, 0.25, 0.1, 0.2);
    m_list->loadImages({image}, true);
    m_list->exportJson(path);
    const QJsonObject box{{"catId", 1}, {"cx", 0.5}, {"cy", 0.25}, {"cw", 0.1}, {"ch", 0.2}};
    const QJsonObject row{{"bboxes", QJsonArray{box}},
                          {"fileName", "a"},
                          {"filePath", "/images/a.jpg"},
                          {"height", 480},
                          {"id", 3},
                          {"width", 640}};
    QCOMPARE(TestFiles::read(path), QJsonDocument(QJsonArray{row}).toJson());
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
    QCOMPARE(TestFiles::read(second), TestFiles::read(first));
}

void TestImageList::loadJson_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("rows"); // id:fileName:width:height:boxes, with boxes "cat/cx" joined by ","
    QTest::newRow("object top level") << QByteArray(R"({"images": [{"id": 1}]})") << QStringList{"old"};
    QTest::newRow("not json") << QByteArray("[{\"id\": 1,") << QStringList{"old"};
    QTest::newRow("empty file") << QByteArray() << QStringList{"old"};
    QTest::newRow("non-object element") << QByteArray(R"([3, "x", {"id": 4, "fileName": "f"}])")
                                        << QStringList{"old", "0::0:0:", "0::0:0:", "4:f:0:0:"};
    QTest::newRow("keys in any order, extra keys")
        << QByteArray(R"([{"width": 7, "extra": true, "id": 2, "height": 5, "fileName": "n",
                        "bboxes": [{"cy": 0.5, "cx": 0.25, "catId": 3, "ch": 1, "cw": 1, "score": 0.9}]}])")
        << QStringList{"old", "2:n:7:5:3/0.25"};
    QTest::newRow("mistyped values") << QByteArray(R"([{"id": "7", "fileName": 5, "width": 2.5, "height": null,
                                                     "bboxes": [{"catId": 2.5, "cx": "0.5"}]}])")
                                     << QStringList{"old", "0::0:0:0/0"};
    QTest::newRow("bboxes not an array") << QByteArray(R"([{"id": 1, "bboxes": {"catId": 1}}])")
                                         << QStringList{"old", "1::0:0:"};
}

void TestImageList::loadJson()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, rows);
    m_list->loadImages({makeImage(0, "old", "")}, true);
    const QString path = m_dir.filePath("doc.json");
    QVERIFY(TestFiles::write(path, document));
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    m_list->loadJson(path);
    QCOMPARE(resets.count(), 1);

    QStringList got{"old"};
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
    }
    QCOMPARE(got, rows);
    QCOMPARE(m_list->imageAt(0)->fileName, QString("old"));
}

void TestImageList::loadJsonAppends()
{
    const QString path = m_dir.filePath("twice.json");
    QVERIFY(TestFiles::write(path, R"([{"id": 5, "fileName": "a"}, {"id": 6, "fileName": "b"}])"));
    m_list->loadJson(path);
    m_list->loadJson(path);
    QCOMPARE(m_list->rowCount(), 4);
    QCOMPARE(m_list->imageById(5), m_list->imageAt(2));
    QCOMPARE(m_list->imageById(6), m_list->imageAt(3));

    m_list->loadJson(m_dir.filePath("missing.json"));
    QCOMPARE(m_list->rowCount(), 4);
}

QTEST_GUILESS_MAIN(TestImageList)
#include "tst_imagelist.moc"
