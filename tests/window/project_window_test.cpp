// The window and project files: a project opened fills the controls and builds what the
// command line builds from it; saved back, it keeps what no control shows; unsaved
// changes are asked about; a project that cannot be read changes nothing.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QUrl>

#include "support/cli_process.h"
#include "window/window_test.h"

using namespace karuvo;
using karuvo::fakes::readFile;
using karuvo::window::Form1;
using Unsaved = dialogs::Dialogs::Unsaved;

namespace {

struct ProjectWindowTest : fakes::WindowTest {
    void write(const QString& name, const QByteArray& bytes) { ASSERT_TRUE(fakes::writeFile(path(name), bytes)); }
    // Writes a project beside the test's files (FONTFILE in it names a font file of a family
    // no font configuration knows, copied there) and opens it in the window.
    QString open(const QString& name, QByteArray json) {
        QFile::copy(fakes::testFonts() + QStringLiteral("/pair.ttc"), path(QStringLiteral("pair.ttc")));
        write(name, json.replace("FONTFILE", "pair.ttc").replace("COLRFILE", fakes::testFonts().toUtf8() + "/colr.ttf"));
        dialogs.projectOpenNames.push_back(path(name));
        form->mnuOpen->trigger();
        return path(name);
    }
    void cli(const QStringList& args) { const auto [status, err] = fakes::runCli(args); ASSERT_EQ(status, 0) << err; }
    // What the controls show: Text1, Text2 (empty for a fitted cell), the read-outs (blue
    // first, no leading zeros), the Option2 selected, Text3, Label1 and the texture's Label2.
    std::string controls() const {
        int effect = 0;
        while (!form->Option2[effect]->isChecked()) ++effect;
        return QStringList({form->text1Text(), form->Text2[0]->text(), form->Text2[1]->text(), form->Label2[4]->text(), form->Label2[6]->text(),
                            form->Label2[7]->text(), QString::number(effect), form->Text3[0]->text() + u',' + form->Text3[1]->text(),
                            form->Text3[2]->text(), form->Label1[0]->text(), form->Label2[5]->text()}).join(u'|').toStdString();
    }
};

}  // namespace

