#include "clicommands.h"

#include "checks/csvreport.h"
#include "checks/datasetcheck.h"
#include "checks/datasetstats.h"
#include "checks/detectionmetrics.h"
#include "checks/duplicatefinder.h"
#include "clidataset.h"
#include "cliprogress.h"
#include "formats/cocoexport.h"
#include "formats/cocoimport.h"
#include "formats/datasetsplits.h"
#include "formats/fileio.h"
#include "formats/hashcache.h"
#include "formats/imagefolder.h"
#include "formats/imagelistjson.h"
#include "formats/statusfile.h"
#include "formats/yolofolder.h"
#include "images/imagelist.h"
#include "models/reviewstatus.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace CliCommands {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CliCommands", text);
}

// The command's product goes to standard output; messages about it to standard error.
QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// Names come from the file system and from class files: a line feed in one must not
// forge a line of the output.
QString printable(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            result += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            result += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            result += QLatin1String("\\t");
        else if (c.category() == QChar::Other_Control)
            result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

int fail(const QString &message)
{
    err() << "boxmere-cli: " << printable(message) << Qt::endl;
    return Failed;
}

// Sets up a command's parser: --help, and the command in its usage line.
void start(QCommandLineParser &parser, const QString &command, const QString &description)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addPositionalArgument(command, QString(), command);
}

// Parses a command's arguments; false with the exit code set when the command is done
// (help shown or a usage error).
bool parse(QCommandLineParser &parser, const QStringList &arguments, int minPositional, int maxPositional,
           int &exitCode)
{
    if (!parser.parse(arguments)) {
        exitCode = fail(parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        exitCode = Ok;
        return false;
    }
    const int count = parser.positionalArguments().size();
    if (count < minPositional || count > maxPositional) {
        exitCode = fail(tr("wrong number of arguments; see %1 --help").arg(arguments.first()));
        return false;
    }
    return true;
}

const QCommandLineOption ClassesOption(QStringLiteral("classes"),
                                       QStringLiteral("The class file to check classes against (classes.txt, *.names, "
                                                      "data.yaml); by default the one found beside the labels."),
                                       QStringLiteral("FILE"));
const QCommandLineOption JsonOption(QStringLiteral("json"), QStringLiteral("Print JSON instead of text."));
const QCommandLineOption IouOption(QStringLiteral("iou"),
                                   QStringLiteral("The IoU a prediction needs to match a label box (default 0.5)."),
                                   QStringLiteral("T"));
const QCommandLineOption ConfOption(QStringLiteral("conf"),
                                    QStringLiteral("The confidence below which predictions are not matched "
                                                   "(default 0.25)."),
                                    QStringLiteral("C"));

void describeInput(QCommandLineParser &parser)
{
    parser.addPositionalArgument(
        QStringLiteral("LABELS"),
        QStringLiteral("A folder of YOLO label files, a COCO file or the tool's own JSON list."));
    parser.addPositionalArgument(QStringLiteral("IMAGES"),
                                 QStringLiteral("The image folder of a label folder; by default .../images/S for "
                                                ".../labels/S, else the label folder itself."),
                                 QStringLiteral("[IMAGES]"));
    parser.addOption(ClassesOption);
    parser.addOption(JsonOption);
}

// Parses a check or stats command line and reads its set, checked; false with the
// exit code set when the command is done.
bool loadChecked(QCommandLineParser &parser, const QStringList &arguments, const QString &description, CliDataset &data,
                 int &exitCode)
{
    start(parser, arguments.first(), description);
    describeInput(parser);
    if (!parse(parser, arguments, 1, 2, exitCode))
        return false;
    exitCode = Failed;
    const QStringList args = parser.positionalArguments();
    const QString input = args.at(0);
    if (!QFileInfo::exists(input)) {
        fail(tr("%1 does not exist").arg(input));
        return false;
    }
    if (!data.load(CliDataset::detect(input), input, args.value(1), parser.value(ClassesOption))) {
        fail(data.error());
        return false;
    }
    const QStringList candidates = data.classes().candidates;
    if (!data.classIds() && candidates.isEmpty())
        err() << tr("no class file: classes are not checked") << Qt::endl;
    else if (!data.classIds())
        err() << tr("several class files (%1), choose one with --classes: classes are not checked")
                     .arg(printable(candidates.join(QStringLiteral(", "))))
              << Qt::endl;
    if (data.rleMasks() > 0)
        err() << tr("%1 RLE masks are not supported and not checked").arg(data.rleMasks()) << Qt::endl;
    if (data.oddPolygons() > 0)
        err() << tr("%1 polygons of an odd number of coordinates are not checked").arg(data.oddPolygons()) << Qt::endl;
    data.check();
    return true;
}

QJsonObject problemJson(const QString &file, const LabelCheck::Problem &problem)
{
    QJsonObject object{{QStringLiteral("file"), file},
                       {QStringLiteral("kind"), LabelCheck::key(problem.kind)},
                       {QStringLiteral("message"), LabelCheck::describe(problem)}};
    if (problem.box >= 0)
        object.insert(QStringLiteral("box"), problem.box);
    if (problem.kind == LabelCheck::Kind::Duplicate || problem.kind == LabelCheck::Kind::DuplicatePolygon)
        object.insert(QStringLiteral("duplicateOf"), problem.other);
    if (problem.kind == LabelCheck::Kind::PartialLine)
        object.insert(QStringLiteral("line"), problem.other);
    return object;
}

QString className(const CliDataset &data, int id)
{
    for (const ClassFile::ClassName &name : data.classes().names) {
        if (name.id == id)
            return name.name;
    }
    return QString();
}

} // namespace

