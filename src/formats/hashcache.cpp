#include "hashcache.h"

#include "formats/fileio.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>
#include <qplatformdefs.h>

namespace {

const QByteArray Magic("BXPHASH1");

// FNV-1a over the bytes: a cut or scribbled file is not taken for hashes.
quint64 checksum(const char *data, qsizetype size)
{
    quint64 sum = 0xcbf29ce484222325ULL;
    for (qsizetype i = 0; i < size; ++i) {
        sum ^= uchar(data[i]);
        sum *= 0x100000001b3ULL;
    }
    return sum;
}

template <typename T> void put(QByteArray &bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, sizeof(T));
}

template <typename T> bool take(const QByteArray &bytes, qsizetype &at, qsizetype end, T &value)
{
    if (end - at < qsizetype(sizeof(T)))
        return false;
    value = qFromLittleEndian<T>(bytes.constData() + at);
    at += sizeof(T);
    return true;
}

} // namespace

QString HashCache::fileFor(const QString &folder)
{
    const QByteArray key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()).toUtf8();
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/boxmere/hashes/") +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) +
           QStringLiteral(".bin");
}

bool HashCache::status(const QString &path, qint64 &size, qint64 &modified)
{
    // A plain stat: QFileInfo's times go through the local time zone, which costs more
    // than all the rest of a repeat run.
    QT_STATBUF buffer;
    size = modified = 0;
    if (QT_STAT(QFile::encodeName(path).constData(), &buffer) != 0)
        return false;
    size = buffer.st_size;
    modified = qint64(buffer.st_mtim.tv_sec) * 1000 + buffer.st_mtim.tv_nsec / 1000000;
    return true;
}

HashCache::State HashCache::load()
{
    m_entries.clear();
    QByteArray bytes;
    if (!FileIo::readFile(m_file, bytes))
        return FileIo::fileExists(m_file) ? State::Damaged : State::Missing;
    const qsizetype end = bytes.size() - qsizetype(sizeof(quint64));
    qsizetype at = Magic.size();
    quint64 sum = 0;
    quint32 count = 0;
    qsizetype sumAt = end;
    auto damaged = [this] {
        m_entries.clear();
        return State::Damaged;
    };
    if (end < at || !bytes.startsWith(Magic) || !take(bytes, sumAt, bytes.size(), sum) ||
        sum != checksum(bytes.constData(), end) || !take(bytes, at, end, count))
        return State::Damaged;
    m_entries.reserve(int(count));
    for (quint32 i = 0; i < count; ++i) {
        quint32 length = 0;
        Entry entry;
        if (!take(bytes, at, end, length) || end - at < qsizetype(length))
            return damaged();
        const QString path = QString::fromUtf8(bytes.constData() + at, int(length));
        at += length;
        if (!take(bytes, at, end, entry.size) || !take(bytes, at, end, entry.modified) ||
            !take(bytes, at, end, entry.hash))
            return damaged();
        m_entries.insert(path, entry);
    }
    if (at != end)
        return damaged();
    return State::Read;
}

bool HashCache::save(QString *error) const
{
    QByteArray bytes = Magic;
    put(bytes, quint32(m_entries.size()));
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        const QByteArray path = it.key().toUtf8();
        put(bytes, quint32(path.size()));
        bytes.append(path);
        put(bytes, it->size);
        put(bytes, it->modified);
        put(bytes, it->hash);
    }
    put(bytes, checksum(bytes.constData(), bytes.size()));
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    return FileIo::writeFile(m_file, bytes, error);
}

bool HashCache::find(const QString &path, qint64 size, qint64 modified, quint64 &hash) const
{
    const auto it = m_entries.constFind(path);
    if (it == m_entries.cend() || it->size != size || it->modified != modified)
        return false;
    hash = it->hash;
    return true;
}

void HashCache::insert(const QString &path, qint64 size, qint64 modified, quint64 hash)
{
    m_entries.insert(path, {size, modified, hash});
}
