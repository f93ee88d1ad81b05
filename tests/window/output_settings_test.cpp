// 出力設定: the project its controls give and show, its refusals in Japanese, and OK and
// キャンセル through the window, whose save and export then match karuvo-cli's.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <sys/stat.h>

#include "project/project_file.h"
#include "support/cli_process.h"
#include "support/test_fonts.h"
#include "window/output_settings.h"
#include "window/window_test.h"

using namespace karuvo;
using karuvo::fakes::readFile;
using karuvo::window::OutputSettings;

namespace {

// What 出力設定 holds of a project, "name=value" each, files by name alone.
QStringList fields(const Project& p) {
    const auto file = [](const QString& path) { return QFileInfo(path).fileName(); };
    const auto n = [](auto v) { return QString::number(static_cast<long long>(v)); };
    return {"source=" + QString(p.textFile ? "file" : p.listsCharacters() ? "lists" : "typed"),
            "chars=" + textOf(p.chars), "charsets=" + p.charsets.join(u','), "textFile=" + file(p.textFile.value_or(QString())),
            "columns=" + n(p.settings.wrapColumns), "font=" + file(p.font.family), "face=" + n(p.font.faceIndex),
            "size=" + n(p.font.pixelSize), "mono=" + n(p.font.mono), "noFallback=" + n(p.font.noFallback),
            "given=" + n(p.font.given), "sheet=" + file(p.outputPath), "fnt=" + file(p.fntPath),
            "fntFormat=" + n(p.fntFormat), "json=" + file(p.jsonPath), "pitch=" + n(p.pitch),
            "maxPage=" + n(p.maxPageSide), "range=" + n(p.settings.distanceRange), "colour=" + n(p.settings.colourGlyphs),
            "fieldType=" + n(p.settings.fieldType)};
}

struct OutputSettingsTest : fakes::WindowTest {
    const QByteArray lists = R"({"karuvo": 1, "chars": "U+0041-U+0043", "charsets": ["katakana", "ascii"], "columns": 4,
        "font": {"file": "weights.ttc", "faceIndex": 1, "size": 18, "mono": true},
        "output": {"sheet": "w/o.png", "fnt": "w/o.fnt", "fntFormat": "xml"}})";
    const QByteArray typed = R"({"karuvo": 1, "text": "Ab", "output": {"sheet": "f.png", "distanceRange": 6, "fieldType": "mtsdf"}})";

    OutputSettingsTest() { QFile::copy(fakes::testFonts() + "/weights.ttc", path("weights.ttc")); }
    Project project(const QByteArray& json) { return parseProject(json, path("p.karuvo")); }
    // Each "objectName=value": a box's text, a check or option ("1"), a list's index; a
    // 参照… button is clicked with the value as the chosen file (in the test's folder).
    void edit(OutputSettings& d, const QStringList& edits) {
        for (const QString& e : edits) {
            const QString name = e.section(u'=', 0, 0), v = e.section(u'=', 1);
            QWidget* w = d.findChild<QWidget*>(name);
            ASSERT_TRUE(w) << name.toStdString();
            if (auto* box = qobject_cast<QLineEdit*>(w)) box->setText(v);
            else if (auto* list = qobject_cast<QComboBox*>(w)) list->setCurrentIndex(v.toInt());
            else if (name.endsWith("Browse"))
                dialogs.settingsFileNames.push_back(path(v)), static_cast<QPushButton*>(w)->click();
            else static_cast<QAbstractButton*>(w)->setChecked(v == "1");
        }
    }
    static QString shown(QWidget* w) {
        if (auto* box = qobject_cast<QLineEdit*>(w)) return QFileInfo(box->text()).fileName();
        if (auto* list = qobject_cast<QComboBox*>(w)) return QString::number(list->currentIndex());
        return qobject_cast<QAbstractButton*>(w)->isChecked() ? "1" : "0";
    }
    static bool ok(OutputSettings& d) { return d.findChild<QPushButton*>("cmdOK")->click(), d.result() == QDialog::Accepted; }
    // 出力設定 through the window's menu, edited and left with OK (or キャンセル); what it
    // refused and the faces it listed are kept.
    QString refused;
    QStringList faces;
    void viaMenu(const QStringList& edits, bool accept = true) {
        form->showOutputSettings = [=, this](OutputSettings& d) {
            edit(d, edits);
            // A キャンセル that did not close the dialog would leave it to be taken.
            const bool accepted = accept ? ok(d) : (d.show(), d.findChild<QPushButton*>("cmdCancel")->click(), d.isVisible());
            refused = d.refusal();
            const auto* list = d.findChild<QComboBox*>("cboFace");
            faces.clear();
            for (int i = 0; i < list->count(); ++i) faces << list->itemText(i);
            return accepted;
        };
    }
};

}  // namespace

