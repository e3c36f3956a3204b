#ifndef BOXMERE_PERCEPTUALHASH_H
#define BOXMERE_PERCEPTUALHASH_H

#include <QString>
#include <QtGlobal>

class QImage;

// A 64-bit fingerprint of a picture's look: the signs of the lowest 8 by 8 frequencies
// of its luminance at 32 by 32 pixels against their median. Rescaling, recompressing
// and light noise move few bits; different pictures differ in about half of them.
class PerceptualHash
{
public:
    static quint64 ofImage(const QImage &image);
    // Decodes the file as small as the hash allows (a JPEG at up to 1/8 of its size);
    // false when it cannot be decoded.
    static bool ofFile(const QString &path, quint64 &hash);
    // The number of bits in which two hashes differ.
    static int distance(quint64 a, quint64 b);
};

#endif
