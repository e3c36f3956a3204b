#ifndef BOXMERE_IMAGEFILTER_H
#define BOXMERE_IMAGEFILTER_H

#include <QAbstractListModel>
#include <QTimer>
#include <QVariantList>
#include <QVector>

#include <climits>

class ImageList;

// The rows of the image list that pass four filters: a part of the file name, a
// class that one of their boxes has, a kind of problem, and a kind of shape they
// hold (boxes or polygons). It offers the image list's roles plus imgRow, the row in
// the image list, which is what calls into ImageList take. With each filter but the
// name come its counts: how many rows each option would show together with the
// other filters. QML sees the app's
// instance as the singleton ImageFilter, over the ImageList singleton.
class ImageFilter : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString nameFilter READ nameFilter WRITE setNameFilter NOTIFY filterChanged)
    Q_PROPERTY(int classFilter READ classFilter WRITE setClassFilter NOTIFY filterChanged)
    Q_PROPERTY(QString problemFilter READ problemFilter WRITE setProblemFilter NOTIFY filterChanged)
    Q_PROPERTY(QString shapeFilter READ shapeFilter WRITE setShapeFilter NOTIFY filterChanged)
    Q_PROPERTY(int anyClass READ anyClass NOTIFY filterChanged)
    Q_PROPERTY(int count READ count NOTIFY shownChanged)
    Q_PROPERTY(int total READ total NOTIFY shownChanged)
    Q_PROPERTY(QVariantList classCounts READ classCounts NOTIFY countsChanged)
    Q_PROPERTY(QVariantList problemCounts READ problemCounts NOTIFY countsChanged)
    Q_PROPERTY(QVariantList shapeCounts READ shapeCounts NOTIFY countsChanged)

public:
    // The class filter's value for "every class".
    static constexpr int AnyClass = INT_MIN;
    // The problem filter's value for rows with any problem; "" is every row.
    static constexpr const char *AnyProblem = "any";
    // The shape filter's values: rows holding a plain box, rows holding a polygon.
    static constexpr const char *BoxShape = "boxes";
    static constexpr const char *PolygonShape = "polygons";

    explicit ImageFilter(ImageList *source);
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

    int count() const { return m_rows.size(); }
    int total() const;
    // Per class present in the rows that pass the other filters: catId and rows.
    QVariantList classCounts() const;
    // Per problem kind (and "any" first): kind, name and rows, with the other filters.
    QVariantList problemCounts() const;
    // Per shape (BoxShape, PolygonShape): shape, name and rows, with the other filters.
    QVariantList shapeCounts() const;

public Q_SLOTS:
    // The image-list row of a row shown here, or -1.
    int sourceRow(int row) const;
    // Figures over the rows shown, as DatasetStats::toVariant gives them.
    QVariantMap statistics() const;

Q_SIGNALS:
    void filterChanged();
    // The rows shown or the rows of the image list changed in number.
    void shownChanged();
    void countsChanged();

private:
    // Works out the rows shown, in one model reset.
    void refilterRows();
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
    QHash<int, QByteArray> m_roleNames;
    int m_sourceRowRole = 0;
    QString m_name;
    int m_class = AnyClass;
    QString m_problem;
    QString m_shape;
    QVector<int> m_rows; // image-list rows, ascending
    mutable QVariantList m_classCounts;
    mutable QVariantList m_problemCounts;
    mutable QVariantList m_shapeCounts;
    mutable bool m_countsStale = true;
    bool m_removing = false;
    mutable QTimer m_recount;
};

#endif