// Each project opens into the controls, and 書き出し writes every output it names byte for
// byte as karuvo-cli --project writes them, saying how many and the folder it made; 保存 of a distance field writes
// karuvo-cli's field, and its preview is that field, grey.
TEST_F(ProjectWindowTest, OpeningFillsTheControlsAndExportWritesWhatTheCommandLineWrites) {
    const struct { const char* name; QByteArray json; const char16_t* controls; } cases[] = {
        // Pages of a typed text in a bold face, a shadow, colours, a cell given.
        {"typed.karuvo",
         R"({"karuvo": 1, "text": "Ab\nc\nd", "font": {"family": "DejaVu Sans", "size": 20, "bold": true},
             "cell": {"width": 12, "height": 28}, "fill": {"kind": "colour", "colour": "#FF8000"},
             "effect": {"kind": "shadow", "dx": 2, "dy": -3, "shadowColour": "#102030", "radius": 4, "outlineColour": "#0000FF"},
             "output": {"sheet": "w/s.png", "maxSize": 60, "fnt": "w/s.fnt", "fntFormat": "xml", "json": "w/s.json"}})",
         u"Ab\nc\nd|12|28|80FF|302010|FF0000|1|2,-3|4|DejaVu Sans"},
        // Lists in rows of the columns (a character above U+FFFF is one), a face of a font
        // file, a fitted cell, no anti-aliasing.
        {"lists.karuvo",
         R"({"karuvo": 1, "chars": "U+0041-U+0047,x,U+1D400", "columns": 3,
             "font": {"file": "FONTFILE", "faceIndex": 1, "size": 18, "mono": true}, "cell": "fitted",
             "effect": {"kind": "outline", "radius": 2, "outlineColour": "#00FF00"},
             "output": {"sheet": "w/l.bmp", "fnt": "w/l.fnt", "fntFormat": "binary", "pitch": "cell"}})",
         u"ABC\nDEF\nGx\U0001D400|||FFFFFF|FFFFFF|FF00|2|0,0|2|Karuvo Test Serif"},
        // A distance field, which no control shows, with the default font; lists without
        // columns, sixteen to a row.
        {"field.karuvo", R"({"karuvo": 1, "chars": "U+0041-U+0052", "fill": {"kind": "colour", "colour": "#FF8000"},
                             "output": {"sheet": "w/f.png", "json": "w/f.json", "distanceRange": 4}})",
         u"ABCDEFGHIJKLMNOP\nQR|||80FF|FFFFFF|FFFFFF|0|0,0|0|"},
        // Colour glyphs, which no control shows either.
        {"colour.karuvo", R"({"karuvo": 1, "text": "AB", "font": {"file": "COLRFILE"}, "output": {"sheet": "w/f.png", "colourGlyphs": true}})",
         u"AB|||FFFFFF|FFFFFF|FFFFFF|0|0,0|0|Karuvo Test Colr"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString project = open(c.name, c.json);
        ASSERT_EQ(dialogs.messages, QStringList());
        EXPECT_EQ(std::pair(form->windowTitle(), form->isWindowModified()),
                  std::pair(QString::fromLatin1(c.name) + QStringLiteral("[*] - KARUVO作成ツール"), false));
        EXPECT_EQ(controls(), QString::fromUtf16(c.controls).toStdString() + "|");

        form->mnuExport->trigger();
        ASSERT_EQ(dialogs.messages, QStringList()) << dialogs.messages.join(u'\n').toStdString();
        const QStringList written = fakes::entries(path("w")), tip = form->statusText->toolTip().split(u'\n');
        EXPECT_TRUE(tip[0].startsWith(QString::number(written.size()) + " 個のファイルを書き出しました")) << tip[0].toStdString();
        EXPECT_EQ(tip.value(1), QStringLiteral("なかったフォルダーを作りました: ") + path("w"));
        ASSERT_TRUE(QDir(dir.path()).rename("w", "window"));
        // The status bar tells of ink past the cells, and the cell that holds it, as the command line does.
        const std::string err = fakes::runCli({QStringLiteral("--project"), project, QStringLiteral("-q")}).second;
        const QRegularExpressionMatch holds = QRegularExpression(R"(ink of .* cells of (\d+) x (\d+) would)").match(QString::fromStdString(err));
        EXPECT_EQ(holds.hasMatch(), QByteArray(c.name) == "typed.karuvo") << err;
        EXPECT_EQ(tip.join(u'\n').contains(QStringLiteral("のインクがはみ出しています: %1 × %2 のセル").arg(holds.captured(1), holds.captured(2))), holds.hasMatch());
        EXPECT_EQ(fakes::entries(path("w")), written);
        for (const QString& file : written)
            EXPECT_EQ(readFile(path("window/") + file).toStdString(), readFile(path("w/") + file).toStdString()) << file.toStdString();
        EXPECT_FALSE(form->isWindowModified());  // building touched no setting of the project
        if (written.contains("f.png")) {  // 保存 of the sheet shown
            dialogs.saveNames.push_back({path("saved.png")});
            form->Command3[1]->click();
            EXPECT_EQ(readFile(path("saved.png")), readFile(path("w/f.png")));
        }
        if (QByteArray(c.name) == "field.karuvo") {
            form->Command3[0]->click();
            const Image& shown = form->Picture1[0]->picture();
            const QImage field = QImage(path("w/f.png")).convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(QSize(shown.width(), shown.height()), field.size());
            int wrong = 0, partial = 0;
            for (int y = 0; y < field.height(); ++y)
                for (int x = 0; x < field.width(); ++x)
                    wrong += (shown.pixel(x, y) & 0xFFFFFFu) != 0x010101u * qAlpha(field.pixel(x, y)), partial += qAlpha(field.pixel(x, y)) % 255 != 0;
            EXPECT_TRUE(wrong == 0 && partial > 0) << wrong;  // partial: levels between the ends, where rounding shows
        }
        ASSERT_TRUE(QDir(path("window")).removeRecursively() && QDir(path("w")).removeRecursively());
    }
}

