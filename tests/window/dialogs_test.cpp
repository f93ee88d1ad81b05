#include <QAbstractProxyModel>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "dialogs/dialogs.h"
#include "window/window_test.h"

using namespace karuvo;
using namespace karuvo::dialogs;

namespace {

// Acts on the modal dialog of type D once it is open (waiting up to two seconds for
// it); `act` closes it. Another dialog found instead is cancelled so that no test hangs.
template <class D>
void whenOpen(std::function<void(D*)> act, int triesLeft = 200) {
    QTimer::singleShot(10, [act, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<D*>(modal)) act(d);
        else if (auto* other = qobject_cast<QDialog*>(modal)) { ADD_FAILURE() << "another dialog opened: " << other->metaObject()->className(); other->reject(); }
        else if (triesLeft > 0) whenOpen<D>(act, triesLeft - 1);
        else ADD_FAILURE() << "no dialog opened";
    });
}

}  // namespace

// The save dialog's title and types; sizes and dates in Japanese forms under the C locale;
// the question before replacing a file names the file that would be written; the next
// dialog, in this run or a later one, opens in the folder saved to, and a cancel gives nothing.
TEST(Module1, TheSaveDialogSpeaksOfTheFileItWritesAndOpensWhereTheLastSaveWent) {
    QTemporaryDir dir;
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    ASSERT_TRUE(fakes::writeFile(folder + "/photo.jpg.bmp", "12345"));
    QString size, date, question, title;
    QStringList filters;
    whenOpen<QFileDialog>([&](QFileDialog* d) {
        std::tie(title, filters) = std::pair(d->windowTitle(), d->nameFilters());
        auto* files = qobject_cast<QFileSystemModel*>(d->proxyModel()->sourceModel());
        bool loaded = false;
        QObject::connect(files, &QFileSystemModel::directoryLoaded, d, [&](const QString& path) { loaded = loaded || path == folder; });
        d->setDirectory(folder);
        const QModelIndex source = files->index(folder + "/photo.jpg.bmp");
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded && files->size(source) == 5; }));
        const QModelIndex shown = d->proxyModel()->mapFromSource(source);
        std::tie(size, date) = std::pair(shown.siblingAtColumn(1).data().toString(), shown.siblingAtColumn(3).data().toString());
        whenOpen<QMessageBox>([&](QMessageBox* box) { question = box->text(); box->button(QMessageBox::No)->click(); });
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));  // typed into, as a user does
        name->setText(QStringLiteral("photo.jpg"));
        static_cast<QDialog*>(d)->accept();  // asks, is told no, and stays open
        d->selectNameFilter(QStringLiteral("PNG (透過) (*.png)"));
        name->setText(QStringLiteral("sheet"));
        static_cast<QDialog*>(d)->accept();
    });
    const SaveName saved = Module1().SaveSheetFileDialog();
    EXPECT_EQ(std::tuple(saved.path, saved.type, title, size),
              std::tuple(folder + "/sheet.png", SheetFileType::Png, QStringLiteral("保存する画像ファイル名"), QStringLiteral("5 バイト")));
    EXPECT_EQ(filters, QStringList({QStringLiteral("画像ファイル(bmp) (*.bmp)"), QStringLiteral("PNG (透過) (*.png)")}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d")).match(date).hasMatch()) << date.toStdString();
    EXPECT_TRUE(question.contains(QStringLiteral("photo.jpg.bmp"))) << question.toStdString();
    QString opened;
    whenOpen<QFileDialog>([&](QFileDialog* d) { opened = d->directory().canonicalPath(); d->reject(); });
    EXPECT_EQ(std::pair(Module1().SaveSheetFileDialog().path, opened), std::pair(QString(), folder));
}

namespace {

struct RealDialogs : ::testing::Test {
    Module1 dialogs;
    window::Form1 form{dialogs};
    void SetUp() override { form.show(); }
};

}  // namespace

// Qt's own dialogs and the window's message box, on a build with nothing to draw. The
// texture's file types: every format Qt's readers know, then every file.
TEST_F(RealDialogs, QtsOwnDialogsSpeakJapanese) {
    const std::pair<const char*, std::function<void()>> opens[] = {
        {"font", [&] { form.Command1->click(); }}, {"colour", [&] { fakes::WindowTest::press(form.Option1[0]); }},
        {"texture", [&] { fakes::WindowTest::press(form.Option1[1]); }}, {"save", [&] { form.Command3[1]->click(); }},
        {"message", [&] { form.Text1->clear(); form.Command3[0]->click(); }},
        {"font file", [&] { dialogs.ChooseSettingsFileDialog(Module1::SettingsFile::Font, {}); }}};
    form.Text1->setPlainText(QStringLiteral("A"));
    QMap<QString, QStringList> files;  // each file dialog's title and types
    for (const auto& [what, open] : opens) {
        SCOPED_TRACE(what);
        QString texts, message;
        whenOpen<QDialog>([&, what = what](QDialog* d) {
            for (auto* b : d->findChildren<QPushButton*>()) texts += b->isVisible() ? b->text() + u'|' : QString();
            if (auto* box = qobject_cast<QMessageBox*>(d)) message = box->text();
            if (auto* f = qobject_cast<QFileDialog*>(d)) files[what] = QStringList{d->windowTitle()} + f->nameFilters();
            d->reject();
        });
        open();
        if (!message.isEmpty()) {
            EXPECT_TRUE(message.contains(QStringLiteral("文字")) && texts == "OK|") << message.toStdString();
            continue;
        }
        EXPECT_TRUE(texts.contains(QStringLiteral("キャンセル"))) << texts.toStdString();
        EXPECT_FALSE(texts.contains(QRegularExpression(QStringLiteral("Cancel|Open|Save")))) << texts.toStdString();
    }
    EXPECT_EQ(files["font file"], (QStringList{QStringLiteral("フォントファイル"), QStringLiteral("フォントファイル (*.ttf *.otf *.ttc *.otc)"),
                                               QStringLiteral("すべてのファイル (*)")}));
    const QStringList texture = files["texture"];
    ASSERT_EQ(texture.size(), 3);
    EXPECT_TRUE(texture[0] == QStringLiteral("テクスチャ画像ファイル名") && texture[1].startsWith(QStringLiteral("画像ファイル(")) &&
                texture[2] == QStringLiteral("すべてのファイル (*)") && form.Label2[5]->text().isEmpty()) << texture.join(u'|').toStdString();
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        EXPECT_TRUE(texture[1].section(u'(', -1).chopped(1).split(u' ').contains("*." + QString::fromLatin1(format))) << format.toStdString();
}

// Each colour chosen in the real dialog shows in its read-out blue first, as the platform's
// colour values are (red in the low byte), and in a swatch of that colour that covers nothing.
TEST_F(RealDialogs, EachColourChosenShowsInItsReadOutBlueFirstAndInASwatchBesideIt) {
    const struct { QWidget* option; QLabel* readout; QColor chosen; const char* shows; } rows[] = {
        {form.Option1[0], form.Label2[4], QColor(0x12, 0x34, 0x56), "563412"}, {form.Option2[1], form.Label2[6], QColor(0, 0xFF, 0), "FF00"},
        {form.Option2[2], form.Label2[7], QColor(0, 0, 0xFF), "FF0000"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.readout->objectName().toStdString());
        whenOpen<QColorDialog>([&](QColorDialog* d) { d->setCurrentColor(row.chosen); d->accept(); });
        fakes::WindowTest::press(row.option);
        EXPECT_EQ(row.readout->text(), QString::fromLatin1(row.shows));
        QWidget* frame = row.readout->parentWidget();
        auto* swatch = frame->findChild<QWidget*>("Swatch(" + row.readout->objectName().mid(7, 1) + ")");
        ASSERT_NE(swatch, nullptr);
        for (QWidget* other : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_FALSE(other != swatch && other->isVisible() && other->geometry().intersects(swatch->geometry()))
                << other->objectName().toStdString();
        const QImage shown = swatch->grab().toImage();
        EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() / 2) & 0xFFFFFFu, row.chosen.rgb() & 0xFFFFFFu);
    }
}

