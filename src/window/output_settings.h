#pragma once

// 出力設定: the settings of a project that Form1 has no control for, in one dialog.

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

#include "dialogs/dialogs.h"
#include "project/project.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace karuvo::window {

// The faces of a font file in the file's order, each "index: family style"; one for a
// file of a single face, none for a file FreeType cannot open or one that is no regular
// file (a pipe is never waited on).
QStringList fontFaceNames(const QString& path);

// The modal dialog 出力設定 (objectName "OutputSettings"): where the characters come
// from and their columns, the font file and its face, mono, fallback, colour glyphs and
// pixel size, and the outputs, a distance field's type and range among them. Each control
// is named by objectName for the tests and has a mnemonic.
// OK checks every typed value with the project's setting checks and the whole with
// settingConflict(); a refusal is shown in the dialog in Japanese and the dialog stays open.
class OutputSettings : public QDialog {
public:
    // Shows the values of `project`; the 参照… buttons ask `dialogs`, which must outlive
    // the dialog.
    OutputSettings(const Project& project, dialogs::Dialogs& dialogs, QWidget* parent = nullptr);

    // The project given with the values the controls hold; a value left as shown is
    // given back as it was. Throws karuvo::Error(Setting) for a value the checks refuse,
    // named by its control.
    Project project() const;

    // Run by OK after the checks, with the project OK gives; throwing karuvo::Error
    // refuses OK as the checks do (a font or text file that cannot be loaded).
    std::function<void(const Project&)> onAccepting;

    // The refusal shown under the sections, "" while none.
    QString refusal() const;

    void accept() override;

private:
    // Fills the face list from the font file box, selecting `index`.
    void listFaces(std::int32_t index);
    // Shows beside the list box what the list reader refuses in it, or nothing.
    void checkList();
    // Enables the controls of the chosen character source and of a distance field.
    void enableChosen();

    Project given_;
    dialogs::Dialogs& dialogs_;
    QRadioButton *optTyped_, *optLists_, *optFile_;
    std::vector<QCheckBox*> charsets_;  // in charsetNames() order
    QLineEdit *txtChars_, *txtTextFile_, *txtColumns_;
    QLabel* lblCharsError_;
    QLineEdit *txtFontFile_, *txtFontSize_;
    QComboBox* cboFace_;
    QCheckBox *chkMono_, *chkNoFallback_, *chkColourGlyphs_;
    QLineEdit *txtSheet_, *txtFnt_, *txtJson_, *txtMaxPage_, *txtRange_;
    QComboBox *cboFntFormat_, *cboPitch_, *cboFieldType_;
    QCheckBox* chkField_;
    QLabel* lblRefusal_;
};

}  // namespace karuvo::window
