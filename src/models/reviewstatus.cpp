#include "reviewstatus.h"

#include "app/logging.h"
#include "formats/fileio.h"
#include "images/imagelist.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QtConcurrent>

ReviewStatus::ReviewStatus(ImageList *list) : m_list(list)
{
    connect(list, &QAbstractItemModel::modelReset, this, &ReviewStatus::rebuild);
    connect(list, &QAbstractItemModel::rowsInserted, this, &ReviewStatus::rebuild);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &ReviewStatus::rebuild);
    connect(list, &QAbstractItemModel::layoutChanged, this, &ReviewStatus::rebuild);
    // A burst of changes made in one go is one write.
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(0);
    connect(&m_writeTimer, &QTimer::timeout, this, &ReviewStatus::startWrite);
    connect(&m_watcher, &QFutureWatcher<QString>::finished, this, &ReviewStatus::writeDone);
    rebuild();
}

ReviewStatus::~ReviewStatus()
{
    flush();
}

QString ReviewStatus::folderFor(const QString &labelFolder)
{
    const QFileInfo labels(QDir::cleanPath(QDir(labelFolder).absolutePath()));
    const QFileInfo parent(labels.absolutePath());
    if (parent.fileName() == QLatin1String("labels"))
        return parent.absolutePath();
    return labels.absolutePath();
}

void ReviewStatus::open(const QString &labelFolder)
{
    const QString folder = folderFor(labelFolder) + QLatin1Char('/');
    // Changes held back from a damaged file stay for the next split of its data set.
    if (folder == m_folder && m_blocked && m_dirty)
        return;
    flush();
    if (m_blocked && m_dirty)
        qCWarning(lcIo, "Review statuses not saved to %s are dropped", qUtf8Printable(m_path));
    m_folder = folder;
    m_path = m_folder + QLatin1String(StatusFile::FileName);
    m_entries.clear();
    m_damage.clear();
    m_blocked = false;
    m_dirty = false;
    m_saveError.clear();
    if (FileIo::fileExists(m_path)) {
        QByteArray data;
        if (!FileIo::readFile(m_path, data) || QFileInfo(m_path).isDir()) {
            m_damage = tr("Could not read the review status file %1").arg(m_path);
            m_blocked = true;
        } else {
            StatusFile::Read read = StatusFile::parse(data);
            m_entries = std::move(read.entries);
            if (!read.badLines.isEmpty()) {
                QStringList lines;
                for (const int line : read.badLines.mid(0, 5))
                    lines << QString::number(line);
                if (read.badLines.size() > 5)
                    lines << QStringLiteral("…");
                m_damage = tr("The review status file %1 has lines that are not statuses (%2)")
                               .arg(m_path, lines.join(QLatin1String(", ")));
                m_blocked = true;
            }
        }
        if (m_blocked)
            qCWarning(lcLoad, "%s", qUtf8Printable(m_damage));
    }
    rebuild();
    Q_EMIT fileChanged();
    Q_EMIT savedChanged();
}

QString ReviewStatus::keyOf(int row) const
{
    const std::shared_ptr<ImageInfo> image = m_list->imageAt(row);
    if (!image || m_folder.isEmpty())
        return QString();
    const QString &path = image->yoloTxtFilePath.isEmpty() ? image->filePath : image->yoloTxtFilePath;
    // Paths as the folder was typed: relative, or with a slash too many.
    const QString clean = path.startsWith(m_folder) && !path.contains(QLatin1String("//"))
                              ? path
                              : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return clean.startsWith(m_folder) ? clean.mid(m_folder.size()) : QString();
}

void ReviewStatus::rebuild()
{
    const int rows = m_list->rowCount();
    m_rows.fill(StatusFile::Unreviewed, rows);
    if (!m_entries.isEmpty()) {
        for (int row = 0; row < rows; ++row)
            m_rows[row] = m_entries.value(keyOf(row), StatusFile::Unreviewed);
    }
    recount();
    Q_EMIT statusesChanged();
}

void ReviewStatus::recount()
{
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    for (const Status status : qAsConst(m_rows))
        ++m_counts[status];
    Q_EMIT countsChanged();
}

int ReviewStatus::reviewed() const
{
    return m_rows.size() - m_counts[StatusFile::Unreviewed];
}

QString ReviewStatus::progress() const
{
    const QLocale locale;
    const int total = m_rows.size();
    const int percent = total > 0 ? int(qint64(reviewed()) * 100 / total) : 0;
    const QString fixing =
        needFixing() == 1 ? tr("1 needs fixing") : tr("%1 need fixing").arg(locale.toString(needFixing()));
    return tr("%1 of %2 reviewed (%3 %) · %4")
        .arg(locale.toString(reviewed()), locale.toString(total), locale.toString(percent), fixing);
}

ReviewStatus::Status ReviewStatus::status(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : StatusFile::Unreviewed;
}

bool ReviewStatus::setStatus(int row, int status)
{
    const QString key = keyOf(row);
    if (key.isEmpty() || status < 0 || status >= StatusFile::StatusCount)
        return false;
    const auto value = Status(status);
    if (m_rows.at(row) == value)
        return true;
    --m_counts[m_rows.at(row)];
    ++m_counts[value];
    m_rows[row] = value;
    if (value == StatusFile::Unreviewed)
        m_entries.remove(key);
    else
        m_entries.insert(key, value);
    const bool wasUnsaved = unsaved();
    m_dirty = true;
    if (!m_blocked)
        m_writeTimer.start();
    Q_EMIT rowChanged(row);
    Q_EMIT countsChanged();
    if (unsaved() != wasUnsaved)
        Q_EMIT savedChanged();
    return true;
}

void ReviewStatus::allowOverwrite()
{
    if (!m_blocked)
        return;
    m_blocked = false;
    m_damage.clear();
    m_dirty = true;
    Q_EMIT fileChanged();
    startWrite();
}

// One write at a time, of the statuses as they are when it starts.
void ReviewStatus::startWrite()
{
    if (m_writing || !m_dirty || m_blocked)
        return;
    m_dirty = false;
    m_writing = true;
    const QString path = m_path;
    const StatusFile::Entries entries = m_entries;
    m_watcher.setFuture(QtConcurrent::run([path, entries] {
        QString error;
        if (!FileIo::writeFile(path, StatusFile::write(entries), &error) && error.isEmpty())
            error = QStringLiteral("?");
        return error;
    }));
}

void ReviewStatus::writeDone()
{
    if (!m_writing || !m_watcher.isFinished())
        return;
    m_writing = false;
    ++m_writes;
    const QString error = m_watcher.result();
    if (error != m_saveError || !error.isEmpty()) {
        m_saveError = error.isEmpty() ? QString() : tr("Could not save the review status to %1: %2").arg(m_path, error);
        if (!error.isEmpty()) {
            qCWarning(lcIo, "%s", qUtf8Printable(m_saveError));
            // Tried again with the next change.
            m_dirty = true;
        }
        Q_EMIT savedChanged();
    }
    Q_EMIT written();
    if (m_dirty && error.isEmpty())
        m_writeTimer.start();
}

void ReviewStatus::flush()
{
    m_writeTimer.stop();
    if (m_writing) {
        m_watcher.waitForFinished();
        writeDone();
    }
    if (m_dirty && !m_blocked) {
        startWrite();
        m_watcher.waitForFinished();
        writeDone();
    }
}
