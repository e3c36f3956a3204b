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

QByteArray toJson(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson() : QJsonDocument(value.toObject()).toJson();
}

QJsonObject image(int id, const QString &file, int width, int height)
{
    return {{"id", id}, {"file_name", file}, {"width", width}, {"height", height}, {"license", 3}};
}

QJsonObject annotation(int imageId, int category, const QJsonArray &bbox)
{
    // Real annotations carry a polygon first, which the import must skip over.
    return {{"segmentation", QJsonArray{QJsonArray{1, 2, 3, 4, 5, 6}}},
            {"area", 10.5},
            {"iscrowd", 0},
            {"image_id", imageId},
            {"bbox", bbox},
            {"category_id", category},
            {"id", 1}};
}

// Every box of the list as "id:catId cx cy cw ch" with six significant digits.
QStringList describe(const ImageList &list)
{
    QStringList out;
    for (int row = 0; row < list.rowCount(); ++row) {
        const auto img = list.imageAt(row);
        QStringList boxes;
        for (const auto &x : img->bboxes->boxes())
            boxes << QStringLiteral("%1 %2 %3 %4 %5").arg(x->catId).arg(x->cx).arg(x->cy).arg(x->cw).arg(x->ch);
        out << QStringLiteral("%1:%2").arg(img->id).arg(boxes.join(", "));
    }
    return out;
}

} // namespace

class TestCocoImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void import_data();
    void import();
    void imageRecord();

private:
    QTemporaryDir m_dir;
};

void TestCocoImport::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
    QVERIFY(TestFiles::write(m_dir.filePath("a.jpg"), "jpeg"));
}

void TestCocoImport::import_data()
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
            kept.isEmpty() ? QStringList() : QStringList{"7:" + kept});
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
    const QStringList unit{"1:1 0.2 0.2 0.4 0.4"};
    row("category 2 beside 1", a, {annotation(1, 2, box), annotation(1, 1, box)}, unit);
    row("image file missing", {image(5, "missing.jpg", 100, 100), image(1, "a.jpg", 100, 100)},
        {annotation(5, 1, box), annotation(1, 1, box)}, unit);
    row("annotation of no image", a, {annotation(5, 1, box)}, {});
    row("several boxes in file order", a, {annotation(1, 1, box), annotation(1, 1, {50, 50, 40, 40})},
        {unit[0] + ", 1 0.7 0.7 0.4 0.4"});
    row("zero width", {image(1, "a.jpg", 0, 100)}, anns, {});
    row("area past 32 bits", {image(1, "a.jpg", 100000, 100000)}, {annotation(1, 1, {0, 0, 40000, 40000})}, unit);
    row("element not an object", {3, image(1, "a.jpg", 100, 100)}, {"x", annotation(1, 1, box)}, unit);

    // The layouts of the documents, and broken ones; the rows from before are gone whatever they hold.
    const QByteArray annsArray = toJson(anns);
    const QJsonObject standard{{"info", QJsonObject{{"year", 2017}}},
                               {"images", a},
                               {"annotations", anns},
                               {"categories", QJsonArray{QJsonObject{{"id", 1}, {"name", "person"}}}}};
    QTest::newRow("one standard file twice") << toJson(standard) << QByteArray() << unit;
    QTest::newRow("two standard files") << toJson(QJsonObject{{"images", a}})
                                        << toJson(QJsonObject{{"annotations", anns}}) << unit;
    QTest::newRow("standard file without images")
        << toJson(QJsonObject{{"annotations", anns}}) << QByteArray() << QStringList();
    QTest::newRow("truncated annotations") << toJson(a) << annsArray.left(annsArray.size() / 2) << QStringList();
    QTest::newRow("trailing garbage") << toJson(a) << annsArray + "]" << QStringList();
    QTest::newRow("both broken") << QByteArray("[{") << QByteArray("nul") << QStringList();
}

void TestCocoImport::import()
{
    QFETCH(QByteArray, imagesDoc);
    QFETCH(QByteArray, annsDoc);
    QFETCH(QStringList, rows);
    ImageList *list = ImageList::instance();
    auto old = std::make_shared<ImageInfo>();
    old->bboxes = std::make_unique<BBoxList>();
    list->loadImages({old}, true);
    ModelCheck check(list);
    const QString imagesFile = m_dir.filePath("instances.json");
    const QString annsFile = annsDoc.isEmpty() ? imagesFile : m_dir.filePath("anns.json");
    QVERIFY(TestFiles::write(imagesFile, imagesDoc));
    QVERIFY(annsDoc.isEmpty() || TestFiles::write(annsFile, annsDoc));
    QSignalSpy resets(list, &QAbstractItemModel::modelReset);
    QSignalSpy completed(list, &ImageList::readFileCompleted);
    list->loadCocoJson(imagesFile, annsFile);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(completed.count(), 1);
    QCOMPARE(describe(*list), rows);
    ModelCheck::verifyNone();
}

// Pictures are looked up beside the images file unless a folder is given.
void TestCocoImport::imageRecord()
{
    ImageList *list = ImageList::instance();
    QVERIFY(TestFiles::write(m_dir.filePath("sub/x.jpg"), "jpeg"));
    const QString images = m_dir.filePath("json/images.json"), anns = m_dir.filePath("json/anns.json");
    QVERIFY(TestFiles::write(images, toJson(QJsonArray{image(12, "sub/x.jpg", 640, 480)})));
    QVERIFY(TestFiles::write(anns, toJson(QJsonArray{annotation(12, 1, {64, 48, 256, 192})})));
    list->loadCocoJson(images, anns);
    QCOMPARE(list->rowCount(), 0);
    list->loadCocoJson(images, anns, m_dir.path());
    const auto img = list->imageAt(0);
    QCOMPARE(QString("%1 %2 %3x%4").arg(img->fileName, img->filePath).arg(img->width).arg(img->height),
             QString("sub/x.jpg %1 640x480").arg(m_dir.filePath("sub/x.jpg")));
    QCOMPARE(img->yoloTxtFilePath, QString());
    QCOMPARE(describe(*list), QStringList{"12:1 0.3 0.3 0.4 0.4"});
}

QTEST_GUILESS_MAIN(TestCocoImport)
#include "tst_cocoimport.moc"
