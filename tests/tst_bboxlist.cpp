#include "boxes/bboxlist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <limits>

#include "filesizelimit.h"
#include "modelcheck.h"
#include "testfiles.h"

using Boxes = QVector<BoxInfo>;
using Edit = std::function<void(BBoxList &)>;
Q_DECLARE_METATYPE(BoxInfo)
Q_DECLARE_METATYPE(Edit)

namespace {

// Reaches the protected index factory to build indexes past the last row.
struct IndexableBBoxList : BBoxList
{
    using BBoxList::createIndex;
};

// The boxes as raw bytes: equal only when every double is the very same.
QByteArray bytesOf(const BBoxList &list)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    for (const auto &box : list.boxes())
        stream << box->catId << box->cx << box->cy << box->cw << box->ch;
    return out;
}

// The boxes as the roles give them, one "cat cx cy cw ch" per row.
QStringList rolesOf(const BBoxList &list)
{
    QStringList out;
    for (int row = 0; row < list.rowCount(); ++row) {
        QStringList fields;
        const QVariantList points = list.data(list.index(row), BBoxList::PointsRole).toList();
        for (int role = BBoxList::CatIdRole; role <= BBoxList::ChRole; ++role)
            fields << QString::number(list.data(list.index(row), role).toDouble());
        for (const QVariant &v : points)
            fields << QString::number(v.toDouble());
        if (!points.isEmpty())
            fields.erase(fields.begin() + 1, fields.begin() + 5);
        out << fields.join(' ');
    }
    return out;
}

// Every model signal as text, in the order it came.
QStringList *recordSignals(BBoxList &list)
{
    auto *log = new QStringList;
    QObject::connect(&list, &QObject::destroyed, [log] { delete log; });
    auto rows = [log](const char *what) {
        return [log, what](const QModelIndex &, int first, int last) {
            *log << QString("%1 %2-%3").arg(what).arg(first).arg(last);
        };
    };
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, rows("inserted"));
    QObject::connect(&list, &QAbstractItemModel::rowsRemoved, rows("removed"));
    QObject::connect(&list, &QAbstractItemModel::modelReset, [log] { *log << "reset"; });
    QObject::connect(&list, &QAbstractItemModel::dataChanged,
                     [log](const QModelIndex &from, const QModelIndex &to, const QVector<int> &roles) {
                         QStringList r;
                         for (int role : roles)
                             r << QString::number(role);
                         *log << QString("changed %1-%2 %3").arg(from.row()).arg(to.row()).arg(r.join(','));
                     });
    return log;
}

// Two boxes with values that text would not give back exactly.
void fill(BBoxList &list)
{
    list.appendBox(1, 0.1 + 0.2, 1.0 / 3, 0.123456789012345, 2e-310);
    list.appendBox(2, -0.0, 0.7, 0.25, 0.5);
}

} // namespace

