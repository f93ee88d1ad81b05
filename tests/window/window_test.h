#pragma once

#include <QTest>
#include <gtest/gtest.h>
#include <utility>

#include "support/fixtures.h"
#include "support/scripted_dialogs.h"
#include "window/form1.h"

namespace karuvo::fakes {

// The window over scripted dialogs, in a fresh folder.
struct WindowTest : InTempFolder {
    ScriptedDialogs dialogs;
    std::unique_ptr<window::Form1> form = std::make_unique<window::Form1>(dialogs);

    static void press(QWidget* w, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(w, button, mods, QPoint(5, 5));
    }
    // The one message shown since the last look (the test fails on any other count).
    QString said() {
        const QStringList all = std::exchange(dialogs.messages, {});
        EXPECT_EQ(all.size(), 1) << all.join(u'\n').toStdString();
        return all.value(0);
    }
    std::pair<QString, QString> cells() const { return {form->Text2[0]->text(), form->Text2[1]->text()}; }
};

}  // namespace karuvo::fakes
