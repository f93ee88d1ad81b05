#include "output_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QVBoxLayout>
#include <memory>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "messages.h"
#include "platform/error.h"
#include "platform/file_input.h"
#include "project/project_file.h"
#include "project/setting_checks.h"

namespace karuvo::window {
namespace {

using SettingsFile = dialogs::Dialogs::SettingsFile;

QString translated(const char* text) { return QCoreApplication::translate(kMessageContext, text); }

// Names of the controls in the checks' messages, which start with the name.
const QString kListName = QStringLiteral("一覧");
const QString kColumnsName = QStringLiteral("列数");
const QString kTextFileName = QStringLiteral("テキストファイル");
const QString kFontSizeName = QStringLiteral("ピクセルサイズ");
const QString kSheetName = QStringLiteral("シート");
const QString kMaxPageName = QStringLiteral("ページの最大辺");
const QString kRangeName = QStringLiteral("距離フィールドの範囲");

const char* const kFntFormats[] = {"テキスト", "XML", "バイナリ"};  // in FntFormat's order
const char* const kPitches[] = {"フォント", "セル"};                // in Pitch's order
const char* const kFieldTypes[] = {"単色 (SDF)", "多色 (MSDF)", "多色+距離 (MTSDF)"};  // in FieldType's order

// What the dialog says for a refused value: a lead of its own for what the checks and
// the readers say in plain words, the window's own words otherwise.
QString refusalText(const Error& e) {
    if (e.source()) return userMessage(e);
    switch (e.kind()) {
        case ErrorKind::Setting:
        case ErrorKind::Text:
            return translated(
                       QT_TRANSLATE_NOOP("karuvo", "This setting cannot be taken. Correct it as the message says.")) +
                   u'\n' + QString::fromStdString(e.what());
        case ErrorKind::Io:
            return translated(
                       QT_TRANSLATE_NOOP("karuvo", "A file named here cannot be read. Check its name and folder.")) +
                   u'\n' + QString::fromStdString(e.what());
        default:
            return userMessage(e);
    }
}

[[noreturn]] void refuse(const char* message) { throw Error(ErrorKind::Setting, message, {}); }

// The font settings the dialog shows, compared to tell a changed font.
bool sameFont(const FontRequest& a, const FontRequest& b) {
    return a.family == b.family && a.faceIndex == b.faceIndex && a.pixelSize == b.pixelSize && a.mono == b.mono &&
           a.noFallback == b.noFallback;
}

// The file a box names: `shown` as it was when the box still holds it, otherwise the
// box's name made absolute; "" for an empty box.
QString pathIn(const QLineEdit* box, const QString& shown) {
    const QString text = box->text();
    if (text == shown || text.isEmpty()) return text;
    return QDir::cleanPath(QFileInfo(text).absoluteFilePath());
}

// A whole number typed into a box, 0 for an empty box.
std::int32_t optionalWhole(const QLineEdit* box, const QString& name,
                           std::int32_t (*setting)(const QString&, const QString&)) {
    return box->text().trimmed().isEmpty() ? 0 : setting(name, box->text());
}

QString numberOrEmpty(std::int32_t n) { return n > 0 ? QString::number(n) : QString(); }

}  // namespace

QStringList fontFaceNames(const QString& path) {
    // FreeType would wait for ever on a pipe; a folder or device is no font either.
    if (specialFileKind(path) || !QFileInfo(path).isFile()) return {};
    FT_Library raw = nullptr;
    if (FT_Init_FreeType(&raw) != 0) return {};
    const std::unique_ptr<FT_LibraryRec_, FT_Error (*)(FT_Library)> library(raw, FT_Done_FreeType);
    const QByteArray file = QFile::encodeName(path);
    const auto open = [&](FT_Long index) {
        FT_Face face = nullptr;
        if (FT_New_Face(library.get(), file.constData(), index, &face) != 0) face = nullptr;
        return std::unique_ptr<FT_FaceRec_, FT_Error (*)(FT_Face)>(face, FT_Done_Face);
    };
    const auto first = open(0);
    if (!first) return {};
    QStringList names;
    for (FT_Long i = 0; i < first->num_faces; ++i) {
        const auto face = open(i);
        if (!face) return {};
        QString name = QString::fromUtf8(face->family_name ? face->family_name : "");
        if (face->style_name) name += u' ' + QString::fromUtf8(face->style_name);
        names << QStringLiteral("%1: %2").arg(i).arg(name);
    }
    return names;
}

OutputSettings::OutputSettings(const Project& project, dialogs::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), given_(project), dialogs_(dialogs) {
    setObjectName(QStringLiteral("OutputSettings"));
    setWindowTitle(QStringLiteral("出力設定"));
    auto* layout = new QVBoxLayout(this);
    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    // A row of a section: a caption that moves the focus to its box, the box, and a
    // 参照… button that asks for the box's file.
    const auto row = [&](QGridLayout* grid, const QString& caption, QWidget* box, const char* browseCaption = nullptr,
                         std::function<void()> browsed = {}) {
        const int at = grid->rowCount();
        auto* label = new QLabel(caption, grid->parentWidget());
        label->setBuddy(box);
        grid->addWidget(label, at, 0);
        grid->addWidget(box, at, 1);
        if (browseCaption) {
            auto* browse = new QPushButton(QString::fromUtf8(browseCaption), grid->parentWidget());
            browse->setObjectName(box->objectName() + QStringLiteral("Browse"));
            browse->setAutoDefault(false);
            connect(browse, &QPushButton::clicked, this, std::move(browsed));
            grid->addWidget(browse, at, 2);
        }
    };
    const auto fileBox = [&](QWidget* parent, const char* name, const QString& value) {
        auto* box = named(new QLineEdit(value, parent), name);
        box->setMinimumWidth(320);  // room for a path
        return box;
    };
    const auto browseInto = [this](QLineEdit* box, SettingsFile kind, std::function<void()> then = {}) {
        return [this, box, kind, then] {
            const QString chosen = dialogs_.ChooseSettingsFileDialog(kind, box->text());
            if (chosen.isEmpty()) return;
            box->setText(chosen);
            if (then) then();
        };
    };

    // 文字
    auto* chars = named(new QGroupBox(QStringLiteral("文字"), this), "grpChars");
    auto* charsGrid = new QGridLayout(chars);
    optTyped_ = named(new QRadioButton(QStringLiteral("入力した文字(&T)"), chars), "optTyped");
    optLists_ = named(new QRadioButton(QStringLiteral("文字集合と一覧(&L)"), chars), "optLists");
    charsGrid->addWidget(optTyped_, 0, 0, 1, 3);
    charsGrid->addWidget(optLists_, 1, 0, 1, 3);
    auto* sets = new QGridLayout;
    const QStringList names = charsetNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        CodePointSet set;
        QString count = QStringLiteral("?");
        try {
            addCharset(names[i], set);
            count = QString::number(set.size());
        } catch (const Error&) {
            // The set's converter is missing: the set is refused when it is built.
        }
        auto* box = new QCheckBox(QStringLiteral("&%1 %2 (%3 文字)").arg(i + 1).arg(names[i], count), chars);
        box->setObjectName(QStringLiteral("chkCharset_") + names[i]);
        box->setChecked(project.charsets.contains(names[i]));
        sets->addWidget(box, int(i / 2), int(i % 2));
        charsets_.push_back(box);
    }
    charsGrid->addLayout(sets, 2, 0, 1, 3);
    txtChars_ = named(new QLineEdit(charList(project.chars), chars), "txtChars");
    row(charsGrid, QStringLiteral("一覧(&I):"), txtChars_);
    lblCharsError_ = named(new QLabel(chars), "lblCharsError");
    lblCharsError_->setWordWrap(true);
    charsGrid->addWidget(lblCharsError_, charsGrid->rowCount(), 1, 1, 2);
    optFile_ = named(new QRadioButton(QStringLiteral("テキストファイル(&X)"), chars), "optFile");
    charsGrid->addWidget(optFile_, charsGrid->rowCount(), 0, 1, 3);
    txtTextFile_ = fileBox(chars, "txtTextFile", project.textFile.value_or(QString()));
    row(charsGrid, QStringLiteral("ファイル名(&A):"), txtTextFile_, "参照(&B)…",
        browseInto(txtTextFile_, SettingsFile::Text));
    txtColumns_ = named(new QLineEdit(numberOrEmpty(project.settings.wrapColumns), chars), "txtColumns");
    row(charsGrid, QStringLiteral("列数(&Q):"), txtColumns_);
    (project.textFile ? optFile_ : project.listsCharacters() ? optLists_ : optTyped_)->setChecked(true);
    layout->addWidget(chars);

