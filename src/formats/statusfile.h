#ifndef BOXMERE_STATUSFILE_H
#define BOXMERE_STATUSFILE_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// The review status file: one line per reviewed image, sorted by name, so that it can
// be versioned with the data and merged by hand. A line is the status, a tab, and the
// label file's path below the folder that holds the status file, with "/" between
// folders and backslash, tab, carriage return and newline written as \\, \t, \r, \n.
// Images not listed are unreviewed. The first line is a comment that says so.
namespace StatusFile {

enum Status : quint8
{
    Unreviewed,
    Accepted,
    NeedsFix,
    VerifiedEmpty,
};
constexpr int StatusCount = int(VerifiedEmpty) + 1;

// The file's name in the data set folder. Not a .txt, which a label folder would hold.
constexpr const char *FileName = "boxmere-review.tsv";

// "unreviewed", "accepted", "needs-fix", "verified-empty": the words of the file, and the
// keys of filters.
QString key(Status status);
bool fromKey(const QString &key, Status &status);

using Entries = QMap<QString, Status>;

struct Read
{
    Entries entries;
    // The numbers from 1 of lines that are not a status line, a blank line or the
    // file's own first line: whatever writing the file again would drop.
    QVector<int> badLines;
};

Read parse(const QByteArray &data);
// The whole file for entries; unreviewed ones are left out.
QByteArray write(const Entries &entries);

} // namespace StatusFile

#endif
