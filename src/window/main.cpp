// The window program: starts straight into the one window, in Japanese, on the
// project file given as its argument if any.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "dialogs/dialogs.h"
#include "platform/file_output.h"
#include "platform/image.h"
#include "window/form1.h"
#include "window/messages.h"

#ifndef KARUVO_VERSION
#define KARUVO_VERSION "0.0.0"
#endif

namespace {

const char kUsage[] =
    "使い方: karuvo [プロジェクト.karuvo]\n"
    "グリフシートを作るウィンドウを開きます。プロジェクトのファイルを渡すと、それを開いた状態で始まります。\n"
    "  --help     この説明を表示して終了します\n"
    "  --version  バージョンを表示して終了します\n"
    "コマンドラインで作るには karuvo-cli --help を見てください。\n";

// Answers --help and --version before any window exists. The exit status, or -1 to go on.
int answerHelp(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("karuvo " KARUVO_VERSION "\n", stdout);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = answerHelp(argc, argv); status >= 0) return status;
    // Every change of a setting builds the sheet again, layers and all.
    karuvo::keepFreedPicturesForReuse();
    // A save cut short by a signal leaves the files as they were.
    karuvo::undoWritesOnSignals();
    QApplication app(argc, argv);
    // Qt has taken its own options by now; any other option is refused rather than opened
    // as a project. "--" lets a project's name start with a dash.
    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (!args.isEmpty() && args.first() != QStringLiteral("--") && args.first().startsWith(u'-')) {
        std::fprintf(stderr, "karuvo: 「%s」というオプションはありません。\n%s", args.first().toUtf8().constData(), kUsage);
        return 2;
    }
    if (!args.isEmpty() && args.first() == QStringLiteral("--")) args.removeFirst();
    karuvo::window::installJapaneseTranslations(app);
    karuvo::dialogs::Module1 dialogs;
    karuvo::window::Form1 form(dialogs);
    form.show();
    // A project file named on the command line (as a file manager names it) is opened.
    if (!args.isEmpty()) form.openProject(args.first());
    return app.exec();
}