    // フォント
    auto* font = named(new QGroupBox(QStringLiteral("フォント"), this), "grpFont");
    auto* fontGrid = new QGridLayout(font);
    const bool fontFile = looksLikeFontPath(project.font.family);
    txtFontFile_ = fileBox(font, "txtFontFile", fontFile ? project.font.family : QString());
    row(fontGrid, QStringLiteral("フォントファイル(&W):"), txtFontFile_, "参照(&R)…",
        browseInto(txtFontFile_, SettingsFile::Font, [this] { listFaces(0); }));
    cboFace_ = named(new QComboBox(font), "cboFace");
    row(fontGrid, QStringLiteral("書体(&F):"), cboFace_);
    connect(txtFontFile_, &QLineEdit::editingFinished, this, [this] { listFaces(0); });
    chkMono_ = named(new QCheckBox(QStringLiteral("モノクロ(&M)"), font), "chkMono");
    chkMono_->setChecked(project.font.mono);
    chkNoFallback_ = named(new QCheckBox(QStringLiteral("代替フォントを使わない(&N)"), font), "chkNoFallback");
    chkNoFallback_->setChecked(project.font.noFallback);
    // Digits 1 to 8 and every letter are taken by other controls.
    chkColourGlyphs_ = named(new QCheckBox(QStringLiteral("カラーグリフを色のまま描く(&9)"), font), "chkColourGlyphs");
    chkColourGlyphs_->setChecked(project.settings.colourGlyphs);
    fontGrid->addWidget(chkMono_, fontGrid->rowCount(), 1);
    fontGrid->addWidget(chkNoFallback_, fontGrid->rowCount(), 1);
    fontGrid->addWidget(chkColourGlyphs_, fontGrid->rowCount(), 1);
    // The font dialog works in points; the sheet is drawn, and this box typed, in pixels.
    txtFontSize_ = named(new QLineEdit(QString::number(project.font.pixelSize), font), "txtFontSize");
    row(fontGrid, QStringLiteral("ピクセルサイズ(&Z):"), txtFontSize_);
    layout->addWidget(font);

