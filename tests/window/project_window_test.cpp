// The window and project files: a project opened fills the controls and builds what the
// command line builds from it; saved back, it keeps what no control shows; unsaved
// changes are asked about; a project that cannot be read changes nothing.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
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
    // Writes a project beside the test's files and opens it in the window.
    QString open(const QString& name, const QByteArray& json) {
        write(name, json);
        dialogs.projectOpenNames.push_back(path(name));
        form->mnuOpen->trigger();
        return path(name);
    }
    // Every value a control shows, to tell whether the window changed.
    QStringList shown() const {
        QStringList all{form->windowTitle(), form->text1Text(), form->Label1[0]->text()};
        for (QWidget* w : form->findChildren<QWidget*>()) {
            if (auto* label = qobject_cast<QLabel*>(w)) all << label->text();
            if (auto* box = qobject_cast<QLineEdit*>(w)) all << box->text();
            if (auto* option = qobject_cast<QRadioButton*>(w)) all << QString::number(option->isChecked());
        }
        return all;
    }
};

// A font file of a family no font configuration knows, beside the project.
QByteArray withFontFile(QByteArray json, const QTemporaryDir& dir) {
    QFile::copy(fakes::testFonts() + QStringLiteral("/pair.ttc"), dir.filePath(QStringLiteral("pair.ttc")));
    return json.replace("FONTFILE", "pair.ttc");
}

}  // namespace

// Each project opens into the controls, and 保存 writes byte for byte the sheet that
// karuvo-cli --project writes.
TEST_F(ProjectWindowTest, OpeningFillsTheControlsAndTheSheetIsTheCommandLines) {
    // Text1, Text2 (empty for a fitted cell), the read-outs (blue first, no leading zeros),
    // the Option2 selected, Text3 and Label1.
    struct Case {
        const char* name;
        QByteArray json;
        QString text, cellWidth, cellHeight, fill, shadow, outline;
        int effect;
        QString offsets, radius, family;
        const char* sheet;
    };
    const Case cases[] = {
        {"typed.karuvo",
         R"({"karuvo": 1, "text": "Ab\nc", "font": {"family": "DejaVu Sans", "size": 20, "bold": true},
             "cell": {"width": 30, "height": 28}, "fill": {"kind": "colour", "colour": "#FF8000"},
             "effect": {"kind": "shadow", "dx": 2, "dy": -3, "shadowColour": "#102030", "radius": 4,
                        "outlineColour": "#0000FF"}})",
         "Ab\nc", "30", "28", "80FF", "302010", "FF0000", 1, "2,-3", "4", "DejaVu Sans", "typed.png"},
        // Lists in rows of the columns, a face of a font file, a fitted cell, no anti-aliasing.
        {"lists.karuvo",
         R"({"karuvo": 1, "chars": "U+0041-U+0047,x", "columns": 3,
             "font": {"file": "FONTFILE", "faceIndex": 1, "size": 18, "mono": true}, "cell": "fitted",
             "effect": {"kind": "outline", "radius": 2, "outlineColour": "#00FF00"},
             "output": {"sheet": "out/lists.png", "fnt": "out/lists.fnt", "pitch": "cell"}})",
         "ABC\nDEF\nGx", "", "", "FFFFFF", "FFFFFF", "FF00", 2, "0,0", "2", "Karuvo Test Serif", "lists.bmp"},
        // A distance field, which no control shows, with the default font.
        {"field.karuvo", R"({"karuvo": 1, "text": "Qj", "output": {"sheet": "f.png", "distanceRange": 4}})", "Qj",
         "", "", "FFFFFF", "FFFFFF", "FFFFFF", 0, "0,0", "0", "", "field.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString project = open(c.name, withFontFile(c.json, dir));
        ASSERT_EQ(dialogs.messages, QStringList());
        EXPECT_EQ(form->windowTitle(), QString::fromLatin1(c.name) + QStringLiteral("[*] - KARUVO作成ツール"));
        EXPECT_FALSE(form->isWindowModified());
        EXPECT_EQ(form->text1Text(), c.text);
        EXPECT_EQ(std::pair(form->Text2[0]->text(), form->Text2[1]->text()), std::pair(c.cellWidth, c.cellHeight));
        EXPECT_EQ((QStringList{form->Label2[4]->text(), form->Label2[6]->text(), form->Label2[7]->text()}),
                  (QStringList{c.fill, c.shadow, c.outline}));
        EXPECT_TRUE(form->Option2[c.effect]->isChecked());
        EXPECT_EQ(form->Text3[0]->text() + u',' + form->Text3[1]->text(), c.offsets);
        EXPECT_EQ(form->Text3[2]->text(), c.radius);
        EXPECT_EQ(form->Label1[0]->text(), c.family);

        dialogs.saveNames.push_back({path(c.sheet), QString::fromLatin1(c.sheet).endsWith(".png")
                                                      ? dialogs::SheetFileType::Png
                                                      : dialogs::SheetFileType::Bitmap});
        form->Command3[1]->click();
        ASSERT_EQ(dialogs.messages, QStringList());
        const QString cli = path("cli-") + QString::fromLatin1(c.sheet);
        const auto [status, err] =
            fakes::runCli({QStringLiteral("--project"), project, QStringLiteral("-o"), cli, QStringLiteral("-q")});
        ASSERT_EQ(status, 0) << err;
        EXPECT_EQ(readFile(path(c.sheet)), readFile(cli));
        // Building touched no setting of the project.
        EXPECT_FALSE(form->isWindowModified());
    }
}

