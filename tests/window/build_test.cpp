#include <QFontDatabase>
#include <QApplication>
#include <QImageReader>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "platform/image_io.h"
#include "window/window_test.h"

using namespace karuvo;
using karuvo::fakes::isJapanese;
using karuvo::window::TextBox;

namespace {

// Three columns and two rows of 16 x 20 cells, typed as an input method types them: a 48 x 40 sheet.
struct BuildTest : fakes::WindowTest {
    const std::pair<QString, QString> idle{QStringLiteral("プレビュー"), QStringLiteral("保存")};
    void SetUp() override {
        chooseMono(14);
        form->Text1->setPlainText(QStringLiteral("AB\nCDE"));
        form->Text2[0]->setText(QStringLiteral("１６"));
        form->Text2[1]->setText(QStringLiteral("２０"));
        form->show();
    }
    std::pair<QString, QString> captions() const { return {form->Command3[0]->text(), form->Command3[1]->text()}; }
};

}  // namespace

// A name ending .png or .bmp keeps its format; any other takes the chosen type's suffix
// and format. The format is told by the file's own signature; a bitmap holds exactly the sheet.
TEST_F(BuildTest, TheChosenFileTypeGivesTheFormatUnlessTheNameEndsInOne) {
    form->Label2[4]->setText(QStringLiteral("FF"));
    const auto png = dialogs::SheetFileType::Png, bmp = dialogs::SheetFileType::Bitmap;
    const struct { const char* typed; dialogs::SheetFileType type; const char* written; } rows[] = {
        {"sheet", png, "sheet.png"}, {"sheet", bmp, "sheet.bmp"}, {"photo.jpg", png, "photo.jpg.png"},
        {"keep.PNG", bmp, "keep.PNG"}, {"keep.bmp", png, "keep.bmp"}, {"dot.", png, "dot.png"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        const QString written = QString::fromLatin1(row.written);
        dialogs.saveNames.push_back({path(QString::fromLatin1(row.typed)), row.type});
        form->Command3[1]->click();
        EXPECT_EQ(entries(), QStringList{written}) << dialogs.messages.join(u' ').toStdString();
        const bool bmp = written.endsWith(".bmp");
        EXPECT_TRUE(fakes::readFile(path(written)).startsWith(bmp ? "BM" : "\x89PNG") &&
                    (!bmp || Image::fromQImage(QImage(path(written))) == form->Picture1[0]->picture()));
        QFile::remove(path(written));
    }
    int red = 0;  // the fill was drawn, so the comparison means something
    for (int i = 0; i < 48 * 40; ++i) red += (form->Picture1[0]->picture().pixel(i % 48, i / 48) & 0xffffffu) == 0xff0000u;
    EXPECT_GT(red, 0);
}

// A build or save refused says why in one Japanese message naming the values and files
// (for a texture that is no picture, every format that can be read instead), leaves the
// cell boxes, the captions and the files as they were, and shows nothing; a later text
// builds at once.
TEST_F(BuildTest, RefusedBuildsAndSavesSayWhyInOneJapaneseMessageAndChangeNothing) {
    const QString plain = path("plain"), texture = path("brick.bmp"), notes = path("notes.png"), missing = path("none.bmp");
    const QByteArray bytes = encodeBmp24(fakes::patterned(4, 4), 4, 4);
    ASSERT_TRUE(fakes::writeFile(plain, "not a folder") && QDir().mkdir(path("taken.bmp")) && fakes::writeFile(texture, bytes) &&
                fakes::writeFile(notes, "just some words, no picture") &&
                QFile::copy("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", path("face.bmp")) &&
                QFontDatabase::addApplicationFont(path("face.bmp")) >= 0);
    const QStringList files = entries();
    QStringList formats;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) formats << QString::fromLatin1(format);
    std::sort(formats.begin(), formats.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    // The cell boxes, the text, the texture, the button (1: 保存, to the file named), and
    // the values the message names, which are left out when telling that it is Japanese.
    struct Row { QString width, height, text, texture; int button; QString target; QStringList names; };
    std::vector<Row> rows = {{"-5", "20", "AB", "", 0, "", {"-5 × 20", "１文字当たりのサイズ"}},
                             {"0", "20", "AB", "", 1, "", {"0 × 20", "１文字当たりのサイズ"}},
                             {"16", "20", "AB", missing, 0, "", {missing}}, {"16", "20", "AB", notes, 0, "", QStringList{notes} + formats},
                             {"16", "20", "AB", "", 1, plain + "/sheet.bmp", {plain + "/sheet.bmp"}},
                             {"16", "20", "AB", "", 1, path("taken.bmp"), {path("taken.bmp")}},
                             {"16", "20", "AB", texture, 1, texture, {texture}},
                             {"16", "20", "AB", "", 1, path("face.bmp"), {path("face.bmp")}}};  // a file of the font's family
    for (const QString& cell : {QStringLiteral("16"), QString()})  // an empty text, also on a fresh start
        for (const char* text : {"", "\n\r\n"})
            for (int button : {0, 1}) rows.push_back({cell, cell, text, "", button, "", {}});
    for (const Row& row : rows) {
        SCOPED_TRACE(QStringList({row.text, row.width, row.texture, row.target, QString::number(row.button)}).join(u'|').toStdString());
        form->Text2[0]->setText(row.width);
        form->Text2[1]->setText(row.height);
        form->Text1->setPlainText(row.text);
        form->Option1[row.texture.isEmpty() ? 0 : 1]->setChecked(true);
        form->Label2[5]->setText(row.texture);
        if (!row.target.isEmpty()) dialogs.saveNames.push_back({row.target});
        form->Command3[row.button]->click();
        QString says = said();
        for (const QString& name : row.names) {  // a longer format name is taken out before any it holds
            EXPECT_TRUE(says.contains(name)) << says.toStdString() << " without " << name.toStdString();
            says.remove(name);
        }
        EXPECT_TRUE(isJapanese(says.remove(plain))) << says.toStdString();
        EXPECT_EQ(std::tuple(cells(), captions(), entries(), fakes::readFile(texture), form->Picture1[0]->isHidden()),
                  std::tuple(std::pair(row.width, row.height), idle, files, bytes, true));
    }
    EXPECT_EQ(std::pair(dialogs.saveCalls, dialogs.saveNames.empty()), std::pair(4, true));
    form->Option1[0]->setChecked(true);
    form->Text1->setPlainText(QStringLiteral("AB"));
    form->Command3[0]->click();
    EXPECT_TRUE(dialogs.messages.isEmpty() && form->Picture1[0]->isVisible()) << dialogs.messages.join(u'\n').toStdString();
    const QFontMetrics m(fakes::plainFace(QStringLiteral("DejaVu Sans Mono"), 14));  // measured apart from the program
    EXPECT_EQ(QSize(form->Picture1[0]->picture().width(), form->Picture1[0]->picture().height()),
              QSize(2 * m.horizontalAdvance(u'A'), m.height()));
}

// A sheet too large for the window scrolls to its last pixel; Ctrl + plus and Ctrl + wheel
// magnify it up to 8 times, each sheet pixel a square, keeping the sheet pixel under the
// view's centre; Escape hides it.
TEST_F(BuildTest, ASheetLargerThanTheWindowScrollsToItsLastPixelZoomsAndEscapeHidesIt) {
    QString text;  // 60 x 40 kanji in 32 x 32 cells: 1920 x 1280
    for (int i = 0; i < 60 * 40; ++i) text += (i % 60 || !i ? QString() : QStringLiteral("\n")) + QChar(0x4E00 + i);
    form->Text1->setPlainText(text);
    for (TextBox* cell : form->Text2) cell->setText(QStringLiteral("32"));
    form->Label2[4]->setText(QStringLiteral("FF8040"));
    form->Command3[0]->click();
    window::PictureBox* box = form->Picture1[0];
    const Image& sheet = box->picture();
    QScrollBar *across = box->horizontalScrollBar(), *down = box->verticalScrollBar();
    ASSERT_EQ(std::tuple(sheet.width(), sheet.height(), box->geometry()), std::tuple(1920, 1280, QRect(0, 0, 408, 366)));
    ASSERT_TRUE(box->isVisible() && across->isVisible() && down->isVisible());
    form->resize(form->size() + QSize(40, 30));  // the preview and the menu bar follow the window
    EXPECT_EQ(std::pair(box->geometry(), form->MenuBar->width()), std::pair(QRect(0, 0, 448, 396), form->width()));
    // How many pixels of the view on screen do not show their sheet pixel.
    const auto differing = [&] {
        QApplication::processEvents();
        const QPoint corner = box->viewport()->mapTo(form.get(), QPoint(0, 0));
        const QSize view = box->viewport()->size();
        const QImage screen = form->screen()->grabWindow(form->winId(), corner.x(), corner.y(), view.width(), view.height())
                                  .toImage().convertToFormat(QImage::Format_RGB32);
        int count = screen.size() == view ? 0 : -1;
        for (int y = 0; count >= 0 && y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x) {
                const int sx = (x + across->value()) / box->zoom(), sy = (y + down->value()) / box->zoom();
                count += sx < 1920 && sy < 1280 && (screen.pixel(x, y) & 0xFFFFFFu) != (sheet.pixel(sx, sy) & 0xFFFFFFu);
            }
        return count;
    };
    across->setValue(across->maximum());
    down->setValue(down->maximum());
    EXPECT_TRUE(across->value() + box->viewport()->width() >= 1920 && down->value() + box->viewport()->height() >= 1280);
    EXPECT_EQ(differing(), 0);

    across->setValue(700);
    down->setValue(500);
    const auto centre = [&] {
        const QSize view = box->viewport()->size();
        return QPointF((across->value() + view.width() / 2.0) / box->zoom(), (down->value() + view.height() / 2.0) / box->zoom());
    };
    QPointF before = centre();
    QTest::keyClick(box, Qt::Key_Plus, Qt::ControlModifier);
    for (int want : {2, 3, 4, 5, 6, 7, 8, 8}) {
        EXPECT_EQ(box->zoom(), want);
        EXPECT_LE((centre() - before).manhattanLength(), 1.0) << "at zoom " << box->zoom();
        before = centre();
        QWheelEvent wheel(QPointF(50, 50), box->viewport()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &wheel);
    }
    QTest::keyClick(box, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(box->zoom(), 7);
    box->setZoom(3);  // scrolled to an offset that splits sheet pixels
    across->setValue(1001);
    down->setValue(733);
    EXPECT_EQ(differing(), 0);
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(box->isHidden());
}

// Arrows select an option and open nothing. Any mouse button, or Space, on an option opens
// its dialog, selected or not; a cancel keeps the choice. Enter on a button presses it.
TEST_F(BuildTest, TheKeyboardAndTheMouseOnTheControls) {
    QApplication::setActiveWindow(form.get());
    for (QRadioButton* first : {form->Option2[0], form->Option1[0]}) {
        first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(first, Qt::Key_Down);
    }
    EXPECT_TRUE(form->Option2[1]->isChecked() && form->Option1[1]->isChecked() && dialogs.dialogCalls() == 1);  // the font choice only
    form->Option1[0]->setChecked(true);
    form->Option2[0]->setChecked(true);

    // Each press (Space where no button is named), then the option selected and what a read-out shows.
    dialogs.colours = {0x0000FF, 0xFFFFFF, std::nullopt, std::nullopt};
    dialogs.openNames = {QString(), QStringLiteral("/textures/brick.bmp"), QString()};
    const struct { QRadioButton* option; Qt::MouseButton button; Qt::KeyboardModifiers mods; QRadioButton* selected; QLabel* readout;
                   const char* shows; } steps[] = {
        {form->Option2[1], Qt::NoButton, {}, form->Option2[1], form->Label2[6], "FF"},
        {form->Option2[2], Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier, form->Option2[2], form->Label2[7], "FFFFFF"},
        {form->Option2[2], Qt::LeftButton, {}, form->Option2[2], form->Label2[7], "FFFFFF"},  // selected already: asks; the cancel keeps
        {form->Option1[1], Qt::LeftButton, {}, form->Option1[0], form->Label2[5], ""},  // no image yet: the cancel keeps the colour fill
        {form->Option1[1], Qt::RightButton, {}, form->Option1[1], form->Label2[5], "/textures/brick.bmp"},
        {form->Option1[0], Qt::LeftButton, {}, form->Option1[0], form->Label2[4], "FFFFFF"},
        {form->Option1[1], Qt::LeftButton, {}, form->Option1[1], form->Label2[5], "/textures/brick.bmp"}};  // the cancel keeps the image
    for (const auto& step : steps) {
        SCOPED_TRACE(step.option->objectName().toStdString());
        step.option->setFocus(Qt::TabFocusReason);
        if (step.button == Qt::NoButton) QTest::keyClick(step.option, Qt::Key_Space);
        else press(step.option, step.button, step.mods);
        EXPECT_EQ(std::pair(step.readout->text(), step.selected->isChecked()), std::pair(QString::fromLatin1(step.shows), true));
    }
    EXPECT_EQ(std::pair(dialogs.colourCalls, dialogs.openCalls), std::pair(4, 3));

    form->Option1[0]->setChecked(true);
    form->Option2[0]->setChecked(true);
    form->Text2[0]->clear();
    QTest::keyClick(form->Command2, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(form->Text2[0]->text().isEmpty());  // the cell was fitted
    QTest::keyClick(form->Command3[0], Qt::Key_Return);
    EXPECT_TRUE(form->Picture1[0]->isVisible() && dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();

    // A number box clicked into (which places a cursor) selects its whole text.
    for (TextBox* box : {form->Text2[0], form->Text2[1], form->Text3[0], form->Text3[1], form->Text3[2]}) {
        box->setText(QStringLiteral("12.5"));
        form->Command1->setFocus(Qt::OtherFocusReason);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(3, box->height() / 2));
        EXPECT_EQ(std::pair(box->hasFocus(), box->selectedText()), std::pair(true, QStringLiteral("12.5")));
    }
}

// The preview covers the corner while 作成中 shows on both buttons; a click hides it, and
// so does a cancelled save, which writes nothing. After a sheet of another size the box
// fits the new one: no bars over a sheet that fits, and room beside it for the one bar it needs.
TEST_F(BuildTest, ThePreviewCoversTheCornerAndFitsEachSheetWhateverTheSheetBefore) {
    std::pair<QString, QString> during;
    QTimer::singleShot(0, form.get(), [&] { during = captions(); });  // runs at the one yield before the build
    form->Command3[0]->click();
    EXPECT_EQ(std::pair(during, captions()), std::pair(std::pair(QStringLiteral("作成中"), QStringLiteral("作成中")), idle));
    window::PictureBox* box = form->Picture1[0];
    EXPECT_TRUE(box->isVisible() && box->isAncestorOf(form->childAt(1, 1 + form->MenuBar->height())));
    EXPECT_EQ(box->geometry(), QRect(0, 0, 52, 44));
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(box->isHidden() && dialogs.dialogCalls() == 1);  // the font choice only
    form->Command3[0]->click();
    dialogs.saveNames = {{}};
    form->Command3[1]->click();
    EXPECT_TRUE(box->isHidden() && entries().isEmpty() && dialogs.messages.isEmpty() && dialogs.saveNames.empty());

    const struct { QString text; int cell; bool across, down; } rows[] = {
        {QString(80, u'W') + QStringLiteral("\nW").repeated(19), 24, true, true}, {"AB\nCDE", 16, false, false},
        {QString(26, u'W'), 20, true, false}, {QStringLiteral("A\n").repeated(19) + u'A', 20, false, true}, {"AB\nCDE", 40, false, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.left(10).toStdString());
        form->Text1->setPlainText(row.text);
        for (TextBox* cell : form->Text2) cell->setText(QString::number(row.cell));
        form->Command3[0]->click();
        EXPECT_EQ(std::tuple(box->isVisible(), box->horizontalScrollBar()->isVisible(), box->verticalScrollBar()->isVisible(),
                             QRect(0, 0, 408, 366).contains(box->geometry())), std::tuple(true, row.across, row.down, true));
    }
}

// Under the controls, after each build, a line a fact (the whole in the tip, each line
// shown cut to the bar): the characters another face drew or that none did (the first
// three named), the cell that would hold a spilling effect, an image fill without an image.
TEST_F(BuildTest, TheStatusBarSaysWhatTheSheetHides) {
    const QFontMetrics metrics(form->statusText->font());
    EXPECT_GE(form->statusBar->height(), 2 * metrics.height());
    const QFontMetrics mono(fakes::plainFace(QStringLiteral("DejaVu Sans Mono"), 14));  // apart from the program
    const QString spill = QStringLiteral("影がはみ出しています: %1 × %2 のセルなら収まります（今は 16 × 20）")
                              .arg(mono.horizontalAdvance(u'W') + 10).arg(mono.height() + 6);
    const QString none = QStringLiteral("すべての文字が「DejaVu Sans Mono」にあります");
    // The characters the face lacks, in text order, each with the face that draws it.
    const QString first = QString::fromUtf16(u"U+5B57 字（IPAGothic で描画）、U+4E00 一（IPAGothic で描画）、"
                                             u"U+0938 \u0938（どのフォントにもなく欠字の箱）");
    struct Row { QString text; int effect; bool image; QStringList says; };
    const Row rows[] = {{"AW", 0, false, {none}},
                        {QString::fromUtf16(u"字A一字\u0938"), 0, false, {"「DejaVu Sans Mono」にない文字 3 個: " + first}},
                        {QString::fromUtf16(u"字A一字\u0938二"), 0, false, {"「DejaVu Sans Mono」にない文字 4 個: " + first + "、ほか 1 個"}},
                        {"AW", 1, false, {none, spill}},
                        {"AW", 1, true, {"画像が選ばれていないため、文字は白で描かれています。", none}}};
    form->Text3[0]->setText(QStringLiteral("10"));
    form->Text3[1]->setText(QStringLiteral("6"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        form->Text1->setPlainText(row.text);
        form->Option2[row.effect]->setChecked(true);
        form->Option1[row.image ? 1 : 0]->setChecked(true);  // with the keyboard: no image chosen
        form->Command3[0]->click();
        ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
        EXPECT_EQ(form->statusText->toolTip(), row.says.join(u'\n'));
        const QStringList shown = form->statusText->text().split(u'\n');
        EXPECT_EQ(shown.size(), row.says.size());
        for (const QString& line : shown) EXPECT_LE(metrics.horizontalAdvance(line), form->statusText->contentsRect().width());
    }
    // A refused build leaves nothing said about an earlier sheet.
    form->Text2[0]->setText(QStringLiteral("0"));
    form->Command3[1]->click();
    EXPECT_EQ(std::pair(dialogs.messages.size(), form->statusText->text()), std::pair(qsizetype(1), QString()));
}
