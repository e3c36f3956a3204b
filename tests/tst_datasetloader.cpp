#include "checks/labelcheck.h"
#include "ui/datasetloader.h"
#include "images/imagelist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

class TestDatasetLoader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void categories_data();
    void categories();
    void classFileAmongLabels();
    void counts();
    void cancelKeepsTheList();
    void newLoadReplacesRunningOne();
    void splits_data();
    void splits();

private:
    // Loads and waits for the end; true when the load was not cancelled.
    bool load(const QString &labels, const QString &images);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    DatasetLoader *m_loader = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

void TestDatasetLoader::initTestCase()
{
    // Row paths go to the debug log, one line per row.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    m_loader = DatasetLoader::instance();
}

void TestDatasetLoader::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    ImageList::instance()->loadImages({}, true);
    m_check = std::make_unique<ModelCheck>(ImageList::instance());
}

void TestDatasetLoader::cleanup()
{
    m_check.reset();
    ModelCheck::verifyNone();
}

bool TestDatasetLoader::load(const QString &labels, const QString &images)
{
    QSignalSpy finished(m_loader, &DatasetLoader::finished);
    m_loader->load(labels, images);
    if (!finished.wait(10000))
        return false;
    return !finished.first().first().toBool();
}

void TestDatasetLoader::categories_data()
{
    QTest::addColumn<QString>("classFile");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // "id name shortcut colour" per category
    QTest::addColumn<bool>("error");

    QStringList eleven;
    QStringList names;
    const QStringList colours{"#e6194b", "#3cb44b", "#ffe119", "#4363d8", "#f58231", "#911eb4",
                              "#42d4f4", "#f032e6", "#bfef45", "#fabed4", "#469990"};
    for (int i = 0; i < 11; ++i) {
        names << QStringLiteral("c%1").arg(i);
        eleven << QStringLiteral("%1 c%1 %2 %3")
                      .arg(i)
                      .arg(i < 9    ? QString::number(i + 1)
                           : i == 9 ? "0"
                                    : "")
                      .arg(colours[i])
                      .simplified();
    }
    const QStringList people{"1 People 1 blue"};
    QTest::newRow("no class file") << QString() << QByteArray() << people << false;
    QTest::newRow("classes.txt, shortcuts for ten")
        << "labels/classes.txt" << names.join('\n').toUtf8() << eleven << false;
    QTest::newRow("data.yaml above, index map") << "data.yaml" << QByteArray("names:\n  0: car\n  7: bus\n")
                                                << QStringList{"0 car 1 #e6194b", "7 bus 2 #3cb44b"} << false;
    QTest::newRow("class file that does not parse") << "data.yaml" << QByteArray("names: [car\n") << people << true;
}

void TestDatasetLoader::categories()
{
    QFETCH(QString, classFile);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QFETCH(bool, error);
    QVERIFY(write(path("labels/a.txt"), "0 0.5 0.5 0.1 0.1"));
    if (!classFile.isEmpty())
        QVERIFY(write(path(classFile), bytes));
    QSignalSpy changed(m_loader, &DatasetLoader::categoriesChanged);
    if (error)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Class file .*data.yaml: "));
    QVERIFY(load(path("labels"), path("images")));
    QCOMPARE(changed.count(), 1);
    QStringList got;
    for (const QVariant &c : m_loader->categories()) {
        const QVariantMap map = c.toMap();
        got << QStringLiteral("%1 %2 %3 %4")
                   .arg(map["catId"].toInt())
                   .arg(map["catName"].toString(), map["catShortcut"].toString(), map["catColor"].toString())
                   .simplified();
    }
    QCOMPARE(got, expected);
    QCOMPARE(m_loader->classFile(), classFile.isEmpty() ? QString() : path(classFile));
    QCOMPARE(m_loader->classError().isEmpty(), !error);
    if (!classFile.isEmpty())
        QCOMPARE(read(path(classFile)), bytes);
}

