// Runs the application's start-up with the main window given as the first argument.
#include "app/startup.h"

#include <QString>

#include <vector>

int main(int argc, char *argv[])
{
    const QUrl mainUrl = argc > 1 ? QUrl::fromUserInput(QString::fromLocal8Bit(argv[1])) : QUrl();
    // The rest is the application's own command line.
    std::vector<char *> args(argv, argv + argc);
    if (argc > 1)
        args.erase(args.begin() + 1);
    int count = int(args.size());
    args.push_back(nullptr);
    return Boxmere::runApplication(count, args.data(), mainUrl);
}
