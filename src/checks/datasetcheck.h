#ifndef BOXMERE_DATASETCHECK_H
#define BOXMERE_DATASETCHECK_H

#include "formats/classfile.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <memory>

struct ImageInfo;

namespace YoloFolder {
struct Scan;
}

// Runs the label checks over whole loads.
namespace DatasetCheck {

// The class numbers of a class list.
QSet<int> classIds(const QVector<ClassFile::ClassName> &names);

// Fills the problems of every label file of a scan; classes null skips the class check.
void checkScan(YoloFolder::Scan &scan, const QSet<int> *classes);

// Fills the problems of records that have no label file (JSON and COCO rows).
void checkRecords(const QList<std::shared_ptr<ImageInfo>> &records, const QSet<int> *classes);

// The boxes that hold a number that is not finite, which no file may be given, as
// "<label file> box <row>" (the picture's path for rows without a label file).
QStringList nonFiniteBoxes(const QVector<std::shared_ptr<ImageInfo>> &records);

// The polygons of fewer than three points, named the same way: a label line of two
// corners would read back as a box.
QStringList shortPolygons(const QVector<std::shared_ptr<ImageInfo>> &records);

} // namespace DatasetCheck

#endif
