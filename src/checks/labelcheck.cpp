#include "labelcheck.h"

#include "boxes/bboxlist.h"
#include "boxes/yololabelfile.h"

#include <QCoreApplication>

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
    else if (problem.kind == Kind::PartialLine && problem.other > 0)
        text = QCoreApplication::translate("LabelCheck", "line %1 not read whole").arg(problem.other);
    if (problem.box >= 0)
        text = QCoreApplication::translate("LabelCheck", "box %1: %2").arg(problem.box).arg(text);
    return text;
}

QVector<Problem> checkBoxes(const QVector<std::shared_ptr<BoxInfo>> &boxes, const Context &context)
{
    QVector<Problem> problems;
    const bool sized = context.width > 0 && context.height > 0;
    for (int row = 0; row < boxes.size(); ++row) {
        const BoxInfo &box = *boxes[row];
        const bool inRange = inUnitRange(box.cx) && inUnitRange(box.cy) && inUnitRange(box.cw) && inUnitRange(box.ch);
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
        if (context.classes && !context.classes->contains(box.catId))
            problems.append({Kind::UnknownClass, row});
    }
    if (boxes.size() > 1) {
        const QVector<int> duplicates = findDuplicates(boxes);
        bool any = false;
        for (int row = 0; row < duplicates.size(); ++row) {
            if (duplicates[row] >= 0) {
                problems.append({Kind::Duplicate, row, duplicates[row]});
                any = true;
            }
        }
        if (any) {
            std::stable_sort(problems.begin(), problems.end(),
                             [](const Problem &a, const Problem &b) { return a.box < b.box; });
        }
    }
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
    return problems;
}

} // namespace LabelCheck
