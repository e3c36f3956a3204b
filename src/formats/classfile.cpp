#include "classfile.h"

#include "formats/fileio.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTextCodec>

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <map>

namespace ClassFile {

namespace {

bool isYaml(const QString &path)
{
    return path.endsWith(QLatin1String(".yaml"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".yml"), Qt::CaseInsensitive);
}

// One listing of a folder serves both the known names and the YAML files of any name,
// so that a label folder of many files is listed no more often than before.
struct Folder
{
    QString known;     // the first known class file, if any
    QStringList yamls; // every YAML file, in name order
};

Folder look(const QString &dir)
{
    Folder found;
    const QDir folder(dir);
    if (!folder.exists())
        return found;
    if (folder.exists(QStringLiteral("classes.txt"))) {
        found.known = folder.filePath(QStringLiteral("classes.txt"));
        return found;
    }
    // Names tested by hand: a name filter would match each entry against every pattern.
    QStringList names, yamls;
    bool data = false, dataset = false;
    QDirIterator it(dir, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.endsWith(QLatin1String(".names"), Qt::CaseInsensitive))
            names.append(name);
        else if (isYaml(name))
            yamls.append(name);
        data |= name == QLatin1String("data.yaml");
        dataset |= name == QLatin1String("dataset.yaml");
    }
    std::sort(names.begin(), names.end());
    std::sort(yamls.begin(), yamls.end());
    for (const QString &yaml : qAsConst(yamls))
        found.yamls.append(folder.filePath(yaml));
    if (!names.isEmpty())
        found.known = folder.filePath(names.first());
    else if (data || dataset)
        found.known = folder.filePath(data ? QStringLiteral("data.yaml") : QStringLiteral("dataset.yaml"));
    return found;
}

bool hasNames(const QString &path)
{
    QByteArray bytes;
    QVector<ClassName> names;
    QString error;
    return FileIo::readFile(path, bytes) && parseYaml(bytes, names, error);
}

bool decodeUtf8(const QByteArray &bytes, QString &text)
{
    QTextCodec::ConverterState state;
    text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && !bytes.contains('\0');
}

} // namespace

QString find(const QString &labelDir, QStringList *candidates)
{
    if (candidates)
        candidates->clear();
    if (labelDir.trimmed().isEmpty())
        return QString();
    const QFileInfo dir(QDir::cleanPath(QDir(labelDir).absolutePath()));
    const QFileInfo parent(dir.absolutePath());
    QStringList folders{dir.filePath(), parent.filePath()};
    if (parent.fileName() == QLatin1String("labels"))
        folders.append(parent.absolutePath());
    QVector<Folder> looked;
    for (const QString &folder : qAsConst(folders)) {
        looked.append(look(folder));
        if (!looked.last().known.isEmpty())
            return looked.last().known;
    }
    for (const Folder &folder : qAsConst(looked)) {
        QStringList named;
        for (const QString &yaml : folder.yamls) {
            if (hasNames(yaml))
                named.append(yaml);
        }
        if (named.size() == 1)
            return named.first();
        if (!named.isEmpty()) {
            if (candidates)
                *candidates = named;
            return QString();
        }
    }
    return QString();
}

bool parseLines(const QByteArray &bytes, QVector<ClassName> &names, QString &error)
{
    names.clear();
    QString text;
    if (!decodeUtf8(bytes, text)) {
        error = QStringLiteral("not a UTF-8 text file");
        return false;
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = line.trimmed(); // also drops the CR of CRLF line ends
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty()) {
        error = QStringLiteral("no class names");
        return false;
    }
    names.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i)
        names.append({i, lines.at(i)});
    return true;
}

bool parseYaml(const QByteArray &bytes, QVector<ClassName> &names, QString &error)
{
    names.clear();
    try {
        const YAML::Node root = YAML::Load(bytes.toStdString());
        const YAML::Node list = root.IsMap() ? root["names"] : YAML::Node();
        if (!list || list.IsNull()) {
            error = QStringLiteral("no \"names\"");
            return false;
        }
        std::map<int, QString> byId;
        if (list.IsSequence()) {
            for (std::size_t i = 0; i < list.size(); ++i)
                byId[int(i)] = QString::fromStdString(list[i].as<std::string>());
        } else if (list.IsMap()) {
            for (const auto &entry : list) {
                const int id = entry.first.as<int>();
                if (id < 0)
                    throw YAML::Exception(entry.first.Mark(), "negative class number");
                byId[id] = QString::fromStdString(entry.second.as<std::string>());
            }
        } else {
            error = QStringLiteral("\"names\" is neither a list nor a map");
            return false;
        }
        if (byId.empty()) {
            error = QStringLiteral("no class names");
            return false;
        }
        for (const auto &[id, name] : byId)
            names.append({id, name});
        return true;
    } catch (const YAML::Exception &e) {
        names.clear();
        error = QString::fromStdString(e.what());
        return false;
    }
}

Classes read(const QString &path)
{
    Classes classes;
    classes.path = path;
    QByteArray bytes;
    if (!FileIo::readFile(path, bytes)) {
        classes.error = QStringLiteral("cannot be read");
        return classes;
    }
    if (isYaml(path))
        parseYaml(bytes, classes.names, classes.error);
    else
        parseLines(bytes, classes.names, classes.error);
    return classes;
}

} // namespace ClassFile
