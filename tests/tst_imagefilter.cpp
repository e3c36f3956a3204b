#include "checks/detectionmetrics.h"
#include "images/imagelist.h"
#include "models/classpickermodel.h"
#include "models/imagefilter.h"
#include "models/predictionmatcher.h"
#include "models/reviewstatus.h"
#include "ui/conversion.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

class TestImageFilter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        // a: two cats drawn as polygons; b: a dog past the edge; c: a cat and a dog, duplicated dog; ab: empty.
        const QMap<QString, QByteArray> labels{
            {"a", "0 0.4 0.4 0.6 0.4 0.6 0.6 0.4 0.6\n0 0.15 0.15 0.25 0.15 0.25 0.25"},
            {"b", "1 0.95 0.5 0.2 0.2"},
            {"c", "0 0.5 0.5 0.2 0.2\n1 0.3 0.3 0.1 0.1\n1 0.3 0.3 0.1 0.1"},
            {"ab", ""}};
        for (auto it = labels.cbegin(); it != labels.cend(); ++it)
            QVERIFY(write(m_dir.filePath("labels/" + it.key() + ".txt"), it.value()) &&
                    write(m_dir.filePath("images/" + it.key() + ".jpg"), "x"));
        m_list = ImageList::instance();
        m_list->setCheckClasses(nullptr);
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        // Rows in name order, whatever the file system lists first.
        auto rows = m_list->images().toList();
        std::sort(rows.begin(), rows.end(), [](const auto &x, const auto &y) { return x->fileName < y->fileName; });
        // a: a cat found, then again (duplicate), the small cat missed; ab: an extra dog; b: the dog
        // taken for a cat (wrong class); c: the cat found late, a dog found, its twin only below 0.25.
        rows[0]->predictions = {{0, 0.5, 0.5, 0.2, 0.2, 0.9}, {0, 0.5, 0.5, 0.2, 0.2, 0.6}};
        rows[1]->predictions = {{1, 0.7, 0.7, 0.1, 0.1, 0.8}};
        rows[2]->predictions = {{0, 0.95, 0.5, 0.2, 0.2, 0.5}};
        rows[3]->predictions = {
            {0, 0.5, 0.5, 0.2, 0.2, 0.3}, {1, 0.3, 0.3, 0.1, 0.1, 0.1}, {1, 0.3, 0.3, 0.1, 0.1, 0.95}};
        m_list->loadImages(rows, true);
        m_matcher = std::make_unique<PredictionMatcher>(m_list);
        m_filter = std::make_unique<ImageFilter>(m_list, m_matcher.get());
        m_conversion = std::make_unique<Conversion>(m_list);
        m_check = std::make_unique<ModelCheck>(m_filter.get());
    }

    void cleanup()
    {
        m_check.reset();
        m_conversion.reset();
        m_filter.reset();
        m_matcher.reset();
        ModelCheck::verifyNone();
    }

    // Each row sets the four filters; the counts of each filter follow the others, not itself.
    void filters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("catId");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("prediction");
        QTest::addColumn<QString>("sort");
        // The rows shown | "catId:rows" per class | "kind:rows" per problem with rows | boxes in the rows shown
        // | "shape:rows" per shape | "kind:rows" per disagreement with rows.
        QTest::addColumn<QString>("expected");
        const int any = ImageFilter::AnyClass;
        const QString classes = " | 0:2 1:2 | ", problems = " | any:3 past-edge:1 duplicate:1 empty-file:1 | ";
        const QString all = "0:2 1:2" + problems + "6 | boxes:2 polygons:1 | any:4 missed:3 extra:1 class:1 dup:1";
        QTest::newRow("none") << "" << any << ""
                              << ""
                              << ""
                              << ""
                              << "a ab b c | " + all;
        QTest::newRow("name") << "A" << any << ""
                              << ""
                              << ""
                              << ""
                              << "a ab | 0:1 | any:1 empty-file:1 | 2 | boxes:0 polygons:1 | any:2 missed:1 extra:1 "
                                 "dup:1";
        QTest::newRow("class") << "" << 1 << ""
                               << ""
                               << ""
                               << ""
                               << "b c" + classes +
                                      "any:2 past-edge:1 duplicate:1 | 4 | boxes:2 polygons:0 | any:2 missed:2 class:1";
        QTest::newRow("problem") << "" << any << "past-edge"
                                 << ""
                                 << ""
                                 << ""
                                 << "b | 1:1" + problems + "1 | boxes:1 polygons:0 | any:1 missed:1 class:1";
        QTest::newRow("any problem") << "" << any << "any"
                                     << ""
                                     << ""
                                     << ""
                                     << "ab b c | 0:1 1:2" + problems +
                                            "4 | boxes:2 polygons:0 | any:3 missed:2 extra:1 class:1";
        QTest::newRow("shape") << "" << any << ""
                               << "polygons"
                               << ""
                               << ""
                               << "a | 0:1 |  | 2 | boxes:2 polygons:1 | any:1 missed:1 dup:1";
        QTest::newRow("shape and problem") << "" << any << "any"
                                           << "boxes"
                                           << ""
                                           << ""
                                           << "b c | 0:1 1:2 | any:2 past-edge:1 duplicate:1 | 4 | boxes:2 "
                                              "polygons:0 | any:2 missed:2 class:1";
        QTest::newRow("all three") << "c" << 0 << "duplicate"
                                   << ""
                                   << ""
                                   << ""
                                   << "c | 0:1 1:1 | any:1 duplicate:1 | 3 | boxes:1 polygons:0 | any:1 missed:1";
        QTest::newRow("missed") << "" << any << ""
                                << ""
                                << "missed"
                                << ""
                                << "a b c | 0:2 1:2 | any:2 past-edge:1 duplicate:1 | 6 | boxes:2 polygons:1 | any:4 "
                                   "missed:3 extra:1 class:1 dup:1";
        QTest::newRow("wrong class and a problem")
            << "" << any << "any"
            << ""
            << "class"
            << ""
            << "b | 1:1 | any:1 past-edge:1 | 1 | boxes:1 polygons:0 | any:3 missed:2 extra:1 class:1";
        QTest::newRow("any, most disagreements first") << "" << any << ""
                                                       << ""
                                                       << "any"
                                                       << "disagreements"
                                                       << "a b ab c | " + all;
        QTest::newRow("lowest confidence first, no match last") << "" << any << ""
                                                                << ""
                                                                << ""
                                                                << "confidence"
                                                                << "c a ab b | " + all;
    }

    // The counts of each filter follow the others, not itself.
    void filters()
    {
        QFETCH(QString, name);
        QFETCH(int, catId);
        QFETCH(QString, problem);
        QFETCH(QString, shape);
        QFETCH(QString, prediction);
        QFETCH(QString, sort);
        QFETCH(QString, expected);
        QSignalSpy resets(m_filter.get(), &QAbstractItemModel::modelReset);
        m_filter->setNameFilter(name);
        m_filter->setClassFilter(catId);
        m_filter->setProblemFilter(problem);
        m_filter->setShapeFilter(shape);
        m_filter->setPredictionFilter(prediction);
        m_filter->setSortOrder(sort);
        QCOMPARE(resets.count(), int(!name.isEmpty()) + int(catId != ImageFilter::AnyClass) + int(!problem.isEmpty()) +
                                     int(!shape.isEmpty()) + int(!prediction.isEmpty()) + int(!sort.isEmpty()));
        QCOMPARE(m_filter->total(), 4);
        QCOMPARE(m_filter->count(), shown().size());
        for (int row = 0; row < shown().size(); ++row) {
            const int source = m_filter->data(m_filter->index(row), m_filter->sourceRowRole()).toInt();
            QCOMPARE(m_list->imageAt(source)->fileName, shown().at(row));
            QCOMPARE(m_filter->sourceRow(row), source);
        }
        QStringList classes, problems;
        for (const QVariant &v : m_filter->classCounts())
            classes << QString("%1:%2").arg(v.toMap().value("catId").toInt()).arg(v.toMap().value("rows").toInt());
        for (const QVariant &v : m_filter->problemCounts()) {
            if (v.toMap().value("rows").toInt() > 0)
                problems << v.toMap().value("kind").toString() + ':' + v.toMap().value("rows").toString();
        }
        QStringList shapes, disagreements;
        for (const QVariant &v : m_filter->shapeCounts())
            shapes << v.toMap().value("shape").toString() + ':' + v.toMap().value("rows").toString();
        for (const QVariant &v : m_filter->predictionCounts()) {
            if (v.toMap().value("rows").toInt() > 0)
                disagreements << v.toMap().value("kind").toString() + ':' + v.toMap().value("rows").toString();
        }
        const QString boxes = m_filter->statistics().value("boxes").toString();
        QCOMPARE(QStringList({shown().join(' '), classes.join(' '), problems.join(' '), boxes, shapes.join(' '),
                              disagreements.join(' ')})
                     .join(" | "),
                 expected);
    }

    // The figures of the rows shown, per class as CSV: names quoted where they must be
    // and kept from reading as formulas; a file that cannot be written says so.
    void statisticsCsv()
    {
        const QVariantList names{QVariantMap{{"catId", 0}, {"catName", "cat, tabby"}},
                                 QVariantMap{{"catId", 1}, {"catName", "=dog"}}};
        QVERIFY(m_filter->saveStatistics(m_dir.filePath("stats.csv"), names, "val"));
        QCOMPARE(read(m_dir.filePath("stats.csv")),
                 QByteArray("split,class_id,class,images,boxes,polygons,median_width,median_height\r\n"
                            "val,0,\"cat, tabby\",2,3,2,0.2,0.2\r\n"
                            "val,1,'=dog,2,3,0,0.1,0.1\r\n"));
        QVERIFY(!m_filter->saveStatistics(m_dir.filePath("none/stats.csv"), names, "val"));
    }

    // The review report holds the rows shown in their order, with their problems and
    // how the predictions disagree with them.
    void reviewReport()
    {
        ReviewStatus review(m_list);
        review.open(m_dir.filePath("labels"));
        m_filter->setReviewStatus(&review);
        QVERIFY(review.setStatus(2, StatusFile::NeedsFix));
        m_filter->setSortOrder("disagreements");
        QVERIFY(m_filter->saveReport(m_dir.filePath("report.csv")));
        QCOMPARE(QString::fromUtf8(read(m_dir.filePath("report.csv"))).replace(m_dir.path(), "DIR"),
                 "image,label_file,status,boxes,problems,problem_kinds,missed,extra,wrong_class,duplicates\r\n"
                 "DIR/images/a.jpg,DIR/labels/a.txt,unreviewed,2,0,,1,0,0,1\r\n"
                 "DIR/images/b.jpg,DIR/labels/b.txt,needs-fix,1,1,past-edge,1,0,1,0\r\n"
                 "DIR/images/ab.jpg,DIR/labels/ab.txt,unreviewed,0,1,empty-file,0,1,0,0\r\n"
                 "DIR/images/c.jpg,DIR/labels/c.txt,unreviewed,3,1,duplicate,1,0,0,0\r\n");
    }

    // With ab verified empty, b to fix and c accepted: each order, the status filter with
    // the problem filter, and the counts.
    void reviewed_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<bool>("reversed");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("problem");
        // The rows shown | rows per status | rows with any problem | the next unreviewed from the start.
        QTest::addColumn<QString>("expected");
        const QString all = " | 1 1 1 1 | 2 | ";
        QTest::newRow("name") << "name" << false << ""
                              << ""
                              << "a ab b c" + all + "0";
        QTest::newRow("name reversed") << "name" << true << ""
                                       << ""
                                       << "c b ab a" + all + "3";
        QTest::newRow("file order reversed") << "" << true << ""
                                             << ""
                                             << "c b ab a" + all + "3";
        QTest::newRow("problems, verified empty is none") << "problems" << false << ""
                                                          << ""
                                                          << "b c a ab" + all + "2";
        QTest::newRow("boxes") << "boxes" << false << ""
                               << ""
                               << "c a b ab" + all + "1";
        QTest::newRow("status") << "status" << false << ""
                                << ""
                                << "b a c ab" + all + "1";
        QTest::newRow("smallest box") << "smallest" << false << ""
                                      << ""
                                      << "a c b ab" + all + "0";
        QTest::newRow("smallest box reversed") << "smallest" << true << ""
                                               << ""
                                               << "ab b a c" + all + "2";
        QTest::newRow("needs fix") << "" << false << "needs-fix"
                                   << ""
                                   << "b | 1 1 1 1 | 1 | -1";
        QTest::newRow("with any problem") << "" << false << ""
                                          << "any"
                                          << "b c | 0 1 1 0 | 2 | -1";
        QTest::newRow("empty file") << "" << false << ""
                                    << "empty-file"
                                    << " | 0 0 0 0 | 2 | -1";
    }

    void reviewed()
    {
        QFETCH(QString, sort);
        QFETCH(bool, reversed);
        QFETCH(QString, status);
        QFETCH(QString, problem);
        QFETCH(QString, expected);
        ReviewStatus review(m_list);
        review.open(m_dir.filePath("labels"));
        m_filter->setReviewStatus(&review);
        QSignalSpy changed(m_filter.get(), &QAbstractItemModel::dataChanged);
        for (const auto &[row, value] : {std::pair{1, 3}, {2, 2}, {3, 1}})
            QVERIFY(review.setStatus(row, value));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(m_filter->data(m_filter->index(3), m_filter->sourceRowRole() + 1).toInt(), 1);
        m_filter->setSortOrder(sort);
        m_filter->setSortReversed(reversed);
        m_filter->setStatusFilter(status);
        m_filter->setProblemFilter(problem);
        QStringList statuses;
        for (const QVariant &v : m_filter->statusCounts())
            statuses << v.toMap().value("rows").toString();
        const QString anyProblem = m_filter->problemCounts().first().toMap().value("rows").toString();
        QCOMPARE(QStringList(
                     {shown().join(' '), statuses.join(' '), anyProblem, QString::number(m_filter->nextUnreviewed(-1))})
                     .join(" | "),
                 expected);
    }

    // The order chosen for a data set comes back with it, and only with it.
    void sortKeptPerDataset()
    {
        QSettings().remove("sortOrders");
        m_filter->useSortOf("one");
        m_filter->setSortOrder("boxes");
        m_filter->setSortReversed(true);
        ImageFilter other(m_list);
        other.useSortOf("two");
        QCOMPARE(other.sortOrder(), QString());
        other.useSortOf("one");
        QCOMPARE(other.sortOrder(), QString("boxes"));
        QVERIFY(other.sortReversed());
    }

    // A cell of the confusion matrix per kind of count in it, at thresholds the rows follow at once.
    void confusionCell_data()
    {
        QTest::addColumn<double>("confidence");
        QTest::addColumn<int>("labelClass");
        QTest::addColumn<int>("predictedClass");
        QTest::addColumn<QString>("shown");
        const int bg = ImageFilter::Background;
        QTest::newRow("true positives") << 0.25 << 0 << 0 << "a c";
        QTest::newRow("wrong class") << 0.25 << 1 << 0 << "b";
        QTest::newRow("extra") << 0.25 << bg << 1 << "ab";
        QTest::newRow("duplicate") << 0.25 << bg << 0 << "a";
        QTest::newRow("missed, not when a wrong class points at it") << 0.25 << 1 << bg << "c";
        QTest::newRow("missed under a higher threshold") << 0.95 << 0 << bg << "a c";
        QTest::newRow("found under a lower threshold") << 0.05 << 1 << bg << "";
    }

    void confusionCell()
    {
        QFETCH(double, confidence);
        QFETCH(int, labelClass);
        QFETCH(int, predictedClass);
        QFETCH(QString, shown);
        QSignalSpy resets(m_filter.get(), &QAbstractItemModel::modelReset);
        m_filter->setConfusionFilter(labelClass, predictedClass);
        QCOMPARE(m_filter->confusionFilter(),
                 (QVariantMap{{"labelClass", labelClass}, {"predictedClass", predictedClass}}));
        m_matcher->setConfidence(confidence);
        QCOMPARE(resets.count(), confidence == 0.25 ? 1 : 2);
        QCOMPARE(this->shown().join(' '), shown);
        m_filter->clearConfusionFilter();
        QCOMPARE(this->shown().size(), 4);
        QVERIFY(m_filter->confusionFilter().isEmpty());
    }

    // The near-duplicate filter keeps the rows of groups, group by group, under the other filters and any sort.
    void duplicates_data()
    {
        QTest::addColumn<QString>("groups"); // "name:group"; "-" before a search
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("count");
        const QString groups = "b:0 ab:0 a:1 c:1";
        QTest::newRow("before a search") << "-"
                                         << "" << false << "a ab b c" << -1;
        QTest::newRow("none found") << ""
                                    << "" << true << "" << 0;
        QTest::newRow("counted, not filtered") << groups << "" << false << "a ab b c" << 4;
        QTest::newRow("group by group") << groups << "" << true << "ab b a c" << 4;
        QTest::newRow("with a name filter") << groups << "a" << true << "ab a" << 2;
        QTest::newRow("over a sort") << groups << "" << true << "ab b a c" << 4;
    }

    void duplicates()
    {
        QFETCH(QString, groups);
        QFETCH(QString, name);
        QFETCH(bool, on);
        QFETCH(QString, shown);
        QFETCH(int, count);
        QHash<QString, int> groupOf;
        for (const QString &entry : groups.split(' ', Qt::SkipEmptyParts))
            groupOf.insert(m_dir.filePath("images/" + entry.section(':', 0, 0) + ".jpg"),
                           entry.section(':', 1).toInt());
        QSignalSpy changed(m_filter.get(), &ImageFilter::shownChanged);
        m_filter->setSortOrder(QTest::currentDataTag() == QByteArray("over a sort") ? "disagreements" : "");
        m_filter->setNameFilter(name);
        m_filter->setDuplicateGroups(groupOf, groups != "-");
        m_filter->setDuplicateFilter(on);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(this->shown().join(' '), shown);
        QCOMPARE(m_filter->duplicateCount(), count);
    }

    // The summaries agree with DetectionMetrics, which the metrics and the window's marks
    // use: counts per kind, the lowest match and each confusion cell, on generated rows
    // with ties in confidence and several predictions on one label box.
    void summariesAgreeWithMetrics()
    {
        QRandomGenerator rng(15);
        QList<std::shared_ptr<ImageInfo>> rows;
        for (int i = 0; i < 150; ++i) {
            auto image = std::make_shared<ImageInfo>();
            image->bboxes = std::make_unique<BBoxList>();
            for (int l = int(rng.bounded(5)); l > 0; --l)
                image->bboxes->appendBox(int(rng.bounded(3)), rng.bounded(4) * 0.2 + 0.2, 0.5, 0.3, 0.3);
            for (int p = int(rng.bounded(8)); p > 0; --p)
                image->predictions.append(
                    {int(rng.bounded(3)), rng.bounded(8) * 0.1 + 0.15, 0.5, 0.3, 0.3, rng.bounded(4) * 0.25});
            rows << image;
        }
        m_list->loadImages(rows, true);
        for (const double iou : {0.5, 0.2}) {
            m_matcher->setIou(iou);
            for (int row = 0; row < rows.size(); ++row) {
                const ImageInfo &image = *rows.at(row);
                const auto match = DetectionMetrics::matchImage(image.bboxes->boxes(), image.predictions, iou, 0.25);
                const auto s = m_matcher->summaries().at(row);
                double lowest = 2;
                for (int p = 0; p < image.predictions.size(); ++p)
                    lowest = match.outcome.at(p) == DetectionMetrics::Outcome::TruePositive
                                 ? std::min(lowest, image.predictions.at(p).score)
                                 : lowest;
                using O = DetectionMetrics::Outcome;
                QCOMPARE(
                    (QVector<double>{double(s.missed), double(s.extra), double(s.wrongClass), double(s.duplicates),
                                     s.matched ? s.lowestMatch : 2.0}),
                    (QVector<double>{double(match.missed()), double(match.count(O::Extra)),
                                     double(match.count(O::WrongClass)), double(match.count(O::Duplicate)), lowest}));
                const auto figures = DetectionMetrics::compute({{image.bboxes->boxes(), image.predictions}}, iou, 0.25);
                const int classes = figures.classes.size();
                for (int cell = 0; cell < (classes + 1) * (classes + 1); ++cell) {
                    const int r = cell / (classes + 1), c = cell % (classes + 1);
                    m_matcher->setConfusionCell(r < classes ? figures.classes.at(r).catId : ImageFilter::Background,
                                                c < classes ? figures.classes.at(c).catId : ImageFilter::Background);
                    QCOMPARE(m_matcher->summaries().at(row).inCell, figures.confusion.at(r).at(c) > 0);
                }
            }
        }
    }

    void removeThroughFilter()
    {
        m_filter->setClassFilter(1); // b, c
        QSignalSpy removed(m_filter.get(), &QAbstractItemModel::rowsRemoved);
        // The grid removes the row it shows through its image-list row.
        m_list->removeRow(m_filter->sourceRow(0));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 0);
        QCOMPARE(shown(), QStringList{"c"});
        QCOMPARE(m_filter->sourceRow(0), 2);

        // A row the filter does not show goes without a signal of its own.
        m_list->removeRow(0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(m_filter->sourceRow(0), 1);
        // Counts read before the timer are announced to every reader.
        QSignalSpy counts(m_filter.get(), &ImageFilter::countsChanged);
        QCOMPARE(m_filter->classCounts().size(), 2);
        QVERIFY(counts.wait(50));
    }

    // Under a sort the rows are not in file order: removals and changes find their place.
    void removeUnderSort()
    {
        m_filter->setSortOrder("confidence"); // c a ab b
        QSignalSpy removed(m_filter.get(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(m_filter.get(), &QAbstractItemModel::dataChanged);
        m_list->removeRow(m_filter->sourceRow(1));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(shown(), (QStringList{"c", "ab", "b"}));
        QCOMPARE((QVector<int>{m_filter->sourceRow(0), m_filter->sourceRow(1), m_filter->sourceRow(2)}),
                 (QVector<int>{2, 0, 1}));
        QVERIFY(write(m_dir.filePath("labels/b.txt"), "0 0.5 0.5 0.2 0.2"));
        QVERIFY(m_list->yoloReloadRow(1));
        QCOMPARE(changed.count(), 2); // the boxes, then the problems
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 2);
        // The edited row keeps its place; its counts follow.
        QCOMPARE(shown(), (QStringList{"c", "ab", "b"}));
        QCOMPARE(m_matcher->summaries().at(1).extra, 1);
    }

    void dataChangedFollowsRows()
    {
        m_filter->setProblemFilter("any"); // ab, b, c
        QSignalSpy changed(m_filter.get(), &QAbstractItemModel::dataChanged);
        BBoxList *boxes = m_list->imageAt(3)->bboxes.get(); // c
        boxes->deleteRow(2);
        m_list->checkRow(3);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 2);
        // The row stays shown while it is open; the counts follow.
        QCOMPARE(shown(), (QStringList{"ab", "b", "c"}));
        QTRY_COMPARE(m_filter->problemCounts().at(0).toMap().value("rows").toInt(), 2);
    }

    // What the class picker lists for a text typed: the number itself, names starting
    // with it, numbers starting with it, names holding it; names ignoring case.
    void classPicker_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<int>>("ids");
        QTest::newRow("nothing typed") << "" << QVector<int>{0, 1, 2, 10, 11, 12, 21, 25};
        QTest::newRow("a number, then names holding it") << "1" << QVector<int>{1, 10, 11, 12, 2};
        QTest::newRow("a whole number") << "12" << QVector<int>{12};
        QTest::newRow("a name, blanks and case") << " Car " << QVector<int>{2};
        QTest::newRow("names starting first") << "p" << QVector<int>{0, 12, 11};
        QTest::newRow("inside names") << "ar" << QVector<int>{2, 12, 21};
        QTest::newRow("no match") << "zebra" << QVector<int>{};
    }

    void classPicker()
    {
        QFETCH(QString, text);
        QFETCH(QVector<int>, ids);
        ClassPickerModel model;
        m_check.reset();
        m_check = std::make_unique<ModelCheck>(&model);
        const QVector<QPair<int, QString>> classes{{0, "person"},        {1, "bicycle"},    {2, "car1"},
                                                   {10, "fire hydrant"}, {11, "stop sign"}, {12, "Parking meter"},
                                                   {21, "bear"},         {25, "umbrella"}};
        QVariantList categories;
        for (const auto &c : classes)
            categories << QVariantMap{{"catId", c.first}, {"catName", c.second}};
        model.setCategories(categories);
        model.setFilterText(text);
        QVector<int> got;
        for (int row = 0; row < model.rowCount(); ++row)
            got << model.data(model.index(row), ClassPickerModel::CatIdRole).toInt();
        QCOMPARE(got, ids);
    }

    // The File menu's import runs on a worker and ends in one message; a failed one
    // keeps the list. Every box is kept, of its category, named by the file.
    void importCoco()
    {
        Conversion *conversion = m_conversion.get();
        QSignalSpy finished(conversion, &Conversion::finished);
        QSignalSpy completed(m_list, &ImageList::readFileCompleted);
        conversion->importCoco(m_dir.filePath("missing.json"));
        QVERIFY(conversion->busy() && finished.wait());
        QVERIFY(conversion->failed() && !conversion->busy());
        QCOMPARE(conversion->message(), "Could not read " + m_dir.filePath("missing.json"));
        QCOMPARE(m_filter->total(), 4);
        conversion->importCoco(qEnvironmentVariable("LABELME_EXAMPLES") +
                               "/instance_segmentation/data_dataset_coco/annotations.json");
        conversion->wait();
        QCOMPARE(conversion->message(), "Imported 3 images with 16 boxes of 21 categories from annotations.json");
        QCOMPARE(m_filter->total(), 3);
        QCOMPARE(conversion->classes().names.at(15).name, "person");
        QTRY_COMPARE(m_filter->classCounts().size(), 6);
        QStringList classes;
        for (const auto &box : m_list->imageAt(0)->bboxes->boxes())
            classes << QString::number(box->catId);
        QCOMPARE(classes.join(' '), "15 15 15 5"); // the second person in two polygons
        QCOMPARE(completed.count(), 1);
        QCOMPARE(finished.count(), 2);
        // Masks stop the import, the list as it was, until the user says to leave them out.
        QVERIFY(write(m_dir.filePath("rle.json"), R"({"images": [{"id": 1, "width": 4, "height": 4}], "annotations": [
            {"image_id": 1, "segmentation": {"counts": "a1", "size": [4, 4]}}, {"image_id": 1, "bbox": [0, 0, 2, 2]}]})"));
        QSignalSpy masks(conversion, &Conversion::rleMasksFound);
        conversion->importCoco(m_dir.filePath("rle.json"));
        conversion->wait();
        QCOMPARE(conversion->message(), "1 annotations of rle.json are RLE masks, which are not supported; nothing "
                                        "imported");
        QCOMPARE(masks.value(0), (QVariantList{m_dir.filePath("rle.json"), 1}));
        QCOMPARE(m_filter->total(), 3);
        conversion->importCoco(m_dir.filePath("rle.json"), true);
        conversion->wait();
        QCOMPARE(conversion->message(), "Imported 1 image with 1 box of 0 categories from rle.json; left out 1 RLE "
                                        "mask, which Boxmere does not support");
        QCOMPARE(masks.count(), 1);
    }

    void exportKeepsLinesItCannotWrite()
    {
        QVERIFY(write(m_dir.filePath("labels/b.txt"), "1 0.95 0.5 0.2 0.2 0.87"));
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        std::shared_ptr<ImageInfo> a;
        for (const auto &image : m_list->images())
            a = image->fileName == "a" ? image : a;
        a->bboxes->appendBox(3, 0.5, 0.5, 0.1, 0.1);
        Conversion *conversion = m_conversion.get();
        QVERIFY(write(m_dir.filePath("new/a.txt"), ""));
        QCOMPARE(conversion->labelFilesToReplace(m_dir.filePath("new")), 1);
        QCOMPARE(conversion->labelFilesToReplace(m_dir.filePath("labels")), 3);
        conversion->exportYolo(m_dir.filePath("labels"));
        conversion->wait();
        QCOMPARE(conversion->message(),
                 "Wrote 3 label files to " + m_dir.filePath("labels") +
                     "; replaced 3 existing label files; left out 1 image whose label file holds lines Boxmere "
                     "cannot write back unchanged, or could not be read");
        QCOMPARE(read(m_dir.filePath("labels/b.txt")), QByteArray("1 0.95 0.5 0.2 0.2 0.87"));
        QCOMPARE(read(m_dir.filePath("labels/a.txt")),
                 QByteArray("0 0.4 0.4 0.6 0.4 0.6 0.6 0.4 0.6\n0 0.15 0.15 0.25 0.15 0.25 0.25\n3 0.5 0.5 0.1 0.1"));
        // Elsewhere too: the copy would not hold what the file holds.
        conversion->exportYolo(m_dir.filePath("new"));
        conversion->wait();
        QVERIFY(conversion->message().endsWith(
            "; replaced 1 existing label file; left out 1 image whose label "
            "file holds lines Boxmere cannot write back unchanged, or could not be read"));
        QCOMPARE(read(m_dir.filePath("new/b.txt")), QByteArray("<missing>"));
        // No file is given a number that is not finite.
        a->bboxes->appendBox(3, qInf(), 0.5, 0.1, 0.1);
        for (const QString out : {"new", "list.json"}) {
            out == QLatin1String("new") ? conversion->exportYolo(m_dir.filePath(out))
                                        : conversion->exportJson(m_dir.filePath(out));
            conversion->wait();
            QVERIFY(conversion->message().startsWith("1 box holds numbers that are not finite"));
        }
        QCOMPARE(read(m_dir.filePath("list.json")), QByteArray("<missing>"));
        QCOMPARE(read(m_dir.filePath("new/a.txt")),
                 QByteArray("0 0.4 0.4 0.6 0.4 0.6 0.6 0.4 0.6\n0 0.15 0.15 0.25 0.15 0.25 0.25\n3 0.5 0.5 0.1 0.1"));
    }

private:
    QStringList shown() const
    {
        QStringList names;
        for (int row = 0; row < m_filter->rowCount(); ++row)
            names << m_filter->data(m_filter->index(row), ImageList::BaseFileNameRole).toString();
        return names;
    }

    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<PredictionMatcher> m_matcher;
    std::unique_ptr<ImageFilter> m_filter;
    std::unique_ptr<Conversion> m_conversion;
    std::unique_ptr<ModelCheck> m_check;
};

QTEST_GUILESS_MAIN(TestImageFilter)
#include "tst_imagefilter.moc"
