// Runs the application's start-up with the main window given as the first argument.
#include "app/startup.h"

#include <QString>

int main(int argc, char *argv[])
{
    const QUrl mainUrl = argc > 1 ? QUrl::fromUserInput(QString::fromLocal8Bit(argv[1])) : QUrl();
    return Boxmere::runApplication(argc, argv, mainUrl);
}
