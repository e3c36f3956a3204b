#include "classpickermodel.h"

#include <algorithm>

ClassPickerModel::ClassPickerModel(QObject *parent) : QAbstractListModel(parent) {}

int ClassPickerModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ClassPickerModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QVariantMap &row = m_rows.at(index.row());
    switch (role) {
    case CatIdRole:
        return row.value(QStringLiteral("catId"));
    case CatNameRole:
        return row.value(QStringLiteral("catName"));
    case CatColorRole:
        return row.value(QStringLiteral("catColor"));
    default:
        return {};
    }
}

QHash<int, QByteArray> ClassPickerModel::roleNames() const
{
    return {{CatIdRole, "catId"}, {CatNameRole, "catName"}, {CatColorRole, "catColor"}};
}

void ClassPickerModel::setCategories(const QVariantList &categories)
{
    m_categories = categories;
    refilter();
    Q_EMIT categoriesChanged();
}

void ClassPickerModel::setFilterText(const QString &text)
{
    if (m_filterText == text)
        return;
    m_filterText = text;
    refilter();
    Q_EMIT filterTextChanged();
}

int ClassPickerModel::catIdAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).value(QStringLiteral("catId")).toInt() : -1;
}

void ClassPickerModel::refilter()
{
    const QString text = m_filterText.trimmed();
    // Lower ranks come first; -1 leaves the category out.
    const auto rank = [&text](const QVariantMap &category) {
        const QString number = category.value(QStringLiteral("catId")).toString();
        const QString name = category.value(QStringLiteral("catName")).toString();
        if (text.isEmpty() || number == text)
            return 0;
        if (name.startsWith(text, Qt::CaseInsensitive))
            return 1;
        if (number.startsWith(text))
            return 2;
        return name.contains(text, Qt::CaseInsensitive) ? 3 : -1;
    };
    QVector<QPair<int, QVariantMap>> ranked;
    for (const QVariant &category : qAsConst(m_categories)) {
        const QVariantMap map = category.toMap();
        const int r = rank(map);
        if (r >= 0)
            ranked.append({r, map});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    const int before = m_rows.size();
    beginResetModel();
    m_rows.clear();
    for (const auto &entry : qAsConst(ranked))
        m_rows.append(entry.second);
    endResetModel();
    if (m_rows.size() != before)
        Q_EMIT countChanged();
}
