#pragma once

#include <deque>
#include <stdexcept>
#include <vector>

#include "dialogs/dialogs.h"

namespace karuvo::fakes {

// Dialogs that hand back scripted answers in order and count the calls. A call
// without a scripted answer fails the test by throwing.
class ScriptedDialogs : public dialogs::Dialogs {
public:
    std::deque<std::optional<FontDescription>> fonts;
    std::deque<std::optional<Colour>> colours;
    std::deque<QString> openNames, projectOpenNames, projectSaveNames, settingsFileNames;
    std::vector<SettingsFile> settingsFileKinds;  // the kind each settings file question asked for
    std::deque<dialogs::SaveName> saveNames;
    std::deque<Unsaved> unsavedAnswers;
    QStringList unsavedQuestions;  // the project each question named
    QStringList messages;
    QStringList lists;  // each shown list, its title on the first line
    int fontCalls = 0, colourCalls = 0, openCalls = 0, saveCalls = 0, projectCalls = 0;

    std::optional<FontDescription> ChooseFontDialog() override { return next(fonts, fontCalls, "font"); }
    std::optional<Colour> ChooseColorDialog() override { return next(colours, colourCalls, "colour"); }
    QString OpenTextureFileDialog() override { return next(openNames, openCalls, "open-file"); }
    dialogs::SaveName SaveSheetFileDialog() override { return next(saveNames, saveCalls, "save-file"); }
    void showMessage(const QString& message) override { messages << message; }
    void showList(const QString& title, const QString& lines) override { lists << title + u'\n' + lines; }
    QString OpenProjectFileDialog() override { return next(projectOpenNames, projectCalls, "project open"); }
    QString SaveProjectFileDialog() override { return next(projectSaveNames, projectCalls, "project save"); }
    Unsaved AskSaveChanges(const QString& projectName) override {
        unsavedQuestions << projectName;
        return next(unsavedAnswers, projectCalls, "unsaved-changes");
    }

    QString ChooseSettingsFileDialog(SettingsFile kind, const QString&) override {
        settingsFileKinds.push_back(kind);
        return next(settingsFileNames, openCalls, "settings file");
    }

    int dialogCalls() const { return fontCalls + colourCalls + openCalls + saveCalls + projectCalls; }

private:
    template <class T>
    T next(std::deque<T>& answers, int& calls, const char* what) {
        ++calls;
        if (answers.empty()) throw std::logic_error(std::string("unscripted ") + what + " dialog");
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

}  // namespace karuvo::fakes
