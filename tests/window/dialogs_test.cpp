#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include "dialogs/dialogs.h"

using namespace karuvo::dialogs;

TEST(WithBmpSuffix, AddsTheSuffixOnlyToABareName) {
    EXPECT_EQ(withBmpSuffix("/tmp/dir.v2/sheet"), "/tmp/dir.v2/sheet.bmp");
    EXPECT_EQ(withBmpSuffix("/tmp/sheet.BMP"), "/tmp/sheet.BMP");
}

TEST(DescribeFont, PointSizesBecomePixelsAt96DpiAndTheFaceNameStaysWhole) {
    QFont f(QString(40, u'X'));
    f.setPointSize(9);
    const karuvo::FontDescription d = describeFont(f);
    EXPECT_EQ(std::pair(d.height, d.faceName), std::pair(-12, QString(40, u'X')));
}

TEST(Module1, FileDialogsShowTheirTitleAndFilterAndACancelGivesNothing) {
    Module1 dialogs;
    QString title;
    QStringList filters;
    // Reads the dialog once it is open, then cancels it.
    auto readAndCancel = [&] {
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(d);
            title = d->windowTitle();
            filters = d->nameFilters();
            d->reject();
        });
    };
    readAndCancel();
    EXPECT_EQ(dialogs.OpenTextureFileDialog(), QString());
    EXPECT_EQ(title, QStringLiteral("テクスチャ画像ファイル名"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("画像ファイル(ico,bmp,gif,jpeg) (*.bmp *.ico *.gif *.jpeg *.jpg)")});
    readAndCancel();
    EXPECT_EQ(dialogs.SaveSheetFileDialog(), QString());
    EXPECT_EQ(title, QStringLiteral("保存する画像ファイル名"));
    EXPECT_EQ(filters, QStringList({QStringLiteral("画像ファイル(bmp) (*.bmp)"), QStringLiteral("PNG (透過) (*.png)")}));
}