// Saved back, a project keeps what no control shows; a changed control changes its key,
// as the same option given over the project would.
TEST_F(ProjectWindowTest, SavingBackKeepsWhatNoControlShows) {
    const QString project = open("keep.karuvo", R"({"karuvo": 1, "chars": "U+0030-U+0039,A", "columns": 4,
            "font": {"file": "FONTFILE", "faceIndex": 1, "size": 16, "mono": true, "fallback": false},
            "cell": "fitted", "fill": {"kind": "colour", "colour": "#123456"},
            "output": {"sheet": "s.png", "maxSize": 200, "fnt": "s.fnt", "fntFormat": "xml", "json": "s.json",
                       "pitch": "cell"}})");
    ASSERT_EQ(dialogs.messages, QStringList());
    const struct { const char* what; std::function<void()> change; QStringList options; } steps[] = {
        {"unchanged", [] {}, {}},
        {"a cell typed", [&] { form->Text2[0]->setText("12"); emit form->Text2[0]->textEdited("12");
                               form->Text2[1]->setText("30"); }, {"-c", "12x30"}},
        {"a shadow", [&] { dialogs.colours.push_back(0x00030201); form->Option2_MouseDown(1, 1, 0, 0, 0);
                           form->Text3[0]->setText("5"); }, {"-c", "12x30", "--shadow", "5,0", "--shadow-colour", "#010203"}},
        // A demibold face (600) is saved as bold; the face's file and index go with the old font.
        {"a demibold face", [&] { FontDescription demi = fakes::faceDescription("URW Gothic", 20);
                                  demi.weight = 600; dialogs.fonts.push_back(demi); form->Command1->click(); },
         {"-c", "12x30", "--shadow", "5,0", "--shadow-colour", "#010203", "-f", "URW Gothic", "-s", "20", "--bold"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(form->isWindowModified(), step.options.size() > 0);
        dialogs.projectSaveNames.push_back(path("window.karuvo"));
        form->mnuSaveAs->trigger();
        ASSERT_EQ(dialogs.messages, QStringList());
        cli(step.options + QStringList{"--project", project, "--save-project", path("cli.karuvo")});
        EXPECT_EQ(readFile(path("window.karuvo")), readFile(path("cli.karuvo")));
        EXPECT_EQ(std::tuple(form->isWindowModified(), form->projectPath(), form->windowTitle()),
                  std::tuple(false, path("window.karuvo"), QStringLiteral("window.karuvo[*] - KARUVO作成ツール")));
    }

    // A cell that a project cannot hold is not saved.
    const QByteArray saved = readFile(path("window.karuvo"));
    form->Text2[0]->setText("0");
    form->mnuSave->trigger();
    const QString says = said();
    EXPECT_TRUE(says.startsWith(QStringLiteral("この設定はプロジェクトに保存できないため")) &&
                says.contains("cell: the cell size 0x30 has no area")) << says.toStdString();
    EXPECT_TRUE(readFile(path("window.karuvo")) == saved && form->isWindowModified());

    // Typing into the box makes the listed characters a typed text of its rows.
    form->Text2[0]->setText("12");
    form->Text1->setPlainText(form->Text1->toPlainText() + QStringLiteral("\nZ"));
    form->mnuSave->trigger();
    const QJsonObject typed = QJsonDocument::fromJson(readFile(path("window.karuvo"))).object();
    EXPECT_EQ(typed.value("text").toString(), QStringLiteral("0123\n4567\n89A\nZ"));
    EXPECT_FALSE(typed.contains("chars") || typed.contains("columns"));
}

// Closing or opening another project with unsaved changes asks first; nothing unsaved, nothing asked.
TEST_F(ProjectWindowTest, UnsavedChangesAreSavedDiscardedOrKept) {
    write("other.karuvo", R"({"karuvo": 1, "text": "B"})");
    const struct { Unsaved answer; bool viaOpen, closes, saved; } cases[] = {
        {Unsaved::Save, false, true, true}, {Unsaved::Discard, false, true, false}, {Unsaved::Cancel, false, false, false},
        {Unsaved::Save, true, true, true},  {Unsaved::Cancel, true, false, false},  {Unsaved::Cancel, false, true, false}};
    for (const auto& c : cases) {
        const bool changed = &c != &cases[5];
        SCOPED_TRACE(testing::Message() << int(c.answer) << (c.viaOpen ? " on opening" : " on closing") << changed);
        form = std::make_unique<Form1>(dialogs);
        form->show();
        const QString project = open("ask.karuvo", R"({"karuvo": 1, "text": "A", "effect": {"kind": "outline", "radius": 1}})");
        if (changed) { form->Text3[2]->setText(QStringLiteral("7")); dialogs.unsavedAnswers.push_back(c.answer); }
        if (c.viaOpen) {
            if (c.closes) dialogs.projectOpenNames.push_back(path("other.karuvo"));
            form->mnuOpen->trigger();
            EXPECT_EQ(form->projectPath(), c.closes ? path("other.karuvo") : project);
        } else {
            form->close();
            EXPECT_EQ(form->isVisible(), !c.closes);
        }
        EXPECT_EQ(std::exchange(dialogs.unsavedQuestions, {}), changed ? QStringList{QStringLiteral("ask.karuvo")} : QStringList());
        EXPECT_EQ(QJsonDocument::fromJson(readFile(project)).object().value("effect").toObject().value("radius").toInt(),
                  c.saved ? 7 : 1);
    }
}

// A project that cannot be read is refused wholly in Japanese (where, which key, what is
// allowed; keys and values as written), one whose font cannot be loaded under a Japanese
// lead; either way the window stays as it was, its project included.
TEST_F(ProjectWindowTest, AProjectThatFailsLeavesTheWindowAsItWas) {
    open("good.karuvo", R"({"karuvo": 1, "text": "Good", "cell": {"width": 20, "height": 20}, "fill": {"colour": "#FF0000"}})");
    form->Text1->setPlainText(QStringLiteral("changed"));
    const auto before = std::tuple(controls(), form->windowTitle(), path("good.karuvo"), true);
    const QString reader = QStringLiteral("プロジェクト \"") + path("bad.karuvo") + "\": ";
    const QString missing = QStringLiteral("プロジェクトまたはそれが指すファイルを読み込めません。ファイル名とフォルダを確かめてください。");
    const struct { const char* json; const char* detail; const QString& lead; } cases[] = {
        {"{\"karuvo\": 1,\n \"text\": \"A\",,}", "JSON ではありません: 2 行目 ", reader},
        {R"({"karuvo": 1, "text": 5})", "text は文字列で指定してください（数値が指定されています）", reader},
        {R"({"karuvo": 1, "text": "A", "output": {"pitch": "wide"}})",
         "output.pitch: 送り幅 \"wide\" は font, cell のいずれでもありません。いずれかを指定してください", reader},
        {R"({"karuvo": 1, "text": "A", "font": {"file": "missing.ttf"}})", "missing.ttf", missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        dialogs.unsavedAnswers.push_back(Unsaved::Discard);
        open("bad.karuvo", c.json);
        const QString says = said();
        EXPECT_TRUE(says.startsWith(c.lead) && says.contains(QString::fromUtf8(c.detail))) << says.toStdString();
        EXPECT_EQ(std::tuple(controls(), form->windowTitle(), form->projectPath(), form->isWindowModified()), before);
    }
}

// 書き出し refuses an output that is one of the project's inputs, leaving the input as it
// was, in the project's own words.
TEST_F(ProjectWindowTest, ExportRefusesOutputsNamedWrongly) {
    open("first.karuvo", R"({"karuvo": 1, "text": "A", "font": {"file": "FONTFILE"}})");  // puts the font file there
    ASSERT_TRUE(fakes::patterned(4, 4).qimage().save(path("t.png")) && fakes::writeFile(path("words.txt"), "AB"));
    const auto inputs = [&] { return readFile(path("pair.ttc")) + readFile(path("t.png")) + readFile(path("words.txt")); };
    const QByteArray before = inputs();
    // Each said with its lead and the words after it ("|" between them).
    const struct { const char* json; const char* says; } refused[] = {
        {R"({"karuvo": 1, "text": "A", "fill": {"kind": "texture", "texture": "t.png"}, "output": {"sheet": "t.png"}})",
         "ファイルに書き込めません。|output.sheet|fill.texture"},
        {R"({"karuvo": 1, "text": "A", "font": {"file": "pair.ttc"}, "output": {"sheet": "s.png", "json": "pair.ttc"}})",
         "ファイルに書き込めません。|output.json|font.file"},
        {R"({"karuvo": 1, "textFile": "words.txt", "output": {"sheet": "s.bmp", "fnt": "words.txt"}})",
         "ファイルに書き込めません。|output.fnt|textFile"}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.json);
        open("refused.karuvo", c.json);
        ASSERT_EQ(dialogs.messages, QStringList());
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        form->mnuExport->trigger();
        const QString says = said();
        const QStringList words = QString::fromUtf8(c.says).split(u'|');
        EXPECT_TRUE(says.startsWith(words[0]) && says.contains(words[1]) && says.contains(words[2])) << says.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), files);
        EXPECT_TRUE(inputs() == before);
    }
}

