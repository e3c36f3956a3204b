#include "editsession.h"

#include "boxes/bboxlist.h"
#include "checks/detectionmetrics.h"
#include "formats/fileio.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"
#include "models/predictionmatcher.h"

#include <QPolygonF>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

EditSession::EditSession(ImageList *images, ImageFilter *shown, PredictionMatcher *matcher, QObject *parent)
    : QObject(parent), m_images(images), m_shown(shown), m_matcher(matcher)
{
    // A load or a removal takes the open row away.
    connect(m_images, &QAbstractItemModel::modelAboutToBeReset, this, &EditSession::close);
    connect(m_images, &QAbstractItemModel::rowsAboutToBeRemoved, this, &EditSession::close);
    // A prediction no longer drawn is selected no more.
    connect(m_matcher, &PredictionMatcher::thresholdsChanged, this, [this] {
        const Prediction *p = prediction();
        if (p && !(p->score >= m_matcher->confidence()))
            setSelectedPrediction(-1);
    });
}

BBoxList *EditSession::boxes() const
{
    const auto image = m_images->imageAt(m_row);
    return image ? image->bboxes.get() : nullptr;
}

void EditSession::select(int box)
{
    setSelectedPrediction(-1);
    if (m_selected == box)
        return;
    m_selected = box;
    setHint(QString());
    selectVertex(-1);
    Q_EMIT selectedChanged();
}

void EditSession::selectPrediction(int index)
{
    const auto image = m_images->imageAt(m_row);
    if (!image || index < 0 || index >= image->predictions.size() ||
        !(image->predictions.at(index).score >= m_matcher->confidence()))
        index = -1;
    select(-1);
    setSelectedPrediction(index);
}

void EditSession::setSelectedPrediction(int index)
{
    if (m_prediction == index)
        return;
    m_prediction = index;
    setHint(QString());
    Q_EMIT selectedPredictionChanged();
}

const Prediction *EditSession::prediction() const
{
    const auto image = m_images->imageAt(m_row);
    return image && m_prediction >= 0 && m_prediction < image->predictions.size() ? &image->predictions.at(m_prediction)
                                                                                  : nullptr;
}

QRectF EditSession::selectedPredictionRect() const
{
    const Prediction *p = prediction();
    return p ? QRectF(p->cx - p->cw / 2, p->cy - p->ch / 2, p->cw, p->ch) : QRectF();
}

void EditSession::setHint(const QString &hint)
{
    if (m_hint == hint)
        return;
    m_hint = hint;
    Q_EMIT hintChanged();
}

void EditSession::selectVertex(int vertex)
{
    if (m_vertex == vertex)
        return;
    m_vertex = vertex;
    Q_EMIT vertexChanged();
}

bool EditSession::canSave() const
{
    const BBoxList *list = boxes();
    return list && list->isModified();
}

int EditSession::category() const
{
    for (const QVariant &category : m_categories) {
        if (category.toMap().value(QStringLiteral("catId")) == m_picked)
            return m_picked.toInt();
    }
    return m_categories.isEmpty() ? 0 : m_categories.first().toMap().value(QStringLiteral("catId")).toInt();
}

void EditSession::setCategories(const QVariantList &categories)
{
    m_categories = categories;
    Q_EMIT categoryChanged();
}

void EditSession::pickCategory(int catId)
{
    m_picked = catId;
    Q_EMIT categoryChanged();
}

void EditSession::setSaveNote(const QString &note)
{
    if (m_saveNote == note)
        return;
    m_saveNote = note;
    Q_EMIT saveNoteChanged();
}

void EditSession::setSaveError(const QString &error)
{
    setSaveNote(QString());
    if (m_saveError == error)
        return;
    m_saveError = error;
    Q_EMIT saveErrorChanged();
}

void EditSession::watch(BBoxList *list)
{
    if (m_watched)
        m_watched->disconnect(this);
    m_watched = list;
    if (!list)
        return;
    // Edits are checked again as they happen.
    const auto check = [this] {
        m_images->boxesEdited(m_row);
        setHint(QString());
    };
    connect(list, &QAbstractItemModel::dataChanged, this, check);
    connect(list, &QAbstractItemModel::rowsInserted, this, check);
    connect(list, &QAbstractItemModel::rowsRemoved, this, check);
    connect(list, &QAbstractItemModel::modelReset, this, check);
    connect(list, &BBoxList::modifiedChanged, this, [this] {
        if (canSave())
            setSaveNote(QString());
        Q_EMIT canSaveChanged();
    });
    // The selection follows its box, and goes with it.
    connect(list, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first, int last) {
        if (m_selected > last)
            select(m_selected - (last - first + 1));
        else if (m_selected >= first)
            select(-1);
    });
    connect(list, &QAbstractItemModel::modelReset, this, [this] { select(-1); });
}

