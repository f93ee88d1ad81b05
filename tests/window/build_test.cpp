#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "sheet/builder.h"
#include "support/scripted_dialogs.h"
#include "support/test_fonts.h"
#include "window/form1.h"

using namespace karuvo;
using karuvo::fakes::monoDescription;
using karuvo::window::Form1;

namespace {

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool anyLit(const Image& image) {
    for (std::int32_t y = 0; y < image.height(); ++y)
        for (std::int32_t x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) & 0xffffffu) return true;
    return false;
}

class BuildTest : public ::testing::Test {
protected:
    fakes::ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(dialogs);
    QTemporaryDir dir;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        dialogs.fonts.push_back(monoDescription(14));
        form->Command1->click();
        form->Text1->setPlainText(QStringLiteral("AB\nCDE"));
        form->Text2[0]->setText(QStringLiteral("16"));
        form->Text2[1]->setText(QStringLiteral("20"));
        form->show();
    }
    void press(QWidget* option, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(option, button, modifiers, QPoint(5, 5));
    }
    std::pair<QString, QString> captions() const { return {form->Command3[0]->text(), form->Command3[1]->text()}; }
    static std::pair<QString, QString> idleCaptions() { return {QStringLiteral("プレビュー"), QStringLiteral("保存")}; }
};

}  // namespace

TEST_F(BuildTest, PreviewShowsTheSheetOverTheCornerAndAClickHidesIt) {
    std::pair<QString, QString> during;
    bool hiddenDuring = false;
    // Runs at the one yield before the build.
    QTimer::singleShot(0, form.get(), [&] {
        during = captions();
        hiddenDuring = form->Picture1[0]->isHidden();
    });
    form->Command3[0]->click();
    EXPECT_EQ(during, (std::pair{QStringLiteral("作成中"), QStringLiteral("作成中")}));
    EXPECT_EQ(captions(), idleCaptions());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("\n").toStdString();

    // Three columns and two rows of 16 x 20 cells; the box is 4 larger each way.
    window::PictureBox* box = form->Picture1[0];
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->geometry(), QRect(0, 0, 52, 44));
    EXPECT_EQ(form->childAt(1, 1), box);  // above every other control
    EXPECT_EQ(box->picture().width(), 48);
    EXPECT_EQ(box->picture().height(), 40);
    EXPECT_EQ(box->picture(), buildSheet(form->readSettings()).image);
    EXPECT_TRUE(anyLit(box->picture()));

    const QString text = form->Text1->toPlainText();
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(box->isHidden());
    EXPECT_EQ(form->Text1->toPlainText(), text);
    EXPECT_EQ(box->picture().width(), 48);
    EXPECT_EQ(dialogs.dialogCalls(), 1);  // the font choice only
}

TEST_F(BuildTest, AClickDuringTheYieldStartsNoSecondBuild) {
    QTimer::singleShot(0, form.get(), [&] { form->Command3[1]->click(); });
    form->Command3[0]->click();
    EXPECT_EQ(dialogs.saveCalls, 0);
    EXPECT_TRUE(form->Picture1[0]->isVisible());
    EXPECT_EQ(captions(), idleCaptions());
}

