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
// the error as the options ask; never exits. The toolkit's own options (-platform and the like,
// which QGuiApplication takes for itself) are passed over.
CommandLine parseCLIArgs(const QStringList &arguments);

// Parses main's arguments and returns the configuration overrides; exits the process for --help
// and --version (code 0) and for a parse error (code 1). Needs no application object, so that
// these work without a display; the application name and version must be set first.
QVariantMap parseCLIArgs(int argc, char *argv[]);