bool EditSession::open(int shownRow)
{
    const int row = m_shown->sourceRow(shownRow);
    const auto image = m_images->imageAt(row);
    if (!image)
        return false;
    // Straight from one image to the next: the overlay stays up.
    select(-1);
    setSaveError(QString());
    cancelDraft();
    m_asked = BoxInfo();
    m_selectAsked = false;
    m_row = row;
    m_shownRow = shownRow;
    watch(image->bboxes.get());
    image->bboxes->clearHistory();
    Q_EMIT rowChanged();
    Q_EMIT canSaveChanged();
    // Viewing leaves a file that already holds these boxes alone, bytes and time stamp.
    if (image->bboxes->lastReadWhole() && image->bboxes->fileDiffers(image->yoloTxtFilePath))
        write(false, false);
    return true;
}

void EditSession::close()
{
    if (m_row < 0)
        return;
    watch(nullptr);
    cancelDraft();
    m_row = -1;
    m_shownRow = -1;
    select(-1);
    setSaveError(QString());
    Q_EMIT rowChanged();
    Q_EMIT canSaveChanged();
}

QString EditSession::saveQuestion() const
{
    const auto image = m_images->imageAt(m_row);
    return image ? image->bboxes->lostOnSave(image->yoloTxtFilePath) : QString();
}

