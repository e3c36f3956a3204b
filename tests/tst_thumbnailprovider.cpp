#include "ui/thumbnailprovider.h"

#include <QFile>
#include <QProcess>
#include <QQuickTextureFactory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString photos = qEnvironmentVariable("LABELME_EXAMPLES", "/usr/share/doc/labelme-examples/examples") +
                       "/instance_segmentation/data_dataset_coco/JPEGImages/";

// Waits for a response the way the engine does: connected after the request returned.
QSize waitFor(QQuickImageResponse *response, QString *error = nullptr)
{
    QSignalSpy finished(response, &QQuickImageResponse::finished);
    const bool done = finished.count() > 0 || finished.wait(10000);
    std::unique_ptr<QQuickTextureFactory> texture(done ? response->textureFactory() : nullptr);
    if (error)
        *error = response->errorString();
    delete response;
    return texture ? texture->textureSize() : QSize();
}

} // namespace

class TestThumbnailProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void decode_data();
    void decode();
    void pictureTypes_data();
    void pictureTypes();
    void damagedJpeg_data();
    void damagedJpeg();
    void request();
    void urlWithSpecialCharacters();
    void cancelledRequestStillFinishes();
    void exitWithDecodesUnderWay();

private:
    QTemporaryDir m_dir;
};

void TestThumbnailProvider::initTestCase()
{
    if (!QFile::exists(photos + "2011_000003.jpg"))
        QSKIP("labelme-examples is not installed");
}

void TestThumbnailProvider::decode_data()
{
    // 2011_000003.jpg is a 500 by 338 photo.
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("fits the width") << QSize(100, 100) << QSize(100, 67);
    QTest::newRow("fits the height") << QSize(400, 100) << QSize(147, 100);
    QTest::newRow("only a width") << QSize(250, 0) << QSize(250, 169);
    QTest::newRow("never enlarged") << QSize(1000, 1000) << QSize(500, 338);
    QTest::newRow("no size asked") << QSize() << QSize(500, 338);
}

void TestThumbnailProvider::decode()
{
    QFETCH(QSize, requested);
    QFETCH(QSize, expected);
    QCOMPARE(ThumbnailProvider::decode(photos + "2011_000003.jpg", requested).size(), expected);
}

void TestThumbnailProvider::pictureTypes_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("format");
    for (const char *type : {"jpg", "jpeg", "png", "bmp", "webp", "tif", "tiff"}) {
        QTest::newRow(type) << QString(type) << QByteArray(type);
        QTest::addRow("%s upper case", type) << QString(type).toUpper() << QByteArray(type);
    }
}

// A real photo stored as each picture type the image folders may hold.
void TestThumbnailProvider::pictureTypes()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, format);
    const QString path = m_dir.filePath("photo." + suffix);
    QVERIFY2(QImage(photos + "2011_000003.jpg").save(path, format.constData()), format.constData());
    QCOMPARE(ThumbnailProvider::decode(path, QSize(100, 100)).size(), QSize(100, 67));
}

void TestThumbnailProvider::damagedJpeg_data()
{
    QTest::addColumn<int>("keepPercent"); // of the photo's bytes
    QTest::addColumn<int>("chop");        // bytes dropped after that; negative: zero bytes added
    QTest::addColumn<bool>("readable");
    QTest::newRow("whole") << 100 << 0 << true;
    QTest::newRow("padding after the end") << 100 << -1000 << true;
    QTest::newRow("last two bytes missing") << 100 << 2 << false;
    QTest::newRow("nine tenths") << 90 << 0 << false;
    QTest::newRow("half") << 50 << 0 << false;
}

// libjpeg decodes a cut-off file without error, greying the missing part.
void TestThumbnailProvider::damagedJpeg()
{
    QFETCH(int, keepPercent);
    QFETCH(int, chop);
    QFETCH(bool, readable);
    QFile photo(photos + "2011_000006.jpg");
    QVERIFY(photo.open(QIODevice::ReadOnly));
    QByteArray bytes = photo.readAll();
    bytes.truncate(bytes.size() * keepPercent / 100);
    if (chop < 0)
        bytes.append(QByteArray(-chop, '\0'));
    else
        bytes.chop(chop);
    const QString path = m_dir.filePath("damaged.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    QString error;
    const QImage image = ThumbnailProvider::decode(path, QSize(100, 100), &error);
    QCOMPARE(!image.isNull(), readable);
    QCOMPARE(error.isEmpty(), readable);
}

void TestThumbnailProvider::request()
{
    ThumbnailProvider provider;
    const QString url = QUrl::fromLocalFile(photos + "2011_000003.jpg").toString();
    QCOMPARE(waitFor(provider.requestImageResponse(url, QSize(100, 100))), QSize(100, 67));
    QCOMPARE(provider.decodedCount(), 1);
    // The same picture at the same size comes from the cache.
    QCOMPARE(waitFor(provider.requestImageResponse(url, QSize(100, 100))), QSize(100, 67));
    QCOMPARE(provider.decodedCount(), 1);
    QCOMPARE(waitFor(provider.requestImageResponse(url, QSize(200, 200))), QSize(200, 135));
    QCOMPARE(provider.decodedCount(), 2);

    QString error;
    const QString missing = QUrl::fromLocalFile(m_dir.filePath("missing.jpg")).toString();
    QCOMPARE(waitFor(provider.requestImageResponse(missing, QSize(100, 100)), &error), QSize());
    QVERIFY(!error.isEmpty());

    // A truncated photo does not decode.
    QFile photo(photos + "2011_000006.jpg");
    QVERIFY(photo.open(QIODevice::ReadOnly));
    QFile broken(m_dir.filePath("broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(photo.read(200));
    broken.close();
    QCOMPARE(waitFor(provider.requestImageResponse(QUrl::fromLocalFile(broken.fileName()).toString(), {})), QSize());
}

void TestThumbnailProvider::urlWithSpecialCharacters()
{
    const QString path = m_dir.filePath("a #1 ?%20 ü.jpg");
    QVERIFY(QFile::copy(photos + "2011_000003.jpg", path));
    ThumbnailProvider provider;
    // The id QML passes is the file URL in its string form.
    QCOMPARE(waitFor(provider.requestImageResponse(QUrl::fromLocalFile(path).toString(), QSize(50, 50))),
             QSize(50, 33));
}

void TestThumbnailProvider::cancelledRequestStillFinishes()
{
    ThumbnailProvider provider;
    std::vector<std::unique_ptr<QQuickImageResponse>> responses;
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int i = 0; i < 50; ++i) {
        responses.emplace_back(provider.requestImageResponse(QUrl::fromLocalFile(photos + "2011_000025.jpg").toString(),
                                                             QSize(64 + i, 64)));
        spies.push_back(std::make_unique<QSignalSpy>(responses.back().get(), &QQuickImageResponse::finished));
        responses.back()->cancel();
    }
    for (auto &spy : spies)
        QVERIFY(spy->count() == 1 || spy->wait(10000));
    QVERIFY(provider.decodedCount() < 50);
}

void TestThumbnailProvider::exitWithDecodesUnderWay()
{
    for (int run = 0; run < 3; ++run) {
        QProcess probe;
        probe.start(QStringLiteral(EXIT_PROBE), {photos + "2011_000003.jpg"});
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
    }
}

QTEST_GUILESS_MAIN(TestThumbnailProvider)
#include "tst_thumbnailprovider.moc"
