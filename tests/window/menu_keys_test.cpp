// The menu from the keyboard, the window program's own options, and what 保存 says and
// refuses.
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

TEST_F(MenuKeys, SaveSaysWhatItWroteAndRefusesAFieldAsABitmap) {
    openProject(R"({"sheet": "f.png", "distanceRange": 4})");
    dialogs.saveNames.push_back({path("f.bmp"), dialogs::SheetFileType::Bitmap});
    form->Command3[1]->click();
    EXPECT_TRUE(said().contains(QStringLiteral("アルファチャンネル")));
    EXPECT_FALSE(QFile::exists(path("f.bmp")));
    dialogs.saveNames.push_back({path("f.png"), dialogs::SheetFileType::Png});
    form->Command3[1]->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
    EXPECT_TRUE(QImage(path("f.png")).hasAlphaChannel());
    EXPECT_EQ(form->statusText->toolTip().section(u'\n', 0, 0), QStringLiteral("シートを保存しました: ") + path("f.png"));
}

// The menu from the keyboard: Alt+F and F10 open ファイル; Ctrl+Q ends the program.
TEST_F(MenuKeys, TheMenuOpensFromTheKeyboard) {
    openProject(R"({"sheet": "out.png"})");
    auto* file = form->MenuBar->findChild<QMenu*>(QStringLiteral("mnuFile"));
    ASSERT_TRUE(file);
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
        EXPECT_EQ(p.exitCode(), r.exit) << r.args[0].toStdString();
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).startsWith(r.out)) << r.args[0].toStdString();
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(r.err)) << r.args[0].toStdString();
    }
}

// 保存 and 書き出し refuse what the command line refuses, naming the window's controls.
TEST_F(MenuKeys, SettingsThatExcludeEachOtherAreRefusedInTheWindowsWords) {
    openProject(R"({"sheet": "f.png", "distanceRange": 4})");
    const QByteArray project = fakes::readFile(path("p.karuvo"));
    form->Option2[1]->setChecked(true);
    form->mnuExport->trigger();
    form->mnuSave->trigger();
    const QString refused = QStringLiteral("距離フィールドと「影」は一緒に使えません: ");
    const QStringList messages = std::exchange(dialogs.messages, {});
    ASSERT_EQ(messages.size(), 2);
    for (const QString& message : messages) EXPECT_TRUE(message.startsWith(refused)) << message.toStdString();
    EXPECT_EQ(fakes::readFile(path("p.karuvo")), project);
    EXPECT_EQ(fakes::entries(dir.path()), QStringList{"p.karuvo"});
}

TEST_F(MenuKeys, ExportMakesTheFoldersItNeedsAndSaysSo) {
    openProject(R"({"sheet": "out/s.png"})");
    form->mnuExport->trigger();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
    EXPECT_TRUE(QFile::exists(path("out/s.png")));
    EXPECT_EQ(form->statusText->toolTip().section(u'\n', 1, 1), QStringLiteral("なかったフォルダーを作りました: ") + path("out"));
}

// Tab passes each option group as one stop, landing on its chosen option, both ways.
TEST_F(MenuKeys, TabLandsOnTheChosenOption) {
    openProject(R"({"sheet": "out.png"})");
    form->Option2[1]->setChecked(true);
    form->Command3[1]->setFocus();
    QStringList stops;
    for (const bool back : {false, false, false, true, true, true}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        stops << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(stops, (QStringList{"Option1(0)", "Option2(1)", "Text3(0)", "Option2(1)", "Option1(0)", "Command3(1)"}));
}
