#ifndef BOXMERE_STATSREPORT_H
#define BOXMERE_STATSREPORT_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

class DatasetStats;

// Figures as CSV for spreadsheets and scripts (RFC 4180: comma-separated, CRLF line
// ends, a field quoted when it holds a comma, a quote or a line break).
namespace StatsReport {

struct Split
{
    QString name; // "" for a set that is not split
    const DatasetStats *stats = nullptr;
};

// One row per split and class: split, class_id, class, images, boxes, polygons,
// median_width, median_height (fractions of the image).
QByteArray csv(const QVector<Split> &splits, const std::function<QString(int)> &className);

// A field as CSV writes it. Text that a spreadsheet would take for a formula (it
// starts with =, +, - or @) gets a leading apostrophe, so that opening the file runs
// nothing.
QString field(const QString &text);

} // namespace StatsReport

#endif
