#include <QApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/image_io.h"
#include "support/fixtures.h"
#include "support/scripted_dialogs.h"
#include "window/form1.h"

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

struct BuildTest : ::testing::Test {
    fakes::ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(dialogs);
    QTemporaryDir dir;
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
    static void press(QWidget* w, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(w, button, mods, QPoint(5, 5));
    }
    std::pair<QString, QString> captions() const { return {form->Command3[0]->text(), form->Command3[1]->text()}; }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
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
    dialogs.saveNames = {QString(), dir.filePath("sheet.bmp")};
    form->Command3[1]->click();
    EXPECT_TRUE(box->isHidden());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    form->Command3[1]->click();
    EXPECT_EQ(files(), QStringList{"sheet.bmp"});
    const QImage saved(dir.filePath("sheet.bmp"));
    const Image& sheet = box->picture();
    EXPECT_TRUE(Image::fromQImage(saved) == sheet);
    int red = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) red += (sheet.pixel(x, y) & 0xffffffu) == 0xff0000u;
    EXPECT_GT(red, 0);  // the fill was drawn, so the comparison means something
}

// A name ending ".png" gets the sheet with transparency: over black it is the picture
// shown, and where nothing is drawn it is fully transparent.
TEST_F(BuildTest, APngNameSavesTheSheetWithTransparency) {
    form->Label2[4]->setText(QStringLiteral("FF"));
    dialogs.saveNames = {dir.filePath("sheet.PNG")};
    form->Command3[1]->click();
    ASSERT_EQ(files(), QStringList{"sheet.PNG"}) << dialogs.messages.join(' ').toStdString();
    QImage saved;
    ASSERT_TRUE(saved.load(dir.filePath("sheet.PNG"), "PNG"));
    EXPECT_TRUE(saved.hasAlphaChannel());
    saved = saved.convertToFormat(QImage::Format_ARGB32);
    const Image& sheet = form->Picture1[0]->picture();
    ASSERT_EQ(saved.size(), QSize(sheet.width(), sheet.height()));
    int worst = 0, clear = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) {
            const QRgb p = saved.pixel(x, y), shown = sheet.pixel(x, y);
            worst = std::max(worst, std::abs((qRed(p) * qAlpha(p) + 127) / 255 - qRed(shown)));
            clear += qAlpha(p) == 0;
            EXPECT_EQ(qRgb(qRed(p), qGreen(p), qBlue(p)), qAlpha(p) ? qRgb(255, 0, 0) : qRgb(0, 0, 0)) << x << ", " << y;
        }
    EXPECT_LE(worst, 2);
    EXPECT_GT(clear, 48 * 40 / 2);
}

TEST_F(BuildTest, FailingSaveIsReportedAndDamagesNothing) {
    const QString plain = dir.filePath("plain");
    ASSERT_TRUE(fakes::writeFile(plain, "not a folder"));
    for (const QString& target : {plain + "/sheet.bmp", dir.path()}) {
        SCOPED_TRACE(target.toStdString());
        dialogs.messages.clear();
        dialogs.saveNames.push_back(target);
        form->Command3[1]->click();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(target)) << dialogs.messages[0].toStdString();
        EXPECT_TRUE(isJapanese(QString(dialogs.messages[0]).remove(target).remove(plain))) << dialogs.messages[0].toStdString();
        EXPECT_EQ(captions(), idle);
        EXPECT_EQ(fakes::readFile(plain), QByteArray("not a folder"));
        EXPECT_EQ(files(), QStringList{"plain"});
    }
}