    // 出力
    auto* output = named(new QGroupBox(QStringLiteral("出力"), this), "grpOutput");
    auto* outputGrid = new QGridLayout(output);
    txtSheet_ = fileBox(output, "txtSheet", project.outputPath);
    row(outputGrid, QStringLiteral("シート (PNG/BMP)(&S):"), txtSheet_, "参照(&E)…",
        browseInto(txtSheet_, SettingsFile::Sheet));
    txtFnt_ = fileBox(output, "txtFnt", project.fntPath);
    row(outputGrid, QStringLiteral(".fnt(&D):"), txtFnt_, "参照(&H)…", browseInto(txtFnt_, SettingsFile::Fnt));
    cboFntFormat_ = named(new QComboBox(output), "cboFntFormat");
    for (const char* form : kFntFormats) cboFntFormat_->addItem(QString::fromUtf8(form));
    cboFntFormat_->setCurrentIndex(static_cast<int>(project.fntFormat));
    row(outputGrid, QStringLiteral(".fnt の形式(&K):"), cboFntFormat_);
    txtJson_ = fileBox(output, "txtJson", project.jsonPath);
    row(outputGrid, QStringLiteral("JSON(&J):"), txtJson_, "参照(&V)…", browseInto(txtJson_, SettingsFile::Json));
    cboPitch_ = named(new QComboBox(output), "cboPitch");
    for (const char* pitch : kPitches) cboPitch_->addItem(QString::fromUtf8(pitch));
    cboPitch_->setCurrentIndex(static_cast<int>(project.pitch));
    row(outputGrid, QStringLiteral("ピッチ(&P):"), cboPitch_);
    txtMaxPage_ = named(new QLineEdit(numberOrEmpty(project.maxPageSide), output), "txtMaxPage");
    row(outputGrid, QStringLiteral("ページの最大辺 (px)(&G):"), txtMaxPage_);
    chkField_ = named(new QCheckBox(QStringLiteral("距離フィールド(&Y)"), output), "chkField");
    chkField_->setChecked(project.settings.distanceRange > 0);
    outputGrid->addWidget(chkField_, outputGrid->rowCount(), 1);
    cboFieldType_ = named(new QComboBox(output), "cboFieldType");
    for (const char* type : kFieldTypes) cboFieldType_->addItem(QString::fromUtf8(type));
    cboFieldType_->setCurrentIndex(static_cast<int>(project.settings.fieldType));
    row(outputGrid, QStringLiteral("種類(&0):"), cboFieldType_);  // every letter is taken
    txtRange_ = named(new QLineEdit(numberOrEmpty(project.settings.distanceRange), output), "txtRange");
    row(outputGrid, QStringLiteral("範囲 (px)(&U):"), txtRange_);
    layout->addWidget(output);

