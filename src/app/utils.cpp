#include "utils.h"

#include <QFile>
#include <QFileInfo>
#include <QQmlEngine>
#include <QSaveFile>

#include <cerrno>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

bool Utils::readFile(const QString &path, QByteArray &data, int padding) const
{
    padding = qMax(padding, 0);
#ifdef Q_OS_UNIX
    // Plain system calls: loading a folder reads every label file, and QFile spends
    // more system calls per small file than the read itself costs.
    if (path.isEmpty())
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return false;
    }
    QByteArray bytes;
    qint64 capacity = S_ISREG(info.st_mode) ? qint64(info.st_size) + 1 : 4096;
    qint64 size = 0;
    for (;;) {
        if (capacity + padding >= std::numeric_limits<int>::max()) {
            ::close(fd);
            return false;
        }
        bytes.resize(int(capacity + padding));
        const ssize_t n = ::read(fd, bytes.data() + size, size_t(capacity - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        size += n;
        // A regular file that gave less than asked for is at its end.
        if (n == 0 || (S_ISREG(info.st_mode) && size < capacity))
            break;
        if (size == capacity)
            capacity *= 2;
    }
    ::close(fd);
    bytes.resize(int(size)); // keeps the capacity, and with it the padding
    data = bytes;
    return true;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    bytes.reserve(bytes.size() + padding);
    data = bytes;
    return true;
#endif
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

QUrl Utils::toFileUrl(QString path)
{
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}
