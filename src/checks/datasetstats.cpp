#include "datasetstats.h"

#include "boxes/bboxlist.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

// The bin of a fraction of the image; values outside 0 to 1, infinities and NaN go to
// the edge bins.
int binOf(double fraction, int bins)
{
    if (!(fraction > 0))
        return 0;
    return fraction < 1 ? int(fraction * bins) : bins - 1;
}

// The nearest-rank quantile; reorders values.
double quantile(std::vector<double> &values, double q)
{
    if (values.empty())
        return 0.0;
    const auto at = values.begin() + std::llround(q * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

} // namespace

void DatasetStats::add(const QVector<std::shared_ptr<BoxInfo>> &boxes, const QVector<LabelCheck::Problem> &problems)
{
    ++m_images;
    m_boxes += boxes.size();
    ++m_perImage[std::min(boxes.size(), int(PerImageBars))];
    QVarLengthArray<int, 16> seen;
    for (const std::shared_ptr<BoxInfo> &box : boxes) {
        ++m_perClass[box->catId];
        ClassSizes &sizes = m_classSizes[box->catId];
        if (std::find(seen.begin(), seen.end(), box->catId) == seen.end()) {
            seen.append(box->catId);
            ++sizes.images;
        }
        if (!std::isnan(box->cw))
            sizes.widths.push_back(box->cw);
        if (!std::isnan(box->ch))
            sizes.heights.push_back(box->ch);
        if (box->isPolygon()) {
            ++m_polygons;
            ++m_polygonsPerClass[box->catId];
            m_points.push_back(box->pointCount());
        }
        ++m_sizes[binOf(box->ch, Bins) * Bins + binOf(box->cw, Bins)];
        // NaN has no place in an order.
        if (!std::isnan(box->cw))
            m_widths.push_back(box->cw);
        if (!std::isnan(box->ch))
            m_heights.push_back(box->ch);
    }
    for (const LabelCheck::Problem &problem : problems)
        ++m_problems[int(problem.kind)];
}

void DatasetStats::addProblems(LabelCheck::Kind kind, int count)
{
    m_problems[int(kind)] += count;
}

double DatasetStats::widthQuantile(double q) const
{
    std::vector<double> values = m_widths;
    return quantile(values, q);
}

double DatasetStats::heightQuantile(double q) const
{
    std::vector<double> values = m_heights;
    return quantile(values, q);
}

int DatasetStats::imagesWithClass(int catId) const
{
    const auto found = m_classSizes.find(catId);
    return found == m_classSizes.end() ? 0 : found->second.images;
}

double DatasetStats::classWidthMedian(int catId) const
{
    const auto found = m_classSizes.find(catId);
    std::vector<double> values = found == m_classSizes.end() ? std::vector<double>() : found->second.widths;
    return values.empty() ? qQNaN() : quantile(values, 0.5);
}

double DatasetStats::classHeightMedian(int catId) const
{
    const auto found = m_classSizes.find(catId);
    std::vector<double> values = found == m_classSizes.end() ? std::vector<double>() : found->second.heights;
    return values.empty() ? qQNaN() : quantile(values, 0.5);
}

int DatasetStats::pointsQuantile(double q) const
{
    std::vector<double> values = m_points;
    return int(quantile(values, q));
}

QVariantMap DatasetStats::toVariant() const
{
    QVariantList perClass;
    for (const auto &[catId, count] : m_perClass) {
        const auto polygons = m_polygonsPerClass.find(catId);
        perClass.append(
            QVariantMap{{QStringLiteral("catId"), catId},
                        {QStringLiteral("boxes"), count},
                        {QStringLiteral("polygons"), polygons == m_polygonsPerClass.end() ? 0 : polygons->second}});
    }

    // Bars up to the largest count that occurs, so that a set of 1 to 5 boxes per image
    // is not drawn as thirty bars.
    int last = 0;
    for (int n = 0; n <= PerImageBars; ++n) {
        if (m_perImage[n] > 0)
            last = n;
    }
    QVariantList perImage;
    for (int n = 0; n <= last; ++n) {
        const QString label = n == PerImageBars ? QStringLiteral("%1+").arg(n) : QString::number(n);
        perImage.append(QVariantMap{{QStringLiteral("label"), label}, {QStringLiteral("images"), m_perImage[n]}});
    }

    QVariantList cells;
    int max = 0;
    for (const int count : m_sizes) {
        cells.append(count);
        max = std::max(max, count);
    }

    QVariantList problems;
    for (int k = 0; k < LabelCheck::KindCount; ++k) {
        const auto kind = LabelCheck::Kind(k);
        // A bar for unreadable files only when there is one: it is the rarest kind. Bars
        // for the faults of polygons only where there are polygons.
        const bool polygonKind = kind >= LabelCheck::Kind::TooFewPoints && kind <= LabelCheck::Kind::MixedShapes;
        if ((kind == LabelCheck::Kind::Unreadable || (polygonKind && m_polygons == 0)) && m_problems[k] == 0)
            continue;
        problems.append(QVariantMap{{QStringLiteral("kind"), LabelCheck::key(kind)},
                                    {QStringLiteral("name"), LabelCheck::description(kind)},
                                    {QStringLiteral("count"), m_problems[k]}});
    }

    return {{QStringLiteral("images"), m_images},
            {QStringLiteral("boxes"), m_boxes},
            {QStringLiteral("polygons"), m_polygons},
            {QStringLiteral("points"), QVariantMap{{QStringLiteral("p5"), pointsQuantile(0.05)},
                                                   {QStringLiteral("median"), pointsQuantile(0.5)},
                                                   {QStringLiteral("p95"), pointsQuantile(0.95)}}},
            {QStringLiteral("perClass"), perClass},
            {QStringLiteral("perImage"), perImage},
            {QStringLiteral("sizes"), QVariantMap{{QStringLiteral("bins"), int(Bins)},
                                                  {QStringLiteral("counts"), cells},
                                                  {QStringLiteral("max"), max}}},
            {QStringLiteral("problems"), problems}};
}
