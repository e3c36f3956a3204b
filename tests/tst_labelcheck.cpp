#include "images/imagelist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

using TestFiles::write;

class TestLabelCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.filePath("labels"));
        QDir().mkpath(m_dir.filePath("images"));
        m_list = ImageList::instance();
        m_list->setCheckClasses(nullptr);
        m_list->loadImages({}, true);
        m_check = std::make_unique<ModelCheck>(m_list);
    }

    void cleanup()
    {
        m_check.reset();
        ModelCheck::verifyNone();
    }

    void labelFile_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QList<int>>("classes"); // empty: no class list
        QTest::addColumn<QStringList>("expected");
        auto row = [](const char *name, const QByteArray &label, const QStringList &expected, bool image = true,
                      const QList<int> &classes = {}) { QTest::newRow(name) << label << image << classes << expected; };
        row("sound", "0 0.5 0.5 0.2 0.2\n1 0.2 0.2 0.1 0.1\n", {}, true, {0, 1});
        row("out of range", "0 0.5 0.5 0.1 0.1\n0 1.2 0.5 0.1 0.1\n0 0.5 -0.1 0.1 0.1\n0 nan 0.5 0.1 0.1",
            {"out-of-range@1", "out-of-range@2", "out-of-range@3"});
        row("past edge, not at it", "0 0.95 0.05 0.1 0.1\n0 0.05 0.5 0.2 0.1\n0 0.5 0.96 0.1 0.1",
            {"past-edge@1", "past-edge@2"});
        row("no size", "0 0.5 0.5 0 0.1\n0 0.5 0.5 0.1 -0.1", {"no-size@0", "out-of-range@1", "no-size@1"});
        // Box 2 repeats box 0; box 3 sits on box 0 in another class; box 4 overlaps box 2 by less than 0.9.
        row("duplicate",
            "3 0.5 0.5 0.2 0.2\n3 0.3 0.3 0.1 0.1\n3 0.5 0.5 0.2 0.19\n4 0.5 0.5 0.2 0.2\n3 0.5 0.5 0.2 0.17",
            {"duplicate@2"});
        // Enough boxes for the sweep instead of comparing every pair; box 40 repeats box 1, box 41 box 38.
        QByteArray many;
        for (int i = 0; i < 40; ++i)
            many += QString("%1 %2 0.5 0.02 0.02\n").arg(i % 2).arg(0.01 + i * 0.024).toUtf8();
        row("duplicates among many", many + "1 0.034 0.5 0.02 0.02\n0 0.922 0.5 0.0199 0.02",
            {"duplicate@40", "duplicate@41"});
        row("unknown class", "0 0.5 0.5 0.2 0.2\n7 0.2 0.2 0.1 0.1\n-1 0.2 0.7 0.1 0.1",
            {"unknown-class@1", "unknown-class@2"}, true, {0, 1});
        row("partial lines", "0 0.5 0.5 0.2 0.2 0.9\n1 0.5\n\n0 0.2 0.2 x 0.1\n",
            {"partial-line@0", "partial-line", "partial-line@1", "no-size@1"});
        row("blank lines only", "\n\r\n", {"empty-file"});
        row("no image", "0 0.5 0.5 0.2 0.2", {"no-image"}, false);
    }

    void labelFile()
    {
        QFETCH(QByteArray, label);
        QFETCH(bool, image);
        QFETCH(QList<int>, classes);
        QFETCH(QStringList, expected);

        QVERIFY(write(m_dir.filePath("labels/x.txt"), label));
        if (image)
            QVERIFY(write(m_dir.filePath("images/x.png"), "not decoded"));
        const QSet<int> ids(classes.begin(), classes.end());
        m_list->setCheckClasses(classes.isEmpty() ? nullptr : &ids);
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        QCOMPARE(m_list->rowCount(), 1);
        QCOMPARE(problems(0), expected);
    }

    // Boxes under 2 pixels wide or high on a 100 by 50 picture, or on one of unknown size.
    void sizedRows_data()
    {
        QTest::addColumn<QString>("box"); // width, height and the box of a JSON row
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("2 pixels") << "100, 50, 0.02, 0.04" << QStringList{};
        QTest::newRow("narrow") << "100, 50, 0.019, 0.5" << QStringList{"tiny@0"};
        QTest::newRow("flat") << "100, 50, 0.5, 0.039" << QStringList{"tiny@0"};
        QTest::newRow("size unknown") << "0, 0, 0.001, 0.001" << QStringList{};
    }

    void sizedRows()
    {
        QFETCH(QString, box);
        QFETCH(QStringList, expected);
        const QStringList v = box.split(", ");
        QVERIFY(
            write(m_dir.filePath("list.json"), QStringLiteral(R"([{"id": 1, "fileName": "x", "width": %1, "height": %2,
                                                                       "bboxes": [{"cx": 0.5, "cy": 0.5, "cw": %3, "ch": %4}]}])")
                                                   .arg(v[0], v[1], v[2], v[3])
                                                   .toUtf8()));
        m_list->loadJson(m_dir.filePath("list.json"));
        QCOMPARE(problems(0), expected);
    }

    void checkRowAfterEdits()
    {
        QVERIFY(write(m_dir.filePath("labels/x.txt"), "0 0.5 0.5 0.2 0.2\n1 0.5 0.5 0.2 0.2 junk"));
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        QCOMPARE(problems(0), (QStringList{"no-image", "partial-line@1"}));

        QSignalSpy changed(m_list, &ImageList::dataChanged);
        BBoxList *boxes = m_list->imageAt(0)->bboxes.get();
        m_list->checkRow(0);
        QCOMPARE(changed.count(), 0); // nothing new, nothing announced

        boxes->setData(boxes->index(0), 1.3, BBoxList::CxRole);
        m_list->checkRow(0);
        QCOMPARE(problems(0), (QStringList{"no-image", "partial-line@1", "out-of-range@0"}));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{ImageList::ProblemsRole});

        boxes->deleteRow(1);
        boxes->deleteRow(0);
        m_list->checkRow(0);
        QCOMPARE(problems(0), (QStringList{"no-image", "partial-line"}));
    }

    void reloadChecksAgain()
    {
        QVERIFY(write(m_dir.filePath("labels/x.txt"), "0 0.5 0.5 0.2 0.2"));
        QVERIFY(write(m_dir.filePath("images/x.jpg"), "x"));
        m_list->loadYolo(m_dir.filePath("labels"), m_dir.filePath("images"));
        QCOMPARE(problems(0), QStringList{});
        QVERIFY(write(m_dir.filePath("labels/x.txt"), "0 0.5 0.5 0.2 0.2\n0 0.5 0.5 0.2 0.2"));
        m_list->yoloReloadRow(0);
        QCOMPARE(problems(0), QStringList{"duplicate@1"});
    }

private:
    // The row's problems as "kind@box" (or "kind" for the file), in the model's order.

    QStringList problems(int row) const
    {
        QStringList out;
        for (const QVariant &v : m_list->data(m_list->index(row), ImageList::ProblemsRole).toList()) {
            const QVariantMap p = v.toMap();
            const int box = p.value("box").toInt();
            out << (box < 0 ? p.value("kind").toString() : QString("%1@%2").arg(p.value("kind").toString()).arg(box));
        }
        return out;
    }

    QTemporaryDir m_dir;
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
};

QTEST_GUILESS_MAIN(TestLabelCheck)
#include "tst_labelcheck.moc"
