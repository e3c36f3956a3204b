#ifndef BOXMERE_TESTS_TESTDATA_H
#define BOXMERE_TESTS_TESTDATA_H

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// File operations for the QML tests, which cannot touch files themselves.
class TestData : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

public Q_SLOTS:
    // A temporary folder with "images" holding real photos (a.jpg, b.jpg, c.jpg) and
    // "labels" holding a.txt, b.txt, c.txt and d.txt (whose image does not exist).
    // Returns the folder, or an empty string when the photos are not installed.
    QString makeFolderPair();
    // A data set folder with "data.yaml" (classes person and car) and the splits
    // "train" (a.jpg, b.jpg cut off after half its bytes, c.png, e.jpg, labels a to d:
    // d without a picture, e.jpg without a label) and "val" (v.jpg and its label).
    // Empty without the photos.
    QString makeDataset();
    QString readFile(const QString &path) const;
    bool writeFile(const QString &path, const QString &text) const;
    bool exists(const QString &path) const;
    // Removes a file or a whole folder.
    bool remove(const QString &path) const;

private:
    std::vector<std::unique_ptr<QTemporaryDir>> m_dirs;
};

#endif
