// The window's project files: the ファイル menu, opening a project into the controls,
// saving the controls back, and the question before unsaved changes are lost.
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>
#include <cstdlib>

#include "project/text_input.h"
#include "export/outputs.h"
#include "form1.h"
#include "messages.h"
#include "output_settings.h"
#include "platform/error.h"
#include "platform/file_output.h"
#include "platform/number.h"
#include "project/project_file.h"
#include "sheet/outline.h"

namespace karuvo::window {
namespace {

const QString kTitle = QStringLiteral("KARUVO作成ツール");

// A text of characters, `columns` cells to a line.
QString inRows(const QString& text, std::int32_t columns) {
    QString rows;
    std::int32_t inRow = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (inRow == columns) {
            rows += u'\n';
            inRow = 0;
        }
        rows += text[i];
        if (!text[i].isHighSurrogate()) ++inRow;
    }
    return rows;
}

// The cells in a row of a project's lists.
std::int32_t listColumns(const Project& p) {
    return p.settings.wrapColumns > 0 ? p.settings.wrapColumns : kDefaultCharColumns;
}

// A whole number typed into a box, or `fallback` when the box holds no number.
std::int32_t boxNumber(const QLineEdit* box, const char* what, std::int32_t fallback) {
    return isNumeric(box->text()) ? roundHalfEven(numberValue(box->text()), what) : fallback;
}

// The project file a drag carries: one local file named *.karuvo, or "".
QString draggedProject(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QString path = data->urls().first().toLocalFile();
    return path.endsWith(QStringLiteral(".karuvo"), Qt::CaseInsensitive) ? path : QString();
}

}  // namespace

void Form1::buildMenu() {
    MenuBar = new QMenuBar(this);
    MenuBar->setObjectName(QStringLiteral("MenuBar"));
    QMenu* file = MenuBar->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    const auto add = [&](const char* name, const QString& text, const QKeySequence& keys, void (Form1::*handler)()) {
        QAction* action = file->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
        return action;
    };
    mnuOpen = add("mnuOpen", QStringLiteral("プロジェクトを開く…"), QKeySequence(QStringLiteral("Ctrl+O")), &Form1::mnuOpen_Click);
    mnuSave = add("mnuSave", QStringLiteral("プロジェクトを保存"), QKeySequence(QStringLiteral("Ctrl+S")), &Form1::mnuSave_Click);
    mnuSaveAs = add("mnuSaveAs", QStringLiteral("名前を付けてプロジェクトを保存…"),
                    QKeySequence(QStringLiteral("Ctrl+Shift+S")), &Form1::mnuSaveAs_Click);
    mnuOutputSettings = add("mnuOutputSettings", QStringLiteral("出力設定…"), QKeySequence(QStringLiteral("Ctrl+Shift+E")),
                            &Form1::mnuOutputSettings_Click);
    mnuExport = add("mnuExport", QStringLiteral("書き出し"), QKeySequence(QStringLiteral("Ctrl+E")), &Form1::mnuExport_Click);
    file->addSeparator();
    mnuExit = add("mnuExit", QStringLiteral("終了"), QKeySequence(QStringLiteral("Ctrl+Q")), &Form1::mnuExit_Click);
    // F10 opens the menu, as it does in the desktop's other programs.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this, file] {
        MenuBar->setFocus(Qt::MenuBarFocusReason);
        MenuBar->setActiveAction(file->menuAction());
    });
}

bool Form1::isMenuKey(const QKeyEvent* key) const {
    const QKeySequence pressed(key->keyCombination());
    for (const QAction* action : {mnuOpen, mnuSave, mnuSaveAs, mnuOutputSettings, mnuExport, mnuExit})
        if (!action->shortcut().isEmpty() && action->shortcut().matches(pressed) == QKeySequence::ExactMatch) return true;
    return false;
}

void Form1::mnuOpen_Click() {
    if (!mayLoseChanges()) return;
    const QString path = dialogs_.OpenProjectFileDialog();
    if (!path.isEmpty()) openProject(path);
}

void Form1::mnuSave_Click() {
    if (projectPath_.isEmpty()) mnuSaveAs_Click();
    else saveProjectTo(projectPath_);
}

