#include "imagefolder.h"

#include <QDirIterator>
#include <QFile>
#include <QImageReader>

#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

constexpr quint32 TakenBit = 1u << 31;
constexpr const char *Suffixes[] = {".jpg", ".jpeg", ".png", ".bmp", ".webp", ".tif", ".tiff",
                                    ".JPG", ".JPEG", ".PNG", ".BMP", ".WEBP", ".TIF", ".TIFF"};
constexpr int SuffixCount = int(sizeof(Suffixes) / sizeof(Suffixes[0]));

// The index of the name's picture suffix, or -1; the suffixes are plain ASCII, so
// the encoded name can be compared as it is.
int suffixIndex(const char *name, std::size_t length)
{
    const char *dot = static_cast<const char *>(memrchr(name, '.', length));
    if (!dot || dot == name)
        return -1;
    const std::size_t suffixLength = length - std::size_t(dot - name);
    for (int i = 0; i < SuffixCount; ++i) {
        if (std::strlen(Suffixes[i]) == suffixLength && std::memcmp(dot, Suffixes[i], suffixLength) == 0)
            return i;
    }
    return -1;
}

} // namespace

const QStringList &ImageFolder::suffixes()
{
    static const QStringList list = [] {
        QStringList all;
        for (const char *suffix : Suffixes)
            all.append(QLatin1String(suffix));
        return all;
    }();
    return list;
}

QSize ImageFolder::pictureSize(const QString &path)
{
    const QSize size = QImageReader(path).size();
    return size.isValid() && !size.isEmpty() ? size : QSize();
}

ImageFolder::ImageFolder(const QString &dir) : m_dir(dir)
{
    m_slots.fill(-1, 1024);
    QString decoded;
    auto add = [this, &decoded](const char *name, std::size_t length) {
        const int index = suffixIndex(name, length);
        if (index < 0)
            return;
        const int baseLength = int(length - std::strlen(Suffixes[index]));
        decoded = QString::fromUtf8(name, baseLength);
        this->add(decoded, index);
    };
#ifdef Q_OS_UNIX
    // readdir with the entry's type: a folder of 100,000 pictures lists in a few
    // milliseconds, with no system call per file and no file information objects.
    const QByteArray path = QFile::encodeName(dir);
    DIR *folder = path.isEmpty() ? nullptr : opendir(path.constData());
    if (!folder)
        return;
    while (const dirent *entry = readdir(folder)) {
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info;
            isFile = fstatat(dirfd(folder), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (isFile)
            add(entry->d_name, std::strlen(entry->d_name));
    }
    closedir(folder);
#else
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QByteArray name = QFile::encodeName(it.fileName());
        add(name.constData(), std::size_t(name.size()));
    }
#endif
}

int ImageFolder::slotOf(QStringView base, uint hash) const
{
    const int mask = m_slots.size() - 1;
    for (int slot = int(hash) & mask;; slot = (slot + 1) & mask) {
        const int entry = m_slots.at(slot);
        if (entry < 0)
            return slot;
        const Base &candidate = m_bases.at(entry);
        if (candidate.hash == hash && nameOf(candidate) == base)
            return slot;
    }
}

void ImageFolder::add(QStringView base, int suffix)
{
    const uint hash = qHash(base);
    const int slot = slotOf(base, hash);
    if (m_slots.at(slot) >= 0) {
        m_bases[m_slots.at(slot)].bits |= 1u << suffix;
        return;
    }
    m_slots[slot] = m_bases.size();
    m_bases.append({m_names.size(), int(base.size()), hash, 1u << suffix});
    m_names.append(base);
    // Kept at most half full, so that probes stay short.
    if (m_bases.size() * 2 > m_slots.size()) {
        m_slots.fill(-1, m_slots.size() * 2);
        const int mask = m_slots.size() - 1;
        for (int i = 0; i < m_bases.size(); ++i) {
            int s = int(m_bases.at(i).hash) & mask;
            while (m_slots.at(s) >= 0)
                s = (s + 1) & mask;
            m_slots[s] = i;
        }
    }
}

QString ImageFolder::take(const QString &base)
{
    const int entry = m_slots.at(slotOf(base, qHash(QStringView(base))));
    m_lastFound = entry >= 0;
    if (!m_lastFound)
        return QStringLiteral("%1/%2.jpg").arg(m_dir, base);
    Base &found = m_bases[entry];
    found.bits |= TakenBit;
    const int index = qCountTrailingZeroBits(found.bits & ~TakenBit);
    return QStringLiteral("%1/%2%3").arg(m_dir, base, QLatin1String(Suffixes[index]));
}

QStringList ImageFolder::untakenPaths() const
{
    QStringList paths;
    for (const Base &base : m_bases) {
        if (base.bits & TakenBit)
            continue;
        for (int i = 0; i < SuffixCount; ++i) {
            if (base.bits & (1u << i))
                paths.append(QStringLiteral("%1/%2%3").arg(m_dir, nameOf(base), QLatin1String(Suffixes[i])));
        }
    }
    paths.sort();
    return paths;
}
