// Keys typed into the text box, as a user types them.
#include <QTextDocument>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "support/scripted_dialogs.h"
#include "window/form1.h"

using namespace karuvo;

// Shift+Enter puts a line separator in the editor; it ends a line like Enter does.
// A character no installed face draws (Devanagari) builds without a crash.
TEST(TextEntry, ShiftEnterEndsALineAndAnUndrawableCharacterBuilds) {
    fakes::ScriptedDialogs dialogs;
    window::Form1 form(dialogs);
    QTest::keyClicks(form.Text1, QStringLiteral("AB"));
    QTest::keyClick(form.Text1, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(form.Text1, QStringLiteral("C"));
    form.Text1->insertPlainText(QStringLiteral("\u0938"));
    ASSERT_TRUE(form.Text1->document()->toRawText().contains(QChar::LineSeparator)) << "the key did not give a line separator";
    form.Command3[0]->click();
    const Image& sheet = form.Picture1[0]->picture();
    const int cellWidth = form.Text2[0]->text().toInt(), cellHeight = form.Text2[1]->text().toInt();
    ASSERT_GT(cellWidth * cellHeight, 0);
    EXPECT_EQ(std::pair(sheet.width(), sheet.height()), std::pair(2 * cellWidth, 2 * cellHeight));
}
