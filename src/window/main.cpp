// The window program: starts straight into the one window.
#include <QApplication>

#include "dialogs/dialogs.h"
#include "window/form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    karuvo::dialogs::Module1 dialogs;
    karuvo::window::Form1 form(dialogs);
    form.show();
    return app.exec();
}
