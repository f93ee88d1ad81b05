// karuvo-cli: builds a glyph sheet from the command line.
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "cli/arguments.h"
#include "cli/run.h"
#include "project/text_input.h"
#include "platform/error.h"
#include "platform/file_output.h"
#include "platform/image.h"

namespace {

// Qt's own chatter (runtime folders, font lookups) would break the rule that every
// line on standard error is the program's; only its fatal messages get through.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || type == QtCriticalMsg)
        std::fprintf(stderr, "karuvo-cli: %s\n", message.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    // A sheet is drawn band by band into buffers of a few MiB each: the next band takes
    // the pages of the one before.
    karuvo::keepFreedPicturesForReuse();
    // A run cut short by Ctrl+C, kill or a closed terminal leaves the outputs as they were.
    karuvo::undoWritesOnSignals();
    // Fonts need a GUI application, but not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(qtMessages);

    QTextStream out(stdout);
    QTextStream err(stderr);
    // The arguments are read here, not by Qt: the application object would take
    // options such as "-reverse" out of them, even as the value of -t.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        try {
            // A file name is an argument too, and the remedy for it is not in its contents.
            args << karuvo::decodeUtf8(QByteArray(argv[i]), QStringLiteral("argument %1").arg(i),
                                            QStringLiteral("give every argument in UTF-8, and rename a file whose "
                                                           "name is not UTF-8 (or link to it under a UTF-8 name)"));
        } catch (const karuvo::Error& e) {
            err << "karuvo-cli: " << e.what() << "\nkaruvo-cli: see karuvo-cli --help for the options\n";
            return karuvo::cli::kExitUsage;
        }
    }
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    return karuvo::cli::run(args, out, err);
}
