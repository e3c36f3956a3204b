#ifndef BOXMERE_BOXINFO_H
#define BOXMERE_BOXINFO_H

// One labelled box: its class and its centre and size as fractions of the image size.
struct BoxInfo
{
    int catId = 0;
    double cx = 0.0;
    double cy = 0.0;
    double cw = 0.0;
    double ch = 0.0;
    // The label-file line the box was read from, counted from 1; 0 for a box made
    // since. Edits keep it, so that a save writes the box back in its place.
    int line = 0;
};

// Equal values; the line a box came from does not count.
inline bool operator==(const BoxInfo &a, const BoxInfo &b)
{
    return a.catId == b.catId && a.cx == b.cx && a.cy == b.cy && a.cw == b.cw && a.ch == b.ch;
}

#endif
