#ifndef BOXMERE_REVIEWSTATUS_H
#define BOXMERE_REVIEWSTATUS_H

#include "formats/statusfile.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>
#include <QVector>

class ImageList;

// The review status of every image of the ImageList (unreviewed, accepted, needs fix,
// verified empty), kept in the data set's status file. Statuses belong to label files,
// not rows, so that they follow rows that move or load again; the file holds those of
// every split. Each change is written at once, off the GUI thread; changes made while
// a write is under way go out together in the next one. A status file that could not
// be read whole is not written over until allowOverwrite(): until then changes live
// here only. QML sees the app's instance as the singleton ReviewStatus.
class ReviewStatus : public QObject
{
    Q_OBJECT
    // The status file in use; "" before a label folder was opened.
    Q_PROPERTY(QString filePath READ filePath NOTIFY fileChanged)
    // What was wrong with the status file when it was read; "" when nothing was.
    Q_PROPERTY(QString damage READ damage NOTIFY fileChanged)
    // Changes not in the file: held back from a damaged file, or a write failed.
    Q_PROPERTY(bool unsaved READ unsaved NOTIFY savedChanged)
    Q_PROPERTY(QString saveError READ saveError NOTIFY savedChanged)
    Q_PROPERTY(int reviewed READ reviewed NOTIFY countsChanged)
    Q_PROPERTY(int needFixing READ needFixing NOTIFY countsChanged)
    // E.g. "312 of 5,000 reviewed (6 %) · 14 need fixing", over every row of the list.
    Q_PROPERTY(QString progress READ progress NOTIFY countsChanged)

public:
    using Status = StatusFile::Status;
    // The statuses as QML names them.
    enum StatusValue
    {
        Unreviewed = StatusFile::Unreviewed,
        Accepted = StatusFile::Accepted,
        NeedsFix = StatusFile::NeedsFix,
        VerifiedEmpty = StatusFile::VerifiedEmpty,
    };
    Q_ENUM(StatusValue)

    explicit ReviewStatus(ImageList *list);
    // Waits for the write under way, and writes what is still to be written.
    ~ReviewStatus() override;

    // The folder that holds a label folder's status file: the data set folder above
    // "labels" or "labels/<split>", else the folder the label folder is in.
    static QString folderFor(const QString &labelFolder);

    QString filePath() const { return m_path; }
    QString folder() const { return m_folder; }
    QString damage() const { return m_damage; }
    bool unsaved() const { return (m_dirty && m_blocked) || !m_saveError.isEmpty(); }
    QString saveError() const { return m_saveError; }
    int reviewed() const;
    int needFixing() const { return m_counts[NeedsFix]; }
    QString progress() const;
    // Per image-list row, its status.
    const QVector<Status> &rowStatuses() const { return m_rows; }
    // How many writes finished, for tests.
    int writes() const { return m_writes; }

public Q_SLOTS:
    // Reads the status file of labelFolder's data set, again for the same one (it may
    // have been merged since); a missing one holds no status. Changes not saved for
    // a damaged file stay while the data set does.
    void open(const QString &labelFolder);
    Status status(int row) const;
    // False for a row outside the list or outside the data set's folder.
    bool setStatus(int row, int status);
    // The user agreed to replace the damaged file with the statuses known here.
    void allowOverwrite();
    // Blocks until every change made so far is in the file, or failed to be.
    void flush();

Q_SIGNALS:
    void rowChanged(int row);
    // Every row's status may have changed.
    void statusesChanged();
    void countsChanged();
    void fileChanged();
    void savedChanged();
    void written();

private:
    QString keyOf(int row) const;
    void rebuild();
    void recount();
    void startWrite();
    void writeDone();

    ImageList *m_list;
    QString m_folder; // with a trailing "/"
    QString m_path;
    QString m_damage;
    StatusFile::Entries m_entries;
    QVector<Status> m_rows;
    int m_counts[StatusFile::StatusCount] = {};
    bool m_dirty = false;
    bool m_blocked = false;
    bool m_writing = false;
    int m_writes = 0;
    QString m_saveError;
    QTimer m_writeTimer;
    QFutureWatcher<QString> m_watcher;
};

#endif
