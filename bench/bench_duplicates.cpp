// Times the near-duplicate search: hashing 640 by 480 JPEGs of photo-like detail on
// two threads, then a repeat run over 100,000 unchanged files whose hashes are in
// the cache (hard links to one picture, so that the disk holds one), then the
// grouping of 100,000 hashes alone. Each figure is the median of three runs.
//
//   bench_duplicates [PICTURES [FILES]]     defaults 600 and 100000

#include "checks/duplicatefinder.h"
#include "checks/perceptualhash.h"
#include "formats/hashcache.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void makePicture(const QString &path, int seed)
{
    QImage image(640, 480, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    image.fill(QColor::fromRgb(rng.generate()));
    QPainter painter(&image);
    for (int i = 0; i < 200; ++i) {
        painter.setBrush(QColor::fromRgb(rng.generate()));
        painter.drawEllipse(rng.bounded(640), rng.bounded(480), 5 + rng.bounded(120), 5 + rng.bounded(90));
    }
    painter.end();
    image.save(path, "JPEG", 85);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int pictures = argc > 1 ? QString(argv[1]).toInt() : 600;
    const int files = argc > 2 ? QString(argv[2]).toInt() : 100000;
    QTemporaryDir dir;
    const QString cacheFile = dir.filePath("cache.bin");

    QVector<DuplicateFinder::Picture> set;
    for (int i = 0; i < pictures; ++i) {
        set.append({dir.filePath(QString("pictures/%1.jpg").arg(i)), QString()});
        QDir().mkpath(dir.filePath("pictures"));
        makePicture(set.last().path, i);
    }
    std::vector<double> rates;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const DuplicateFinder::Result result = DuplicateFinder::find(set, QString(), nullptr, 2);
        rates.push_back(pictures / (timer.nsecsElapsed() / 1e9));
        if (result.unreadable.size() > 0)
            return std::fprintf(stderr, "pictures unreadable\n"), 1;
    }
    std::printf("hashing %d JPEGs of 640x480 on 2 threads: %.0f pictures/s\n", pictures, median(rates));

    // The repeat run: every file's hash in the cache.
    QDir().mkpath(dir.filePath("links"));
    // A file system allows some 65,000 links to a file: spread them over ten.
    const int sources = std::min(10, pictures);
    std::vector<quint64> sourceHashes(sources);
    for (int s = 0; s < sources; ++s)
        PerceptualHash::ofFile(set[s].path, sourceHashes[s]);
    HashCache cache(cacheFile);
    QVector<DuplicateFinder::Picture> many;
    for (int i = 0; i < files; ++i) {
        const QString path = dir.filePath(QString("links/%1.jpg").arg(i));
        const QString &source = set[i % sources].path;
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData()) != 0)
            return std::fprintf(stderr, "cannot link %s\n", qPrintable(path)), 1;
        many.append({path, QString()});
        qint64 size = 0, modified = 0;
        HashCache::status(source, size, modified);
        cache.insert(path, size, modified, sourceHashes[i % sources]);
    }
    cache.save();
    std::vector<double> seconds;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const DuplicateFinder::Result result = DuplicateFinder::find(many, cacheFile, nullptr, 2);
        seconds.push_back(timer.nsecsElapsed() / 1e9);
        if (result.fromCache != files)
            return std::fprintf(stderr, "only %d of %d from the cache\n", result.fromCache, files), 1;
    }
    std::printf("repeat run over %d unchanged files: %.3f s\n", files, median(seconds));

    // Grouping alone: random hashes, every tenth with a copy 3 bits off.
    QVector<quint64> hashes;
    QRandomGenerator rng(7);
    for (int i = 0; i < files; ++i)
        hashes.append(i % 10 == 9 ? hashes.last() ^ 0x1000200040ULL : rng.generate64());
    const QVector<bool> valid(files, true);
    seconds.clear();
    int groups = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        groups = DuplicateFinder::group(hashes, valid).size();
        seconds.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("grouping %d hashes: %.3f s, %d groups\n", files, median(seconds), groups);
    return 0;
}
