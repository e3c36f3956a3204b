#ifndef BOXMERE_IMAGELIST_H
#define BOXMERE_IMAGELIST_H

#include "boxes/bboxlist.h"
#include "boxes/prediction.h"
#include "checks/labelcheck.h"
#include "formats/yolofolder.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>
#include <optional>

// One image under review, with the box list it owns.
struct ImageInfo
{
    int id = 0;
    QString fileName; // base name, shown as the tile's caption
    QString filePath; // the image file
    int width = 0;
    int height = 0;
    std::unique_ptr<BBoxList> bboxes;
    QString yoloTxtFilePath; // empty for rows that have no label file
    QVector<LabelCheck::Problem> problems;
    // A model's predictions for the picture, only ever read: nothing writes them back.
    QVector<Prediction> predictions;
};

// The process-wide list of images, one row per image. QML sees it as the
// singleton ImageList of the module Boxmere 1.0. Roles are numbered from 0.
class ImageList : public QAbstractListModel
{
    Q_OBJECT
    // The label file trashRow() moved to the trash last, while restoreTrashed() can
    // bring it back; "" when there is none.
    Q_PROPERTY(QString trashedFile READ trashedFile NOTIFY trashedChanged)

public:
    using ImageInfo = ::ImageInfo;
    enum Role
    {
        BaseFileNameRole = 0,
        FilePathRole,
        WidthRole,
        HeightRole,
        BBoxesRole,
        YoloTxtFilePathRole,
        ProblemsRole,
    };

    ~ImageList() override;

    // The process-wide object; creates and registers it on first use.
    static ImageList *instance();
    // Allocates the object and registers it with QML; true when it allocated one.
    static bool createInstance();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Appends a record; the id index then points its id at it. Emits nothing:
    // callers add records only inside a load reset.
    void addImage(std::shared_ptr<ImageInfo> record);
    // Adds records inside one model reset, the reset every loader runs in; with
    // replace the list is emptied first.
    void loadImages(QList<std::shared_ptr<ImageInfo>> records, bool replace);
    // Replaces the list with one row per label file of a folder scan, in one reset.
    void loadYoloScan(const YoloFolder::Scan &scan);
    // One record per label file of a scan, ids from 1, problems taken from the scan.
    static QList<std::shared_ptr<ImageInfo>> recordsFromScan(const YoloFolder::Scan &scan);
    // All rows, in row order.
    const QVector<std::shared_ptr<ImageInfo>> &images() const { return m_images; }
    // The class numbers the checks hold boxes against; null for no class list.
    void setCheckClasses(const QSet<int> *classes);
    const QSet<int> *checkClasses() const { return m_checkClasses ? &*m_checkClasses : nullptr; }
    // The record at row, or null for a row outside the list.
    std::shared_ptr<ImageInfo> imageAt(int row) const;
    // The record the id index holds for id (the last row with that id), or null.
    std::shared_ptr<ImageInfo> imageById(int id) const;
    QString trashedFile() const { return m_trashed.image ? m_trashed.image->yoloTxtFilePath : QString(); }

Q_SIGNALS:
    void readFileCompleted();
    void trashedChanged();

public Q_SLOTS:
    // Replaces the list with the COCO images that exist in imagesDir (by default the
    // folder of imagesFile) and keep a box of category 1; emits readFileCompleted().
    void loadCocoJson(const QString &imagesFile, const QString &annsFile, const QString &imagesDir = QString());
    // Appends the images of an image-list JSON document to the list.
    void loadJson(const QString &json);
    // Replaces the list with one row per "*.txt" file of txtPath, its image "<base>.jpg" in
    // imagePath, or when that does not exist the first picture of another type with that base.
    void loadYolo(const QString &txtPath, const QString &imagePath);
    void exportJson(const QString &json);
    // Writes one label file per row into dir, which must exist.
    void exportYolo(const QString &dir);
    // Reads the row's boxes again from its label file, keeping the same box-list object.
    // False, the boxes untouched, when the row has no label file or it cannot be read.
    bool yoloReloadRow(int row);
    // The rows whose boxes changed since they were last read or saved.
    QList<int> unsavedRows() const;
    // What saving each such row would lose of lines not read whole, one sentence a
    // row that would lose some.
    QStringList lostOnSave() const;
    // Saves every such row to its label file; returns the files (or, for rows
    // without one, the image names) that could not be saved, with why when a save
    // may not write them. Rows that would lose lines are saved only with loseLines.
    QStringList saveAll(bool loseLines = false);
    QString filePathAt(int row) const;
    QString labelFilePathAt(int row) const;
    // The picture's size in pixels, read from the file's header once and kept in
    // the row; an invalid size when it cannot be read.
    QSize pictureSize(int row);
    // Deletes the row's label file and, only when that succeeded, removes the row.
    void removeRow(int row);
    // Moves the row's label file to the desktop's trash and removes the row; false,
    // the row kept, when the file cannot go there (e.g. a file system without trash).
    bool trashRow(int row);
    // Moves the last trashed label file back and its row, with its boxes, back to its
    // place; false when the file cannot go back or another file took its name.
    bool restoreTrashed();
    // Checks the row's boxes again after edits; announces imgProblems when they changed.
    void checkRow(int row);
    // Announces that the row's boxes were edited in place, so that what counts or
    // matches them follows, and checks them again.
    void boxesEdited(int row);

private:
    ImageList();

    QHash<int, QByteArray> m_roleNames;
    // A vector, not a QList: QList would allocate every shared pointer separately.
    QVector<std::shared_ptr<ImageInfo>> m_images;
    mutable QHash<int, std::shared_ptr<ImageInfo>> m_imagesById; // valid while m_indexValid
    mutable bool m_indexValid = true;
    // Rows replaced by a load or removed, kept until m_releaseTimer fires.
    QVector<QVector<std::shared_ptr<ImageInfo>>> m_released;
    QTimer m_releaseTimer;
    std::optional<QSet<int>> m_checkClasses;
    struct Trashed
    {
        int row = -1;
        std::shared_ptr<ImageInfo> image;
        QString inTrash; // where the trash keeps the file
    } m_trashed;

    static ImageList *s_instance;
};

#endif
