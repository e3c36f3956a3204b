// Writes and reads label files through BBoxList::saveTxtFile / loadTxtFile, loads
// the folder with ImageList::loadYolo with a warm and with an evicted page cache,
// and compares each with a bare C++ loop (readdir, open, read, from_chars) run in
// the same go. Then the picture lookups of a load (an image folder holding every
// picture, some as .png) against the same load that takes "<base>.jpg" unseen, and
// the whole load through DatasetLoader on its worker thread. Then exportJson and
// loadJson of the loaded list.
//
//   bench_labelfiles [--polygons] [COUNT] [DIR]
//
// COUNT defaults to 100000; DIR to a temporary folder. With --polygons each file holds
// five polygons of 30 points each instead of five boxes.

#include "boxes/bboxlist.h"
#include "checks/datasetcheck.h"
#include "images/imagelist.h"
#include "ui/datasetloader.h"

#include "bareloop.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Drops the files' pages from the page cache, as after a reboot.
void evict(const QStringList &paths)
{
    for (const QString &path : paths) {
        const int fd = open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd >= 0) {
            posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            close(fd);
        }
    }
    const int fd = open(QFile::encodeName(QFileInfo(paths.first()).path()).constData(), O_RDONLY);
    if (fd >= 0) {
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        close(fd);
    }
}