    lblRefusal_ = named(new QLabel(this), "lblRefusal");
    lblRefusal_->setWordWrap(true);
    layout->addWidget(lblRefusal_);
    auto* buttons = named(new QDialogButtonBox(this), "buttons");
    buttons->addButton(QStringLiteral("OK(&O)"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("cmdOK"));
    buttons->addButton(QStringLiteral("キャンセル(&C)"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &OutputSettings::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OutputSettings::reject);
    layout->addWidget(buttons);

    listFaces(project.font.faceIndex);
    for (QRadioButton* option : {optTyped_, optLists_, optFile_})
        connect(option, &QRadioButton::toggled, this, [this] { enableChosen(); });
    connect(chkField_, &QCheckBox::toggled, this, [this] { enableChosen(); });
    connect(txtChars_, &QLineEdit::textChanged, this, [this] { checkList(); });
    enableChosen();
    checkList();
}

void OutputSettings::listFaces(std::int32_t index) {
    cboFace_->clear();
    if (txtFontFile_->text().isEmpty()) return;
    cboFace_->addItems(fontFaceNames(txtFontFile_->text()));
    cboFace_->setCurrentIndex(index < cboFace_->count() ? index : 0);
}

void OutputSettings::checkList() {
    CodePointSet ignored;
    try {
        if (!txtChars_->text().isEmpty()) charListSetting(kListName, txtChars_->text(), ignored);
        lblCharsError_->clear();
    } catch (const Error& e) {
        lblCharsError_->setText(refusalText(e));
    }
}

void OutputSettings::enableChosen() {
    for (QCheckBox* box : charsets_) box->setEnabled(optLists_->isChecked());
    txtChars_->setEnabled(optLists_->isChecked());
    txtTextFile_->setEnabled(optFile_->isChecked());
    if (auto* browse = findChild<QPushButton*>(QStringLiteral("txtTextFileBrowse")))
        browse->setEnabled(optFile_->isChecked());
    txtRange_->setEnabled(chkField_->isChecked());
    cboFieldType_->setEnabled(chkField_->isChecked());
}

Project OutputSettings::project() const {
    Project p = given_;
    SheetSettings& s = p.settings;

    if (!optLists_->isChecked()) {
        p.chars.clear();
        p.charsets.clear();
    }
    if (!optFile_->isChecked()) p.textFile.reset();
    if (optLists_->isChecked()) {
        if (txtChars_->text() != charList(given_.chars)) {
            p.chars.clear();
            if (!txtChars_->text().isEmpty()) charListSetting(kListName, txtChars_->text(), p.chars);
        }
        QStringList checked;
        const QStringList names = charsetNames();
        for (std::size_t i = 0; i < charsets_.size(); ++i)
            if (charsets_[i]->isChecked()) checked << names[qsizetype(i)];
        // The project's own order stays while the same sets are chosen.
        if (QSet<QString>(checked.begin(), checked.end()) !=
            QSet<QString>(given_.charsets.begin(), given_.charsets.end()))
            p.charsets = checked;
        if (!p.listsCharacters())
            refuse(
                QT_TRANSLATE_NOOP("karuvo", "No character is listed: choose a character set or type a list (一覧)."));
    } else if (optFile_->isChecked()) {
        p.textFile = pathIn(txtTextFile_, given_.textFile.value_or(QString()));
        requireNonEmpty(kTextFileName, *p.textFile);
    }
    s.wrapColumns = optionalWhole(txtColumns_, kColumnsName, columnsSetting);

    FontRequest& f = p.font;
    const bool fileGiven = looksLikeFontPath(given_.font.family);
    if (!txtFontFile_->text().isEmpty()) {
        const QString shown = fileGiven ? given_.font.family : QString();
        f.family = pathIn(txtFontFile_, shown);
        // A file whose faces cannot be listed keeps the face it had.
        f.faceIndex = cboFace_->currentIndex() >= 0 ? cboFace_->currentIndex()
                      : f.family == shown           ? given_.font.faceIndex
                                                    : 0;
    } else if (fileGiven) {
        f.family.clear();  // the default sheet font's family
        f.faceIndex = 0;
    }
    f.pixelSize = fontSizeSetting(kFontSizeName, txtFontSize_->text());
    f.mono = chkMono_->isChecked();
    f.noFallback = chkNoFallback_->isChecked();
    s.colourGlyphs = chkColourGlyphs_->isChecked();
    if (!sameFont(f, given_.font)) f.given = true;

    p.outputPath = pathIn(txtSheet_, given_.outputPath);
    if (!p.outputPath.isEmpty()) sheetFileSetting(kSheetName, txtSheet_->text());
    p.fntPath = pathIn(txtFnt_, given_.fntPath);
    p.jsonPath = pathIn(txtJson_, given_.jsonPath);
    if (p.outputPath.isEmpty() && (!p.fntPath.isEmpty() || !p.jsonPath.isEmpty()))
        refuse(
            QT_TRANSLATE_NOOP("karuvo", "The .fnt and the JSON describe a sheet: name the sheet file (シート) too."));
    p.fntFormat = static_cast<FntFormat>(cboFntFormat_->currentIndex());
    p.pitch = static_cast<Pitch>(cboPitch_->currentIndex());
    p.maxPageSide = optionalWhole(txtMaxPage_, kMaxPageName, pageSideSetting);
    s.distanceRange = chkField_->isChecked() ? distanceRangeSetting(kRangeName, txtRange_->text()) : 0;
    s.fieldType = chkField_->isChecked() ? static_cast<FieldType>(cboFieldType_->currentIndex()) : FieldType::Sdf;
    return p;
}

QString OutputSettings::refusal() const { return lblRefusal_->text(); }

void OutputSettings::accept() {
    try {
        const Project p = project();
        if (const auto conflict = settingConflict(p)) throw conflictError(*conflict);
        if (onAccepting) onAccepting(p);
    } catch (const Error& e) {
        lblRefusal_->setText(refusalText(e));
        return;
    }
    lblRefusal_->clear();
    QDialog::accept();
}

}  // namespace karuvo::window
