#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace lumaro {

// What the command line asks for. A plain start has no command line to read;
// one with arguments asks for a picture to open once the window is up, or
// for an answer without a window.
struct CommandLine
{
    enum class Ask { Window, Help, Version, Unknown };
    Ask ask = Ask::Window;
    QString picture; // the file to open; empty for none
    QString unknown; // the option not understood
};

// Reads the arguments after the program's name. -h/--help and -v/--version
// win wherever they stand; otherwise the first file counts and the rest are
// ignored. After "--" everything is a file. A file: URL names a local file.
CommandLine readCommandLine(const QStringList &arguments);

// Answers help and version on `out` (status 0) and an unknown option on `err`
// (status 2), in Chinese and English.
int answerCommandLine(const CommandLine &line, QTextStream &out, QTextStream &err);

} // namespace lumaro
