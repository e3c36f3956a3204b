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
        for (int b = 0; b < img->bboxes->rowCount(); ++b) {
            const BoxInfo &x = *img->bboxes->boxAt(b);
            boxes << QStringLiteral("%1 %2 %3 %4 %5").arg(x.catId).arg(x.cx).arg(x.cy).arg(x.cw).arg(x.ch);
        }
        out << QStringLiteral("%1:%2").arg(img->id).arg(boxes.join(", "));
    }
    return out;
}

} // namespace

class TestCocoImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void images_data();
    void images();
    void documents_data();
    void documents();
    void imageRecord();

private:
    void touch(const QString &relative) { QVERIFY(TestFiles::write(m_dir.filePath(relative), "jpeg")); }
    void import(const QJsonArray &images, const QJsonArray &annotations);

    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

void TestCocoImport::init()
{
    m_list = ImageList::instance();
    m_list->loadImages({}, true);
    m_check = std::make_unique<ModelCheck>(m_list);
}

void TestCocoImport::cleanup()
{
    m_check.reset();
    ModelCheck::verifyNone();
}

void TestCocoImport::import(const QJsonArray &images, const QJsonArray &annotations)
{
    QVERIFY(TestFiles::write(m_dir.filePath("images.json"), toJson(images)));
    QVERIFY(TestFiles::write(m_dir.filePath("anns.json"), toJson(annotations)));
    QSignalSpy completed(m_list, &ImageList::readFileCompleted);
    m_list->loadCocoJson(m_dir.filePath("images.json"), m_dir.filePath("anns.json"));
    QCOMPARE(completed.count(), 1);
}

void TestCocoImport::images_data()
{
    QTest::addColumn<QJsonArray>("images");
    QTest::addColumn<QJsonArray>("annotations");
    QTest::addColumn<QStringList>("rows");
    auto row = [](const char *name, const QJsonArray &images, const QJsonArray &anns, const QStringList &rows) {
        QTest::newRow(name) << images << anns << rows;
    };
    // A 30 by 20 image: boxes of 60 to 400 square pixels, at most 1.5 times as wide as high.
    auto sized = [row](const char *name, const QJsonArray &bbox, const QString &kept) {
        row(name, {image(7, "a.jpg", 30, 20)}, {annotation(7, 1, bbox)},
            kept.isEmpty() ? QStringList() : QStringList{"7:" + kept});
    };
    sized("area 50, too small", {0, 0, 5, 10}, "");
    sized("area 60, a tenth", {0, 0, 6, 10}, "1 0.1 0.25 0.2 0.5");
    sized("13 by 8, too wide", {0, 0, 13, 8}, "");
    sized("12 by 8, just wide enough", {0, 0, 12, 8}, "1 0.2 0.2 0.4 0.4");
    sized("area 400, two thirds", {0, 0, 20, 20}, "1 0.333333 0.5 0.666667 1");
    sized("area 420, too large", {0, 0, 20, 21}, "");
    sized("converted", {4, 2, 10, 8}, "1 0.3 0.3 0.333333 0.4");
    sized("extra numbers ignored", {4, 2, 10, 8, 99}, "1 0.3 0.3 0.333333 0.4");
    sized("three numbers", {4, 2, 10}, "");
    sized("text reads as zero", {"4", 2, 10, 8}, "1 0.166667 0.3 0.333333 0.4");

    const QJsonArray a{image(1, "a.jpg", 100, 100)}, box{0, 0, 40, 40};
    const QString unit = "1 0.2 0.2 0.4 0.4";
    row("category 2 only", a, {annotation(1, 2, box)}, {});
    row("category 2 beside 1", a, {annotation(1, 2, box), annotation(1, 1, box)}, {"1:" + unit});
    row("image file missing", {image(1, "missing.jpg", 100, 100), image(2, "a.jpg", 100, 100)},
        {annotation(1, 1, box), annotation(2, 1, box)}, {"2:" + unit});
    row("annotation of no image", a, {annotation(5, 1, box)}, {});
    row("several boxes in file order", a, {annotation(1, 1, box), annotation(1, 1, {50, 50, 40, 40})},
        {"1:" + unit + ", 1 0.7 0.7 0.4 0.4"});
    row("repeated id, each its own size", {image(3, "a.jpg", 100, 100), image(3, "b.jpg", 50, 50)},
        {annotation(3, 1, box)}, {"3:" + unit, "3:1 0.4 0.4 0.8 0.8"});
    row("zero width", {image(1, "a.jpg", 0, 100)}, {annotation(1, 1, box)}, {});
    row("negative height", {image(1, "a.jpg", 100, -100)}, {annotation(1, 1, box)}, {});
    row("area past 32 bits", {image(1, "a.jpg", 100000, 100000)}, {annotation(1, 1, {0, 0, 40000, 40000})},
        {"1:" + unit});
    row("file in a subfolder", {image(1, "JPEGImages/c.jpg", 100, 100)}, {annotation(1, 1, box)}, {"1:" + unit});
    row("element not an object", {3, image(1, "a.jpg", 100, 100)}, {"x", annotation(1, 1, box)}, {"1:" + unit});
}

