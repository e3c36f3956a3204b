#ifndef BOXMERE_BBOXLIST_H
#define BOXMERE_BBOXLIST_H

#include "boxes/boxhistory.h"
#include "boxes/boxinfo.h"

#include <QAbstractListModel>
#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QVariantList>
#include <QVector>

#include <memory>

namespace YoloLabelFile {
struct ReadResult;
}

// The boxes of one image. Roles are numbered from 0: catId, cx, cy, cw, ch.
// Every list is marked C++-owned at construction, so QML never deletes one it
// received through a model role.
class BBoxList : public QAbstractListModel
{
    Q_OBJECT
    // True after an edit, until the list is saved or read again: it outlives the
    // views that showed the edit.
    Q_PROPERTY(bool modified READ isModified NOTIFY modifiedChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY historyChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY historyChanged)

public:
    enum Role
    {
        CatIdRole = 0,
        CxRole,
        CyRole,
        CwRole,
        ChRole,
        // A polygon's corners as a list x1, y1, x2, y2, ...; empty for a plain box.
        PointsRole
    };

    BBoxList();
    ~BBoxList() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Accepts the four coordinate roles only; the category is fixed once a box exists.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    // Appends the boxes of a label file inside one model reset, keeping those already here.
    void loadTxtFile(const QString &txtFile);
    // The same for a label file that was read and parsed elsewhere (e.g. on a worker thread).
    void appendRead(const YoloLabelFile::ReadResult &read);
    // Removes every box inside one model reset; the object stays valid for QML.
    void clear();
    // Appends one box as one row insertion.
    void appendBox(int catId, double cx, double cy, double cw, double ch);
    // The same for a polygon of x, y pairs (three corners or more).
    void appendPolygon(int catId, const QVector<double> &points);
    int polygonCount() const;
    // A polygon's corners as the points role gives them (x1, y1, x2, y2, ...), and back.
    static QVariantList toVariantList(const QVector<double> &points);
    static QVector<double> fromVariantList(const QVariantList &points);
    // The box at row, or null for a row outside the list.
    std::shared_ptr<BoxInfo> boxAt(int row) const;
    // All boxes in row order, for the writers.
    const QVector<std::shared_ptr<BoxInfo>> &boxes() const { return m_boxes; }
    // The boxes as the image-list JSON document stores them: objects with
    // "catId", "cx", "cy", "cw" and "ch", in row order.
    QJsonArray toJsonArray() const;

    // What a save would lose of the lines not read whole, because their box was
    // edited or deleted since: "name.txt: 3 lines with extra fields will be
    // written as plain boxes."; "" when a save loses nothing.
    QString lostOnSave(const QString &txtFile) const;
    // Why no save may write the boxes, whatever the user says: the label file could
    // not be read, or a box holds a number that is not finite; "" when one may.
    QString saveRefusal() const;
    // True when the file can be read and does not hold these very boxes, in this
    // order, all read whole: only then does writing them change what counts.
    bool fileDiffers(const QString &txtFile) const;

    bool isModified() const { return m_modified; }
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }

Q_SIGNALS:
    void modifiedChanged();
    void historyChanged();

public Q_SLOTS:
    // Writes all boxes to the label file; true only when the whole file was written.
    // Lines not read whole go back as they were, in their place, while their box is
    // unchanged; a save that would lose one writes nothing unless told to lose them.
    bool saveTxtFile(const QString &txtFile, bool loseLines = false);
    // Appends a box of a tenth of the image on each side, centred on (cx, cy).
    void appendRow(int catId, double cx, double cy);
    void deleteRow(int index);
    // Appends a box of the given size, e.g. one drawn by hand.
    void appendRect(int catId, double cx, double cy, double cw, double ch);
    // Gives the box at index another category; false for a row outside the list.
    bool relabelRow(int index, int catId);
    // Sets the four coordinates of the box at index as one edit; a polygon's corners
    // move and scale with its bounding box.
    bool setRect(int index, double cx, double cy, double cw, double ch);
    // Gives the polygon (or box) at index these corners, as one edit; false for a row
    // outside the list or fewer than three x, y pairs.
    bool setPoints(int index, const QVector<double> &points);
    // Appends a polygon made by hand, as one edit.
    bool addPolygon(int catId, const QVector<double> &points);
    // Edits until endEdit() undo as one step.
    void beginEdit() { m_history.beginGroup(); }
    void endEdit() { m_history.endGroup(); }
    // Go back to the boxes before the last edit, or forward again; false when
    // there is nothing to undo or redo.
    bool undo();
    bool redo();
    // Forgets every step, e.g. when an image is opened for editing.
    void clearHistory();
    // False when the last read met a line it could not take over whole, or could
    // not read the file at all; true again once a save left only whole lines.
    bool lastReadWhole() const { return m_savedWhole && !m_unreadable; }

private:
    // Called before every edit a user makes.
    void aboutToEdit();
    void setModified(bool modified);
    BoxHistory::State state() const;
    void restore(const BoxHistory::State &state);
    struct Losses;
    // The file's text after a save. onDisk is what the file holds now, for a list
    // read whole: its lines that still hold a box's values are kept as they are.
    QByteArray toText(Losses &losses, const QByteArray &onDisk = QByteArray()) const;

    QHash<int, QByteArray> m_roleNames;
    // A vector, not a QList: QList would allocate every shared pointer separately.
    QVector<std::shared_ptr<BoxInfo>> m_boxes;
    // The text of the label file as read, when it held lines that were not taken
    // whole, and those of them that a save since wrote as plain boxes or left out.
    QByteArray m_text;
    QSet<int> m_settled;
    bool m_savedWhole = true; // the file holds only whole lines
    bool m_unreadable = false;
    bool m_modified = false;
    // The boxes as last loaded or saved, once an edit was made after that.
    BoxHistory::State m_savedState;
    BoxHistory m_history;
};

#endif
