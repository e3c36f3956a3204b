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
};

inline bool operator==(const BoxInfo &a, const BoxInfo &b)
{
    return a.catId == b.catId && a.cx == b.cx && a.cy == b.cy && a.cw == b.cw && a.ch == b.ch;
}

#endif
