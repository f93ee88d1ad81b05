// The menu from the keyboard, the window program's own options, and what 保存 and 書き出し
// say and refuse.
#include <QApplication>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QWheelEvent>

#include "window/window_test.h"

using namespace karuvo;

namespace {

struct MenuKeys : fakes::WindowTest {
    // A project of two characters (or of the keys `keys`) and the outputs `output` names,
    // opened and active.
    void openProject(const char* output, const QByteArray& keys = R"("text": "AB")") {
        ASSERT_TRUE(fakes::writeFile(path("p.karuvo"), R"({"karuvo": 1, )" + keys + R"(, "output": )" + output + "}"));
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
        EXPECT_TRUE(message.startsWith(QStringLiteral("距離フィールドと「影」は一緒に使えません: ")) &&
                    message.endsWith(QStringLiteral("どちらかをやめてください。ファイルは書き込まれていません。"))) << message.toStdString();
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
// F10 open the menu, Tab passes an option group as one stop, Ctrl+Q ends the program.
TEST_F(MenuKeys, TheMenuOpensFromTheKeyboard) {
    ASSERT_EQ(form->MenuBar->actions().size(), 1);
    auto* file = form->MenuBar->actions()[0]->menu();
    QStringList items{file->title()};
    for (QAction* a : file->actions()) items << (a->isSeparator() ? QString() : a->text() + u' ' + a->shortcut().toString());
    EXPECT_EQ(items, (QStringList{"ファイル(&F)", "プロジェクトを開く… Ctrl+O", "プロジェクトを保存 Ctrl+S", "名前を付けてプロジェクトを保存… Ctrl+Shift+S",
                                  "出力設定… Ctrl+Shift+E", "書き出し Ctrl+E", "", "終了 Ctrl+Q"}));
    form->show();
    EXPECT_FALSE(form->pageText->isVisible() || form->cmdDetails->isVisible());  // nothing to name yet
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
    // Tab passes each option group as one stop, landing on its chosen option, both ways.
    form->Option2[1]->setChecked(true);
    form->Command3[1]->setFocus();
    QStringList stops;
    for (const bool back : {false, false, false, true, true, true}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        stops << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(stops, (QStringList{"Option1(0)", "Option2(1)", "Text3(0)", "Option2(1)", "Option1(0)", "Command3(1)"}));
    form->Text1->setFocus();  // Tab leaves the text box rather than typing a tab
    QTest::keyClick(form->Text1, Qt::Key_Tab);
    EXPECT_TRUE(QApplication::focusWidget() != form->Text1 && !form->Text1->toPlainText().contains(u'\t'));
    form->Option2[0]->setChecked(true);
    QTest::keyClick(form->Text1, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

// --help and --version answer without a display; any other option is refused, not opened.
TEST(WindowProgram, AnswersItsOwnOptions) {
    const struct { const char* arg; int exit; QString said; } runs[] = {
        {"--help", 0, QStringLiteral("使い方: karuvo [プロジェクト.karuvo]\n")}, {"--version", 0, QStringLiteral("karuvo ")},
        {"--bogus", 2, QStringLiteral("karuvo: 「--bogus」というオプションはありません。\n")}};
    for (const auto& r : runs) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));  // the window could not start: only an answer before it ends well
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), r.exit == 0 ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KARUVO_WINDOW_PATH), {r.arg});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput()), err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(p.exitCode() == r.exit && (r.exit ? err.contains(r.said) : out.startsWith(r.said))) << (out + err).toStdString();
    }
}