int check(const QStringList &arguments)
{
    QCommandLineParser parser;
    CliDataset data;
    int exitCode = Ok;
    if (!loadChecked(
            parser, arguments,
            QStringLiteral("Lists the problems of an annotation set, one a line: coordinates outside 0 to 1, boxes "
                           "past the picture's edge, boxes without a size or under 2 pixels on a side, duplicate "
                           "boxes, polygons of fewer than 3 points, of zero area or that cross themselves, duplicate "
                           "polygons, files mixing boxes and polygons, classes outside the class list, lines not read "
                           "whole, empty label files, label files without an image, images without a label file and "
                           "unreadable label files.\n"
                           "Exits with 1 when it found a problem, 2 when it could not check."),
            data, exitCode))
        return exitCode;

    const bool json = parser.isSet(JsonOption);
    QJsonArray list;
    int counts[LabelCheck::KindCount] = {};
    int total = 0;
    int withProblems = 0;
    auto report = [&](const QString &file, const LabelCheck::Problem &problem) {
        ++counts[int(problem.kind)];
        ++total;
        if (json)
            list.append(problemJson(file, problem));
        else
            out() << printable(file) << ": " << LabelCheck::describe(problem) << '\n';
    };
    data.forEach([&](const QString &name, const QVector<std::shared_ptr<BoxInfo>> &,
                     const QVector<LabelCheck::Problem> &problems) {
        withProblems += problems.isEmpty() ? 0 : 1;
        for (const LabelCheck::Problem &problem : problems)
            report(name, problem);
    });
    for (const QString &image : data.unlabelledImages())
        report(image, {LabelCheck::Kind::ImageWithoutLabel});

    if (json) {
        QJsonObject byKind;
        for (int k = 0; k < LabelCheck::KindCount; ++k)
            byKind.insert(LabelCheck::key(LabelCheck::Kind(k)), counts[k]);
        const QJsonObject document{{QStringLiteral("input"), data.input()},
                                   {QStringLiteral("images"), data.imageCount()},
                                   {QStringLiteral("classFile"), data.classes().path},
                                   {QStringLiteral("problems"), list},
                                   {QStringLiteral("counts"), byKind}};
        out() << QJsonDocument(document).toJson();
    } else {
        out() << tr("%1 problems in %2 of %3 label files, %4 images without a label file")
                     .arg(total)
                     .arg(withProblems)
                     .arg(data.imageCount())
                     .arg(data.unlabelledImages().size())
              << '\n';
    }
    out().flush();
    return total > 0 ? ProblemsFound : Ok;
}

int stats(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption csvOption(
        QStringLiteral("csv"),
        QStringLiteral("Print per class the images, boxes, polygons and median box width and height as CSV."));
    parser.addOption(csvOption);
    CliDataset data;
    int exitCode = Ok;
    if (!loadChecked(parser, arguments,
                     QStringLiteral("Prints figures of an annotation set: boxes (polygons among them) per class, "
                                    "points per polygon, boxes per image, box widths and heights as fractions of the "
                                    "image, and problems per kind."),
                     data, exitCode))
        return exitCode;

    DatasetStats stats;
    data.forEach([&](const QString &, const QVector<std::shared_ptr<BoxInfo>> &boxes,
                     const QVector<LabelCheck::Problem> &problems) { stats.add(boxes, problems); });
    stats.addProblems(LabelCheck::Kind::ImageWithoutLabel, data.unlabelledImages().size());

    if (parser.isSet(csvOption)) {
        // A data set folder gives its splits' figures, each split on rows of its own.
        const QString input = parser.positionalArguments().at(0);
        QVector<DatasetSplits::Split> splits =
            QFileInfo(input).isDir() ? DatasetSplits::find(input) : QVector<DatasetSplits::Split>();
        splits.erase(std::remove_if(splits.begin(), splits.end(),
                                    [&input](const DatasetSplits::Split &split) {
                                        return split.labels.isEmpty() || QDir(split.labels) == QDir(input);
                                    }),
                     splits.end());
        if (splits.isEmpty()) {
            out() << CsvReport::csv({{QString(), &stats}}, [&data](int catId) { return className(data, catId); });
            out().flush();
            return Ok;
        }
        std::vector<CliDataset> sets(size_t(splits.size()));
        std::vector<DatasetStats> figures(size_t(splits.size()));
        QVector<CsvReport::Split> rows;
        for (size_t i = 0; i < sets.size(); ++i) {
            const DatasetSplits::Split &split = splits.at(int(i));
            if (!sets[i].load(CliDataset::Format::Yolo, split.labels, split.images, parser.value(ClassesOption)))
                return fail(sets[i].error());
            sets[i].check();
            sets[i].forEach([&](const QString &, const QVector<std::shared_ptr<BoxInfo>> &boxes,
                                const QVector<LabelCheck::Problem> &problems) { figures[i].add(boxes, problems); });
            rows.append({split.name, &figures[i]});
        }
        out() << CsvReport::csv(rows, [&sets](int catId) { return className(sets.front(), catId); });
        out().flush();
        return Ok;
    }
    if (parser.isSet(JsonOption)) {
        QVariantMap map = stats.toVariant();
        QVariantList perClass = map.value(QStringLiteral("perClass")).toList();
        for (QVariant &entry : perClass) {
            QVariantMap m = entry.toMap();
            m.insert(QStringLiteral("name"), className(data, m.value(QStringLiteral("catId")).toInt()));
            entry = m;
        }
        map.insert(QStringLiteral("perClass"), perClass);
        out() << QJsonDocument::fromVariant(map).toJson();
        out().flush();
        return Ok;
    }

    QTextStream &o = out();
    o << tr("images: %1").arg(stats.images()) << '\n';
    o << tr("boxes: %1").arg(stats.boxes()) << '\n';
    const bool polygons = stats.polygons() > 0;
    if (polygons)
        o << tr("polygons among them: %1").arg(stats.polygons()) << '\n';
    o << tr("boxes per class:") << '\n';
    for (const auto &[id, count] : stats.boxesPerClass()) {
        const QString name = className(data, id);
        o << "  " << id << (name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(printable(name))) << ": " << count;
        if (const auto found = stats.polygonsPerClass().find(id); found != stats.polygonsPerClass().end())
            o << tr(", %1 polygons").arg(found->second);
        o << '\n';
    }
    if (polygons) {
        o << tr("points per polygon: 5% %1, median %2, 95% %3")
                 .arg(stats.pointsQuantile(0.05))
                 .arg(stats.pointsQuantile(0.5))
                 .arg(stats.pointsQuantile(0.95))
          << '\n';
    }
    o << tr("images by number of boxes:") << '\n';
    const auto &perImage = stats.boxesPerImage();
    for (int n = 0; n < int(perImage.size()); ++n) {
        if (perImage[n] > 0)
            o << "  " << n << (n == DatasetStats::PerImageBars ? "+" : "") << ": " << perImage[n] << '\n';
    }
    auto quantiles = [&](const QString &what, double (DatasetStats::*q)(double) const) {
        o << what << ": "
          << tr("5% %1, median %2, 95% %3")
                 .arg((stats.*q)(0.05), 0, 'f', 3)
                 .arg((stats.*q)(0.5), 0, 'f', 3)
                 .arg((stats.*q)(0.95), 0, 'f', 3)
          << '\n';
    };
    quantiles(tr("box width (fraction of the image)"), &DatasetStats::widthQuantile);
    quantiles(tr("box height (fraction of the image)"), &DatasetStats::heightQuantile);
    o << tr("problems:") << '\n';
    for (int k = 0; k < LabelCheck::KindCount; ++k) {
        if (stats.problems()[k] > 0)
            o << "  " << LabelCheck::description(LabelCheck::Kind(k)) << ": " << stats.problems()[k] << '\n';
    }
    o.flush();
    return Ok;
}

