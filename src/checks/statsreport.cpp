#include "statsreport.h"

#include "checks/datasetstats.h"

#include <QStringList>

#include <cmath>

namespace StatsReport {

namespace {

QString number(double value)
{
    return std::isfinite(value) ? QString::number(value, 'g', 6) : QString();
}

} // namespace

QString field(const QString &text)
{
    QString value = text;
    if (!value.isEmpty() && QStringLiteral("=+-@").contains(value.front()))
        value.prepend(QLatin1Char('\''));
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\n')) ||
        value.contains(QLatin1Char('\r'))) {
        value.replace(QLatin1String("\""), QLatin1String("\"\""));
        value = QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value;
}

QByteArray csv(const QVector<Split> &splits, const std::function<QString(int)> &className)
{
    QString text = QStringLiteral("split,class_id,class,images,boxes,polygons,median_width,median_height\r\n");
    for (const Split &split : splits) {
        const DatasetStats &stats = *split.stats;
        for (const auto &[catId, boxes] : stats.boxesPerClass()) {
            const auto polygons = stats.polygonsPerClass().find(catId);
            const QStringList row{field(split.name),
                                  QString::number(catId),
                                  field(className(catId)),
                                  QString::number(stats.imagesWithClass(catId)),
                                  QString::number(boxes),
                                  QString::number(polygons == stats.polygonsPerClass().end() ? 0 : polygons->second),
                                  number(stats.classWidthMedian(catId)),
                                  number(stats.classHeightMedian(catId))};
            text += row.join(QLatin1Char(',')) + QLatin1String("\r\n");
        }
    }
    return text.toUtf8();
}

} // namespace StatsReport
