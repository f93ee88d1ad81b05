#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/colour.h"
#include "platform/font.h"

class QFont;
class QWidget;

namespace karuvo::dialogs {

// The common dialogs the window asks for values. Each call is modal and hands back
// one value; a cancelled dialog is told apart from every real answer.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The description of the chosen font; none when cancelled.
    virtual std::optional<FontDescription> ChooseFontDialog() = 0;
    // The chosen colour; none when cancelled (so black stays a real answer).
    virtual std::optional<Colour> ChooseColorDialog() = 0;
    // Full path of the texture image to load, or "" when cancelled.
    virtual QString OpenTextureFileDialog() = 0;
    // Full path under which to save the sheet, always ending in a suffix (".bmp"
    // added to a bare name), or "" when cancelled. A name ending ".png" asks for the
    // sheet with transparency, any other name for the bitmap.
    virtual QString SaveSheetFileDialog() = 0;

    // Tells the user why an action failed; returns when the user has read it.
    virtual void showMessage(const QString& message) = 0;

    // Full path of the project file to open, or "" when cancelled.
    virtual QString OpenProjectFileDialog() = 0;
    // Full path under which to save the project, ".karuvo" added to a bare name, or ""
    // when cancelled.
    virtual QString SaveProjectFileDialog() = 0;
    // What to do with the unsaved changes of the project named `projectName` before
    // they would be lost.
    enum class Unsaved { Save, Discard, Cancel };
    virtual Unsaved AskSaveChanges(const QString& projectName) = 0;
};

// The texts of the two file dialogs.
inline constexpr const char16_t* kOpenTitle = u"テクスチャ画像ファイル名";
inline constexpr const char16_t* kSaveTitle = u"保存する画像ファイル名";
inline constexpr const char16_t* kSaveFilterDescription = u"画像ファイル(bmp)";
inline constexpr const char16_t* kSaveFilterPatterns = u"*.bmp";
inline constexpr const char16_t* kSavePngFilterDescription = u"PNG (透過)";
inline constexpr const char16_t* kSavePngFilterPatterns = u"*.png";
// The texts of the project file dialogs.
inline constexpr const char16_t* kOpenProjectTitle = u"開くプロジェクトファイル名";
inline constexpr const char16_t* kSaveProjectTitle = u"保存するプロジェクトファイル名";
inline constexpr const char16_t* kProjectFilterDescription = u"プロジェクトファイル";
inline constexpr const char16_t* kProjectFilterPatterns = u"*.karuvo";

// The open dialog's one filter: every picture format the texture loader reads,
// "画像ファイル(bmp,gif,...) (*.bmp *.gif ...)".
QString textureNameFilter();

// The project dialogs' one filter, "プロジェクトファイル (*.karuvo)".
QString projectNameFilter();

// A Qt name filter with one entry: the description, then the ";"-separated patterns
// in parentheses, space-separated as Qt reads them.
QString nameFilter(const QString& description, const QString& patterns);

// The description of a font as the font dialog hands it back: a point size becomes a
// character height in pixels at 96 dpi (9 pt gives -12); the face name is kept whole.
FontDescription describeFont(const QFont& font);

// The path with ".bmp" added when its file name has no suffix; "" stays "".
QString withBmpSuffix(const QString& path);

// The real dialogs, over Qt's font, colour and file dialogs.
class Module1 : public Dialogs {
public:
    std::optional<FontDescription> ChooseFontDialog() override;
    std::optional<Colour> ChooseColorDialog() override;
    QString OpenTextureFileDialog() override;
    QString SaveSheetFileDialog() override;
    void showMessage(const QString& message) override;
    QString OpenProjectFileDialog() override;
    QString SaveProjectFileDialog() override;
    Unsaved AskSaveChanges(const QString& projectName) override;
};

}  // namespace karuvo::dialogs
