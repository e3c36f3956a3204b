#include "app/identity.h"
#include "clicommands.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    Boxmere::setApplicationIdentity();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("boxmere-cli"));
    // The core library's debug lines (one per loaded image) are no output of the tool.
    QLoggingCategory::setFilterRules(QStringLiteral("boxmere.*.debug=false"));
    return CliCommands::run(app.arguments());
}
