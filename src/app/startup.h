#ifndef BOXMERE_STARTUP_H
#define BOXMERE_STARTUP_H

#include "app/identity.h"

#include <QUrl>

class QQmlEngine;

namespace Boxmere {

// Registers everything QML sees for the QML tests: the built-in resources, the
// process's objects (see AppObjects), made once per process and kept until it ends,
// and the engine's thumbnail image provider.
void registerQmlTypes(QQmlEngine *engine);

// Starts the application with mainUrl as its main window and runs the event loop.
// Returns the loop's result, or -1 when the main window fails to load.
int runApplication(int &argc, char **argv, const QUrl &mainUrl);

} // namespace Boxmere

#endif
