#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/scripted_dialogs.h"
#include "window/form1.h"

using namespace karuvo;
using karuvo::window::Form1;

namespace {

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

TEST_F(BuildTest, PreviewShowsTheSheetOverTheCornerAndAClickHidesIt) {
    std::pair<QString, QString> during;
    QTimer::singleShot(0, form.get(), [&] { during = captions(); });  // runs at the one yield before the build
    form->Command3[0]->click();
    EXPECT_EQ(during, std::pair(QStringLiteral("作成中"), QStringLiteral("作成中")));
    EXPECT_EQ(captions(), idle);

    window::PictureBox* box = form->Picture1[0];
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->geometry(), QRect(0, 0, 52, 44));
    EXPECT_EQ(form->childAt(1, 1), box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(box->isHidden());
    EXPECT_EQ(dialogs.dialogCalls(), 1);  // the font choice only
}

TEST_F(BuildTest, SaveWritesExactlyTheSheetAndACancelWritesNothing) {
    form->Label2[4]->setText(QStringLiteral("FF"));
    form->Command3[0]->click();
    ASSERT_TRUE(form->Picture1[0]->isVisible());
    dialogs.saveNames = {QString(), dir.filePath("sheet.bmp")};
    form->Command3[1]->click();
    EXPECT_TRUE(form->Picture1[0]->isHidden());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    form->Command3[1]->click();
    EXPECT_EQ(files(), QStringList{"sheet.bmp"});
    const QImage saved(dir.filePath("sheet.bmp"));
    const Image& sheet = form->Picture1[0]->picture();
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
        EXPECT_EQ(captions(), idle);
        EXPECT_EQ(fakes::readFile(plain), QByteArray("not a folder"));
        EXPECT_EQ(files(), QStringList{"plain"});
    }
}

TEST_F(BuildTest, ASheetWithNoAreaIsNotSaved) {
    form->Text1->setPlainText(QString());
    form->Command3[1]->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("no area")));
    EXPECT_EQ(dialogs.saveCalls, 0);
}

TEST_F(BuildTest, FailingBuildIsReportedAndTheWindowStaysUsable) {
    const QString missing = dir.filePath("no-such-texture.bmp");
    dialogs.openNames.push_back(missing);
    press(form->Option1[1]);
    form->Command3[0]->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(missing)) << dialogs.messages[0].toStdString();
    EXPECT_EQ(captions(), idle);
    EXPECT_TRUE(form->Picture1[0]->isHidden());

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
