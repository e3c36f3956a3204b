#ifndef BOXMERE_FILEIO_H
#define BOXMERE_FILEIO_H

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVector>

// Whole-file reading and writing and the path helpers the loaders, exporters, checks
// and the command-line tool share. Plain functions: safe on any thread, and no QML
// object needs to exist to use them.
namespace FileIo {

// True when a file or folder exists at the path.
bool fileExists(const QString &path);
// Replaces data with the whole file; false, data untouched, when it cannot be opened.
// With padding, data's capacity leaves that many bytes after the content, for
// parsers that read past the end.
bool readFile(const QString &path, QByteArray &data, int padding = 0);
// Replaces the file with data atomically: true only when every byte reached the
// file; on failure the previous file stays as it was. A symbolic link is refused,
// never written through. With error, why a write failed is written there.
bool writeFile(const QString &path, const QByteArray &data, QString *error = nullptr);
bool removeFile(const QString &path);

// The name without its last dot-suffix; the last dot anywhere in the string counts.
QString baseName(const QString &filename);
// The last component of the path; empty when it ends with a separator.
QString fileName(const QString &filePath);
// Below, equal to or above 0 as a comes before, with or after b in the order people
// expect of names: "img2" before "img10", "img007" with "img7", letters without regard
// to case. Names equal in that order go by plain comparison.
int naturalCompare(QStringView a, QStringView b);
// The indices of names in that order; equal names keep theirs.
QVector<int> naturalOrder(const QVector<QStringView> &names);

} // namespace FileIo

#endif
