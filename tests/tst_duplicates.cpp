#include "checks/duplicatefinder.h"
#include "checks/perceptualhash.h"
#include "formats/datasetsplits.h"
#include "formats/hashcache.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"
#include "ui/duplicatesearch.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using Groups = QVector<QVector<int>>;

class TestDuplicates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Through the files, so that the reduced JPEG decode is what is measured.
    void distance_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("near");
        QTest::newRow("same") << "a.png=scene 1"
                              << "b.png=scene 1" << true;
        QTest::newRow("JPEG") << "a.png=scene 1"
                              << "b.jpg=scene 1 q90" << true;
        QTest::newRow("recompressed at 30") << "a.jpg=scene 2 q90"
                                            << "b.jpg=scene 2 q30" << true;
        QTest::newRow("rescaled") << "a.jpg=scene 3"
                                  << "b.jpg=scene 3 half" << true;
        QTest::newRow("noise") << "a.png=scene 4"
                               << "b.jpg=scene 4 noise" << true;
        QTest::newRow("all at once") << "a.png=scene 5"
                                     << "b.jpg=scene 5 half noise q40" << true;
        QTest::newRow("different") << "a.jpg=scene 1"
                                   << "b.jpg=scene 2" << false;
        QTest::newRow("different, rescaled") << "a.jpg=scene 3"
                                             << "b.jpg=scene 6 half" << false;
        QTest::newRow("different, noise") << "a.png=scene 7"
                                          << "b.png=scene 8 noise" << false;
    }

    void distance()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, near);
        quint64 hashes[2] = {};
        for (const QString &file : {a, b}) {
            const QString path = m_dir.filePath(file.section('=', 0, 0));
            QVERIFY(TestFiles::writeScene(path, file.section('=', 1)));
            QVERIFY(PerceptualHash::ofFile(path, hashes[file == b]));
        }
        const int distance = PerceptualHash::distance(hashes[0], hashes[1]);
        // Unrelated pictures lie far beyond the threshold.
        QVERIFY2(near ? distance <= DuplicateFinder::MaxDistance : distance >= 16,
                 qPrintable(QString::number(distance)));
    }

    void group_data()
    {
        QTest::addColumn<QVector<quint64>>("hashes"); // 0xdead: not hashed
        QTest::addColumn<QStringList>("splits");
        QTest::addColumn<Groups>("groups");
        QTest::addColumn<QStringList>("leaks");
        const QStringList train{"train", "train", "train", "train"};
        QTest::newRow("none") << QVector<quint64>{0, 0xff, 0xff00} << train << Groups{} << QStringList{};
        QTest::newRow("six bits apart in one block")
            << QVector<quint64>{0x3f, 0xff00, 0} << train << Groups{{0, 2}} << QStringList{};
        QTest::newRow("seven bits apart") << QVector<quint64>{0x7f, 0} << train << Groups{} << QStringList{};
        // Two bits in each of three blocks: no block is equal, one within a bit is not either.
        QTest::newRow("spread 2-2-1-1") << QVector<quint64>{0x0003000300010001ULL, 0} << train << Groups{{0, 1}}
                                        << QStringList{};
        QTest::newRow("spread 2-2-2-2 is eight")
            << QVector<quint64>{0x0003000300030003ULL, 0} << train << Groups{} << QStringList{};
        QTest::newRow("transitive") << QVector<quint64>{0xfff, 0x5, 0x3f, 0xffff0000} << train << Groups{{0, 1, 2}}
                                    << QStringList{};
        QTest::newRow("equal, one not hashed")
            << QVector<quint64>{7, 0xdead, 7, 7} << train << Groups{{0, 2, 3}} << QStringList{};
        QTest::newRow("leaks") << QVector<quint64>{1, 0xff00ff, 0, 0xff00fe, 3}
                               << QStringList{"train", "train", "val", "val", "test"} << Groups{{0, 2, 4}, {1, 3}}
                               << QStringList{"p0.jpg in train has a near-duplicate in val: p2.jpg",
                                              "p0.jpg in train has a near-duplicate in test: p4.jpg",
                                              "p1.jpg in train has a near-duplicate in val: p3.jpg"};
        QTest::newRow("several in one split")
            << QVector<quint64>{1, 0, 3} << QStringList{"", "val", "val"} << Groups{{0, 1, 2}}
            << QStringList{"p0.jpg in the top folder has 2 near-duplicates in "
                           "val: p1.jpg, p2.jpg"};
    }

    void group()
    {
        QFETCH(QVector<quint64>, hashes);
        QFETCH(QStringList, splits);
        QFETCH(Groups, groups);
        QFETCH(QStringList, leaks);
        QVector<bool> valid;
        QVector<DuplicateFinder::Picture> pictures;
        for (int i = 0; i < hashes.size(); ++i) {
            valid.append(hashes[i] != 0xdead);
            pictures.append({QString("dir/p%1.jpg").arg(i), splits[i]});
        }
        const Groups found = DuplicateFinder::group(hashes, valid);
        QCOMPARE(found, groups);
        QStringList described;
        for (const DuplicateFinder::Leak &leak : DuplicateFinder::leaks(pictures, found))
            described << DuplicateFinder::describe(pictures, leak);
        QCOMPARE(described, leaks);
    }

    void cache_data()
    {
        QTest::addColumn<QString>("change"); // what happens between the first and the second run
        QTest::addColumn<int>("fromCache");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QStringList>("unreadable");
        QTest::newRow("unchanged") << "" << 3 << false << QStringList{};
        QTest::newRow("picture rewritten") << "rewrite" << 2 << false << QStringList{};
        QTest::newRow("picture removed") << "remove" << 2 << false << QStringList{};
        QTest::newRow("picture broken") << "break" << 2 << false << QStringList{"c.jpg"};
        QTest::newRow("cache cut short") << "cut" << 0 << true << QStringList{};
        QTest::newRow("cache byte changed") << "flip" << 0 << true << QStringList{};
        QTest::newRow("cache gone") << "delete" << 0 << false << QStringList{};
    }

    // The second run decodes only what changed; a damaged cache is ignored and made anew.
    void cache()
    {
        QFETCH(QString, change);
        QFETCH(int, fromCache);
        QFETCH(bool, damaged);
        QFETCH(QStringList, unreadable);
        QTemporaryDir dir;
        QVector<DuplicateFinder::Picture> pictures;
        for (const char *name : {"a", "b", "c"}) {
            pictures.append({dir.filePath(QString("set/%1.jpg").arg(name)), ""});
            QVERIFY(TestFiles::writeScene(pictures.last().path, QString("scene %1").arg(int(name[0]))));
        }
        const QString cacheFile = HashCache::fileFor(dir.filePath("set"));
        QVERIFY(cacheFile.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)));
        QFile::remove(cacheFile);
        DuplicateFinder::Result first = DuplicateFinder::find(pictures, cacheFile, nullptr, 2);
        QCOMPARE(first.fromCache, 0);
        QCOMPARE(first.hashed, QVector<bool>(3, true));

        QByteArray bytes = TestFiles::read(cacheFile);
        if (change == "rewrite")
            QVERIFY(TestFiles::writeScene(pictures[2].path, "scene 9 half"));
        else if (change == "remove")
            pictures.removeLast();
        else if (change == "break")
            QVERIFY(TestFiles::write(pictures[2].path, "not a picture"));
        else if (change == "cut")
            QVERIFY(TestFiles::write(cacheFile, bytes.left(bytes.size() - 3)));
        else if (change == "flip")
            QVERIFY(TestFiles::write(cacheFile, bytes.replace(12, 1, "\x7f")));
        else if (change == "delete")
            QVERIFY(QFile::remove(cacheFile));
        const DuplicateFinder::Result second = DuplicateFinder::find(pictures, cacheFile, nullptr, 2);
        QCOMPARE(second.fromCache, fromCache);
        QCOMPARE(second.cacheDamaged, damaged);
        QStringList names;
        for (const QString &path : second.unreadable)
            names << QFileInfo(path).fileName();
        QCOMPARE(names, unreadable);
        QCOMPARE(second.hashes.mid(0, 2), first.hashes.mid(0, 2));
        QVERIFY(second.cacheError.isEmpty());
        // Made anew: a third run finds every picture it could read.
        HashCache kept(cacheFile);
        QCOMPARE(kept.load(), HashCache::State::Read);
        QCOMPARE(kept.size(), pictures.size() - unreadable.size());
        QCOMPARE(DuplicateFinder::find(pictures, cacheFile, nullptr, 1).fromCache, kept.size());
    }

    // The window's search: the loaded split's rows against the other split, into the filter.
    void searchInWindow()
    {
        QTemporaryDir dir;
        const QStringList files{"train/a=scene 1", "train/b=scene 2",        "train/c=scene 3 noise",
                                "train/d=scene 3", "val/e=scene 1 half q40", "val/f=scene 4"};
        for (const QString &file : files) {
            const QString name = file.section('=', 0, 0);
            QVERIFY(TestFiles::writeScene(dir.filePath("images/" + name + ".jpg"), file.section('=', 1)));
            QVERIFY(TestFiles::write(dir.filePath("labels/" + name + ".txt"), ""));
        }
        ImageList *list = ImageList::instance();
        list->loadYolo(dir.filePath("labels/train"), dir.filePath("images/train"));
        auto rows = list->images().toList(); // in name order, as the window loads them
        std::sort(rows.begin(), rows.end(), [](const auto &x, const auto &y) { return x->fileName < y->fileName; });
        list->loadImages(rows, true);
        ImageFilter filter(list);
        DuplicateSearch search(list, &filter);
        QSignalSpy found(&search, &DuplicateSearch::resultChanged);
        search.find();
        QVERIFY(found.wait(20000));
        QCOMPARE(search.message(), "3 images in 2 groups of near-duplicates");
        QCOMPARE(search.leakMessage(), "a.jpg in train has a near-duplicate in val: e.jpg");
        QCOMPARE(filter.duplicateCount(), 3);
        filter.setDuplicateFilter(true);
        QStringList shown;
        for (int row = 0; row < filter.rowCount(); ++row)
            shown << filter.data(filter.index(row), ImageList::BaseFileNameRole).toString();
        QCOMPARE(shown, QStringList({"a", "c", "d"}));
        search.clear();
        QCOMPARE(filter.duplicateCount(), -1);
        QCOMPARE(filter.rowCount(), 4);
        QVERIFY(search.message().isEmpty());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
