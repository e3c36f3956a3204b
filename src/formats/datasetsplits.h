#ifndef BOXMERE_DATASETSPLITS_H
#define BOXMERE_DATASETSPLITS_H

#include <QString>
#include <QVector>

// The splits of a data set folder in the Ultralytics layout, for tools without the
// window: "images/" with "labels/" (name ""), each pair "images/S" and "labels/S",
// and each "S/images" with "S/labels"; training splits first. A folder of none of
// these that holds label files is one split with the image folder beside it, and a
// folder of pictures is one split without labels.
class DatasetSplits
{
public:
    struct Split
    {
        QString name;
        QString images;
        QString labels;
    };

    static QVector<Split> find(const QString &folder);
    // The data set folder of a label folder: the one above "labels" or "labels/S".
    static QString datasetOf(const QString &labels);
};

#endif
