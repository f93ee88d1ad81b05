#include <gtest/gtest.h>

#include "cli/arguments.h"

using namespace karuvo;
using namespace karuvo::cli;

namespace {

ParseOutcome parse(QStringList args) { return parseArguments(args); }

CliOptions runOptions(QStringList args) {
    const ParseOutcome p = parseArguments(args);
    EXPECT_EQ(p.action, ParseOutcome::Action::Run) << p.message.toStdString();
    return p.options;
}

}  // namespace

TEST(Arguments, AFullCommandLineFillsTheSettingsValue) {
    const CliOptions o = runOptions({"-t", "AB\nCDE", "-f", "DejaVu Sans", "-s", "16", "--bold", "--italic",
                                     "--underline", "--strikeout", "-c", "16x20", "--fill", "#FF8000",
                                     "--shadow", "2.5,-3.5", "--shadow-colour", "0000ff", "-o", "out.bmp",
                                     "--fnt", "out.fnt", "--json", "out.json", "-q"});
    const SheetSettings& s = o.settings;
    EXPECT_EQ(s.text, "AB\nCDE");
    EXPECT_TRUE(o.cellGiven);
    EXPECT_EQ(s.cellWidth, 16);
    EXPECT_EQ(s.cellHeight, 20);
    EXPECT_EQ(s.fill, FillKind::Colour);
    EXPECT_EQ(s.fillColour, 0x0080FFu);  // red in the low byte
    EXPECT_EQ(s.effect, EffectKind::Shadow);
    EXPECT_EQ(s.shadowDx, 2);   // halves to even
    EXPECT_EQ(s.shadowDy, -4);
    EXPECT_EQ(s.shadowColour, 0xFF0000u);
    EXPECT_EQ(o.outputPath, "out.bmp");
    EXPECT_EQ(o.fntPath, "out.fnt");
    EXPECT_EQ(o.jsonPath, "out.json");
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.textFile.has_value());

    const FontDescription d = o.font.description("IPAGothic");
    EXPECT_EQ(d.height, -16);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(d.italic, 1);
    EXPECT_EQ(d.underline, 1);
    EXPECT_EQ(d.strikeOut, 1);
    EXPECT_EQ(d.faceName, "DejaVu Sans");
}

TEST(Arguments, DefaultsLeaveTheFontAndCellToTheBuild) {
    const CliOptions o = runOptions({"-t", "A", "-o", "out.bmp"});
    EXPECT_FALSE(o.font.given);
    EXPECT_FALSE(o.cellGiven);
    EXPECT_FALSE(o.quiet);
    EXPECT_EQ(o.settings.fill, FillKind::Colour);
    EXPECT_EQ(o.settings.fillColour, kWhite);
    EXPECT_EQ(o.settings.effect, EffectKind::None);
    EXPECT_TRUE(o.fntPath.isEmpty());

    // A size alone keeps the default face, in the asked size and normal weight.
    const CliOptions sized = runOptions({"-s", "20", "-t", "A", "-o", "out.bmp"});
    EXPECT_TRUE(sized.font.given);
    const FontDescription d = sized.font.description("IPAGothic");
    EXPECT_EQ(d.faceName, "IPAGothic");
    EXPECT_EQ(d.height, -20);
    EXPECT_EQ(d.weight, 400);
}

TEST(Arguments, NumbersAreReadAsTheWindowReadsThem) {
    CliOptions o = runOptions({"-t", "A", "-o", "o.bmp", "-c", "12.7x1e1", "-s", "12.5"});
    EXPECT_EQ(o.settings.cellWidth, 12);   // cell sizes round down
    EXPECT_EQ(o.settings.cellHeight, 10);
    EXPECT_EQ(o.font.pixelSize, 12);       // other numbers halve to even
    o = runOptions({"-t", "A", "-o", "o.bmp", "--cell", " &H10 X 20 "});
    EXPECT_EQ(o.settings.cellWidth, 16);
    EXPECT_EQ(o.settings.cellHeight, 20);
    o = runOptions({"-t", "A", "-o", "o.bmp", "--outline", "2.5", "--outline-colour", "00ff00"});
    EXPECT_EQ(o.settings.effect, EffectKind::Outline);
    EXPECT_EQ(o.settings.outlineRadius, 2);
    EXPECT_EQ(o.settings.outlineColour, 0x00FF00u);
    o = runOptions({"-t", "A", "-o", "o.bmp", "--outline", "3.5"});
    EXPECT_EQ(o.settings.outlineRadius, 4);
}

TEST(Arguments, ValuesAreTakenWholeEvenWhenTheyLookLikeOptions) {
    CliOptions o = runOptions({"-t", "-reverse", "-o", "-"});
    EXPECT_EQ(o.settings.text, "-reverse");
    EXPECT_EQ(o.outputPath, "-");
    o = runOptions({"--text=--help", "--output=a=b.bmp", "--texture=t.bmp"});
    EXPECT_EQ(o.settings.text, "--help");
    EXPECT_EQ(o.outputPath, "a=b.bmp");
    EXPECT_EQ(o.settings.fill, FillKind::Texture);
    EXPECT_EQ(o.settings.texturePath, "t.bmp");
    o = runOptions({"-T", "-", "-o", "o.bmp"});
    EXPECT_EQ(o.textFile, QString("-"));
}

