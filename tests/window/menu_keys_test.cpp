// The menu from the keyboard, the window program's own options, and what 保存 and 書き出し
// say and refuse.
#include <QApplication>
#include <QProcess>

#include "window/window_test.h"

using namespace karuvo;

namespace {

struct MenuKeys : fakes::WindowTest {
    // A project of two characters and the outputs `output` names, opened and active.
    void openProject(const char* output) {
        ASSERT_TRUE(fakes::writeFile(path("p.karuvo"), QByteArray(R"({"karuvo": 1, "text": "AB", "output": )") + output + "}"));
        ASSERT_TRUE(form->openProject(path("p.karuvo")));
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
};

}  // namespace

// 保存 and 書き出し refuse what the command line refuses, naming the window's controls; 保存
// refuses a field as a bitmap and says what it wrote.
TEST_F(MenuKeys, RefusalsInTheWindowsWordsAndWhatSaveWrote) {
    openProject(R"({"sheet": "f.png", "distanceRange": 4})");
    const QByteArray project = fakes::readFile(path("p.karuvo"));
    form->Option2[1]->setChecked(true);
    form->mnuExport->trigger();
    form->mnuSave->trigger();
    const QStringList messages = std::exchange(dialogs.messages, {});
    ASSERT_EQ(messages.size(), 2);
    for (const QString& message : messages)
        EXPECT_TRUE(message.startsWith(QStringLiteral("距離フィールドと「影」は一緒に使えません: "))) << message.toStdString();
    EXPECT_EQ(std::pair(fakes::readFile(path("p.karuvo")), fakes::entries(dir.path())), std::pair(project, QStringList{"p.karuvo"}));
    form->Option2[0]->setChecked(true);
    dialogs.saveNames.push_back({path("f.bmp"), dialogs::SheetFileType::Bitmap});
    form->Command3[1]->click();
    EXPECT_TRUE(said().contains(QStringLiteral("アルファチャンネル")));
    EXPECT_FALSE(QFile::exists(path("f.bmp")));
    dialogs.saveNames.push_back({path("f.png"), dialogs::SheetFileType::Png});
    form->Command3[1]->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
    EXPECT_EQ(form->statusText->toolTip().section(u'\n', 0, 0), QStringLiteral("シートを保存しました: ") + path("f.png"));
}

// The ファイル menu's items and keys: Ctrl+S without a project asks for a name, Alt+F and
// F10 open the menu, Ctrl+Q ends the program.
TEST_F(MenuKeys, TheMenuOpensFromTheKeyboard) {
    ASSERT_EQ(form->MenuBar->actions().size(), 1);
    auto* file = form->MenuBar->actions()[0]->menu();
    QStringList items{file->title()};
    for (QAction* a : file->actions()) items << (a->isSeparator() ? QString() : a->text() + u' ' + a->shortcut().toString());
    EXPECT_EQ(items, (QStringList{"ファイル(&F)", "プロジェクトを開く… Ctrl+O", "プロジェクトを保存 Ctrl+S", "名前を付けてプロジェクトを保存… Ctrl+Shift+S",
                                  "出力設定… Ctrl+Shift+E", "書き出し Ctrl+E", "", "終了 Ctrl+Q"}));
    form->show();
    QApplication::setActiveWindow(form.get());
    dialogs.projectSaveNames.push_back(QString());  // cancelled
    QTest::keyClick(form->Text1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.projectCalls == 1 && dialogs.projectSaveNames.empty());
    openProject(R"({"sheet": "out.png"})");
    for (const QKeyCombination keys : {QKeyCombination(Qt::AltModifier, Qt::Key_F), QKeyCombination(Qt::Key_F10)}) {
        form->Text1->setFocus();
        QTest::keyClick(form->Text1, keys.key(), keys.keyboardModifiers());
        EXPECT_TRUE(file->isVisible() || form->MenuBar->activeAction() == file->menuAction()) << keys.toCombined();
        file->hide();
        form->MenuBar->setActiveAction(nullptr);
    }
    QTest::keyClick(form->Text1, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

// --help and --version answer without a display; any other option is refused, not opened.
TEST(WindowProgram, AnswersItsOwnOptions) {
    const struct { QStringList args; int exit; QString out, err; } runs[] = {
        {{"--help"}, 0, QStringLiteral("使い方: karuvo [プロジェクト.karuvo]\n"), {}},
        {{"--version"}, 0, QStringLiteral("karuvo "), {}},
        {{"--bogus"}, 2, {}, QStringLiteral("karuvo: 「--bogus」というオプションはありません。\n")}};
    for (const auto& r : runs) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        // No display: the window could not start, so only an answer before it ends well.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), r.exit == 0 ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KARUVO_WINDOW_PATH), r.args);
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput()), err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(p.exitCode() == r.exit && out.startsWith(r.out) && err.contains(r.err)) << (r.args[0] + u'\n' + out + err).toStdString();
    }
}
