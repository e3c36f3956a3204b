#include "utils.h"

#include <QFile>
#include <QFileInfo>
#include <QQmlEngine>
#include <QSaveFile>

Utils *Utils::s_instance = nullptr;

Utils::Utils() : QObject(nullptr)
{
    s_instance = this;
}

Utils::~Utils()
{
    s_instance = nullptr;
}

Utils *Utils::instance()
{
    if (!s_instance)
        createInstance();
    return s_instance;
}

bool Utils::createInstance()
{
    auto *utils = new Utils;
    qmlRegisterSingletonInstance("Boxmere", 1, 0, "Utils", utils);
    return utils != nullptr;
}

QString Utils::osName() const
{
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macos");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("linux");
#else
    return QStringLiteral("unix");
#endif
}

bool Utils::isDebug() const
{
#ifdef QT_DEBUG
    return true;
#else
    return false;
#endif
}

bool Utils::fileExists(const QString &path) const
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool Utils::readFile(const QString &path, QByteArray &data) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return true;
}

bool Utils::writeFile(const QString &path, const QByteArray &data) const
{
    // QSaveFile writes beside the target and renames over it on commit(), so a
    // full disk or a killed process never leaves a truncated label file behind.
    // Unbuffered, because a buffered QFileDevice reports a short write at flush
    // time as success and commit() would then put a truncated file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const qint64 written = file.write(p, left);
        if (written <= 0)
            return false; // the destructor discards the unfinished copy
        p += written;
        left -= written;
    }
    return file.commit();
}

bool Utils::removeFile(const QString &path) const
{
    return QFile::remove(path);
}

QColor Utils::invertColor(QColor c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue(), 255);
}

QString Utils::baseName(QString filename)
{
    const int dot = filename.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? filename : filename.left(dot);
}

QString Utils::fileName(QString filePath)
{
    return QFileInfo(filePath).fileName();
}

QString Utils::toLocalPath(QUrl url)
{
    return url.toLocalFile();
}

QString Utils::safeName(QString name)
{
    QString result = name.trimmed();
    for (const QChar c : {u'?', u':', u'/', u'\\', u'*', u'\'', u'"', u'~', u'&'})
        result.replace(c, QLatin1Char('_'));
    return result;
}
