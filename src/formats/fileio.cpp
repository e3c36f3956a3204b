#include "formats/fileio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileIo {

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool readFile(const QString &path, QByteArray &data, int padding)
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

bool writeFile(const QString &path, const QByteArray &data, QString *error)
{
    // QSaveFile would replace the file the link points to, wherever that is.
    if (QFileInfo(path).isSymLink()) {
        if (error)
            *error = QStringLiteral("%1 is a symbolic link; it is not written through").arg(path);
        return false;
    }
    // QSaveFile writes beside the target and renames over it on commit(), so a
    // full disk or a killed process never leaves a truncated label file behind.
    // Unbuffered, because a buffered QFileDevice reports a short write at flush
    // time as success and commit() would then put a truncated file in place.
    QSaveFile file(path);
    auto failed = [&] {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed();
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const qint64 written = file.write(p, left);
        if (written <= 0)
            return failed(); // the destructor discards the unfinished copy
        p += written;
        left -= written;
    }
    return file.commit() || failed();
}

bool removeFile(const QString &path)
{
    return QFile::remove(path);
}

QString baseName(const QString &filename)
{
    const int dot = filename.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? filename : filename.left(dot);
}

QString fileName(const QString &filePath)
{
    return QFileInfo(filePath).fileName();
}

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Compares in place: a sort of 100,000 names must not build a key for each.
int naturalCompare(const QChar *a, int na, const QChar *b, int nb)
{
    int i = 0, j = 0;
    while (i < na && j < nb) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < na && a[i].unicode() == '0')
                ++i;
            while (j < nb && b[j].unicode() == '0')
                ++j;
            int ei = i, ej = j;
            while (ei < na && isDigit(a[ei]))
                ++ei;
            while (ej < nb && isDigit(b[ej]))
                ++ej;
            if (ei - i != ej - j)
                return (ei - i) - (ej - j);
            for (; i < ei; ++i, ++j) {
                if (a[i] != b[j])
                    return a[i].unicode() - b[j].unicode();
            }
            continue;
        }
        const ushort ca = a[i].toCaseFolded().unicode(), cb = b[j].toCaseFolded().unicode();
        if (ca != cb)
            return ca - cb;
        ++i;
        ++j;
    }
    return (na - i) - (nb - j);
}

} // namespace

bool naturalLess(const QString &a, const QString &b)
{
    const int c = naturalCompare(a.constData(), a.size(), b.constData(), b.size());
    return c != 0 ? c < 0 : a < b;
}

} // namespace FileIo
