#include "ui/thumbnailprovider.h"

#include <QFile>
#include <QProcess>
#include <QQuickTextureFactory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

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
    return texture ? texture->textureSize() : QSize(0, 0);
}

} // namespace

class TestThumbnailProvider : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(photos + "2011_000003.jpg"))
            QSKIP("labelme-examples is not installed");
    }

    void decode_data()
    {
        // 2011_000003.jpg is a 500 by 338 photo.
        QTest::addColumn<QString>("type"); // the photo saved as this type, or "missing"
        QTest::addColumn<int>("cut");      // bytes cut from the end of the JPEG; negative: zero bytes added
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("expected"); // 0 by 0: not readable
        auto row = [](const char *name, const char *type, int cut, QSize requested, QSize expected) {
            QTest::newRow(name) << QString(type) << cut << requested << expected;
        };
        row("fits the width", "jpg", 0, {100, 100}, {100, 67});
        row("fits the height", "jpg", 0, {400, 100}, {147, 100});
        row("only a width", "jpg", 0, {250, 0}, {250, 169});
        row("never enlarged", "jpg", 0, {1000, 1000}, {500, 338});
        row("no size asked", "jpg", 0, QSize(), {500, 338});
        row("png", "png", 0, {100, 100}, {100, 67});
        // libjpeg decodes a cut-off file without error, greying the missing part.
        row("padding after the end", "jpg", -1000, {100, 100}, {100, 67});
        row("last two bytes missing", "jpg", 2, {100, 100}, {0, 0});
        row("missing", "missing", 0, {100, 100}, {0, 0});
    }

    void decode()
    {
        QFETCH(QString, type);
        QFETCH(int, cut);
        QFETCH(QSize, requested);
        QFETCH(QSize, expected);
        const QString photo = photos + "2011_000003.jpg", path = m_dir.filePath("photo." + type);
        QByteArray bytes = TestFiles::read(photo);
        if (cut < 0)
            bytes.append(QByteArray(-cut, '\0'));
        bytes.chop(cut);
        if (type == "jpg")
            QVERIFY(TestFiles::write(path, bytes));
        else if (type != "missing")
            QVERIFY(QImage(photo).save(path));
        QString error;
        QCOMPARE(ThumbnailProvider::decode(path, requested, &error).size(), expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());

        // Through the provider, as QML asks, the same.
        ThumbnailProvider provider;
        QCOMPARE(waitFor(provider.requestImageResponse(QUrl::fromLocalFile(path).toString(), requested), &error),
                 expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
    }

    // The same picture at the same size comes from the cache; the id QML passes is
    // the file URL in its string form.
    void request()
    {
        const QString path = m_dir.filePath("a #1 ?%20 ü.jpg");
        QVERIFY(QFile::copy(photos + "2011_000003.jpg", path));
        const QString url = QUrl::fromLocalFile(path).toString();
        ThumbnailProvider provider;
        QCOMPARE(waitFor(provider.requestImageResponse(url, QSize(100, 100))), QSize(100, 67));
        QCOMPARE(waitFor(provider.requestImageResponse(url, QSize(100, 100))), QSize(100, 67));
        QCOMPARE(provider.decodedCount(), 1);
        QCOMPARE(waitFor(provider.requestImageResponse(url, QSize(200, 200))), QSize(200, 135));
        QCOMPARE(provider.decodedCount(), 2);
    }

    void cancelledRequestStillFinishes()
    {
        ThumbnailProvider provider;
        std::vector<std::unique_ptr<QQuickImageResponse>> responses;
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (int i = 0; i < 50; ++i) {
            responses.emplace_back(provider.requestImageResponse(
                QUrl::fromLocalFile(photos + "2011_000025.jpg").toString(), QSize(64 + i, 64)));
            spies.push_back(std::make_unique<QSignalSpy>(responses.back().get(), &QQuickImageResponse::finished));
            responses.back()->cancel();
        }
        for (auto &spy : spies)
            QVERIFY(spy->count() == 1 || spy->wait(10000));
        QVERIFY(provider.decodedCount() < 50);
    }

    void exitWithDecodesUnderWay()
    {
        for (int run = 0; run < 3; ++run) {
            QProcess probe;
            probe.start(QStringLiteral(EXIT_PROBE), {photos + "2011_000003.jpg"});
            QVERIFY(probe.waitForFinished(60000));
            QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
            QCOMPARE(probe.exitCode(), 0);
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestThumbnailProvider)
#include "tst_thumbnailprovider.moc"
