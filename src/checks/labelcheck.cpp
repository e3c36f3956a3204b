#include "labelcheck.h"

#include "boxes/bboxlist.h"
#include "boxes/yololabelfile.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace LabelCheck {

namespace {

// Label files hold six significant digits, so an edge computed from a centre and a
// size may stray this far from where it was meant to be.
constexpr double EdgeSlack = 1e-6;

// Up to this many boxes every pair is compared; above it, a sweep along x.
constexpr int PairwiseLimit = 32;

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
    auto visit = [&](int i, int j) {
        const int early = std::min(i, j), late = std::max(i, j);
        if (of[late] < 0 || early < of[late])
            of[late] = early;
    };
    if (n <= PairwiseLimit) {
        for (int j = 1; j < n; ++j) {
            for (int i = 0; i < j; ++i) {
                const BoxInfo &a = *boxes[i], &b = *boxes[j];
                if (a.catId == b.catId && hasArea(a) && hasArea(b) && iou(a, b) >= DuplicateIoU)
                    visit(i, j);
            }
        }
        return of;
    }
    // Sorted by class, then left edge: a box only meets those that start before it ends.
    QVector<int> order;
    order.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (hasArea(*boxes[i]))
            order.append(i);
    }
    auto left = [&](int i) { return boxes[i]->cx - boxes[i]->cw / 2; };
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        if (boxes[a]->catId != boxes[b]->catId)
            return boxes[a]->catId < boxes[b]->catId;
        return left(a) < left(b);
    });
    for (int s = 0; s < order.size(); ++s) {
        const BoxInfo &a = *boxes[order[s]];
        const double right = a.cx + a.cw / 2;
        for (int t = s + 1; t < order.size(); ++t) {
            const BoxInfo &b = *boxes[order[t]];
            if (b.catId != a.catId || left(order[t]) >= right)
                break;
            if (iou(a, b) >= DuplicateIoU)
                visit(order[s], order[t]);
        }
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
        if (problem.kind == Kind::LabelWithoutImage || (problem.kind == Kind::ImageWithoutLabel && !hasLabelFile))
            problems.append(problem);
        partial |= problem.kind == Kind::PartialLine;
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