// Spins the event loop until the list has freed the rows a load replaced, as the
// window's does a moment after each load; the bench has no event loop of its own.
void releaseReplaced()
{
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
    QStringList args = app.arguments();
    const bool polygons = args.removeAll(QStringLiteral("--polygons")) > 0;
    const int count = args.size() > 1 ? args.at(1).toInt() : 100000;
    QTemporaryDir temp;
    const QString dir = args.size() > 2 ? args.at(2) : temp.path();
    QDir().mkpath(dir);

    QStringList paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("%1/%2.txt").arg(dir).arg(i, 6, 10, QLatin1Char('0'));

    BBoxList boxes;
    auto *rng = QRandomGenerator::global();
    for (int b = 0; b < 5; ++b) {
        const double cx = rng->generateDouble(), cy = rng->generateDouble(), r = rng->generateDouble() / 8;
        if (!polygons) {
            boxes.appendBox(rng->bounded(80), cx, cy, 2 * r, 2 * r);
            continue;
        }
        QVector<double> xy;
        for (int i = 0; i < 30; ++i) {
            const double a = 2 * M_PI * i / 30, radius = r * (0.6 + 0.4 * rng->generateDouble());
            xy << cx + radius * std::cos(a) << cy + radius * std::sin(a);
        }
        boxes.appendPolygon(rng->bounded(80), xy);
    }

    QElapsedTimer timer;
    timer.start();
    int failed = 0;
    // A folder given on the command line that already holds the files is kept as it is.
    const bool reuse = args.size() > 2 && QFileInfo::exists(paths.first()) && QFileInfo::exists(paths.last());
    for (const QString &path : paths) {
        if (!reuse)
            failed += boxes.saveTxtFile(path) ? 0 : 1;
    }
    const double writeSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("write  %d files through saveTxtFile: %.2f s, %.0f files/s%s\n", count, writeSeconds,
                count / writeSeconds, failed ? " (some writes failed)" : "");

    std::vector<double> readTimes, bareTimes;
    for (int run = 0; run < 5; ++run) {
        timer.restart();
        long read = 0;
        for (const QString &path : paths) {
            BBoxList list;
            list.loadTxtFile(path);
            read += list.rowCount();
        }
        readTimes.push_back(timer.nsecsElapsed() / 1e9);

        timer.restart();
        const long bare = bareReadLoop(dir.toStdString());
        bareTimes.push_back(timer.nsecsElapsed() / 1e9);
        if (read != 5L * count || bare != 5L * count)
            std::printf("box count mismatch: %ld and %ld\n", read, bare);
    }
    const double readSeconds = median(readTimes);
    const double bareSeconds = median(bareTimes);
    std::printf("read   %d files through loadTxtFile: %.2f s, %.0f files/s (median of 5, warm cache)\n", count,
                readSeconds, count / readSeconds);
    std::printf("bare   read loop:                      %.2f s, %.0f files/s; loadTxtFile / bare = %.2f\n", bareSeconds,
                count / bareSeconds, readSeconds / bareSeconds);

    ImageList *images = ImageList::instance();
    std::vector<double> loadTimes;
    bareTimes.clear();
    for (int run = 0; run < 5; ++run) {
        timer.restart();
        images->loadYolo(dir, dir);
        loadTimes.push_back(timer.nsecsElapsed() / 1e9);
        releaseReplaced();
        timer.restart();
        bareReadLoop(dir.toStdString());
        bareTimes.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("loadYolo warm:  %.2f s; bare loop %.2f s; ratio %.2f (medians of 5)\n", median(loadTimes),
                median(bareTimes), median(loadTimes) / median(bareTimes));

    loadTimes.clear();
    bareTimes.clear();
    for (int run = 0; run < 3; ++run) {
        evict(paths);
        timer.restart();
        images->loadYolo(dir, dir);
        loadTimes.push_back(timer.nsecsElapsed() / 1e9);
        releaseReplaced();
        evict(paths);
        timer.restart();
        bareReadLoop(dir.toStdString());
        bareTimes.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("loadYolo cold:  %.2f s; bare loop (one thread) %.2f s (medians of 3, pages evicted)\n",
                median(loadTimes), median(bareTimes));
    if (images->rowCount() != count)
        std::printf("row count mismatch: %d\n", images->rowCount());

    // Picture lookups: one picture per label file, every fifth a .png.
    const QString pictures = dir + "/../boxmere-bench-images";
    QDir().mkpath(pictures);
    for (int i = 0; i < count; ++i) {
        QFile picture(
            QStringLiteral("%1/%2.%3").arg(pictures).arg(i, 6, 10, QLatin1Char('0')).arg(i % 5 ? "jpg" : "png"));
        picture.open(QIODevice::WriteOnly);
    }
    std::vector<double> plainTimes, lookupTimes, loaderTimes;
    DatasetLoader loader(images);
    for (int run = 0; run < 9; ++run) {
        timer.restart();
        YoloFolder::Scan plain;
        plain.files = YoloFolder::readLabelFolder(dir);
        plain.imagePaths.reserve(plain.files.size());
        for (const YoloFolder::LabelFile &file : qAsConst(plain.files))
            plain.imagePaths.append(QStringLiteral("%1/%2.jpg").arg(pictures, file.baseName));
        // The rest as loadYolo does it.
        DatasetCheck::checkScan(plain, images->checkClasses());
        images->loadYoloScan(plain);
        plainTimes.push_back(timer.nsecsElapsed() / 1e9);
        releaseReplaced();

        timer.restart();
        images->loadYolo(dir, pictures);
        lookupTimes.push_back(timer.nsecsElapsed() / 1e9);
        releaseReplaced();

        QEventLoop loop;
        QObject::connect(&loader, &DatasetLoader::finished, &loop, &QEventLoop::quit);
        timer.restart();
        loader.load(dir, pictures);
        loop.exec();
        loaderTimes.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("load with picture lookups %.3f s, taking <base>.jpg unseen %.3f s: ratio %.3f (medians of 9)\n",
                median(lookupTimes), median(plainTimes), median(lookupTimes) / median(plainTimes));
    std::printf("DatasetLoader::load, worker thread until the list is reset: %.3f s (median of 9); %d without "
                "label, %d without picture\n",
                median(loaderTimes), loader.imagesWithoutLabel(), loader.labelsWithoutImage());
    if (!reuse)
        QDir(pictures).removeRecursively();

    // Prediction files beside: twenty boxes with a confidence each, read as predictions,
    // against the label load above and the bare loop over the same files.
    const QString predictions = dir + "/../boxmere-bench-predictions";
    QDir().mkpath(predictions);
    if (!QFileInfo::exists(predictions + "/" + QFileInfo(paths.last()).fileName())) {
        QByteArray lines;
        for (int b = 0; b < 20; ++b)
            lines += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                         .arg(rng->bounded(80))
                         .arg(rng->generateDouble(), 0, 'g', 6)
                         .arg(rng->generateDouble(), 0, 'g', 6)
                         .arg(rng->generateDouble() / 4, 0, 'g', 6)
                         .arg(rng->generateDouble() / 4, 0, 'g', 6)
                         .arg(rng->generateDouble(), 0, 'g', 6)
                         .toLatin1();
        for (const QString &path : paths) {
            QFile file(predictions + "/" + QFileInfo(path).fileName());
            if (file.open(QIODevice::WriteOnly))
                file.write(lines);
        }
    }
    std::vector<double> predictionTimes;
    bareTimes.clear();
    for (int run = 0; run < 5; ++run) {
        timer.restart();
        const QVector<YoloFolder::PredictionFile> read = YoloFolder::readPredictionFolder(predictions);
        predictionTimes.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        bareReadLoop(predictions.toStdString());
        bareTimes.push_back(timer.nsecsElapsed() / 1e9);
        if (read.size() != count)
            std::printf("prediction file count mismatch: %d\n", int(read.size()));
    }
    std::printf("readPredictionFolder, 20 predictions per file: %.3f s; bare loop %.3f s (medians of 5)\n",
                median(predictionTimes), median(bareTimes));
    if (!reuse)
        QDir(predictions).removeRecursively();

    const QString json = dir + "/../boxmere-bench.json";
    timer.restart();
    images->exportJson(json);
    const double exportSeconds = timer.nsecsElapsed() / 1e9;
    images->loadImages({}, true);
    timer.restart();
    images->loadJson(json);
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    std::printf("exportJson %.2f s (%.0f MB), loadJson %.2f s, %d images\n", exportSeconds,
                QFileInfo(json).size() / 1e6, loadSeconds, images->rowCount());
    QFile::remove(json);
    return failed ? 1 : 0;
}
