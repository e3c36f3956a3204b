#ifndef BOXMERE_EDITSESSION_H
#define BOXMERE_EDITSESSION_H

#include "boxes/bboxlist.h"
#include "boxes/prediction.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantList>

class ImageFilter;
class ImageList;
class PredictionMatcher;

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
    // The selected corner of the selected polygon, or -1.
    Q_PROPERTY(int vertex READ vertex WRITE selectVertex NOTIFY vertexChanged)
    // While a polygon is drawn click by click: its corners so far, x, y pairs as
    // fractions of the picture.
    Q_PROPERTY(bool drawingPolygon READ drawingPolygon NOTIFY draftChanged)
    Q_PROPERTY(QVariantList draft READ draft NOTIFY draftChanged)
    // The selected prediction of the open image, an index into its predictions, or -1.
    // A box and a prediction are never selected together.
    Q_PROPERTY(int selectedPrediction READ selectedPrediction WRITE selectPrediction NOTIFY selectedPredictionChanged)
    // Its box as fractions of the picture; an empty one while none is selected.
    Q_PROPERTY(QRectF selectedPredictionRect READ selectedPredictionRect NOTIFY selectedPredictionChanged)
    // Why the last key about predictions did nothing, or what to know about what it
    // did; "" once the selection, the boxes or the image change.
    Q_PROPERTY(QString hint READ hint NOTIFY hintChanged)

public:
    // Predictions are matched to the boxes at the thresholds of matcher.
    EditSession(ImageList *images, ImageFilter *shown, PredictionMatcher *matcher, QObject *parent = nullptr);

    int row() const { return m_row; }
    int shownRow() const { return m_row < 0 ? -1 : m_shownRow; }
    BBoxList *boxes() const;
    int selected() const { return m_selected; }
    bool canSave() const;
    QString saveError() const { return m_saveError; }
    QString saveNote() const { return m_saveNote; }
    int category() const;
    QVariantList categories() const { return m_categories; }
    int vertex() const { return m_vertex; }
    bool drawingPolygon() const { return m_drawing; }
    QVariantList draft() const;
    int selectedPrediction() const { return m_prediction; }
    QRectF selectedPredictionRect() const;
    QString hint() const { return m_hint; }
    void setCategories(const QVariantList &categories);
    // What saving the open image would lose of lines not read whole, as the question
    // to ask before; "" when it loses nothing.
    Q_INVOKABLE QString saveQuestion() const;
    // Whether a left press inside a box, at a point in pixels of a picture shown at
    // size, draws a new box instead of taking hold of that one: with the modifier, in
    // a box larger than a quarter of the picture, more than margin from its edges, or
    // within half the margin of a prediction's outline while the box is not selected
    // (a click there selects the prediction).
    Q_INVOKABLE bool pressDraws(int box, QPointF at, QSizeF size, qreal margin, bool modifier) const;
    // The box a click at a point selects: the smallest that holds it, or -1. A
    // polygon holds the points inside it and those within reach of its outline.
    Q_INVOKABLE int boxAt(QPointF at, QSizeF size, qreal reach = 0) const;
    // Where the rotation handle of a polygon that is a rectangle goes, in pixels of
    // the picture shown at size: reach beyond the middle of its first side. Null for
    // any other polygon or box.
    Q_INVOKABLE QVariant rotationHandle(int box, QSizeF size, qreal reach) const;
    // The prediction drawn at or above the confidence threshold whose outline is
    // nearest to a point, within reach, in pixels of the picture shown at size; or -1.
    Q_INVOKABLE int predictionAt(QPointF at, QSizeF size, qreal reach) const;
    // What a click there selects: a prediction's outline within reach, else the box
    // boxAt() gives, else the smallest prediction that holds the point, else nothing.
    Q_INVOKABLE void selectAt(QPointF at, QSizeF size, qreal reach);

Q_SIGNALS:
    void rowChanged();
    void selectedChanged();
    void canSaveChanged();
    void saveErrorChanged();
    void saveNoteChanged();
    void categoryChanged();
    void vertexChanged();
    void draftChanged();
    void selectedPredictionChanged();
    void hintChanged();
    // A box was drawn or added in a file of polygons only: it waits for
    // addAskedAsPolygon().
    void boxAsPolygonAsked();

public Q_SLOTS:
    // Selects a box, or nothing for -1; either way no prediction.
    void select(int box);
    // Selects a prediction, or nothing for -1; either way no box.
    void selectPrediction(int index);
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

    void selectVertex(int vertex);
    // Moves a corner of a polygon to a point in pixels of the picture shown at size,
    // kept inside the picture.
    void moveVertex(int box, int vertex, QPointF at, QSizeF size);
    // Adds a corner on the side of a polygon within reach of a point, where the
    // point falls on it; false when no side is within reach.
    bool addVertexAt(int box, QPointF at, QSizeF size, qreal reach);
    // False when the polygon has only three corners left.
    bool deleteVertex(int box, int vertex);
    // Turns a polygon about the centre of the corners it had when the turn began
    // (from), by the angle the pointer turned about it from start to now, in pixels
    // of the picture shown at size; a rectangle stays a rectangle.
    void rotate(int box, const QVariantList &from, QPointF start, QPointF now, QSizeF size);
    // Drawing a polygon: each click adds a corner, and one within reach of the first
    // corner closes it, as finishDraft() does. It takes the current category.
    void startDraft();
    void addDraftPoint(QPointF at, QSizeF size, qreal reach);
    void removeDraftPoint();
    bool finishDraft();
    void cancelDraft();
    // Adds the box that boxAsPolygonAsked() was about as a polygon of four corners.
    void addAskedAsPolygon();

    // Adds the selected prediction as a box of its class, one step to undo, and selects
    // that box. A prediction its label box matches already is added all the same.
    void acceptPrediction();
    // Gives the label box the selected prediction matched or overlaps the prediction's
    // class and box (a polygon's corners move and scale with it), one step to undo, and
    // selects that box.
    void replaceWithPrediction();
    // Selects the disagreement of the open image that follows the selection in reading
    // order (top to bottom, then left to right), or precedes it for -1: an extra,
    // wrong-class or duplicate prediction, or a label box no prediction found; with
    // nothing selected, the first or the last. Returns the open shown row then. Past
    // the last one, selects nothing and returns the next shown row (the one before for
    // -1) that has a disagreement, for the caller to open and step into; -1, with a
    // hint, when there is none.
    int stepDisagreement(int direction);

private:
    void setSaveError(const QString &error);
    void setSaveNote(const QString &note);
    bool write(bool loseLines, bool announce = true);
    void watch(BBoxList *list);
    // Appends a box, or asks first in a file of polygons only.
    void addRect(int catId, double cx, double cy, double cw, double ch, bool selectAdded = false);
    void setSelectedPrediction(int index);
    void setHint(const QString &hint);
    // The selected prediction, or null.
    const Prediction *prediction() const;
    // The next shown row after the open one (before it for a negative direction) with
    // a disagreement at the thresholds, or -1.
    int disagreementRow(int direction) const;

    ImageList *m_images;
    ImageFilter *m_shown;
    PredictionMatcher *m_matcher;
    int m_row = -1;
    int m_shownRow = -1;
    int m_selected = -1;
    QString m_saveError;
    QString m_saveNote;
    QVariantList m_categories;
    QVariant m_picked;
    int m_vertex = -1;
    bool m_drawing = false;
    QVector<double> m_draft;
    BoxInfo m_asked;
    bool m_selectAsked = false;
    int m_prediction = -1;
    QString m_hint;
    QPointer<BBoxList> m_watched;
};

#endif
