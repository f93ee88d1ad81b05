#include <QApplication>
#include <QImageReader>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "platform/image_io.h"
#include "window/window_test.h"

using namespace karuvo;
using karuvo::window::Form1;
using karuvo::window::TextBox;

namespace {

// A sentence in Japanese: kana in it, and no English word (two Latin letters in a row).
bool isJapanese(const QString& s) {
    bool kana = false;
    for (QChar c : s) kana = kana || (c.unicode() >= 0x3041 && c.unicode() <= 0x30FF);
    return kana && !s.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2}")));
}

struct BuildTest : fakes::WindowTest {
    const std::pair<QString, QString> idle{QStringLiteral("プレビュー"), QStringLiteral("保存")};

    // Three columns and two rows of 16 x 20 cells: a 48 x 40 sheet.
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        dialogs.fonts.push_back(fakes::monoDescription(14));
        form->Command1->click();
        form->Text1->setPlainText(QStringLiteral("AB\nCDE"));
        form->Text2[0]->setText(QStringLiteral("16"));
        form->Text2[1]->setText(QStringLiteral("20"));
        form->show();
    }
    std::pair<QString, QString> captions() const { return {form->Command3[0]->text(), form->Command3[1]->text()}; }
};

}  // namespace

TEST_F(BuildTest, PreviewShowsTheSheetOverTheCornerAndSaveWritesExactlyIt) {
    form->Label2[4]->setText(QStringLiteral("FF"));
    std::pair<QString, QString> during;
    QTimer::singleShot(0, form.get(), [&] { during = captions(); });  // runs at the one yield before the build
    form->Command3[0]->click();
    EXPECT_EQ(during, std::pair(QStringLiteral("作成中"), QStringLiteral("作成中")));
    EXPECT_EQ(captions(), idle);

    window::PictureBox* box = form->Picture1[0];
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->geometry(), QRect(0, 0, 52, 44));
    EXPECT_TRUE(box->isAncestorOf(form->childAt(1, 1 + form->MenuBar->height())));
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(box->isHidden());
    EXPECT_EQ(dialogs.dialogCalls(), 1);  // the font choice only

    // A cancelled save hides the preview and writes nothing; the next writes exactly the sheet.
    form->Command3[0]->click();
    dialogs.saveNames = {{}, {path("sheet.bmp")}};
    form->Command3[1]->click();
    EXPECT_TRUE(box->isHidden());
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    form->Command3[1]->click();
    EXPECT_EQ(entries(), QStringList{"sheet.bmp"});
    const QImage saved(path("sheet.bmp"));
    const Image& sheet = box->picture();
    EXPECT_TRUE(Image::fromQImage(saved) == sheet);
    int red = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) red += (sheet.pixel(x, y) & 0xffffffu) == 0xff0000u;
    EXPECT_GT(red, 0);  // the fill was drawn, so the comparison means something

    // A name ending ".png" gets the sheet with transparency: over black it is the picture
    // shown, and where nothing is drawn it is fully transparent.
    dialogs.saveNames = {{path("sheet.PNG")}};
    form->Command3[1]->click();
    QImage png;
    ASSERT_TRUE(png.load(path("sheet.PNG"), "PNG")) << dialogs.messages.join(' ').toStdString();
    EXPECT_TRUE(png.hasAlphaChannel());
    png = png.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(png.size(), saved.size());
    int worst = 0, clear = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) {
            const QRgb p = png.pixel(x, y);
            worst = std::max(worst, std::abs((qRed(p) * qAlpha(p) + 127) / 255 - qRed(sheet.pixel(x, y))));
            clear += qAlpha(p) == 0;
            EXPECT_EQ(qRgb(qRed(p), qGreen(p), qBlue(p)), qAlpha(p) ? qRgb(255, 0, 0) : qRgb(0, 0, 0)) << x << ", " << y;
        }
    EXPECT_LE(worst, 2);
    EXPECT_GT(clear, 48 * 40 / 2);
}