namespace {

// Reads the size of every picture whose record has none; returns the images still
// without one.
QStringList fillSizes(const QVector<std::shared_ptr<ImageInfo>> &records)
{
    QVector<ImageInfo *> unsized;
    for (const std::shared_ptr<ImageInfo> &image : records) {
        if (image->width <= 0 || image->height <= 0)
            unsized.append(image.get());
    }
    QStringList missing;
    if (unsized.isEmpty())
        return missing;
    std::atomic<int> done{0};
    const std::atomic<int> total{unsized.size()};
    {
        CliProgress bar(tr("reading picture sizes"), &done, &total);
        for (ImageInfo *image : unsized) {
            const QSize size = ImageFolder::pictureSize(image->filePath);
            if (size.isValid()) {
                image->width = size.width();
                image->height = size.height();
            } else {
                missing.append(image->filePath);
            }
            ++done;
        }
    }
    err() << tr("read the sizes of %1 pictures from their files").arg(unsized.size() - missing.size()) << Qt::endl;
    return missing;
}

int countBoxes(const QVector<std::shared_ptr<ImageInfo>> &records)
{
    int boxes = 0;
    for (const std::shared_ptr<ImageInfo> &image : records)
        boxes += image->bboxes->rowCount();
    return boxes;
}

// The boxes no output can hold, as "file box N".
QString firstFew(const QStringList &items)
{
    constexpr int Shown = 5;
    QString text = items.mid(0, Shown).join(QStringLiteral(", "));
    if (items.size() > Shown)
        text += tr(" and %1 more").arg(items.size() - Shown);
    return text;
}

// The class names as a class file: classes.txt when they number 0 to n-1, else data.yaml.
bool writeClassFile(const QString &dir, const QVector<ClassFile::ClassName> &names)
{
    bool dense = true;
    for (int i = 0; i < names.size(); ++i)
        dense &= names.at(i).id == i;
    QByteArray text;
    if (dense) {
        for (const ClassFile::ClassName &name : names)
            text += name.name.toUtf8() + '\n';
        return FileIo::writeFile(QDir(dir).filePath(QStringLiteral("classes.txt")), text);
    }
    text = "names:\n";
    for (const ClassFile::ClassName &name : names) {
        QString quoted = name.name;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        text += QStringLiteral("  %1: \"%2\"\n").arg(name.id).arg(quoted).toUtf8();
    }
    return FileIo::writeFile(QDir(dir).filePath(QStringLiteral("data.yaml")), text);
}

} // namespace

