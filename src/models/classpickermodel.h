#ifndef BOXMERE_CLASSPICKERMODEL_H
#define BOXMERE_CLASSPICKERMODEL_H

#include <QAbstractListModel>
#include <QString>
#include <QVariantList>
#include <QVector>

// The categories that match what the user typed into the class picker: the number
// itself first, then the names that start with the text, the numbers that start with
// it, and the names that hold it anywhere, names ignoring case; each group in list order.
// Without text, every category. Rows have the roles catId, catName and catColor.
class ClassPickerModel : public QAbstractListModel
{
    Q_OBJECT
    // {catId, catName, catColor} per category, as DatasetLoader gives them.
    Q_PROPERTY(QVariantList categories READ categories WRITE setCategories NOTIFY categoriesChanged)
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role
    {
        CatIdRole = Qt::UserRole + 1,
        CatNameRole,
        CatColorRole
    };

    explicit ClassPickerModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QVariantList categories() const { return m_categories; }
    void setCategories(const QVariantList &categories);
    QString filterText() const { return m_filterText; }
    void setFilterText(const QString &text);

Q_SIGNALS:
    void categoriesChanged();
    void filterTextChanged();
    void countChanged();

public Q_SLOTS:
    // The category number of a row, or -1 for a row that does not exist.
    int catIdAt(int row) const;

private:
    void refilter();

    QVariantList m_categories;
    QString m_filterText;
    QVector<QVariantMap> m_rows;
};

#endif
