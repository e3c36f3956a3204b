#include "checks/labelcheck.h"
#include "formats/classfile.h"
#include "images/imagelist.h"
#include "models/predictionmatcher.h"
#include "ui/datasetloader.h"

#include <QColor>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

using Names = QVector<QPair<int, QString>>;
Q_DECLARE_METATYPE(Names)

// Opening a data set: its class file, its folders, and the loader that reads them.
class TestDatasetLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Never the user's own settings.
        qputenv("XDG_CONFIG_HOME", m_settings.path().toUtf8());
    }

    void init()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_list = ImageList::instance();
        m_list->loadImages({}, true);
        m_loader = std::make_unique<DatasetLoader>(m_list);
        m_check = std::make_unique<ModelCheck>(m_list);
    }

    void cleanup()
    {
        m_check.reset();
        m_loader.reset();
        ModelCheck::verifyNone();
    }

    // The class file, kept among the label files, is no row and is never written.
    void loadsAndCounts()
    {
        QStringList names, categories;
        const QStringList colours{"#e6194b", "#3cb44b", "#ffe119", "#4363d8", "#f58231", "#911eb4",
                                  "#42d4f4", "#f032e6", "#bfef45", "#fabed4", "#469990"};
        for (int i = 0; i < 11; ++i) {
            names << QStringLiteral("c%1").arg(i);
            const QString shortcut = i < 9 ? QString::number(i + 1) : i == 9 ? "0" : ""; // ten have one
            categories << QStringLiteral("%1 c%1 %2 %3").arg(i).arg(shortcut, colours[i]).simplified();
        }
        const QByteArray classes = names.join("\r\n").toUtf8();
        QVERIFY(write(path("set/labels/classes.txt"), classes));
        QVERIFY(write(path("set/labels/a.txt"), "0 0.5 0.5 0.1 0.1\n1 0.5 0.5 0.2 0.2\n12 0.1 0.1 0.1 0.1"));
        QVERIFY(write(path("set/labels/b.txt"), "17 0.5 0.5 0.1 0.1\n-1 0.5 0.5 0.1 0.1"));
        QVERIFY(write(path("set/labels/c.txt"), ""));
        for (const char *picture : {"a.png", "c.jpg", "c.webp", "d.JPG", "e.tiff", "notes.txt"})
            QVERIFY(write(path("set/images/") + picture, "x"));
        QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
        QSignalSpy counts(m_loader.get(), &DatasetLoader::countsChanged);
        QSignalSpy changed(m_loader.get(), &DatasetLoader::categoriesChanged);
        QVERIFY(load(path("set/labels"), path("set/images")));
        QCOMPARE(resets.count() + counts.count() + changed.count(), 3);
        QStringList got;
        for (const QVariant &c : m_loader->categories()) {
            const QVariantMap map = c.toMap();
            got << QStringLiteral("%1 %2 %3 %4")
                       .arg(map["catId"].toInt())
                       .arg(map["catName"].toString(), map["catShortcut"].toString(), map["catColor"].toString())
                       .simplified();
        }
        QCOMPARE(got, categories);
        QCOMPARE(m_loader->classFile(), path("set/labels/classes.txt"));
        QVERIFY(m_loader->loaded());
        QCOMPARE(m_loader->labelsWithoutImage(), 1); // b
        QCOMPARE(m_loader->imagesWithoutLabel(), 2); // d.JPG, e.tiff
        QCOMPARE(m_loader->unknownClassBoxes(), 3);  // 12, 17 and -1
        QCOMPARE(m_list->rowCount(), 5);
        // Pictures without a label file follow, to be labelled; their files do not exist yet, and a
        // reset takes them back to no boxes.
        for (int row : {3, 4}) {
            const auto image = m_list->imageAt(row);
            QCOMPARE(image->filePath, path("set/images/" + QString(row == 3 ? "d.JPG" : "e.tiff")));
            QCOMPARE(image->yoloTxtFilePath, path(QStringLiteral("set/labels/%1.txt").arg(image->fileName)));
            QCOMPARE(image->problems, (QVector<LabelCheck::Problem>{{LabelCheck::Kind::ImageWithoutLabel}}));
            image->bboxes->appendRow(0, 0.5, 0.5);
            QVERIFY(m_list->yoloReloadRow(row));
            QCOMPARE(image->bboxes->rowCount(), 0);
            QVERIFY(!QFile::exists(image->yoloTxtFilePath));
        }
        QCOMPARE(read(path("set/labels/classes.txt")), classes);
    }

    // The palette serves the first categories; after it every colour is new, differs
    // clearly from the next one's, and is not dark enough to pass for black.
    void categoryColors()
    {
        QCOMPARE(DatasetLoader::categoryColor(19), QStringLiteral("#a9a9a9"));
        QSet<QString> seen;
        for (int i = 0; i < 80; ++i) {
            const QColor c(DatasetLoader::categoryColor(i)), next(DatasetLoader::categoryColor(i + 1));
            seen.insert(c.name());
            QVERIFY2(std::hypot(c.red() - next.red(), c.green() - next.green(), c.blue() - next.blue()) >= 100,
                     qPrintable(c.name() + " " + next.name()));
            QVERIFY2(c.lightnessF() >= 0.2, qPrintable(c.name()));
        }
        QCOMPARE(seen.size(), 80);
    }

    void cancelKeepsTheListAndANewLoadReplaces()
    {
        QVERIFY(write(path("old/x.txt"), "1 0.5 0.5 0.1 0.1"));
        QVERIFY(load(path("old"), path("images")));
        const auto before = m_list->imageAt(0);
        for (int i = 0; i < 500; ++i)
            QVERIFY(write(path(QStringLiteral("new/%1.txt").arg(i)), "0 0.5 0.5 0.1 0.1"));
        QVERIFY(write(path("new/classes.txt"), "car"));
        QSignalSpy resets(m_list, &QAbstractItemModel::modelReset);
        QSignalSpy finished(m_loader.get(), &DatasetLoader::finished);
        QSignalSpy categories(m_loader.get(), &DatasetLoader::categoriesChanged);
        m_loader->load(path("new"), path("images"));
        QVERIFY(m_loader->busy());
        m_loader->cancel();
        QVERIFY(!m_loader->busy());
        QCOMPARE(finished.count(), 1);
        QVERIFY(finished.first().first().toBool());
        // Nothing the worker may still have queued reaches the list afterwards.
        QTest::qWait(100);
        QCOMPARE(finished.count() + resets.count() + categories.count(), 1);
        QCOMPARE(m_list->imageAt(0), before);

        // A load started while another runs replaces it.
        QVERIFY(write(path("two/b.txt"), "1 0.5 0.5 0.1 0.1"));
        m_loader->load(path("new"), path("images"));
        m_loader->load(path("two"), path("images"));
        QVERIFY(finished.wait(10000));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 2);
        QCOMPARE(m_list->rowCount(), 1);
        QCOMPARE(m_list->imageAt(0)->fileName, QString("b"));
    }

    // A label folder that cannot be listed is an error that keeps the list, not an empty load.
    void unlistableFolder()
    {
        QVERIFY(write(path("old/x.txt"), "1 0.5 0.5 0.1 0.1") && load(path("old"), path("images")));
        QVERIFY(load(path("missing"), path("images")));
        QCOMPARE(m_loader->loadError(), "Could not read the folder " + path("missing"));
        QCOMPARE(m_list->rowCount(), 1);
        QVERIFY(load(path("old"), path("images")) && m_loader->loadError().isEmpty());
    }

    // A folder of images and labels is one split without a name; split folders that each
    // hold both are named as the known splits are, in their order.
    void splits()
    {
        for (const char *folder : {"images", "labels", "set/test/images", "set/test/labels", "set/train/images",
                                   "set/train/labels", "set/valid/images", "set/valid/labels", "set/misc/images"})
            QVERIFY(QDir().mkpath(path(folder)));
        QStringList got;
        for (const QString &root : {m_dir.path(), path("set")}) {
            for (const QVariant &split : m_loader->splits(root)) {
                const QVariantMap map = split.toMap();
                got << QStringLiteral("%1:%2:%3")
                           .arg(map["name"].toString(), map["images"].toString(), map["labels"].toString())
                           .remove(root + '/');
            }
        }
        QCOMPARE(got, (QStringList{":images:labels", "train:train/images:train/labels",
                                   "valid:valid/images:valid/labels", "test:test/images:test/labels"}));
    }

    void classFileRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Names>("names"); // empty: the file does not parse

        const Names three{{0, "person"}, {1, "bicycle"}, {2, "traffic light"}};
        QTest::newRow("blank line inside") << "obj.names" << QByteArray("a\n\nc") << Names{{0, "a"}, {1, ""}, {2, "c"}};
        QTest::newRow("UTF-8") << "coco.names" << QByteArray("Fußgänger\n自行车")
                               << Names{{0, "Fußgänger"}, {1, "自行车"}};
        QTest::newRow("yaml list") << "data.yaml"
                                   << QByteArray(
                                          "train: images/train\nnc: 3\nnames: ['person', 'bicycle', 'traffic light']\n")
                                   << three;
        QTest::newRow("yaml block list") << "data.yaml"
                                         << QByteArray("names:\n  - person\n  - bicycle\n  - traffic light\n") << three;
        QTest::newRow("yaml map with a gap, out of order")
            << "data.yaml" << QByteArray("names: {5: truck, 0: car}") << Names{{0, "car"}, {5, "truck"}};

        QTest::newRow("not UTF-8") << "classes.txt" << QByteArray("caf\xe9\n") << Names{};
        QTest::newRow("binary") << "classes.txt" << QByteArray("a\0b", 3) << Names{};
        QTest::newRow("yaml without names") << "data.yaml" << QByteArray("nc: 2\ntrain: images\n") << Names{};
    }

    // Reading never touches the file; a file that does not parse says why.
    void classFileRead()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(Names, names);
        QVERIFY(write(path(name), bytes));
        const ClassFile::Classes classes = ClassFile::read(path(name));
        QCOMPARE(classes.path, path(name));
        Names got;
        for (const ClassFile::ClassName &n : classes.names)
            got.append({n.id, n.name});
        QCOMPARE(got, names);
        QCOMPARE(classes.error.isEmpty(), !names.isEmpty());
        QCOMPARE(read(path(name)), bytes);
    }

    void classFileFind_data()
    {
        QTest::addColumn<QStringList>("files"); // YAML files but "plain" ones have "names"
        QTest::addColumn<QString>("labelDir");
        QTest::addColumn<QString>("chosen"); // remembered for the data set; missing from files: gone
        QTest::addColumn<QString>("found");  // empty: none
        QTest::addColumn<QStringList>("candidates");
        auto row = [](const char *name, const QStringList &files, const char *labelDir, const char *found,
                      const QStringList &candidates = {}, const char *chosen = "") {
            QTest::newRow(name) << files << labelDir << chosen << found << candidates;
        };
        row("classes.txt first", {"l/classes.txt", "l/a.names", "l/data.yaml"}, "l", "l/classes.txt");
        row("names before yaml", {"l/b.names", "l/a.names", "l/data.yaml"}, "l", "l/a.names");
        row("data.yaml before dataset.yaml", {"l/dataset.yaml", "l/data.yaml"}, "l", "l/data.yaml");
        row("own folder before the one above", {"data.yaml", "l/obj.names"}, "l", "l/obj.names");
        row("split folder", {"set/data.yaml", "set/labels/train/a.txt"}, "set/labels/train", "set/data.yaml");
        row("not two levels up elsewhere", {"set/data.yaml", "set/x/train/a.txt"}, "set/x/train", "");
        row("yaml of any name", {"set/coco128.yaml", "set/plain.yml", "set/labels/train/a.txt"}, "set/labels/train",
            "set/coco128.yaml");
        row("yml of any name", {"set/config.yml", "set/labels/a.txt"}, "set/labels", "set/config.yml");
        row("known name before other yaml", {"data.yaml", "l/VOC.yaml"}, "l", "data.yaml");
        row("several yaml: none taken", {"l/VOC.yaml", "l/coco128.yml", "l/plain.yaml"}, "l", "",
            {"l/VOC.yaml", "l/coco128.yml"});
        row("chosen by hand", {"set/a.yaml", "set/b.yaml", "set/labels/val/a.txt"}, "set/labels/val", "set/b.yaml", {},
            "set/b.yaml");
        row("chosen file gone", {"set/data.yaml", "set/labels/a.txt"}, "set/labels", "set/data.yaml", {},
            "set/gone.yaml");
    }

    // The window's load takes the class file the command line finds, or the one chosen
    // for the data set in an earlier session.
    void classFileFind()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, labelDir);
        QFETCH(QString, chosen);
        QFETCH(QString, found);
        QFETCH(QStringList, candidates);
        for (const QString &file : files)
            QVERIFY(write(path(file), file.contains("plain") ? "x\n" : "names: [a]\n"));
        for (QString &candidate : candidates)
            candidate = path(candidate);
        QStringList got;
        if (chosen.isEmpty()) {
            QCOMPARE(ClassFile::find(path(labelDir), &got), found.isEmpty() ? QString() : path(found));
            QCOMPARE(got, candidates);
        }
        m_loader->chooseClassFile(path(labelDir), chosen.isEmpty() ? chosen : path(chosen));
        m_loader = std::make_unique<DatasetLoader>(m_list);
        QVERIFY(load(path(labelDir), path("images")));
        QCOMPARE(m_loader->classFile(), found.isEmpty() ? QString() : path(found));
        QCOMPARE(m_loader->classCandidates(), candidates);
        QCOMPARE(m_loader->classNotice().isEmpty(), chosen.isEmpty() || files.contains(chosen));
    }

    // Rows come in natural name order, whatever the listing order; pictures without a label file follow.
    void naturalOrder()
    {
        for (const char *name :
             {"l/img10.txt", "l/Img9.txt", "l/img1.txt", "l/img100.txt", "l/img01.txt", "i/x10.png", "i/X2.jpg"})
            QVERIFY(write(path(name), ""));
        QVERIFY(load(path("l"), path("i")));
        QStringList names;
        for (int row = 0; row < m_list->rowCount(); ++row)
            names << m_list->imageAt(row)->fileName;
        QCOMPARE(names, (QStringList{"img01", "img1", "Img9", "img10", "img100", "X2", "x10"}));
    }

    // Prediction files go to the rows of their base name and are counted; neither a
    // load nor a save touches them.
    void predictions()
    {
        QVERIFY(write(path("l/a.txt"), "0 0.5 0.5 0.2 0.2") && write(path("l/b.txt"), ""));
        const QMap<QString, QByteArray> files{{"p/a.txt", "0 0.5 0.5 0.2 0.2 0.875\n1 0.2 0.2 0.1 0.1\nx y\n"},
                                              {"p/zz.txt", "0 0.5 0.5 0.1 0.1 0.3\n"}};
        QMap<QString, QDateTime> times;
        for (auto it = files.begin(); it != files.end(); ++it) {
            QVERIFY(write(path(it.key()), it.value()));
            times.insert(it.key(), QFileInfo(path(it.key())).lastModified());
        }
        QVERIFY(load(path("l"), path("i"), path("p")));
        QCOMPARE(m_list->rowCount(), 2);
        const QVector<Prediction> got = m_list->imageAt(0)->predictions;
        QCOMPARE(got.size(), 2);
        QCOMPARE(QVector<double>({double(got[0].catId), got[0].cw, got[0].score, double(got[1].catId), got[1].score}),
                 QVector<double>({0, 0.2, 0.875, 1, 1.0}));
        QVERIFY(m_list->imageAt(1)->predictions.isEmpty());
        QCOMPARE(QVector<int>({m_loader->predictionFiles(), m_loader->predictionsWithoutImage(),
                               m_loader->unreadablePredictionFiles(), m_loader->badPredictionLines()}),
                 QVector<int>({2, 1, 0, 1}));
        // The window's matching: at a confidence of 1 (taken for 2, a NaN ignored) only the
        // prediction without a confidence is left, and the label box is missed.
        PredictionMatcher matcher(m_list);
        QVERIFY(matcher.available());
        QStringList kinds;
        for (double conf : {0.25, 2.0, qQNaN()}) {
            matcher.setConfidence(conf);
            for (const QVariant &mark : matcher.marks(0))
                kinds << mark.toMap()["kind"].toString();
        }
        QCOMPARE(kinds, QStringList({"match", "extra", "extra", "missed", "extra", "missed"}));
        m_list->imageAt(0)->bboxes->appendRow(1, 0.2, 0.2);
        QVERIFY(m_list->saveAll().isEmpty());
        QCOMPARE(QDir(path("p")).entryList(QDir::Files), QStringList({"a.txt", "zz.txt"}));
        for (auto it = files.begin(); it != files.end(); ++it) {
            QCOMPARE(read(path(it.key())), it.value());
            QCOMPARE(QFileInfo(path(it.key())).lastModified(), times.value(it.key()));
        }
        // Without a prediction folder nothing is counted.
        QVERIFY(load(path("l"), path("i")));
        QVERIFY(m_list->imageAt(0)->predictions.isEmpty() && m_loader->predictionFiles() == -1);
    }

    // A COCO results file finds its rows by the picture's name, or the number a name of
    // digits is; its boxes are normalised to the picture's size.
    void predictionResults_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QByteArray>("results");
        QTest::addColumn<QString>("first");       // the first row's predictions
        QTest::addColumn<QVector<int>>("counts"); // taken, of no image, without a box
        QTest::addColumn<QString>("error");

        const QByteArray box = R"("category_id": 2, "bbox": [40, 10, 20, 30], "score": 0.5)";
        QTest::newRow("by name") << "a"
                                 << "[{\"image_id\": \"a\", " + box + "}]"
                                 << "2 0.5 0.5 0.2 0.6 0.5" << QVector<int>{1, 0, 0} << "";
        QTest::newRow("by number") << "000123"
                                   << "[{\"image_id\": 123, " + box + "}]"
                                   << "2 0.5 0.5 0.2 0.6 0.5" << QVector<int>{1, 0, 0} << "";
        QTest::newRow("no picture, no box")
            << "a"
            << "[{\"image_id\": \"b\", " + box + "}, {\"image_id\": \"a\", \"category_id\": 1}]"
            << "" << QVector<int>{0, 1, 1} << "";
        QTest::newRow("not results") << "a" << QByteArray("{\"images\": [") << "" << QVector<int>{-1, 0, 0}
                                     << "is not a COCO results file";
        QTest::newRow("no such file") << "a" << QByteArray() << "" << QVector<int>{-1, 0, 0}
                                      << "is neither a folder of prediction files nor a COCO results file";
    }

    void predictionResults()
    {
        QFETCH(QString, base);
        QFETCH(QByteArray, results);
        QFETCH(QString, first);
        QFETCH(QVector<int>, counts);
        QFETCH(QString, error);
        QVERIFY(write(path("l/" + base + ".txt"), "0 0.5 0.5 0.2 0.2\n"));
        QVERIFY(QDir().mkpath(path("i")) && QImage(100, 50, QImage::Format_RGB32).save(path("i/" + base + ".png")));
        if (!results.isEmpty())
            QVERIFY(write(path("r.json"), results));
        QVERIFY(load(path("l"), path("i"), path("r.json")));
        QStringList got;
        for (const Prediction &p : m_list->imageAt(0)->predictions)
            got << QStringLiteral("%1 %2 %3 %4 %5 %6")
                       .arg(p.catId)
                       .arg(p.cx)
                       .arg(p.cy)
                       .arg(p.cw)
                       .arg(p.ch)
                       .arg(p.score);
        QCOMPARE(got.join(';'), first);
        QCOMPARE(QVector<int>({m_loader->predictionFiles(), m_loader->predictionsWithoutImage(),
                               m_loader->badPredictionLines()}),
                 counts);
        QVERIFY2(error.isEmpty() ? m_loader->predictionError().isEmpty() : m_loader->predictionError().contains(error),
                 qPrintable(m_loader->predictionError()));
        QCOMPARE(m_loader->predictionsFromResults(), !results.isEmpty());
    }

private:
    // Loads and waits for the end; true when the load was not cancelled.
    bool load(const QString &labels, const QString &images, const QString &predictions = QString())
    {
        QSignalSpy finished(m_loader.get(), &DatasetLoader::finished);
        m_loader->load(labels, images, predictions);
        return finished.wait(10000) && !finished.first().first().toBool();
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir, m_settings;
    ImageList *m_list = nullptr;
    std::unique_ptr<DatasetLoader> m_loader;
    std::unique_ptr<ModelCheck> m_check;
};

QTEST_GUILESS_MAIN(TestDatasetLoader)
#include "tst_datasetloader.moc"
