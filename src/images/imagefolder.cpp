#include "imagefolder.h"

#include <QDirIterator>

namespace {
constexpr quint32 TakenBit = 1u << 31;
}

const QStringList &ImageFolder::suffixes()
{
    static const QStringList list = [] {
        const QStringList lower{QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".png"),
                                QStringLiteral(".bmp"), QStringLiteral(".webp"), QStringLiteral(".tif"),
                                QStringLiteral(".tiff")};
        QStringList all = lower;
        for (const QString &suffix : lower)
            all.append(suffix.toUpper());
        return all;
    }();
    return list;
}

static int suffixIndex(const QString &fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return -1;
    const QStringRef suffix = fileName.midRef(dot);
    const QStringList &all = ImageFolder::suffixes();
    for (int i = 0; i < all.size(); ++i) {
        if (suffix == all.at(i))
            return i;
    }
    return -1;
}

bool ImageFolder::isImageName(const QString &fileName)
{
    return suffixIndex(fileName) >= 0;
}

ImageFolder::ImageFolder(const QString &dir) : m_dir(dir)
{
    // Names only: with the file type from the directory entry, listing costs no
    // system call per file.
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const int index = suffixIndex(name);
        if (index < 0)
            continue;
        m_bases[name.left(name.lastIndexOf(QLatin1Char('.')))] |= 1u << index;
    }
}

QString ImageFolder::take(const QString &base)
{
    const auto it = m_bases.find(base);
    m_lastFound = it != m_bases.end();
    if (!m_lastFound)
        return QStringLiteral("%1/%2.jpg").arg(m_dir, base);
    *it |= TakenBit;
    const int index = qCountTrailingZeroBits(*it & ~TakenBit);
    return QStringLiteral("%1/%2%3").arg(m_dir, base, suffixes().at(index));
}

int ImageFolder::untakenCount() const
{
    int count = 0;
    for (const quint32 bits : m_bases) {
        if (!(bits & TakenBit))
            count += qPopulationCount(bits);
    }
    return count;
}

QStringList ImageFolder::untakenPaths() const
{
    QStringList paths;
    for (auto it = m_bases.cbegin(); it != m_bases.cend(); ++it) {
        if (it.value() & TakenBit)
            continue;
        for (int i = 0; i < suffixes().size(); ++i) {
            if (it.value() & (1u << i))
                paths.append(QStringLiteral("%1/%2%3").arg(m_dir, it.key(), suffixes().at(i)));
        }
    }
    paths.sort();
    return paths;
}