// A name ending .png or .bmp keeps its format; any other takes the chosen type's suffix
// and format. The format is told by the file's own signature.
TEST_F(BuildTest, TheChosenFileTypeGivesTheFormatUnlessTheNameEndsInOne) {
    using dialogs::SheetFileType;
    struct Row { const char* typed; SheetFileType type; const char* written; const char* signature; };
    const Row rows[] = {{"sheet", SheetFileType::Png, "sheet.png", "\x89PNG"}, {"sheet", SheetFileType::Bitmap, "sheet.bmp", "BM"},
                        {"sheet.jpg", SheetFileType::Bitmap, "sheet.jpg.bmp", "BM"},
                        {"photo.jpg", SheetFileType::Png, "photo.jpg.png", "\x89PNG"},
                        {"keep.PNG", SheetFileType::Bitmap, "keep.PNG", "\x89PNG"}, {"keep.bmp", SheetFileType::Png, "keep.bmp", "BM"},
                        {"dot.", SheetFileType::Png, "dot.png", "\x89PNG"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        dialogs.saveNames.push_back({path(QString::fromLatin1(row.typed)), row.type});
        form->Command3[1]->click();
        EXPECT_EQ(entries(), QStringList{QString::fromLatin1(row.written)}) << dialogs.messages.join(u' ').toStdString();
        EXPECT_TRUE(fakes::readFile(path(QString::fromLatin1(row.written))).startsWith(row.signature));
        QFile::remove(path(QString::fromLatin1(row.written)));
    }
}

TEST_F(BuildTest, RefusedBuildsSayWhyInOneJapaneseMessageAndALaterTextBuildsAtOnce) {
    // A cell without area: the message names the value and the boxes to change.
    for (const char* cell : {"-5", "0"}) {
        form->Text2[0]->setText(QString::fromLatin1(cell));
        form->Command3[0]->click();
        const QString says = said();
        EXPECT_TRUE(isJapanese(says) && says.contains(QString::fromLatin1(cell) + QStringLiteral(" × 20")) &&
                    says.contains(QStringLiteral("１文字当たりのサイズ")))  // the boxes to change
            << says.toStdString();
    }
    // An empty text, with cell boxes holding a size, then empty as on a fresh start.
    for (const QString& cell : {QStringLiteral("16"), QString()}) {
        for (TextBox* box : form->Text2) box->setText(cell);
        for (const char* text : {"", "\n\r\n"}) {
            form->Text1->setPlainText(QString::fromLatin1(text));
            for (QPushButton* button : form->Command3) {
                SCOPED_TRACE(testing::Message() << button->objectName().toStdString() << " '" << text << "' " << cell.toStdString());
                button->click();
                EXPECT_TRUE(isJapanese(said()));
                EXPECT_EQ(cells(), std::pair(cell, cell));
                EXPECT_TRUE(form->Picture1[0]->isHidden());
                EXPECT_EQ(captions(), idle);
            }
        }
    }
    EXPECT_EQ(dialogs.saveCalls, 0);

    form->Text1->setPlainText(QStringLiteral("AB"));
    form->Command3[0]->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
    EXPECT_TRUE(form->Picture1[0]->isVisible());
    const QFontMetrics m(fakes::plainFace(QStringLiteral("DejaVu Sans Mono"), 14));  // measured apart from the program
    EXPECT_EQ(form->Picture1[0]->picture().width(), 2 * m.horizontalAdvance(u'A'));
    EXPECT_EQ(form->Picture1[0]->picture().height(), m.height());
}

TEST_F(BuildTest, ASheetLargerThanTheWindowScrollsToItsLastPixelZoomsAndEscapeHidesIt) {
    // 60 x 40 kanji in 32 x 32 cells: 1920 x 1280.
    QString text;
    for (int row = 0; row < 40; ++row) {
        if (row) text += u'\n';
        for (int column = 0; column < 60; ++column) text += QChar(0x4E00 + row * 60 + column);
    }
    form->Text1->setPlainText(text);
    form->Text2[0]->setText(QStringLiteral("32"));
    form->Text2[1]->setText(QStringLiteral("32"));
    form->Label2[4]->setText(QStringLiteral("FF8040"));
    form->Command3[0]->click();
    window::PictureBox* box = form->Picture1[0];
    ASSERT_TRUE(box->isVisible());
    EXPECT_EQ(box->geometry(), QRect(0, 0, 408, 366));
    const Image& sheet = box->picture();
    ASSERT_EQ(std::pair(sheet.width(), sheet.height()), std::pair(1920, 1280));

    QScrollBar* across = box->horizontalScrollBar();
    QScrollBar* down = box->verticalScrollBar();
    ASSERT_TRUE(across->isVisible() && down->isVisible());
    // How many pixels of the view on screen do not show their sheet pixel.
    const auto differing = [&] {
        QApplication::processEvents();
        const QPoint corner = box->viewport()->mapTo(form.get(), QPoint(0, 0));
        const QSize view = box->viewport()->size();
        const QImage screen = form->screen()->grabWindow(form->winId(), corner.x(), corner.y(), view.width(), view.height())
                                  .toImage().convertToFormat(QImage::Format_RGB32);
        if (screen.size() != view) return -1;
        int count = 0;
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x) {
                const int sx = (x + across->value()) / box->zoom(), sy = (y + down->value()) / box->zoom();
                count += sx < 1920 && sy < 1280 && (screen.pixel(x, y) & 0xFFFFFFu) != (sheet.pixel(sx, sy) & 0xFFFFFFu);
            }
        return count;
    };
    // Scrolled to the end, the last pixel shows.
    across->setValue(across->maximum());
    down->setValue(down->maximum());
    EXPECT_GE(across->value() + box->viewport()->width(), 1920);
    EXPECT_GE(down->value() + box->viewport()->height(), 1280);
    EXPECT_EQ(differing(), 0);

    // Ctrl + plus and Ctrl + wheel magnify up to 8 times, each sheet pixel a square,
    // and keep the sheet pixel under the view's centre there.
    across->setValue(700);
    down->setValue(500);
    const auto centre = [&] {
        const QSize view = box->viewport()->size();
        return QPointF((across->value() + view.width() / 2.0) / box->zoom(), (down->value() + view.height() / 2.0) / box->zoom());
    };
    QPointF before = centre();
    QTest::keyClick(box, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(box->zoom(), 2);
    for (int want : {3, 4, 5, 6, 7, 8, 8}) {
        EXPECT_LE((centre() - before).manhattanLength(), 1.0) << "at zoom " << box->zoom();
        before = centre();
        QWheelEvent wheel(QPointF(50, 50), box->viewport()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &wheel);
        EXPECT_EQ(box->zoom(), want);
    }
    QTest::keyClick(box, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(box->zoom(), 7);

    // At zoom 3, scrolled to an offset that splits sheet pixels.
    box->setZoom(3);
    across->setValue(1001);
    down->setValue(733);
    EXPECT_EQ(differing(), 0);

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(box->isHidden());
}

TEST_F(BuildTest, FailingBuildIsReportedAndTheWindowStaysUsable) {
    // A missing texture, and one that is no picture: the message names the file, and for
    // the second every format that can be read instead.
    const QString missing = path("no-such-texture.bmp"), text = path("notes.png");
    ASSERT_TRUE(fakes::writeFile(text, "just some words, no picture"));
    for (const QString& texture : {missing, text}) {
        SCOPED_TRACE(texture.toStdString());
        dialogs.openNames.push_back(texture);
        press(form->Option1[1]);
        form->Command3[0]->click();
        const QString says = said();
        QString words = QString(says).remove(texture);  // Japanese apart from the values
        for (const QByteArray& format : QImageReader::supportedImageFormats()) {
            EXPECT_TRUE(texture == missing || says.contains(QString::fromLatin1(format))) << format.toStdString();
            words.remove(QString::fromLatin1(format));
        }
        EXPECT_TRUE(says.contains(texture) && isJapanese(words)) << says.toStdString();
        EXPECT_EQ(captions(), idle);
        EXPECT_TRUE(form->Picture1[0]->isHidden());
    }
    dialogs.colours.push_back(kWhite);
    press(form->Option1[0]);
    form->Command3[0]->click();
    EXPECT_TRUE(dialogs.messages.isEmpty() && form->Picture1[0]->isVisible());
}

// Arrows select an option and open nothing. Any mouse button, or Space, on an option opens
// its dialog, selected or not; a cancel keeps the choice. Enter on a button presses it.
TEST_F(BuildTest, OptionsAskOnEveryPressArrowsSelectAloneAndEnterPresses) {
    QApplication::setActiveWindow(form.get());
    form->Option2[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Option2[0], Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(form->Option2[2]->isChecked());
    form->Option1[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Option1[0], Qt::Key_Down);
    EXPECT_TRUE(form->Option1[1]->isChecked());
    EXPECT_EQ(dialogs.dialogCalls(), 1);  // the font choice only
    form->Option1[0]->setChecked(true);
    form->Option2[0]->setChecked(true);

    dialogs.colours = {0x0000FF, 0xFFFFFF, std::nullopt, std::nullopt};
    form->Option2[1]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Option2[1], Qt::Key_Space);
    EXPECT_EQ(std::pair(form->Label2[6]->text(), form->Option2[1]->isChecked()), std::pair(QStringLiteral("FF"), true));
    press(form->Option2[2], Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(std::pair(form->Label2[7]->text(), form->Option2[2]->isChecked()), std::pair(QStringLiteral("FFFFFF"), true));
    press(form->Option2[2]);  // already selected: asks again; the cancel keeps the colour
    EXPECT_EQ(form->Label2[7]->text(), QStringLiteral("FFFFFF"));
    // Texture: a cancel with nothing held keeps the colour fill, a later one keeps the path.
    dialogs.openNames = {QString(), QStringLiteral("/textures/brick.bmp"), QString()};
    press(form->Option1[1]);
    EXPECT_TRUE(form->Option1[0]->isChecked());
    press(form->Option1[1], Qt::RightButton);
    EXPECT_EQ(form->Label2[5]->text(), QStringLiteral("/textures/brick.bmp"));
    press(form->Option1[0]);  // colour dialog cancelled
    EXPECT_EQ(std::pair(form->Label2[4]->text(), form->Option1[0]->isChecked()), std::pair(QStringLiteral("FFFFFF"), true));
    press(form->Option1[1]);
    EXPECT_EQ(std::pair(form->Label2[5]->text(), form->Option1[1]->isChecked()), std::pair(QStringLiteral("/textures/brick.bmp"), true));
    EXPECT_EQ(std::pair(dialogs.colourCalls, dialogs.openCalls), std::pair(4, 3));

    form->Option1[0]->setChecked(true);
    form->Option2[0]->setChecked(true);
    form->Text2[0]->clear();
    QTest::keyClick(form->Command2, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(form->Text2[0]->text().isEmpty());  // the cell was fitted
    QTest::keyClick(form->Command3[0], Qt::Key_Return);
    EXPECT_TRUE(form->Picture1[0]->isVisible());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
}

// After a sheet of another size the box fits the new one: no bars over a sheet that
// fits, and room beside the sheet for the one bar it needs.
TEST_F(BuildTest, ThePreviewBoxFitsEachSheetWhateverTheSheetBefore) {
    window::PictureBox* box = form->Picture1[0];
    const QString tall = QStringLiteral("A\n").repeated(19) + u'A';
    struct Row { QString text; int cell; bool across, down; };
    const Row rows[] = {{QString(80, u'W') + QStringLiteral("\nW").repeated(19), 24, true, true}, {"AB\nCDE", 16, false, false},
                        {QString(26, u'W'), 20, true, false}, {tall, 20, false, true}, {"AB\nCDE", 40, false, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.left(10).toStdString());
        form->Text1->setPlainText(row.text);
        for (TextBox* cell : form->Text2) cell->setText(QString::number(row.cell));
        form->Command3[0]->click();
        ASSERT_TRUE(box->isVisible());
        const QSize sheet(box->picture().width(), box->picture().height());
        EXPECT_EQ(std::pair(box->horizontalScrollBar()->isVisible(), box->verticalScrollBar()->isVisible()),
                  std::pair(row.across, row.down));
        EXPECT_GE(box->viewport()->width(), row.across ? 0 : sheet.width());
        EXPECT_GE(box->viewport()->height(), row.down ? 0 : sheet.height());
        EXPECT_TRUE(QRect(0, 0, 408, 366).contains(box->geometry()));
    }
}

// Under the controls, after each build, a line a fact (the whole in the tip, each line
// shown cut to the bar): the characters another face drew or that none did, the cell that
// would hold a spilling effect, an image fill without an image.
TEST_F(BuildTest, TheStatusBarSaysWhatTheSheetHides) {
    const int below = form->MenuBar->height() + 366;  // the menu bar and the controls
    EXPECT_EQ(form->statusBar->geometry(), QRect(0, below, 408, form->height() - below));
    const QFontMetrics metrics(form->statusText->font());
    EXPECT_GE(form->statusBar->height(), 2 * metrics.height());
    const QFontMetrics mono(fakes::plainFace(QStringLiteral("DejaVu Sans Mono"), 14));  // apart from the program
    const QString spill = QStringLiteral("影がはみ出しています: %1 × %2 のセルなら収まります（今は 16 × 20）")
                              .arg(mono.horizontalAdvance(u'W') + 10).arg(mono.height() + 6);
    struct Row { QString text; int effect; bool image; QStringList says; };
    const Row rows[] = {
        {"AW", 0, false, {"すべての文字が「DejaVu Sans Mono」にあります"}},
        {QString::fromUtf16(u"字A一字\u0938\u4E8C\u4E09"), 0, false,
         {"「DejaVu Sans Mono」にない文字 5 個: U+5B57 字（IPAGothic で描画）、U+4E00 一（IPAGothic で描画）、"
          "U+0938 स（どのフォントにもなく欠字の箱）、ほか 2 個"}},
        {"AW", 1, false, {"すべての文字が「DejaVu Sans Mono」にあります", spill}},
        {"AW", 1, true, {"画像が選ばれていないため、文字は白で描かれています。", "すべての文字が「DejaVu Sans Mono」にあります"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        form->Text1->setPlainText(row.text);
        form->Text3[0]->setText(QStringLiteral("10"));
        form->Text3[1]->setText(QStringLiteral("6"));
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

// A save that cannot be written, or that would write over the sheet's own texture by
// any name, is refused in one Japanese message naming the file, and damages nothing.
TEST_F(BuildTest, ARefusedSaveIsNamedAndDamagesNothing) {
    const QString plain = path("plain"), texture = path("brick.bmp");
    const QByteArray bytes = encodeBmp24(fakes::patterned(4, 4), 4, 4);
    ASSERT_TRUE(fakes::writeFile(plain, "not a folder") && QDir().mkdir(path("taken.bmp")));
    ASSERT_TRUE(fakes::writeFile(texture, bytes) && QFile::link(texture, path("link.bmp")));
    dialogs.openNames.push_back(texture);
    press(form->Option1[1]);
    for (const QString& target : {plain + "/sheet.bmp", path("taken.bmp"), texture, path("link.bmp"), dir.path() + "/./brick.bmp"}) {
        SCOPED_TRACE(target.toStdString());
        dialogs.saveNames.push_back({target});
        form->Command3[1]->click();
        const QString says = said();
        EXPECT_TRUE(says.contains(target) && isJapanese(QString(says).remove(target).remove(plain))) << says.toStdString();
        EXPECT_EQ(captions(), idle);
        EXPECT_EQ(std::pair(fakes::readFile(plain), fakes::readFile(texture)), std::pair(QByteArray("not a folder"), bytes));
        EXPECT_EQ(entries(), (QStringList{"brick.bmp", "link.bmp", "plain", "taken.bmp"}));
    }
}
