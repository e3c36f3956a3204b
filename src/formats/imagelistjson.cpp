#include "imagelistjson.h"

#include "formats/jsonint.h"
#include "images/imagelist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <simdjson.h>
#include <string_view>

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

namespace {

using namespace simdjson;

error_code validate(ondemand::value value);

// Whether the value is of the wanted type. One that is not is validated instead: Qt's
// toObject(), toArray(), toString() and toDouble() read it as empty or 0.
error_code ofType(ondemand::value value, ondemand::json_type wanted, bool &is)
{
    ondemand::json_type type;
    if (auto error = value.type().get(type))
        return error;
    is = type == wanted;
    return is ? SUCCESS : validate(value);
}

// Calls fn(key, value) for each member of an object value.
template <typename Fn> error_code forEachField(ondemand::value value, Fn &&fn)
{
    bool is = false;
    ondemand::object object;
    if (auto error = ofType(value, ondemand::json_type::object, is); error || !is)
        return error;
    if (auto error = value.get_object().get(object))
        return error;
    for (auto field : object) {
        std::string_view key;
        ondemand::value v;
        if (auto error = field.unescaped_key().get(key);
            error || (error = field.value().get(v)) || (error = fn(key, v)))
            return error;
    }
    return SUCCESS;
}

// Calls fn(element) for each element of an array value.
template <typename Fn> error_code forEachElement(ondemand::value value, Fn &&fn)
{
    bool is = false;
    ondemand::array array;
    if (auto error = ofType(value, ondemand::json_type::array, is); error || !is)
        return error;
    if (auto error = value.get_array().get(array))
        return error;
    for (auto element : array) {
        ondemand::value v;
        if (auto error = element.get(v); error || (error = fn(v)))
            return error;
    }
    return SUCCESS;
}

// A number as Qt's parser reads it, which refuses one too small for a double where
// simdjson gives 0.
error_code getNumber(ondemand::value value, double &out)
{
    const std::string_view text = value.raw_json_token();
    if (auto error = value.get_double().get(out))
        return error;
    for (const char c : text) {
        if (out != 0 || c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return NUMBER_ERROR;
    }
    return SUCCESS;
}

// Goes through a value whole, as a full parse would: On-Demand checks numbers,
// literals and escapes only when they are read, and a document must be refused for a
// broken value the reader has no use for.
error_code validate(ondemand::value value)
{
    ondemand::json_type type;
    if (auto error = value.type().get(type))
        return error;
    double number = 0.0;
    bool null = false;
    switch (type) {
    case ondemand::json_type::array:
        return forEachElement(value, validate);
    case ondemand::json_type::object:
        return forEachField(value, [](std::string_view, ondemand::value v) { return validate(v); });
    case ondemand::json_type::number:
        return getNumber(value, number);
    case ondemand::json_type::string:
        return value.get_string().error();
    case ondemand::json_type::boolean:
        return value.get_bool().error();
    case ondemand::json_type::null:
        if (auto error = value.is_null().get(null))
            return error;
        return null ? SUCCESS : N_ATOM_ERROR;
    }
    return INCORRECT_TYPE;
}

error_code readDouble(ondemand::value value, double &out)
{
    out = 0.0;
    bool is = false;
    if (auto error = ofType(value, ondemand::json_type::number, is); error || !is)
        return error;
    return getNumber(value, out);
}

// As QJsonValue::toInt: a whole number within range, else 0.
error_code readInt(ondemand::value value, int &out)
{
    double number = 0.0;
    const error_code error = readDouble(value, number);
    out = jsonInt(number);
    return error;
}

error_code readString(ondemand::value value, QString &out)
{
    out.clear();
    bool is = false;
    std::string_view text;
    if (auto error = ofType(value, ondemand::json_type::string, is); error || !is)
        return error;
    if (auto error = value.get_string().get(text))
        return error;
    out = QString::fromUtf8(text.data(), int(text.size()));
    return SUCCESS;
}

// A box with "points" is a polygon, its box made from them; a last number without its
// pair has no corner to be.
void appendBox(BBoxList &list, int catId, double cx, double cy, double cw, double ch, QVector<double> points)
{
    points.resize(points.size() & ~1);
    if (points.isEmpty())
        list.appendBox(catId, cx, cy, cw, ch);
    else
        list.appendPolygon(catId, points);
}

error_code readImage(ondemand::value value, ImageInfo &image)
{
    image.bboxes = std::make_unique<BBoxList>();
    QVector<std::shared_ptr<BoxInfo>> boxes;
    const error_code error = forEachField(value, [&](std::string_view key, ondemand::value v) {
        if (key == "id")
            return readInt(v, image.id);
        if (key == "fileName")
            return readString(v, image.fileName);
        if (key == "filePath")
            return readString(v, image.filePath);
        if (key == "width")
            return readInt(v, image.width);
        if (key == "height")
            return readInt(v, image.height);
        if (key != "bboxes")
            return validate(v);
        boxes.clear();
        return forEachElement(v, [&](ondemand::value element) {
            auto box = std::make_shared<BoxInfo>();
            boxes.append(box);
            return forEachField(element, [&](std::string_view k, ondemand::value n) {
                if (k == "catId")
                    return readInt(n, box->catId);
                if (k == "points") {
                    box->points.clear();
                    return forEachElement(n, [&](ondemand::value number) {
                        box->points.append(0.0);
                        return readDouble(number, box->points.last());
                    });
                }
                double *field = k == "cx"   ? &box->cx
                                : k == "cy" ? &box->cy
                                : k == "cw" ? &box->cw
                                : k == "ch" ? &box->ch
                                            : nullptr;
                return field ? readDouble(n, *field) : validate(n);
            });
        });
    });
    for (const std::shared_ptr<BoxInfo> &box : qAsConst(boxes))
        appendBox(*image.bboxes, box->catId, box->cx, box->cy, box->cw, box->ch, box->points);
    return error;
}

// The images of a document simdjson takes; false for one it refuses.
bool readFast(const QByteArray &bytes, QList<std::shared_ptr<ImageInfo>> &images, bool &isArray)
{
    if (bytes.isEmpty())
        return false;
    padded_string copy;
    const bool padded = bytes.capacity() - bytes.size() >= int(SIMDJSON_PADDING);
    if (!padded)
        copy = padded_string(bytes.constData(), size_t(bytes.size()));
    const padded_string_view view =
        padded ? padded_string_view(bytes.constData(), size_t(bytes.size()), size_t(bytes.capacity()))
               : padded_string_view(copy);
    ondemand::parser parser;
    ondemand::document doc;
    ondemand::value root;
    ondemand::json_type type;
    if (parser.iterate(view).get(doc) || doc.get_value().get(root) || root.type().get(type))
        return false;
    isArray = type == ondemand::json_type::array;
    auto readElement = [&](ondemand::value element) {
        images.append(std::make_shared<ImageInfo>());
        return readImage(element, *images.last());
    };
    const error_code error = isArray ? forEachElement(root, readElement) : validate(root);
    // Anything after the root value makes the document no JSON value.
    const char *rest = nullptr;
    return !error && doc.current_location().get(rest) != SUCCESS;
}

} // namespace

int padding()
{
    return int(SIMDJSON_PADDING);
}

QList<std::shared_ptr<ImageInfo>> read(const QByteArray &bytes, QString *error)
{
    QList<std::shared_ptr<ImageInfo>> images;
    bool isArray = false;
    if (error)
        error->clear();
    if (readFast(bytes, images, isArray)) {
        if (!isArray && error)
            *error = QStringLiteral("the document is not an array");
        return images;
    }
    // Refused: Qt's parser gives the reason in the words users know (and stays the
    // judge of what is JSON where the two parsers might differ).
    images.clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (error) {
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
            QVector<double> points;
            for (const QJsonValue &v : box.value(QLatin1String("points")).toArray())
                points.append(v.toDouble());
            appendBox(*image->bboxes, box.value(QLatin1String("catId")).toInt(),
                      box.value(QLatin1String("cx")).toDouble(), box.value(QLatin1String("cy")).toDouble(),
                      box.value(QLatin1String("cw")).toDouble(), box.value(QLatin1String("ch")).toDouble(), points);
        }
        images.append(std::move(image));
    }
    return images;
}

} // namespace ImageListJson
