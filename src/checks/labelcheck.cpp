#include "labelcheck.h"

#include "boxes/bboxlist.h"
#include "boxes/yololabelfile.h"

#include <QCoreApplication>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace LabelCheck {

namespace {

// Label files hold six significant digits, so an edge computed from a centre and a
// size may stray this far from where it was meant to be.
constexpr double EdgeSlack = 1e-6;

// Up to this many boxes every pair is compared; above it, a sweep along x.
constexpr int PairwiseLimit = 32;
// The sweep compares a box with at most this many boxes after it, so that a file of
// a million nearly equal boxes still checks in moments.
constexpr size_t MaxCompared = 256;

struct KindInfo
{
    Kind kind;
    const char *key;
    const char *description;
};

const KindInfo Kinds[KindCount] = {
    {Kind::OutOfRange, "out-of-range", QT_TRANSLATE_NOOP("LabelCheck", "coordinate outside 0 to 1")},
    {Kind::PastEdge, "past-edge", QT_TRANSLATE_NOOP("LabelCheck", "box past the picture's edge")},
    {Kind::NoSize, "no-size", QT_TRANSLATE_NOOP("LabelCheck", "width or height 0 or less")},
    {Kind::Tiny, "tiny", QT_TRANSLATE_NOOP("LabelCheck", "box under 2 pixels on a side")},
    {Kind::Duplicate, "duplicate", QT_TRANSLATE_NOOP("LabelCheck", "duplicate box")},
    {Kind::TooFewPoints, "too-few-points", QT_TRANSLATE_NOOP("LabelCheck", "polygon of fewer than 3 points")},
    {Kind::ZeroArea, "zero-area", QT_TRANSLATE_NOOP("LabelCheck", "polygon of zero area")},
    {Kind::SelfCrossing, "self-crossing", QT_TRANSLATE_NOOP("LabelCheck", "polygon that crosses itself")},
    {Kind::DuplicatePolygon, "duplicate-polygon", QT_TRANSLATE_NOOP("LabelCheck", "duplicate polygon")},
    {Kind::MixedShapes, "mixed-shapes", QT_TRANSLATE_NOOP("LabelCheck", "boxes and polygons mixed")},
    {Kind::UnknownClass, "unknown-class", QT_TRANSLATE_NOOP("LabelCheck", "class not in the class list")},
    {Kind::PartialLine, "partial-line", QT_TRANSLATE_NOOP("LabelCheck", "line not read whole")},
    {Kind::EmptyFile, "empty-file", QT_TRANSLATE_NOOP("LabelCheck", "empty label file")},
    {Kind::LabelWithoutImage, "no-image", QT_TRANSLATE_NOOP("LabelCheck", "label file without an image")},
    {Kind::ImageWithoutLabel, "no-label", QT_TRANSLATE_NOOP("LabelCheck", "image without a label file")},
    {Kind::Unreadable, "unreadable", QT_TRANSLATE_NOOP("LabelCheck", "unreadable label file")},
};

bool inUnitRange(double v)
{
    return v >= 0.0 && v <= 1.0; // false for NaN too
}

double iou(const BoxInfo &a, const BoxInfo &b)
{
    const double w = std::min(a.cx + a.cw / 2, b.cx + b.cw / 2) - std::max(a.cx - a.cw / 2, b.cx - b.cw / 2);
    const double h = std::min(a.cy + a.ch / 2, b.cy + b.ch / 2) - std::max(a.cy - a.ch / 2, b.cy - b.ch / 2);
    if (w <= 0 || h <= 0)
        return 0.0;
    const double overlap = w * h;
    return overlap / (a.cw * a.ch + b.cw * b.ch - overlap);
}

bool hasArea(const BoxInfo &box)
{
    return box.cw > 0 && box.ch > 0 && std::isfinite(box.cw * box.ch) && std::isfinite(box.cx) && std::isfinite(box.cy);
}

// For each box, the earlier box of the same class it duplicates, or -1.
QVector<int> findDuplicates(const QVector<std::shared_ptr<BoxInfo>> &boxes)
{
    const int n = boxes.size();
    QVector<int> of(n, -1);
    if (n <= PairwiseLimit) {
        for (int j = 1; j < n; ++j) {
            for (int i = 0; i < j && of[j] < 0; ++i) {
                const BoxInfo &a = *boxes[i], &b = *boxes[j];
                if (a.catId == b.catId && hasArea(a) && hasArea(b) && iou(a, b) >= DuplicateIoU)
                    of[j] = i;
            }
        }
        return of;
    }
    // Sorted by class, then left edge, equal boxes next to each other, each run of
    // equal boxes led by its first row. All later rows of a run repeat its first, and
    // meet other boxes as the first does, so only the first rows are compared with
    // other boxes.
    struct Entry
    {
        int catId;
        double left, cx, cy, cw, ch;
        int row;
        auto key() const { return std::tie(catId, left, cx, cy, cw, ch, row); }
        bool sameBox(const Entry &o) const
        {
            return catId == o.catId && cx == o.cx && cy == o.cy && cw == o.cw && ch == o.ch;
        }
    };
    std::vector<Entry> sorted;
    sorted.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const BoxInfo &b = *boxes[i];
        if (hasArea(b))
            sorted.push_back({b.catId, b.cx - b.cw / 2, b.cx, b.cy, b.cw, b.ch, i});
    }
    std::sort(sorted.begin(), sorted.end(), [](const Entry &a, const Entry &b) { return a.key() < b.key(); });
    std::vector<Entry> firsts;
    std::vector<int> runOf(sorted.size()); // the index in firsts of each sorted entry's run
    for (size_t s = 0; s < sorted.size(); ++s) {
        if (s == 0 || !sorted[s].sameBox(firsts.back()))
            firsts.push_back(sorted[s]);
        runOf[s] = int(firsts.size()) - 1;
    }
    // The lowest row of any other run each run's first duplicates.
    std::vector<int> nearest(firsts.size(), n);
    auto asBox = [](const Entry &e) { return BoxInfo{e.catId, e.cx, e.cy, e.cw, e.ch}; };
    for (size_t s = 0; s < firsts.size(); ++s) {
        const BoxInfo a = asBox(firsts[s]);
        // An IoU of DuplicateIoU or more leaves the left edges at most 1 - DuplicateIoU
        // of the width of the box further left apart (with room for rounding).
        const double reach = firsts[s].left + (1 - DuplicateIoU) * a.cw * (1 + 1e-6);
        const size_t last = std::min(firsts.size(), s + 1 + MaxCompared);
        for (size_t t = s + 1; t < last && firsts[t].catId == a.catId && firsts[t].left <= reach; ++t) {
            if (iou(a, asBox(firsts[t])) >= DuplicateIoU) {
                nearest[s] = std::min(nearest[s], firsts[t].row);
                nearest[t] = std::min(nearest[t], firsts[s].row);
            }
        }
    }
    for (size_t s = 0; s < sorted.size(); ++s) {
        const int row = sorted[s].row, first = firsts[runOf[s]].row, other = nearest[runOf[s]];
        // Rounding can leave a far-off box no overlap with its own copy.
        const BoxInfo self = asBox(sorted[s]);
        const bool repeats = row != first && iou(self, self) >= DuplicateIoU;
        const int earliest = std::min(repeats ? first : n, other);
        of[row] = earliest < row ? earliest : -1;
    }
    return of;
}