void Form1::mnuSaveAs_Click() {
    const QString path = dialogs_.SaveProjectFileDialog();
    if (!path.isEmpty()) saveProjectTo(path);
}

void Form1::mnuOutputSettings_Click() { editOutputSettings(); }

bool Form1::editOutputSettings() {
    const Project before = currentProject();
    OutputSettings dialog(before, dialogs_, this);
    Sources sources;
    bool newFont = false;
    // What cannot be loaded is refused in the dialog, before any control changes.
    dialog.onAccepting = [&](const Project& p) {
        newFont = p.font.given != before.font.given || p.font.family != before.font.family ||
                  p.font.faceIndex != before.font.faceIndex || p.font.pixelSize != before.font.pixelSize ||
                  p.font.mono != before.font.mono || p.font.noFallback != before.font.noFallback;
        sources = loadSources(p, newFont);
    };
    if (!(showOutputSettings ? showOutputSettings(dialog) : dialog.exec() == QDialog::Accepted)) return false;
    Project p = dialog.project();
    if (!p.listsCharacters() && !p.textFile) p.settings.text = text1Text();
    takeProject(std::move(p), std::move(sources), newFont);
    showProjectState();
    return true;
}

void Form1::mnuExport_Click() {
    Project p = currentProject();
    if (const auto conflict = settingConflict(p)) throw nothingWrittenError(conflictError(*conflict));
    if (p.outputPath.isEmpty()) {
        if (!editOutputSettings()) return;
        p = currentProject();
    }
    if (p.outputPath.isEmpty()) {
        throw Error(ErrorKind::Setting,
                    QT_TRANSLATE_NOOP("karuvo", "No sheet file is named, so nothing was written. Name one in 出力設定 (シート)."),
                    {});
    }
    // The characters and the font are made as the command line makes them.
    SheetSettings s = p.settings;
    if (p.listsCharacters()) {
        s.text = p.listedText();
        s.wrapColumns = listColumns(p);
    } else if (p.textFile) {
        s.text = readTextFile(*p.textFile);
    }
    MadeFont made;
    if (p.font.given) {
        made = makeFont(p.font);
        s.font = made.description;
    } else {
        made.font = Font::createDefaultSheetFont();
    }
    if (made.file) checkFontFileGlyphs(p.font, *made.file, made.description, s.text);
    std::vector<NamedFile> inputs;
    if (made.file) inputs.push_back({QStringLiteral("font.file"), p.font.family});
    if (p.textFile) inputs.push_back({QStringLiteral("textFile"), *p.textFile});
    if (!projectPath_.isEmpty()) inputs.push_back({QStringLiteral("the project"), projectPath_});
    if (s.fill == FillKind::Texture && !s.texturePath.isEmpty())
        inputs.push_back({QStringLiteral("fill.texture"), s.texturePath});
    statusText->clear();
    OutputResult result;
    try {
        result = writeOutputs({s, p.cellGiven, made.font.get(), p.font.pixelSize, p, std::move(inputs),
                               QStringLiteral("output.sheet"), QStringLiteral("output.fnt"), QStringLiteral("output.json"),
                               QStringLiteral(" (横 and 縦)"), 0, std::nullopt, {}, QStringLiteral("the font")});
    } catch (const OutputClash& clash) {
        throw Error(ErrorKind::Io, clash.message.toStdString());
    }
    const std::size_t files = static_cast<std::size_t>(result.paths.size()) + !p.fntPath.isEmpty() + !p.jsonPath.isEmpty();
    showStatus(exportText(result, files));
}

void Form1::mnuExit_Click() { close(); }

Form1::Sources Form1::loadSources(const Project& p, bool newFont) {
    Sources sources;
    if (newFont && p.font.given) sources.made = makeFont(p.font);
    if (p.listsCharacters()) sources.text = p.listedText();
    else if (p.textFile && *p.textFile != QStringLiteral("-")) sources.text = readTextFile(*p.textFile);
    return sources;
}