// A sheet the project splits previews a page at a time: PageDown and PageUp, or Shift and
// the wheel, turn the pages, and the status bar names the page.
TEST_F(MenuKeys, APagedSheetPreviewsPageByPage) {
    openProject(R"({"sheet": "p.bmp", "maxSize": 20})",
                R"("chars": "U+0041-U+004A", "columns": 2, "cell": {"width": 10, "height": 10})");
    form->Command3[0]->click();
    window::PictureBox* box = form->Picture1[0];
    // Five rows of 10 pixels, two to a page of at most 20 x 20: pages from rows 0, 2 and 4.
    // Each step: a key or a Shift + wheel step, then the page shown.
    const struct { Qt::Key key; int wheel, page; } steps[] = {{Qt::Key_unknown, 0, 1}, {Qt::Key_PageDown, 0, 2},
        {Qt::Key_unknown, -120, 3}, {Qt::Key_PageDown, 0, 3}, {Qt::Key_PageUp, 0, 2}, {Qt::Key_unknown, 120, 1},
        {Qt::Key_unknown, 120, 1}};
    for (const auto& step : steps) {
        if (step.key != Qt::Key_unknown) QTest::keyClick(box, step.key);
        QWheelEvent e(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, step.wheel), Qt::NoButton,
                      Qt::ShiftModifier, Qt::NoScrollPhase, false);
        if (step.wheel) QApplication::sendEvent(box->viewport(), &e);
        QApplication::processEvents();
        const int height = step.page < 3 ? 20 : 10;
        EXPECT_EQ(std::pair(form->pageText->text(), box->contentSize()),
                  std::pair(QStringLiteral("ページ %1 / 3").arg(step.page), QSize(24, height + 4)));
        EXPECT_EQ(box->viewport()->grab(QRect(0, 0, 20, height)).toImage().convertToFormat(QImage::Format_RGB32),
                  box->picture().qimage().copy(0, 20 * (step.page - 1), 20, height).convertToFormat(QImage::Format_RGB32));
    }
    // Two pages are pages too.
    openProject(R"({"sheet": "p.bmp", "maxSize": 20})", R"("chars": "U+0041-U+0046", "columns": 2, "cell": {"width": 10, "height": 10})");
    form->Command3[0]->click();
    EXPECT_EQ(std::pair(form->pageText->isVisible(), form->pageText->text()), std::pair(true, QStringLiteral("ページ 1 / 2")));
    // A project without pages previews whole again, and the wheel alone scrolls it.
    openProject(R"({"sheet": "p.bmp"})", R"("chars": "U+0041-U+004A", "columns": 1, "cell": {"width": 10, "height": 200})");
    form->Command3[0]->click();
    QWheelEvent down(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(box->viewport(), &down);
    EXPECT_EQ(std::tuple(form->pageText->isVisible(), box->contentSize(), box->verticalScrollBar()->value() > 0),
              std::tuple(false, QSize(14, 2004), true));
    // A page turned shows its top, however far down the page before was scrolled.
    openProject(R"({"sheet": "p.bmp", "maxSize": 1200})", R"("chars": "U+0041-U+004A", "columns": 1, "cell": {"width": 10, "height": 400})");
    form->Command3[0]->click();
    QApplication::sendEvent(box->viewport(), &down);
    ASSERT_GT(box->verticalScrollBar()->value(), 0);
    QTest::keyClick(box, Qt::Key_PageDown);
    EXPECT_EQ(std::pair(form->pageText->text(), box->verticalScrollBar()->value()), std::pair(QStringLiteral("ページ 2 / 4"), 0));
}

