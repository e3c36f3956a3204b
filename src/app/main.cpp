#include "startup.h"

int main(int argc, char *argv[])
{
    return Boxmere::runApplication(argc, argv, QUrl(QStringLiteral("qrc:/main.qml"), QUrl::TolerantMode));
}
