#ifndef BOXMERE_IMAGEFILTER_H
#define BOXMERE_IMAGEFILTER_H

#include <QAbstractListModel>
#include <QPointer>
#include <QTimer>
#include <QVariantList>
#include <QVector>

#include "models/predictionmatcher.h"

#include <climits>

class DatasetStats;
class ImageList;
class ReviewStatus;

// The rows of the image list that pass its filters: a part of the file name, a class
// that one of their boxes has, a kind of problem, a kind of shape they hold (boxes or
// polygons), a kind of disagreement with a model's predictions and a cell of the
// confusion matrix they count in; in file order or sorted by their matching. It
// offers the image list's roles plus imgRow, the row in the image list, which is what
// calls into ImageList take. With each filter but the name and the cell come its
// counts: how many rows each option would show together with the other filters. QML
// sees the app's instance as the singleton ImageFilter, over the ImageList singleton.
class ImageFilter : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString nameFilter READ nameFilter WRITE setNameFilter NOTIFY filterChanged)
    Q_PROPERTY(int classFilter READ classFilter WRITE setClassFilter NOTIFY filterChanged)
    Q_PROPERTY(QString problemFilter READ problemFilter WRITE setProblemFilter NOTIFY filterChanged)
    Q_PROPERTY(QString shapeFilter READ shapeFilter WRITE setShapeFilter NOTIFY filterChanged)
    Q_PROPERTY(QString predictionFilter READ predictionFilter WRITE setPredictionFilter NOTIFY filterChanged)
    // Only the rows of near-duplicate groups, each group's rows together.
    Q_PROPERTY(bool duplicateFilter READ duplicateFilter WRITE setDuplicateFilter NOTIFY filterChanged)
    // The rows that filter would show with the others; -1 before a search for near-duplicates.
    Q_PROPERTY(int duplicateCount READ duplicateCount NOTIFY shownChanged)
    Q_PROPERTY(QString sortOrder READ sortOrder WRITE setSortOrder NOTIFY filterChanged)
    Q_PROPERTY(bool sortReversed READ sortReversed WRITE setSortReversed NOTIFY filterChanged)
    Q_PROPERTY(QString statusFilter READ statusFilter WRITE setStatusFilter NOTIFY filterChanged)
    // {labelClass, predictedClass}, or empty for no confusion filter.
    Q_PROPERTY(QVariantMap confusionFilter READ confusionFilter NOTIFY filterChanged)
    Q_PROPERTY(int background READ background CONSTANT)
    Q_PROPERTY(int anyClass READ anyClass NOTIFY filterChanged)
    Q_PROPERTY(int count READ count NOTIFY shownChanged)
    Q_PROPERTY(int total READ total NOTIFY shownChanged)
    Q_PROPERTY(QVariantList classCounts READ classCounts NOTIFY countsChanged)
    Q_PROPERTY(QVariantList problemCounts READ problemCounts NOTIFY countsChanged)
    Q_PROPERTY(QVariantList shapeCounts READ shapeCounts NOTIFY countsChanged)
    Q_PROPERTY(QVariantList predictionCounts READ predictionCounts NOTIFY countsChanged)
    Q_PROPERTY(QVariantList statusCounts READ statusCounts NOTIFY countsChanged)

