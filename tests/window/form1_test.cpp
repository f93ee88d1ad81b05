#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "support/scripted_dialogs.h"
#include "support/test_fonts.h"
#include "window/form1.h"

using namespace karuvo;
using karuvo::fakes::monoDescription;
using karuvo::window::Form1;

namespace {

// Metrics worked out with Qt directly, apart from the code under test.
QFontMetrics monoMetrics(int px) {
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(px);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferFullHinting);
    return QFontMetrics(f);
}

class Form1Test : public ::testing::Test {
protected:
    fakes::ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(dialogs);

    void chooseMono(int px) {
        dialogs.fonts.push_back(monoDescription(px));
        form->Command1->click();
    }
    void setText1(const QString& text) { form->Text1->setPlainText(text); }
    std::pair<QString, QString> cellTexts() const { return {form->Text2[0]->text(), form->Text2[1]->text()}; }
};

QWidget* control(QWidget* form, const QString& name) {
    auto* w = form->findChild<QWidget*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

}  // namespace

TEST_F(Form1Test, WindowStartsWithItsDesignValues) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("KARUVO作成ツール"));
    EXPECT_EQ(form->size(), QSize(408, 366));

    struct Row {
        const char* name;
        const char* container;
        QRect geometry;
        const char16_t* text;
    };
    const Row rows[] = {
        {"Command1", "", {8, 8, 89, 25}, u"フォント選択"},
        {"Frame1", "", {8, 128, 385, 65}, u"文字柄指定"},
        {"Option1(0)", "Frame1", {8, 16, 57, 17}, u"色"},
        {"Label2(4)", "Frame1", {80, 16, 41, 17}, u"FFFFFF"},
        {"Option1(1)", "Frame1", {8, 40, 57, 17}, u"画像"},
        {"Frame2", "", {8, 200, 385, 89}, u"文字柄指定"},
        {"Option2(1)", "Frame2", {8, 32, 57, 17}, u"影"},
        {"Text3(0)", "Frame2", {184, 24, 57, 25}, u""},
        {"Option2(2)", "Frame2", {8, 48, 57, 17}, u"縁取り"},
        {"Label2(10)", "Frame2", {192, 64, 97, 17}, u"縁取り半径（0-10）"},
        {"Text3(2)", "Frame2", {296, 56, 57, 25}, u""},
        {"Label2(11)", "Frame2", {8, 72, 169, 25}, u"縁取りは時間がかかります！"},
        {"Text2(0)", "", {144, 296, 57, 25}, u""},
        {"Command2", "", {288, 296, 113, 25}, u"現フォントの最大値"},
        {"Command3(1)", "", {296, 328, 105, 25}, u"保存"},
        {"Picture1(0)", "", {0, 0, 49, 25}, nullptr},
        {"Picture2", "", {312, 40, 113, 57}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* w = control(form.get(), QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), row.geometry);
        const QString container = QString::fromLatin1(row.container);
        EXPECT_EQ(w->parentWidget(), container.isEmpty() ? form.get() : control(form.get(), container));
        if (!row.text) continue;
        const QString text = QString::fromUtf16(row.text);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) EXPECT_EQ(b->text(), text);
        else if (auto* l = qobject_cast<QLabel*>(w)) EXPECT_EQ(l->text(), text);
        else if (auto* e = qobject_cast<QLineEdit*>(w)) EXPECT_EQ(e->text(), text);
        else if (auto* g = qobject_cast<QGroupBox*>(w)) EXPECT_EQ(g->title(), text);
        else if (auto* t = qobject_cast<QPlainTextEdit*>(w)) EXPECT_EQ(t->toPlainText(), text);
        else ADD_FAILURE() << "unexpected kind";
    }

    EXPECT_TRUE(form->Option1[0]->isChecked());
    EXPECT_FALSE(form->Option1[1]->isChecked());
    EXPECT_TRUE(form->Option2[0]->isChecked());
    EXPECT_FALSE(form->Option2[1]->isChecked() || form->Option2[2]->isChecked());
    for (QWidget* box : {static_cast<QWidget*>(form->Picture1[0]), static_cast<QWidget*>(form->Picture1[1]),
                         static_cast<QWidget*>(form->Picture2), static_cast<QWidget*>(form->Picture3[0])})
        EXPECT_TRUE(box->isHidden()) << box->objectName().toStdString();
    // The sheet box lies above every other control of the window.
    EXPECT_EQ(form->children().last(), form->Picture1[0]);
    EXPECT_TRUE(form->ChosenFont.isZero());
    EXPECT_EQ(form->CurrentFont, nullptr);
    EXPECT_EQ(form->OldFont[0], nullptr);
}

