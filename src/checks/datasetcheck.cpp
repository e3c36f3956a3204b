#include "datasetcheck.h"

#include "formats/yolofolder.h"
#include "images/imagelist.h"

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

} // namespace DatasetCheck
