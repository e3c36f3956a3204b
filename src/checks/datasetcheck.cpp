#include "datasetcheck.h"

#include "formats/yolofolder.h"
#include "images/imagelist.h"

#include <algorithm>
#include <cmath>

namespace DatasetCheck {

QSet<int> classIds(const QVector<ClassFile::ClassName> &names)
{
    QSet<int> ids;
    ids.reserve(names.size());
    for (const ClassFile::ClassName &name : names)
        ids.insert(name.id);
    return ids;
}

void checkScan(YoloFolder::Scan &scan, const QSet<int> *classes)
{
    LabelCheck::Context context;
    context.classes = classes;
    for (YoloFolder::LabelFile &file : scan.files)
        file.problems = LabelCheck::checkLabelFile(file.read, file.hasImage, context, file.hasLabelFile);
}

void checkRecords(const QList<std::shared_ptr<ImageInfo>> &records, const QSet<int> *classes)
{
    LabelCheck::Context context;
    context.classes = classes;
    for (const std::shared_ptr<ImageInfo> &image : records) {
        context.width = image->width;
        context.height = image->height;
        image->problems =
            image->bboxes ? LabelCheck::checkBoxes(image->bboxes->boxes(), context) : QVector<LabelCheck::Problem>();
    }
}

namespace {

// Each box for which is(box) holds, as "<label file> box <row>".
template <typename Predicate> QStringList findBoxes(const QVector<std::shared_ptr<ImageInfo>> &records, Predicate is)
{
    QStringList found;
    for (const std::shared_ptr<ImageInfo> &image : records) {
        if (!image->bboxes)
            continue;
        const QVector<std::shared_ptr<BoxInfo>> &boxes = image->bboxes->boxes();
        for (int i = 0; i < boxes.size(); ++i) {
            if (is(*boxes[i]))
                found.append(QStringLiteral("%1 box %2")
                                 .arg(image->yoloTxtFilePath.isEmpty() ? image->filePath : image->yoloTxtFilePath)
                                 .arg(i));
        }
    }
    return found;
}

} // namespace

QStringList nonFiniteBoxes(const QVector<std::shared_ptr<ImageInfo>> &records)
{
    return findBoxes(records, [](const BoxInfo &box) {
        return !std::isfinite(box.cx + box.cy + box.cw + box.ch) ||
               !std::all_of(box.points.cbegin(), box.points.cend(), [](double v) { return std::isfinite(v); });
    });
}

QStringList shortPolygons(const QVector<std::shared_ptr<ImageInfo>> &records)
{
    return findBoxes(records, [](const BoxInfo &box) { return box.isPolygon() && box.pointCount() < 3; });
}

} // namespace DatasetCheck
