// Scrolls the main window's grid over rows whose pictures are large photos
// (4000 by 3000 JPEGs, linked many times), 4 columns, one screen at a time,
// waiting at each stop until every visible picture is drawn. Compares the
// thumbnail provider with whole, synchronous loading in the same go, each mode
// in a process of its own for its peak memory; then times a reset of the list
// to 100,000 rows until the next frame is on screen. Run it under xvfb-run.
//
//
// The thumbnail run is repeated over label files of 5 polygons of 30 corners each,
// as segmentation data sets have them, drawn on every tile.
//
// Then, in the editing overlay over the same rows, times "next image" (the D key)
// from the key press until the next picture, decoded at the overlay's size, is on
// screen: with the neighbours fetched ahead and without, once with a reviewer's
// pause before each key press and once with the keys pressed back to back.
//
//   bench_grid [ROWS [FULLSIZE_ROWS]]     defaults 10000 and 200
//   bench_grid make DIR ROWS [polygons] | scroll DIR ROWS thumbnails|full   the steps alone
//   bench_grid next DIR ROWS prefetch|noprefetch PAUSE_MS STEPS

#include "app/startup.h"
#include "boxes/bboxlist.h"
#include "images/imagelist.h"
#include "ui/thumbnailprovider.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// A photo-sized JPEG with enough detail that decoding costs what a photo costs.
void makePhoto(const QString &path, int seed)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 3000);
    sky.setColorAt(0, QColor::fromHsv(rng.bounded(360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(rng.bounded(360), 90, 90));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3000; ++i) {
        p.setBrush(QColor::fromHsv(rng.bounded(360), rng.bounded(256), rng.bounded(256), 160));
        p.drawEllipse(QPointF(rng.bounded(4000), rng.bounded(3000)), rng.bounded(4, 120), rng.bounded(4, 120));
    }
    p.end();
    image.save(path, "JPG", 90);
}

void makeFolder(const QString &dir, int rows, bool polygons)
{
    QDir().mkpath(dir + "/images");
    QDir().mkpath(dir + "/labels");
    for (int i = 0; i < 4; ++i)
        makePhoto(QStringLiteral("%1/photo%2.jpg").arg(dir).arg(i), i);
    BBoxList boxes;
    if (polygons) {
        for (int k = 0; k < 5; ++k) {
            QVector<double> xy;
            for (int i = 0; i < 30; ++i) {
                const double a = 2 * M_PI * i / 30, r = 0.08 * (1 + 0.3 * std::sin(5 * a));
                xy << 0.15 + 0.17 * k + r * std::cos(a) << 0.5 + r * std::sin(a) * (k % 2 ? 2 : 1);
            }
            boxes.appendPolygon(k % 3, xy);
        }
    } else {
        boxes.appendBox(1, 0.3, 0.4, 0.2, 0.5);
        boxes.appendBox(1, 0.7, 0.6, 0.1, 0.3);
    }
    for (int i = 0; i < rows; ++i) {
        const QString base = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
        QFile::link(QStringLiteral("%1/photo%2.jpg").arg(dir).arg(i % 4), dir + "/images/" + base + ".jpg");
        boxes.saveTxtFile(dir + "/labels/" + base + ".txt");
    }
}

void collectImages(QQuickItem *item, QList<QQuickItem *> &out)
{
    for (QQuickItem *child : item->childItems()) {
        if (child->objectName() == QLatin1String("image"))
            out << child;
        collectImages(child, out);
    }
}

// Spins the event loop until every picture in view is drawn or failed.
bool waitForPictures(QQuickItem *grid, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Outside exec() nothing deletes what the view let go with deleteLater().
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<QQuickItem *> images;
        collectImages(grid, images);
        bool done = !images.isEmpty();
        for (QQuickItem *image : images) {
            const QRectF r = image->mapRectToItem(grid, QRectF(0, 0, image->width(), image->height()));
            if (r.bottom() < 0 || r.top() > grid->height() || !image->isVisible())
                continue;
            const int status = image->property("status").toInt();
            done &= status == 1 /* Ready */ || status == 3 /* Error */;
        }
        if (done)
            return true;
    }
    return false;
}

