// Prints every named control of the real window definition with its place in
// the client area, in pixels: "NAME X Y WIDTH HEIGHT" per line. The
// end-to-end tests find the controls on the screen by this, so the window's
// geometry is written down only in its definition.

#include "fakes.h"

#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_Use96Dpi);
    QApplication app(argc, argv);
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