void Form1::takeProject(Project p, Sources sources, bool newFont) {
    const bool filling = std::exchange(filling_, true);
    const QString text = p.listsCharacters()   ? inRows(sources.text, listColumns(p))
                         : p.textFile.has_value() ? sources.text
                                                  : p.settings.text;
    if (text != text1Text()) Text1->setPlainText(text);
    if (newFont) {
        MadeFont& made = sources.made;
        if (made.font) {
            ChosenFont = made.description;
            Label1[0]->setText(made.font->resolvedFamily());
            const Font* previous = sheetContext_->selectFont(made.font.get());
            if (!OldFont[0]) OldFont[0] = previous;
            CurrentFont = std::move(made.font);
        } else {
            // The default sheet font, as the window starts with.
            if (OldFont[0]) sheetContext_->selectFont(OldFont[0]);
            OldFont[0] = nullptr;
            CurrentFont.reset();
            ChosenFont = {};
            Label1[0]->clear();
        }
        fontFile_ = std::move(made.file);  // after the font from the previous file is gone
        fontFromProject_ = p.font.given;
    }
    kept_ = std::move(p);
    textFromSource_ = kept_.listsCharacters() || kept_.textFile.has_value();
    sourceText_ = std::move(sources.text);
    filling_ = filling;
}

bool Form1::openProject(const QString& path) {
    // Everything that can fail comes first, so that a refused project changes nothing.
    Project p;
    Sources sources;
    try {
        p = readProject(path);
        sources = loadSources(p, true);
    } catch (const Error& e) {
        // A file that cannot be read is named under a lead of its own: the general
        // one speaks of writing.
        if (e.kind() == ErrorKind::Io && !e.source()) {
            dialogs_.showMessage(QCoreApplication::translate(
                                     "karuvo", "The project or a file it names cannot be read. Check the file's name and folder.") +
                                 u'\n' + QString::fromStdString(e.what()));
        } else {
            dialogs_.showMessage(userMessage(e));
        }
        return false;
    }

    filling_ = true;
    Picture1[0]->hide();
    const SheetSettings& s = p.settings;
    Text2[0]->setText(p.cellGiven ? decimalText(s.cellWidth) : QString());
    Text2[1]->setText(p.cellGiven ? decimalText(s.cellHeight) : QString());
    showColour(Label2[4], s.fillColour);
    Label2[5]->setText(s.texturePath);
    Option1[s.fill == FillKind::Texture ? 1 : 0]->setChecked(true);
    showColour(Label2[6], s.shadowColour);
    showColour(Label2[7], s.outlineColour);
    Text3[0]->setText(decimalText(s.shadowDx));
    Text3[1]->setText(decimalText(s.shadowDy));
    Text3[2]->setText(decimalText(s.outlineRadius));
    Option2[s.effect == EffectKind::Shadow ? 1 : s.effect == EffectKind::Outline ? 2 : 0]->setChecked(true);
    cellFitted_ = !p.cellGiven;
    const std::optional<QString> substituted = substitutedFamily(p.font, sources.made);
    takeProject(std::move(p), std::move(sources), true);
    projectPath_ = QFileInfo(path).absoluteFilePath();
    filling_ = false;
    savedContents_ = projectFileContents(currentProject(), projectPath_);
    showProjectState();
    if (substituted) {
        dialogs_.showMessage(QCoreApplication::translate(
                                 "karuvo", "The project's font \"%1\" is not installed, so the sheet is drawn in \"%2\" instead. "
                                           "Install the font, or choose another with フォント選択.")
                                 .arg(*substituted, Label1[0]->text()));
    }
    return true;
}

