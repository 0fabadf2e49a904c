#include <QApplication>
#include <cstdlib>

#include "launcher/controls/window_icon.h"
#include "launcher/main_window.h"
#include "launcher/site_server.h"

int main(int argc, char** argv) {
    // The server object outlives the window: the exit hook destroys it after the window has
    // closed, which also closes a running site without a separate stop.
    create_site_server();
    std::atexit(release_site_server);

    // The launcher takes no command line; Qt gets only the program's name.
    int qt_argc = argc > 0 ? 1 : 0;
    QApplication app(qt_argc, argv);
    QApplication::setWindowIcon(site_icon());

    MainWindow window;
    window.show();
    app.exec();
    return 0;
}