// A class file kept with the labels is not a row, and is never written.
void TestDatasetLoader::classFileAmongLabels()
{
    QVERIFY(write(path("labels/classes.txt"), "car\r\nbus\r\n"));
    QVERIFY(write(path("labels/a.txt"), "1 0.5 0.5 0.1 0.1"));
    QVERIFY(load(path("labels"), path("images")));
    ImageList *list = ImageList::instance();
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->imageAt(0)->fileName, QStringLiteral("a"));
    QVERIFY(list->imageAt(0)->bboxes->saveTxtFile(list->imageAt(0)->yoloTxtFilePath));
    QCOMPARE(read(path("labels/classes.txt")), QByteArray("car\r\nbus\r\n"));

    // The synchronous slot knows nothing of class files.
    list->loadYolo(path("labels"), path("images"));
    QCOMPARE(list->rowCount(), 2);
}

void TestDatasetLoader::counts()
{
    QVERIFY(write(path("set/data.yaml"), "names: [car, bus]"));
    QVERIFY(write(path("set/labels/a.txt"), "0 0.5 0.5 0.1 0.1\n1 0.5 0.5 0.2 0.2\n2 0.1 0.1 0.1 0.1"));
    QVERIFY(write(path("set/labels/b.txt"), "7 0.5 0.5 0.1 0.1\n-1 0.5 0.5 0.1 0.1"));
    QVERIFY(write(path("set/labels/c.txt"), ""));
    QVERIFY(write(path("set/images/a.png"), "png"));
    QVERIFY(write(path("set/images/c.jpg"), "jpeg"));
    QVERIFY(write(path("set/images/c.webp"), "webp"));
    QVERIFY(write(path("set/images/d.JPG"), "jpeg"));
    QVERIFY(write(path("set/images/e.tiff"), "tiff"));
    QVERIFY(write(path("set/images/notes.txt"), "no picture"));
    QSignalSpy resets(ImageList::instance(), &QAbstractItemModel::modelReset);
    QSignalSpy counts(m_loader, &DatasetLoader::countsChanged);
    QVERIFY(load(path("set/labels"), path("set/images")));
    QCOMPARE(resets.count(), 1);
    QCOMPARE(counts.count(), 1);
    QVERIFY(m_loader->loaded());
    QCOMPARE(m_loader->labelsWithoutImage(), 1); // b
    QCOMPARE(m_loader->imagesWithoutLabel(), 2); // d.JPG, e.tiff
    QCOMPARE(m_loader->unknownClassBoxes(), 3);  // 2, 7 and -1
    ImageList *list = ImageList::instance();
    QCOMPARE(list->rowCount(), 5);
    QStringList pictures;
    for (int row = 0; row < 3; ++row)
        pictures << list->imageAt(row)->filePath.remove(path("set/images/"));
    pictures.sort();
    QCOMPARE(pictures, (QStringList{"a.png", "b.jpg", "c.jpg"}));
    // Pictures without a label file follow, to be labelled; their files do not exist yet.
    const QStringList unlabelled{"d.JPG", "e.tiff"};
    for (int i = 0; i < 2; ++i) {
        const auto image = list->imageAt(3 + i);
        QCOMPARE(image->filePath, path("set/images/" + unlabelled[i]));
        QCOMPARE(image->yoloTxtFilePath, path(QStringLiteral("set/labels/%1.txt").arg(image->fileName)));
        QCOMPARE(image->bboxes->rowCount(), 0);
        QCOMPARE(image->problems, (QVector<LabelCheck::Problem>{{LabelCheck::Kind::ImageWithoutLabel}}));
        QVERIFY(!QFile::exists(image->yoloTxtFilePath));
    }
    // Reset takes a picture that never had a label file back to no boxes.
    list->imageAt(4)->bboxes->appendRow(0, 0.5, 0.5);
    QVERIFY(list->yoloReloadRow(4));
    QCOMPARE(list->imageAt(4)->bboxes->rowCount(), 0);
    QVERIFY(!list->imageAt(4)->bboxes->isModified());
    QVERIFY(!QFile::exists(list->imageAt(4)->yoloTxtFilePath));
    // Its first save gives it one, and the problem goes.
    list->imageAt(3)->bboxes->appendRow(0, 0.5, 0.5);
    QVERIFY(list->imageAt(3)->bboxes->saveTxtFile(list->imageAt(3)->yoloTxtFilePath));
    list->checkRow(3);
    QVERIFY(list->imageAt(3)->problems.isEmpty());
}

