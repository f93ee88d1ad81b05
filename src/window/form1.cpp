#include "form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <vector>

#include "colour_swatch.h"
#include "messages.h"
#include "export/sheet_file.h"
#include "platform/checked.h"
#include "platform/error.h"
#include "platform/file_output.h"
#include "platform/font_files.h"
#include "platform/image_io.h"
#include "platform/number.h"
#include "sheet/builder.h"
#include "sheet/findings.h"
#include "sheet/grid.h"
#include "sheet/outline.h"

namespace karuvo::window {
namespace {

const char* const kTabIndex = "TabIndex";

// Gives a control its name, its place in its container and its place in the tab order.
template <class W>
W* place(W* widget, const QString& name, int left, int top, int width, int height, int tab) {
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    widget->setProperty(kTabIndex, tab);
    return widget;
}

QString indexed(const char* name, int index) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index); }

QLabel* makeLabel(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The widest read-out there is, whose every digit must show.
const QString kWidestReadout = QStringLiteral("FFFFFF");
constexpr int kSwatchSide = 11;

// Widens a colour read-out so that six digits show in its font, and puts a swatch of
// its colour just right of it.
ColourSwatch* addSwatch(QLabel* readout, int index) {
    const int needed = QFontMetrics(readout->font()).horizontalAdvance(kWidestReadout) + 2;
    readout->resize(std::max(readout->width(), needed), readout->height());
    auto* swatch = new ColourSwatch(readout, readout->parentWidget());
    swatch->setObjectName(QStringLiteral("Swatch(%1)").arg(index));
    swatch->setGeometry(readout->x() + readout->width() + 2, readout->y() + (readout->height() - kSwatchSide) / 2,
                        kSwatchSide, kSwatchSide);
    return swatch;
}

// Whether the text has a character that takes a cell.
bool hasCharacters(const QString& text) { return scanGrid(text).columns > 0; }

}  // namespace

Form1::Form1(dialogs::Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("KARUVO作成ツール"));
    // A 9-point Japanese interface face, so that the captions fit the design's sizes
    // and render as text wherever some face with kana is installed.
    QFont ui = font();
    ui.setFamilies({QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                    ui.family()});
    ui.setPointSize(9);
    setFont(ui);
    setWindowIcon(QIcon(QStringLiteral(":/icons/karuvo.png")));
    body_ = new QWidget(this);
    buildControls();
    wireEvents();
    buildMenu();
    // The controls keep their places below the menu bar and above the status bar; the
    // window grows by both.
    const int bar = MenuBar->sizeHint().height();
    MenuBar->setGeometry(0, 0, 408, bar);
    body_->setGeometry(0, bar, 408, 366);
    statusBar->move(0, bar + 366);
    resize(408, bar + 366 + statusBar->height());
    setAcceptDrops(true);
    sheetBoxFont_ = Font::createDefaultSheetFont();
    sheetContext_ = std::make_unique<DrawingContext>(&Picture1[0]->picture(), sheetBoxFont_.get());
}

Form1::~Form1() {
    // The sheet box's context goes before the fonts it may hold.
    sheetContext_.reset();
    CurrentFont.reset();  // before the font file it may come from
}