bool allInUnitRange(const QVector<double> &xy)
{
    return std::all_of(xy.cbegin(), xy.cend(), inUnitRange);
}

bool allFinite(const QVector<double> &xy)
{
    return std::all_of(xy.cbegin(), xy.cend(), [](double v) { return std::isfinite(v); });
}

// Twice the signed area (shoelace).
double doubleArea(const QVector<double> &xy)
{
    const int n = xy.size() / 2;
    double sum = 0;
    for (int i = 0, j = n - 1; i < n; j = i++)
        sum += (xy[2 * j] - xy[2 * i]) * (xy[2 * j + 1] + xy[2 * i + 1]);
    return sum;
}

double cross(double ax, double ay, double bx, double by, double cx, double cy)
{
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

// Whether two edges that share no corner cross at a point inside both; edges that only
// touch or run along each other are left alone, as real outlines often do that.
bool edgesCross(const double *p, const double *q, const double *r, const double *s)
{
    const double d1 = cross(r[0], r[1], s[0], s[1], p[0], p[1]);
    const double d2 = cross(r[0], r[1], s[0], s[1], q[0], q[1]);
    const double d3 = cross(p[0], p[1], q[0], q[1], r[0], r[1]);
    const double d4 = cross(p[0], p[1], q[0], q[1], s[0], s[1]);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

// A sweep over the edges along the polygon's longer side, so that only edges whose
// ranges on it meet are compared; a tall thin outline swept along x would compare
// nearly every pair.
bool crossesItself(const QVector<double> &xy, bool alongY)
{
    const int n = xy.size() / 2;
    if (n < 4)
        return false;
    struct Edge
    {
        double low, high, otherLow, otherHigh;
        int index;
    };
    const int a = alongY ? 1 : 0, b = 1 - a;
    QVarLengthArray<Edge, 64> edges(n);
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        edges[i] = {std::min(xy[2 * i + a], xy[2 * j + a]), std::max(xy[2 * i + a], xy[2 * j + a]),
                    std::min(xy[2 * i + b], xy[2 * j + b]), std::max(xy[2 * i + b], xy[2 * j + b]), i};
    }
    std::sort(edges.begin(), edges.end(), [](const Edge &e, const Edge &f) { return e.low < f.low; });
    for (int s = 0; s < n; ++s) {
        const Edge &e = edges[s];
        for (int t = s + 1; t < n && edges[t].low <= e.high; ++t) {
            const Edge &f = edges[t];
            const int gap = std::abs(e.index - f.index);
            if (gap == 1 || gap == n - 1 || f.otherLow > e.otherHigh || f.otherHigh < e.otherLow)
                continue;
            const int i = e.index, j = f.index;
            if (edgesCross(&xy[2 * i], &xy[2 * ((i + 1) % n)], &xy[2 * j], &xy[2 * ((j + 1) % n)]))
                return true;
        }
    }
    return false;
}

// The x intervals inside a polygon along the line at height y (even-odd rule), sorted.
void spans(const QVector<double> &xy, double y, QVarLengthArray<double, 64> &out)
{
    out.clear();
    const int n = xy.size() / 2;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const double y0 = xy[2 * j + 1], y1 = xy[2 * i + 1];
        if ((y0 > y) != (y1 > y))
            out.append(xy[2 * j] + (y - y0) * (xy[2 * i] - xy[2 * j]) / (y1 - y0));
    }
    std::sort(out.begin(), out.end());
}

