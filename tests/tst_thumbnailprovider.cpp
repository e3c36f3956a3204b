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
        QTest::addColumn<int>("cut"); // bytes cut from its end; negative: zero bytes added
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("expected"); // 0 by 0: not readable
        QTest::newRow("fits the width") << 0 << QSize(100, 100) << QSize(100, 67);
        QTest::newRow("fits the height") << 0 << QSize(400, 100) << QSize(147, 100);
        QTest::newRow("only a width") << 0 << QSize(250, 0) << QSize(250, 169);
        QTest::newRow("never enlarged") << 0 << QSize(1000, 1000) << QSize(500, 338);
        QTest::newRow("no size asked") << 0 << QSize() << QSize(500, 338);
        // libjpeg decodes a cut-off file without error, greying the missing part.
        QTest::newRow("padding after the end") << -1000 << QSize(100, 100) << QSize(100, 67);
        QTest::newRow("last two bytes missing") << 2 << QSize(100, 100) << QSize(0, 0);
    }

    // The id QML passes is the file URL in its string form; the same picture at
    // the same size comes from the cache.
    void decode()
    {
        QFETCH(int, cut);
        QFETCH(QSize, requested);
        QFETCH(QSize, expected);
        const QString path = m_dir.filePath("a #1 ?%20 ü.jpg");
        QByteArray bytes = TestFiles::read(photos + "2011_000003.jpg");
        bytes.append(QByteArray(qMax(0, -cut), '\0'));
        bytes.chop(cut);
        QVERIFY(TestFiles::write(path, bytes));
        QString error;
        QCOMPARE(ThumbnailProvider::decode(path, requested, &error).size(), expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        ThumbnailProvider provider;
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(waitFor(provider.requestImageResponse(QUrl::fromLocalFile(path).toString(), requested), &error),
                     expected);
            QCOMPARE(error.isEmpty(), !expected.isEmpty());
        }
        QVERIFY(expected.isEmpty() || provider.decodedCount() == 1);
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
