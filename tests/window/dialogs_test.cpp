#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "dialogs/dialogs.h"

using namespace karuvo;
using namespace karuvo::dialogs;

namespace {

// Acts on the next modal dialog of type T as soon as it is open; `act` must close it
// (or leave it open for a later call). Fails the test if none opens in time.
template <class T>
void onNextModal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no dialog opened";
            if (auto* w = QApplication::activeModalWidget()) w->close();
        }
    });
    timer->start(10);
}

// Types a file name into the dialog's name box, as a user would, and presses Enter.
void typeName(QFileDialog* dialog, const QString& folder, const QString& name) {
    dialog->setDirectory(folder);
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
    static_cast<QDialog*>(dialog)->accept();
}

}  // namespace

TEST(DescribeFont, PointSizesBecomePixelsAt96DpiAndTheFaceIsKeptWhole) {
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPointSize(9);
    FontDescription d = describeFont(f);
    EXPECT_EQ(d.height, -12);
    EXPECT_EQ(d.faceName, QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(d.pitchAndFamily & 0x03, 1);  // fixed pitch
    EXPECT_EQ(d.weight, 400);
    EXPECT_FALSE(d.isZero());

    f.setPointSizeF(10.5);  // 14 px
    f.setBold(true);
    f.setItalic(true);
    f.setUnderline(true);
    f.setStrikeOut(true);
    d = describeFont(f);
    EXPECT_EQ(d.height, -14);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(std::tuple(d.italic, d.underline, d.strikeOut), std::tuple(1, 1, 1));

    QFont pixels(QStringLiteral("A face name that is a good deal longer than thirty-two bytes"));
    pixels.setPixelSize(20);
    d = describeFont(pixels);
    EXPECT_EQ(d.height, -20);
    EXPECT_EQ(d.faceName, QStringLiteral("A face name that is a good deal longer than thirty-two bytes"));
}

TEST(WithBmpSuffix, AddsTheSuffixOnlyToABareName) {
    EXPECT_EQ(withBmpSuffix("/tmp/sheet"), "/tmp/sheet.bmp");
    EXPECT_EQ(withBmpSuffix("/tmp/dir.v2/sheet"), "/tmp/dir.v2/sheet.bmp");
    EXPECT_EQ(withBmpSuffix("/tmp/sheet.BMP"), "/tmp/sheet.BMP");
    EXPECT_EQ(withBmpSuffix("/tmp/sheet.png"), "/tmp/sheet.png");
    EXPECT_EQ(withBmpSuffix(""), "");
}

TEST(Module1, OpenDialogShowsItsTitleAndOneFilterAndCancelGivesNothing) {
    Module1 dialogs;
    QString title;
    QStringList filters;
    QFileDialog::FileMode mode{};
    onNextModal<QFileDialog>([&](QFileDialog* d) {
        title = d->windowTitle();
        filters = d->nameFilters();
        mode = d->fileMode();
        d->reject();
    });
    EXPECT_EQ(dialogs.OpenTextureFileDialog(), QString());
    EXPECT_EQ(title, QStringLiteral("テクスチャ画像ファイル名"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("画像ファイル(ico,bmp,gif,jpeg) (*.bmp *.ico *.gif *.jpeg *.jpg)")});
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
}

TEST(Module1, SaveDialogAddsTheSuffixAndConfirmsAnOverwrite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Module1 dialogs;

    QString title;
    QStringList filters;
    onNextModal<QFileDialog>([&](QFileDialog* d) {
        title = d->windowTitle();
        filters = d->nameFilters();
        typeName(d, dir.path(), "sheet");
    });
    EXPECT_EQ(dialogs.SaveSheetFileDialog(), dir.filePath("sheet.bmp"));
    EXPECT_EQ(title, QStringLiteral("保存する画像ファイル名"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("画像ファイル(bmp) (*.bmp)")});

    // An existing file: the usual question first; "No" keeps the dialog open.
    QFile existing(dir.filePath("old.bmp"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    bool asked = false;
    onNextModal<QFileDialog>([&](QFileDialog* d) {
        onNextModal<QMessageBox>([&, d](QMessageBox* box) {
            asked = true;
            box->button(QMessageBox::No)->click();
            QTimer::singleShot(0, d, [d] { d->reject(); });
        });
        typeName(d, dir.path(), "old");
    });
    EXPECT_EQ(dialogs.SaveSheetFileDialog(), QString());
    EXPECT_TRUE(asked);
}

TEST(Module1, ColourDialogStartsWithoutEarlierCustomColoursAndTellsCancelFromBlack) {
    Module1 dialogs;
    QColorDialog::setCustomColor(3, QColor(Qt::green));
    QColor customAtOpen;
    onNextModal<QColorDialog>([&](QColorDialog* d) {
        customAtOpen = QColorDialog::customColor(3);
        d->setCurrentColor(QColor(255, 0, 0));
        d->accept();
    });
    EXPECT_EQ(dialogs.ChooseColorDialog(), std::optional<Colour>(0xFF));
    EXPECT_EQ(customAtOpen, QColor(Qt::black));

    onNextModal<QColorDialog>([](QColorDialog* d) {
        d->setCurrentColor(QColor(0, 0, 0));
        d->accept();
    });
    EXPECT_EQ(dialogs.ChooseColorDialog(), std::optional<Colour>(0));

    onNextModal<QColorDialog>([](QColorDialog* d) { d->reject(); });
    EXPECT_EQ(dialogs.ChooseColorDialog(), std::nullopt);
}

TEST(Module1, FontDialogHandsBackTheDescriptionOrNothing) {
    Module1 dialogs;
    onNextModal<QFontDialog>([](QFontDialog* d) {
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPointSize(9);
        d->setCurrentFont(f);
        d->accept();
    });
    const std::optional<FontDescription> chosen = dialogs.ChooseFontDialog();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->height, -12);
    EXPECT_EQ(chosen->faceName, QStringLiteral("DejaVu Sans Mono"));

    onNextModal<QFontDialog>([](QFontDialog* d) { d->reject(); });
    EXPECT_EQ(dialogs.ChooseFontDialog(), std::nullopt);
}
