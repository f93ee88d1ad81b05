// The window program: starts straight into the one window, in Japanese, on the
// project file given as its argument if any.
#include <QApplication>

#include "dialogs/dialogs.h"
#include "platform/file_output.h"
#include "platform/image.h"
#include "window/form1.h"
#include "window/messages.h"

int main(int argc, char** argv) {
    // Every change of a setting builds the sheet again, layers and all.
    karuvo::keepFreedPicturesForReuse();
    // A save cut short by a signal leaves the files as they were.
    karuvo::undoWritesOnSignals();
    QApplication app(argc, argv);
    karuvo::window::installJapaneseTranslations(app);
    karuvo::dialogs::Module1 dialogs;
    karuvo::window::Form1 form(dialogs);
    form.show();
    // A project file named on the command line (as a file manager names it) is opened.
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) form.openProject(args.at(1));
    return app.exec();
}