Project Form1::currentProject() const {
    Project p = kept_;
    SheetSettings& s = p.settings;
    if (!textFromSource_) {
        // A typed text replaces the lists, whose rows it shows as lines.
        if (p.listsCharacters()) s.wrapColumns = 0;
        p.chars.clear();
        p.charsets.clear();
        p.textFile.reset();
        s.text = text1Text();
    }
    if (!fontFromProject_ && CurrentFont) {
        // The chosen font replaces the project's; what no control shows stays.
        const FontDescription& d = CurrentFont->description();
        p.font.family = d.faceName;
        p.font.faceIndex = 0;
        p.font.pixelSize = std::abs(d.height);
        p.font.bold = d.weight >= 600;
        p.font.weight = 0;
        p.font.italic = d.italic != 0;
        p.font.underline = d.underline != 0;
        p.font.strikeOut = d.strikeOut != 0;
        p.font.given = true;
    }
    p.cellGiven = !cellFitted_ && isNumeric(Text2[0]->text()) && isNumeric(Text2[1]->text());
    if (p.cellGiven) {
        s.cellWidth = roundDown(numberValue(Text2[0]->text()), QT_TRANSLATE_NOOP("karuvo", "The cell width (横)"));
        s.cellHeight = roundDown(numberValue(Text2[1]->text()), QT_TRANSLATE_NOOP("karuvo", "The cell height (縦)"));
    }
    s.fill = Option1[0]->isChecked() ? FillKind::Colour : FillKind::Texture;
    s.fillColour = static_cast<Colour>(readColourCaption(Label2[4]->text()));
    s.texturePath = Label2[5]->text();
    s.effect = chosenEffect();
    s.shadowDx = boxNumber(Text3[0], QT_TRANSLATE_NOOP("karuvo", "The horizontal shadow offset (横)"), 0);
    s.shadowDy = boxNumber(Text3[1], QT_TRANSLATE_NOOP("karuvo", "The vertical shadow offset (縦)"), 0);
    s.shadowColour = static_cast<Colour>(readColourCaption(Label2[6]->text()));
    s.outlineRadius = readOutlineRadius(Text3[2]->text()).radius;
    s.outlineColour = static_cast<Colour>(readColourCaption(Label2[7]->text()));
    return p;
}

void Form1::applyKeptSettings(SheetSettings& s) const {
    if (textFromSource_) s.text = sourceText_;
    const bool lists = kept_.listsCharacters();
    s.wrapColumns = !lists ? kept_.settings.wrapColumns : textFromSource_ ? listColumns(kept_) : 0;
    s.distanceRange = kept_.settings.distanceRange;
    s.fieldType = kept_.settings.fieldType;
    s.colourGlyphs = kept_.settings.colourGlyphs;
    if (s.font && !fontFromProject_) {
        s.font->noFallback = kept_.font.noFallback;
        if (kept_.font.mono) s.font->quality = kNonAntialiasedQuality;
    }
}

void Form1::refuseDamagedGlyphs() const {
    if (!fontFromProject_ || !fontFile_) return;
    checkFontFileGlyphs(kept_.font, *fontFile_, CurrentFont->description(), textFromSource_ ? sourceText_ : text1Text());
}

void Form1::saveProjectTo(const QString& path) {
    const Project p = currentProject();
    if (const auto conflict = settingConflict(p)) throw nothingWrittenError(conflictError(*conflict));
    const QByteArray contents = projectFileContents(p, path);
    // What cannot be read back is not written: the reader's checks name the setting.
    try {
        static_cast<void>(parseProject(contents, path));
    } catch (const Error& e) {
        throw Error(ErrorKind::Setting,
                    QT_TRANSLATE_NOOP("karuvo", "The project cannot hold these settings, so nothing was saved: %1"),
                    {e.what()});
    }
    writeFilesAtomically({{path, contents}});
    projectPath_ = QFileInfo(path).absoluteFilePath();
    savedContents_ = contents;
    showProjectState();
}

bool Form1::isProjectModified() const {
    if (projectPath_.isEmpty()) return false;
    try {
        return projectFileContents(currentProject(), projectPath_) != savedContents_;
    } catch (const Error&) {
        return true;  // a box holds what the file cannot
    }
}

void Form1::showProjectState() {
    if (filling_) return;
    setWindowTitle(projectPath_.isEmpty() ? kTitle
                                          : QFileInfo(projectPath_).fileName() + QStringLiteral("[*] - ") + kTitle);
    setWindowModified(isProjectModified());
}

bool Form1::mayLoseChanges() {
    if (!isProjectModified()) return true;
    switch (dialogs_.AskSaveChanges(QFileInfo(projectPath_).fileName())) {
    case dialogs::Dialogs::Unsaved::Save:
        try {
            saveProjectTo(projectPath_);
        } catch (const Error& e) {
            dialogs_.showMessage(userMessage(e));
            return false;
        }
        return true;
    case dialogs::Dialogs::Unsaved::Discard: return true;
    case dialogs::Dialogs::Unsaved::Cancel: break;
    }
    return false;
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!draggedProject(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString path = draggedProject(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    if (mayLoseChanges()) openProject(path);
}

}  // namespace karuvo::window
