// COCO import at the scale of the COCO training set (118,287 images, 860,001
// annotations, about 450 MB), against QJsonDocument reading the same file.
// Each reader runs in a child process of its own, so that its peak memory is its own.
//
//   bench_coco [IMAGES ANNOTATIONS]          generate, run both, print the comparison
//   bench_coco generate FILE IMAGESDIR [IMAGES ANNOTATIONS]
//   bench_coco boxmere FILE IMAGESDIR | qjson FILE

#include "images/imagelist.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void appendNumber(QByteArray &out, double v)
{
    out += QByteArray::number(v, 'f', 2);
}

bool generate(const QString &file, const QString &imagesDir, int images, int annotations)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !QDir().mkpath(imagesDir))
        return false;
    QRandomGenerator rng(118287);
    QByteArray buf;
    buf.reserve(1 << 22);
    auto flush = [&] {
        out.write(buf);
        buf.clear();
    };
    buf +=
        R"({"info":{"description":"generated","version":"1.0","year":2017},"licenses":[{"url":"x","id":1,"name":"n"}],"images":[)";
    QVector<QPair<int, int>> sizes(images);
    for (int i = 0; i < images; ++i) {
        const int id = 1000 + i * 3;
        const int w = 480 + rng.bounded(161);
        const int h = 360 + rng.bounded(121);
        sizes[i] = {w, h};
        const QByteArray name = QByteArray::number(id).rightJustified(12, '0') + ".jpg";
        if (i)
            buf += ',';
        buf += R"({"license":3,"file_name":")" + name + R"(","coco_url":"http://images.example.org/train2017/)" + name +
               R"(","height":)" + QByteArray::number(h) + R"(,"width":)" + QByteArray::number(w) +
               R"(,"date_captured":"2013-11-14 11:18:45","flickr_url":"http://farm.example.org/)" + name +
               R"(","id":)" + QByteArray::number(id) + '}';
        QFile touch(imagesDir + '/' + QString::fromLatin1(name));
        touch.open(QIODevice::WriteOnly);
        if (buf.size() > (1 << 21))
            flush();
    }
    buf += R"(],"annotations":[)";
    for (int a = 0; a < annotations; ++a) {
        const int i = rng.bounded(images);
        const auto [w, h] = sizes[i];
        const double bw = 10 + rng.generateDouble() * (w * 0.7);
        const double bh = 10 + rng.generateDouble() * (h * 0.7);
        const double x = rng.generateDouble() * (w - bw);
        const double y = rng.generateDouble() * (h - bh);
        if (a)
            buf += ',';
        buf += R"({"segmentation":[[)";
        const int points = 8 + rng.bounded(40);
        for (int p = 0; p < points; ++p) {
            if (p)
                buf += ',';
            appendNumber(buf, x + rng.generateDouble() * bw);
            buf += ',';
            appendNumber(buf, y + rng.generateDouble() * bh);
        }
        buf += R"(]],"area":)";
        appendNumber(buf, bw * bh * 0.6);
        buf += R"(,"iscrowd":0,"image_id":)" + QByteArray::number(1000 + i * 3) + R"(,"bbox":[)";
        appendNumber(buf, x);
        buf += ',';
        appendNumber(buf, y);
        buf += ',';
        appendNumber(buf, bw);
        buf += ',';
        appendNumber(buf, bh);
        // About a third of COCO's annotations are people, category 1.
        buf += R"(],"category_id":)" + QByteArray::number(rng.bounded(3) == 0 ? 1 : 2 + rng.bounded(89)) + R"(,"id":)" +
               QByteArray::number(a + 1) + '}';
        if (buf.size() > (1 << 21))
            flush();
    }
    buf += R"(],"categories":[{"supercategory":"person","id":1,"name":"person"}]})";
    flush();
    return true;
}

int runBoxmere(const QString &file, const QString &imagesDir)
{
    QElapsedTimer timer;
    timer.start();
    ImageList *list = ImageList::instance();
    list->loadCocoJson(file, file, imagesDir);
    int boxes = 0;
    for (int row = 0; row < list->rowCount(); ++row)
        boxes += list->imageAt(row)->bboxes->rowCount();
    std::printf("boxmere  %.2f s  peak %.0f MB  (%d images, %d boxes kept)\n", timer.nsecsElapsed() / 1e9,
                peakMegabytes(), list->rowCount(), boxes);
    return 0;
}

int runQJson(const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = in.readAll();
    const QJsonObject root = QJsonDocument::fromJson(bytes).object();
    const QJsonArray images = root.value("images").toArray();
    const QJsonArray annotations = root.value("annotations").toArray();
    long kept = 0;
    for (const QJsonValue &a : annotations)
        kept += a.toObject().value("category_id").toInt() == 1;
    std::printf("qjson    %.2f s  peak %.0f MB  (%d images, %d annotations, %ld of category 1)\n",
                timer.nsecsElapsed() / 1e9, peakMegabytes(), int(images.size()), int(annotations.size()), kept);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == "generate" && args.size() >= 4)
        return generate(args[2], args[3], args.value(4, "118287").toInt(), args.value(5, "860001").toInt()) ? 0 : 1;
    if (mode == "boxmere" && args.size() >= 4)
        return runBoxmere(args[2], args[3]);
    if (mode == "qjson" && args.size() >= 3)
        return runQJson(args[2]);

    const int images = args.size() > 2 ? args[1].toInt() : 118287;
    const int annotations = args.size() > 2 ? args[2].toInt() : 860001;
    QTemporaryDir temp;
    const QString file = temp.filePath("instances.json");
    const QString imagesDir = temp.filePath("images");
    QElapsedTimer timer;
    timer.start();
    if (!generate(file, imagesDir, images, annotations))
        return 1;
    std::printf("generated %d images, %d annotations, %.0f MB in %.1f s\n", images, annotations,
                QFileInfo(file).size() / 1e6, timer.nsecsElapsed() / 1e9);
    std::fflush(stdout);
    for (const QStringList &run : {QStringList{"boxmere", file, imagesDir}, QStringList{"qjson", file}}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), run);
        child.waitForFinished(-1);
    }
    return 0;
}