TEST_F(BuildTest, ControlsAreReadWithTheirCorrections) {
    form->Text2[0]->setText(QStringLiteral("12.7"));
    form->Text2[1]->setText(QStringLiteral("1e1"));
    form->Label2[4]->setText(QStringLiteral("FF"));
    form->Text3[0]->setText(QStringLiteral("abc"));
    form->Text3[2]->setText(QStringLiteral("25"));
    SheetSettings s = form->readSettings();
    EXPECT_EQ(std::pair(s.cellWidth, s.cellHeight), std::pair(12, 10));
    EXPECT_EQ(s.fill, FillKind::Colour);
    EXPECT_EQ(s.fillColour, 0xFFu);
    EXPECT_EQ(s.effect, EffectKind::None);
    EXPECT_EQ(std::pair(s.shadowDx, s.shadowDy), std::pair(0, 0));
    EXPECT_EQ(form->Text3[0]->text(), QStringLiteral("abc"));  // not read without the shadow
    EXPECT_EQ(s.text, QStringLiteral("AB\nCDE"));
    ASSERT_TRUE(s.font);
    EXPECT_EQ(*s.font, monoDescription(14));

    form->Option2[1]->setChecked(true);
    form->Label2[6]->setText(QStringLiteral("FF0000"));
    for (auto [across, down, dx, dy] : {std::tuple{"2.5", "3.5", 2, 4}, {"-1.5", "-3", -2, -3}, {"abc", "", 0, 0}}) {
        form->Text3[0]->setText(QString::fromLatin1(across));
        form->Text3[1]->setText(QString::fromLatin1(down));
        s = form->readSettings();
        EXPECT_EQ(std::pair(s.shadowDx, s.shadowDy), std::pair(dx, dy)) << across << " " << down;
    }
    EXPECT_EQ(form->Text3[0]->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Text3[1]->text(), QStringLiteral("0"));
    EXPECT_EQ(s.effect, EffectKind::Shadow);
    EXPECT_EQ(s.shadowColour, 0xFF0000u);

    form->Option2[2]->setChecked(true);
    form->Label2[7]->setText(QStringLiteral("ff00"));
    s = form->readSettings();
    EXPECT_EQ(std::tuple(s.effect, s.outlineRadius, s.outlineColour), std::tuple(EffectKind::Outline, 10, 0xFF00u));
    EXPECT_EQ(form->Text3[2]->text(), QStringLiteral("25"));

    // A cell size that is not a number is fitted to the font first.
    form->Option2[0]->setChecked(true);
    form->Text2[1]->setText(QString());
    s = form->readSettings();
    EXPECT_EQ(form->Text2[0]->text(), QString::number(s.cellWidth));
    EXPECT_EQ(form->Text2[1]->text(), QString::number(s.cellHeight));
    EXPECT_GT(s.cellHeight, 14);

    // After a failed choice the earlier font is still the one drawn with.
    dialogs.fonts.push_back(monoDescription(100000));
    form->Command1->click();
    ASSERT_TRUE(form->readSettings().font);
    EXPECT_EQ(*form->readSettings().font, monoDescription(14));
}

TEST_F(BuildTest, SaveWritesExactlyTheSheetAsA24BitBitmap) {
    form->Label2[4]->setText(QStringLiteral("FF"));
    const QString path = dir.filePath("sheet.bmp");
    dialogs.saveNames.push_back(path);
    form->Command3[1]->click();
    ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("\n").toStdString();
    EXPECT_TRUE(form->Picture1[0]->isHidden());
    EXPECT_EQ(captions(), idleCaptions());

    const QByteArray bytes = contentsOf(path);
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);  // bits per pixel
    EXPECT_EQ(static_cast<unsigned char>(bytes[30]), 0);   // no compression

    const QImage saved(path);
    const Image& sheet = form->Picture1[0]->picture();
    ASSERT_EQ(saved.size(), QSize(48, 40));
    ASSERT_TRUE(anyLit(sheet));
    int differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x)
            if ((saved.pixel(x, y) & 0xffffffu) != (sheet.pixel(x, y) & 0xffffffu)) ++differing;
    EXPECT_EQ(differing, 0);
    // A red fill: no pixel of the sheet has green or blue.
    EXPECT_EQ(qRed(sheet.pixel(0, 0)) | qGreen(sheet.pixel(0, 0)), 0);

    // Saving again under the same name replaces the file.
    form->Text1->setPlainText(QStringLiteral("A"));
    dialogs.saveNames.push_back(path);
    form->Command3[1]->click();
    EXPECT_EQ(QImage(path).size(), QSize(16, 20));
}

TEST_F(BuildTest, CancelledSaveRebuildsButWritesNothing) {
    form->Command3[0]->click();
    ASSERT_TRUE(form->Picture1[0]->isVisible());
    form->Text1->setPlainText(QStringLiteral("ABCD"));
    dialogs.saveNames.push_back(QString());
    form->Command3[1]->click();
    EXPECT_EQ(dialogs.saveCalls, 1);
    EXPECT_TRUE(form->Picture1[0]->isHidden());
    EXPECT_EQ(form->Picture1[0]->picture().width(), 64);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(BuildTest, FailingSaveIsReportedAndDamagesNothing) {
    const QString plain = dir.filePath("plain");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a folder");
    }
    for (const QString& target : {plain + "/sheet.bmp", dir.filePath("missing/sheet.bmp"), dir.path()}) {
        SCOPED_TRACE(target.toStdString());
        dialogs.messages.clear();
        dialogs.saveNames.push_back(target);
        form->Command3[1]->click();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(target)) << dialogs.messages[0].toStdString();
        EXPECT_EQ(captions(), idleCaptions());
        EXPECT_EQ(contentsOf(plain), QByteArray("not a folder"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
                  QStringList{"plain"});
    }
    // Still usable: the next save goes through.
    dialogs.saveNames.push_back(dir.filePath("ok.bmp"));
    form->Command3[1]->click();
    EXPECT_EQ(QImage(dir.filePath("ok.bmp")).size(), QSize(48, 40));
}