double spanLength(const QVarLengthArray<double, 64> &s)
{
    double length = 0;
    for (int k = 0; k + 1 < s.size(); k += 2)
        length += s[k + 1] - s[k];
    return length;
}

// The IoU of two polygons' masks, measured along rows across the boxes' common height.
double maskIoU(const BoxInfo &a, const BoxInfo &b)
{
    constexpr int Rows = 64;
    const double top = std::min(a.cy - a.ch / 2, b.cy - b.ch / 2);
    const double bottom = std::max(a.cy + a.ch / 2, b.cy + b.ch / 2);
    QVarLengthArray<double, 64> sa, sb;
    double overlap = 0, both = 0;
    for (int r = 0; r < Rows; ++r) {
        const double y = top + (bottom - top) * (r + 0.5) / Rows;
        spans(a.points, y, sa);
        spans(b.points, y, sb);
        const double la = spanLength(sa), lb = spanLength(sb);
        double common = 0;
        for (int i = 0, j = 0; i + 1 < sa.size() && j + 1 < sb.size();) {
            common += std::max(0.0, std::min(sa[i + 1], sb[j + 1]) - std::max(sa[i], sb[j]));
            if (sa[i + 1] < sb[j + 1])
                i += 2;
            else
                j += 2;
        }
        overlap += common;
        both += la + lb - common;
    }
    return both > 0 ? overlap / both : 0.0;
}