// A project file dropped on the window opens it; any other file is not taken. Its list of
// characters without columns shows 16 to a line.
TEST_F(ProjectWindowTest, ADroppedProjectOpens) {
    write("dropped.karuvo", R"({"karuvo": 1, "chars": "U+0041-U+0052"})");
    write("other.txt", "Drop");
    for (const char* name : {"other.txt", "dropped.karuvo"}) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(name))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &enter);
        QApplication::sendEvent(form.get(), &drop);
        EXPECT_EQ(enter.isAccepted(), QString::fromLatin1(name).endsWith(".karuvo")) << name;
    }
    EXPECT_EQ(std::pair(form->projectPath(), form->text1Text()), std::pair(path("dropped.karuvo"), QStringLiteral("ABCDEFGHIJKLMNOP\nQR")));
}

// A project's font file with a glyph that cannot be drawn is refused by プレビュー and
// 書き出し alike, before anything is drawn from it.
TEST_F(ProjectWindowTest, AFontFileWithADamagedGlyphIsRefusedBeforeDrawing) {
    ASSERT_TRUE(QFile::copy(fakes::testFonts() + QStringLiteral("/damaged.ttf"), path("damaged.ttf")));
    open("damaged.karuvo", R"({"karuvo": 1, "text": "AV", "font": {"file": "damaged.ttf", "size": 40},
        "output": {"sheet": "d.png"}})");
    ASSERT_EQ(dialogs.messages, QStringList());
    form->Command3[0]->click();
    form->mnuExport->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2);
    for (const QString& message : dialogs.messages) EXPECT_TRUE(message.contains("U+0056 V is damaged")) << message.toStdString();
    EXPECT_FALSE(form->Picture1[0]->isVisible() || QFile::exists(path("d.png")));
}