TEST_F(Form1Test, TextBoxFontRendersJapaneseAtNinePoints) {
    const QFontInfo info(form->Text1->font());
    EXPECT_EQ(info.pointSize(), 9);
    EXPECT_EQ(info.weight(), QFont::Normal);
    EXPECT_FALSE(info.italic());
    // The asked-for face is missing here, so an installed Japanese face stands in.
    EXPECT_TRUE(QFontMetrics(form->Text1->font()).inFont(QChar(0x3042)));
    EXPECT_TRUE(QFontMetrics(form->Label2[0]->font()).inFont(QChar(0x4F5C)));  // 作
}

TEST_F(Form1Test, KeyboardFocusFollowsTheTabNumbers) {
    const QStringList expected = {"Command1", "Text1", "Text2(0)", "Text2(1)", "Command2", "Command3(0)",
                                  "Command3(1)", "Option1(1)", "Option1(0)", "Option2(0)", "Option2(1)",
                                  "Option2(2)", "Text3(0)", "Text3(1)", "Text3(2)"};
    QStringList chain;
    QWidget* w = form->Command1;
    do {
        if (w->focusPolicy() & Qt::TabFocus && w->objectName() != "") chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != form->Command1 && chain.size() < 40);
    // Qt's own inner widgets (the text editor's viewport) have no name and are skipped.
    EXPECT_EQ(chain, expected);
}

TEST_F(Form1Test, TextIsReadAsTypedWithEnterGivingALineFeed) {
    form->show();
    form->Text1->setFocus();
    QTest::keyClicks(form->Text1, QStringLiteral("AB"));
    QTest::keyClick(form->Text1, Qt::Key_Return);
    // Typed characters beyond ASCII arrive as key events that carry their text.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf16(u"C\u00A0\U00020B9F"));
    QApplication::sendEvent(form->Text1, &typed);
    EXPECT_EQ(form->text1Text(), QString::fromUtf16(u"AB\nC\u00A0\U00020B9F"));
}

TEST_F(Form1Test, GainingTheFocusSelectsTheWholeNumberBox) {
    form->show();
    QApplication::setActiveWindow(form.get());
    form->Text2[1]->setText(QStringLiteral("123"));
    form->Text3[2]->setText(QStringLiteral("4.5"));
    form->Text2[1]->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(form->Text2[1]->selectedText(), QStringLiteral("123"));
    form->Text3[2]->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(form->Text3[2]->selectedText(), QStringLiteral("4.5"));
}

TEST_F(Form1Test, CellSizeIsTheLargestCharacterPlusTheEffectAllowance) {
    chooseMono(20);
    const QFontMetrics m = monoMetrics(20);
    const int w = m.horizontalAdvance(QLatin1Char('M'));
    const int h = m.height();
    auto expect = [&](int dw, int dh) { return std::pair{QString::number(w + dw), QString::number(h + dh)}; };
    setText1(QStringLiteral("AB\r\nCDE\n"));

    form->Command2->click();
    EXPECT_EQ(cellTexts(), expect(0, 0));

    // Outline: the radius held within 0 to 10, halves to even, twice each way.
    form->Option2[2]->setChecked(true);
    form->Text3[0]->setText(QStringLiteral("abc"));
    for (auto [typed, grow] : {std::pair{"15", 20}, {"-3", 0}, {"2.5", 4}, {"3.5", 8}, {"1e20", 20}}) {
        form->Text3[2]->setText(QString::fromLatin1(typed));
        form->Command2->click();
        EXPECT_EQ(cellTexts(), expect(grow, grow)) << typed;
        EXPECT_EQ(form->Text3[2]->text(), QString::fromLatin1(typed));
    }
    form->Text3[2]->setText(QStringLiteral("x"));
    form->Command2->click();
    EXPECT_EQ(form->Text3[2]->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Text3[0]->text(), QStringLiteral("abc"));  // the shadow boxes are not touched

    // Shadow: the offsets as they are; a box without a number becomes "0".
    form->Option2[1]->setChecked(true);
    form->Text3[2]->setText(QStringLiteral("junk"));
    form->Text3[0]->setText(QStringLiteral("-2"));
    form->Text3[1]->setText(QStringLiteral("3"));
    form->Command2->click();
    EXPECT_EQ(cellTexts(), expect(-2, 3));
    form->Text3[0]->setText(QStringLiteral("abc"));
    form->Text3[1]->setText(QString());
    form->Command2->click();
    EXPECT_EQ(form->Text3[0]->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Text3[1]->text(), QStringLiteral("0"));
    EXPECT_EQ(cellTexts(), expect(0, 0));
    EXPECT_EQ(form->Text3[2]->text(), QStringLiteral("junk"));

    // Text without a character that takes a cell: the allowance alone.
    form->Option2[0]->setChecked(true);
    for (const char* text : {"", "\r\n\n"}) {
        setText1(QString::fromLatin1(text));
        form->Command2->click();
        EXPECT_EQ(cellTexts(), (std::pair{QStringLiteral("0"), QStringLiteral("0")}));
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Form1Test, NumbersOutsideThe32BitRangeAreRefusedNotWrapped) {
    chooseMono(20);
    setText1(QStringLiteral("A"));
    form->Option2[1]->setChecked(true);
    form->Text3[0]->setText(QStringLiteral("1e20"));
    form->Text3[1]->setText(QStringLiteral("0"));
    form->Text2[0]->setText(QStringLiteral("7"));
    form->Command2->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("horizontal shadow offset"))) << dialogs.messages[0].toStdString();
    EXPECT_EQ(form->Text2[0]->text(), QStringLiteral("7"));

    // A sum that leaves the range is refused the same way.
    form->Text3[0]->setText(QStringLiteral("0"));
    form->Text3[1]->setText(QStringLiteral("2147483647"));
    form->Command2->click();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("overflow"), Qt::CaseInsensitive));
    EXPECT_EQ(form->Text2[0]->text(), QStringLiteral("7"));

    // The window stays usable.
    form->Text3[1]->setText(QStringLiteral("1"));
    form->Command2->click();
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(form->Text2[1]->text(), QString::number(monoMetrics(20).height() + 1));
}