// Each row opens the dialog on a project, reads the controls, changes some and names what
// the project then holds that it did not; every other value comes back as it was.
TEST_F(OutputSettingsTest, TheControlsShowAndGiveTheProject) {
    const struct { const char* json; QStringList shows, edits, changes; } rows[] = {
        {lists.constData(),
         {"optLists=1", "chkCharset_katakana=1", "chkCharset_ascii=1", "chkCharset_latin1=0", "txtChars=U+0041-U+0043",
          "txtColumns=4", "txtFontFile=weights.ttc", "cboFace=1", "txtFontSize=18", "chkMono=1", "chkNoFallback=0",
          "txtSheet=o.png", "txtFnt=o.fnt", "cboFntFormat=1", "txtJson=", "cboPitch=0", "txtMaxPage=", "chkField=0"},
         {}, {}},
        {typed.constData(), {"optTyped=1", "txtFontFile=", "cboFace=-1", "txtFontSize=12", "chkField=1", "txtRange=6",
                             "cboFieldType=2", "txtColumns="}, {}, {}},
        {lists.constData(), {},
         {"chkCharset_ascii=0", "chkCharset_hiragana=1", "txtChars=x,U+0030-U+0031", "txtColumns="},
         {"chars=01x", "charsets=hiragana,katakana", "columns=0"}},
        {lists.constData(), {}, {"optFile=1", "txtTextFile=t.txt", "txtFontFile=", "chkMono=0"},
         {"source=file", "chars=", "charsets=", "textFile=t.txt", "font=", "face=0", "mono=0"}},
        {typed.constData(), {}, {"optLists=1", "chkCharset_ascii=1", "txtColumns=10"},
         {"source=lists", "charsets=ascii", "columns=10"}},
        {typed.constData(), {}, {"txtFontFileBrowse=weights.ttc", "cboFace=2", "txtFontSize=24.5", "chkNoFallback=1"},
         {"font=weights.ttc", "face=2", "size=24", "noFallback=1", "given=1"}},
        {typed.constData(), {}, {"chkField=0", "txtSheet=s.bmp", "txtFnt=s.fnt", "cboFntFormat=2", "txtJson=s.json",
                                 "cboPitch=1", "txtMaxPage=512"},
         {"sheet=s.bmp", "fnt=s.fnt", "fntFormat=2", "json=s.json", "pitch=1", "maxPage=512", "range=0",
          "fieldType=0"}},
        {typed.constData(), {}, {"txtRange=64", "cboFieldType=1"}, {"range=64", "fieldType=1"}},
        {typed.constData(), {"chkColourGlyphs=0"}, {"chkField=0", "chkColourGlyphs=1"}, {"range=0", "fieldType=0", "colour=1"}},
        {R"({"karuvo": 1, "text": "A", "output": {"colourGlyphs": true}})", {"chkColourGlyphs=1"}, {"chkColourGlyphs=0"}, {"colour=0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edits.join(' ').toStdString());
        const Project given = project(row.json);
        OutputSettings d(given, dialogs);
        for (const QString& s : row.shows)
            EXPECT_EQ(shown(d.findChild<QWidget*>(s.section(u'=', 0, 0))), s.section(u'=', 1)) << s.toStdString();
        edit(d, row.edits);
        QStringList expected = fields(given);
        for (const QString& c : row.changes)
            for (QString& f : expected)
                if (f.section(u'=', 0, 0) == c.section(u'=', 0, 0)) f = c;
        ASSERT_TRUE(ok(d)) << d.refusal().toStdString();
        // ... as a project saved with them reads back.
        EXPECT_EQ(fields(project(projectFileContents(d.project(), path("p.karuvo")))), expected);
    }
    // Every box, list and button is named by a caption with a key of its own.
    OutputSettings d(project(lists), dialogs);
    QStringList keys;
    for (QWidget* w : d.findChildren<QWidget*>()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        QString caption = button ? button->text() : QString();
        for (QLabel* label : d.findChildren<QLabel*>()) caption = label->buddy() == w ? label->text() : caption;
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || button)
            keys << QRegularExpression("&(.)").match(caption).captured(1);
    }
    EXPECT_TRUE(!keys.contains(QString()) && QSet<QString>(keys.begin(), keys.end()).size() == keys.size()) << keys.join(' ').toStdString();
    // A font file that is a pipe lists no face and is not waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("f.ttf")).constData(), 0600), 0);
    edit(d, {"txtFontFileBrowse=f.ttf"});
    EXPECT_EQ(d.findChild<QComboBox*>("cboFace")->count(), 0);
    // Enter accepts the dialog wherever the focus is, on a 参照… button too.
    d.show();
    QTest::keyClick(d.findChild<QPushButton*>("txtSheetBrowse"), Qt::Key_Return);
    EXPECT_EQ(d.result(), QDialog::Accepted);  // a file dialog asked for would be unscripted
}

// What the checks refuse is said in the dialog in Japanese, and OK leaves it open.
TEST_F(OutputSettingsTest, RefusedValuesKeepTheDialogOpen) {
    const struct { QStringList edits; const char* words; } rows[] = {
        {{"optLists=1", "txtChars=U+0041-"}, "一覧: 項目 \"U+0041-\" は1 文字でも U+XXXX でも"},
        {{"optLists=1"}, "文字が選ばれていません"},
        {{"txtSheet=f.bmp"}, "距離フィールドはビットマップ (.bmp) のシートファイルには入れられません"},
        {{"txtSheet=", "txtJson=j.json"}, "シートのファイル名も指定してください"},
        {{"txtColumns=x"}, "列数: 列数 \"x\" は数値ではありません。1 行のセルの数を 1 以上で"},
        {{"txtRange=65"}, "距離フィールドの範囲: 距離の範囲 65 は範囲外です。距離の範囲を 1 から 64 までの"},
        {{"chkColourGlyphs=1"}, "「カラーグリフを色のまま描く」と距離フィールドは一緒に使えません: カラーグリフは自分の色"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edits.join(' ').toStdString());
        OutputSettings d(project(typed), dialogs);
        edit(d, row.edits);
        // The list is checked as it is typed, before OK.
        const QString listSays = d.findChild<QLabel*>("lblCharsError")->text();
        EXPECT_EQ(listSays.isEmpty(), !row.edits.join(' ').contains("txtChars")) << listSays.toStdString();
        EXPECT_FALSE(ok(d));
        EXPECT_TRUE(d.refusal().contains(QString::fromUtf8(row.words))) << d.refusal().toStdString();
    }
    // A list mended as it is typed loses its error; each set names its count (katakana: its
    // block's 96 code points).
    OutputSettings d(project(typed), dialogs);
    edit(d, {"optLists=1", "txtChars=U+0041-", "txtChars=U+0041-U+0042"});
    EXPECT_EQ(std::pair(d.findChild<QLabel*>("lblCharsError")->text(), d.findChild<QCheckBox*>("chkCharset_katakana")->text()),
              std::pair(QString(), QStringLiteral("&4 katakana (96 文字)")));
}

// OK through the window: the title marks the change, Text1 shows the new rows, Label1(0)
// the face alone; 保存 gives what karuvo-cli gives with the same options.
TEST_F(OutputSettingsTest, OkThroughTheWindowSavesAndExportsAsTheCommandLine) {
    fakes::writeFile(path("p.karuvo"), lists);
    ASSERT_TRUE(form->openProject(path("p.karuvo")));
    viaMenu({"txtColumns=3", "chkCharset_katakana=0", "txtFontSize=20", "cboFace=2", "cboFntFormat=2",
             "txtJson=" + path("w/o.json")});
    form->mnuOutputSettings->trigger();
    EXPECT_TRUE(form->isWindowModified()) << refused.toStdString();
    EXPECT_EQ(form->text1Text().section(u'\n', 0, 1), QStringLiteral(" !\"\n#$%"));
    EXPECT_EQ(form->Label1[0]->text(), QStringLiteral("Karuvo Test Weights"));
    EXPECT_EQ(form->CurrentFont->description().height, -20);  // the preview's font too
    dialogs.projectSaveNames.push_back(path("window.karuvo"));
    form->mnuSaveAs->trigger();
    const auto [status, err] = fakes::runCli({"--project", path("p.karuvo"), "--columns", "3", "--chars", "U+0041-U+0043",
                                              "--charset", "ascii", "-f", path("weights.ttc"), "--face-index", "2", "-s", "20",
                                              "--mono", "-o", path("w/o.png"), "--fnt", path("w/o.fnt"), "--fnt-format", "binary",
                                              "--json", path("w/o.json"), "--save-project", path("cli.karuvo")});
    ASSERT_EQ(status, 0) << err;
    EXPECT_EQ(readFile(path("window.karuvo")), readFile(path("cli.karuvo")));
    // 書き出し writes the outputs the dialog named (the command line's went first).
    ASSERT_TRUE(QDir(path("w")).removeRecursively());
    form->mnuExport->trigger();
    EXPECT_EQ(std::pair(dialogs.messages, fakes::entries(path("w"))), std::pair(QStringList(), QStringList{"o.fnt", "o.json", "o.png"}));
}

// キャンセル changes nothing; a field refused beside the shadow chosen in the window changes
// nothing either; 書き出し of a project without outputs asks for them first.
TEST_F(OutputSettingsTest, CancelAndExportWithoutOutputs) {
    fakes::writeFile(path("p.karuvo"), R"({"karuvo": 1, "text": "Ab"})");
    ASSERT_TRUE(form->openProject(path("p.karuvo")));
    const QByteArray saved = projectFileContents(form->currentProject(), path("p.karuvo"));
    viaMenu({"txtSheet=" + path("n.png"), "optLists=1", "chkCharset_ascii=1", "txtFontSize=30"}, false);
    form->mnuOutputSettings->trigger();
    form->mnuExport->trigger();
    EXPECT_EQ(projectFileContents(form->currentProject(), path("p.karuvo")), saved);
    EXPECT_FALSE(form->isWindowModified());
    form->Option2[1]->setChecked(true);
    viaMenu({"txtSheet=" + path("n.png"), "chkField=1", "txtRange=4"});
    form->mnuOutputSettings->trigger();
    EXPECT_TRUE(refused.startsWith(QStringLiteral("距離フィールドと「影」は一緒に使えません")) &&
                refused.endsWith(QStringLiteral("どちらかをやめてください。"))) << refused.toStdString();
    EXPECT_EQ(form->currentProject().settings.distanceRange, 0);
    form->Option2[0]->setChecked(true);
    EXPECT_EQ(fakes::entries(dir.path()), (QStringList{"p.karuvo", "weights.ttc"}));

    viaMenu({"txtSheet=" + path("n.png"), "txtFontFileBrowse=weights.ttc"});
    form->mnuExport->trigger();
    ASSERT_EQ(dialogs.messages, QStringList());
    EXPECT_EQ(faces, (QStringList{"0: Karuvo Test Weights Regular", "1: Karuvo Test Weights Bold",
                                  "2: Karuvo Test Weights Oblique"}));
    EXPECT_EQ(dialogs.settingsFileKinds, std::vector{dialogs::Dialogs::SettingsFile::Font});
    EXPECT_TRUE(QFile::exists(path("n.png")));
    EXPECT_EQ(form->Label1[0]->text(), QStringLiteral("Karuvo Test Weights"));
    EXPECT_TRUE(form->isWindowModified());
}
