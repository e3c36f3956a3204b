#ifndef BOXMERE_EDITSESSION_H
#define BOXMERE_EDITSESSION_H

#include "boxes/bboxlist.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QVariantList>

class ImageFilter;
class ImageList;

// The image open for editing and the rules of editing it: what opening, leaving,
// saving and resetting do to its label file, which box is selected, and what each
// edit does to its boxes. The window draws; this decides. QML sees it as the
// singleton EditSession of the module Boxmere 1.0.
class EditSession : public QObject
{
    Q_OBJECT
    // The image-list row open for editing, or -1.
    Q_PROPERTY(int row READ row NOTIFY rowChanged)
    // The open image's row among the rows the filter shows, or -1.
    Q_PROPERTY(int shownRow READ shownRow NOTIFY rowChanged)
    Q_PROPERTY(BBoxList *boxes READ boxes NOTIFY rowChanged)
    // The selected box of the open image, or -1.
    Q_PROPERTY(int selected READ selected WRITE select NOTIFY selectedChanged)
    // True while the open image's boxes differ from its label file.
    Q_PROPERTY(bool canSave READ canSave NOTIFY canSaveChanged)
    // What went wrong with the last save, reset or attempt to leave; "" after success.
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)
    // "Saved a.txt" after the user's own save, until the next edit, error or image.
    Q_PROPERTY(QString saveNote READ saveNote NOTIFY saveNoteChanged)
    // The category drawn boxes take: the one picked last, or the first category
    // when that is not in the list (any more).
    Q_PROPERTY(int category READ category NOTIFY categoryChanged)
    Q_PROPERTY(QVariantList categories READ categories WRITE setCategories NOTIFY categoryChanged)

public:
    EditSession(ImageList *images, ImageFilter *shown, QObject *parent = nullptr);

    int row() const { return m_row; }
    int shownRow() const { return m_row < 0 ? -1 : m_shownRow; }
    BBoxList *boxes() const;
    int selected() const { return m_selected; }
    bool canSave() const;
    QString saveError() const { return m_saveError; }
    QString saveNote() const { return m_saveNote; }
    int category() const;
    QVariantList categories() const { return m_categories; }
    void setCategories(const QVariantList &categories);
    // What saving the open image would lose of lines not read whole, as the question
    // to ask before; "" when it loses nothing.
    Q_INVOKABLE QString saveQuestion() const;
    // Whether a left press inside a box, at a point in pixels of a picture shown at
    // size, draws a new box instead of taking hold of that one: with the modifier, or
    // in a box larger than a quarter of the picture, more than margin from its edges.
    Q_INVOKABLE bool pressDraws(int box, QPointF at, QSizeF size, qreal margin, bool modifier) const;
    // The box a click at a point selects: the smallest that holds it, or -1.
    Q_INVOKABLE int boxAt(QPointF at, QSizeF size) const;

Q_SIGNALS:
    void rowChanged();
    void selectedChanged();
    void canSaveChanged();
    void saveErrorChanged();
    void saveNoteChanged();
    void categoryChanged();

public Q_SLOTS:
    void select(int box);
    // Opens a row of those shown, forgetting the undo steps of its boxes. Opening
    // writes the label file in the tool's own layout when it holds other boxes, but
    // never one with lines not read whole; a picture without a label file gets one
    // when saved.
    bool open(int shownRow);
    void close();
    // Writes nothing when that would lose lines not read whole: saveQuestion() then
    // says what, and saveAnyway() saves all the same.
    bool save();
    bool saveAnyway();
    // Reads the label file again; when it cannot be read the boxes stay as they are.
    bool reset();
    // Saves edits before next or previous leaves the image, as save() does.
    bool saveBeforeLeaving();
    // The shown row delta rows from the open one, or -1 past either end.
    int stepTarget(int delta) const;
    bool undo();
    bool redo();
    // A drag of a box is one step to undo, however many moves it reports.
    void beginDrag();
    void endDrag();
    void pickCategory(int catId);

    // A box a tenth of the picture on each side, centred on a point in pixels of a
    // picture shown at size, or as near it as the box stays inside the picture;
    // nothing for a picture not shown.
    void addBox(int catId, QPointF at, QSizeF size);
    // A box of the current category between two corners, in pixels of a picture
    // shown at size; nothing for a picture not shown or a box without area.
    void drawBox(QPointF from, QPointF to, QSizeF size);
    void setBoxRect(int box, qreal cx, qreal cy, qreal cw, qreal ch);
    void deleteBox(int box);
    void deleteSelected();
    void relabelSelected(int catId);
    // Moves the selected box by whole pixels of the picture (of shown when its size
    // is unknown), but not further out of it than it already is.
    void moveSelected(int dx, int dy, QSizeF shown);

private:
    void setSaveError(const QString &error);
    void setSaveNote(const QString &note);
    bool write(bool loseLines, bool announce = true);
    void watch(BBoxList *list);

    ImageList *m_images;
    ImageFilter *m_shown;
    int m_row = -1;
    int m_shownRow = -1;
    int m_selected = -1;
    QString m_saveError;
    QString m_saveNote;
    QVariantList m_categories;
    QVariant m_picked;
    QPointer<BBoxList> m_watched;
};

#endif