// A point size becomes pixels rounded at 96 dpi; a bold choice draws as the bold face
// drawn by a plain painter (its ink within a few percent, the regular face's far off).
TEST_F(RealDialogs, APointSizeBecomesPixelsRoundedAt96DpiAndBoldDrawsBold) {
    const auto ink = [](const QImage& image, qint64 sum = 0) {
        for (int i = 0; i < image.width() * image.height(); ++i) sum += qGreen(image.pixel(i % image.width(), i / image.width()));
        return sum;
    };
    // 11 pt is 14.67 px and 13 pt 17.33 px: neither truncated nor rounded up.
    for (auto [points, pixels, bold] : {std::tuple{11, 15, false}, {13, 17, false}, {24, 32, true}}) {
        whenOpen<QFontDialog>([points = points, bold = bold](QFontDialog* d) {
            d->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), points));
            // A click on the face's own style, as a user picks it.
            for (QListView* styles : d->findChildren<QListView*>()) {
                const QModelIndexList found = styles->model()->match(styles->model()->index(0, 0), Qt::DisplayRole,
                                                                     QStringLiteral("Bold"), 1, Qt::MatchExactly);
                if (bold && !found.isEmpty()) styles->setCurrentIndex(found[0]);
            }
            d->accept();
        });
        form.Command1->click();
        EXPECT_EQ(std::pair(form.ChosenFont.height, form.ChosenFont.faceName), std::pair(-pixels, QStringLiteral("DejaVu Sans")))
            << points << " pt";
        if (!bold) continue;
        form.Text1->setPlainText(QStringLiteral("Hm"));
        for (window::TextBox* cell : form.Text2) cell->setText(QStringLiteral("40"));
        form.Command3[0]->click();
        const qint64 drawn = ink(form.Picture1[0]->picture().qimage());
        const qint64 want = ink(fakes::drawnSheet("Hm", fakes::plainFace("DejaVu Sans", pixels, true), 40, 40, qRgb(255, 255, 255)));
        const qint64 regular = ink(fakes::drawnSheet("Hm", fakes::plainFace("DejaVu Sans", pixels), 40, 40, qRgb(255, 255, 255)));
        EXPECT_LT(std::abs(drawn - want), want / 50) << drawn << " against " << want << " regular " << regular;
        EXPECT_GT(want - regular, want / 8);  // the two faces are told apart
    }
}