// For each polygon row, the earlier polygon of the same class it duplicates, or -1:
// their bounding boxes and their masks both overlap by DuplicateIoU or more, so that
// two halves of one box are not taken for copies.
QVector<int> findDuplicatePolygons(const QVector<std::shared_ptr<BoxInfo>> &boxes)
{
    QVector<int> of(boxes.size(), -1);
    std::vector<int> rows;
    for (int i = 0; i < boxes.size(); ++i) {
        const BoxInfo &b = *boxes[i];
        if (b.isPolygon() && b.pointCount() >= 3 && hasArea(b) && allFinite(b.points))
            rows.push_back(i);
    }
    auto left = [&](int row) { return boxes[row]->cx - boxes[row]->cw / 2; };
    std::sort(rows.begin(), rows.end(), [&](int a, int b) {
        return std::make_tuple(boxes[a]->catId, left(a), a) < std::make_tuple(boxes[b]->catId, left(b), b);
    });
    for (size_t s = 0; s < rows.size(); ++s) {
        const BoxInfo &a = *boxes[rows[s]];
        const double reach = left(rows[s]) + (1 - DuplicateIoU) * a.cw * (1 + 1e-6);
        const size_t last = std::min(rows.size(), s + 1 + MaxCompared);
        for (size_t t = s + 1; t < last && boxes[rows[t]]->catId == a.catId && left(rows[t]) <= reach; ++t) {
            const BoxInfo &b = *boxes[rows[t]];
            if (iou(a, b) < DuplicateIoU || maskIoU(a, b) < DuplicateIoU)
                continue;
            const int early = std::min(rows[s], rows[t]), late = std::max(rows[s], rows[t]);
            if (of[late] < 0 || early < of[late])
                of[late] = early;
        }
    }
    return of;
}

void markPolygons(QVector<Problem> &problems, const QVector<std::shared_ptr<BoxInfo>> &boxes)
{
    for (Problem &problem : problems)
        problem.polygon = problem.box >= 0 && problem.box < boxes.size() && boxes[problem.box]->isPolygon();
}

} // namespace

QString key(Kind kind)
{
    return QLatin1String(Kinds[int(kind)].key);
}

bool fromKey(const QString &key, Kind &kind)
{
    for (const KindInfo &info : Kinds) {
        if (key == QLatin1String(info.key)) {
            kind = info.kind;
            return true;
        }
    }
    return false;
}

QString description(Kind kind)
{
    return QCoreApplication::translate("LabelCheck", Kinds[int(kind)].description);
}

QString describe(const Problem &problem)
{
    QString text = description(problem.kind);
    if (problem.kind == Kind::Duplicate && problem.other >= 0)
        text = QCoreApplication::translate("LabelCheck", "duplicate of box %1").arg(problem.other);
    else if (problem.kind == Kind::DuplicatePolygon && problem.other >= 0)
        text = QCoreApplication::translate("LabelCheck", "duplicate of polygon %1").arg(problem.other);
    else if (problem.kind == Kind::PartialLine && problem.other > 0)
        text = QCoreApplication::translate("LabelCheck", "line %1 not read whole").arg(problem.other);
    if (problem.box >= 0 && problem.polygon)
        text = QCoreApplication::translate("LabelCheck", "polygon %1: %2").arg(problem.box).arg(text);
    else if (problem.box >= 0)
        text = QCoreApplication::translate("LabelCheck", "box %1: %2").arg(problem.box).arg(text);
    return text;
}

