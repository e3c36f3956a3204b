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

#endif
