#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "dialogs/dialogs.h"
#include "picture_box.h"
#include "platform/context.h"
#include "platform/font.h"
#include "sheet/builder.h"
#include "sheet/settings.h"

namespace karuvo::window {

// The one window of the tool. Every setting lives in a control and is read from it
// when needed. The handlers are public so that they can be driven directly; the
// events of the controls reach them through one boundary that shows any error to
// the user and leaves the window usable.
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
    // Gives back the chosen font; never cancels the close.
    void Form_Unload(std::int16_t& Cancel);

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
    // Keys that the focused control leaves alone reach the preview while it shows.
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Turns a mouse press, or Space, on an option button into its MouseDown handler,
    // and Enter on a button into its click.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void wireEvents();
    // Runs a handler at the event boundary: an error is shown, never thrown on.
    template <class F>
    void guarded(F&& handler);

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
    // Writes the sheet held by the sheet box to the file savedFileName() makes of the
    // name and type the user chooses: a PNG with transparency or the bitmap.
    void saveSheet();

    dialogs::Dialogs& dialogs_;
    bool building_ = false;
    std::unique_ptr<Font> sheetBoxFont_;
    std::unique_ptr<DrawingContext> sheetContext_;
    SheetSettings shownSettings_;  // what the sheet box's picture was built from
};

}  // namespace karuvo::window
