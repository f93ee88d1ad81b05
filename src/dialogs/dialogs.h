#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/colour.h"
#include "platform/font.h"

class QFont;
class QWidget;

namespace karuvo::dialogs {

// The file types the save dialog offers, in its order.
enum class SheetFileType { Bitmap, Png };

// The save dialog's answer: the name given and the file type chosen beside it.
struct SaveName {
    QString path;  // "" when cancelled
    SheetFileType type = SheetFileType::Bitmap;
};

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
    // Full path under which to save the sheet and the file type chosen; the path is
    // "" when cancelled. savedFileName() gives the file that is written.
    virtual SaveName SaveSheetFileDialog() = 0;

    // Tells the user why an action failed; returns when the user has read it.
    virtual void showMessage(const QString& message) = 0;
    // Shows a long text, a line an item, in a window of its own that scrolls, titled
    // `title`; returns when the user has closed it.
    virtual void showList(const QString& title, const QString& lines) = 0;

    // Full path of the project file to open, or "" when cancelled.
    virtual QString OpenProjectFileDialog() = 0;
    // Full path under which to save the project, ".karuvo" added to a bare name, or ""
    // when cancelled.
    virtual QString SaveProjectFileDialog() = 0;
    // What to do with the unsaved changes of the project named `projectName` before
    // they would be lost.
    enum class Unsaved { Save, Discard, Cancel };
    virtual Unsaved AskSaveChanges(const QString& projectName) = 0;

    // The files the output settings name, each asked for with its own kinds of file.
    enum class SettingsFile { Text, Font, Sheet, Fnt, Json };
    // Full path of the file chosen for `kind`, the dialog opening at `current` (may be
    // ""), or "" when cancelled. Outputs are only named here: a file that exists is
    // not asked about.
    virtual QString ChooseSettingsFileDialog(SettingsFile kind, const QString& current) = 0;
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

// The open dialog's second filter, for a picture whose name has another suffix.
inline constexpr const char16_t* kAllFilesFilter = u"すべてのファイル (*)";

// The open dialog's first filter: every picture format the texture loader reads,
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

// The file a sheet saved under `path` with the file type `chosen` is written to: a name
// ending ".png" or ".bmp" (either case) as it is, any other name with the chosen type's
// suffix added ("photo.jpg" under the bitmap type is "photo.jpg.bmp", "sheet" under PNG
// "sheet.png"). "" stays "".
QString savedFileName(const QString& path, SheetFileType chosen);

// The real dialogs, over Qt's font, colour and file dialogs. The file dialogs give
// sizes and dates in Japanese forms whatever the locale; the save dialog opens in the
// folder last saved to (kept between runs in the user's settings) and asks before it
// replaces the file that savedFileName() names.
class Module1 : public Dialogs {
public:
    std::optional<FontDescription> ChooseFontDialog() override;
    std::optional<Colour> ChooseColorDialog() override;
    QString OpenTextureFileDialog() override;
    SaveName SaveSheetFileDialog() override;
    void showMessage(const QString& message) override;
    void showList(const QString& title, const QString& lines) override;
    QString OpenProjectFileDialog() override;
    QString SaveProjectFileDialog() override;
    Unsaved AskSaveChanges(const QString& projectName) override;
    QString ChooseSettingsFileDialog(SettingsFile kind, const QString& current) override;
};

}  // namespace karuvo::dialogs
