#ifndef BOXMERE_LABELCHECK_H
#define BOXMERE_LABELCHECK_H

#include <QSet>
#include <QString>
#include <QVector>

#include <memory>

struct BoxInfo;

namespace YoloLabelFile {
struct ReadResult;
}

// The faults a review looks for in a label file and its boxes.
namespace LabelCheck {

enum class Kind
{
    OutOfRange,        // a coordinate outside 0 to 1
    PastEdge,          // the box reaches past the picture's edge
    NoSize,            // width or height 0 or less
    Tiny,              // under MinPixels on a side, for a known image size
    Duplicate,         // same class as an earlier box, IoU of DuplicateIoU or more
    TooFewPoints,      // a polygon of fewer than three corners
    ZeroArea,          // a polygon that encloses no area
    SelfCrossing,      // a polygon whose edges cross
    DuplicatePolygon,  // same class as an earlier polygon, boxes and masks overlapping DuplicateIoU or more
    MixedShapes,       // a file holding both boxes and polygons
    UnknownClass,      // a class outside the class list
    PartialLine,       // a line the reader did not take over whole
    EmptyFile,         // a label file without boxes
    LabelWithoutImage, // no picture for the label file
    ImageWithoutLabel, // a picture without a label file
    Unreadable,        // a label file that exists but cannot be read
};
constexpr int KindCount = int(Kind::Unreadable) + 1;

constexpr double MinPixels = 2.0;
constexpr double DuplicateIoU = 0.9;

struct Problem
{
    Kind kind = Kind::OutOfRange;
    int box = -1;   // the box row, or -1 for the file as a whole
    int other = -1; // Duplicate(Polygon): the earlier row it repeats; PartialLine: the line number from 1
    // The row is a polygon, so that describe() names it one; follows from the row.
    bool polygon = false;
};

inline bool operator==(const Problem &a, const Problem &b)
{
    return a.kind == b.kind && a.box == b.box && a.other == b.other;
}

// Stable names for filters, options and machine-readable output, e.g. "out-of-range".
QString key(Kind kind);
// False when no kind has that key.
bool fromKey(const QString &key, Kind &kind);
// What the kind means, for people: "coordinate outside 0 to 1".
QString description(Kind kind);
// One problem in a sentence, e.g. "box 3: duplicate of box 1".
QString describe(const Problem &problem);

struct Context
{
    int width = 0; // pixels; 0 when not known
    int height = 0;
    const QSet<int> *classes = nullptr; // null when there is no class list to check against
};

// The problems of the boxes themselves: boxes and polygons mixed, which belongs to no
// one box, first, then the rest ordered by box row. Polygons are judged by their
// corners, not by their bounding box, and only against other polygons for duplicates.
QVector<Problem> checkBoxes(const QVector<std::shared_ptr<BoxInfo>> &boxes, const Context &context);

// All problems of one read label file: the lines not taken whole, an empty file, a
// missing picture, then those of its boxes. Without a label file, only that; for a
// file that could not be read, the missing picture and that.
QVector<Problem> checkLabelFile(const YoloLabelFile::ReadResult &read, bool hasImage, const Context &context,
                                bool hasLabelFile = true);

// The problems of a row whose boxes changed: its boxes checked again, an empty label
// file when it has one, the lines not taken whole and the missing picture kept from
// before, and the missing label file while it is still missing.
QVector<Problem> recheck(const QVector<Problem> &before, const QVector<std::shared_ptr<BoxInfo>> &boxes,
                         bool hasLabelFile, const Context &context);

} // namespace LabelCheck

#endif