TEST(Arguments, HelpAndVersionWinOverMissingArguments) {
    EXPECT_EQ(parse({"--help"}).action, ParseOutcome::Action::Help);
    EXPECT_EQ(parse({"-t", "A", "-h"}).action, ParseOutcome::Action::Help);
    EXPECT_EQ(parse({"--version"}).action, ParseOutcome::Action::Version);
    // But an error before them is still an error.
    EXPECT_EQ(parse({"--nope", "--help"}).action, ParseOutcome::Action::Usage);
}

struct BadCase {
    QStringList args;
    const char* message;
};
void PrintTo(const BadCase& b, std::ostream* os) { *os << b.args.join(' ').toStdString(); }

class BadArguments : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadArguments, AreUsageErrorsThatSayWhatToChange) {
    const ParseOutcome p = parseArguments(GetParam().args);
    EXPECT_EQ(p.action, ParseOutcome::Action::Usage);
    EXPECT_EQ(p.message.toStdString(), GetParam().message);
}

const QStringList kBase{"-t", "A", "-o", "out.bmp"};

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadArguments,
    ::testing::Values(
        BadCase{{}, "no text given; add -t TEXT or -T FILE"},
        BadCase{{"-t", "A"}, "no output file given; add -o OUT.bmp"},
        BadCase{kBase + QStringList{"--outline", "abc"},
                "--outline: the radius \"abc\" is not a number; give a whole number from 0 to 10"},
        BadCase{kBase + QStringList{"--outline", "11"},
                "--outline: the radius 11 is out of range; give a whole number from 0 to 10"},
        BadCase{kBase + QStringList{"-c", "0x20"},
                "-c: the cell size 0x20 has no area; give a width and a height of at least 1 pixel"},
        BadCase{kBase + QStringList{"-c", "0.5x3"},
                "-c: the cell size 0.5x3 has no area; give a width and a height of at least 1 pixel"},
        BadCase{kBase + QStringList{"-c", "16"},
                "-c: the cell size \"16\" is not WIDTHxHEIGHT; give the width and height in pixels, e.g. 32x32"},
        BadCase{kBase + QStringList{"-c", "16xabc"},
                "-c: the cell height \"abc\" is not a number; give the width and height in pixels, e.g. 32x32"},
        BadCase{kBase + QStringList{"-c", "1e20x5"},
                "-c: the cell width 1e20 is too large; give at most 2147483647 pixels"},
        BadCase{kBase + QStringList{"--shadow", "1e20,0"},
                "--shadow: the offset 1e20 is too large; give a number from -2147483648 to 2147483647"},
        BadCase{kBase + QStringList{"--shadow", "2"},
                "--shadow: the offset \"2\" is not DX,DY; give two whole numbers of pixels, e.g. 2,2"},
        BadCase{kBase + QStringList{"--shadow", "2,x"},
                "--shadow: the offset \"x\" is not a number; give two whole numbers of pixels, e.g. 2,2"},
        BadCase{kBase + QStringList{"-s", "abc"},
                "-s: the font size \"abc\" is not a number; give the size in pixels, 1 to 16384"},
        BadCase{kBase + QStringList{"-s", "16385"},
                "-s: the font size 16385 is out of range; give the size in pixels, 1 to 16384"},
        BadCase{kBase + QStringList{"--fill", "red"},
                "--fill: the colour \"red\" is not six hexadecimal digits; give it red first, e.g. FF8000 or "
                "#FF8000"},
        BadCase{kBase + QStringList{"--shadow", "1,1", "--outline", "2"},
                "--shadow and --outline exclude each other; choose one edge effect"},
        BadCase{kBase + QStringList{"--texture", "t.bmp", "--fill", "FFFFFF"},
                "--fill and --texture exclude each other; choose a colour or a texture"},
        BadCase{{"-t", "A", "-T", "a.txt", "-o", "o.bmp"}, "-t and -T exclude each other; give the text once"},
        BadCase{kBase + QStringList{"--shadow-colour", "FF0000"},
                "--shadow-colour needs --shadow DX,DY; add the offset or drop the colour"},
        BadCase{kBase + QStringList{"-x"}, "unknown option \"-x\""},
        BadCase{kBase + QStringList{"--bold=1"}, "--bold takes no value; write it alone"},
        BadCase{kBase + QStringList{"stray"}, "unexpected argument \"stray\"; give the text with -t TEXT"},
        BadCase{{"-t", "A", "-o"}, "-o needs a value"},
        BadCase{kBase + QStringList{"-c", "1x1", "--cell", "2x2"}, "--cell is given more than once; give it once"},
        BadCase{kBase + QStringList{"--fnt", "./out.bmp"}, "--fnt names the same file as -o; give it a name of its own"}));
