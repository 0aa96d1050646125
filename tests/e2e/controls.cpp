// Prints every named control of the real window definition with its place in
// the client area, in pixels: "NAME X Y WIDTH HEIGHT" per line. The
// end-to-end tests find the controls on the screen by this, so the window's
// geometry is written down only in its definition.
//   e2e_controls darken IN.png OUT.png   writes IN as QPainter darkens it
//   under the selector: black at 100 of 255 over every pixel.

#include "fakes.h"

#include <QPainter>
#include <QTextStream>

#include <cstring>

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_Use96Dpi);
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "darken") == 0) {
        QImage image(QString::fromLocal8Bit(argv[2]));
        if (image.isNull())
            return 1;
        image = image.convertToFormat(QImage::Format_RGB32);
        QPainter(&image).fillRect(image.rect(), QColor(0, 0, 0, 100));
        return image.save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }
    Fakes fakes;
    Form1 form(fakes.refs());
    form.show(); // lays out the client area under the menu bar
    QApplication::processEvents();
    QWidget *client = form.centralWidget();
    QTextStream out(stdout);
    // The client area itself, below the menu bar.
    out << "client 0 0 " << client->width() << ' ' << client->height() << '\n';
    for (QWidget *w : client->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty())
            continue;
        const QPoint at = w->mapTo(client, QPoint(0, 0));
        out << w->objectName() << ' ' << at.x() << ' ' << at.y() << ' ' << w->width() << ' ' << w->height() << '\n';
    }
    return 0;
}