TEST_F(Form1Test, UntilAFontIsChosenTheBoxOwnFontMeasuresEachCodePointWhole) {
    const QString ext = QString::fromUtf16(u"\U00020B9F");  // a surrogate pair
    setText1(QString::fromUtf16(u"あ") + ext);
    form->Command2->click();
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(12);
    const QFontMetrics m(f);
    const int widest = std::max(m.horizontalAdvance(QString::fromUtf16(u"あ")), m.horizontalAdvance(ext));
    EXPECT_EQ(cellTexts(), (std::pair{QString::number(widest), QString::number(m.height())}));
}

TEST_F(Form1Test, FontChoiceFailureAndCancel) {
    FontDescription padded = monoDescription(14);
    padded.faceName = QStringLiteral("  DejaVu Sans Mono ");
    dialogs.fonts.push_back(padded);
    form->Command1->click();
    EXPECT_EQ(form->Label1[0]->text(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(form->ChosenFont, padded);
    const Font* first = form->CurrentFont.get();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(form->sheetContext().font(), first);
    setText1(QStringLiteral("Wi"));
    form->Command2->click();
    const auto cells = cellTexts();

    // A font that cannot be made: the error text, and the earlier font stays current.
    dialogs.fonts.push_back(monoDescription(100000));
    form->Command1->click();
    EXPECT_EQ(form->Label1[0]->text(), QStringLiteral("CreateFontIndirectでエラー"));
    EXPECT_EQ(form->CurrentFont.get(), first);
    EXPECT_EQ(form->sheetContext().font(), first);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // A cancel changes nothing at all.
    form->Label1[0]->setText(QStringLiteral("DejaVu Sans Mono"));
    const FontDescription chosen = form->ChosenFont;
    dialogs.fonts.push_back(std::nullopt);
    form->Command1->click();
    EXPECT_EQ(dialogs.fontCalls, 3);
    EXPECT_EQ(form->CurrentFont.get(), first);
    EXPECT_EQ(form->ChosenFont, chosen);
    EXPECT_EQ(form->Label1[0]->text(), QStringLiteral("DejaVu Sans Mono"));
    form->Command2->click();
    EXPECT_EQ(cellTexts(), cells);
}

TEST(Form1Lifecycle, EveryFontMadeIsReleasedByTheClose) {
    const int before = Font::liveCount();
    fakes::ScriptedDialogs dialogs;
    {
        Form1 unused(dialogs);  // closed before any choice: nothing released but what it made
        const Font* own = unused.sheetContext().font();
        unused.close();
        EXPECT_EQ(unused.sheetContext().font(), own);
        EXPECT_EQ(Font::liveCount(), before + 1);
    }
    EXPECT_EQ(Font::liveCount(), before);
    {
        Form1 form(dialogs);
        form.show();
        const int withBox = Font::liveCount();  // the sheet box's own font
        EXPECT_EQ(withBox, before + 1);
        for (int px : {10, 12, 14}) {
            dialogs.fonts.push_back(monoDescription(px));
            form.Command1->click();
            EXPECT_EQ(Font::liveCount(), withBox + 1) << "after choosing " << px << " px";
        }
        // The saved slot keeps the box's own font from the first choice on.
        EXPECT_EQ(form.sheetContext().font(), form.CurrentFont.get());
        const Font* boxFont = form.OldFont[0];
        ASSERT_NE(boxFont, nullptr);
        EXPECT_NE(boxFont, form.CurrentFont.get());

        form.close();
        EXPECT_EQ(Font::liveCount(), withBox);
        EXPECT_EQ(form.sheetContext().font(), boxFont);
    }
    EXPECT_EQ(Font::liveCount(), before);
}