// The boxes of one image: edits, their undo, and the label file they are read from and saved to.
class TestBBoxList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void edit_data()
    {
        QTest::addColumn<QStringList>("boxes"); // afterwards, as the roles give them
        QTest::addColumn<QString>("emitted");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<Edit>("edit");
        const QString a = "1 0.3 0.333333 0.123457 2e-310", b = "2 0 0.7 0.25 0.5", no;
        auto row = [](const char *name, const QStringList &boxes, const QString &emitted, bool modified, Edit edit) {
            QTest::newRow(name) << boxes << emitted << modified << edit;
        };
        row("appendRow", {a, b, "3 0.5 0.25 0.1 0.1"}, "inserted 2-2", true,
            [](BBoxList &l) { l.appendRow(3, 0.5, 0.25); });
        row("appendBox, as loaders do", {a, b, "1 0.5 0.5 0.2 0.3"}, "inserted 2-2", false,
            [](BBoxList &l) { l.appendBox(1, 0.5, 0.5, 0.2, 0.3); });
        row("deleteRow first", {b}, "removed 0-0", true, [](BBoxList &l) { l.deleteRow(0); });
        row("setData ch", {a, "2 0 0.7 0.25 -0.25"}, "changed 1-1 4", true,
            [](BBoxList &l) { l.setData(l.index(1), -0.25, BBoxList::ChRole); });
        row("setData no number", {a, "2 0 0 0.25 0.5"}, "changed 1-1 2", true,
            [](BBoxList &l) { l.setData(l.index(1), "abc", BBoxList::CyRole); });
        row("catId and role 6 not written, two corners not a polygon", {a, b}, no, false, [](BBoxList &l) {
            QVERIFY(!l.setData(l.index(1), 7, 0) && !l.setData(l.index(1), 0.9, 6) && !l.data(l.index(1), 6).isValid());
            QVERIFY(!l.setPoints(1, {0.1, 0.1, 0.2, 0.2}) && !l.addPolygon(1, {0.1, 0.1, 0.2}));
        });
        row("setPoints", {a, "2 0.25 0.5 0.75 0.5 0.5 1"}, "changed 1-1 1,2,3,4,5", true, [](BBoxList &l) {
            l.setPoints(1, {0.25, 0.5, 0.75, 0.5, 0.5, 1});
        });
        // An index kept from before the rows went, as a delegate may hold.
        row("stale index", {a, b}, no, false, [](BBoxList &l) {
            const QModelIndex stale = static_cast<IndexableBBoxList &>(l).createIndex(5, 0);
            QVERIFY(!l.data(stale, BBoxList::CxRole).isValid() && !l.setData(stale, 0.2, BBoxList::CxRole));
        });
        row("setRect", {a, "2 0.1 0.2 0.3 0.4"}, "changed 1-1 1,2,3,4,5", true,
            [](BBoxList &l) { QVERIFY(l.setRect(1, 0.1, 0.2, 0.3, 0.4)); });
        row("relabelRow", {a, "42 0 0.7 0.25 0.5"}, "changed 1-1 0", true,
            [](BBoxList &l) { QVERIFY(l.relabelRow(1, 42)); });
        row("outside the list", {a, b}, no, false, [](BBoxList &l) {
            l.deleteRow(2);
            QVERIFY(!l.relabelRow(2, 7) && !l.setRect(2, 0.1, 0.1, 0.1, 0.1) && !l.boxAt(2) && !l.boxAt(-1));
        });
        row("clear", {}, "reset", false, [](BBoxList &l) { l.clear(); });
    }

    // Each edit changes what it says and announces it; one undo and one redo give
    // back the very same bits.
    void edit()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QString, emitted);
        QFETCH(bool, modified);
        QFETCH(Edit, edit);
        IndexableBBoxList list;
        ModelCheck check(&list);
        fill(list);
        const QByteArray before = bytesOf(list);
        const QStringList *log = recordSignals(list);
        QSignalSpy modifiedChanged(&list, &BBoxList::modifiedChanged);
        edit(list);
        QCOMPARE(rolesOf(list), boxes);
        QCOMPARE(log->join("; "), emitted);
        QCOMPARE(QVector<bool>({list.isModified(), modifiedChanged.count() == 1, list.canUndo()}),
                 QVector<bool>(3, modified));
        if (modified) {
            const QByteArray after = bytesOf(list);
            QVERIFY(list.undo() && bytesOf(list) == before && !list.isModified());
            QVERIFY(list.redo() && bytesOf(list) == after);
        }
        ModelCheck::verifyNone();
    }

    void savingAndReadingClearModified()
    {
        const QString file = m_dir.filePath("a.txt");
        BBoxList list;
        // Whether there is something to save, to undo and to redo.
        auto state = [&l = list] { return QString("%1%2%3").arg(l.isModified()).arg(l.canUndo()).arg(l.canRedo()); };
        list.appendRow(1, 0.5, 0.25);
        QVERIFY(!list.saveTxtFile(m_dir.filePath("missing/a.txt")));
        QCOMPARE(state(), "110");
        QVERIFY(!QFileInfo::exists(m_dir.filePath("missing")));
        QVERIFY(list.saveTxtFile(file));
        QCOMPARE(state(), "010");
        QCOMPARE(TestFiles::read(file), QByteArray("1 0.5 0.25 0.1 0.1"));

        // Undone back to what the file holds, nothing is left to save; further back, there is.
        list.appendRow(3, 0.9, 0.9);
        QVERIFY(list.undo());
        QCOMPARE(state(), "011");
        QVERIFY(list.undo());
        QCOMPARE(state(), "101");
        QVERIFY(list.redo());
        QCOMPARE(state(), "011");
    }

    // Nested groups undo as one step; steps undo and redo in order; a new edit
    // after an undo forgets what could be redone.
    void groupsUndoAsOneStep()
    {
        BBoxList list;
        ModelCheck check(&list);
        fill(list);
        const QByteArray start = bytesOf(list);
        // A resize that reports three times, each report four writes in a group of its own.
        list.beginEdit();
        for (double w : {0.3, 0.35, 0.4}) {
            list.beginEdit();
            for (int role : {BBoxList::CxRole, BBoxList::CyRole, BBoxList::CwRole, BBoxList::ChRole})
                list.setData(list.index(1), role == BBoxList::CwRole ? w : 0.5, role);
            list.endEdit();
        }
        list.endEdit();
        const QByteArray resized = bytesOf(list);
        // A press that moved nothing adds no step.
        list.beginEdit();
        list.endEdit();
        list.endEdit(); // one too many does no harm
        list.deleteRow(0);
        const QByteArray deleted = bytesOf(list);

        // Another number of boxes: one reset. The same number: rows change in place.
        const QStringList *log = recordSignals(list);
        QSignalSpy history(&list, &BBoxList::historyChanged);
        QVERIFY(list.undo() && bytesOf(list) == resized);
        QVERIFY(list.undo() && bytesOf(list) == start);
        QCOMPARE(*log, (QStringList{"reset", "changed 0-1 0,1,2,3,4,5"}));
        QCOMPARE(history.count(), 2);
        QVERIFY(!list.isModified() && !list.undo());
        QVERIFY(list.redo() && list.redo() && bytesOf(list) == deleted && !list.redo());
        list.undo();
        list.appendRow(9, 0.5, 0.5);
        QVERIFY(!list.canRedo());
        QVERIFY(list.undo() && bytesOf(list) == resized);
        ModelCheck::verifyNone();
    }

    void save_data()
    {
        QTest::addColumn<Boxes>("boxes");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("two boxes, no line feed at the end") << Boxes{{0, 0.5, 0.5, 0.1, 0.1}, {1, 0.25, 0.75, 0.2, 0.3}}
                                                            << QByteArray("0 0.5 0.5 0.1 0.1\n1 0.25 0.75 0.2 0.3");
        QTest::newRow("no boxes") << Boxes{} << QByteArray();
        QTest::newRow("six digits") << Boxes{{0, 0.123456789, 0.1 + 0.2, 0.25, 0.0001}}
                                    << QByteArray("0 0.123457 0.3 0.25 0.0001");
        QTest::newRow("negative, -0") << Boxes{{-2, -0.03, -0.0, 0.5, 0.5}} << QByteArray("-2 -0.03 0 0.5 0.5");
        QTest::newRow("rounding into another decade") << Boxes{{0, 0.9999995, 999999.5, 0.000099999, 4.9e-324}}
                                                      << QByteArray("0 1 1e+06 9.9999e-05 4.94066e-324");
        QTest::newRow("largest double") << Boxes{{0, 1.7976931348623157e308, 0.5, 0.5, 0.5}}
                                        << QByteArray("0 1.79769e+308 0.5 0.5 0.5");
    }

    void save()
    {
        QFETCH(Boxes, boxes);
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath("save.txt");
        QVERIFY(TestFiles::write(path, "an older, longer content that must go"));
        BBoxList list;
        for (const BoxInfo &b : boxes)
            list.appendBox(b.catId, b.cx, b.cy, b.cw, b.ch);
        QVERIFY(list.saveTxtFile(path));
        QCOMPARE(TestFiles::read(path), bytes);
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<Boxes>("boxes");
        QTest::addColumn<bool>("whole");
        auto row = [](const char *name, const QByteArray &bytes, const Boxes &boxes, bool whole) {
            QTest::newRow(name) << bytes << boxes << whole;
        };
        const BoxInfo box{0, 0.5, 0.5, 0.1, 0.1}, one{1, 0.5, 0.5, 0.1, 0.1};
        row("empty file", "", {}, true);
        row("missing file", QByteArray(), {}, true);
        row("crlf", "1 0.5 0.5 0.1 0.1\r\n2 0.25 0.75 0.2 0.3\r\n", {one, {2, 0.25, 0.75, 0.2, 0.3}}, true);
        row("blank lines between", "\n1 0.5 0.5 0.1 0.1\n\n \r\n", {one}, true);
        row("trailing space", "0 0.5 0.5 0.1 0.1 ", {box}, true);
        row("two spaces shift the fields", "0  0.5 0.5 0.1 0.1", {{0, 0.0, 0.5, 0.5, 0.1}}, false);
        row("six fields", "0 0.5 0.5 0.1 0.1 0.93", {box}, false);
        row("category written 1.0", "1.0 0.5 0.5 0.1 0.1", {box}, false);
        row("decimal comma", "1 0,5 0.5 0.1 0.1", {{1, 0.0, 0.5, 0.1, 0.1}}, false);
        row("signs and exponents", "+7 +0.5 -0.25 1e-05 1E+00", {{7, 0.5, -0.25, 0.00001, 1.0}}, true);
        row("short line skipped", "0 0.5 0.5\n1 0.5 0.5 0.1 0.1", {one}, false);
        static const char withZeroByte[] = "0 0.5 0.5 0.1 0.1\n\0 1 1 1 1";
        BoxInfo triangle{3, 0, 0, 0, 0}, oriented{0, 0, 0, 0, 0}, bad{3, 0, 0, 0, 0};
        triangle.setPoints({0.1, 0.2, 0.3, 0.2, 0.2, 0.4});
        bad.setPoints({0.1, 0.2, 0, 0.2, 0.2, 0.4});
        oriented.setPoints({0.5, 0.1, 0.9, 0.5, 0.5, 0.9, 0.1, 0.5});
        row("polygon and oriented box", "3 0.1 0.2 0.3 0.2 0.2 0.4\n0 0.5 0.1 0.9 0.5 0.5 0.9 0.1 0.5 \n",
            {triangle, oriented}, true);
        row("boxes and polygons mixed", "1 0.5 0.5 0.1 0.1\n3 0.1 0.2 0.3 0.2 0.2 0.4", {one, triangle}, true);
        row("odd number of coordinates", "0 0.5 0.5 0.1 0.1 0.9 0.3 0.2", {box}, false);
        row("polygon with a bad number", "3 0.1 0.2 x 0.2 0.2 0.4", {bad}, false);
        row("zero byte ends the text", QByteArray(withZeroByte, sizeof withZeroByte - 1), {box}, true);
    }

    // The file's boxes come after those already in the list, inside one reset.
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Boxes, boxes);
        QFETCH(bool, whole);
        const QString path = m_dir.filePath("load.txt");
        QFile::remove(path);
        QVERIFY(bytes.isNull() || TestFiles::write(path, bytes));
        BBoxList list;
        ModelCheck check(&list);
        list.appendRow(9, 0.25, 0.75);
        QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
        QSignalSpy inserts(&list, &QAbstractItemModel::rowsInserted);
        list.loadTxtFile(path);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(inserts.count(), 0);
        Boxes got;
        for (const auto &b : list.boxes())
            got.append(*b);
        QCOMPARE(got, (Boxes{{9, 0.25, 0.75, 0.1, 0.1}} + boxes));
        QCOMPARE(list.lastReadWhole(), whole);
        QVERIFY(!list.isModified() && !list.canUndo()); // the edit before the read is forgotten
        ModelCheck::verifyNone();
    }

    void keepLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("lost"); // what a save would lose, or why none may write
        QTest::addColumn<QByteArray>("saved");
        auto row = [](const char *name, const QByteArray &bytes, Edit edit, const QString &lost,
                      const QByteArray &saved) { QTest::newRow(name) << bytes << edit << lost << saved; };
        const QByteArray polygon("0 0.25 0.25 0.75 0.25 0.75 0.75"), score("2 0.5 0.5 0.2 0.2 0.9");
        row(
            "polygon kept, box added", polygon + "\n1 0.5 0.5 0.2 0.2\n", [](BBoxList &l) { l.appendRow(2, 0.5, 0.5); },
            "", polygon + "\n1 0.5 0.5 0.2 0.2\n2 0.5 0.5 0.1 0.1\n");
        const QByteArray kept =
            QByteArray("\xEF\xBB\xBF") + "0 0.5 0.5 0.2 0.2\n\n" + score + "\r\n0\t0.5\t0.5\t0.1\t0.1\n";
        row(
            "BOM, blank line, score, tabs kept, other box edited", kept + "1 0.5 0.5 0.2 0.2",
            [](BBoxList &l) { l.setRect(2, 0.25, 0.25, 0.1, 0.1); }, "", kept + "1 0.25 0.25 0.1 0.1");
        row(
            "whole box before them deleted", "0 0.5 0.5 0,2 0.2\n1 0.5 0.5 0.2 0.2\n" + score,
            [](BBoxList &l) { l.deleteRow(1); }, "", "0 0.5 0.5 0,2 0.2\n" + score);
        row(
            "polygon moved", polygon + "\n" + score,
            [](BBoxList &l) { l.setData(l.index(0), 0.375, BBoxList::CxRole); }, "",
            "0 0.125 0.25 0.625 0.25 0.625 0.75\n" + score);
        row(
            "edit undone", polygon, [](BBoxList &l) { l.relabelRow(0, 1), l.undo(); }, "", polygon);
        row(
            "deleted and edited", polygon + "\n" + polygon + "\n" + score + "\n0 0.5 0.5 0.2 1e999\n",
            [](BBoxList &l) { l.deleteRow(0), l.deleteRow(0), l.deleteRow(0), l.relabelRow(0, 3); },
            "x.txt: 1 deleted line with extra fields will be dropped; 1 line with text that is not a number will be "
            "written as a plain box.",
            "3 0.5 0.5 0.2 0\n");
        // Read whole: the lines of untouched boxes and polygons keep their digits and line ends.
        const QByteArray odd("0 0.250 0.25 0.75 0.25 0.75 0.75\r\n1 .5 0.5 0.2 0.2\r\n");
        row(
            "vertex dragged", odd,
            [](BBoxList &l) {
                l.setPoints(0, {0.25, 0.25, 0.5, 0.125, 0.75, 0.75});
            },
            "", "0 0.25 0.25 0.5 0.125 0.75 0.75\r\n1 .5 0.5 0.2 0.2\r\n");
        row(
            "polygon relabelled, box deleted", odd, [](BBoxList &l) { l.relabelRow(0, 4), l.deleteRow(1); }, "",
            "4 0.25 0.25 0.75 0.25 0.75 0.75\r\n");
        row(
            "polygon drawn, box scaled", odd,
            [](BBoxList &l) {
                l.addPolygon(2, {0.5, 0.5, 1, 0.5, 1, 1, 0.5, 1}), l.setRect(1, 0.5, 0.5, 0.4, 0.2);
            },
            "", "0 0.250 0.25 0.75 0.25 0.75 0.75\r\n1 0.5 0.5 0.4 0.2\r\n2 0.5 0.5 1 0.5 1 1 0.5 1\r\n");
        row("not finite", "0 0.5 0.5 0.2 0.2",
            [](BBoxList &l) { l.setRect(0, std::numeric_limits<double>::infinity(), 0.5, 0.2, 0.2); },
            "a box holds a number that is not finite", {});
    }

    // Lines not read whole go back as they were while their box is unchanged; a save
    // that would lose one writes only when told to; some saves may not write at all.
    void keepLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Edit, edit);
        QFETCH(QString, lost);
        QFETCH(QByteArray, saved);
        const QString path = m_dir.filePath("x.txt");
        QVERIFY(TestFiles::write(path, bytes));
        BBoxList list;
        list.loadTxtFile(path);
        edit(list);
        const QString refusal = list.saveRefusal();
        QCOMPARE(refusal.isEmpty() ? list.lostOnSave(path) : refusal, lost);
        QCOMPARE(list.saveTxtFile(path), lost.isEmpty());
        QCOMPARE(TestFiles::read(path), lost.isEmpty() ? saved : bytes);
        QCOMPARE(list.saveTxtFile(path, true), refusal.isEmpty());
        QCOMPARE(TestFiles::read(path), refusal.isEmpty() ? saved : bytes);
        // Nothing left to lose; undone to the start, a save gives back the file as read
        // (a file read whole keeps only the digits still on disk).
        QVERIFY(list.lostOnSave(path).isEmpty());
        while (list.canUndo())
            list.undo();
        QVERIFY(list.saveTxtFile(path));
        if (!list.lastReadWhole())
            QCOMPARE(TestFiles::read(path), bytes);
    }

    // A save that stops part-way, as on a full disk, leaves the file, the folder and the list as they were.
    void fullDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("full.txt");
        QVERIFY(TestFiles::write(path, "0 0.5 0.5 0.1 0.1"));
        BBoxList list;
        for (int i = 0; i < 100; ++i)
            list.appendRow(1, i / 100.0, 0.5);
        bool saved = true;
        {
            FileSizeLimit limit(100);
            saved = list.saveTxtFile(path);
        }
        QVERIFY(!saved && list.isModified());
        QCOMPARE(list.rowCount(), 100);
        QCOMPARE(TestFiles::read(path), QByteArray("0 0.5 0.5 0.1 0.1"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"full.txt"});
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestBBoxList)
#include "tst_bboxlist.moc"
