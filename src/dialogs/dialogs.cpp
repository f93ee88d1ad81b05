#include "dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
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

// `filters` holds the name filter of each file type, the default first.
QString runFileDialog(QFileDialog::AcceptMode mode, const char16_t* title, const QStringList& filters,
                      const QString& defaultSuffix = QStringLiteral("bmp")) {
    QFileDialog dialog(nullptr, QString::fromUtf16(title));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    // Qt adds the suffix before its own overwrite check, so the check sees the real name.
    if (mode == QFileDialog::AcceptSave) dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

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

QString withBmpSuffix(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QStringLiteral(".bmp");
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
    return runFileDialog(QFileDialog::AcceptOpen, kOpenTitle, {textureNameFilter()});
}

QString Module1::SaveSheetFileDialog() {
    return withBmpSuffix(runFileDialog(
        QFileDialog::AcceptSave, kSaveTitle,
        {nameFilter(QString::fromUtf16(kSaveFilterDescription), QString::fromUtf16(kSaveFilterPatterns)),
         nameFilter(QString::fromUtf16(kSavePngFilterDescription), QString::fromUtf16(kSavePngFilterPatterns))}));
}

void Module1::showMessage(const QString& message) {
    QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("KARUVO作成ツール"), message);
}

QString projectNameFilter() {
    return nameFilter(QString::fromUtf16(kProjectFilterDescription), QString::fromUtf16(kProjectFilterPatterns));
}

QString Module1::OpenProjectFileDialog() {
    return runFileDialog(QFileDialog::AcceptOpen, kOpenProjectTitle, {projectNameFilter()});
}

QString Module1::SaveProjectFileDialog() {
    const QString path =
        runFileDialog(QFileDialog::AcceptSave, kSaveProjectTitle, {projectNameFilter()}, QStringLiteral("karuvo"));
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QStringLiteral(".karuvo");
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

}  // namespace karuvo::dialogs
