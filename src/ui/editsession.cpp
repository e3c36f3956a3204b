#include "editsession.h"

#include "boxes/bboxlist.h"
#include "formats/fileio.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"

#include <QRectF>

#include <algorithm>

EditSession::EditSession(ImageList *images, ImageFilter *shown, QObject *parent)
    : QObject(parent), m_images(images), m_shown(shown)
{
    // A load or a removal takes the open row away.
    connect(m_images, &QAbstractItemModel::modelAboutToBeReset, this, &EditSession::close);
    connect(m_images, &QAbstractItemModel::rowsAboutToBeRemoved, this, &EditSession::close);
}

BBoxList *EditSession::boxes() const
{
    const auto image = m_images->imageAt(m_row);
    return image ? image->bboxes.get() : nullptr;
}

void EditSession::select(int box)
{
    if (m_selected == box)
        return;
    m_selected = box;
    Q_EMIT selectedChanged();
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
    const auto check = [this] { m_images->checkRow(m_row); };
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

static QRectF pixelRect(const BoxInfo &box, QSizeF size)
{
    const qreal w = size.width(), h = size.height();
    return QRectF((box.cx - box.cw / 2) * w, (box.cy - box.ch / 2) * h, box.cw * w, box.ch * h);
}

bool EditSession::pressDraws(int box, QPointF at, QSizeF size, qreal margin, bool modifier) const
{
    if (modifier)
        return true;
    const BBoxList *list = boxes();
    const auto info = list ? list->boxAt(box) : nullptr;
    // Inside a large box there is room to draw, and its edges are still there to grab.
    return info && info->cw * info->ch > 0.25 &&
           pixelRect(*info, size).adjusted(margin, margin, -margin, -margin).contains(at);
}

int EditSession::boxAt(QPointF at, QSizeF size) const
{
    const BBoxList *list = boxes();
    if (!list)
        return -1;
    int found = -1;
    double area = 0;
    for (int row = 0; row < list->boxes().size(); ++row) {
        const BoxInfo &box = *list->boxes()[row];
        if (pixelRect(box, size).contains(at) && (found < 0 || box.cw * box.ch <= area)) {
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
    list->appendRect(catId, std::clamp(at.x() / w, side / 2, 1 - side / 2),
                     std::clamp(at.y() / h, side / 2, 1 - side / 2), side, side);
}

void EditSession::drawBox(QPointF from, QPointF to, QSizeF size)
{
    BBoxList *list = boxes();
    const qreal w = size.width(), h = size.height();
    const qreal x0 = std::min(from.x(), to.x()), x1 = std::max(from.x(), to.x());
    const qreal y0 = std::min(from.y(), to.y()), y1 = std::max(from.y(), to.y());
    if (!list || w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0)
        return;
    list->appendRect(category(), (x0 + x1) / 2 / w, (y0 + y1) / 2 / h, (x1 - x0) / w, (y1 - y0) / h);
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
    if (m_selected >= 0)
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