// Spins the event loop until ready() holds, then until the first frame synchronised
// after that is swapped: the time of the swap on timer, in ms, or -1 after timeoutMs.
// Timed where the frame is made; with a render thread, that is not the GUI thread.
double msToFrame(QQuickWindow *window, const QElapsedTimer &timer, const std::function<bool()> &ready,
                 int timeoutMs = 30000)
{
    std::atomic<bool> isReady{false}, synced{false}, swapped{false};
    std::atomic<qint64> at{0};
    const auto syncConnection = QObject::connect(
        window, &QQuickWindow::afterSynchronizing, window,
        [&] {
            if (isReady)
                synced = true;
        },
        Qt::DirectConnection);
    const auto connection = QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&] {
            if (synced && !swapped) {
                at = timer.nsecsElapsed();
                swapped = true;
            }
        },
        Qt::DirectConnection);
    while (!swapped && timer.elapsed() < timeoutMs) {
        if (!isReady && ready()) {
            isReady = true;
            window->update();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    QObject::disconnect(syncConnection);
    QObject::disconnect(connection);
    return swapped ? at / 1e6 : -1.0;
}

// The main window at 1024 by 768, or null when it does not load.
QQuickWindow *loadMainWindow(QQmlApplicationEngine &engine)
{
    Boxmere::registerQmlTypes(&engine);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (window)
        window->resize(1024, 768);
    return window;
}

int runScroll(const QString &dir, int rows, bool thumbnails)
{
    QQmlApplicationEngine engine;
    QQuickWindow *window = loadMainWindow(engine);
    if (!window)
        return 1;
    window->setProperty("thumbnails", thumbnails);
    auto *grid = window->findChild<QQuickItem *>(QStringLiteral("gridImages"));
    ImageList::instance()->loadYolo(dir + "/labels", dir + "/images");
    QCoreApplication::processEvents();

    // Only the first `rows` rows are scrolled over.
    const double cell = grid->property("cellHeight").toDouble();
    const double end = std::ceil(rows / 4.0) * cell - grid->height();
    QElapsedTimer timer;
    timer.start();
    int stops = 0, stalled = 0;
    for (double y = 0; y <= end; y += grid->height()) {
        grid->setProperty("contentY", y);
        stalled += waitForPictures(grid, 30000) ? 0 : 1;
        ++stops;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int decoded =
        thumbnails && ThumbnailProvider::lastCreated() ? ThumbnailProvider::lastCreated()->decodedCount() : rows;
    const auto first = ImageList::instance()->imageAt(0);
    const bool polygons = first && first->bboxes->polygonCount() > 0;
    std::printf("%-10s %6d rows: %7.1f s, %6.1f pictures/s, peak %5.0f MB%s\n",
                polygons     ? "polygons"
                : thumbnails ? "thumbnail"
                             : "full-size",
                rows, seconds, decoded / seconds, peakMegabytes(), stalled ? " (some stops timed out)" : "");
    std::printf("           %d screens of about %.0f tiles\n", stops, 4 * grid->height() / cell);

    // A reset to 100,000 rows, from the call until the frame after it is on screen;
    // the first replaces the list scrolled above, the others a list of 100,000.
    std::vector<double> drawn, inReset;
    for (int run = 0; run < 5; ++run) {
        QList<std::shared_ptr<ImageInfo>> records;
        for (int i = 0; i < 100000; ++i) {
            auto image = std::make_shared<ImageInfo>();
            image->id = i + 1;
            image->fileName = QString::number(i);
            image->filePath = QStringLiteral("%1/images/%2.jpg").arg(dir).arg(i % rows, 6, 10, QLatin1Char('0'));
            image->bboxes = std::make_unique<BBoxList>();
            image->bboxes->appendBox(1, 0.5, 0.5, 0.2, 0.2);
            records << image;
        }
        waitForPictures(grid, 30000);
        timer.restart();
        ImageList::instance()->loadImages(std::move(records), true);
        inReset.push_back(timer.nsecsElapsed() / 1e6);
        drawn.push_back(msToFrame(window, timer, [] { return true; }));
    }
    std::vector<double> sorted = drawn;
    std::sort(sorted.begin(), sorted.end());
    std::printf("           reset to 100,000 rows drawn in %.1f ms median, %.1f ms worst of 5 (first %.1f ms, "
                "%.1f ms of it in the reset itself)\n",
                sorted[2], sorted[4], drawn[0], inReset[0]);
    return 0;
}

QQuickItem *findItem(QQuickItem *item, const QString &name)
{
    if (item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// Spins the event loop for ms milliseconds.
void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int runNext(const QString &dir, int rows, bool prefetch, int pauseMs, int steps)
{
    QQmlApplicationEngine engine;
    QQuickWindow *window = loadMainWindow(engine);
    if (!window)
        return 1;
    window->findChild<QObject *>(QStringLiteral("popControl"))->setProperty("prefetch", prefetch);
    ImageList::instance()->loadYolo(dir + "/labels", dir + "/images");
    auto *grid = window->findChild<QQuickItem *>(QStringLiteral("gridImages"));
    auto *items = window->findChild<QQuickItem *>(QStringLiteral("ctxItems"));
    // Shortcuts go to the active window only.
    window->requestActivate();
    if (!QTest::qWaitForWindowActive(window))
        return 1;
    spin(200);
    QQuickItem *first = findItem(grid, QStringLiteral("cell0"));
    if (!first)
        return 1;
    QObject *session = engine.singletonInstance<QObject *>(qmlTypeId("Boxmere", 1, 0, "EditSession"));
    QMetaObject::invokeMethod(session, "open", Q_ARG(int, 0));

    // The open picture is drawn once it was asked for at the overlay's size and came.
    const auto openPicture = [&](int row) -> QQuickItem * {
        const QList<QQuickItem *> cells = items->childItems();
        if (cells.size() != 1 || cells[0]->property("row").toInt() != row)
            return nullptr;
        QQuickItem *image = findItem(cells[0], QStringLiteral("image"));
        const QSize asked = image->property("sourceSize").toSize();
        const bool ready = image->property("status").toInt() == 1 && asked.width() >= image->width() &&
                           image->width() > grid->width() / 2;
        return ready ? image : nullptr;
    };
    QElapsedTimer timer;
    timer.start();
    msToFrame(window, timer, [&] { return openPicture(0) != nullptr; });

    std::vector<double> times;
    int timedOut = 0;
    for (int row = 1; row <= steps && row < rows; ++row) {
        spin(pauseMs);
        timer.restart();
        QTest::keyClick(window, Qt::Key_D);
        const double ms = msToFrame(window, timer, [&] { return openPicture(row) != nullptr; });
        if (ms < 0) {
            ++timedOut;
            break;
        }
        times.push_back(ms);
    }
    if (times.empty())
        return 1;
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    std::printf("next image, %-11s %4d ms pause: %6.1f ms median, %6.1f ms worst, %6.1f ms best of %d%s\n",
                prefetch ? "prefetch," : "no prefetch,", pauseMs, sorted[sorted.size() / 2], sorted.back(),
                sorted.front(), int(sorted.size()), timedOut ? " (a step timed out after 30 s)" : "");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    Boxmere::setApplicationIdentity();
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false\nqml.debug=false"));
    const QStringList args = app.arguments();
    if (args.value(1) == "make") {
        makeFolder(args.value(2), args.value(3).toInt(), args.value(4) == "polygons");
        return 0;
    }
    if (args.value(1) == "scroll")
        return runScroll(args.value(2), args.value(3).toInt(), args.value(4) == "thumbnails");
    if (args.value(1) == "next")
        return runNext(args.value(2), args.value(3).toInt(), args.value(4) == "prefetch", args.value(5).toInt(),
                       args.value(6).toInt());

    const int rows = args.size() > 1 ? args[1].toInt() : 10000;
    const int fullRows = args.size() > 2 ? args[2].toInt() : 200;
    QTemporaryDir temp, segmentation;
    QElapsedTimer timer;
    timer.start();
    makeFolder(temp.path(), rows, false);
    makeFolder(segmentation.path(), rows, true);
    std::printf("made %d rows over 4 photos of 4000 by 3000 in %.1f s\n", rows, timer.nsecsElapsed() / 1e9);
    std::fflush(stdout);
    const QString all = QString::number(rows);
    for (const QStringList &run : {QStringList{"scroll", temp.path(), QString::number(fullRows), "full"},
                                   QStringList{"scroll", temp.path(), all, "thumbnails"},
                                   QStringList{"scroll", segmentation.path(), all, "thumbnails"},
                                   QStringList{"next", temp.path(), all, "noprefetch", "400", "40"},
                                   QStringList{"next", temp.path(), all, "prefetch", "400", "40"},
                                   QStringList{"next", temp.path(), all, "noprefetch", "0", "40"},
                                   QStringList{"next", temp.path(), all, "prefetch", "0", "40"}}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), run);
        child.waitForFinished(-1);
    }
    return 0;
}
