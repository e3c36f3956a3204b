// Generates the demo data set: street scenes with people drawn by QPainter,
// saved as JPEGs, and a YOLO label file per image with a box around each person.
// With a number of classes, the scenes also hold signs of many classes, boxed with
// their class, and OUTDIR/demo80.yaml (for 80) names the classes, as COCO does.
// With --polygons the labels are segmentation polygons: each person's outline, and
// signs turned at an angle as four-corner oriented boxes. With --predictions it also
// writes what a fair but imperfect model would have found, with confidences: most
// boxes shifted a little, some missed, some of another class, some twice, and a few
// where there is nothing.
//
//   boxmere-makedemo [--polygons] [--predictions] OUTDIR [COUNT [CLASSES]]
//
// writes OUTDIR/images/*.jpg, OUTDIR/labels/*.txt and OUTDIR/predictions/*.txt.

#include "boxes/bboxlist.h"
#include "formats/fileio.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QLoggingCategory>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTextStream>

#include <iterator>

namespace {

const char *const CocoNames[] = {
    "person",         "bicycle",    "car",           "motorcycle",    "airplane",     "bus",           "train",
    "truck",          "boat",       "traffic light", "fire hydrant",  "stop sign",    "parking meter", "bench",
    "bird",           "cat",        "dog",           "horse",         "sheep",        "cow",           "elephant",
    "bear",           "zebra",      "giraffe",       "backpack",      "umbrella",     "handbag",       "tie",
    "suitcase",       "frisbee",    "skis",          "snowboard",     "sports ball",  "kite",          "baseball bat",
    "baseball glove", "skateboard", "surfboard",     "tennis racket", "bottle",       "wine glass",    "cup",
    "fork",           "knife",      "spoon",         "bowl",          "banana",       "apple",         "sandwich",
    "orange",         "broccoli",   "carrot",        "hot dog",       "pizza",        "donut",         "cake",
    "chair",          "couch",      "potted plant",  "bed",           "dining table", "toilet",        "tv",
    "laptop",         "mouse",      "remote",        "keyboard",      "cell phone",   "microwave",     "oven",
    "toaster",        "sink",       "refrigerator",  "book",          "clock",        "vase",          "scissors",
    "teddy bear",     "hair drier", "toothbrush"};

QString className(int id)
{
    return id < int(std::size(CocoNames)) ? QLatin1String(CocoNames[id]) : QStringLiteral("class %1").arg(id);
}

// Appends an outline in pixels as a polygon label, at most about maxPoints corners.
void appendOutline(BBoxList &boxes, int catId, const QPolygonF &outline, const QSizeF &size, int maxPoints)
{
    const int step = qMax(1, int(outline.size()) / maxPoints);
    QVector<double> xy;
    for (int i = 0; i + 1 < outline.size(); i += step) // a closed outline repeats its first point
        xy << qBound(0.0, outline[i].x() / size.width(), 1.0) << qBound(0.0, outline[i].y() / size.height(), 1.0);
    if (xy.size() >= 6)
        boxes.appendPolygon(catId, xy);
}

// A sign standing in for an object of the class: its name on a board of its own hue.
void drawSigns(QImage &image, QRandomGenerator &rng, BBoxList &boxes, int classes, bool turned)
{
    const double w = image.width();
    const double h = image.height();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = rng.bounded(3, 9); i > 0; --i) {
        const int id = rng.bounded(1, classes);
        const double bw = w * (0.08 + rng.generateDouble() * 0.14);
        const double bh = h * (0.06 + rng.generateDouble() * 0.12);
        const QRectF r(rng.generateDouble() * (w - bw), rng.generateDouble() * (h - bh), bw, bh);
        QTransform turn;
        if (turned) {
            turn.translate(r.center().x(), r.center().y());
            turn.rotate(rng.bounded(-30, 31));
            turn.translate(-r.center().x(), -r.center().y());
        }
        p.setTransform(turn);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor::fromHsv(id * 137 % 360, 120, 230));
        p.drawRect(r);
        p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, className(id));
        if (turned)
            appendOutline(boxes, id, turn.map(QPolygonF(r)), image.size(), 4);
        else
            boxes.appendBox(id, r.center().x() / w, r.center().y() / h, r.width() / w, r.height() / h);
    }
}