int convert(const QStringList &arguments)
{
    QCommandLineParser parser;
    start(parser, arguments.first(),
          QStringLiteral(
              "Converts an annotation set between YOLO label folders, COCO files and the tool's own JSON list.\n"
              "COCO output is a standard COCO file with \"images\", \"annotations\" and \"categories\"; its boxes are "
              "in pixels, so pictures whose size is not known are measured from their file headers.\n"
              "Nothing is written when a box or a line would be lost or changed, when a label file cannot be read "
              "or when a file to write is a symbolic link; each such file (and line) is named on standard error."));
    parser.addPositionalArgument(QStringLiteral("INPUT"),
                                 QStringLiteral("A label folder, a COCO file or a JSON list."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT"),
                                 QStringLiteral("The folder (yolo, made when missing) or file (coco, json) to write."));
    const QCommandLineOption toOption(QStringLiteral("to"), QStringLiteral("Output format: yolo, coco or json."),
                                      QStringLiteral("FORMAT"));
    const QCommandLineOption fromOption(
        QStringLiteral("from"),
        QStringLiteral("Input format: yolo, coco or json; by default a folder is yolo, a file starting with [ "
                       "json, any other file coco."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption imagesOption(QStringLiteral("images"),
                                          QStringLiteral("The image folder (yolo input) or the folder COCO file "
                                                         "names are relative to (coco input)."),
                                          QStringLiteral("DIR"));
    const QCommandLineOption dropOption(
        QStringLiteral("drop-partial-lines"),
        QStringLiteral("Leave out the label lines that are not a box or polygon of fields split by single "
                       "spaces (extra values, text that is not a number, tabs) and count them, instead of stopping."));
    const QCommandLineOption rleOption(
        QStringLiteral("skip-rle"),
        QStringLiteral("For coco input: leave out the annotations whose segmentation is an RLE mask, which is not "
                       "supported, and count them, instead of stopping."));
    const QCommandLineOption boxesOption(
        QStringLiteral("boxes"),
        QStringLiteral("For yolo output: write each polygon's bounding box as a box line (class cx cy w h), for "
                       "detection labels from segmentation labels."));
    const QCommandLineOption skipOption(
        QStringLiteral("skip-missing-images"),
        QStringLiteral("For coco output: leave out the images whose picture is missing or unreadable, and so has no "
                       "size, and count them, instead of stopping."));
    for (const QCommandLineOption &option :
         {toOption, fromOption, imagesOption, ClassesOption, dropOption, skipOption, rleOption, boxesOption})
        parser.addOption(option);
    int exitCode = Ok;
    if (!parse(parser, arguments, 2, 2, exitCode))
        return exitCode;

    const QString input = parser.positionalArguments().at(0);
    const QString output = parser.positionalArguments().at(1);
    CliDataset::Format to;
    if (!CliDataset::parseFormat(parser.value(toOption), to))
        return fail(tr("--to must be yolo, coco or json"));
    CliDataset::Format from = CliDataset::detect(input);
    if (parser.isSet(fromOption) && !CliDataset::parseFormat(parser.value(fromOption), from))
        return fail(tr("--from must be yolo, coco or json"));
    if (!QFileInfo::exists(input))
        return fail(tr("%1 does not exist").arg(input));

    CliDataset data;
    if (!data.load(from, input, parser.value(imagesOption), parser.value(ClassesOption)))
        return fail(data.error());
    if (data.unsizedBoxes() > 0)
        return fail(
            tr("%1 boxes belong to images without a width and height; nothing written").arg(data.unsizedBoxes()));
    if (data.rleMasks() > 0 && !parser.isSet(rleOption))
        return fail(tr("%1 annotations are RLE masks, which are not supported; nothing written (--skip-rle leaves "
                       "them out)")
                        .arg(data.rleMasks()));
    if (data.oddPolygons() > 0)
        return fail(tr("%1 polygons hold an odd number of coordinates; nothing written").arg(data.oddPolygons()));
    const QStringList unreadable = data.unreadableFiles();
    if (!unreadable.isEmpty())
        return fail(tr("cannot read %1; nothing written").arg(firstFew(unreadable)));
    const bool drop = parser.isSet(dropOption);
    const QStringList partial = data.takePartialLines(drop);
    QVector<std::shared_ptr<ImageInfo>> records = data.records();
    QStringList targets{output};
    int boxedPolygons = 0;
    for (const std::shared_ptr<ImageInfo> &image : records) {
        for (const std::shared_ptr<BoxInfo> &box : image->bboxes->boxes()) {
            if (box->isPolygon() && to == CliDataset::Format::Yolo && parser.isSet(boxesOption)) {
                box->points.clear(); // what is left is its bounding box
                ++boxedPolygons;
            }
        }
    }
    if (to == CliDataset::Format::Yolo) {
        if (const QStringList found = DatasetCheck::shortPolygons(records); !found.isEmpty())
            return fail(tr("%1 polygons have fewer than 3 points, which a label file cannot hold (%2); nothing "
                           "written (--boxes writes their bounding boxes)")
                            .arg(found.size())
                            .arg(firstFew(found)));
    }
    if (to == CliDataset::Format::Yolo) {
        const YoloFolder::ExportCheck plan = YoloFolder::checkExport(output, records);
        if (!plan.sharedNames.isEmpty())
            return fail(tr("several images would write %1; nothing written").arg(firstFew(plan.sharedNames)));
        if (!plan.partlyRead.isEmpty())
            return fail(tr("%1 hold lines that would be lost when written again; nothing written")
                            .arg(firstFew(plan.partlyRead)));
        targets = QStringList{QDir(output).filePath(QStringLiteral("classes.txt")),
                              QDir(output).filePath(QStringLiteral("data.yaml"))};
        for (const std::shared_ptr<ImageInfo> &image : records) {
            if (const QString name = YoloFolder::exportFileName(*image); !name.isEmpty())
                targets.append(QDir(output).filePath(name));
        }
        for (const ClassFile::ClassName &name : data.classes().names) {
            if (name.name.contains(QLatin1Char('\n')) || name.name.contains(QLatin1Char('\r')))
                return fail(tr("the name of class %1 holds a line break, which a class file cannot hold; nothing "
                               "written")
                                .arg(name.id));
        }
    }
    if (!partial.isEmpty() && !drop) {
        for (const QString &line : partial)
            err() << printable(line) << '\n';
        return fail(tr("%1 lines cannot be written unchanged; nothing written (--drop-partial-lines leaves them out)")
                        .arg(partial.size()));
    }
    for (const QString &target : qAsConst(targets)) {
        if (QFileInfo(target).isSymLink())
            return fail(tr("%1 is a symbolic link; nothing written").arg(target));
    }
    const QStringList infinite = DatasetCheck::nonFiniteBoxes(records);
    if (!infinite.isEmpty())
        return fail(tr("%1 boxes hold numbers that are not finite (%2); nothing written")
                        .arg(infinite.size())
                        .arg(firstFew(infinite)));

    QString error;
    QString summary;
    if (to == CliDataset::Format::Yolo) {
        if (!QDir().mkpath(output))
            return fail(tr("cannot make the folder %1").arg(output));
        const int written = YoloFolder::exportTo(output, records);
        if (written < records.size())
            return fail(tr("wrote only %1 of %2 label files to %3").arg(written).arg(records.size()).arg(output));
        if (!data.classes().names.isEmpty() && !writeClassFile(output, data.classes().names))
            return fail(tr("cannot write the class file in %1").arg(output));
        summary = tr("wrote %1 label files with %2 boxes to %3").arg(written).arg(countBoxes(records)).arg(output);
        if (boxedPolygons > 0)
            summary += tr("; %1 polygons written as their bounding boxes").arg(boxedPolygons);
    } else if (to == CliDataset::Format::Json) {
        if (!FileIo::writeFile(output, ImageListJson::write(records), &error))
            return fail(error);
        summary = tr("wrote %1 images with %2 boxes to %3").arg(records.size()).arg(countBoxes(records)).arg(output);
    } else {
        const QStringList missing = fillSizes(records);
        if (!missing.isEmpty() && !parser.isSet(skipOption))
            return fail(tr("no size for %1 pictures (%2); COCO boxes need pixel sizes; nothing written "
                           "(--skip-missing-images leaves them out)")
                            .arg(missing.size())
                            .arg(firstFew(missing)));
        const auto unsized = std::remove_if(records.begin(), records.end(),
                                            [](const auto &image) { return image->width <= 0 || image->height <= 0; });
        const int skipped = int(records.end() - unsized);
        records.erase(unsized, records.end());
        const QString root = from == CliDataset::Format::Json ? QString() : data.imageRoot();
        const CocoExport::Result coco = CocoExport::write(records, data.classes().names, root);
        if (coco.skippedBoxes > 0)
            return fail(
                tr("%1 boxes come out too large for a number in pixels; nothing written").arg(coco.skippedBoxes));
        if (!FileIo::writeFile(output, coco.json, &error))
            return fail(error);
        summary = tr("wrote %1 images with %2 annotations to %3").arg(coco.images).arg(coco.annotations).arg(output);
        if (skipped > 0)
            summary += tr("; left out %1 images without a picture").arg(skipped);
    }
    if (drop && !partial.isEmpty())
        summary += tr("; left out %1 lines not read whole").arg(partial.size());
    if (data.rleMasks() > 0)
        summary += tr("; left out %1 RLE masks").arg(data.rleMasks());
    out() << printable(summary) << '\n';
    out().flush();
    return Ok;
}

namespace {

// A threshold option's value: a number from 0 to 1; false, with a message, for anything else.
bool threshold(const QCommandLineParser &parser, const QCommandLineOption &option, double &value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    value = parser.value(option).toDouble(&ok);
    if (!ok || !(value >= 0 && value <= 1)) {
        fail(tr("--%1 takes a number from 0 to 1").arg(option.names().first()));
        return false;
    }
    return true;
}

QString figure(double value)
{
    return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', 3);
}

} // namespace

int compare(const QStringList &arguments)
{
    QCommandLineParser parser;
    start(parser, arguments.first(),
          QStringLiteral("Compares a model's predictions with the label boxes: per class the labels, predictions, true "
                         "and false positives, false negatives, precision and recall at the thresholds, AP at IoU 0.5 "
                         "and AP averaged over IoU 0.50:0.05:0.95 (COCO), and their means. The predictions are only "
                         "read."));
    parser.addPositionalArgument(
        QStringLiteral("LABELS"),
        QStringLiteral("A folder of YOLO label files, a COCO file or the tool's own JSON list."));
    parser.addPositionalArgument(QStringLiteral("PREDICTIONS"),
                                 QStringLiteral("A folder of YOLO prediction files named like the label files or "
                                                "pictures (class cx cy w h conf per line; without conf, 1), or a "
                                                "COCO results file naming images by id or base name."));
    const QCommandLineOption listOption(
        QStringLiteral("list"),
        QStringLiteral("Print one \"file: box N\" line per missed label box, extra prediction or prediction of the "
                       "wrong class, instead of the figures."),
        QStringLiteral("missed|extra|wrong-class"));
    for (const QCommandLineOption &option : {IouOption, ConfOption, ClassesOption, JsonOption, listOption})
        parser.addOption(option);
    int exitCode = Ok;
    if (!parse(parser, arguments, 2, 2, exitCode))
        return exitCode;
    double iou = 0.5, conf = 0.25;
    if (!threshold(parser, IouOption, iou) || !threshold(parser, ConfOption, conf))
        return Failed;
    const QString list = parser.value(listOption);
    if (parser.isSet(listOption) && list != QLatin1String("missed") && list != QLatin1String("extra") &&
        list != QLatin1String("wrong-class"))
        return fail(tr("--list takes missed, extra or wrong-class"));
    const QString input = parser.positionalArguments().at(0);
    const QString predictionFolder = parser.positionalArguments().at(1);
    if (!QFileInfo::exists(input))
        return fail(tr("%1 does not exist").arg(input));
    const bool resultsFile = QFileInfo(predictionFolder).isFile();
    if (!resultsFile && !QFileInfo(predictionFolder).isDir())
        return fail(tr("%1 is neither a folder of prediction files nor a COCO results file").arg(predictionFolder));
    CliDataset data;
    if (!data.load(CliDataset::detect(input), input, QString(), parser.value(ClassesOption)))
        return fail(data.error());

    QVector<DetectionMetrics::ImageData> images;
    QStringList labelNames, predictionNames;
    if (resultsFile) {
        QByteArray bytes;
        if (!FileIo::readFile(predictionFolder, bytes, CocoImport::padding()))
            return fail(tr("cannot read %1").arg(predictionFolder));
        QVector<CocoImport::Result> results;
        int skipped = 0;
        if (const int error = CocoImport::parseResults(bytes, results, &skipped))
            return fail(tr("%1 is not a COCO results file (parser error %2)").arg(predictionFolder).arg(error));
        // Results name images by COCO id, or by the picture's base name when the labels
        // are label files, whose images have no ids of their own.
        const QVector<std::shared_ptr<ImageInfo>> &records = data.records();
        fillSizes(records);
        QHash<int, int> byId;
        QHash<QString, int> byName;
        for (int i = 0; i < records.size(); ++i) {
            if (data.format() != CliDataset::Format::Yolo)
                byId.insert(records[i]->id, i);
            for (const QString &name :
                 CocoImport::resultNames(FileIo::baseName(FileIo::fileName(records[i]->filePath))))
                byName.insert(name, i);
            images.append({records[i]->bboxes->boxes(), {}});
            labelNames.append(records[i]->yoloTxtFilePath.isEmpty() ? records[i]->filePath
                                                                    : records[i]->yoloTxtFilePath);
            predictionNames.append(records[i]->filePath);
        }
        int unmatched = 0;
        for (const CocoImport::Result &result : qAsConst(results)) {
            int row = result.imageName.isEmpty() ? byId.value(result.imageId, -1) : -1;
            if (row < 0)
                row = byName.value(CocoImport::resultName(result), -1);
            const double w = row < 0 ? 0 : records[row]->width, h = row < 0 ? 0 : records[row]->height;
            if (w <= 0 || h <= 0) {
                ++unmatched;
                continue;
            }
            images[row].predictions.append(CocoImport::toPrediction(result, w, h));
        }
        if (skipped + unmatched > 0)
            err() << tr("%1 results without a box and %2 of an image not found or without a size were left out")
                         .arg(skipped)
                         .arg(unmatched)
                  << Qt::endl;
    }

    QVector<YoloFolder::PredictionFile> files =
        resultsFile ? QVector<YoloFolder::PredictionFile>() : YoloFolder::readPredictionFolder(predictionFolder);
    QHash<QString, int> byBase;
    int badLines = 0;
    for (int i = 0; i < files.size(); ++i) {
        if (files[i].unreadable)
            return fail(tr("cannot read %1").arg(files[i].path));
        byBase.insert(files[i].baseName, i);
        badLines += files[i].badLines;
    }
    if (badLines > 0)
        err() << tr("%1 lines of the prediction files are no prediction and were left out").arg(badLines) << Qt::endl;

    // One entry per image, and one per prediction file without an image: all extra.
    QVector<bool> used(files.size(), false);
    data.forEach(
        [&](const QString &name, const QVector<std::shared_ptr<BoxInfo>> &boxes, const QVector<LabelCheck::Problem> &) {
            if (resultsFile)
                return;
            const int found = byBase.value(FileIo::baseName(FileIo::fileName(name)), -1);
            images.append({boxes, found >= 0 ? files[found].predictions : QVector<Prediction>()});
            labelNames.append(name);
            predictionNames.append(found >= 0 ? files[found].path : QString());
            if (found >= 0)
                used[found] = true;
        });
    int alone = 0;
    for (int i = 0; i < files.size(); ++i) {
        if (!used[i]) {
            images.append({{}, files[i].predictions});
            labelNames.append(QString());
            predictionNames.append(files[i].path);
            ++alone;
        }
    }
    // Most often a wrong folder given: say so rather than only count extras.
    if (alone > 0)
        err() << tr("%1 of %2 prediction files have no label file or image among the labels; their predictions count "
                    "as extra")
                     .arg(alone)
                     .arg(files.size())
              << Qt::endl;

    if (!list.isEmpty()) {
        for (int i = 0; i < images.size(); ++i) {
            const DetectionMetrics::ImageMatch match =
                DetectionMetrics::matchImage(images[i].labels, images[i].predictions, iou, conf);
            if (list == QLatin1String("missed")) {
                for (int box = 0; box < match.labelMatch.size(); ++box) {
                    if (match.labelMatch[box] < 0)
                        out() << printable(labelNames[i]) << ": box " << box << '\n';
                }
                continue;
            }
            const auto kind = list == QLatin1String("extra") ? DetectionMetrics::Outcome::Extra
                                                             : DetectionMetrics::Outcome::WrongClass;
            for (int box = 0; box < match.outcome.size(); ++box) {
                if (match.outcome[box] == kind)
                    out() << printable(predictionNames[i]) << ": box " << box << '\n';
            }
        }
        out().flush();
        return Ok;
    }

    const DetectionMetrics::Figures figures = DetectionMetrics::compute(images, iou, conf);
    if (parser.isSet(JsonOption)) {
        QJsonArray classes;
        for (const DetectionMetrics::ClassFigures &c : figures.classes) {
            QJsonObject object{
                {QStringLiteral("catId"), c.catId},       {QStringLiteral("name"), className(data, c.catId)},
                {QStringLiteral("labels"), c.labels},     {QStringLiteral("predictions"), c.predictions},
                {QStringLiteral("tp"), c.truePositives},  {QStringLiteral("fp"), c.falsePositives},
                {QStringLiteral("fn"), c.falseNegatives}, {QStringLiteral("precision"), c.precision},
                {QStringLiteral("recall"), c.recall}};
            if (c.ap50 >= 0) {
                object.insert(QStringLiteral("ap50"), c.ap50);
                object.insert(QStringLiteral("ap50_95"), c.apCoco);
            }
            classes.append(object);
        }
        QJsonArray without;
        for (int id : figures.classesWithoutLabels)
            without.append(id);
        const QJsonObject document{{QStringLiteral("iou"), iou},
                                   {QStringLiteral("conf"), conf},
                                   {QStringLiteral("classes"), classes},
                                   {QStringLiteral("map50"), figures.map50},
                                   {QStringLiteral("map50_95"), figures.mapCoco},
                                   {QStringLiteral("classesWithoutLabels"), without}};
        out() << QJsonDocument(document).toJson();
        out().flush();
        return Ok;
    }

    QTextStream &o = out();
    o << tr("images: %1, IoU threshold %2, confidence threshold %3").arg(images.size()).arg(iou).arg(conf) << '\n';
    // Columns as wide as their widest cell: the class left, the figures right.
    QVector<QStringList> rows{tr("class,labels,predictions,TP,FP,FN,precision,recall,AP50,AP50-95").split(',')};
    for (const DetectionMetrics::ClassFigures &c : figures.classes) {
        const QString name = className(data, c.catId);
        rows.append(
            {QString::number(c.catId) + (name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(printable(name))),
             QString::number(c.labels), QString::number(c.predictions), QString::number(c.truePositives),
             QString::number(c.falsePositives), QString::number(c.falseNegatives), figure(c.precision),
             figure(c.recall), figure(c.ap50), figure(c.apCoco)});
    }
    QVector<int> widths(rows.first().size(), 0);
    for (const QStringList &row : qAsConst(rows)) {
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], int(row[i].size()));
    }
    for (const QStringList &row : qAsConst(rows)) {
        QStringList cells;
        for (int i = 0; i < row.size(); ++i)
            cells << (i == 0 ? row[i].leftJustified(widths[i]) : row[i].rightJustified(widths[i]));
        o << cells.join(QStringLiteral("  ")) << '\n';
    }
    o << tr("mAP@0.5: %1").arg(figure(figures.map50)) << '\n';
    o << tr("mAP@0.5:0.95: %1").arg(figure(figures.mapCoco)) << '\n';
    if (!figures.classesWithoutLabels.isEmpty()) {
        QStringList ids;
        for (int id : figures.classesWithoutLabels)
            ids << QString::number(id);
        o << tr("classes without label boxes, left out of the means: %1").arg(ids.join(QStringLiteral(", "))) << '\n';
    }
    o.flush();
    return Ok;
}

int duplicates(const QStringList &arguments)
{
    QCommandLineParser parser;
    start(parser, arguments.first(),
          QStringLiteral("Lists groups of near-duplicate pictures, found by a perceptual hash: copies rescaled, "
                         "recompressed or slightly changed. A group with pictures of more than one split is a "
                         "warning: the model would be evaluated on pictures it was trained on. The hashes are kept "
                         "in the user's cache folder, so that a second run over unchanged files is quick.\n"
                         "Exits with 2 when it could not look."));
    parser.addPositionalArgument(QStringLiteral("DATASET"),
                                 QStringLiteral("A data set folder with splits (images/S and labels/S, or S/images "
                                                "and S/labels), a label folder or a folder of pictures."));
    parser.addOption(JsonOption);
    int exitCode = Ok;
    if (!parse(parser, arguments, 1, 1, exitCode))
        return exitCode;
    const QString input = parser.positionalArguments().first();
    if (!QFileInfo(input).isDir())
        return fail(tr("%1 is no folder").arg(input));
    QVector<DuplicateFinder::Picture> pictures;
    for (const DatasetSplits::Split &split : DatasetSplits::find(input)) {
        for (const QString &path : ImageFolder(split.images).untakenPaths())
            pictures.append({path, split.name});
    }
    if (pictures.isEmpty())
        return fail(tr("no pictures in %1").arg(input));

    DuplicateFinder::Progress progress;
    DuplicateFinder::Result result;
    {
        CliProgress bar(tr("hashing pictures"), &progress.done, &progress.total);
        result = DuplicateFinder::find(pictures, HashCache::fileFor(input), &progress);
    }
    if (result.cacheDamaged)
        err() << tr("the hash cache was damaged and is made anew") << Qt::endl;
    if (!result.cacheError.isEmpty())
        err() << tr("cannot keep the hashes: %1").arg(result.cacheError) << Qt::endl;
    for (const QString &path : result.unreadable)
        err() << tr("cannot read %1").arg(printable(path)) << Qt::endl;

    int grouped = 0;
    for (const QVector<int> &group : result.groups)
        grouped += group.size();
    if (parser.isSet(JsonOption)) {
        QJsonArray groups;
        for (const QVector<int> &group : result.groups) {
            QJsonArray members;
            for (int i : group) {
                members.append(QJsonObject{
                    {QStringLiteral("path"), pictures[i].path},
                    {QStringLiteral("split"), pictures[i].split},
                    {QStringLiteral("hash"), QStringLiteral("%1").arg(result.hashes[i], 16, 16, QLatin1Char('0'))}});
            }
            groups.append(members);
        }
        QJsonArray leaks;
        for (const DuplicateFinder::Leak &leak : result.leaks) {
            QJsonArray others;
            for (int i : leak.others)
                others.append(pictures[i].path);
            leaks.append(QJsonObject{{QStringLiteral("path"), pictures[leak.picture].path},
                                     {QStringLiteral("split"), pictures[leak.picture].split},
                                     {QStringLiteral("otherSplit"), leak.otherSplit},
                                     {QStringLiteral("duplicates"), others},
                                     {QStringLiteral("message"), DuplicateFinder::describe(pictures, leak)}});
        }
        const QJsonObject document{{QStringLiteral("input"), input},
                                   {QStringLiteral("pictures"), pictures.size()},
                                   {QStringLiteral("maxDistance"), DuplicateFinder::MaxDistance},
                                   {QStringLiteral("groups"), groups},
                                   {QStringLiteral("leaks"), leaks},
                                   {QStringLiteral("unreadable"), QJsonArray::fromStringList(result.unreadable)}};
        out() << QJsonDocument(document).toJson();
        out().flush();
        return Ok;
    }
    QTextStream &o = out();
    for (const QVector<int> &group : result.groups) {
        for (int i : group)
            o << printable(pictures[i].path) << '\n';
        o << '\n';
    }
    for (const DuplicateFinder::Leak &leak : result.leaks)
        o << tr("warning: %1").arg(printable(DuplicateFinder::describe(pictures, leak))) << '\n';
    o << tr("%1 of %2 pictures are near-duplicates, in %3")
             .arg(grouped)
             .arg(pictures.size())
             .arg(result.groups.size() == 1 ? tr("1 group") : tr("%1 groups").arg(result.groups.size()));
    if (!result.leaks.isEmpty())
        o << tr("; %1 across splits")
                 .arg(result.leaks.size() == 1 ? tr("1 warning") : tr("%1 warnings").arg(result.leaks.size()));
    o << '\n';
    o.flush();
    return Ok;
}

int report(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption predictionsOption(
        QStringLiteral("predictions"),
        QStringLiteral("A folder of YOLO prediction files named like the label files, to count per image the missed, "
                       "extra, wrong-class and duplicate boxes."),
        QStringLiteral("FOLDER"));
    for (const QCommandLineOption &option : {predictionsOption, IouOption, ConfOption})
        parser.addOption(option);
    CliDataset data;
    int exitCode = Ok;
    if (!loadChecked(parser, arguments,
                     QStringLiteral("Prints a review report as CSV, one line per image: the picture, its label file, "
                                    "its review status (from the data set's boxmere-review.tsv), its boxes, its "
                                    "problems and, with --predictions, how a model's predictions disagree with it."),
                     data, exitCode))
        return exitCode;
    double iou = 0.5, conf = 0.25;
    if (!threshold(parser, IouOption, iou) || !threshold(parser, ConfOption, conf))
        return Failed;
    const QString predictionFolder = parser.value(predictionsOption);
    if (!predictionFolder.isEmpty() && !QFileInfo(predictionFolder).isDir())
        return fail(tr("%1 is not a folder of prediction files").arg(predictionFolder));

    // Statuses belong to label files, by their path below the folder of the status file.
    StatusFile::Entries statuses;
    QString statusFolder;
    if (data.format() == CliDataset::Format::Yolo) {
        statusFolder = ReviewStatus::folderFor(data.input()) + QLatin1Char('/');
        QByteArray bytes;
        const QString file = statusFolder + QLatin1String(StatusFile::FileName);
        if (FileIo::fileExists(file)) {
            if (!FileIo::readFile(file, bytes))
                return fail(tr("cannot read %1").arg(file));
            const StatusFile::Read read = StatusFile::parse(bytes);
            statuses = read.entries;
            if (!read.badLines.isEmpty())
                err() << tr("%1: %2 lines are not statuses and were left out").arg(file).arg(read.badLines.size())
                      << Qt::endl;
        }
    }
    QHash<QString, QVector<Prediction>> predictions;
    if (!predictionFolder.isEmpty()) {
        for (YoloFolder::PredictionFile &file : YoloFolder::readPredictionFolder(predictionFolder)) {
            if (file.unreadable)
                return fail(tr("cannot read %1").arg(file.path));
            predictions.insert(file.baseName, std::move(file.predictions));
        }
    }

    QVector<CsvReport::ReviewRow> rows;
    DetectionMetrics::ImageMatch match;
    for (const std::shared_ptr<ImageInfo> &image : data.records()) {
        CsvReport::ReviewRow row;
        row.image = image->filePath;
        row.labelFile = image->yoloTxtFilePath;
        const QString path =
            QDir::cleanPath(QFileInfo(row.labelFile.isEmpty() ? row.image : row.labelFile).absoluteFilePath());
        const StatusFile::Status status = statusFolder.isEmpty() || !path.startsWith(statusFolder)
                                              ? StatusFile::Unreviewed
                                              : statuses.value(path.mid(statusFolder.size()), StatusFile::Unreviewed);
        row.status = StatusFile::key(status);
        const QVector<std::shared_ptr<BoxInfo>> &boxes = image->bboxes->boxes();
        row.boxes = boxes.size();
        for (const LabelCheck::Problem &problem : image->problems) {
            if (status != StatusFile::VerifiedEmpty || problem.kind != LabelCheck::Kind::EmptyFile)
                row.problems.append(LabelCheck::key(problem.kind));
        }
        if (!predictionFolder.isEmpty()) {
            DetectionMetrics::matchImage(boxes,
                                         predictions.value(FileIo::baseName(
                                             FileIo::fileName(row.labelFile.isEmpty() ? row.image : row.labelFile))),
                                         iou, conf, match);
            row.missed = match.missed();
            row.extra = match.count(DetectionMetrics::Outcome::Extra);
            row.wrongClass = match.count(DetectionMetrics::Outcome::WrongClass);
            row.duplicates = match.count(DetectionMetrics::Outcome::Duplicate);
        }
        rows.append(row);
    }
    out() << CsvReport::reviewCsv(rows);
    out().flush();
    return Ok;
}

int run(const QStringList &arguments)
{
    const QString command = arguments.value(1);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("check"))
        return check(rest);
    if (command == QLatin1String("stats"))
        return stats(rest);
    if (command == QLatin1String("convert"))
        return convert(rest);
    if (command == QLatin1String("compare"))
        return compare(rest);
    if (command == QLatin1String("duplicates"))
        return duplicates(rest);
    if (command == QLatin1String("report"))
        return report(rest);
    if (command == QLatin1String("--version") || command == QLatin1String("-v")) {
        out() << "boxmere-cli " << BOXMERE_VERSION << '\n';
        out().flush();
        return Ok;
    }
    const QString usage = tr("Usage: boxmere-cli COMMAND [OPTIONS]\n"
                             "Reviews YOLO label folders, COCO files and Boxmere's JSON lists without a window.\n\n"
                             "Commands:\n"
                             "  check LABELS [IMAGES]   list the problems; exit 1 when there is one\n"
                             "  stats LABELS [IMAGES]   figures: boxes per class and per image, sizes, problems\n"
                             "  convert INPUT OUTPUT --to yolo|coco|json\n"
                             "  compare LABELS PREDICTIONS   a model's predictions against the labels: "
                             "precision, recall, mAP\n"
                             "  duplicates DATASET      groups of near-duplicate pictures, and those across splits\n"
                             "  report LABELS [IMAGES]  a review report as CSV: status, problems, disagreements\n\n"
                             "boxmere-cli COMMAND --help describes a command; --version prints the version.\n");
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        out() << usage;
        out().flush();
        return Ok;
    }
    err() << (command.isEmpty() ? QString() : tr("unknown command %1\n").arg(command)) << usage;
    return Failed;
}

} // namespace CliCommands