void TestDatasetLoader::cancelKeepsTheList()
{
    QVERIFY(write(path("old/x.txt"), "1 0.5 0.5 0.1 0.1"));
    QVERIFY(load(path("old"), path("images")));
    const auto before = ImageList::instance()->imageAt(0);

    for (int i = 0; i < 500; ++i)
        QVERIFY(write(path(QStringLiteral("new/%1.txt").arg(i)), "0 0.5 0.5 0.1 0.1"));
    QVERIFY(write(path("new/classes.txt"), "car"));
    QSignalSpy resets(ImageList::instance(), &QAbstractItemModel::modelReset);
    QSignalSpy finished(m_loader, &DatasetLoader::finished);
    QSignalSpy categories(m_loader, &DatasetLoader::categoriesChanged);
    m_loader->load(path("new"), path("images"));
    QVERIFY(m_loader->busy());
    m_loader->cancel();
    QVERIFY(!m_loader->busy());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    // Nothing the worker may still have queued reaches the list afterwards.
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(categories.count(), 0);
    QCOMPARE(ImageList::instance()->rowCount(), 1);
    QCOMPARE(ImageList::instance()->imageAt(0), before);
}

void TestDatasetLoader::newLoadReplacesRunningOne()
{
    QVERIFY(write(path("one/a.txt"), "1 0.5 0.5 0.1 0.1"));
    QVERIFY(write(path("two/b.txt"), "1 0.5 0.5 0.1 0.1"));
    QSignalSpy finished(m_loader, &DatasetLoader::finished);
    m_loader->load(path("one"), path("images"));
    m_loader->load(path("two"), path("images"));
    QVERIFY(finished.wait(10000));
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(ImageList::instance()->rowCount(), 1);
    QCOMPARE(ImageList::instance()->imageAt(0)->fileName, QStringLiteral("b"));
}

void TestDatasetLoader::splits_data()
{
    QTest::addColumn<QStringList>("files");    // a trailing "/" makes a folder
    QTest::addColumn<QStringList>("expected"); // "name:images:labels", relative

    QTest::newRow("flat") << QStringList{"images/a.jpg", "labels/a.txt"} << QStringList{":images:labels"};
    QTest::newRow("two splits") << QStringList{"images/val/",      "images/train/", "labels/train/a.txt",
                                               "labels/val/b.txt", "labels/extra/", "data.yaml"}
                                << QStringList{"train:images/train:labels/train", "val:images/val:labels/val"};
    QTest::newRow("split folders holding images and labels")
        << QStringList{"test/images/",  "test/labels/",  "train/images/", "train/labels/",
                       "valid/images/", "valid/labels/", "misc/images/"}
        << QStringList{"train:train/images:train/labels", "valid:valid/images:valid/labels",
                       "test:test/images:test/labels"};
    QTest::newRow("not a data set") << QStringList{"pictures/a.jpg", "labels/a.txt"} << QStringList{};
}

void TestDatasetLoader::splits()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    for (const QString &file : files) {
        if (file.endsWith('/'))
            QVERIFY(QDir().mkpath(path("set/" + file)));
        else
            QVERIFY(write(path("set/" + file), "x"));
    }
    QStringList got;
    const QString root = path("set") + '/';
    for (const QVariant &split : m_loader->splits(path("set"))) {
        const QVariantMap map = split.toMap();
        got << QStringLiteral("%1:%2:%3")
                   .arg(map["name"].toString(), map["images"].toString().remove(root),
                        map["labels"].toString().remove(root));
    }
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestDatasetLoader)
#include "tst_datasetloader.moc"
