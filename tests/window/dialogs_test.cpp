#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "dialogs/dialogs.h"
#include "window/form1.h"

using namespace karuvo;
using namespace karuvo::dialogs;

namespace {

// Acts on the modal dialog of type D once it is open (waiting up to two seconds for
// it); `act` closes it. Another dialog found instead is cancelled so that no test hangs.
template <class D>
void whenOpen(std::function<void(D*)> act, int triesLeft = 200) {
    QTimer::singleShot(10, [act, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<D*>(modal)) {
            act(d);
        } else if (auto* other = qobject_cast<QDialog*>(modal)) {
            ADD_FAILURE() << "another dialog opened: " << other->metaObject()->className();
            other->reject();
        } else if (triesLeft > 0) {
            whenOpen<D>(act, triesLeft - 1);
        } else {
            ADD_FAILURE() << "no dialog opened";
        }
    });
}

QStringList buttonTexts(QWidget* dialog) {
    QStringList texts;
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->isVisible()) texts << b->text();
    return texts;
}

}  // namespace

// A bare name gets the suffix, a name with one keeps it; a long face name stays whole.
TEST(DialogValues, TheSuffixGoesOnlyOnABareNameAndTheFaceNameStaysWhole) {
    EXPECT_EQ(withBmpSuffix("/tmp/dir.v2/sheet"), "/tmp/dir.v2/sheet.bmp");
    EXPECT_EQ(withBmpSuffix("/tmp/sheet.BMP"), "/tmp/sheet.BMP");
    QFont f(QString(40, u'X'));
    f.setPointSize(11);
    const FontDescription d = describeFont(f);
    EXPECT_EQ(std::pair(d.height, d.faceName), std::pair(-15, QString(40, u'X')));
}

TEST(Module1, FileDialogsShowTheirTitleAndFilterAndACancelGivesNothing) {
    Module1 dialogs;
    QString title;
    QStringList filters;
    auto readAndCancel = [&] {
        whenOpen<QFileDialog>([&](QFileDialog* d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            d->reject();
        });
    };
    readAndCancel();
    EXPECT_EQ(dialogs.OpenTextureFileDialog(), QString());
    EXPECT_EQ(title, QStringLiteral("テクスチャ画像ファイル名"));
    // One filter offering every format Qt's readers know, PNG among them.
    ASSERT_EQ(filters.size(), 1);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("画像ファイル("))) << filters[0].toStdString();
    const QStringList patterns = filters[0].section(u'(', -1).chopped(1).split(u' ');
    EXPECT_TRUE(patterns.contains(QStringLiteral("*.png")));
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        EXPECT_TRUE(patterns.contains("*." + QString::fromLatin1(format))) << format.toStdString();
    readAndCancel();
    EXPECT_EQ(dialogs.SaveSheetFileDialog(), QString());
    EXPECT_EQ(title, QStringLiteral("保存する画像ファイル名"));
    EXPECT_EQ(filters, QStringList({QStringLiteral("画像ファイル(bmp) (*.bmp)"), QStringLiteral("PNG (透過) (*.png)")}));
}

namespace {

struct RealDialogs : ::testing::Test {
    Module1 dialogs;
    window::Form1 form{dialogs};
    void SetUp() override { form.show(); }
    void press(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5)); }
};

}  // namespace

TEST_F(RealDialogs, QtsOwnDialogsSpeakJapanese) {
    QStringList texts;
    const std::pair<const char*, std::function<void()>> opens[] = {{"font", [&] { form.Command1->click(); }},
                                                                    {"colour", [&] { press(form.Option1[0]); }},
                                                                    {"texture", [&] { press(form.Option1[1]); }},
                                                                    {"save", [&] { form.Command3[1]->click(); }}};
    form.Text1->setPlainText(QStringLiteral("A"));
    for (const auto& [what, open] : opens) {
        SCOPED_TRACE(what);
        texts.clear();
        whenOpen<QDialog>([&texts](QDialog* d) {
            texts = buttonTexts(d);
            d->reject();
        });
        open();
        EXPECT_TRUE(texts.contains(QStringLiteral("キャンセル"))) << texts.join(u'|').toStdString();
        for (const char* english : {"Cancel", "Open", "Save"})
            EXPECT_FALSE(texts.join(u'|').contains(QLatin1String(english))) << texts.join(u'|').toStdString();
    }
    form.Text1->clear();
    // The window's own message box, on a build with nothing to draw.
    QString message;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        texts = buttonTexts(box);
        box->accept();
    });
    form.Command3[0]->click();
    EXPECT_TRUE(message.contains(QStringLiteral("文字"))) << message.toStdString();
    EXPECT_EQ(texts, QStringList{QStringLiteral("OK")});
}

TEST_F(RealDialogs, TheColourChosenInTheDialogIsShownRedInTheLowByte) {
    struct Row { QWidget* option; QLabel* readout; QColor chosen; };
    const Row rows[] = {{form.Option1[0], form.Label2[4], QColor(0x12, 0x34, 0x56)},
                        {form.Option2[1], form.Label2[6], QColor(0xAB, 0xCD, 0xEF)},
                        {form.Option2[2], form.Label2[7], QColor(0x00, 0x80, 0xFF)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.readout->objectName().toStdString());
        whenOpen<QColorDialog>([&](QColorDialog* d) {
            d->setCurrentColor(row.chosen);
            d->accept();
        });
        press(row.option);
        // The platform's colour value: blue in the third byte, red in the low one.
        const unsigned value = unsigned(row.chosen.blue()) << 16 | unsigned(row.chosen.green()) << 8 | unsigned(row.chosen.red());
        EXPECT_EQ(row.readout->text(), QString::number(value, 16).toUpper());
    }
}

TEST_F(RealDialogs, APointSizeBecomesPixelsRoundedAt96Dpi) {
    // 11 pt is 14.67 px: rounding gives 15 where truncation would give 14.
    for (auto [points, pixels] : {std::pair{9, 12}, {11, 15}, {13, 17}}) {
        whenOpen<QFontDialog>([points = points](QFontDialog* d) {
            d->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), points));
            d->accept();
        });
        form.Command1->click();
        EXPECT_EQ(form.ChosenFont.height, -pixels) << points << " pt";
        EXPECT_EQ(form.ChosenFont.faceName, QStringLiteral("DejaVu Sans"));
    }
}
