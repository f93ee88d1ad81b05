#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "dialogs/dialogs.h"
#include "picture_box.h"
#include "platform/context.h"
#include "platform/font.h"
#include "project/project.h"
#include "sheet/builder.h"
#include "sheet/pages.h"
#include "sheet/settings.h"

namespace karuvo::window {

// The one window of the tool. Every setting lives in a control and is read from it
// when needed. The handlers are public so that they can be driven directly; the
// events of the controls reach them through one boundary that shows any error to
// the user and leaves the window usable.
class OutputSettings;

class Form1 : public QWidget {
public:
    // `dialogs` must outlive the window.
    explicit Form1(dialogs::Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    // --- controls (members of a control array by index) ---
    QPushButton* Command1;
    std::array<QLabel*, 1> Label1;
    std::array<QLabel*, 12> Label2;
    QPlainTextEdit* Text1;
    QGroupBox* Frame1;
    QGroupBox* Frame2;
    std::array<QRadioButton*, 2> Option1;
    std::array<QRadioButton*, 3> Option2;
    std::array<TextBox*, 2> Text2;
    std::array<TextBox*, 3> Text3;
    QPushButton* Command2;
    std::array<QPushButton*, 2> Command3;
    std::array<PictureBox*, 2> Picture1;
    PictureBox* Picture2;
    std::array<PictureBox*, 1> Picture3;
    // Under the controls (the window is taller by its height): what the last preview
    // or save hides, in the words of the command line's report; each line is cut short
    // to the bar's width, and the tip holds them whole.
    QStatusBar* statusBar;
    QLabel* statusText;
    // Beside the text while characters are not in the chosen face: lists them all.
    QPushButton* cmdDetails;
    // "ページ 2 / 3" while the preview shows one page of a sheet the project splits.
    QLabel* pageText;

    // --- menu bar: ファイル ---
    QMenuBar* MenuBar;
    QAction* mnuOpen;
    QAction* mnuSave;
    QAction* mnuSaveAs;
    QAction* mnuOutputSettings;
    QAction* mnuExport;
    QAction* mnuExit;

    // --- font state ---
    // The description of the last successful or failed font choice (a cancelled
    // dialog leaves it alone); all zero until the first one.
    FontDescription ChosenFont;
    // The font made by the last successful choice; null until the first one. It stays
    // selected into the sheet box's context until replaced or until unload.
    std::unique_ptr<Font> CurrentFont;
    // Slot 0: the font the sheet box's context held before the first chosen font.
    // Slot 1 belongs to the shadow layer, which the sheet builder owns; it stays null.
    std::array<const Font*, 2> OldFont{};

    // --- handlers; they throw karuvo::Error, which the event boundary shows ---
    // Asks for a font and makes it current; a cancelled dialog changes nothing.
    void Command1_Click();
    // Fills the cell size with the largest character box of the text in the current
    // font plus the room the selected effect needs. A text without characters is
    // refused and changes no box.
    void Command2_Click();
    // Selects the whole text of the box that gained the focus.
    void Text2_GotFocus(std::int16_t Index);
    void Text3_GotFocus(std::int16_t Index);
    // Builds the sheet (index 0: and shows it; other indices: and saves it). The
    // captions read "作成中" during the build and come back whatever happens.
    void Command3_Click(std::int16_t Index);
    // Index 0 asks for the fill colour, other indices for the texture file; the
    // option is then selected. A cancelled dialog leaves the value held before.
    void Option1_MouseDown(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y);
    // Index 0 selects no effect; 1 and 2 ask for the shadow or outline colour first.
    void Option2_MouseDown(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X, float Y);
    // Hides the sheet box, whatever the index.
    void Picture1_Click(std::int16_t Index);
    // Gives back the chosen font; cancels the close when the user keeps unsaved
    // changes of the project.
    void Form_Unload(std::int16_t& Cancel);

    // --- project (form1_project.cpp) ---
    // Asks for a project file and opens it, after the unsaved-changes question.
    void mnuOpen_Click();
    // Saves the project under its own name, or asks for one when it has none.
    void mnuSave_Click();
    // Asks for a name and saves the project under it.
    void mnuSaveAs_Click();
    // Opens 出力設定 on the project the controls and the kept settings make. OK puts
    // its values into the window's settings: Text1 shows the listed characters or the
    // text file, Label1(0) a new font's face, the rest is kept as a project's kept
    // settings are. キャンセル changes nothing.
    void mnuOutputSettings_Click();
    // Writes every output the project names, as the command line writes them from the
    // project, with the settings the controls hold now. A project that names no output
    // opens 出力設定 first and is written after OK.
    void mnuExport_Click();
    // Shows the 出力設定 dialog and tells whether it was left with OK; while empty, the
    // dialog runs modally. Tests set it to drive the dialog's controls.
    std::function<bool(OutputSettings&)> showOutputSettings;
    void mnuExit_Click();
    // Fills every control from the project file at `path` and keeps the settings no
    // control shows. A project that fails to read or to load is shown as a message
    // and leaves the window as it was; false then.
    bool openProject(const QString& path);
    // The project that the controls and the kept settings make. Changes no control;
    // throws karuvo::Error for a box whose number is refused.
    Project currentProject() const;
    // The open project's file, or "" while none is open.
    const QString& projectPath() const { return projectPath_; }
    // Whether the open project differs from its file.
    bool isProjectModified() const;
    // Whether what is about to be lost may go: true when nothing is unsaved, or the
    // user saved or discarded it.
    bool mayLoseChanges();

    // Builds the sheet from the controls into the sheet box Picture1(0), sized to the
    // sheet plus 4 each way and left hidden. Fills the cell size first when a cell-size
    // box does not hold a number; writes "0" into an effect box that is read and does
    // not hold a number. Throws karuvo::Error when the build is refused or fails; a
    // text without characters is refused before any box changes.
    void CreateKaruvo();
    // The settings the controls hold now, with the corrections above.
    SheetSettings readSettings();

    // The text of Text1 exactly as typed, line breaks as line feeds.
    QString text1Text() const;
    // The sheet box's drawing context (measures in the current font, or the box's own
    // font while none is chosen).
    const DrawingContext& sheetContext() const { return *sheetContext_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Tab and Shift+Tab pass an option group as one stop, landing on its chosen option.
    bool focusNextPrevChild(bool next) override;
    // Keys that the focused control leaves alone reach the preview while it shows.
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A dropped project file is opened.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Turns a mouse press, or Space, on an option button into its MouseDown handler,
    // and Enter on a button into its click. The menu's keys reach the menu from the text
    // boxes too, which would otherwise keep some of them (Ctrl+E moves to the line's end).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a project's characters and font are made of, made before any control changes.
    struct Sources {
        MadeFont made;    // no font when the project gives none or it is not remade
        QString text;     // the listed characters or the text file's text
    };
    // Reads the text file or lists the characters of `p`, and makes its font when
    // `makeFont` is set and the project gives one. Throws karuvo::Error.
    static Sources loadSources(const Project& p, bool makeFont);
    // Makes `p` the kept settings and shows its characters in Text1 (a typed text as
    // it is) and, when `newFont`, its font in Label1(0) and as the current font.
    void takeProject(Project p, Sources sources, bool newFont);
    // Opens 出力設定; true when it was left with OK and its values were taken.
    bool editOutputSettings();
    void buildControls();
    void buildMenu();
    // Refuses a project's font file that a glyph of the text cannot be drawn from,
    // before anything is measured or drawn with it.
    void refuseDamagedGlyphs() const;
    // Puts the kept settings that no control shows into the settings of a build.
    void applyKeptSettings(SheetSettings& s) const;
    // Writes the project to `path` and makes it the open one.
    void saveProjectTo(const QString& path);
    // The title names the open project, with a mark while it is modified.
    void showProjectState();

    void wireEvents();
    // Whether `key` is the shortcut of an item of the menu.
    bool isMenuKey(const QKeyEvent* key) const;
    // Runs a handler at the event boundary: an error is shown, never thrown on.
    template <class F>
    void guarded(F&& handler);
    void runGuarded(const std::function<void()>& handler);

    EffectKind chosenEffect() const;
    // Throws when the text has no character that takes a cell: there is nothing to
    // measure or draw, and no box is to change.
    void refuseEmptyText() const;
    // Writes a colour into its read-out; the read-out's swatch follows.
    static void showColour(QLabel* readout, Colour colour);
    // Sets a box that does not hold a number to "0".
    static void zeroIfNotNumeric(QLineEdit* box);
    // The shadow offsets from Text3(0) and Text3(1), each set to "0" first when it
    // does not hold a number.
    CharBox shadowOffsets();
    // The outline radius from Text3(2), set to "0" first when it does not hold a
    // number; held within 0 to 10 without changing the text.
    std::int32_t outlineRadius();

    // Sizes the sheet box at the window's top-left corner to show the whole sheet, or
    // as much as the window above the status bar holds (the rest scrolls).
    void placePreview();
    // Tells in the status bar what the sheet just built from `settings` hides.
    void showFindings(const SheetSettings& settings, const Sheet& sheet);
    // Shows page `page` of the previewed sheet (held within its pages) and names it.
    void showPage(std::size_t page);
    // Shows the first two lines of `text` in the status bar, each cut to its width, the
    // whole in its tooltip.
    void showStatus(const QString& text);
    // Writes the sheet held by the sheet box to the file savedFileName() makes of the
    // name and type the user chooses: a PNG with transparency or the bitmap (never for a
    // distance field); then says in the status bar what it wrote, above the findings.
    void saveSheet();

    dialogs::Dialogs& dialogs_;
    bool building_ = false;
    std::unique_ptr<Font> sheetBoxFont_;
    std::unique_ptr<DrawingContext> sheetContext_;
    SheetSettings shownSettings_;  // what the sheet box's picture was built from
    QString missingList_;          // what 詳細 lists: the characters of the last build not in its face
    std::vector<Page> previewPages_;  // the pages of the previewed sheet; none when it is one
    std::size_t previewPage_ = 0;

    // The controls sit on this, below the menu bar.
    QWidget* body_;
    // The open project: what no control holds is kept from it as it was read.
    Project kept_;
    QString projectPath_;
    QByteArray savedContents_;        // the project as its file holds it
    bool textFromSource_ = false;     // Text1 still shows the project's lists or text file
    QString sourceText_;              // the text of those lists or that file
    bool cellFitted_ = false;         // the project fits the cell; Text2 only shows the fit
    bool fontFromProject_ = false;    // the current font is the project's request
    std::unique_ptr<FontFile> fontFile_;  // the project's font file, for CurrentFont
    bool filling_ = false;            // the controls are being filled from a project
};

}  // namespace karuvo::window