void TestCocoImport::images()
{
    QFETCH(QJsonArray, images);
    QFETCH(QJsonArray, annotations);
    QFETCH(QStringList, rows);
    touch("a.jpg");
    touch("b.jpg");
    touch("JPEGImages/c.jpg");
    QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Loaded %1 images").arg(rows.size())));
    import(images, annotations);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(describe(*m_list), rows);
    if (!rows.isEmpty())
        QCOMPARE(m_list->imageById(m_list->imageAt(0)->id), m_list->imageAt(m_list->rowCount() - 1));
}

void TestCocoImport::documents_data()
{
    QTest::addColumn<QByteArray>("imagesDoc");
    QTest::addColumn<QByteArray>("annsDoc"); // empty: the images document is passed twice
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("errors"); // parse errors reported
    const QJsonArray images{image(1, "a.jpg", 100, 100)};
    const QJsonArray anns{annotation(1, 1, {0, 0, 40, 40})};
    const QByteArray imagesArray = toJson(images), annsArray = toJson(anns);
    const QJsonObject standard{{"info", QJsonObject{{"year", 2017}}},
                               {"images", images},
                               {"annotations", anns},
                               {"categories", QJsonArray{QJsonObject{{"id", 1}, {"name", "person"}}}}};
    QTest::newRow("two arrays") << imagesArray << annsArray << 1 << 0;
    QTest::newRow("one standard file twice") << toJson(standard) << QByteArray() << 1 << 0;
    QTest::newRow("two standard files") << toJson(QJsonObject{{"images", images}})
                                        << toJson(QJsonObject{{"annotations", anns}}) << 1 << 0;
    QTest::newRow("standard file without images")
        << toJson(QJsonObject{{"annotations", anns}}) << QByteArray() << 0 << 0;
    QTest::newRow("images array as both") << imagesArray << QByteArray() << 0 << 0;
    QTest::newRow("truncated annotations") << imagesArray << annsArray.left(annsArray.size() / 2) << 0 << 1;
    QTest::newRow("trailing garbage") << imagesArray << annsArray + "]" << 0 << 1;
    QTest::newRow("two values") << imagesArray + imagesArray << annsArray << 0 << 1;
    QTest::newRow("scalar document") << QByteArray("42") << annsArray << 0 << 0;
    QTest::newRow("both broken") << QByteArray("[{") << QByteArray("nul") << 0 << 2;
}

// Rows from before are gone whatever the documents hold.
void TestCocoImport::documents()
{
    QFETCH(QByteArray, imagesDoc);
    QFETCH(QByteArray, annsDoc);
    QFETCH(int, rows);
    QFETCH(int, errors);
    touch("a.jpg");
    auto old = std::make_shared<ImageInfo>();
    old->bboxes = std::make_unique<BBoxList>();
    m_list->loadImages({old}, true);
    const QString imagesFile = m_dir.filePath("instances.json");
    const QString annsFile = annsDoc.isEmpty() ? imagesFile : m_dir.filePath("anns.json");
    QVERIFY(TestFiles::write(imagesFile, imagesDoc));
    if (!annsDoc.isEmpty())
        QVERIFY(TestFiles::write(annsFile, annsDoc));
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Images file: %1").arg(imagesDoc.size())));
    QTest::ignoreMessage(
        QtDebugMsg,
        qPrintable(QStringLiteral("Anns file  : %1").arg(annsDoc.isEmpty() ? imagesDoc.size() : annsDoc.size())));
    for (int i = 0; i < errors; ++i)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Error: [1-9][0-9]*$"));
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Loaded %1 images").arg(rows)));
    QSignalSpy completed(m_list, &ImageList::readFileCompleted);
    m_list->loadCocoJson(imagesFile, annsFile);
    QCOMPARE(completed.count(), 1);
    QCOMPARE(m_list->rowCount(), rows);
}

// Pictures are looked up beside the images file unless a folder is given.
void TestCocoImport::imageRecord()
{
    touch("sub/x.jpg");
    QVERIFY(TestFiles::write(m_dir.filePath("json/images.json"), toJson(QJsonArray{image(12, "sub/x.jpg", 640, 480)})));
    QVERIFY(
        TestFiles::write(m_dir.filePath("json/anns.json"), toJson(QJsonArray{annotation(12, 1, {64, 48, 256, 192})})));
    m_list->loadCocoJson(m_dir.filePath("json/images.json"), m_dir.filePath("json/anns.json"));
    QCOMPARE(m_list->rowCount(), 0);
    m_list->loadCocoJson(m_dir.filePath("json/images.json"), m_dir.filePath("json/anns.json"), m_dir.path());
    const auto img = m_list->imageAt(0);
    QCOMPARE(QString("%1 %2 %3x%4").arg(img->fileName, img->filePath).arg(img->width).arg(img->height),
             QString("sub/x.jpg %1 640x480").arg(m_dir.filePath("sub/x.jpg")));
    QCOMPARE(img->yoloTxtFilePath, QString());
    QCOMPARE(describe(*m_list), QStringList{"12:1 0.3 0.3 0.4 0.4"});
}

QTEST_GUILESS_MAIN(TestCocoImport)
#include "tst_cocoimport.moc"
