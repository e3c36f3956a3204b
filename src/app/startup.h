#ifndef BOXMERE_STARTUP_H
#define BOXMERE_STARTUP_H

#include <QUrl>

class QQmlEngine;

namespace Boxmere {

// Sets the application and organisation names; call before the application object exists.
void setApplicationIdentity();

// Registers everything QML sees: the built-in resources, the singletons Utils,
// ImageList, DatasetLoader, ImageFilter and Conversion of the module Boxmere 1.0
// (created once per process) and the engine's thumbnail image provider. The app and
// the QML tests both call it.
void registerQmlTypes(QQmlEngine *engine);

// Starts the application with mainUrl as its main window and runs the event loop.
// Returns the loop's result, or -1 when the main window fails to load.
int runApplication(int &argc, char **argv, const QUrl &mainUrl);

} // namespace Boxmere

#endif
