#include "classfile.h"

#include "formats/fileio.h"

#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <map>

namespace ClassFile {

namespace {

bool isYaml(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.endsWith(QLatin1String(".yaml"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".yml"), Qt::CaseInsensitive);
}

QString findIn(const QString &dir)
{
    const QDir folder(dir);
    if (!folder.exists())
        return QString();
    if (folder.exists(QStringLiteral("classes.txt")))
        return folder.filePath(QStringLiteral("classes.txt"));
    const QStringList names = folder.entryList({QStringLiteral("*.names")}, QDir::Files, QDir::Name);
    if (!names.isEmpty())
        return folder.filePath(names.first());
    for (const QString &yaml : {QStringLiteral("data.yaml"), QStringLiteral("dataset.yaml")}) {
        if (folder.exists(yaml))
            return folder.filePath(yaml);
    }
    return QString();
}

bool decodeUtf8(const QByteArray &bytes, QString &text)
{
    QTextCodec::ConverterState state;
    text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && !bytes.contains('\0');
}

} // namespace

QString find(const QString &labelDir)
{
    if (labelDir.trimmed().isEmpty())
        return QString();
    QFileInfo dir(QDir::cleanPath(QDir(labelDir).absolutePath()));
    QString found = findIn(dir.filePath());
    if (!found.isEmpty())
        return found;
    const QFileInfo parent(dir.absolutePath());
    found = findIn(parent.filePath());
    if (!found.isEmpty())
        return found;
    if (parent.fileName() == QLatin1String("labels"))
        found = findIn(parent.absolutePath());
    return found;
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
