#ifndef BOXMERE_PREDICTION_H
#define BOXMERE_PREDICTION_H

// One box a model predicted for an image: its class, its centre and size as
// fractions of the image size, as label boxes have them, and its confidence.
// A polygon prediction is held as its bounding box.
struct Prediction
{
    int catId = 0;
    double cx = 0.0;
    double cy = 0.0;
    double cw = 0.0;
    double ch = 0.0;
    double score = 1.0;
};

#endif
