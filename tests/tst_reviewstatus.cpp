#include "formats/statusfile.h"
#include "images/imagelist.h"
#include "models/reviewstatus.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using TestFiles::read;
using TestFiles::write;

namespace {

const QByteArray Header = "# Boxmere review status: status<TAB>label file, one image a line; images not listed are "
                          "unreviewed\n";

} // namespace

class TestReviewStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // "status:name" per entry | the lines not understood.
        QTest::addColumn<QString>("expected");
        QTest::newRow("as written") << Header + "accepted\tlabels/a.txt\nneeds-fix\tlabels/b b.txt\n"
                                    << "accepted:labels/a.txt needs-fix:labels/b b.txt | ";
        QTest::newRow("crlf, blank lines, no last newline")
            << QByteArray("\r\nverified-empty\tx.txt\r\n\n  \naccepted\ty.txt")
            << "verified-empty:x.txt accepted:y.txt | ";
        QTest::newRow("escapes") << QByteArray("accepted\ta\\tb\\\\c\\nd.txt\n") << "accepted:a\tb\\c\nd.txt | ";
        QTest::newRow("not understood")
            << QByteArray("# a note\nok\ta.txt\naccepted a.txt\nunreviewed\tb.txt\naccepted\t\naccepted\tc\\q\n"
                          "accepted\td\xff.txt\n<<<<<<< HEAD\naccepted\te.txt\nneeds-fix\te.txt\n")
            << "accepted:e.txt | 1 2 3 4 5 6 7 8 10";
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const StatusFile::Read read = StatusFile::parse(bytes);
        QStringList entries, bad;
        for (auto it = read.entries.cbegin(); it != read.entries.cend(); ++it)
            entries << StatusFile::key(it.value()) + ':' + it.key();
        for (const int line : read.badLines)
            bad << QString::number(line);
        // The map's order, which is the file's.
        QCOMPARE(entries.join(' ') + " | " + bad.join(' '), expected);
        if (bad.isEmpty())
            QCOMPARE(StatusFile::parse(StatusFile::write(read.entries)).entries, read.entries);
    }

    // Each row starts from a status file (or none), sets statuses in one go and, for a
    // damaged file, maybe agrees to replace it. Rows a, b and c are labels/train.
    void statusFile_data()
    {
        QTest::addColumn<QByteArray>("before"); // "-" for no file
        QTest::addColumn<QString>("changes");   // "row:status" in turn
        QTest::addColumn<bool>("agree");
        QTest::addColumn<QString>("statuses"); // of rows a b c after the changes
        QTest::addColumn<QString>("progress");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QByteArray>("after");
        const QByteArray val = "needs-fix\tlabels/val/z.txt\n";
        QTest::newRow("no file, viewing only")
            << QByteArray("-") << "" << false << "0 0 0"
            << "0 of 3 reviewed (0 %) · 0 need fixing" << 0 << QByteArray("<missing>");
        QTest::newRow("viewing a file") << Header + "accepted\tlabels/train/b.txt\n" + val << "" << false << "0 1 0"
                                        << "1 of 3 reviewed (33 %) · 0 need fixing" << 0
                                        << Header + "accepted\tlabels/train/b.txt\n" + val;
        QTest::newRow("a burst is one write, other splits kept")
            << Header + val << "0:1 1:2 2:3 0:2 2:0 0:1" << false << "1 2 0"
            << "2 of 3 reviewed (66 %) · 1 needs fixing" << 1
            << Header + "accepted\tlabels/train/a.txt\nneeds-fix\tlabels/train/b.txt\n" + val;
        QTest::newRow("damaged: read, kept in memory")
            << QByteArray("accepted\tlabels/train/c.txt\nboo\n") << "0:3" << false << "3 0 1"
            << "2 of 3 reviewed (66 %) · 0 need fixing" << 0 << QByteArray("accepted\tlabels/train/c.txt\nboo\n");
        QTest::newRow("damaged, replaced when agreed")
            << QByteArray("accepted\tlabels/train/c.txt\nboo\n") << "0:3" << true << "3 0 1"
            << "2 of 3 reviewed (66 %) · 0 need fixing" << 1
            << Header + "verified-empty\tlabels/train/a.txt\naccepted\tlabels/train/c.txt\n";
    }

    void statusFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, changes);
        QFETCH(bool, agree);
        QFETCH(QString, statuses);
        QFETCH(QString, progress);
        QFETCH(int, writes);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString labels = dir.filePath("labels/train"), file = dir.filePath(StatusFile::FileName);
        for (const char *name : {"a", "b", "c"})
            QVERIFY(write(labels + '/' + name + ".txt", "0 0.5 0.5 0.1 0.1\n"));
        if (before != "-")
            QVERIFY(write(file, before));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ImageList *list = ImageList::instance();
        // As typed, with a slash too many.
        list->loadYolo(labels + '/', dir.filePath("images/train"));
        auto rows = list->images().toList();
        std::sort(rows.begin(), rows.end(), [](const auto &x, const auto &y) { return x->fileName < y->fileName; });
        list->loadImages(rows, true);
        auto review = std::make_unique<ReviewStatus>(list);
        QSignalSpy written(review.get(), &ReviewStatus::written), rowChanged(review.get(), &ReviewStatus::rowChanged);
        review->open(labels);
        QCOMPARE(review->filePath(), file);
        QCOMPARE(review->damage().isEmpty(), !before.contains("boo"));
        const QStringList steps = changes.split(' ', Qt::SkipEmptyParts);
        for (const QString &step : steps)
            QVERIFY(review->setStatus(step.section(':', 0, 0).toInt(), step.section(':', 1).toInt()));
        QCOMPARE(rowChanged.count(), steps.size());
        QCOMPARE(review->unsaved(), !review->damage().isEmpty() && !steps.isEmpty());
        if (agree)
            review->allowOverwrite();
        if (writes > 0)
            QVERIFY(written.wait());
        QCoreApplication::processEvents();
        QStringList shown;
        for (int row = 0; row < 3; ++row)
            shown << QString::number(review->status(row));
        QCOMPARE(shown.join(' '), statuses);
        QCOMPARE(review->progress(), progress);
        review.reset(); // writes nothing more
        QCOMPARE(written.count(), writes);
        QCOMPARE(read(file), after);
        QLocale::setDefault(QLocale::c());
    }

    // The same data set loaded again reads its file again, which may have been merged since,
    // but keeps the changes held back from a damaged one.
    void reopenReadsAgain()
    {
        QTemporaryDir dir;
        const QString labels = dir.filePath("labels"), file = dir.filePath(StatusFile::FileName);
        QVERIFY(write(labels + "/a.txt", "") && write(file, "accepted\tlabels/a.txt\n"));
        ImageList::instance()->loadYolo(labels, dir.filePath("images"));
        ReviewStatus review(ImageList::instance());
        review.open(labels);
        QVERIFY(write(file, "needs-fix\tlabels/a.txt\n"));
        review.open(labels);
        QCOMPARE(int(review.status(0)), int(StatusFile::NeedsFix));
        QVERIFY(write(file, "boo\n"));
        review.open(labels);
        QVERIFY(review.setStatus(0, StatusFile::Accepted));
        review.open(labels);
        QCOMPARE(int(review.status(0)), int(StatusFile::Accepted));
        QCOMPARE(read(file), QByteArray("boo\n"));
    }

    void folderOfStatusFile_data()
    {
        QTest::addColumn<QString>("labels");
        QTest::addColumn<QString>("folder");
        QTest::newRow("labels") << "/d/labels"
                                << "/d";
        QTest::newRow("labels/split") << "/d/labels/val"
                                      << "/d";
        QTest::newRow("plain folder") << "/d/anno"
                                      << "/d";
    }

    void folderOfStatusFile()
    {
        QFETCH(QString, labels);
        QFETCH(QString, folder);
        QCOMPARE(ReviewStatus::folderFor(labels), folder);
    }
};

QTEST_GUILESS_MAIN(TestReviewStatus)
#include "tst_reviewstatus.moc"