public:
    // The class filter's value for "every class".
    static constexpr int AnyClass = INT_MIN;
    // The problem filter's value for rows with any problem; "" is every row.
    static constexpr const char *AnyProblem = "any";
    // The shape filter's values: rows holding a plain box, rows holding a polygon.
    static constexpr const char *BoxShape = "boxes";
    static constexpr const char *PolygonShape = "polygons";
    // The prediction filter's values: any disagreement, then one per kind.
    static constexpr const char *AnyDisagreement = "any";
    static constexpr const char *Missed = "missed";
    static constexpr const char *Extra = "extra";
    static constexpr const char *WrongClass = "class";
    static constexpr const char *Duplicate = "dup";
    // The sort orders besides file order (""): most disagreements first, and the
    // lowest-confidence match first with rows without a match last.
    static constexpr const char *ByDisagreements = "disagreements";
    static constexpr const char *ByConfidence = "confidence";
    // Name in natural order; most problems, most boxes first; needs fix, unreviewed,
    // accepted, verified empty; the smallest box first, rows without boxes last.
    static constexpr const char *ByName = "name";
    static constexpr const char *ByProblems = "problems";
    static constexpr const char *ByBoxes = "boxes";
    static constexpr const char *ByStatus = "status";
    static constexpr const char *BySmallestBox = "smallest";
    // A confusion cell's class for no box.
    static constexpr int Background = PredictionMatcher::Background;

    // Without a matcher no row disagrees with predictions.
    explicit ImageFilter(ImageList *source, PredictionMatcher *matcher = nullptr);
    ~ImageFilter() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    // The role after the image list's own: the row in the image list.
    int sourceRowRole() const { return m_sourceRowRole; }

    QString nameFilter() const { return m_name; }
    void setNameFilter(const QString &name);
    int classFilter() const { return m_class; }
    void setClassFilter(int catId);
    QString problemFilter() const { return m_problem; }
    // A problem kind's key (see LabelCheck::key), AnyProblem, or "" for no filter.
    void setProblemFilter(const QString &kind);
    QString shapeFilter() const { return m_shape; }
    // BoxShape, PolygonShape, or "" for no filter.
    void setShapeFilter(const QString &shape);
    int anyClass() const { return AnyClass; }
    QString predictionFilter() const { return m_prediction; }
    // AnyDisagreement, Missed, Extra, WrongClass, Duplicate, or "" for no filter.
    void setPredictionFilter(const QString &kind);
    bool duplicateFilter() const { return m_duplicates; }
    void setDuplicateFilter(bool on);
    int duplicateCount() const { return m_duplicateCount; }
    // The near-duplicate group of each picture (by its path) that has one; searched
    // false forgets a search.
    void setDuplicateGroups(const QHash<QString, int> &groupOf, bool searched = true);
    QString sortOrder() const { return m_sort; }
    // One of the By... orders, or "" for file order.
    void setSortOrder(const QString &order);
    // The order turned around; ties keep file order.
    bool sortReversed() const { return m_sortReversed; }
    void setSortReversed(bool reversed);
    // With a review status, the rows show and count it; the filter and sort by status need it.
    void setReviewStatus(ReviewStatus *review);
    QString statusFilter() const { return m_status; }
    // A status's key (see StatusFile::key), or "" for no filter.
    void setStatusFilter(const QString &status);
    // Takes the order last chosen for the data set, and keeps each order chosen for it.
    void useSortOf(const QString &dataset);
    QVariantMap confusionFilter() const;
    // Rows whose matching counts in the confusion matrix's cell of a label of class
    // labelClass and a prediction of predictedClass; either may be Background.
    Q_INVOKABLE void setConfusionFilter(int labelClass, int predictedClass);
    Q_INVOKABLE void clearConfusionFilter();
    int background() const { return Background; }

    int count() const { return m_rows.size(); }
    int total() const;
    // Per class present in the rows that pass the other filters: catId and rows.
    QVariantList classCounts() const;
    // Per problem kind (and "any" first): kind, name and rows, with the other filters.
    QVariantList problemCounts() const;
    // Per shape (BoxShape, PolygonShape): shape, name and rows, with the other filters.
    QVariantList shapeCounts() const;
    // Per prediction filter value (AnyDisagreement first): kind, name and rows, with the other filters.
    QVariantList predictionCounts() const;
    // Per status: status, name and rows, with the other filters.
    QVariantList statusCounts() const;

public Q_SLOTS:
    // The image-list row of a row shown here, or -1.
    int sourceRow(int row) const;
    // The row shown after row, going round past the end, that is unreviewed; -1 for none.
    int nextUnreviewed(int row) const;
    // Figures over the rows shown, as DatasetStats::toVariant gives them.
    QVariantMap statistics() const;
    // Writes them per class as CSV (see CsvReport::csv) to file, replacing it whole;
    // categories name the classes (catId, catName), split names the rows' split.
    bool saveStatistics(const QString &file, const QVariantList &categories, const QString &split) const;
    // Writes a review report of the rows shown, in their order, as CSV (see
    // CsvReport::reviewCsv) to file, replacing it whole.
    bool saveReport(const QString &file) const;

Q_SIGNALS:
    void filterChanged();
    // The rows shown or the rows of the image list changed in number.
    void shownChanged();
    void countsChanged();

private:
    DatasetStats shownStatistics() const;
    // Works out the rows shown, in one model reset.
    void refilterRows();
    void updatePositions();
    // Keeps the rows of near-duplicate groups, in the order of their groups, and counts them.
    void keepDuplicates(QVector<int> &rows);
    // A filter changed: the rows shown and every count follow.
    void filtersChanged();
    void orderChanged();
    void matchingChanged();
    bool byMatching() const;
    void sortRows(QVector<int> &rows, const PredictionMatcher::Summary *summaries) const;
    void saveSort() const;
    int statusOf(int sourceRow) const;
    void reviewRowChanged(int sourceRow);
    void reviewChanged();
    // Works out the counts of every class and problem kind.
    void recount() const;
    void countIfStale() const;
    // A load has the rows shown at once and the counts a moment later, so that the
    // window draws the new rows sooner.
    void sourceReset();
    void sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex &parent, int first, int last);
    void sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles);

    ImageList *m_source;
    PredictionMatcher *m_matcher;
    QHash<int, QByteArray> m_roleNames;
    int m_sourceRowRole = 0;
    QString m_name;
    int m_class = AnyClass;
    QString m_problem;
    QString m_shape;
    QString m_prediction;
    QString m_sort;
    bool m_duplicates = false;
    QHash<QString, int> m_groupOf;
    bool m_searched = false;
    int m_duplicateCount = -1;
    bool m_sortReversed = false;
    QString m_sortDataset;
    QPointer<ReviewStatus> m_review;
    int m_statusRole = 0;
    QString m_status;
    mutable QVector<int> m_nameRank; // per image-list row; empty until a sort by name needs it
    bool m_cellSet = false;
    int m_cellLabel = 0;
    int m_cellPredicted = 0;
    QVector<int> m_rows;     // image-list rows, ascending unless sorted
    QVector<int> m_position; // per image-list row, its row here or -1
    bool m_removingRows = false;
    bool m_removingAll = false; // the rows going are not together here: a reset
    mutable QVariantList m_classCounts;
    mutable QVariantList m_problemCounts;
    mutable QVariantList m_shapeCounts;
    mutable QVariantList m_predictionCounts;
    mutable QVariantList m_statusCounts;
    mutable bool m_countsStale = true;
    mutable QTimer m_recount;
};

#endif
