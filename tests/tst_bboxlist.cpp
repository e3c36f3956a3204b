#include "boxes/bboxlist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "modelcheck.h"
#include "testfiles.h"

namespace {

using Edit = std::function<void(BBoxList &)>;

// Reaches the protected index factory to build indexes past the last row.
struct IndexableBBoxList : BBoxList
{
    using BBoxList::createIndex;
};

// The boxes as raw bytes: equal only when every double is the very same.
QByteArray bytesOf(const BBoxList &list)
{
    QByteArray out;
    for (const auto &box : list.boxes()) {
        out.append(reinterpret_cast<const char *>(&box->catId), sizeof box->catId);
        for (double v : {box->cx, box->cy, box->cw, box->ch})
            out.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
    return out;
}

// The boxes as the roles give them, one "cat cx cy cw ch" per row.
QStringList rolesOf(const BBoxList &list)
{
    QStringList out;
    for (int row = 0; row < list.rowCount(); ++row) {
        QStringList fields;
        for (int role = BBoxList::CatIdRole; role <= BBoxList::ChRole; ++role)
            fields << QString::number(list.data(list.index(row), role).toDouble());
        out << fields.join(' ');
    }
    return out;
}

// Every model signal as text, in the order it came.
QStringList *recordSignals(BBoxList &list)
{
    auto *log = new QStringList;
    QObject::connect(&list, &QObject::destroyed, [log] { delete log; });
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, [log](const QModelIndex &, int first, int last) {
        *log << QString("inserted %1-%2").arg(first).arg(last);
    });
    QObject::connect(&list, &QAbstractItemModel::rowsRemoved, [log](const QModelIndex &, int first, int last) {
        *log << QString("removed %1-%2").arg(first).arg(last);
    });
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

Q_DECLARE_METATYPE(Edit)

class TestBBoxList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void edit_data();
    void edit();
    void rowsOutsideTheList();
    void savingAndReadingClearModified();
    void groupsUndoAsOneStep();
    void undoSignals();
};

void TestBBoxList::edit_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QStringList>("boxes"); // afterwards, as the roles give them
    QTest::addColumn<QString>("emitted");
    QTest::addColumn<bool>("modified");
    const QString a = "1 0.3 0.333333 0.123457 2e-310", b = "2 0 0.7 0.25 0.5", no;
    auto row = [](const char *name, Edit edit, const QStringList &boxes, const QString &emitted, bool modified) {
        QTest::newRow(name) << edit << boxes << emitted << modified;
    };
    row(
        "appendRow", [](BBoxList &l) { l.appendRow(3, 0.5, 0.25); }, {a, b, "3 0.5 0.25 0.1 0.1"}, "inserted 2-2",
        true);
    row(
        "appendRect", [](BBoxList &l) { l.appendRect(1, 0.5, 0.5, 0.2, 0.3); }, {a, b, "1 0.5 0.5 0.2 0.3"},
        "inserted 2-2", true);
    row(
        "appendBox, as loaders do", [](BBoxList &l) { l.appendBox(1, 0.5, 0.5, 0.2, 0.3); },
        {a, b, "1 0.5 0.5 0.2 0.3"}, "inserted 2-2", false);
    row(
        "deleteRow first", [](BBoxList &l) { l.deleteRow(0); }, {b}, "removed 0-0", true);
    row(
        "deleteRow last", [](BBoxList &l) { l.deleteRow(1); }, {a}, "removed 1-1", true);
    row(
        "deleteRow -1", [](BBoxList &l) { l.deleteRow(-1); }, {a, b}, no, false);
    row(
        "deleteRow count", [](BBoxList &l) { l.deleteRow(2); }, {a, b}, no, false);
    row(
        "setData cx", [](BBoxList &l) { l.setData(l.index(1), 0.7, 1); }, {a, "2 0.7 0.7 0.25 0.5"}, "changed 1-1 1",
        true);
    row(
        "setData cy", [](BBoxList &l) { l.setData(l.index(1), 0.6, 2); }, {a, "2 0 0.6 0.25 0.5"}, "changed 1-1 2",
        true);
    row(
        "setData cw", [](BBoxList &l) { l.setData(l.index(1), 1.5, 3); }, {a, "2 0 0.7 1.5 0.5"}, "changed 1-1 3",
        true);
    row(
        "setData ch", [](BBoxList &l) { l.setData(l.index(1), -0.25, 4); }, {a, "2 0 0.7 0.25 -0.25"}, "changed 1-1 4",
        true);
    row(
        "setData no number", [](BBoxList &l) { l.setData(l.index(1), "abc", 2); }, {a, "2 0 0 0.25 0.5"},
        "changed 1-1 2", true);
    row(
        "setData catId", [](BBoxList &l) { QVERIFY(!l.setData(l.index(1), 7, 0)); }, {a, b}, no, false);
    row(
        "setData role 5", [](BBoxList &l) { QVERIFY(!l.setData(l.index(1), 0.9, 5)); }, {a, b}, no, false);
    row(
        "setData user role", [](BBoxList &l) { QVERIFY(!l.setData(l.index(1), 0.9, Qt::UserRole)); }, {a, b}, no,
        false);
    row(
        "setRect", [](BBoxList &l) { QVERIFY(l.setRect(1, 0.1, 0.2, 0.3, 0.4)); }, {a, "2 0.1 0.2 0.3 0.4"},
        "changed 1-1 1,2,3,4", true);
    row(
        "relabelRow", [](BBoxList &l) { QVERIFY(l.relabelRow(1, 42)); }, {a, "42 0 0.7 0.25 0.5"}, "changed 1-1 0",
        true);
    row(
        "relabelRow outside", [](BBoxList &l) { QVERIFY(!l.relabelRow(2, 7)); }, {a, b}, no, false);
    row(
        "undo with no history", [](BBoxList &l) { QVERIFY(!l.undo()); }, {a, b}, no, false);
    row(
        "clear", [](BBoxList &l) { l.clear(); }, {}, "reset", false);
}

