#pragma once

#include <QStringList>
#include <QVariantMap>

// What the command line asks for: configuration overrides, or an exit code when the program
// must stop at once (help, version, a parse error).
struct CommandLine
{
    QVariantMap overrides;
    int exitCode = -1; // -1: go on
};

// Parses the given arguments (the first is the program), printing the help text, the version or
// the error as the options ask; never exits.
CommandLine parseCLIArgs(const QStringList &arguments);

// Parses QCoreApplication::arguments() and returns the configuration overrides; exits the process
// for --help and --version (code 0) and for a parse error (code 1).
QVariantMap parseCLIArgs();
