#ifndef BOXMERE_CLASSFILE_H
#define BOXMERE_CLASSFILE_H

#include <QString>
#include <QStringList>
#include <QVector>

// The files in which YOLO data sets name their classes: "classes.txt" and "*.names"
// (one name per line, line i names class i), and YAML files such as "data.yaml" whose
// "names" is a list or a map from class number to name. Class files are only ever read.
namespace ClassFile {

struct ClassName
{
    int id = 0;
    QString name;
};

struct Classes
{
    QString path;             // the class file; empty when none was found
    QString error;            // why the file could not be read; empty when it was
    QVector<ClassName> names; // in ascending id order
    QStringList candidates;   // when none was taken: the YAML files that could each be it
};

// The class file that applies to a label folder: the first of "classes.txt", a
// "*.names" file, "data.yaml" and "dataset.yaml" in the folder itself, then in the
// folder above it, and for a split folder such as "labels/train" also in the data
// set's folder above "labels". Failing those, the one YAML file with "names" in the
// nearest of these folders; when that folder holds several, none is taken (which one
// is meant cannot be told) and they go to candidates. Empty when there is none.
QString find(const QString &labelDir, QStringList *candidates = nullptr);

// Reads and parses one class file; the kind follows from its name.
Classes read(const QString &path);

// Parses the text of a one-name-per-line file. False, with error set, for text that
// is not UTF-8 or holds no name.
bool parseLines(const QByteArray &bytes, QVector<ClassName> &names, QString &error);
// Parses a YAML document's "names". False, with error set, when it does not parse or
// has no usable "names".
bool parseYaml(const QByteArray &bytes, QVector<ClassName> &names, QString &error);

} // namespace ClassFile

#endif
