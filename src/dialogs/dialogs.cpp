#include "dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDialog>
#include <QFontInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QSettings>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <cmath>

#include "platform/image_io.h"

namespace karuvo::dialogs {
namespace {

constexpr std::uint8_t kDefaultCharSet = 1;
constexpr std::uint8_t kFixedPitch = 1;
constexpr std::uint8_t kVariablePitch = 2;

std::uint8_t familyBitsOf(QFont::StyleHint hint) {
    switch (hint) {
    case QFont::Serif: return 0x10;
    case QFont::SansSerif: return 0x20;
    case QFont::TypeWriter: return 0x30;
    case QFont::Cursive: return 0x40;
    case QFont::Decorative: return 0x50;
    default: return 0x00;
    }
}

// The file dialogs' sizes and dates in Japanese forms: the file system model writes
// them in the system locale's, which is English under the C locale.
class JapaneseDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() == kNameColumn) return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale japanese(QLocale::Japanese, QLocale::Japan);
        if (index.column() == kDateColumn) return japanese.toString(files->lastModified(source), QLocale::ShortFormat);
        if (!files->isDir(source)) {
            if (index.column() == kSizeColumn) return japanese.formattedDataSize(files->size(source));
            return QIdentityProxyModel::data(index, role);  // the kind of file, in the default locale
        }
        // Qt's Japanese texts lack the word for a folder in this place.
        return index.column() == kTypeColumn ? QVariant(QStringLiteral("フォルダー")) : QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kNameColumn = 0;
    static constexpr int kSizeColumn = 1;
    static constexpr int kTypeColumn = 2;
    static constexpr int kDateColumn = 3;
};

// Qt's own file dialog (whose answers are known on every desktop), details in Japanese.
void prepareFileDialog(QFileDialog& dialog, QFileDialog::AcceptMode mode, const QStringList& filters) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setProxyModel(new JapaneseDetails(&dialog));
}

QSettings userSettings() { return QSettings(QStringLiteral("KARUVO"), QStringLiteral("karuvo")); }
const QString kSaveFolderKey = QStringLiteral("save/folder");

QString saveFilter(SheetFileType type) {
    return type == SheetFileType::Png
               ? nameFilter(QString::fromUtf16(kSavePngFilterDescription), QString::fromUtf16(kSavePngFilterPatterns))
               : nameFilter(QString::fromUtf16(kSaveFilterDescription), QString::fromUtf16(kSaveFilterPatterns));
}

QString suffixOf(SheetFileType type) { return type == SheetFileType::Png ? QStringLiteral("png") : QStringLiteral("bmp"); }

// The save dialog: the chosen file type gives a bare name its suffix, and the question
// before replacing a file names the file savedFileName() gives, which is the one written.
class SaveSheetDialog : public QFileDialog {
public:
    SaveSheetDialog() : QFileDialog(nullptr, QString::fromUtf16(kSaveTitle)) {
        prepareFileDialog(*this, AcceptSave, {saveFilter(SheetFileType::Bitmap), saveFilter(SheetFileType::Png)});
        setOption(DontConfirmOverwrite);  // asked below, about the real name
        const QString folder = userSettings().value(kSaveFolderKey).toString();
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) setDirectory(folder);
    }

    SheetFileType type() const {
        return selectedNameFilter() == saveFilter(SheetFileType::Png) ? SheetFileType::Png : SheetFileType::Bitmap;
    }
    const QString& target() const { return target_; }

protected:
    void accept() override {
        const QString given = selectedFiles().value(0);
        if (given.isEmpty() || QFileInfo(given).isDir()) {
            QFileDialog::accept();  // goes into the folder
            return;
        }
        target_ = savedFileName(given, type());
        if (QFileInfo::exists(target_)) {
            const QString question = QCoreApplication::translate(
                "karuvo", "%1 already exists.\nDo you want to replace it?").arg(QFileInfo(target_).fileName());
            if (QMessageBox::warning(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) != QMessageBox::Yes)
                return;
        }
        QFileDialog::accept();
    }

private:
    QString target_;
};

}  // namespace

QString textureNameFilter() {
    const QStringList formats = readablePictureFormats();
    QStringList patterns;
    for (const QString& f : formats) patterns << QStringLiteral("*.") + f;
    return nameFilter(QStringLiteral("画像ファイル(%1)").arg(formats.join(u',')), patterns.join(u';'));
}

QString nameFilter(const QString& description, const QString& patterns) {
    return description + QStringLiteral(" (") + patterns.split(u';', Qt::SkipEmptyParts).join(u' ') +
           QStringLiteral(")");
}

FontDescription describeFont(const QFont& font) {
    FontDescription d;
    if (font.pointSizeF() > 0) {
        d.height = -static_cast<std::int32_t>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    } else {
        d.height = -font.pixelSize();
    }
    d.weight = font.weight();
    d.italic = font.italic() ? 1 : 0;
    d.underline = font.underline() ? 1 : 0;
    d.strikeOut = font.strikeOut() ? 1 : 0;
    d.charSet = kDefaultCharSet;
    d.pitchAndFamily = static_cast<std::uint8_t>((QFontInfo(font).fixedPitch() ? kFixedPitch : kVariablePitch) |
                                                 familyBitsOf(font.styleHint()));
    d.faceName = font.family();
    return d;
}

