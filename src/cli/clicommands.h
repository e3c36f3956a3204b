#ifndef BOXMERE_CLICOMMANDS_H
#define BOXMERE_CLICOMMANDS_H

#include <QStringList>

// The commands of boxmere-cli. Each takes its arguments without the program name and
// the command name's own position (arguments[0] is the command), prints its result
// on standard output and returns the exit code: 0 done, 1 problems found (check
// only), 2 the command could not do its work.
namespace CliCommands {

constexpr int Ok = 0;
constexpr int ProblemsFound = 1;
constexpr int Failed = 2;

int check(const QStringList &arguments);
int stats(const QStringList &arguments);
int convert(const QStringList &arguments);
int compare(const QStringList &arguments);
int report(const QStringList &arguments);
int duplicates(const QStringList &arguments);

// Runs the command named in arguments[1] (arguments[0] is the program).
int run(const QStringList &arguments);

} // namespace CliCommands

#endif