void Form1::buildControls() {
    Command1 = place(new QPushButton(QStringLiteral("フォント選択"), body_), "Command1", 8, 8, 89, 25, 0);
    Label1[0] = place(makeLabel(body_, {}), indexed("Label1", 0), 104, 16, 289, 17, 2);
    Label2[0] = place(makeLabel(body_, QStringLiteral("作成するテキスト")), indexed("Label2", 0), 8, 32, 321, 17, 4);

    Text1 = place(new QPlainTextEdit(body_), "Text1", 8, 48, 377, 81, 1);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setTabChangesFocus(true);
    QFont textFont;
    textFont.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic")});
    textFont.setPointSize(9);
    textFont.setWeight(QFont::Normal);
    textFont.setItalic(false);
    textFont.setUnderline(false);
    textFont.setStrikeOut(false);
    Text1->setFont(textFont);

    Frame1 = place(new QGroupBox(QStringLiteral("文字柄指定"), body_), "Frame1", 8, 128, 385, 65, 16);
    Option1[0] = place(new QRadioButton(QStringLiteral("色"), Frame1), indexed("Option1", 0), 8, 16, 57, 17, 18);
    Label2[4] = place(makeLabel(Frame1, QStringLiteral("FFFFFF")), indexed("Label2", 4), 80, 16, 41, 17, 20);
    Option1[1] = place(new QRadioButton(QStringLiteral("画像"), Frame1), indexed("Option1", 1), 8, 40, 57, 17, 17);
    Label2[5] = place(makeLabel(Frame1, {}), indexed("Label2", 5), 80, 40, 297, 17, 19);

    Frame2 = place(new QGroupBox(QStringLiteral("文字柄指定"), body_), "Frame2", 8, 200, 385, 89, 21);
    Option2[0] = place(new QRadioButton(QStringLiteral("無し"), Frame2), indexed("Option2", 0), 8, 16, 57, 17, 22);
    Option2[1] = place(new QRadioButton(QStringLiteral("影"), Frame2), indexed("Option2", 1), 8, 32, 57, 17, 24);
    Label2[6] = place(makeLabel(Frame2, QStringLiteral("FFFFFF")), indexed("Label2", 6), 80, 32, 41, 17, 23);
    Label2[8] = place(makeLabel(Frame2, QStringLiteral("横")), indexed("Label2", 8), 160, 32, 41, 17, 27);
    Text3[0] = place(new TextBox(Frame2), indexed("Text3", 0), 184, 24, 57, 25, 29);
    Label2[9] = place(makeLabel(Frame2, QStringLiteral("縦")), indexed("Label2", 9), 248, 32, 41, 17, 28);
    Text3[1] = place(new TextBox(Frame2), indexed("Text3", 1), 296, 24, 57, 25, 30);
    Option2[2] = place(new QRadioButton(QStringLiteral("縁取り"), Frame2), indexed("Option2", 2), 8, 48, 57, 17, 25);
    Label2[7] = place(makeLabel(Frame2, QStringLiteral("FFFFFF")), indexed("Label2", 7), 80, 48, 41, 17, 26);
    Label2[10] = place(makeLabel(Frame2, QStringLiteral("縁取り半径（0-10）")), indexed("Label2", 10), 192, 64, 97, 17, 32);
    Text3[2] = place(new TextBox(Frame2), indexed("Text3", 2), 296, 56, 57, 25, 31);
    Label2[11] = place(makeLabel(Frame2, QStringLiteral("縁取りは時間がかかります！")), indexed("Label2", 11), 8, 72, 169, 25, 33);
    Label2[11]->setWordWrap(true);
    for (int i : {4, 6, 7}) addSwatch(Label2[i], i);

    Label2[1] = place(makeLabel(body_, QStringLiteral("１文字当たりのサイズ")), indexed("Label2", 1), 8, 304, 113, 17, 5);
    Label2[2] = place(makeLabel(body_, QStringLiteral("横")), indexed("Label2", 2), 128, 304, 17, 17, 8);
    Text2[0] = place(new TextBox(body_), indexed("Text2", 0), 144, 296, 57, 25, 6);
    Label2[3] = place(makeLabel(body_, QStringLiteral("縦")), indexed("Label2", 3), 208, 304, 17, 17, 9);
    Text2[1] = place(new TextBox(body_), indexed("Text2", 1), 224, 296, 57, 25, 7);
    Command2 = place(new QPushButton(QStringLiteral("現フォントの最大値"), body_), "Command2", 288, 296, 113, 25, 10);
    Command3[0] = place(new QPushButton(QStringLiteral("プレビュー"), body_), indexed("Command3", 0), 184, 328, 105, 25, 12);
    Command3[1] = place(new QPushButton(QStringLiteral("保存"), body_), indexed("Command3", 1), 296, 328, 105, 25, 13);

    Picture1[0] = place(new PictureBox(body_), indexed("Picture1", 0), 0, 0, 49, 25, 3);
    Picture1[1] = place(new PictureBox(body_), indexed("Picture1", 1), 0, 32, 49, 25, 15);
    Picture2 = place(new PictureBox(body_), "Picture2", 312, 40, 113, 57, 11);
    Picture3[0] = place(new PictureBox(body_), indexed("Picture3", 0), 336, 72, 113, 57, 14);
    for (PictureBox* box : {Picture1[0], Picture1[1], Picture2, Picture3[0]}) box->hide();

    // Two lines of text, each cut short to fit, the whole of them also as the tip.
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar"));
    statusBar->setSizeGripEnabled(false);
    statusText = new QLabel(statusBar);
    statusText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusBar->addWidget(statusText, 1);
    cmdDetails = new QPushButton(QStringLiteral("詳細(&D)…"), statusBar);
    cmdDetails->setObjectName(QStringLiteral("cmdDetails"));
    // Outside the design's tab order; Alt+D presses it.
    cmdDetails->setFocusPolicy(Qt::NoFocus);
    cmdDetails->hide();
    statusBar->addPermanentWidget(cmdDetails);
    pageText = new QLabel(statusBar);
    pageText->setObjectName(QStringLiteral("pageText"));
    pageText->hide();
    statusBar->addPermanentWidget(pageText);
    statusBar->setGeometry(0, 366, 408, 2 * statusText->fontMetrics().lineSpacing() + 8);
    // The sheet box lies above every other control.
    Picture1[0]->raise();

    Option1[0]->setChecked(true);
    Option2[0]->setChecked(true);

    // The keyboard focus follows the design's tab numbers, skipping what takes no focus.
    std::vector<QWidget*> order;
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property(kTabIndex).isValid() && w->focusPolicy() != Qt::NoFocus) order.push_back(w);
    }
    std::sort(order.begin(), order.end(), [](QWidget* a, QWidget* b) {
        return a->property(kTabIndex).toInt() < b->property(kTabIndex).toInt();
    });
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form1::wireEvents() {
    connect(Command1, &QPushButton::clicked, this, [this] { guarded([this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this, [this] { guarded([this] { Command2_Click(); }); });
    for (std::int16_t i = 0; i < std::int16_t(Text2.size()); ++i)
        Text2[i]->onGotFocus = [this, i] { guarded([this, i] { Text2_GotFocus(i); }); };
    for (std::int16_t i = 0; i < std::int16_t(Text3.size()); ++i)
        Text3[i]->onGotFocus = [this, i] { guarded([this, i] { Text3_GotFocus(i); }); };
    for (std::int16_t i = 0; i < std::int16_t(Command3.size()); ++i)
        connect(Command3[i], &QPushButton::clicked, this, [this, i] { guarded([this, i] { Command3_Click(i); }); });
    connect(cmdDetails, &QPushButton::clicked, this, [this] { dialogs_.showList(QStringLiteral("フォントにない文字"), missingList_); });
    for (std::int16_t i = 0; i < std::int16_t(Picture1.size()); ++i)
        Picture1[i]->onClick = [this, i] { guarded([this, i] { Picture1_Click(i); }); };
    Picture1[0]->onEscape = [this] { Picture1[0]->hide(); };
    Picture1[0]->onPage = [this](int step) {
        if (previewPages_.empty()) return false;
        if (step > 0 || previewPage_ > 0) showPage(step > 0 ? previewPage_ + 1 : previewPage_ - 1);
        return true;
    };
    // The option buttons act on the press of any mouse button, not on a change of
    // selection, so that selecting one with the keyboard opens no dialog. The second
    // press of a double click reaches a widget as a double-click event only.
    for (QRadioButton* option : Option1) option->installEventFilter(this);
    for (QRadioButton* option : Option2) option->installEventFilter(this);
    // Typing replaces a project's lists or text file; typing a cell size replaces its fit.
    connect(Text1, &QPlainTextEdit::textChanged, this, [this] {
        if (filling_) return;
        textFromSource_ = false;
        showProjectState();
    });
    for (TextBox* box : Text2) connect(box, &QLineEdit::textEdited, this, [this] { cellFitted_ = false; });
    connect(Command2, &QPushButton::pressed, this, [this] { cellFitted_ = false; });
    for (TextBox* box : Text3) connect(box, &QLineEdit::textChanged, this, [this] { showProjectState(); });
    for (TextBox* box : Text2) connect(box, &QLineEdit::textChanged, this, [this] { showProjectState(); });
    // Enter presses a focused button, as Space does.
    for (QPushButton* button : {Command1, Command2, Command3[0], Command3[1]}) button->installEventFilter(this);
    Text1->installEventFilter(this);
    for (TextBox* box : Text2) box->installEventFilter(this);
    for (TextBox* box : Text3) box->installEventFilter(this);
}

void Form1::runGuarded(const std::function<void()>& handler) { guarded(handler); }

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    std::int16_t button = 0, shift = 0;
    float x = 0, y = 0;
    if (event->type() == QEvent::ShortcutOverride) {
        // Swallowed unaccepted, the key goes on to the menu's shortcut.
        return isMenuKey(static_cast<QKeyEvent*>(event)) || QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        // Enter clicks a button; Space on an option does what a mouse press does (a
        // press of no button).
        const auto* key = static_cast<QKeyEvent*>(event);
        if (auto* pushed = qobject_cast<QPushButton*>(watched);
            pushed && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            if (!key->isAutoRepeat()) pushed->click();
            return true;
        }
        if (key->key() != Qt::Key_Space || !qobject_cast<QRadioButton*>(watched))
            return QWidget::eventFilter(watched, event);
        if (key->isAutoRepeat()) return true;
    } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        const auto* press = static_cast<QMouseEvent*>(event);
        button = static_cast<std::int16_t>(press->button());
        shift = static_cast<std::int16_t>(press->modifiers().toInt() >> 25);
        x = static_cast<float>(press->position().x());
        y = static_cast<float>(press->position().y());
    } else {
        return QWidget::eventFilter(watched, event);
    }
    for (std::int16_t i = 0; i < std::int16_t(Option1.size()); ++i) {
        if (watched == Option1[i]) {
            guarded([&] { Option1_MouseDown(i, button, shift, x, y); });
            return true;  // the handler alone decides the selection
        }
    }
    for (std::int16_t i = 0; i < std::int16_t(Option2.size()); ++i) {
        if (watched == Option2[i]) {
            guarded([&] { Option2_MouseDown(i, button, shift, x, y); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

template <class F>
void Form1::guarded(F&& handler) {
    try {
        handler();
    } catch (const Error& e) {
        dialogs_.showMessage(userMessage(e));
    } catch (const std::bad_alloc&) {
        dialogs_.showMessage(QCoreApplication::translate(
            "karuvo", "There is not enough memory for this. Make the cell size or the text smaller."));
    }
    showProjectState();
}

QString Form1::text1Text() const {
    // The raw text keeps a no-break space as typed; only the editor's own block and
    // line separators become line feeds.
    QString text = Text1->document()->toRawText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = u'\n';
    }
    return text;
}

void Form1::Command1_Click() {
    const std::optional<FontDescription> chosen = dialogs_.ChooseFontDialog();
    if (!chosen) return;
    ChosenFont = *chosen;
    std::unique_ptr<Font> font = Font::create(ChosenFont);
    if (!font) {
        Label1[0]->setText(QStringLiteral("CreateFontIndirectでエラー"));
        return;
    }
    Label1[0]->setText(ChosenFont.faceName.trimmed());
    const Font* previous = sheetContext_->selectFont(font.get());
    if (!OldFont[0]) OldFont[0] = previous;
    // The previous choice, if any, is released here, after the new font is selected.
    CurrentFont = std::move(font);
    fontFromProject_ = false;
    fontFile_.reset();
}

EffectKind Form1::chosenEffect() const {
    if (Option2[1]->isChecked()) return EffectKind::Shadow;
    if (Option2[2]->isChecked()) return EffectKind::Outline;
    return EffectKind::None;
}

void Form1::zeroIfNotNumeric(QLineEdit* box) {
    if (!isNumeric(box->text())) box->setText(QStringLiteral("0"));
}

CharBox Form1::shadowOffsets() {
    zeroIfNotNumeric(Text3[0]);
    zeroIfNotNumeric(Text3[1]);
    return CharBox{roundHalfEven(numberValue(Text3[0]->text()), QT_TRANSLATE_NOOP("karuvo", "The horizontal shadow offset (横)")),
                   roundHalfEven(numberValue(Text3[1]->text()), QT_TRANSLATE_NOOP("karuvo", "The vertical shadow offset (縦)"))};
}

std::int32_t Form1::outlineRadius() {
    const OutlineRadius typed = readOutlineRadius(Text3[2]->text());
    if (typed.replaceText) Text3[2]->setText(QStringLiteral("0"));
    return typed.radius;
}

void Form1::refuseEmptyText() const {
    if (hasCharacters(text1Text())) return;
    throw Error(ErrorKind::InvalidSize,
                QT_TRANSLATE_NOOP("karuvo", "There is nothing to draw: the text has no character. Type the text to put on the sheet first."),
                {});
}

void Form1::Command2_Click() {
    refuseEmptyText();
    refuseDamagedGlyphs();
    const EffectKind effect = chosenEffect();
    CharBox offsets;
    std::int32_t radius = 0;
    if (effect == EffectKind::Shadow) offsets = shadowOffsets();
    else if (effect == EffectKind::Outline) radius = outlineRadius();

    sheetContext_->selectFont(CurrentFont.get());
    SheetSettings room;
    room.effect = effect;
    room.shadowDx = offsets.width;
    room.shadowDy = offsets.height;
    room.outlineRadius = radius;
    room.distanceRange = kept_.settings.distanceRange;
    const CharBox cell = fittedCellSize(text1Text(), *sheetContext_->font(), sheetAllowance(room));
    Text2[0]->setText(decimalText(cell.width));
    Text2[1]->setText(decimalText(cell.height));
}

void Form1::Text2_GotFocus(std::int16_t Index) { Text2.at(Index)->selectAll(); }

void Form1::Text3_GotFocus(std::int16_t Index) { Text3.at(Index)->selectAll(); }

void Form1::Option1_MouseDown(std::int16_t Index, std::int16_t, std::int16_t, float, float) {
    if (Index == 0) {
        if (const std::optional<Colour> colour = dialogs_.ChooseColorDialog()) showColour(Label2[4], *colour);
        Option1[0]->setChecked(true);
        return;
    }
    const QString path = dialogs_.OpenTextureFileDialog();
    if (!path.isEmpty()) Label2[5]->setText(path);
    // The image fill needs a texture; without one held the colour fill stays.
    Option1[Label2[5]->text().isEmpty() ? 0 : 1]->setChecked(true);
}

void Form1::Option2_MouseDown(std::int16_t Index, std::int16_t, std::int16_t, float, float) {
    if (Index == 0) {
        Option2[0]->setChecked(true);
        return;
    }
    if (Index != 1 && Index != 2) return;
    QLabel* readout = Label2[Index == 1 ? 6 : 7];
    if (const std::optional<Colour> colour = dialogs_.ChooseColorDialog()) showColour(readout, *colour);
    Option2[Index]->setChecked(true);
}

void Form1::showColour(QLabel* readout, Colour colour) {
    readout->setText(colourReadout(colour));
    readout->parentWidget()->update();  // its swatch follows
}

void Form1::Picture1_Click(std::int16_t) { Picture1[0]->hide(); }

SheetSettings Form1::readSettings() {
    refuseDamagedGlyphs();
    // A project's fitted cell is fitted again for each build, to the font of the moment.
    if (cellFitted_ || !isNumeric(Text2[0]->text()) || !isNumeric(Text2[1]->text())) Command2_Click();

    SheetSettings s;
    s.effect = chosenEffect();
    if (s.effect == EffectKind::Shadow) {
        const CharBox offsets = shadowOffsets();
        s.shadowDx = offsets.width;
        s.shadowDy = offsets.height;
        s.shadowColour = static_cast<Colour>(readColourCaption(Label2[6]->text()));
    } else if (s.effect == EffectKind::Outline) {
        s.outlineRadius = outlineRadius();
        s.outlineColour = static_cast<Colour>(readColourCaption(Label2[7]->text()));
    }
    s.text = text1Text();
    s.cellWidth = roundDown(numberValue(Text2[0]->text()), QT_TRANSLATE_NOOP("karuvo", "The cell width (横)"));
    s.cellHeight = roundDown(numberValue(Text2[1]->text()), QT_TRANSLATE_NOOP("karuvo", "The cell height (縦)"));
    if (Option1[0]->isChecked()) {
        s.fill = FillKind::Colour;
        s.fillColour = static_cast<Colour>(readColourCaption(Label2[4]->text()));
    } else {
        s.fill = FillKind::Texture;
        s.texturePath = Label2[5]->text();
    }
    // The font that is current: after a failed choice that is still the earlier one.
    if (CurrentFont) s.font = CurrentFont->description();
    applyKeptSettings(s);
    return s;
}

void Form1::CreateKaruvo() {
    Picture1[0]->hide();
    statusText->clear();
    statusText->setToolTip({});
    cmdDetails->hide();
    refuseEmptyText();
    const SheetSettings settings = readSettings();
    // A field keeps its grey levels too, which the preview draws as an engine would.
    SheetSettings built = settings;
    built.keepCoverage = settings.distanceRange > 0;
    Sheet sheet = buildSheet(built);
    shownSettings_ = settings;
    showFindings(settings, sheet);
    const std::int32_t outerWidth = checkedAdd(sheet.width, 4, "the sheet box width");
    const std::int32_t outerHeight = checkedAdd(sheet.height, 4, "the sheet box height");
    sheetContext_->flush();
    Picture1[0]->setPicture(std::move(sheet.image));
    if (sheet.coverage && settings.distanceRange > 0) Picture1[0]->setField(std::move(sheet.coverage->glyph));
    Picture1[0]->resize(outerWidth, outerHeight);
    // A sheet the project splits into pages previews a page at a time, as it is written.
    previewPages_.clear();
    if (kept_.maxPageSide > 0) {
        try {
            previewPages_ = splitPages(sheet.width, sheet.rows, sheet.cellWidth, sheet.cellHeight, kept_.maxPageSide);
        } catch (const Error&) {
            // 書き出し says why the sheet cannot be split; the preview shows it whole.
        }
    }
    if (previewPages_.size() < 2) previewPages_.clear();
    pageText->setVisible(!previewPages_.empty());
    if (!previewPages_.empty()) showPage(0);
}

void Form1::showPage(std::size_t page) {
    if (previewPages_.empty()) return;
    previewPage_ = std::min(page, previewPages_.size() - 1);
    const Page& p = previewPages_[previewPage_];
    Picture1[0]->setBand(QRect(0, p.y, Picture1[0]->picture().width(), p.height));
    pageText->setText(QStringLiteral("ページ %1 / %2").arg(previewPage_ + 1).arg(previewPages_.size()));
}

void Form1::Command3_Click(std::int16_t Index) {
    // A click that arrives during the one yield below waits for no second build.
    if (building_) return;
    building_ = true;
    struct Restore {
        Form1* form;
        ~Restore() {
            form->Command3[0]->setText(QStringLiteral("プレビュー"));
            form->Command3[1]->setText(QStringLiteral("保存"));
            form->building_ = false;
        }
    };
    {
        Restore restore{this};
        Command3[0]->setText(QStringLiteral("作成中"));
        Command3[1]->setText(QStringLiteral("作成中"));
        QCoreApplication::processEvents();  // paints the captions before the long build
        CreateKaruvo();
    }
    if (Index == 0) {
        Picture1[0]->move(0, 0);
        placePreview();
        Picture1[0]->raise();
        Picture1[0]->show();
        Picture1[0]->setFocus(Qt::OtherFocusReason);
        return;
    }
    saveSheet();
}

void Form1::saveSheet() {
    const Image& sheet = Picture1[0]->picture();
    if (sheet.isEmpty()) {
        throw Error(ErrorKind::InvalidSize,
                    QT_TRANSLATE_NOOP("karuvo", "The sheet is %1 x %2 pixels and has no area, so there is nothing to save. Type the text to put on the sheet first; no file was written."),
                    {std::to_string(sheet.width()), std::to_string(sheet.height())});
    }
    const dialogs::SaveName chosen = dialogs_.SaveSheetFileDialog();
    const QString path = dialogs::savedFileName(chosen.path, chosen.type);
    if (path.isEmpty()) return;
    // The texture is read again for a PNG and at every later build: it must not become the sheet.
    if (shownSettings_.fill == FillKind::Texture && !shownSettings_.texturePath.isEmpty() &&
        sameFile(path, shownSettings_.texturePath)) {
        throw Error(ErrorKind::Io,
                    QT_TRANSLATE_NOOP("karuvo", "Cannot save the sheet as \"%1\": it is the texture image the sheet is "
                                                "filled with. Choose another file name; no file was written."),
                    {path.toStdString()});
    }
    // The font's files are read again at every later build: none may become the sheet.
    for (const FaceFile& f : drawingFontFiles(CurrentFont ? *CurrentFont : *sheetBoxFont_, shownSettings_.text)) {
        if (sameFile(path, f.path)) {
            throw Error(ErrorKind::Io,
                        QT_TRANSLATE_NOOP("karuvo", "Cannot save the sheet as \"%1\": it is the font file \"%2\" the "
                                                    "sheet is drawn with. Choose another file name; no file was written."),
                        {path.toStdString(), f.path.toStdString()});
        }
    }
    const QString findings = statusText->toolTip();
    QStringList made;
    if (sheetFileFormat(path) != SheetFileFormat::Png) {
        // The field lives in the alpha channel, which a bitmap does not have.
        if (shownSettings_.distanceRange > 0)
            throw conflictError({Setting::DistanceField, Setting::BitmapSheet, ConflictReason::FieldNeedsPng});
        made = writeFilesMakingFolders({{path, {}, [&sheet](const ByteSink& put) {
                                             return writeBmp24(sheet, 0, 0, sheet.width(), sheet.height(), put);
                                         }}});
    } else {
        // The same settings again, with the coverage that transparency is made from.
        SheetSettings settings = shownSettings_;
        settings.keepCoverage = true;
        const Sheet transparent = buildSheet(settings);
        made = writeFilesMakingFolders(
            {sheetFileContents(transparent, SheetFileFormat::Png, path, 0, 0, transparent.width, transparent.height)});
    }
    showStatus(savedText(path, made) + (findings.isEmpty() ? QString() : u'\n' + findings));
}

void Form1::Form_Unload(std::int16_t& Cancel) {
    if (!mayLoseChanges()) {
        Cancel = 1;
        return;
    }
    if (!OldFont[0]) return;
    [[maybe_unused]] const Font* displaced = sheetContext_->selectFont(OldFont[0]);
    Q_ASSERT(displaced == CurrentFont.get());
    OldFont[0] = nullptr;
    CurrentFont.reset();
}

bool Form1::focusNextPrevChild(bool next) {
    QWidget* from = focusWidget();
    if (!from) return QWidget::focusNextPrevChild(next);
    const auto* leaving = qobject_cast<QRadioButton*>(from);
    for (QWidget* w = from;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == from || !isAncestorOf(w)) return QWidget::focusNextPrevChild(next);
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(this) || !w->isEnabled()) continue;
        auto* option = qobject_cast<QRadioButton*>(w);
        if (option && leaving && option->parentWidget() == leaving->parentWidget()) continue;
        if (option && !option->isChecked()) {
            // The group's chosen option, where there is one.
            for (auto* other : option->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
                if (other->isChecked() && other->isEnabled()) option = other;
            w = option;
        }
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
}

void Form1::keyPressEvent(QKeyEvent* event) {
    if (Picture1[0]->isVisible() && Picture1[0]->handleKey(event)) event->accept();
    else QWidget::keyPressEvent(event);
}

void Form1::showFindings(const SheetSettings& settings, const Sheet& sheet) {
    const Font& font = CurrentFont ? *CurrentFont : *sheetBoxFont_;
    const SheetFindings findings = sheetFindings(settings, sheet, font);
    missingList_ = missingCharactersText(findings);
    cmdDetails->setVisible(!findings.missing.empty());
    showStatus(findingsText(findings, settings, sheet));
}

void Form1::showStatus(const QString& text) {
    statusBar->layout()->activate();
    const QFontMetrics metrics(statusText->font());
    QStringList shown;
    // The bar holds two lines; the tip holds every line.
    for (const QString& line : text.split(u'\n').mid(0, 2))
        shown << metrics.elidedText(line, Qt::ElideRight, statusText->contentsRect().width());
    statusText->setText(shown.join(u'\n'));
    statusText->setToolTip(text);
}

void Form1::placePreview() { Picture1[0]->setRoom(body_->size()); }

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    MenuBar->resize(width(), MenuBar->height());
    statusBar->setGeometry(0, height() - statusBar->height(), width(), statusBar->height());
    body_->setGeometry(0, MenuBar->height(), width(), statusBar->y() - MenuBar->height());
    if (Picture1[0]->isVisible()) placePreview();
}

void Form1::closeEvent(QCloseEvent* event) {
    std::int16_t cancel = 0;
    Form_Unload(cancel);
    if (cancel) event->ignore();
    else event->accept();
}

}  // namespace karuvo::window