TEST_F(BuildTest, ASheetWithNoAreaIsNotSaved) {
    form->Text1->setPlainText(QString());
    form->Command3[1]->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("no area")));
    EXPECT_EQ(dialogs.saveCalls, 0);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(BuildTest, FailingBuildIsReportedAndTheWindowStaysUsable) {
    const QString missing = dir.filePath("no-such-texture.bmp");
    dialogs.openNames.push_back(missing);
    press(form->Option1[1]);
    ASSERT_TRUE(form->Option1[1]->isChecked());
    form->Command3[0]->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(missing)) << dialogs.messages[0].toStdString();
    EXPECT_EQ(captions(), idleCaptions());
    EXPECT_TRUE(form->Picture1[0]->isHidden());

    // A cell size the builder refuses is reported the same way.
    dialogs.colours.push_back(kWhite);
    press(form->Option1[0]);
    form->Text2[0]->setText(QStringLiteral("0"));
    form->Command3[0]->click();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(form->Picture1[0]->isHidden());

    form->Text2[0]->setText(QStringLiteral("16"));
    form->Command3[0]->click();
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(form->Picture1[0]->isVisible());
}

TEST_F(BuildTest, ColourOptionsOpenTheDialogOnEveryPressOfAnyButton) {
    dialogs.colours = {0x0000FF, 0xFFFFFF, 0, 0xFF00, 0xFF0000, std::nullopt};
    press(form->Option2[1], Qt::RightButton);
    EXPECT_EQ(form->Label2[6]->text(), QStringLiteral("FF"));
    EXPECT_TRUE(form->Option2[1]->isChecked());
    press(form->Option2[2], Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(form->Label2[7]->text(), QStringLiteral("FFFFFF"));
    EXPECT_TRUE(form->Option2[2]->isChecked());
    press(form->Option2[2]);  // already selected: asks again
    EXPECT_EQ(form->Label2[7]->text(), QStringLiteral("0"));
    EXPECT_EQ(dialogs.colourCalls, 3);

    press(form->Option2[0]);
    EXPECT_EQ(dialogs.colourCalls, 3);
    EXPECT_TRUE(form->Option2[0]->isChecked());
    EXPECT_EQ(form->Label2[6]->text(), QStringLiteral("FF"));
    EXPECT_EQ(form->Label2[7]->text(), QStringLiteral("0"));

    press(form->Option1[0], Qt::RightButton);
    EXPECT_EQ(form->Label2[4]->text(), QStringLiteral("FF00"));
    // A double click, as the platform delivers it, is two presses.
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, Qt::NoModifier, form->Option1[0]->mapTo(form.get(), QPoint(5, 5)));
    EXPECT_EQ(dialogs.colourCalls, 6);
    EXPECT_EQ(form->Label2[4]->text(), QStringLiteral("FF0000"));  // the cancel kept it
    EXPECT_TRUE(form->Option1[0]->isChecked());
}

TEST_F(BuildTest, CancelledTextureDialogKeepsThePathHeld) {
    // Nothing held yet: a cancel keeps the colour fill, even under a full click.
    dialogs.openNames = {QString(), QStringLiteral("/textures/brick.bmp"), QString()};
    press(form->Option1[1]);
    EXPECT_TRUE(form->Option1[0]->isChecked());
    EXPECT_EQ(form->Label2[5]->text(), QString());

    press(form->Option1[1], Qt::RightButton);
    EXPECT_TRUE(form->Option1[1]->isChecked());
    EXPECT_EQ(form->Label2[5]->text(), QStringLiteral("/textures/brick.bmp"));

    dialogs.colours.push_back(std::nullopt);
    press(form->Option1[0]);  // back to the colour fill, cancelling its dialog
    EXPECT_TRUE(form->Option1[0]->isChecked());
    EXPECT_EQ(form->Label2[4]->text(), QStringLiteral("FFFFFF"));

    press(form->Option1[1]);
    EXPECT_TRUE(form->Option1[1]->isChecked());
    EXPECT_EQ(form->Label2[5]->text(), QStringLiteral("/textures/brick.bmp"));
    EXPECT_EQ(dialogs.openCalls, 3);
}

TEST_F(BuildTest, SelectingAnOptionWithTheKeyboardOpensNoDialog) {
    QApplication::setActiveWindow(form.get());
    form->Option2[0]->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(form->Option2[0]->hasFocus());
    QTest::keyClick(form->Option2[0], Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_TRUE(form->Option2[2]->isChecked());
    form->Option1[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Option1[0], Qt::Key_Down);
    EXPECT_TRUE(form->Option1[1]->isChecked());
    QTest::keyClick(form->Option1[1], Qt::Key_Space);
    EXPECT_EQ(dialogs.dialogCalls(), 1);  // the font choice only
}