// Each edit changes what it says and announces it; one undo and one redo give
// back the very same bits.
void TestBBoxList::edit()
{
    QFETCH(Edit, edit);
    QFETCH(QStringList, boxes);
    QFETCH(QString, emitted);
    QFETCH(bool, modified);
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    const QByteArray before = bytesOf(list);
    const QStringList *log = recordSignals(list);
    QSignalSpy modifiedChanged(&list, &BBoxList::modifiedChanged);
    edit(list);
    QCOMPARE(rolesOf(list), boxes);
    QCOMPARE(log->join("; "), emitted);
    QCOMPARE(list.isModified(), modified);
    QCOMPARE(modifiedChanged.count(), modified ? 1 : 0);
    QCOMPARE(list.canUndo(), modified);
    if (modified) {
        const QByteArray after = bytesOf(list);
        QVERIFY(list.undo());
        QCOMPARE(bytesOf(list), before);
        QVERIFY(!list.isModified());
        QVERIFY(list.redo());
        QCOMPARE(bytesOf(list), after);
    }
    ModelCheck::verifyNone();
}

void TestBBoxList::rowsOutsideTheList()
{
    IndexableBBoxList list;
    ModelCheck check(&list);
    list.appendRow(1, 0.5, 0.5);
    QCOMPARE(list.roleNames(), (QHash<int, QByteArray>{{0, "catId"}, {1, "cx"}, {2, "cy"}, {3, "cw"}, {4, "ch"}}));
    QCOMPARE(list.rowCount(list.index(0)), 0);
    const QModelIndex outside = list.createIndex(5, 0);
    const QStringList *log = recordSignals(list);
    for (int role : {int(BBoxList::CxRole), BBoxList::ChRole + 1, int(Qt::UserRole)}) {
        QVERIFY(!list.data(outside, role).isValid());
        QVERIFY(!list.data(QModelIndex(), role).isValid());
        QCOMPARE(list.data(list.index(0), role).isValid(), role == BBoxList::CxRole);
    }
    QVERIFY(!list.setData(outside, 0.2, BBoxList::CxRole));
    QVERIFY(!list.setData(QModelIndex(), 0.2, BBoxList::CxRole));
    QVERIFY(!list.setRect(1, 0.1, 0.1, 0.1, 0.1));
    QVERIFY(!list.boxAt(1));
    QVERIFY(!list.boxAt(-1));
    QCOMPARE(*log, QStringList());
    QCOMPARE(rolesOf(list), QStringList{"1 0.5 0.5 0.1 0.1"});
    ModelCheck::verifyNone();
}

void TestBBoxList::savingAndReadingClearModified()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    BBoxList list;
    // Whether there is something to save, to undo and to redo.
    auto state = [&list] { return QString("%1%2%3").arg(list.isModified()).arg(list.canUndo()).arg(list.canRedo()); };
    list.appendRow(1, 0.5, 0.25);
    QVERIFY(!list.saveTxtFile(dir.filePath("missing/a.txt")));
    QCOMPARE(state(), "110");
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
    QVERIFY(list.redo());
    QCOMPARE(state(), "110");
    QVERIFY(list.undo());

    // Reading the file again, or clearing, forgets the edits and the history.
    list.clear();
    QCOMPARE(state(), "000");
    list.appendRow(2, 0.1, 0.1);
    list.loadTxtFile(file);
    QCOMPARE(state(), "000");
    QCOMPARE(list.rowCount(), 2);
}

// Nested groups undo as one step; steps undo and redo in order; a new edit
// after an undo forgets what could be redone.
void TestBBoxList::groupsUndoAsOneStep()
{
    BBoxList list;
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

    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), resized);
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), start);
    QVERIFY(!list.undo());
    QVERIFY(list.redo());
    QCOMPARE(bytesOf(list), resized);
    QVERIFY(list.redo());
    QCOMPARE(bytesOf(list), deleted);
    QVERIFY(!list.redo());
    list.undo();
    list.undo();
    list.appendRow(9, 0.5, 0.5);
    QVERIFY(!list.canRedo());
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), start);
}

void TestBBoxList::undoSignals()
{
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    list.setData(list.index(1), 0.9, BBoxList::CxRole);
    list.appendRow(1, 0.5, 0.5);
    const QStringList *log = recordSignals(list);
    QSignalSpy history(&list, &BBoxList::historyChanged);
    // Another number of boxes: one reset. The same number: rows change in place.
    list.undo();
    list.undo();
    QCOMPARE(*log, (QStringList{"reset", "changed 0-1 0,1,2,3,4"}));
    QCOMPARE(history.count(), 2);
    QVERIFY(!list.isModified());
    ModelCheck::verifyNone();
}

QTEST_GUILESS_MAIN(TestBBoxList)
#include "tst_bboxlist.moc"
