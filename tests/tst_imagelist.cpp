#include "images/imagelist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"

namespace {

std::shared_ptr<ImageInfo> makeImage(int id, const QString &name, const QString &labelPath, int boxes = 0)
{
    auto image = std::make_shared<ImageInfo>();
    image->id = id;
    image->fileName = name;
    image->filePath = QStringLiteral("/images/%1.jpg").arg(name);
    image->width = 640;
    image->height = 480;
    image->bboxes = std::make_unique<BBoxList>();
    for (int i = 0; i < boxes; ++i)
        image->bboxes->appendRow(i, 0.5, 0.5);
    image->yoloTxtFilePath = labelPath;
    return image;
}

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

QStringList names(const ImageList &list)
{
    QStringList out;
    for (int i = 0; i < list.rowCount(); ++i)
        out << list.data(list.index(i), ImageList::BaseFileNameRole).toString();
    return out;
}

} // namespace

class TestImageList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void roleNames();
    void data_data();
    void data();
    void repeatedIds();
    void removeRow_data();
    void removeRow();

private:
    ImageList *m_list = nullptr;
    std::unique_ptr<ModelCheck> m_check;
    QTemporaryDir m_dir;
};

void TestImageList::init()
{
    m_list = ImageList::instance();
    m_list->loadImages({}, true);
    m_check = std::make_unique<ModelCheck>(m_list);
}

void TestImageList::cleanup()
{
    m_check.reset();
    ModelCheck::verifyNone();
}

void TestImageList::roleNames()
{
    const QHash<int, QByteArray> expected{{0, "imgBaseFileName"}, {1, "imgFilePath"}, {2, "imgWidth"},
                                          {3, "imgHeight"},       {4, "imgBBoxes"},   {5, "yoloTxtFilePath"},
                                          {6, "imgProblems"}};
    QCOMPARE(m_list->roleNames(), expected);
}

void TestImageList::data_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("base name") << 0 << QVariant("cat");
    QTest::newRow("image path") << 1 << QVariant("/images/cat.jpg");
    QTest::newRow("width") << 2 << QVariant(640);
    QTest::newRow("height") << 3 << QVariant(480);
    QTest::newRow("label path") << 5 << QVariant("/labels/cat.txt");
    QTest::newRow("problems") << 6 << QVariant(QVariantList());
    QTest::newRow("role 7") << 7 << QVariant();
    QTest::newRow("user role") << int(Qt::UserRole) << QVariant();
}

void TestImageList::data()
{
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    m_list->loadImages({makeImage(1, "cat", "/labels/cat.txt")}, true);
    const QVariant value = m_list->data(m_list->index(0), role);
    QCOMPARE(value, expected);
    QCOMPARE(value.userType(), expected.userType());
    QVERIFY(!m_list->data(m_list->index(1), role).isValid());
}

void TestImageList::repeatedIds()
{
    auto first = makeImage(7, "first", "");
    auto second = makeImage(7, "second", "");
    m_list->loadImages({first, second}, true);
    QCOMPARE(m_list->rowCount(), 2);
    QCOMPARE(m_list->imageById(7), second);
}

void TestImageList::removeRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("labelExists");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("first") << 0 << true << QStringList{"b", "c"};
    QTest::newRow("middle") << 1 << true << QStringList{"a", "c"};
    QTest::newRow("label file gone") << 1 << false << QStringList{"a", "b", "c"};
    QTest::newRow("no label path") << 2 << true << QStringList{"a", "b", "c"};
    QTest::newRow("row past the end") << 3 << true << QStringList{"a", "b", "c"};
    QTest::newRow("negative row") << -1 << true << QStringList{"a", "b", "c"};
}

void TestImageList::removeRow()
{
    QFETCH(int, row);
    QFETCH(bool, labelExists);
    QFETCH(QStringList, remaining);
    const QString a = m_dir.filePath("a.txt");
    const QString b = m_dir.filePath("b.txt");
    const QString image = m_dir.filePath("b.jpg");
    QVERIFY(touch(a));
    QVERIFY(touch(image));
    if (labelExists)
        QVERIFY(touch(b));
    else
        QFile::remove(b);
    m_list->loadImages({makeImage(1, "a", a), makeImage(2, "b", b), makeImage(3, "c", "")}, true);

    QSignalSpy removed(m_list, &QAbstractItemModel::rowsRemoved);
    m_list->removeRow(row);
    QCOMPARE(names(*m_list), remaining);
    const bool gone = remaining.size() == 2;
    QCOMPARE(removed.count(), gone ? 1 : 0);
    if (gone) {
        QCOMPARE(removed.at(0).at(1).toInt(), row);
        QVERIFY(!QFileInfo::exists(row == 0 ? a : b));
        QVERIFY(!m_list->imageById(row + 1));
    }
    QVERIFY(QFileInfo::exists(image));
}

QTEST_GUILESS_MAIN(TestImageList)
#include "tst_imagelist.moc"
