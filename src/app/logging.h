#ifndef BOXMERE_LOGGING_H
#define BOXMERE_LOGGING_H

#include <QLoggingCategory>

// The categories of the debug log, so that a user can silence a part of it with
// QT_LOGGING_RULES, e.g. "boxmere.io.debug=false" for the per-image path lines.
Q_DECLARE_LOGGING_CATEGORY(lcIo)      // "boxmere.io": files read and saved, one line per image
Q_DECLARE_LOGGING_CATEGORY(lcLoad)    // "boxmere.load": what a load brought into the list
Q_DECLARE_LOGGING_CATEGORY(lcCoco)    // "boxmere.coco": COCO files read and their parser's results
Q_DECLARE_LOGGING_CATEGORY(lcConvert) // "boxmere.convert": conversions that failed or were refused

#endif
