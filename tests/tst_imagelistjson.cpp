#include "images/imagelist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

class TestImageListJson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void exportBytes();
    void roundTrip();
    void load_data();
    void load();
    void loadTwice();

private:
    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

void TestImageListJson::init()
{
    m_list = ImageList::instance();
    m_list->loadImages({}, true);
    m_check = std::make_unique<ModelCheck>(m_list);
}

void TestImageListJson::cleanup()
{
    m_check.reset();
    ModelCheck::verifyNone();
}

void TestImageListJson::exportBytes()
{
    const QString path = m_dir.filePath("empty.json");
    m_list->exportJson(path);
    QCOMPARE(TestFiles::read(path), QByteArray("[\n]\n"));

    auto image = std::make_shared<ImageInfo>();
    image->id = 3;
    image->fileName = "a";
    image->filePath = "/img/a.jpg";
    image->bboxes = std::make_unique<BBoxList>();
    image->bboxes->appendBox(1, 0.5, 0.25, 0.1, 0.2);
    image->yoloTxtFilePath = "/labels/a.txt";
    m_list->loadImages({image}, true);
    m_list->exportJson(path);
    QCOMPARE(TestFiles::read(path), QByteArray(R"([
    {
        "bboxes": [
            {
                "catId": 1,
                "ch": 0.2,
                "cw": 0.1,
                "cx": 0.5,
                "cy": 0.25
            }
        ],
        "fileName": "a",
        "filePath": "/img/a.jpg",
        "height": 0,
        "id": 3,
        "width": 0
    }
]
)"));
}

void TestImageListJson::roundTrip()
{
    QList<std::shared_ptr<ImageInfo>> records;
    const QList<QList<double>> boxes{{}, {0.1, 0.2, 0.3, 0.4}, {1.0 / 3, 2.0 / 3, 1e-9, 1.5}};
    for (int i = 0; i < 3; ++i) {
        auto image = std::make_shared<ImageInfo>();
        image->id = 100 - i;
        image->fileName = QStringLiteral("img %1 ü").arg(i);
        image->filePath = QStringLiteral("/data/img %1.jpg").arg(i);
        image->width = 640 + i;
        image->height = 480 - i;
        image->bboxes = std::make_unique<BBoxList>();
        if (!boxes[i].isEmpty()) {
            image->bboxes->appendBox(i, boxes[i][0], boxes[i][1], boxes[i][2], boxes[i][3]);
            image->bboxes->appendBox(-i, boxes[i][3], boxes[i][2], boxes[i][1], boxes[i][0]);
        }
        image->yoloTxtFilePath = "/labels/x.txt";
        records << image;
    }
    m_list->loadImages(records, true);
    const QString path = m_dir.filePath("list.json");
    m_list->exportJson(path);

    m_list->loadImages({}, true);
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    m_list->loadJson(path);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(m_list->rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const auto &a = records[i];
        const auto b = m_list->imageAt(i);
        QCOMPARE(b->id, a->id);
        QCOMPARE(b->fileName, a->fileName);
        QCOMPARE(b->filePath, a->filePath);
        QCOMPARE(b->width, a->width);
        QCOMPARE(b->height, a->height);
        QCOMPARE(b->yoloTxtFilePath, QString());
        QCOMPARE(b->bboxes->rowCount(), a->bboxes->rowCount());
        for (int r = 0; r < a->bboxes->rowCount(); ++r) {
            const BoxInfo &x = *a->bboxes->boxAt(r);
            const BoxInfo &y = *b->bboxes->boxAt(r);
            QCOMPARE(y.catId, x.catId);
            QCOMPARE(y.cx, x.cx); // exact: JSON keeps every digit
            QCOMPARE(y.cy, x.cy);
            QCOMPARE(y.cw, x.cw);
            QCOMPARE(y.ch, x.ch);
        }
    }
}

void TestImageListJson::load_data()
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

void TestImageListJson::load()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, rows);
    auto old = std::make_shared<ImageInfo>();
    old->fileName = "old";
    old->bboxes = std::make_unique<BBoxList>();
    m_list->loadImages({old}, true);
    const QString path = m_dir.filePath("doc.json");
    QVERIFY(TestFiles::write(path, document));
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    m_list->loadJson(path);
    QCOMPARE(resets.count(), 1);

    QStringList got;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const auto image = m_list->imageAt(row);
        if (image == old) {
            got << "old";
            continue;
        }
        QStringList boxes;
        for (int b = 0; b < image->bboxes->rowCount(); ++b)
            boxes << QStringLiteral("%1/%2").arg(image->bboxes->boxAt(b)->catId).arg(image->bboxes->boxAt(b)->cx);
        got << QStringLiteral("%1:%2:%3:%4:%5")
                   .arg(image->id)
                   .arg(image->fileName)
                   .arg(image->width)
                   .arg(image->height)
                   .arg(boxes.join(','));
    }
    QCOMPARE(got, rows);
}

void TestImageListJson::loadTwice()
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

QTEST_GUILESS_MAIN(TestImageListJson)
#include "tst_imagelistjson.moc"
