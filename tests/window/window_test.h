#pragma once

#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>

#include "support/fixtures.h"
#include "support/scripted_dialogs.h"
#include "window/form1.h"

namespace karuvo::fakes {

// A sentence in Japanese: kana in it, and no English word (two Latin letters in a row).
inline bool isJapanese(const QString& s) {
    return s.contains(QRegularExpression(QStringLiteral("[\u3041-\u30FF]"))) &&
           !s.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2}")));
}

// The window over scripted dialogs, in a fresh folder.
struct WindowTest : InTempFolder {
    ScriptedDialogs dialogs;
    std::unique_ptr<window::Form1> form = std::make_unique<window::Form1>(dialogs);

    static void press(QWidget* w, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) { QTest::mouseClick(w, b, m, QPoint(5, 5)); }
    void chooseMono(int px) { dialogs.fonts.push_back(monoDescription(px)); form->Command1->click(); }
    // The one message shown since the last look (the test fails on any other count).
    QString said() {
        const QStringList all = std::exchange(dialogs.messages, {});
        EXPECT_EQ(all.size(), 1) << all.join(u'\n').toStdString();
        return all.value(0);
    }
    std::pair<QString, QString> cells() const { return {form->Text2[0]->text(), form->Text2[1]->text()}; }
};

}  // namespace karuvo::fakes
