#include <QTextDocument>

#include "window/window_test.h"

using namespace karuvo;
using Form1Test = karuvo::fakes::WindowTest;

TEST_F(Form1Test, WindowStartsWithItsDesignValues) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("KARUVO作成ツール"));
    EXPECT_FALSE(form->windowIcon().pixmap(32).isNull());
    // The menu bar above the design, the status bar below it.
    const int bar = form->MenuBar->height();
    EXPECT_EQ(form->size(), QSize(408, bar + 366 + form->statusBar->height()));
    EXPECT_EQ(std::pair(form->MenuBar->geometry(), form->statusBar->y()), std::pair(QRect(0, 0, 408, bar), bar + 366));
    EXPECT_EQ(form->Command1->mapTo(form.get(), QPoint()), QPoint(8, 8 + bar));
    EXPECT_TRUE(form->Option1[0]->isChecked() && form->Option2[0]->isChecked());
    for (QWidget* box : std::initializer_list<QWidget*>{form->Picture1[0], form->Picture1[1], form->Picture2, form->Picture3[0]})
        EXPECT_TRUE(box->isHidden()) << box->objectName().toStdString();

    // Tab order; Qt's own unnamed inner widgets are skipped.
    QStringList chain;
    for (QWidget* w = form->Command1; chain.size() < 40 && (chain.isEmpty() || w != form->Command1); w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus && !w->objectName().isEmpty()) chain << w->objectName();
    EXPECT_EQ(chain, (QStringList{"Command1", "Text1", "Text2(0)", "Text2(1)", "Command2", "Command3(0)", "Command3(1)",
                                  "Option1(1)", "Option1(0)", "Option2(0)", "Option2(1)", "Option2(2)", "Text3(0)",
                                  "Text3(1)", "Text3(2)"}));
}

TEST_F(Form1Test, CellSizeIsTheLargestCharacterPlusTheEffectAllowanceAndOverflowIsRefused) {
    chooseMono(20);
    const QFontMetrics mono(fakes::plainFace(QStringLiteral("DejaVu Sans Mono"), 20));  // measured apart from the code under test
    const int w = mono.horizontalAdvance(QLatin1Char('M')), h = mono.height();
    // The text, the effect option, the three effect boxes before and after, the growth of the
    // cell; or what the message says when the fit is refused and the cell boxes keep what they held.
    const struct { const char* text; int effect; std::array<const char*, 3> typed, after; int dw, dh; const char16_t* says; } rows[] = {
        {"AB\r\nCDE\n", 0, {"abc", "x", "y"}, {"abc", "x", "y"}, 0, 0, nullptr},
        {"AB\r\nCDE\n", 2, {"abc", "", "15"}, {"abc", "", "15"}, 20, 20, nullptr},  // radius held to 10, twice each way
        {"AB\r\nCDE\n", 2, {"", "", "2.5"}, {"", "", "2.5"}, 4, 4, nullptr},  // halves to even
        {"AB\r\nCDE\n", 2, {"", "", "x"}, {"", "", "0"}, 0, 0, nullptr},
        {"AB\r\nCDE\n", 1, {"-2", "3", "junk"}, {"-2", "3", "junk"}, 2, 3, nullptr},  // a shadow falls on one side either way
        {"AB\r\nCDE\n", 1, {"abc", "", ""}, {"0", "0", ""}, 0, 0, nullptr},
        {"\r\n\n", 2, {"", "", "3"}, {"", "", "3"}, 0, 0, u"文字"},  // no character that takes a cell
        {"A", 1, {"1e20", "0", ""}, {"1e20", "0", ""}, 0, 0, u"影の横のずれ"},  // outside the 32-bit range, not wrapped
        {"A", 1, {"0", "2147483647", ""}, {"0", "2147483647", ""}, 0, 0, u"32 ビット整数"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.effect << " " << row.typed[0] << "," << row.typed[1] << "," << row.typed[2]);
        form->Text1->setPlainText(QString::fromLatin1(row.text));
        form->Option2[row.effect]->setChecked(true);
        for (int i = 0; i < 3; ++i) form->Text3[i]->setText(QString::fromLatin1(row.typed[i]));
        if (row.says) form->Text2[0]->setText(QStringLiteral("7"));  // no fitted width
        const auto before = cells();
        form->Command2->click();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(form->Text3[i]->text(), QString::fromLatin1(row.after[i]));
        if (!row.says) {
            EXPECT_EQ(cells(), std::pair(QString::number(w + row.dw), QString::number(h + row.dh)));
            EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
            continue;
        }
        const QString message = said();
        EXPECT_TRUE(message.contains(QString::fromUtf16(row.says)) && cells() == before) << message.toStdString();
    }
}

// A cancelled font dialog changes nothing; Shift+Enter typed into the text box puts a line
// separator there, which ends a line as Enter does.
TEST_F(Form1Test, CancelledFontDialogChangesNothingAndShiftEnterEndsALine) {
    chooseMono(14);
    QTest::keyClicks(form->Text1, QStringLiteral("Wi"));
    QTest::keyClick(form->Text1, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(form->Text1, QStringLiteral("W"));
    ASSERT_TRUE(form->Text1->document()->toRawText().contains(QChar::LineSeparator));
    form->Command2->click();
    const auto before = cells();
    const auto fonts = std::pair(form->CurrentFont.get(), form->ChosenFont);
    dialogs.fonts.push_back(std::nullopt);
    form->Command1->click();
    EXPECT_TRUE(dialogs.fontCalls == 2 && std::pair(form->CurrentFont.get(), form->ChosenFont) == fonts &&
                form->Label1[0]->text() == QStringLiteral("DejaVu Sans Mono"));
    form->Command2->click();
    EXPECT_EQ(cells(), before);
    form->Text3[0]->setText("9"), form->Option2[1]->setChecked(true);  // a shadow that a new fit would make room for
    form->Command3[0]->click();
    const Image& sheet = form->Picture1[0]->picture();
    EXPECT_EQ(QSize(sheet.width(), sheet.height()), QSize(2 * before.first.toInt(), 2 * before.second.toInt()));
}
