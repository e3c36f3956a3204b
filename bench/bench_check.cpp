// The label checks on 100,000 label files of five boxes, each against a baseline
// run in the same go:
// - `boxmere-cli check` as a process, against the bare read loop of bench_labelfiles;
// - the check of a loaded folder (DatasetCheck::checkScan) against the load it is part
//   of (YoloFolder::scan and ImageList::loadYoloScan);
// - the grid filters (ImageFilter) on the loaded list;
// - first, one label file of BOXES boxes, half of them one box repeated (target: under 2 s).
//
//   bench_check [COUNT] [DIR] [BOXES]    COUNT defaults to 100000; DIR to a temporary
//   folder; BOXES to 1000000

#include "boxes/bboxlist.h"
#include "boxes/yololabelfile.h"
#include "checks/datasetcheck.h"
#include "checks/labelcheck.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"

#include "bareloop.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Figures
{
    std::vector<double> runs;
    void add(double seconds) { runs.push_back(seconds); }
    double med() const { return median(runs); }
    double worst() const { return *std::max_element(runs.begin(), runs.end()); }
    double best() const { return *std::min_element(runs.begin(), runs.end()); }
};

void print(const char *what, const Figures &f)
{
    std::printf("  %-34s median %7.1f ms, best %7.1f, worst %7.1f\n", what, f.med() * 1e3, f.best() * 1e3,
                f.worst() * 1e3);
}

double seconds(QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 100000;
    QTemporaryDir temp;
    const QString root = args.size() > 2 ? args.at(2) : temp.path();
    const QString labels = root + "/labels";
    const QString images = root + "/images";
    QDir().mkpath(labels);
    QDir().mkpath(images);
    auto *rng = QRandomGenerator::global();
    constexpr int Runs = 7;

    {
        const int boxCount = args.size() > 3 ? args.at(3).toInt() : 1000000;
        QVector<std::shared_ptr<BoxInfo>> boxes;
        for (int b = 0; b < boxCount; ++b) {
            auto box = std::make_shared<BoxInfo>(BoxInfo{0, 0.5, 0.5, 0.1, 0.1});
            if (b % 2)
                *box = {int(rng->bounded(80)), rng->generateDouble(), rng->generateDouble(), rng->generateDouble() / 5,
                        rng->generateDouble() / 5};
            boxes.append(box);
        }
        const QByteArray text = YoloLabelFile::format(boxes);
        Figures parse, check;
        for (int run = 0; run < Runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            const YoloLabelFile::ReadResult read = YoloLabelFile::parse(text);
            parse.add(seconds(timer));
            timer.restart();
            const QVector<LabelCheck::Problem> problems = LabelCheck::checkLabelFile(read, true, {640, 480});
            check.add(seconds(timer));
            if (run == 0)
                std::printf("one file of %d boxes: %d problems\n", boxCount, int(problems.size()));
        }
        print("parse", parse);
        print("checkLabelFile", check);
    }

    // Five boxes per file, a few of them with a problem, and an (empty) picture each.
    for (int i = 0; i < count; ++i) {
        QVector<std::shared_ptr<BoxInfo>> boxes;
        for (int b = 0; b < 5; ++b) {
            auto box = std::make_shared<BoxInfo>();
            *box = {int(rng->bounded(80)), 0.1 + rng->generateDouble() * 0.8, 0.1 + rng->generateDouble() * 0.8,
                    rng->generateDouble() / 5, rng->generateDouble() / 5};
            boxes.append(box);
        }
        const QString name = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
        QFile label(labels + "/" + name + ".txt");
        QFile image(images + "/" + name + ".jpg");
        if (!label.open(QIODevice::WriteOnly) || label.write(YoloLabelFile::format(boxes)) < 0 ||
            !image.open(QIODevice::WriteOnly)) {
            std::printf("cannot write the test files in %s\n", qPrintable(root));
            return 1;
        }
    }
    std::printf("%d label files of 5 boxes with their pictures\n", count);

    Figures cli, bare;
    for (int run = 0; run < Runs; ++run) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(BOXMERE_CLI), {QStringLiteral("check"), labels, images});
        process.waitForFinished(-1);
        cli.add(seconds(timer));
        if (process.exitStatus() != QProcess::NormalExit)
            std::printf("boxmere-cli check did not finish\n");
        timer.restart();
        const long boxes = bareReadLoop(labels.toStdString());
        bare.add(seconds(timer));
        if (boxes != 5L * count)
            std::printf("bare loop read %ld boxes\n", boxes);
    }
    std::printf("boxmere-cli check (a process, warm cache), %d runs:\n", Runs);
    print("boxmere-cli check", cli);
    print("bare read loop", bare);
    std::printf("  ratio of medians %.2f (target: within 3)\n", cli.med() / bare.med());

    Figures scan, check, load;
    ImageList *list = ImageList::instance();
    const QSet<int> classes = [] {
        QSet<int> ids;
        for (int i = 0; i < 80; ++i)
            ids.insert(i);
        return ids;
    }();
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        YoloFolder::Scan result = YoloFolder::scan(labels, images);
        scan.add(seconds(timer));
        timer.restart();
        DatasetCheck::checkScan(result, &classes);
        check.add(seconds(timer));
        timer.restart();
        list->loadYoloScan(result);
        load.add(seconds(timer));
        QCoreApplication::processEvents(); // frees the rows of the previous run
    }
    std::printf("the check inside a load, %d runs:\n", Runs);
    print("scan (read and parse)", scan);
    print("loadYoloScan (rows)", load);
    print("checkScan", check);
    std::printf("  check / (scan + rows) = %.1f %% (target: under 20 %%)\n",
                100 * check.med() / (scan.med() + load.med()));

    ImageFilter filter(list);
    Figures byName, byClass, byProblem, cleared;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        filter.setNameFilter(QStringLiteral("12"));
        byName.add(seconds(timer));
        timer.restart();
        filter.setClassFilter(7);
        byClass.add(seconds(timer));
        timer.restart();
        filter.setProblemFilter(QStringLiteral("past-edge"));
        byProblem.add(seconds(timer));
        timer.restart();
        filter.setNameFilter(QString());
        filter.setClassFilter(ImageFilter::AnyClass);
        filter.setProblemFilter(QString());
        cleared.add(seconds(timer) / 3);
    }
    std::printf("filters on %d rows, %d runs (each with its counts; target: under 100 ms):\n", list->rowCount(), Runs);
    print("name \"12\"", byName);
    print("+ class 7", byClass);
    print("+ problem past-edge", byProblem);
    print("one filter cleared", cleared);
    std::printf("  rows shown at the end of a run: %d\n", filter.rowCount());
    return 0;
}