QVector<Problem> checkBoxes(const QVector<std::shared_ptr<BoxInfo>> &boxes, const Context &context)
{
    QVector<Problem> problems;
    const bool sized = context.width > 0 && context.height > 0;
    int polygons = 0;
    for (const std::shared_ptr<BoxInfo> &box : boxes)
        polygons += box->isPolygon() ? 1 : 0;
    if (polygons > 0 && polygons < boxes.size())
        problems.append({Kind::MixedShapes});
    for (int row = 0; row < boxes.size(); ++row) {
        const BoxInfo &box = *boxes[row];
        if (box.isPolygon()) {
            // The corners are what the file holds; the bounding box made from them can
            // pass no edge they do not.
            if (!allInUnitRange(box.points))
                problems.append({Kind::OutOfRange, row});
            // The area of an outline that crosses itself says nothing: its loops cancel.
            const bool crossing =
                box.pointCount() >= 4 && allFinite(box.points) && crossesItself(box.points, box.ch > box.cw);
            if (box.pointCount() < 3)
                problems.append({Kind::TooFewPoints, row});
            // Corners on one line, written with six significant digits, still enclose a
            // sliver up to about EdgeSlack wide: that is a line, not a shape.
            else if (!crossing && allFinite(box.points) &&
                     std::abs(doubleArea(box.points)) / 2 <= EdgeSlack * (box.cw + box.ch))
                problems.append({Kind::ZeroArea, row});
            else if (sized && (box.cw * context.width < MinPixels || box.ch * context.height < MinPixels))
                problems.append({Kind::Tiny, row});
            if (crossing)
                problems.append({Kind::SelfCrossing, row});
        } else {
            const bool inRange =
                inUnitRange(box.cx) && inUnitRange(box.cy) && inUnitRange(box.cw) && inUnitRange(box.ch);
            if (!inRange)
                problems.append({Kind::OutOfRange, row});
            // Outside 0 to 1 already says more than "past the edge" would.
            else if (box.cx - box.cw / 2 < -EdgeSlack || box.cx + box.cw / 2 > 1 + EdgeSlack ||
                     box.cy - box.ch / 2 < -EdgeSlack || box.cy + box.ch / 2 > 1 + EdgeSlack)
                problems.append({Kind::PastEdge, row});
            if (!(box.cw > 0) || !(box.ch > 0))
                problems.append({Kind::NoSize, row});
            else if (sized && (box.cw * context.width < MinPixels || box.ch * context.height < MinPixels))
                problems.append({Kind::Tiny, row});
        }
        if (context.classes && !context.classes->contains(box.catId))
            problems.append({Kind::UnknownClass, row});
    }
    bool any = false;
    if (boxes.size() - polygons > 1) {
        // A polygon and a box over the same object are the mixed file's problem.
        QVector<std::shared_ptr<BoxInfo>> plain;
        QVector<int> rowOf;
        if (polygons > 0) {
            for (int row = 0; row < boxes.size(); ++row) {
                if (!boxes[row]->isPolygon()) {
                    plain.append(boxes[row]);
                    rowOf.append(row);
                }
            }
        }
        const auto row = [&](int i) { return polygons > 0 ? rowOf[i] : i; };
        const QVector<int> duplicates = findDuplicates(polygons > 0 ? plain : boxes);
        for (int i = 0; i < duplicates.size(); ++i) {
            if (duplicates[i] >= 0) {
                problems.append({Kind::Duplicate, row(i), row(duplicates[i])});
                any = true;
            }
        }
    }
    if (polygons > 1) {
        const QVector<int> duplicates = findDuplicatePolygons(boxes);
        for (int row = 0; row < duplicates.size(); ++row) {
            if (duplicates[row] >= 0) {
                problems.append({Kind::DuplicatePolygon, row, duplicates[row]});
                any = true;
            }
        }
    }
    if (any) {
        std::stable_sort(problems.begin(), problems.end(),
                         [](const Problem &a, const Problem &b) { return a.box < b.box; });
    }
    markPolygons(problems, boxes);
    return problems;
}

QVector<Problem> checkLabelFile(const YoloLabelFile::ReadResult &read, bool hasImage, const Context &context,
                                bool hasLabelFile)
{
    QVector<Problem> problems;
    if (!hasLabelFile)
        return {{Kind::ImageWithoutLabel}};
    if (!hasImage)
        problems.append({Kind::LabelWithoutImage});
    if (read.unreadable) {
        problems.append({Kind::Unreadable});
        return problems;
    }
    if (read.boxes.isEmpty() && read.partial.isEmpty())
        problems.append({Kind::EmptyFile});
    for (const YoloLabelFile::PartialLine &line : read.partial)
        problems.append({Kind::PartialLine, line.box, line.line});
    if (!read.boxes.isEmpty())
        problems += checkBoxes(read.boxes, context);
    markPolygons(problems, read.boxes);
    return problems;
}

QVector<Problem> recheck(const QVector<Problem> &before, const QVector<std::shared_ptr<BoxInfo>> &boxes,
                         bool hasLabelFile, const Context &context)
{
    QVector<Problem> problems;
    bool partial = false;
    for (const Problem &problem : before) {
        if (problem.kind == Kind::LabelWithoutImage || problem.kind == Kind::Unreadable ||
            (problem.kind == Kind::ImageWithoutLabel && !hasLabelFile))
            problems.append(problem);
        partial |= problem.kind == Kind::PartialLine || problem.kind == Kind::Unreadable;
    }
    if (hasLabelFile && boxes.isEmpty() && !partial)
        problems.append({Kind::EmptyFile});
    // Edits may have moved the box of a line not read whole; its line number stands.
    for (const Problem &problem : before) {
        if (problem.kind == Kind::PartialLine)
            problems.append({Kind::PartialLine, problem.box < boxes.size() ? problem.box : -1, problem.other});
    }
    problems += checkBoxes(boxes, context);
    markPolygons(problems, boxes);
    return problems;
}

} // namespace LabelCheck