// Draws a person standing at feet and returns the outline.
QPolygonF drawPerson(QPainter &p, QRandomGenerator &rng, QPointF feet, double height)
{
    const double head = height * 0.16;
    const double bodyWidth = height * 0.3;
    const QColor shirt = QColor::fromHsv(rng.bounded(360), 150 + rng.bounded(100), 120 + rng.bounded(120));
    const QColor trousers = QColor::fromHsv(rng.bounded(360), 80, 40 + rng.bounded(80));
    const QColor skin = QColor::fromHsv(20 + rng.bounded(15), 90 + rng.bounded(80), 110 + rng.bounded(130));
    const double top = feet.y() - height;
    const double cx = feet.x();

    QPainterPath legs, body, face;
    legs.addRoundedRect(QRectF(cx - bodyWidth * 0.45, top + height * 0.55, bodyWidth * 0.4, height * 0.45), 3, 3);
    legs.addRoundedRect(QRectF(cx + bodyWidth * 0.05, top + height * 0.55, bodyWidth * 0.4, height * 0.45), 3, 3);
    body.addRoundedRect(QRectF(cx - bodyWidth / 2, top + head, bodyWidth, height * 0.45), 6, 6);
    face.addEllipse(QRectF(cx - head / 2, top, head, head));
    p.setPen(Qt::NoPen);
    p.fillPath(legs, trousers);
    p.fillPath(body, shirt);
    p.fillPath(face, skin);
    // The neck joins the head to the body in the outline.
    QPainterPath neck;
    neck.addRect(QRectF(cx - head * 0.2, top + head * 0.8, head * 0.4, head * 0.4));
    const QList<QPolygonF> parts = legs.united(body).united(neck).united(face).simplified().toFillPolygons();
    return parts.isEmpty() ? QPolygonF() : parts.first();
}

void drawScene(QImage &image, QRandomGenerator &rng, BBoxList &boxes, int personClass, bool outlines)
{
    const double w = image.width();
    const double h = image.height();
    const double horizon = h * (0.45 + rng.generateDouble() * 0.15);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, QColor::fromHsv(200 + rng.bounded(20), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(190, 40, 250));
    p.fillRect(QRectF(0, 0, w, horizon), sky);
    QLinearGradient ground(0, horizon, 0, h);
    ground.setColorAt(0, QColor::fromHsv(90 + rng.bounded(40), 90, 150));
    ground.setColorAt(1, QColor::fromHsv(30, 60, 90));
    p.fillRect(QRectF(0, horizon, w, h - horizon), ground);

    // Houses and trees behind the people.
    for (int i = rng.bounded(2, 5); i > 0; --i) {
        const double bw = w * (0.1 + rng.generateDouble() * 0.15);
        const double bh = h * (0.1 + rng.generateDouble() * 0.25);
        const double bx = rng.generateDouble() * (w - bw);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromHsv(rng.bounded(40), 60, 140 + rng.bounded(80)));
        p.drawRect(QRectF(bx, horizon - bh, bw, bh));
        p.setBrush(QColor(60, 60, 80, 180));
        p.drawRect(QRectF(bx + bw * 0.2, horizon - bh * 0.7, bw * 0.2, bh * 0.25));
        p.drawRect(QRectF(bx + bw * 0.6, horizon - bh * 0.7, bw * 0.2, bh * 0.25));
    }
    for (int i = rng.bounded(1, 4); i > 0; --i) {
        const double tx = rng.generateDouble() * w;
        const double th = h * (0.15 + rng.generateDouble() * 0.15);
        p.setBrush(QColor(90, 60, 30));
        p.drawRect(QRectF(tx - 4, horizon - th * 0.4, 8, th * 0.4 + 6));
        p.setBrush(QColor::fromHsv(100 + rng.bounded(30), 160, 110));
        p.drawEllipse(QPointF(tx, horizon - th * 0.6), th * 0.3, th * 0.35);
    }

    // People further away are smaller and drawn first.
    const int people = rng.bounded(0, 6);
    QVector<double> depths;
    for (int i = 0; i < people; ++i)
        depths << rng.generateDouble();
    std::sort(depths.begin(), depths.end());
    for (double depth : depths) {
        const double feetY = horizon + (h - horizon) * (0.15 + depth * 0.8);
        const double height = h * (0.15 + depth * 0.45);
        const double x = w * (0.08 + rng.generateDouble() * 0.84);
        const QPolygonF outline = drawPerson(p, rng, QPointF(x, qMin(feetY, h - 1)), height);
        if (outlines) {
            appendOutline(boxes, personClass, outline, image.size(), 30);
            continue;
        }
        const QRectF r = outline.boundingRect().intersected(QRectF(0, 0, w, h));
        boxes.appendBox(personClass, r.center().x() / w, r.center().y() / h, r.width() / w, r.height() / h);
    }
}