QString savedFileName(const QString& path, SheetFileType chosen) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (path.isEmpty() || suffix == u"png" || suffix == u"bmp") return path;
    return path + (path.endsWith(u'.') ? QString() : QStringLiteral(".")) + suffixOf(chosen);
}

std::optional<FontDescription> Module1::ChooseFontDialog() {
    bool ok = false;
    // Opens on a plain font each time, never on the previous choice.
    const QFont font = QFontDialog::getFont(&ok, QFont(), nullptr);
    if (!ok) return std::nullopt;
    return describeFont(font);
}

std::optional<Colour> Module1::ChooseColorDialog() {
    // Custom colours belong to one call only.
    for (int i = 0; i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, QColor(Qt::black));
    const QColor c = QColorDialog::getColor(QColor(Qt::black), nullptr);
    if (!c.isValid()) return std::nullopt;
    return colourFromRgb(c.red(), c.green(), c.blue());
}

QString Module1::OpenTextureFileDialog() {
    QFileDialog dialog(nullptr, QString::fromUtf16(kOpenTitle));
    prepareFileDialog(dialog, QFileDialog::AcceptOpen, {textureNameFilter(), QString::fromUtf16(kAllFilesFilter)});
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

SaveName Module1::SaveSheetFileDialog() {
    SaveSheetDialog dialog;
    if (dialog.exec() != QDialog::Accepted || dialog.target().isEmpty()) return {};
    userSettings().setValue(kSaveFolderKey, QFileInfo(dialog.target()).absolutePath());
    return {dialog.target(), dialog.type()};
}

void Module1::showMessage(const QString& message) {
    QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("KARUVO作成ツール"), message);
}

void Module1::showList(const QString& title, const QString& lines) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QPlainTextEdit(lines, &dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(480, 360);
    dialog.exec();
}

QString projectNameFilter() {
    return nameFilter(QString::fromUtf16(kProjectFilterDescription), QString::fromUtf16(kProjectFilterPatterns));
}

QString Module1::OpenProjectFileDialog() {
    QFileDialog dialog(nullptr, QString::fromUtf16(kOpenProjectTitle));
    prepareFileDialog(dialog, QFileDialog::AcceptOpen, {projectNameFilter()});
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

QString Module1::SaveProjectFileDialog() {
    QFileDialog dialog(nullptr, QString::fromUtf16(kSaveProjectTitle));
    prepareFileDialog(dialog, QFileDialog::AcceptSave, {projectNameFilter()});
    // Qt adds the suffix before its own overwrite check, so the check sees the real name.
    dialog.setDefaultSuffix(QStringLiteral("karuvo"));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

Dialogs::Unsaved Module1::AskSaveChanges(const QString& projectName) {
    // The buttons' captions come from Qt's own translations.
    const QMessageBox::StandardButton answer = QMessageBox::question(
        QApplication::activeWindow(), QStringLiteral("KARUVO作成ツール"),
        QStringLiteral("プロジェクト「%1」は変更されています。保存しますか？").arg(projectName),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) return Unsaved::Save;
    if (answer == QMessageBox::Discard) return Unsaved::Discard;
    return Unsaved::Cancel;
}

QString Module1::ChooseSettingsFileDialog(SettingsFile kind, const QString& current) {
    struct Kind {
        const char16_t* title;
        QStringList filters;
        bool output;
    };
    const QString all = QString::fromUtf16(kAllFilesFilter);
    const Kind k = [&]() -> Kind {
        switch (kind) {
        case SettingsFile::Text:
            return {u"文字のテキストファイル", {nameFilter(QStringLiteral("テキストファイル (UTF-8)"), QStringLiteral("*.txt")), all}, false};
        case SettingsFile::Font:
            return {u"フォントファイル",
                    {nameFilter(QStringLiteral("フォントファイル"), QStringLiteral("*.ttf;*.otf;*.ttc;*.otc")), all}, false};
        case SettingsFile::Sheet:
            return {u"シートのファイル名", {saveFilter(SheetFileType::Png), saveFilter(SheetFileType::Bitmap)}, true};
        case SettingsFile::Fnt:
            return {u".fnt ファイル名", {nameFilter(QStringLiteral(".fnt"), QStringLiteral("*.fnt")), all}, true};
        case SettingsFile::Json:
            return {u"JSON ファイル名", {nameFilter(QStringLiteral("JSON"), QStringLiteral("*.json")), all}, true};
        }
        return {u"", {all}, false};
    }();
    QFileDialog dialog(QApplication::activeWindow(), QString::fromUtf16(k.title));
    prepareFileDialog(dialog, k.output ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen, k.filters);
    // An output is written by 書き出し, which says what it replaces.
    if (k.output) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!current.isEmpty()) dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace karuvo::dialogs