TEST_F(BuildTest, RefusedBuildsSayWhyInOneJapaneseMessageAndALaterTextBuildsAtOnce) {
    // A cell without area: the message names the value and the boxes to change.
    for (const char* cell : {"-5", "0"}) {
        dialogs.messages.clear();
        form->Text2[0]->setText(QString::fromLatin1(cell));
        form->Command3[0]->click();
        ASSERT_EQ(dialogs.messages.size(), 1);
        const QString& says = dialogs.messages[0];
        EXPECT_TRUE(isJapanese(says)) << says.toStdString();
        EXPECT_TRUE(says.contains(QString::fromLatin1(cell) + QStringLiteral(" × 20"))) << says.toStdString();
        EXPECT_TRUE(says.contains(QStringLiteral("１文字当たりのサイズ"))) << "names the boxes to change: " << says.toStdString();
    }
    // An empty text, with cell boxes holding a size, then empty as on a fresh start.
    for (const QString& cell : {QStringLiteral("16"), QString()}) {
        for (TextBox* box : form->Text2) box->setText(cell);
        for (const char* text : {"", "\n\r\n"}) {
            form->Text1->setPlainText(QString::fromLatin1(text));
            for (QPushButton* button : form->Command3) {
                SCOPED_TRACE(testing::Message() << button->objectName().toStdString() << " '" << text << "' " << cell.toStdString());
                dialogs.messages.clear();
                button->click();
                ASSERT_EQ(dialogs.messages.size(), 1);
                EXPECT_TRUE(isJapanese(dialogs.messages[0])) << dialogs.messages[0].toStdString();
                EXPECT_EQ(std::pair(form->Text2[0]->text(), form->Text2[1]->text()), std::pair(cell, cell));
                EXPECT_TRUE(form->Picture1[0]->isHidden());
                EXPECT_EQ(captions(), idle);
            }
        }
    }
    EXPECT_EQ(dialogs.saveCalls, 0);

    dialogs.messages.clear();
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

    // A click on a scroll bar scrolls and leaves the sheet in view.
    QScrollBar* across = box->horizontalScrollBar();
    QScrollBar* down = box->verticalScrollBar();
    ASSERT_TRUE(across->isVisible() && down->isVisible());
    QTest::mouseClick(across, Qt::LeftButton, {}, QPoint(across->width() - 30, across->height() / 2));
    QTest::mouseClick(down, Qt::LeftButton, {}, QPoint(down->width() / 2, down->height() - 30));
    EXPECT_GT(across->value(), 0);
    EXPECT_GT(down->value(), 0);
    EXPECT_TRUE(box->isVisible());

    // Scrolled to the end, the last cell shows whole and exactly, down to the last pixel.
    across->setValue(across->maximum());
    down->setValue(down->maximum());
    const QImage shown = box->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint last(1919 - across->value(), 1279 - down->value());
    ASSERT_TRUE(shown.rect().contains(last)) << last.x() << "," << last.y();
    int differing = 0, ink = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb want = sheet.pixel(1888 + x, 1248 + y) & 0xFFFFFFu;
            differing += (shown.pixel(last.x() - 31 + x, last.y() - 31 + y) & 0xFFFFFFu) != want;
            ink += want != 0;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(ink, 0);

    // Ctrl + plus and Ctrl + wheel magnify up to 8 times, each sheet pixel a square.
    QTest::keyClick(box, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(box->zoom(), 2);
    for (int want : {3, 4, 5, 6, 7, 8, 8}) {
        QWheelEvent wheel(QPointF(50, 50), box->viewport()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &wheel);
        EXPECT_EQ(box->zoom(), want);
    }
    across->setValue(0);
    down->setValue(0);
    const QImage zoomed = box->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) differing += (zoomed.pixel(8 * x + x % 8, 8 * y + y % 8) & 0xFFFFFFu) != (sheet.pixel(x, y) & 0xFFFFFFu);
    EXPECT_EQ(differing, 0);
    QTest::keyClick(box, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(box->zoom(), 7);

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(box->isHidden());
}

TEST_F(BuildTest, ShadowAndOutlineEachTakeTheirOwnColour) {
    form->Text1->setPlainText(QStringLiteral("MW"));
    form->Text3[0]->setText(QStringLiteral("3"));
    form->Text3[1]->setText(QStringLiteral("3"));
    form->Text3[2]->setText(QStringLiteral("1"));
    dialogs.colours = {0x00FF00, 0x0000FF};  // outline green, then shadow red
    press(form->Option2[2]);
    press(form->Option2[1]);
    // Mostly one primary: anti-aliased edges ORed onto grey glyph edges count too.
    const auto mostly = [](QRgb p, QRgb primary) {
        for (int shift : {0, 8, 16}) {
            const int have = int(p >> shift & 0xFF), want = int(primary >> shift & 0xFF);
            if (want ? have < 128 : have >= 64) return false;
        }
        return true;
    };
    struct Row { QRadioButton* effect; QRgb own, other; };
    for (const Row& row : {Row{form->Option2[1], qRgb(255, 0, 0), qRgb(0, 255, 0)},
                           Row{form->Option2[2], qRgb(0, 255, 0), qRgb(255, 0, 0)}}) {
        row.effect->setChecked(true);
        form->Command3[0]->click();
        const Image& sheet = form->Picture1[0]->picture();
        int own = 0, other = 0;
        for (int y = 0; y < sheet.height(); ++y)
            for (int x = 0; x < sheet.width(); ++x) {
                own += mostly(sheet.pixel(x, y), row.own);
                other += mostly(sheet.pixel(x, y), row.other);
            }
        EXPECT_GT(own, 10) << row.effect->objectName().toStdString();
        EXPECT_EQ(other, 0) << row.effect->objectName().toStdString();
    }
}

TEST_F(BuildTest, FailingBuildIsReportedAndTheWindowStaysUsable) {
    // A missing texture, and one that is no picture: the message names the file, and for
    // the second every format that can be read instead.
    const QString missing = dir.filePath("no-such-texture.bmp"), text = dir.filePath("notes.png");
    ASSERT_TRUE(fakes::writeFile(text, "just some words, no picture"));
    for (const QString& texture : {missing, text}) {
        SCOPED_TRACE(texture.toStdString());
        dialogs.messages.clear();
        dialogs.openNames.push_back(texture);
        press(form->Option1[1]);
        form->Command3[0]->click();
        ASSERT_EQ(dialogs.messages.size(), 1);
        const QString& says = dialogs.messages[0];
        EXPECT_TRUE(says.contains(texture)) << says.toStdString();
        QString words = QString(says).remove(texture);  // Japanese apart from the values
        for (const QByteArray& format : QImageReader::supportedImageFormats()) words.remove(QString::fromLatin1(format));
        EXPECT_TRUE(isJapanese(words)) << says.toStdString();
        EXPECT_EQ(captions(), idle);
        EXPECT_TRUE(form->Picture1[0]->isHidden());
    }
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        EXPECT_TRUE(dialogs.messages[0].contains(QString::fromLatin1(format))) << format.toStdString();

    dialogs.colours.push_back(kWhite);
    press(form->Option1[0]);
    form->Command3[0]->click();
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(form->Picture1[0]->isVisible());
}

TEST_F(BuildTest, OptionsOpenTheirDialogOnEveryPressAndACancelKeepsTheChoice) {
    dialogs.colours = {0x0000FF, 0xFFFFFF, std::nullopt, std::nullopt};
    press(form->Option2[1], Qt::RightButton);
    EXPECT_EQ(form->Label2[6]->text(), QStringLiteral("FF"));
    press(form->Option2[2], Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(std::pair(form->Label2[7]->text(), form->Option2[2]->isChecked()), std::pair(QStringLiteral("FFFFFF"), true));
    press(form->Option2[2]);  // already selected: asks again; the cancel keeps the colour
    EXPECT_EQ(form->Label2[7]->text(), QStringLiteral("FFFFFF"));
    EXPECT_EQ(dialogs.colourCalls, 3);

    // Texture: a cancel with nothing held keeps the colour fill, later one keeps the path.
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
}

TEST_F(BuildTest, SelectingAnOptionWithTheKeyboardOpensNoDialog) {
    QApplication::setActiveWindow(form.get());
    form->Option2[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Option2[0], Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(form->Option2[2]->isChecked());
    form->Option1[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Option1[0], Qt::Key_Down);
    EXPECT_TRUE(form->Option1[1]->isChecked());
    QTest::keyClick(form->Option1[1], Qt::Key_Space);
    EXPECT_EQ(dialogs.dialogCalls(), 1);  // the font choice only
}

TEST_F(BuildTest, TheSheetIsNotSavedOverItsOwnTexture) {
    const QString texture = dir.filePath("brick.bmp");
    const QByteArray bytes = encodeBmp24(fakes::patterned(4, 4), 4, 4);
    ASSERT_TRUE(fakes::writeFile(texture, bytes) && QFile::link(texture, dir.filePath("link.bmp")));
    dialogs.openNames.push_back(texture);
    press(form->Option1[1]);
    for (const QString& name : {texture, dir.filePath("link.bmp"), dir.path() + "/./brick.bmp"}) {
        SCOPED_TRACE(name.toStdString());
        dialogs.messages.clear();
        dialogs.saveNames.push_back(name);
        form->Command3[1]->click();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(name) && isJapanese(QString(dialogs.messages[0]).remove(name)))
            << dialogs.messages[0].toStdString();
        EXPECT_EQ(fakes::readFile(texture), bytes);
        EXPECT_EQ(files(), QStringList({"brick.bmp", "link.bmp"}));
    }
}
