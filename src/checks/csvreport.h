#ifndef BOXMERE_CSVREPORT_H
#define BOXMERE_CSVREPORT_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class DatasetStats;

// Figures as CSV for spreadsheets and scripts (RFC 4180: comma-separated, CRLF line
// ends, a field quoted when it holds a comma, a quote or a line break).
namespace CsvReport {

struct Split
{
    QString name; // "" for a set that is not split
    const DatasetStats *stats = nullptr;
};

// One row per split and class: split, class_id, class, images, boxes, polygons,
// median_width, median_height (fractions of the image).
QByteArray csv(const QVector<Split> &splits, const std::function<QString(int)> &className);

// One image of a review report. Disagreements are -1 without predictions.
struct ReviewRow
{
    QString image;     // the picture
    QString labelFile; // "" for none
    QString status;    // the review status's key
    int boxes = 0;
    QStringList problems; // the problem kinds' keys, one per problem
    int missed = -1;
    int extra = -1;
    int wrongClass = -1;
    int duplicates = -1;
};

// One row per image: image, label_file, status, boxes, problems (their number),
// problem_kinds (the kinds, each once, joined by spaces), missed, extra,
// wrong_class, duplicates (empty without predictions).
QByteArray reviewCsv(const QVector<ReviewRow> &rows);

// A field as CSV writes it. Text that a spreadsheet would take for a formula (it
// starts with =, +, - or @) gets a leading apostrophe, so that opening the file runs
// nothing.
QString field(const QString &text);

} // namespace CsvReport

#endif