QString predictionLine(int catId, double cx, double cy, double cw, double ch, double score)
{
    const auto clamp = [](double v) { return qBound(0.0, v, 1.0); };
    return QStringLiteral("%1 %2 %3 %4 %5 %6\n")
        .arg(catId)
        .arg(clamp(cx), 0, 'f', 6)
        .arg(clamp(cy), 0, 'f', 6)
        .arg(clamp(cw), 0, 'f', 6)
        .arg(clamp(ch), 0, 'f', 6)
        .arg(score, 0, 'f', 4);
}

QByteArray predictionsFor(const BBoxList &boxes, QRandomGenerator &rng, int classes)
{
    QString text;
    const auto jitter = [&rng](double v, double by) { return v + (rng.generateDouble() - 0.5) * by; };
    for (const std::shared_ptr<BoxInfo> &box : boxes.boxes()) {
        const double roll = rng.generateDouble();
        if (roll < 0.12)
            continue; // missed
        const int catId = roll < 0.2 && classes > 1 ? int(rng.bounded(classes)) : box->catId;
        const double score = 0.45 + rng.generateDouble() * 0.54;
        text += predictionLine(catId, jitter(box->cx, box->cw * 0.1), jitter(box->cy, box->ch * 0.1),
                               box->cw * jitter(1, 0.15), box->ch * jitter(1, 0.15), score);
        if (rng.generateDouble() < 0.08)
            text += predictionLine(catId, jitter(box->cx, box->cw * 0.1), jitter(box->cy, box->ch * 0.1), box->cw,
                                   box->ch, score * 0.6);
    }
    for (int extra = int(rng.bounded(3)); extra > 0; --extra) {
        text += predictionLine(classes > 1 ? int(rng.bounded(classes)) : 1, 0.1 + rng.generateDouble() * 0.8,
                               0.3 + rng.generateDouble() * 0.6, 0.05 + rng.generateDouble() * 0.1,
                               0.08 + rng.generateDouble() * 0.2, 0.1 + rng.generateDouble() * 0.6);
    }
    return text.toUtf8();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
    QStringList args = app.arguments();
    const bool polygons = args.removeAll(QStringLiteral("--polygons")) > 0;
    const bool predictions = args.removeAll(QStringLiteral("--predictions")) > 0;
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: boxmere-makedemo [--polygons] [--predictions] OUTDIR [COUNT [CLASSES]]\n";
        return 2;
    }
    const QDir out(args.at(1));
    const int count = args.size() > 2 ? args.at(2).toInt() : 12;
    // One class: category 1, people, as the window calls it without a class file.
    const int classes = args.size() > 3 ? args.at(3).toInt() : 1;
    if (!out.mkpath("images") || !out.mkpath("labels") || (predictions && !out.mkpath("predictions"))) {
        QTextStream(stderr) << "cannot create " << out.path() << "\n";
        return 1;
    }

    if (classes > 1) {
        QString yaml = QStringLiteral("# The demo's classes, named as COCO names them\nnames:\n");
        for (int id = 0; id < classes; ++id)
            yaml += QStringLiteral("  %1: %2\n").arg(id).arg(className(id));
        if (!FileIo::writeFile(out.filePath(QStringLiteral("demo%1.yaml").arg(classes)), yaml.toUtf8())) {
            QTextStream(stderr) << "cannot write the class file\n";
            return 1;
        }
    }

    QRandomGenerator rng(20261206);
    // A generator of its own, so that the pictures and labels stay the same with or without.
    QRandomGenerator model(20261207);
    for (int i = 0; i < count; ++i) {
        const bool portrait = i % 5 == 3;
        QImage image(portrait ? 480 : 640, portrait ? 640 : 480, QImage::Format_RGB32);
        BBoxList boxes;
        drawScene(image, rng, boxes, classes > 1 ? 0 : 1, polygons);
        if (classes > 1)
            drawSigns(image, rng, boxes, classes, polygons);
        const QString base = QStringLiteral("street_%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        if (!image.save(out.filePath("images/" + base + ".jpg"), "JPG", 90) ||
            !boxes.saveTxtFile(out.filePath("labels/" + base + ".txt"))) {
            QTextStream(stderr) << "cannot write " << base << "\n";
            return 1;
        }
        if (predictions &&
            !FileIo::writeFile(out.filePath("predictions/" + base + ".txt"), predictionsFor(boxes, model, classes))) {
            QTextStream(stderr) << "cannot write the predictions of " << base << "\n";
            return 1;
        }
    }
    return 0;
}
