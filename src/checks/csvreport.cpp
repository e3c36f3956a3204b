#include "csvreport.h"

#include "checks/datasetstats.h"

#include <QStringList>

#include <cmath>

namespace CsvReport {

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

QByteArray reviewCsv(const QVector<ReviewRow> &rows)
{
    QString text =
        QStringLiteral("image,label_file,status,boxes,problems,problem_kinds,missed,extra,wrong_class,duplicates\r\n");
    const auto count = [](int n) { return n < 0 ? QString() : QString::number(n); };
    for (const ReviewRow &row : rows) {
        QStringList kinds = row.problems;
        kinds.removeDuplicates();
        const QStringList fields{field(row.image),
                                 field(row.labelFile),
                                 field(row.status),
                                 QString::number(row.boxes),
                                 QString::number(row.problems.size()),
                                 field(kinds.join(QLatin1Char(' '))),
                                 count(row.missed),
                                 count(row.extra),
                                 count(row.wrongClass),
                                 count(row.duplicates)};
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return text.toUtf8();
}

} // namespace CsvReport
