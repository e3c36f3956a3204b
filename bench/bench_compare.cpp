// Predictions against labels for 100,000 images of 5 label boxes and 20 predictions,
// generated in memory: DetectionMetrics::compute (target: under 2 s), the matching of
// every image at the window's thresholds alone, returning an ImageMatch per image and
// into one kept ImageMatch, and what a move of the confidence slider runs in the
// window: the matcher over every row and the grid's filter following it (target:
// under 100 ms), then the filter's counts once the slider rests. Then the grid sorted
// by each order, either way (target: under 100 ms); with "sort" only that.
//
//   bench_compare [IMAGES] [CLASSES] [sort]    IMAGES defaults to 100000, CLASSES to 20

#include "checks/detectionmetrics.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"
#include "models/predictionmatcher.h"

#include "bareloop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

using namespace DetectionMetrics;

namespace {

constexpr int Runs = 5;

QVector<ImageData> generate(int count, int classes)
{
    QRandomGenerator rng(15);
    const auto uniform = [&](double lo, double hi) { return lo + rng.generateDouble() * (hi - lo); };
    QVector<ImageData> images(count);
    for (ImageData &image : images) {
        for (int l = 0; l < 5; ++l) {
            auto box = std::make_shared<BoxInfo>();
            box->catId = int(rng.bounded(classes));
            box->cw = uniform(0.05, 0.3);
            box->ch = uniform(0.05, 0.3);
            box->cx = uniform(box->cw / 2, 1 - box->cw / 2);
            box->cy = uniform(box->ch / 2, 1 - box->ch / 2);
            image.labels.append(box);
        }
        // Most label boxes found, some twice or under another class, the rest scattered.
        for (int p = 0; p < 20; ++p) {
            Prediction pred;
            if (p < 8) {
                const BoxInfo &near = *image.labels[p % 5];
                pred.catId = rng.bounded(10) == 0 ? int(rng.bounded(classes)) : near.catId;
                pred.cx = near.cx + uniform(-0.03, 0.03);
                pred.cy = near.cy + uniform(-0.03, 0.03);
                pred.cw = near.cw * uniform(0.8, 1.2);
                pred.ch = near.ch * uniform(0.8, 1.2);
                pred.score = uniform(0.3, 1.0);
            } else {
                pred.catId = int(rng.bounded(classes));
                pred.cw = uniform(0.05, 0.3);
                pred.ch = uniform(0.05, 0.3);
                pred.cx = uniform(0, 1);
                pred.cy = uniform(0, 1);
                pred.score = uniform(0.0, 0.6);
            }
            image.predictions.append(pred);
        }
    }
    return images;
}

// The processor time of every thread of the process so far, in seconds.
double processCpu()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

void report(const char *what, const std::vector<double> &runs)
{
    std::printf("  %-40s median %7.1f ms, best %7.1f, worst %7.1f\n", what, median(runs) * 1e3,
                *std::min_element(runs.begin(), runs.end()) * 1e3, *std::max_element(runs.begin(), runs.end()) * 1e3);
}

void loadRows(const QVector<ImageData> &images)
{
    QList<std::shared_ptr<ImageInfo>> records;
    for (const ImageData &data : images) {
        auto image = std::make_shared<ImageInfo>();
        image->id = records.size() + 1;
        image->fileName = QString::number(image->id);
        image->bboxes = std::make_unique<BBoxList>();
        for (const std::shared_ptr<BoxInfo> &box : data.labels)
            image->bboxes->appendBox(box->catId, box->cx, box->cy, box->cw, box->ch);
        image->predictions = data.predictions;
        records.append(image);
    }
    ImageList::instance()->loadImages(records, true);
}

// Each order from file order, so that every run sorts: the rows and the model reset
// (the counts do not change with the order).
void sortRuns()
{
    ImageList *list = ImageList::instance();
    PredictionMatcher matcher(list);
    matcher.summaries();
    ImageFilter filter(list, &matcher);
    for (const char *order : {ImageFilter::ByName, ImageFilter::ByProblems, ImageFilter::ByBoxes, ImageFilter::ByStatus,
                              ImageFilter::BySmallestBox, ImageFilter::ByDisagreements}) {
        for (const bool reversed : {false, true}) {
            std::vector<double> runs;
            for (int run = 0; run < Runs; ++run) {
                filter.setSortOrder(QString());
                filter.setSortReversed(reversed);
                QElapsedTimer timer;
                timer.start();
                filter.setSortOrder(QLatin1String(order));
                runs.push_back(timer.nsecsElapsed() / 1e9);
            }
            report(qPrintable(QStringLiteral("sort by %1%2 (< 100 ms)").arg(order, reversed ? ", reversed" : "")),
                   runs);
        }
    }
}

// The rows, with a filter to missed boxes sorted by disagreements, and the slider
// moved between two confidences.
void sliderRuns()
{
    ImageList *list = ImageList::instance();
    PredictionMatcher matcher(list);
    QElapsedTimer first;
    first.start();
    matcher.summaries();
    std::printf("  %-40s %7.1f ms\n", "first matching after the load", first.nsecsElapsed() / 1e6);
    std::vector<double> matchRuns, cpuRuns;
    for (int run = 0; run < Runs * 2; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = processCpu();
        matcher.setConfidence(run % 2 ? 0.25 : 0.3);
        matchRuns.push_back(timer.nsecsElapsed() / 1e9);
        cpuRuns.push_back(processCpu() - cpu);
    }
    report("the matcher alone over every row", matchRuns);
    // On a shared machine the processor time tells what the cores had to do.
    report("  the same, processor time of all threads", cpuRuns);
    ImageFilter filter(list, &matcher);
    filter.setPredictionFilter(QLatin1String(ImageFilter::Missed));
    filter.setSortOrder(QLatin1String(ImageFilter::ByDisagreements));
    std::vector<double> moveRuns, countRuns;
    for (int run = 0; run < Runs * 2; ++run) {
        QElapsedTimer timer;
        timer.start();
        matcher.setConfidence(run % 2 ? 0.25 : 0.3);
        moveRuns.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        filter.problemCounts(); // counts the stale counts of every filter
        countRuns.push_back(timer.nsecsElapsed() / 1e9);
    }
    report("slider move: match + filter (< 100 ms)", moveRuns);
    report("the filter's counts after it", countRuns);
    std::printf("  %d of %d rows shown with missed boxes\n", filter.count(), filter.total());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 100000;
    const int classes = args.size() > 2 ? args[2].toInt() : 20;
    const QVector<ImageData> images = generate(count, classes);
    if (args.size() > 3 && args[3] == QLatin1String("sort")) {
        std::printf("%d images, 5 label boxes and 20 predictions each, %d runs:\n", count, Runs);
        loadRows(images);
        sortRuns();
        return 0;
    }
    std::printf("%d images, 5 label boxes and 20 predictions each, %d classes, %d runs:\n", count, classes, Runs);

    std::vector<double> computeRuns, matchRuns, reuseRuns;
    double map50 = 0, mapCoco = 0;
    long disagreements = 0;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Figures figures = compute(images, 0.5, 0.25);
        computeRuns.push_back(timer.nsecsElapsed() / 1e9);
        map50 = figures.map50;
        mapCoco = figures.mapCoco;

        timer.restart();
        disagreements = 0;
        for (const ImageData &image : images) {
            const ImageMatch m = matchImage(image.labels, image.predictions, 0.5, 0.25);
            disagreements +=
                m.missed() + m.count(Outcome::Extra) + m.count(Outcome::WrongClass) + m.count(Outcome::Duplicate);
        }
        matchRuns.push_back(timer.nsecsElapsed() / 1e9);

        timer.restart();
        ImageMatch kept;
        for (const ImageData &image : images)
            matchImage(image.labels, image.predictions, 0.5, 0.25, kept);
        reuseRuns.push_back(timer.nsecsElapsed() / 1e9);
    }
    report("compute (target: under 2000 ms)", computeRuns);
    report("matchImage over every image", matchRuns);
    report("the same into one kept ImageMatch", reuseRuns);
    std::printf("  mAP@0.5 %.4f, mAP@[.5:.95] %.4f, %ld disagreements\n", map50, mapCoco, disagreements);
    loadRows(images);
    sliderRuns();
    sortRuns();
    return 0;
}