namespace {

QRectF pixelRect(const BoxInfo &box, QSizeF size)
{
    const qreal w = size.width(), h = size.height();
    return QRectF((box.cx - box.cw / 2) * w, (box.cy - box.ch / 2) * h, box.cw * w, box.ch * h);
}

QPolygonF pixelPolygon(const QVector<double> &xy, QSizeF size)
{
    QPolygonF polygon;
    for (int i = 0; i + 1 < xy.size(); i += 2)
        polygon.append(QPointF(xy[i] * size.width(), xy[i + 1] * size.height()));
    return polygon;
}

double distance(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// The point of the segment from a to b nearest to at.
QPointF nearestOn(QPointF a, QPointF b, QPointF at)
{
    const QPointF d = b - a;
    const double length2 = QPointF::dotProduct(d, d);
    return a + d * (length2 > 0 ? std::clamp(QPointF::dotProduct(at - a, d) / length2, 0.0, 1.0) : 0.0);
}

// The side (from corner i to the next) nearest to at, and how far it is.
std::pair<int, double> nearestSide(const QPolygonF &polygon, QPointF at)
{
    std::pair<int, double> best{-1, 0};
    for (int i = 0; i < polygon.size(); ++i) {
        const double d = distance(at, nearestOn(polygon[i], polygon[(i + 1) % polygon.size()], at));
        if (best.first < 0 || d < best.second)
            best = {i, d};
    }
    return best;
}

QPointF centre(const QPolygonF &polygon)
{
    QPointF sum;
    for (const QPointF &p : polygon)
        sum += p;
    return polygon.isEmpty() ? sum : sum / polygon.size();
}

// Four corners at right angles, within what six significant digits in a label file keep.
bool isRectangle(const QPolygonF &p)
{
    if (p.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        const QPointF a = p[(i + 1) % 4] - p[i], b = p[(i + 2) % 4] - p[(i + 1) % 4];
        const double la = std::hypot(a.x(), a.y()), lb = std::hypot(b.x(), b.y());
        if (la <= 0 || lb <= 0 || std::abs(QPointF::dotProduct(a, b)) > 0.01 * la * lb)
            return false;
    }
    return true;
}

bool hits(const BoxInfo &box, QPointF at, QSizeF size, qreal reach)
{
    if (!box.isPolygon())
        return pixelRect(box, size).contains(at);
    const QPolygonF polygon = pixelPolygon(box.points, size);
    return polygon.containsPoint(at, Qt::OddEvenFill) || (reach > 0 && nearestSide(polygon, at).second <= reach);
}

} // namespace

bool EditSession::pressDraws(int box, QPointF at, QSizeF size, qreal margin, bool modifier) const
{
    // A click on a prediction's dashed outline selects the prediction, also where it
    // crosses a box: the outline is all the user sees of it. A selected box keeps it.
    if (modifier || (box != m_selected && predictionAt(at, size, margin / 2) >= 0))
        return true;
    const BBoxList *list = boxes();
    const auto info = list ? list->boxAt(box) : nullptr;
    // Around a polygon, inside its bounding box, lies what is beneath it.
    if (info && info->isPolygon())
        return !hits(*info, at, size, margin / 2);
    // Inside a large box there is room to draw, and its edges are still there to grab.
    return info && info->cw * info->ch > 0.25 &&
           pixelRect(*info, size).adjusted(margin, margin, -margin, -margin).contains(at);
}

int EditSession::boxAt(QPointF at, QSizeF size, qreal reach) const
{
    const BBoxList *list = boxes();
    if (!list)
        return -1;
    int found = -1;
    double area = 0;
    for (int row = 0; row < list->boxes().size(); ++row) {
        const BoxInfo &box = *list->boxes()[row];
        if (hits(box, at, size, reach) && (found < 0 || box.cw * box.ch <= area)) {
            found = row;
            area = box.cw * box.ch;
        }
    }
    return found;
}

bool EditSession::save()
{
    return write(false);
}

bool EditSession::saveAnyway()
{
    return write(true);
}

bool EditSession::write(bool loseLines, bool announce)
{
    const auto image = m_images->imageAt(m_row);
    if (!image)
        return false;
    const QString refusal = image->bboxes->saveRefusal();
    if (!refusal.isEmpty()) {
        setSaveError(tr("Could not save %1: %2").arg(image->yoloTxtFilePath, refusal));
        return false;
    }
    if (!loseLines && !saveQuestion().isEmpty()) {
        setSaveError(QString());
        return false;
    }
    if (image->bboxes->saveTxtFile(image->yoloTxtFilePath, loseLines)) {
        setSaveError(QString());
        if (announce)
            setSaveNote(tr("Saved %1").arg(FileIo::fileName(image->yoloTxtFilePath)));
        // A first save gives a picture its label file.
        m_images->checkRow(m_row);
        return true;
    }
    setSaveError(image->yoloTxtFilePath.isEmpty() ? tr("%1 has no label file to save to").arg(image->fileName)
                                                  : tr("Could not save %1").arg(image->yoloTxtFilePath));
    return false;
}

bool EditSession::reset()
{
    const auto image = m_images->imageAt(m_row);
    if (!image)
        return false;
    if (!m_images->yoloReloadRow(m_row)) {
        setSaveError(image->yoloTxtFilePath.isEmpty() ? tr("%1 has no label file to read").arg(image->fileName)
                                                      : tr("Could not read %1").arg(image->yoloTxtFilePath));
        return false;
    }
    setSaveError(QString());
    return true;
}

bool EditSession::saveBeforeLeaving()
{
    const BBoxList *list = boxes();
    return !list || !list->isModified() || save();
}

int EditSession::stepTarget(int delta) const
{
    const int target = m_shownRow + delta;
    return m_row < 0 || target < 0 || target >= m_shown->rowCount() ? -1 : target;
}

bool EditSession::undo()
{
    BBoxList *list = boxes();
    return list && list->undo();
}

bool EditSession::redo()
{
    BBoxList *list = boxes();
    return list && list->redo();
}

void EditSession::beginDrag()
{
    if (BBoxList *list = boxes())
        list->beginEdit();
}

void EditSession::endDrag()
{
    if (BBoxList *list = boxes())
        list->endEdit();
}

void EditSession::addBox(int catId, QPointF at, QSizeF size)
{
    BBoxList *list = boxes();
    const qreal w = size.width(), h = size.height();
    if (!list || w <= 0 || h <= 0)
        return;
    const double side = 0.1;
    addRect(catId, std::clamp(at.x() / w, side / 2, 1 - side / 2), std::clamp(at.y() / h, side / 2, 1 - side / 2), side,
            side);
}

void EditSession::drawBox(QPointF from, QPointF to, QSizeF size)
{
    BBoxList *list = boxes();
    const qreal w = size.width(), h = size.height();
    const qreal x0 = std::min(from.x(), to.x()), x1 = std::max(from.x(), to.x());
    const qreal y0 = std::min(from.y(), to.y()), y1 = std::max(from.y(), to.y());
    if (!list || w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0)
        return;
    addRect(category(), (x0 + x1) / 2 / w, (y0 + y1) / 2 / h, (x1 - x0) / w, (y1 - y0) / h);
}

void EditSession::setBoxRect(int box, qreal cx, qreal cy, qreal cw, qreal ch)
{
    if (BBoxList *list = boxes())
        list->setRect(box, cx, cy, cw, ch);
}

void EditSession::deleteBox(int box)
{
    if (BBoxList *list = boxes())
        list->deleteRow(box);
}

void EditSession::deleteSelected()
{
    const BBoxList *list = boxes();
    const auto box = list ? list->boxAt(m_selected) : nullptr;
    // A corner selected before an undo took it away is selected no more.
    if (box && m_vertex >= 0 && m_vertex < box->pointCount())
        deleteVertex(m_selected, m_vertex);
    else if (box)
        deleteBox(m_selected);
}

void EditSession::relabelSelected(int catId)
{
    BBoxList *list = boxes();
    if (list && m_selected >= 0)
        list->relabelRow(m_selected, catId);
}

void EditSession::moveSelected(int dx, int dy, QSizeF shown)
{
    BBoxList *list = boxes();
    const auto box = list ? list->boxAt(m_selected) : nullptr;
    if (!box)
        return;
    const QSize size = m_images->pictureSize(m_row);
    const qreal w = size.width() > 0 ? size.width() : shown.width();
    const qreal h = size.height() > 0 ? size.height() : shown.height();
    if (w <= 0 || h <= 0)
        return;
    const auto shift = [](double c, double half, double d) {
        return d > 0 ? std::min(c + d, std::max(c, 1 - half)) : std::max(c + d, std::min(c, half));
    };
    const double cx = shift(box->cx, box->cw / 2, dx / w);
    const double cy = shift(box->cy, box->ch / 2, dy / h);
    if (cx == box->cx && cy == box->cy)
        return;
    list->setRect(m_selected, cx, cy, box->cw, box->ch);
}

void EditSession::addRect(int catId, double cx, double cy, double cw, double ch, bool selectAdded)
{
    BBoxList *list = boxes();
    const auto &all = list->boxes();
    if (!all.isEmpty() && std::all_of(all.cbegin(), all.cend(), [](const auto &box) { return box->isPolygon(); })) {
        m_asked = BoxInfo{catId, cx, cy, cw, ch};
        m_selectAsked = selectAdded;
        Q_EMIT boxAsPolygonAsked();
        return;
    }
    list->appendRect(catId, cx, cy, cw, ch);
    if (selectAdded)
        select(list->rowCount() - 1);
}

void EditSession::addAskedAsPolygon()
{
    BBoxList *list = boxes();
    const BoxInfo b = std::exchange(m_asked, BoxInfo());
    const bool selectAdded = std::exchange(m_selectAsked, false);
    if (!list || b.cw <= 0 || b.ch <= 0)
        return;
    const double x0 = b.cx - b.cw / 2, x1 = b.cx + b.cw / 2, y0 = b.cy - b.ch / 2, y1 = b.cy + b.ch / 2;
    list->addPolygon(b.catId, {x0, y0, x1, y0, x1, y1, x0, y1});
    if (selectAdded)
        select(list->rowCount() - 1);
}

QVariant EditSession::rotationHandle(int box, QSizeF size, qreal reach) const
{
    const BBoxList *list = boxes();
    const auto info = list ? list->boxAt(box) : nullptr;
    if (!info || info->pointCount() != 4 || size.isEmpty())
        return QVariant();
    const QPolygonF p = pixelPolygon(info->points, size);
    const QPointF mid = (p[0] + p[1]) / 2, out = mid - centre(p);
    const double length = std::hypot(out.x(), out.y());
    if (!isRectangle(p) || length <= 0)
        return QVariant();
    return mid + out * (reach / length);
}

void EditSession::moveVertex(int box, int vertex, QPointF at, QSizeF size)
{
    BBoxList *list = boxes();
    const auto info = list ? list->boxAt(box) : nullptr;
    if (!info || vertex < 0 || vertex >= info->pointCount() || size.isEmpty())
        return;
    QVector<double> xy = info->points;
    xy[2 * vertex] = std::clamp(at.x() / size.width(), 0.0, 1.0);
    xy[2 * vertex + 1] = std::clamp(at.y() / size.height(), 0.0, 1.0);
    if (xy != info->points)
        list->setPoints(box, xy);
}

bool EditSession::addVertexAt(int box, QPointF at, QSizeF size, qreal reach)
{
    BBoxList *list = boxes();
    const auto info = list ? list->boxAt(box) : nullptr;
    if (!info || !info->isPolygon() || size.isEmpty())
        return false;
    const QPolygonF p = pixelPolygon(info->points, size);
    const auto [side, away] = nearestSide(p, at);
    const QPointF a = p[side], b = p[(side + 1) % p.size()], on = nearestOn(a, b, at);
    // On a corner there is one already.
    if (away > reach || distance(on, a) < 1 || distance(on, b) < 1)
        return false;
    QVector<double> xy = info->points;
    xy.insert(2 * side + 2, on.y() / size.height());
    xy.insert(2 * side + 2, on.x() / size.width());
    list->setPoints(box, xy);
    if (box == m_selected)
        selectVertex(side + 1);
    return true;
}

bool EditSession::deleteVertex(int box, int vertex)
{
    BBoxList *list = boxes();
    const auto info = list ? list->boxAt(box) : nullptr;
    if (!info || info->pointCount() <= 3 || vertex < 0 || vertex >= info->pointCount())
        return false;
    QVector<double> xy = info->points;
    xy.remove(2 * vertex, 2);
    if (box == m_selected)
        selectVertex(-1);
    return list->setPoints(box, xy);
}

void EditSession::rotate(int box, const QVariantList &from, QPointF start, QPointF now, QSizeF size)
{
    BBoxList *list = boxes();
    if (!list || !list->boxAt(box) || from.size() < 6 || size.isEmpty())
        return;
    const QPolygonF p = pixelPolygon(BBoxList::fromVariantList(from), size);
    const QPointF c = centre(p);
    const double angle =
        std::atan2(now.y() - c.y(), now.x() - c.x()) - std::atan2(start.y() - c.y(), start.x() - c.x());
    const double cosine = std::cos(angle), sine = std::sin(angle);
    // Rounded far below what a label file keeps, so that a side on the picture's edge
    // stays on it rather than a rounding error past it.
    const auto snap = [](double v) { return std::round(v * 1e12) / 1e12; };
    QVector<double> xy;
    for (const QPointF &q : p) {
        const QPointF d = q - c;
        xy << snap((c.x() + d.x() * cosine - d.y() * sine) / size.width())
           << snap((c.y() + d.x() * sine + d.y() * cosine) / size.height());
    }
    list->setPoints(box, xy);
}

QVariantList EditSession::draft() const
{
    return BBoxList::toVariantList(m_draft);
}

void EditSession::startDraft()
{
    if (!boxes() || m_drawing)
        return;
    select(-1);
    m_drawing = true;
    m_draft.clear();
    Q_EMIT draftChanged();
}

void EditSession::addDraftPoint(QPointF at, QSizeF size, qreal reach)
{
    if (!m_drawing || size.isEmpty())
        return;
    const double w = size.width(), h = size.height();
    if (m_draft.size() >= 6 && distance(at, QPointF(m_draft[0] * w, m_draft[1] * h)) <= reach) {
        finishDraft();
        return;
    }
    const double x = std::clamp(at.x() / w, 0.0, 1.0), y = std::clamp(at.y() / h, 0.0, 1.0);
    // The second click of a double click is no corner of its own.
    const int n = m_draft.size();
    if (n >= 2 && distance(QPointF(x * w, y * h), QPointF(m_draft[n - 2] * w, m_draft[n - 1] * h)) < 1)
        return;
    m_draft << x << y;
    Q_EMIT draftChanged();
}

void EditSession::removeDraftPoint()
{
    if (m_draft.isEmpty())
        return;
    m_draft.resize(m_draft.size() - 2);
    Q_EMIT draftChanged();
}

bool EditSession::finishDraft()
{
    BBoxList *list = boxes();
    if (!m_drawing || !list || m_draft.size() < 6)
        return false;
    const QVector<double> xy = m_draft;
    cancelDraft();
    return list->addPolygon(category(), xy);
}

void EditSession::cancelDraft()
{
    if (!m_drawing && m_draft.isEmpty())
        return;
    m_drawing = false;
    m_draft.clear();
    Q_EMIT draftChanged();
}

namespace {

BoxInfo boxOf(const Prediction &p)
{
    return BoxInfo{p.catId, p.cx, p.cy, p.cw, p.ch};
}

// How far a point is from the outline of a rectangle, from inside or outside.
double outlineDistance(const QRectF &r, QPointF at)
{
    const double dx = std::max({r.left() - at.x(), 0.0, at.x() - r.right()});
    const double dy = std::max({r.top() - at.y(), 0.0, at.y() - r.bottom()});
    if (dx > 0 || dy > 0)
        return std::hypot(dx, dy);
    return std::min({at.x() - r.left(), r.right() - at.x(), at.y() - r.top(), r.bottom() - at.y()});
}

// The predictions drawn (at or above the confidence): the one whose outline is nearest
// within reach, or, inside, the smallest that holds the point.
int pickPrediction(const QVector<Prediction> &predictions, double confidence, QPointF at, QSizeF size, qreal reach,
                   bool inside)
{
    int found = -1;
    double best = 0;
    for (int i = 0; i < predictions.size() && !size.isEmpty(); ++i) {
        const Prediction &p = predictions.at(i);
        if (!(p.score >= confidence))
            continue;
        const QRectF r = pixelRect(boxOf(p), size);
        const double rank = inside ? p.cw * p.ch : outlineDistance(r, at);
        if ((inside ? r.contains(at) : rank <= reach) && (found < 0 || rank < best)) {
            found = i;
            best = rank;
        }
    }
    return found;
}

bool isUsable(const Prediction &p)
{
    return std::isfinite(p.cx) && std::isfinite(p.cy) && std::isfinite(p.cw) && std::isfinite(p.ch) && p.cw > 0 &&
           p.ch > 0;
}

bool disagrees(DetectionMetrics::Outcome outcome)
{
    using O = DetectionMetrics::Outcome;
    return outcome == O::Extra || outcome == O::WrongClass || outcome == O::Duplicate;
}

// A label box or a prediction in reading order: by its top left corner, then label
// boxes first, then by number. What is not a number goes last.
struct Place
{
    double top, left;
    bool prediction;
    int index;

