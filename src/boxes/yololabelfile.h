#ifndef BOXMERE_YOLOLABELFILE_H
#define BOXMERE_YOLOLABELFILE_H

#include <QByteArray>
#include <QVector>

#include <memory>

struct BoxInfo;
struct Prediction;

// The YOLO label text layout: one line "class cx cy w h" per box, or
// "class x1 y1 x2 y2 ... xn yn" per polygon of three corners or more (four for an
// oriented box); fields split by single spaces, lines by a line feed, numbers in
// the C locale with six significant digits.
namespace YoloLabelFile {

// A line the reader did not take over whole: its number from 1, the box row it
// gave, or -1 for a line too short to give a box, and why.
struct PartialLine
{
    enum Fault
    {
        TooFewFields,
        ExtraFields,
        NotANumber
    };
    int line = 0;
    int box = -1;
    Fault fault = TooFewFields;
};

struct ReadResult
{
    QVector<std::shared_ptr<BoxInfo>> boxes;
    // False when some line was not taken over whole: a non-empty line of fewer than
    // five fields, an odd number of coordinates past the fourth, or a field that is
    // not a number of its kind. Writing such a list back would lose what the file held.
    bool whole = true;
    QVector<PartialLine> partial; // the lines that made whole false
    bool unreadable = false;      // the file exists but could not be read; whole is false then
    // The text read, when whole is false: a save writes back what was not taken from it.
    QByteArray text;
};

ReadResult parse(const QByteArray &bytes);

// A detector's prediction file: "class cx cy w h [conf]", or a polygon with a
// confidence after its corners, "class x1 y1 ... xn yn [conf]", held as its bounding
// box. A line without a confidence counts as 1. Lines that are none of these are
// counted in badLines and left out.
QVector<Prediction> parsePredictions(const QByteArray &bytes, int *badLines = nullptr);
QByteArray format(const QVector<std::shared_ptr<BoxInfo>> &boxes);
// One box as a label line, without a line end.
void appendLine(QByteArray &out, const BoxInfo &box);

// A real number as the label format writes it (like QString::arg(double)).
void appendNumber(QByteArray &out, double value);

} // namespace YoloLabelFile

#endif
