#include "formats/fileio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

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
int compareNaturally(QStringView a, QStringView b)
{
    const int na = a.size(), nb = b.size();
    // An equal start that ends outside a run of digits compares equal under any rule.
    int i = 0;
    while (i < na && i < nb && a[i] == b[i])
        ++i;
    while (i > 0 && isDigit(a[i - 1]))
        --i;
    int j = i;
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

// The start of a name as compareNaturally sees it, packed so that names whose keys
// differ compare as their keys do: letters case-folded, and each run of digits as
// '0', its length without leading zeros, and those digits.
struct PrefixKey
{
    quint64 high = 0;
    quint64 low = 0;

    explicit PrefixKey(QStringView name)
    {
        ushort units[8] = {};
        int n = 0;
        const int size = int(name.size());
        for (int i = 0; i < size && n < 8;) {
            if (!isDigit(name[i])) {
                units[n++] = name[i++].toCaseFolded().unicode();
                continue;
            }
            while (i < size && name[i].unicode() == '0')
                ++i;
            int end = i;
            while (end < size && isDigit(name[end]))
                ++end;
            units[n++] = '0';
            if (n < 8)
                units[n++] = ushort(std::min(end - i, 0xffff));
            for (; i < end && n < 8; ++i)
                units[n++] = name[i].unicode();
            i = end;
        }
        for (int k = 0; k < 4; ++k) {
            high = high << 16 | units[k];
            low = low << 16 | units[k + 4];
        }
    }
    bool operator!=(const PrefixKey &other) const { return high != other.high || low != other.low; }
    bool operator<(const PrefixKey &other) const { return high != other.high ? high < other.high : low < other.low; }
};

} // namespace

int naturalCompare(QStringView a, QStringView b)
{
    const int c = compareNaturally(a, b);
    return c != 0 ? c : a.compare(b);
}

QVector<int> naturalOrder(const QVector<QStringView> &names)
{
    // Keys, and the names side by side in one buffer: a sort of 100,000 names spread
    // over the heap would mostly wait on memory.
    struct Entry
    {
        PrefixKey key;
        int offset;
        int size;
        int index;
    };
    std::vector<QChar> text;
    std::vector<Entry> entries;
    entries.reserve(names.size());
    for (int i = 0; i < names.size(); ++i) {
        const QStringView name = names.at(i);
        entries.push_back({PrefixKey(name), int(text.size()), int(name.size()), i});
        text.insert(text.end(), name.begin(), name.end());
    }
    const QChar *const chars = text.data();
    std::sort(entries.begin(), entries.end(), [chars](const Entry &a, const Entry &b) {
        if (a.key != b.key)
            return a.key < b.key;
        const int c = naturalCompare(QStringView(chars + a.offset, a.size), QStringView(chars + b.offset, b.size));
        return c != 0 ? c < 0 : a.index < b.index;
    });
    QVector<int> order;
    order.reserve(names.size());
    for (const Entry &entry : entries)
        order.append(entry.index);
    return order;
}

} // namespace FileIo
