#include <QRegularExpression>
#include <gtest/gtest.h>
#include <tuple>

#include "cli/arguments.h"

using namespace karuvo;
using namespace karuvo::cli;

namespace {

CliOptions runOptions(const QStringList& args) {
    const ParseOutcome p = parseArguments(args);
    EXPECT_EQ(p.action, ParseOutcome::Action::Run) << p.message.toStdString();
    return p.options;
}

}  // namespace

TEST(Arguments, AFullCommandLineFillsTheSettingsValue) {
    const CliOptions o = runOptions({"-t", "AB\nCDE", "-f", "DejaVu Sans", "-s", "16.5", "--bold", "--italic",
                                     "--underline", "--strikeout", "--cell=16.7x2e1", "--fill", "#FF8000",
                                     "--shadow", "2.5,-3.5", "--shadow-colour", "0000ff", "-o", "out.bmp",
                                     "--fnt", "out.fnt", "--json=out.json", "-q"});
    const SheetSettings& s = o.settings;
    EXPECT_TRUE(o.cellGiven && o.quiet);
    // Cell sizes round down; other numbers halve to even.
    EXPECT_EQ(std::tuple(s.cellWidth, s.cellHeight, s.shadowDx, s.shadowDy), std::tuple(16, 20, 2, -4));
    EXPECT_EQ(std::tuple(s.fill, s.effect), std::tuple(FillKind::Colour, EffectKind::Shadow));
    EXPECT_EQ(std::tuple(s.fillColour, s.shadowColour), std::tuple(0x0080FFu, 0xFF0000u));  // red in the low byte
    const FontDescription d = o.font.description("IPAGothic");
    EXPECT_EQ(std::tuple(d.height, d.weight, d.italic + d.underline + d.strikeOut), std::tuple(-16, 700, 3));
    EXPECT_EQ(QStringList({s.text, d.faceName, o.outputPath, o.fntPath, o.jsonPath}),
              QStringList({"AB\nCDE", "DejaVu Sans", "out.bmp", "out.fnt", "out.json"}));
}

TEST(Arguments, ValuesAreTakenWholeEvenWhenTheyLookLikeOptions) {
    const CliOptions o = runOptions({"-t", "-reverse", "--output=a=b.bmp", "--outline", "3.5"});
    EXPECT_EQ(std::tuple(o.settings.text, o.outputPath, o.settings.outlineRadius), std::tuple("-reverse", "a=b.bmp", 4));
    EXPECT_EQ(runOptions({"-t", "A", "-o", "a.bmp", "--outline", "10"}).settings.outlineRadius, 10);  // the largest
    EXPECT_EQ(runOptions({"-t", "A", "-o", "a.bmp", "-s", "16384"}).font.pixelSize, 16384);             // the largest
    EXPECT_EQ(runOptions({"--text=--help", "-o", "-.bmp"}).settings.text, "--help");
    EXPECT_EQ(parseArguments({"--version"}).action, ParseOutcome::Action::Version);  // wins over missing ones
}

// Split at spaces; a leading "+" stands for "-t A -o o.bmp".
TEST(Arguments, BadOnesAreUsageErrorsThatSayWhatToChange) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "no text given; add -t TEXT, -T FILE, --chars LIST or --charset NAME"},
        {"-t A", "no output file given; add -o OUT.bmp"}, {"-t A -o", "-o needs a value"}, {"+ -x", "unknown option \"-x\""},
        {"+ --outline abc", "--outline: the radius \"abc\" is not a number; give a whole number from 0 to 10"},
        {"+ --outline 11", "--outline: the radius 11 is out of range; give a whole number from 0 to 10"},
        {"+ -s 16385", "-s: the font size 16385 is out of range; give the size in pixels, 1 to 16384"},
        {"+ -c 0.5x3", "-c: the cell size 0.5x3 has no area; give a width and a height of at least 1 pixel"},
        {"+ -c 16", "-c: the cell size \"16\" is not WIDTHxHEIGHT; give the width and height in pixels, e.g. 32x32"},
        {"+ -c 16xabc", "-c: the cell height \"abc\" is not a number; give the width and height in pixels, e.g. 32x32"},
        {"+ --shadow 2,x", "--shadow: the offset \"x\" is not a number; give two whole numbers of pixels, e.g. 2,2"},
        {"+ --fill red", "--fill: the colour \"red\" is not six hexadecimal digits; give it red first, e.g. FF8000 or #FF8000"},
        {"+ --shadow 1,1 --outline 2", "--shadow and --outline exclude each other; choose one edge effect"},
        {"+ --texture t.bmp --fill FFFFFF", "--fill and --texture exclude each other; choose a colour or a texture"},
        {"+ -T a.txt", "-t and -T exclude each other; give the text once"},
        {"+ --shadow-colour FF0000", "--shadow-colour needs --shadow DX,DY; add the offset or drop the colour"},
        {"+ --shadow 1,2,3", "--shadow: the offset \"1,2,3\" is not DX,DY; give two whole numbers of pixels, e.g. 2,2"},
        {"+ -s 12 --size 13", "--size is given more than once; give it once"},
        {"+ -f Sans\t", "-f: the value \"Sans\\t\" holds a control character (line break, tab, ...); give it without one"},
        {"+ a\x01", "unexpected argument \"a\\u0001\"; give the text with -t TEXT"},
        {"+ --chars A", "--chars and --charset choose the characters instead of -t and -T; give one or the other"},
        {"-o o.bmp --chars A,,B", "--chars: the item \"\" is empty; separate the items by single commas and write a comma as U+002C"},
        {"-o o.bmp --charset jis", "--charset: no character set is called \"jis\"; give one of ascii, latin1, hiragana, katakana, "
                                   "halfwidth-katakana, jis-x-0208, jis-x-0208-kanji1, jis-x-0208-kanji2"},
        {"+ --columns 0", "--columns: the column count 0 is out of range; give the number of cells in a row, at least 1"},
        {"+ --face-index 1", "--face-index needs -f FILE; add the font file or drop the index"},
        {"+ --fnt-format xml", "--fnt-format needs --fnt FILE; add the descriptor or drop the format"}};
    for (const auto& [args, message] : cases) {
        const QString line = QString(args).replace(QRegularExpression("^\\+"), "-t A -o o.bmp");
        const ParseOutcome p = parseArguments(line.split(' ', Qt::SkipEmptyParts));
        EXPECT_EQ(p.action, ParseOutcome::Action::Usage) << args;
        EXPECT_EQ(p.message.toStdString(), message) << args;
    }
}

TEST(ProjectArgument, IsFoundOnlyWhereItIsAnOptionGivenOnce) {
    const std::pair<QStringList, std::optional<QString>> cases[] = {
        {{"-t", "A", "--project", "p.karuvo", "-o", "a.bmp"}, "p.karuvo"},
        {{"--project=a=b.karuvo"}, "a=b.karuvo"}, {{"-t", "--project", "-o", "a.bmp"}, std::nullopt},  // the text
        // Given twice, a usage error; help needs no project.
        {{"--project", "p.karuvo", "--project", "q.karuvo"}, std::nullopt}, {{"--project", "p.karuvo", "--help"}, std::nullopt},
        {{"--project"}, std::nullopt}, {{"--bogus", "--project", "p.karuvo"}, std::nullopt},  // a usage error first
    };
    for (const auto& [args, project] : cases) EXPECT_EQ(projectArgument(args), project) << args.join(' ').toStdString();
}