    Place(double cx, double cy, double cw, double ch, bool isPrediction, int i)
        : top(cy - ch / 2), left(cx - cw / 2), prediction(isPrediction), index(i)
    {
        if (std::isnan(top) || std::isnan(left))
            top = left = std::numeric_limits<double>::infinity();
    }
    bool operator<(const Place &o) const
    {
        return std::tie(top, left, prediction, index) < std::tie(o.top, o.left, o.prediction, o.index);
    }
};

// The image's disagreements at the thresholds, in reading order. An image without
// predictions has none, as none are drawn on it.
QVector<Place> disagreementsOf(const ImageInfo &image, const PredictionMatcher &matcher)
{
    QVector<Place> found;
    if (image.predictions.isEmpty() || !image.bboxes)
        return found;
    const auto &labels = image.bboxes->boxes();
    const DetectionMetrics::ImageMatch match =
        DetectionMetrics::matchImage(labels, image.predictions, matcher.iou(), matcher.confidence());
    for (int i = 0; i < image.predictions.size(); ++i) {
        const Prediction &p = image.predictions.at(i);
        if (disagrees(match.outcome.at(i)))
            found.append(Place(p.cx, p.cy, p.cw, p.ch, true, i));
    }
    for (int i = 0; i < labels.size(); ++i) {
        const BoxInfo &b = *labels.at(i);
        if (match.labelMatch.at(i) < 0)
            found.append(Place(b.cx, b.cy, b.cw, b.ch, false, i));
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

int EditSession::predictionAt(QPointF at, QSizeF size, qreal reach) const
{
    const auto image = m_images->imageAt(m_row);
    return image ? pickPrediction(image->predictions, m_matcher->confidence(), at, size, reach, false) : -1;
}

void EditSession::selectAt(QPointF at, QSizeF size, qreal reach)
{
    const auto image = m_images->imageAt(m_row);
    if (!image)
        return;
    if (const int outline = predictionAt(at, size, reach); outline >= 0)
        selectPrediction(outline);
    else if (const int box = boxAt(at, size, reach); box >= 0)
        select(box);
    else
        selectPrediction(pickPrediction(image->predictions, m_matcher->confidence(), at, size, reach, true));
}

void EditSession::acceptPrediction()
{
    BBoxList *list = boxes();
    const Prediction *p = prediction();
    if (!list || !p) {
        setHint(tr("Select a prediction first: click its dashed outline"));
        return;
    }
    if (!isUsable(*p)) {
        setHint(tr("This prediction has no box to take over"));
        return;
    }
    const auto image = m_images->imageAt(m_row);
    const DetectionMetrics::ImageMatch match =
        DetectionMetrics::matchImage(list->boxes(), image->predictions, m_matcher->iou(), m_matcher->confidence());
    const DetectionMetrics::Outcome outcome = match.outcome.at(m_prediction);
    // Copied first: the selection, and with it the pointer, goes when the box is added.
    const Prediction taken = *p;
    addRect(taken.catId, taken.cx, taken.cy, taken.cw, taken.ch, true);
    if (outcome == DetectionMetrics::Outcome::TruePositive || outcome == DetectionMetrics::Outcome::Duplicate)
        setHint(tr("Added a box where a label box of its class already is"));
}

void EditSession::replaceWithPrediction()
{
    BBoxList *list = boxes();
    const Prediction *p = prediction();
    if (!list || !p) {
        setHint(tr("Select a prediction first: click its dashed outline"));
        return;
    }
    const auto image = m_images->imageAt(m_row);
    const DetectionMetrics::ImageMatch match =
        DetectionMetrics::matchImage(list->boxes(), image->predictions, m_matcher->iou(), m_matcher->confidence());
    const int label = match.predictionLabel.at(m_prediction);
    const auto box = list->boxAt(label);
    if (!box) {
        setHint(tr("No label box to replace: none overlaps this prediction enough"));
        return;
    }
    if (!isUsable(*p)) {
        setHint(tr("This prediction has no box to take over"));
        return;
    }
    const Prediction taken = *p;
    const bool sameClass = box->catId == taken.catId;
    const bool samePlace = box->cx == taken.cx && box->cy == taken.cy && box->cw == taken.cw && box->ch == taken.ch;
    if (!sameClass || !samePlace) {
        list->beginEdit();
        if (!sameClass)
            list->relabelRow(label, taken.catId);
        if (!samePlace)
            list->setRect(label, taken.cx, taken.cy, taken.cw, taken.ch);
        list->endEdit();
    }
    select(label);
    if (sameClass && samePlace)
        setHint(tr("The label box already agrees with the prediction"));
}

int EditSession::stepDisagreement(int direction)
{
    const auto image = m_images->imageAt(m_row);
    if (!image || direction == 0)
        return -1;
    const QVector<Place> all = disagreementsOf(*image, *m_matcher);
    // Where the selection stands in reading order, a disagreement or not.
    std::optional<Place> from;
    if (const Prediction *p = prediction())
        from = Place(p->cx, p->cy, p->cw, p->ch, true, m_prediction);
    else if (const auto box = image->bboxes->boxAt(m_selected))
        from = Place(box->cx, box->cy, box->cw, box->ch, false, m_selected);
    const Place *to = nullptr;
    if (direction > 0) {
        const auto it = from ? std::upper_bound(all.cbegin(), all.cend(), *from) : all.cbegin();
        to = it != all.cend() ? &*it : nullptr;
    } else {
        const auto it = from ? std::lower_bound(all.cbegin(), all.cend(), *from) : all.cend();
        to = it != all.cbegin() ? &*(it - 1) : nullptr;
    }
    if (to) {
        to->prediction ? selectPrediction(to->index) : select(to->index);
        return m_shownRow;
    }
    const int row = disagreementRow(direction);
    if (row < 0)
        setHint(direction > 0 ? tr("No disagreements after this one in the images shown")
                              : tr("No disagreements before this one in the images shown"));
    return row;
}

int EditSession::disagreementRow(int direction) const
{
    const double iou = m_matcher->iou(), confidence = m_matcher->confidence();
    DetectionMetrics::ImageMatch match;
    for (int row = m_shownRow + (direction > 0 ? 1 : -1);
         row >= 0 && row<m_shown->rowCount(); row += direction> 0 ? 1 : -1) {
        const auto image = m_images->imageAt(m_shown->sourceRow(row));
        if (!image || image->predictions.isEmpty() || !image->bboxes)
            continue;
        DetectionMetrics::matchImage(image->bboxes->boxes(), image->predictions, iou, confidence, match);
        if (match.missed() > 0 || std::any_of(match.outcome.cbegin(), match.outcome.cend(), disagrees))
            return row;
    }
    return -1;
}