// 詳細 lists every character the face lacks, a line each, where the bar names three.
TEST_F(MenuKeys, DetailsListEveryCharacterTheFaceLacks) {
    const char32_t lacked[] = {U'字', U'か', U'カ', U'漢', U'\u0938'};
    QString text = QStringLiteral("A");
    for (const char32_t c : lacked) text += QString::fromUcs4(&c, 1);
    openProject(R"({"sheet": "s.png"})", R"("text": ")" + text.toUtf8() + R"(", "font": {"family": "DejaVu Sans"})");
    form->Command3[0]->click();
    ASSERT_TRUE(form->cmdDetails->isVisible());
    form->cmdDetails->click();
    const QStringList lines = dialogs.lists.value(0).split(u'\n');
    ASSERT_EQ(std::tuple(dialogs.lists.size(), lines.value(0), lines.size()), std::tuple(qsizetype(1), QStringLiteral("フォントにない文字"), qsizetype(6)));
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("U+%1 ").arg(uint(lacked[i]), 4, 16, QChar(u'0')).toUpper() + QString::fromUcs4(&lacked[i], 1);
        const QString end = i < 4 ? QStringLiteral(" で描画）") : QStringLiteral("（どのフォントにもなく欠字の箱）");
        EXPECT_TRUE(lines[i + 1].startsWith(name + u'（') && lines[i + 1].endsWith(end)) << lines[i + 1].toStdString();
    }
    form->Text1->setPlainText(QStringLiteral("AB"));
    form->Command3[0]->click();
    EXPECT_FALSE(form->cmdDetails->isVisible());
}

// A project whose font is not installed opens, saying so and naming the face drawn in.
TEST_F(MenuKeys, AProjectFontNotInstalledIsNamedWhenItOpens) {
    openProject(R"({"sheet": "s.png"})", R"("text": "A", "font": {"family": "Karuvo No Such Family"})");
    EXPECT_EQ(form->projectPath(), path("p.karuvo"));
    EXPECT_EQ(said(), QStringLiteral("プロジェクトのフォント「Karuvo No Such Family」はインストールされていないため、代わりに「") +
                          form->Label1[0]->text() + QStringLiteral("」で描きます。フォントをインストールするか、フォント選択で別のフォントを選んでください。"));
    EXPECT_FALSE(form->Label1[0]->text().isEmpty());
}

// A field previews as an engine draws it through the smooth step, here at 8x against the
// glyph's own outline drawn at 8x by a plain painter; F shows the field itself.
TEST_F(MenuKeys, AFieldPreviewsAsAnEngineDrawsIt) {
    openProject(R"({"sheet": "f.png", "distanceRange": 4})",
                R"("text": "E", "font": {"family": "DejaVu Sans", "size": 32}, "cell": {"width": 40, "height": 40})");
    form->Command3[0]->click();
    window::PictureBox* box = form->Picture1[0];
    box->setZoom(8);
    const QImage shown = box->viewport()->grab(QRect(0, 0, 320, 320)).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(320, 320));
    QImage outline(320, 320, QImage::Format_RGB32);
    outline.fill(Qt::black);
    {
        const QFont font = fakes::plainFace(QStringLiteral("DejaVu Sans"), 32);
        const QFontMetrics m(font);
        QPainter p(&outline);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(8, 8);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QPointF((40 - m.horizontalAdvance('E')) / 2, (40 - m.height()) / 2 + m.ascent()), QStringLiteral("E"));
    }
    // Every pixel where the two disagree about ink lies within two screen pixels (a quarter
    // of a sheet pixel, what a field of range 4 rounds off a right angle) of the outline's edge.
    const auto ink = [](const QImage& image, int x, int y) { return qGreen(image.pixel(x, y)) >= 128; };
    int far = 0;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 320; ++x) {
            bool near = ink(shown, x, y) == ink(outline, x, y);
            for (int dy = -2; dy <= 2 && !near; ++dy)
                for (int dx = -2; dx <= 2 && !near; ++dx)
                    near = QRect(0, 0, 320, 320).contains(x + dx, y + dy) && ink(outline, x + dx, y + dy) == ink(shown, x, y);
            far += !near;
        }
    EXPECT_EQ(far, 0);
    // F: the field itself, each sheet pixel a square of its colour.
    QTest::keyClick(box, Qt::Key_F);
    const QImage raw = box->viewport()->grab(QRect(0, 0, 320, 320)).toImage().convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) wrong += raw.pixel(8 * x + 4, 8 * y + 4) != (box->picture().pixel(x, y) | 0xFF000000u);
    EXPECT_EQ(wrong, 0);
}
