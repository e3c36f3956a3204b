#include "imagelistjson.h"

#include "images/imagelist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ImageListJson {

QByteArray write(const QVector<std::shared_ptr<ImageInfo>> &images)
{
    QJsonArray array;
    for (const std::shared_ptr<ImageInfo> &image : images) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), image->id);
        object.insert(QStringLiteral("fileName"), image->fileName);
        object.insert(QStringLiteral("filePath"), image->filePath);
        object.insert(QStringLiteral("width"), image->width);
        object.insert(QStringLiteral("height"), image->height);
        object.insert(QStringLiteral("bboxes"), image->bboxes ? image->bboxes->toJsonArray() : QJsonArray());
        array.append(object);
    }
    return QJsonDocument(array).toJson();
}

QList<std::shared_ptr<ImageInfo>> read(const QByteArray &bytes, QString *error)
{
    QList<std::shared_ptr<ImageInfo>> images;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (error) {
        error->clear();
        if (parseError.error != QJsonParseError::NoError)
            *error = QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        else if (!document.isArray())
            *error = QStringLiteral("the document is not an array");
    }
    const QJsonArray array = document.array();
    images.reserve(array.size());
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        auto image = std::make_shared<ImageInfo>();
        image->id = object.value(QLatin1String("id")).toInt();
        image->fileName = object.value(QLatin1String("fileName")).toString();
        image->filePath = object.value(QLatin1String("filePath")).toString();
        image->width = object.value(QLatin1String("width")).toInt();
        image->height = object.value(QLatin1String("height")).toInt();
        image->bboxes = std::make_unique<BBoxList>();
        const QJsonArray boxes = object.value(QLatin1String("bboxes")).toArray();
        for (const QJsonValue &boxValue : boxes) {
            const QJsonObject box = boxValue.toObject();
            image->bboxes->appendBox(
                box.value(QLatin1String("catId")).toInt(), box.value(QLatin1String("cx")).toDouble(),
                box.value(QLatin1String("cy")).toDouble(), box.value(QLatin1String("cw")).toDouble(),
                box.value(QLatin1String("ch")).toDouble());
        }
        images.append(std::move(image));
    }
    return images;
}

} // namespace ImageListJson
