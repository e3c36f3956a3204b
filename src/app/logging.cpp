#include "logging.h"

Q_LOGGING_CATEGORY(lcIo, "boxmere.io")
Q_LOGGING_CATEGORY(lcLoad, "boxmere.load")
Q_LOGGING_CATEGORY(lcCoco, "boxmere.coco")
Q_LOGGING_CATEGORY(lcConvert, "boxmere.convert")