// Saved back, a project keeps what no control shows; a changed control changes its key,
// as the same option given over the project would.
TEST_F(ProjectWindowTest, SavingBackKeepsWhatNoControlShows) {
    const QString project =
        open("keep.karuvo", withFontFile(R"({"karuvo": 1, "chars": "U+0030-U+0039,A", "columns": 4,
            "font": {"file": "FONTFILE", "faceIndex": 1, "size": 16, "mono": true, "fallback": false},
            "cell": "fitted", "fill": {"kind": "colour", "colour": "#123456"},
            "output": {"sheet": "s.png", "maxSize": 200, "fnt": "s.fnt", "fntFormat": "xml", "json": "s.json",
                       "pitch": "cell"}})", dir));
    ASSERT_EQ(dialogs.messages, QStringList());
    const auto cliSaved = [&](QStringList options) {
        options << QStringLiteral("--project") << project << QStringLiteral("--save-project") << path("cli.karuvo");
        const auto [status, err] = fakes::runCli(options);
        EXPECT_EQ(status, 0) << err;
        return readFile(path("cli.karuvo"));
    };
    struct Step { const char* what; std::function<void()> change; QStringList options; };
    const Step steps[] = {
        {"unchanged", [] {}, {}},
        {"a cell typed", [&] { form->Text2[0]->setText("12"); emit form->Text2[0]->textEdited("12");
                               form->Text2[1]->setText("30"); }, {"-c", "12x30"}},
        {"a shadow", [&] { dialogs.colours.push_back(0x00030201); form->Option2_MouseDown(1, 1, 0, 0, 0);
                           form->Text3[0]->setText("5"); }, {"-c", "12x30", "--shadow", "5,0", "--shadow-colour", "#010203"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(form->isWindowModified(), step.options.size() > 0);
        dialogs.projectSaveNames.push_back(path("window.karuvo"));
        form->mnuSaveAs->trigger();
        ASSERT_EQ(dialogs.messages, QStringList());
        EXPECT_EQ(readFile(path("window.karuvo")), cliSaved(step.options));
        EXPECT_FALSE(form->isWindowModified());
        EXPECT_EQ(form->projectPath(), path("window.karuvo"));
        EXPECT_EQ(form->windowTitle(), QStringLiteral("window.karuvo[*] - KARUVO作成ツール"));
    }

    // A cell that a project cannot hold is not saved.
    const QByteArray saved = readFile(path("window.karuvo"));
    form->Text2[0]->setText("0");
    form->mnuSave->trigger();
    const QString says = said();
    EXPECT_TRUE(says.startsWith(QStringLiteral("この設定はプロジェクトに保存できないため")) &&
                says.contains("cell: the cell size 0x30 has no area"))
        << says.toStdString();
    EXPECT_EQ(readFile(path("window.karuvo")), saved);
    EXPECT_TRUE(form->isWindowModified());
    form->Text2[0]->setText("12");

    // Typing into the box makes the listed characters a typed text of its rows.
    form->Text1->setPlainText(form->Text1->toPlainText() + QStringLiteral("\nZ"));
    form->mnuSave->trigger();
    const QJsonObject typed = QJsonDocument::fromJson(readFile(path("window.karuvo"))).object();
    EXPECT_EQ(typed.value("text").toString(), QStringLiteral("0123\n4567\n89A\nZ"));
    EXPECT_FALSE(typed.contains("chars") || typed.contains("columns"));
    EXPECT_EQ(typed.value("output").toObject().value("fntFormat").toString(), QStringLiteral("xml"));
}

// Closing or opening another project with unsaved changes asks first.
TEST_F(ProjectWindowTest, UnsavedChangesAreSavedDiscardedOrKept) {
    const QByteArray json = R"({"karuvo": 1, "text": "A", "effect": {"kind": "outline", "radius": 1}})";
    struct Case { Unsaved answer; bool viaOpen; bool closes; bool saved; };
    const Case cases[] = {{Unsaved::Save, false, true, true},    {Unsaved::Discard, false, true, false},
                          {Unsaved::Cancel, false, false, false}, {Unsaved::Save, true, true, true},
                          {Unsaved::Cancel, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.answer) << (c.viaOpen ? " on opening" : " on closing"));
        form = std::make_unique<Form1>(dialogs);
        form->show();
        const QString project = open("ask.karuvo", json);
        write("other.karuvo", R"({"karuvo": 1, "text": "B"})");
        form->Text3[2]->setText(QStringLiteral("7"));
        EXPECT_TRUE(form->isWindowModified());
        dialogs.unsavedAnswers.push_back(c.answer);
        dialogs.unsavedQuestions.clear();
        if (c.viaOpen) {
            if (c.closes) dialogs.projectOpenNames.push_back(path("other.karuvo"));
            form->mnuOpen->trigger();
            EXPECT_EQ(form->projectPath(), c.closes ? path("other.karuvo") : project);
        } else {
            form->close();
            EXPECT_EQ(form->isVisible(), !c.closes);
        }
        EXPECT_EQ(dialogs.unsavedQuestions, QStringList{QStringLiteral("ask.karuvo")});
        EXPECT_EQ(QJsonDocument::fromJson(readFile(project)).object().value("effect").toObject().value("radius").toInt(),
                  c.saved ? 7 : 1);
        EXPECT_TRUE(dialogs.unsavedAnswers.empty() && dialogs.projectOpenNames.empty());
    }
    // Nothing unsaved: no question.
    form = std::make_unique<Form1>(dialogs);
    form->show();
    open("ask.karuvo", json);
    form->close();
    EXPECT_FALSE(form->isVisible());
}

// A project that cannot be read or loaded is named with the reader's message under a
// Japanese lead, and the window stays as it was, its project included.
TEST_F(ProjectWindowTest, AProjectThatFailsLeavesTheWindowAsItWas) {
    open("good.karuvo", R"({"karuvo": 1, "text": "Good", "cell": {"width": 20, "height": 20},
        "fill": {"kind": "colour", "colour": "#FF0000"}})");
    form->Text1->setPlainText(QStringLiteral("changed"));
    const QStringList before = shown();
    const QString unreadable = QStringLiteral("プロジェクトファイルを読み込めません。メッセージに従って直してください。");
    const QString missing = QStringLiteral("プロジェクトまたはそれが指すファイルを読み込めません。ファイル名とフォルダを確かめてください。");
    const struct { const char* json; const char* detail; const QString& lead; } cases[] = {
        {"{\"karuvo\": 1,\n \"text\": \"A\",,}", "at line 2, column", unreadable},
        {R"({"karuvo": 1, "text": "A", "fil": {}})", "\"fil\"", unreadable},
        {R"({"karuvo": 1, "text": "A", "font": {"file": "missing.ttf"}})", "missing.ttf", missing},
        {R"({"karuvo": 1, "chars": "A", "columns": 0})", "columns", unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        dialogs.unsavedAnswers.push_back(Unsaved::Discard);
        open("bad.karuvo", c.json);
        const QString says = said();
        EXPECT_EQ(says.section(u'\n', 0, 0), c.lead);
        EXPECT_TRUE(says.contains(QString::fromUtf8(c.detail))) << says.toStdString();
        EXPECT_EQ(shown(), before);
        EXPECT_EQ(form->projectPath(), path("good.karuvo"));
        EXPECT_TRUE(form->isWindowModified());
    }
}

// The ファイル menu: its items, their keys, and each key reaching its item.
TEST_F(ProjectWindowTest, TheFileMenuHasItsItemsAndKeys) {
    ASSERT_EQ(form->MenuBar->actions().size(), 1);
    EXPECT_EQ(form->MenuBar->actions()[0]->text(), QStringLiteral("ファイル(&F)"));
    QStringList items;
    for (QAction* a : form->MenuBar->actions()[0]->menu()->actions())
        if (!a->isSeparator()) items << a->text() + u' ' + a->shortcut().toString();
    EXPECT_EQ(items, (QStringList{QStringLiteral("プロジェクトを開く… Ctrl+O"), QStringLiteral("プロジェクトを保存 Ctrl+S"),
                                  QStringLiteral("名前を付けてプロジェクトを保存… Ctrl+Shift+S"),
                                  QStringLiteral("出力設定… Ctrl+Shift+E"), QStringLiteral("書き出し Ctrl+E"), QStringLiteral("終了 Ctrl+Q")}));
    form->show();
    QApplication::setActiveWindow(form.get());
    dialogs.projectOpenNames.push_back(QString());  // cancelled
    dialogs.projectSaveNames.push_back(QString());
    QTest::keyClick(form->Text1, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(form->Text1, Qt::Key_S, Qt::ControlModifier);  // no project yet: asks for a name
    EXPECT_EQ(dialogs.projectCalls, 2);
    EXPECT_TRUE(dialogs.projectOpenNames.empty() && dialogs.projectSaveNames.empty());
}

// 書き出し writes every output the project names, byte for byte as karuvo-cli --project
// writes them; outputs named wrongly are refused in the project's own words.
TEST_F(ProjectWindowTest, ExportWritesWhatTheCommandLineWritesFromTheProject) {
    const QByteArray projects[] = {
        R"({"karuvo": 1, "text": "Hello\nworld", "font": {"family": "DejaVu Sans", "size": 18},
            "effect": {"kind": "shadow", "dx": 2, "dy": 2},
            "output": {"sheet": "w/s.png", "maxSize": 128, "fnt": "w/s.fnt", "fntFormat": "xml", "json": "w/s.json"}})",
        R"({"karuvo": 1, "chars": "U+0041-U+005A", "columns": 6, "font": {"file": "FONTFILE", "size": 14},
            "effect": {"kind": "outline", "radius": 1},
            "output": {"sheet": "w/l.bmp", "fnt": "w/l.fnt", "fntFormat": "binary", "pitch": "cell"}})",
        R"({"karuvo": 1, "text": "Qj", "output": {"sheet": "w/f.png", "json": "w/f.json", "distanceRange": 4}})",
    };
    for (const QByteArray& json : projects) {
        SCOPED_TRACE(json.constData());
        const QString project = open("export.karuvo", withFontFile(json, dir));
        ASSERT_TRUE(QDir(dir.path()).mkdir("w"));
        form->mnuExport->trigger();
        ASSERT_EQ(dialogs.messages, QStringList()) << dialogs.messages.join(u'\n').toStdString();
        const QStringList written = fakes::entries(path("w"));
        ASSERT_FALSE(written.isEmpty());
        EXPECT_TRUE(form->statusText->toolTip().startsWith(QString::number(written.size()) + " 個のファイルを書き出しました"))
            << form->statusText->toolTip().toStdString();
        ASSERT_TRUE(QDir(dir.path()).rename("w", "window") && QDir(dir.path()).mkdir("w"));
        const auto [status, err] = fakes::runCli({QStringLiteral("--project"), project, QStringLiteral("-q")});
        ASSERT_EQ(status, 0) << err;
        EXPECT_EQ(fakes::entries(path("w")), written);
        for (const QString& file : written) EXPECT_EQ(readFile(path("window/") + file), readFile(path("w/") + file)) << file.toStdString();
        ASSERT_TRUE(QDir(path("window")).removeRecursively() && QDir(path("w")).removeRecursively());
    }

    ASSERT_TRUE(fakes::patterned(4, 4).qimage().save(path("t.png")));
    const QByteArray before = readFile(path("t.png"));
    // Each said with its lead and the words after it ("|" between them).
    const struct { const char* json; const char* lead; const char* details; } refused[] = {
        {R"({"karuvo": 1, "text": "A", "fill": {"kind": "texture", "texture": "t.png"}, "output": {"sheet": "t.png"}})",
         "ファイルに書き込めません。", "output.sheet|fill.texture"},
        {R"({"karuvo": 1, "text": "A", "output": {"sheet": "a\"b.png", "fnt": "a.fnt"}})", "ファイルに書き込めません。",
         "output.sheet: the sheet's name as the output.fnt descriptor gives it, \"a\"b.png\", holds a double quote"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.json);
        open("refused.karuvo", c.json);
        dialogs.messages.clear();
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        form->mnuExport->trigger();
        const QString says = said();
        EXPECT_TRUE(says.startsWith(QString::fromUtf8(c.lead))) << says.toStdString();
        for (const QString& detail : QString::fromUtf8(c.details).split(u'|', Qt::SkipEmptyParts))
            EXPECT_TRUE(says.contains(detail)) << says.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), files);
        EXPECT_EQ(readFile(path("t.png")), before);
    }
}

// A project file dropped on the window opens it; any other file is not taken.
TEST_F(ProjectWindowTest, ADroppedProjectOpens) {
    write("dropped.karuvo", R"({"karuvo": 1, "text": "Drop"})");
    write("other.txt", "Drop");
    for (const char* name : {"other.txt", "dropped.karuvo"}) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(name))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &enter);
        EXPECT_EQ(enter.isAccepted(), QString::fromLatin1(name).endsWith(".karuvo")) << name;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &drop);
    }
    EXPECT_EQ(form->projectPath(), path("dropped.karuvo"));
    EXPECT_EQ(form->text1Text(), QStringLiteral("Drop"));
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
    for (const QString& message : dialogs.messages)
        EXPECT_TRUE(message.contains("U+0056 V is damaged")) << message.toStdString();
    EXPECT_FALSE(form->Picture1[0]->isVisible());
    EXPECT_FALSE(QFile::exists(path("d.png")));
}
