#include "window/CommandLine.h"

#include <QTextStream>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace lumaro {

CommandLine readCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool filesOnly = false;
    for (const QString &argument : arguments) {
        const bool option = !filesOnly && argument.size() > 1 && argument.startsWith(u'-');
        if (!option) {
            if (line.picture.isEmpty())
                line.picture = argument.startsWith(u"file:"_s) ? QUrl(argument).toLocalFile() : argument;
        } else if (argument == u"--"_s) {
            filesOnly = true;
        } else if (argument == u"-h"_s || argument == u"--help"_s) {
            return { CommandLine::Ask::Help, {}, {} };
        } else if (argument == u"-v"_s || argument == u"--version"_s) {
            return { CommandLine::Ask::Version, {}, {} };
        } else if (line.unknown.isEmpty()) {
            line.unknown = argument;
        }
    }
    if (!line.unknown.isEmpty())
        return { CommandLine::Ask::Unknown, {}, line.unknown };
    return line;
}

int answerCommandLine(const CommandLine &line, QTextStream &out, QTextStream &err)
{
    switch (line.ask) {
    case CommandLine::Ask::Help:
        out << u"用法：lumaro [图片文件]\n"
               "打开 Lumaro 图片配字窗口。给出图片文件时，窗口出现后就打开这张图片，\n"
               "和“文件 → 打开”一样；只用第一个文件。\n"
               "\n"
               "  -h, --help      显示这段说明\n"
               "  -v, --version   显示版本\n"
               "\n"
               "Usage: lumaro [PICTURE]\n"
               "Opens the Lumaro window, for putting a caption on a picture. Given a picture\n"
               "file, it opens that picture once the window is up, as File > Open (打开)\n"
               "does; only the first file counts.\n"
               "\n"
               "  -h, --help      show this help\n"
               "  -v, --version   show the version\n"_s;
        break;
    case CommandLine::Ask::Version:
        out << u"Lumaro " LUMARO_VERSION "\n"
               "图片配字工具 / picture captioning\n"_s;
        break;
    case CommandLine::Ask::Unknown:
        err << u"lumaro：不认识选项“%1”。用 lumaro --help 查看用法。\n"
               "lumaro: unknown option '%1'. See lumaro --help.\n"_s.arg(line.unknown);
        return 2;
    case CommandLine::Ask::Window:
        break;
    }
    return 0;
}

} // namespace lumaro
