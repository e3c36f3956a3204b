// Writes and reads label files through BBoxList::saveTxtFile / loadTxtFile and
// compares the read with a bare C++ loop (readdir, open, read, from_chars).
//
//   bench_labelfiles [COUNT] [DIR]    COUNT defaults to 100000; DIR to a temporary folder

#include "boxes/bboxlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The floor any reader can reach: list, open, read and parse, nothing else.
long bareReadLoop(const std::string &dir)
{
    long boxes = 0;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return -1;
    char buffer[65536];
    while (dirent *e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
            continue;
        const int fd = open((dir + "/" + name).c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        close(fd);
        const char *p = buffer;
        const char *end = buffer + std::max<ssize_t>(n, 0);
        while (p < end) {
            int cat = 0;
            double v[4];
            p = std::from_chars(p, end, cat).ptr;
            for (double &x : v) {
                while (p < end && *p == ' ')
                    ++p;
                p = std::from_chars(p, end, x).ptr;
            }
            while (p < end && *p != '\n')
                ++p;
            ++p;
            ++boxes;
        }
    }
    closedir(d);
    return boxes;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QStringList args = app.arguments();
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
    for (int b = 0; b < 5; ++b)
        boxes.appendBox(rng->bounded(80), rng->generateDouble(), rng->generateDouble(), rng->generateDouble() / 4,
                        rng->generateDouble() / 4);

    QElapsedTimer timer;
    timer.start();
    int failed = 0;
    for (const QString &path : paths)
        failed += boxes.saveTxtFile(path) ? 0 : 1;
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
    return failed ? 1 : 0;
}
