#include "imagefilter.h"

#include "boxes/labelcheck.h"
#include "datasetstats.h"
#include "imagelist.h"

#include <QQmlEngine>
#include <QVarLengthArray>

#include <algorithm>
#include <map>

ImageFilter *ImageFilter::s_instance = nullptr;

ImageFilter::ImageFilter(ImageList *source) : QAbstractListModel(nullptr), m_source(source)
{
    m_roleNames = source->roleNames();
    m_sourceRowRole = m_roleNames.size();
    m_roleNames.insert(m_sourceRowRole, "imgRow");

    connect(source, &QAbstractItemModel::modelReset, this, [this] { refilter(true); });
    connect(source, &QAbstractItemModel::rowsInserted, this, [this] { refilter(true); });
    connect(source, &QAbstractItemModel::layoutChanged, this, [this] { refilter(true); });
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ImageFilter::sourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &ImageFilter::sourceRowsRemoved);
    connect(source, &QAbstractItemModel::dataChanged, this, &ImageFilter::sourceDataChanged);
    // Edits change counts one row at a time, often many times a second: count once after them.
    m_recount.setSingleShot(true);
    m_recount.setInterval(100);
    connect(&m_recount, &QTimer::timeout, this, [this] { refilter(false); });
    refilter(true);
}

ImageFilter::~ImageFilter()
{
    if (s_instance == this)
        s_instance = nullptr;
}

ImageFilter *ImageFilter::instance()
{
    if (!s_instance)
        createInstance();
    return s_instance;
}

bool ImageFilter::createInstance()
{
    s_instance = new ImageFilter(ImageList::instance());
    qmlRegisterSingletonInstance("Boxmere", 1, 0, "ImageFilter", s_instance);
    return s_instance != nullptr;
}

int ImageFilter::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ImageFilter::data(const QModelIndex &index, int role) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size())
        return QVariant();
    if (role == m_sourceRowRole)
        return m_rows.at(row);
    return m_source->data(m_source->index(m_rows.at(row)), role);
}

QHash<int, QByteArray> ImageFilter::roleNames() const
{
    return m_roleNames;
}

void ImageFilter::setNameFilter(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    refilter(true);
    Q_EMIT filterChanged();
}

void ImageFilter::setClassFilter(int catId)
{
    if (catId == m_class)
        return;
    m_class = catId;
    refilter(true);
    Q_EMIT filterChanged();
}

void ImageFilter::setProblemFilter(const QString &kind)
{
    if (kind == m_problem)
        return;
    m_problem = kind;
    refilter(true);
    Q_EMIT filterChanged();
}

int ImageFilter::total() const
{
    return m_source->rowCount();
}

int ImageFilter::sourceRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
}

QVariantMap ImageFilter::statistics() const
{
    DatasetStats stats;
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    for (const int row : m_rows) {
        if (row >= images.size())
            break;
        const ImageInfo &image = *images.at(row);
        if (image.bboxes)
            stats.add(image.bboxes->boxes(), image.problems);
    }
    return stats.toVariant();
}

void ImageFilter::refilter(bool rows)
{
    m_recount.stop();
    using Mask = quint32;
    static_assert(LabelCheck::KindCount <= 32, "a problem kind per bit");
    Mask wanted = 0;
    if (m_problem == QLatin1String(AnyProblem)) {
        wanted = ~Mask(0);
    } else if (!m_problem.isEmpty()) {
        LabelCheck::Kind kind;
        if (LabelCheck::fromKey(m_problem, kind))
            wanted = Mask(1) << int(kind);
    }
    const bool byProblem = !m_problem.isEmpty();
    const bool byClass = m_class != AnyClass;

    std::map<int, int> classRows;
    int kindRows[LabelCheck::KindCount] = {};
    int anyRows = 0;
    QVector<int> accepted;
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    if (rows)
        accepted.reserve(images.size());
    QVarLengthArray<int, 16> classes;
    for (int i = 0; i < images.size(); ++i) {
        const ImageInfo &image = *images.at(i);
        if (!m_name.isEmpty() && !image.fileName.contains(m_name, Qt::CaseInsensitive))
            continue;
        classes.clear();
        if (image.bboxes) {
            for (const std::shared_ptr<BoxInfo> &box : image.bboxes->boxes()) {
                if (std::find(classes.begin(), classes.end(), box->catId) == classes.end())
                    classes.append(box->catId);
            }
        }
        Mask kinds = 0;
        for (const LabelCheck::Problem &problem : image.problems)
            kinds |= Mask(1) << int(problem.kind);

        const bool classOk = !byClass || std::find(classes.begin(), classes.end(), m_class) != classes.end();
        const bool problemOk = !byProblem || (kinds & wanted);
        if (problemOk) {
            for (const int catId : classes)
                ++classRows[catId];
        }
        if (classOk) {
            anyRows += kinds ? 1 : 0;
            for (int k = 0; k < LabelCheck::KindCount; ++k)
                kindRows[k] += (kinds >> k) & 1;
        }
        if (rows && classOk && problemOk)
            accepted.append(i);
    }

    if (rows) {
        beginResetModel();
        m_rows = std::move(accepted);
        endResetModel();
    }
    m_classCounts.clear();
    for (const auto &[catId, count] : classRows)
        m_classCounts.append(QVariantMap{{QStringLiteral("catId"), catId}, {QStringLiteral("rows"), count}});
    m_problemCounts.clear();
    m_problemCounts.append(QVariantMap{{QStringLiteral("kind"), QLatin1String(AnyProblem)},
                                       {QStringLiteral("name"), tr("any problem")},
                                       {QStringLiteral("rows"), anyRows}});
    for (int k = 0; k < LabelCheck::KindCount; ++k) {
        const auto kind = LabelCheck::Kind(k);
        m_problemCounts.append(QVariantMap{{QStringLiteral("kind"), LabelCheck::key(kind)},
                                           {QStringLiteral("name"), LabelCheck::description(kind)},
                                           {QStringLiteral("rows"), kindRows[k]}});
    }
    Q_EMIT countsChanged();
}

void ImageFilter::sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    const auto begin = std::lower_bound(m_rows.cbegin(), m_rows.cend(), first);
    const auto end = std::upper_bound(m_rows.cbegin(), m_rows.cend(), last);
    m_removing = begin != end;
    if (m_removing)
        beginRemoveRows(QModelIndex(), int(begin - m_rows.cbegin()), int(end - m_rows.cbegin()) - 1);
}

void ImageFilter::sourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    const int removed = last - first + 1;
    const auto begin = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    const auto end = std::upper_bound(m_rows.begin(), m_rows.end(), last);
    const auto kept = m_rows.erase(begin, end);
    for (auto it = kept; it != m_rows.end(); ++it)
        *it -= removed;
    if (m_removing) {
        m_removing = false;
        endRemoveRows();
    }
    m_recount.start();
}

void ImageFilter::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                    const QVector<int> &roles)
{
    const auto begin = std::lower_bound(m_rows.cbegin(), m_rows.cend(), topLeft.row());
    const auto end = std::upper_bound(m_rows.cbegin(), m_rows.cend(), bottomRight.row());
    if (begin != end)
        Q_EMIT dataChanged(index(int(begin - m_rows.cbegin())), index(int(end - m_rows.cbegin()) - 1), roles);
    // A changed row stays shown until the filters change, so that an image being
    // edited does not vanish under the pointer; only the counts follow at once.
    m_recount.start();
}
