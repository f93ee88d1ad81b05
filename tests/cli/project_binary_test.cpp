// Project files through the real karuvo-cli: saved from options, built from any working
// folder, overridden by options, and refused with a message when they cannot be read.
#include <QTemporaryDir>

#include "support/cli_process.h"

using namespace karuvo;
using namespace karuvo::fakes;

namespace {

struct ProjectRuns : ::testing::Test {
    // A folder below the root, made empty.
    QString freshFolder(const QString& name) const {
        QDir(root.filePath(name)).removeRecursively();
        QDir(root.path()).mkpath(name);
        return root.filePath(name);
    }
    void writeTexture(const QString& path) const { ASSERT_TRUE(patterned(2, 2).qimage().save(path)); }
    QTemporaryDir root;
};

}  // namespace

// Options whose inputs lie in proj/ and whose outputs go to proj/out/, run from the root.
TEST_F(ProjectRuns, AMovedProjectBuiltFromElsewhereWritesWhatTheOptionsWrite) {
    const QStringList runs[] = {
        // A typed text that JSON must escape; a font family; a fixed cell; no effect.
        {"-t", "Q\"\\é\n字\tZ {}", "-f", "DejaVu Sans", "-s", "20", "--bold", "--underline", "--strikeout", "-c", "24x30",
         "--fill", "FFE060", "-o", "proj/out/s.bmp", "--fnt", "proj/out/s.fnt", "--json", "proj/out/s.json"},
        // Lists and a set in rows of 8, on pages, with a shadow, on a fixed pitch.
        {"--chars", "U+0041-U+0046,0,U+002C", "--charset", "katakana", "--columns", "8", "-s", "16", "--max-size", "200",
         "--shadow", "2,-1", "--shadow-colour", "3050FF", "-o", "proj/out/k.png", "--fnt", "proj/out/k.fnt", "--fnt-format",
         "xml", "--json", "proj/out/k.json", "--pitch", "cell"},
        // A face of a font file and a texture beside the project, with an outline.
        {"-t", "Rg&Qy", "-f", "proj/pair.ttc", "--face-index", "1", "-s", "28", "--italic", "--mono", "--no-fallback",
         "--texture", "proj/tex.png", "--outline", "2", "--outline-colour", "FF0000", "-o", "proj/out/f.png", "--fnt",
         "proj/out/f.fnt", "--fnt-format", "binary"},
        // A text file beside the project, in the default sheet font.
        {"-T", "proj/text.txt", "--shadow", "-3,2", "--columns", "3", "-o", "proj/out/t.bmp", "--json", "proj/out/t.json"},
        // A distance field, named in the descriptor.
        {"-t", "Ag字", "-s", "24", "--sdf", "6", "--fill", "30A0FF", "-o", "proj/out/d.png", "--fnt", "proj/out/d.fnt"}};
    for (const QStringList& options : runs) {
        SCOPED_TRACE(options.join(u' ').toStdString());
        const QString proj = freshFolder("proj"), out = freshFolder("proj/out");
        ASSERT_TRUE(QFile::copy(testFonts() + "/pair.ttc", proj + "/pair.ttc"));
        writeTexture(proj + "/tex.png");
        ASSERT_TRUE(writeFile(proj + "/text.txt", QStringLiteral("テキスト\nfile").toUtf8()));
        succeeded(options, root.path());
        const QMap<QString, QByteArray> expected = filesIn(out);
        ASSERT_FALSE(expected.isEmpty());

        freshFolder("proj/out");
        succeeded(options + QStringList{"--save-project", "proj/p.karuvo"}, root.path());
        EXPECT_EQ(filesIn(out), expected) << "saving a project changed the outputs";

        // The project and its assets move together; it is built from another folder.
        freshFolder("proj/out");
        ASSERT_TRUE(QDir(root.path()).rename("proj", "moved"));
        succeeded({"--project", "../moved/p.karuvo"}, freshFolder("elsewhere"));
        EXPECT_EQ(filesIn(root.filePath("moved/out")), expected) << readFile(root.filePath("moved/p.karuvo")).toStdString();
        QDir(root.filePath("moved")).removeRecursively();
    }
}

// A project saved from `base` and built with `overrides` writes what `direct` writes, and
// stays as it was. Inputs are absolute (@ is the root, % the test fonts).
TEST_F(ProjectRuns, OptionsGivenWithAProjectChangeOnlyWhatTheyGive) {
    writeTexture(root.filePath("tex.png"));
    ASSERT_TRUE(writeFile(root.filePath("words.txt"), "XYZ"));
    const QString line = QStringLiteral("ABCDEFGHIJKLMNOPQRSTU");  // longer than the lists' 16 columns
    const struct { const char* what; QStringList base, overrides, direct; } cases[] = {
        {"a text replaces the lists and their columns", {"--charset", "katakana", "-s", "16", "-o", "s.bmp", "--json", "s.json"},
         {"-t", line}, {"-t", line, "-s", "16", "-o", "s.bmp", "--json", "s.json"}},
        {"a text replaces the text file", {"-T", "@/words.txt", "-o", "s.bmp"}, {"-t", "AB"}, {"-t", "AB", "-o", "s.bmp"}},
        {"a cell replaces the fitted one", {"-t", "AB", "-o", "s.bmp"}, {"-c", "20x24"}, {"-t", "AB", "-c", "20x24", "-o", "s.bmp"}},
        {"a colour replaces the texture", {"-t", "AB", "--texture", "@/tex.png", "-o", "s.bmp"}, {"--fill", "FF8000"},
         {"-t", "AB", "--fill", "FF8000", "-o", "s.bmp"}},
        {"a shadow replaces the outline", {"-t", "AB", "--outline", "2", "--outline-colour", "FF0000", "-o", "s.bmp"},
         {"--shadow", "2,3", "--shadow-colour", "00FF00"}, {"-t", "AB", "--shadow", "2,3", "--shadow-colour", "00FF00", "-o", "s.bmp"}},
        {"a colour for the project's shadow", {"-t", "AB", "--shadow", "1,1", "-o", "s.bmp"}, {"--shadow-colour", "FF0000"},
         {"-t", "AB", "--shadow", "1,1", "--shadow-colour", "FF0000", "-o", "s.bmp"}},
        {"outputs replace all of the project's", {"-t", "AB", "-o", "a.png", "--fnt", "a.fnt", "--json", "a.json"},
         {"-o", "b.bmp", "--json", "b.json", "--pitch", "cell"}, {"-t", "AB", "-o", "b.bmp", "--json", "b.json", "--pitch", "cell"}},
        {"a family replaces the file and its face", {"-t", "AB", "-f", "%/pair.ttc", "--face-index", "1", "-o", "s.bmp"},
         {"-f", "DejaVu Sans"}, {"-t", "AB", "-f", "DejaVu Sans", "-o", "s.bmp"}},
    };
    const auto filled = [&](QStringList args) { return args.replaceInStrings("@", root.path()).replaceInStrings("%", testFonts()); };
    for (const auto& c : cases) {
        const QString via = freshFolder("via"), direct = freshFolder("direct");
        SCOPED_TRACE(c.what);
        succeeded(filled(c.base) + QStringList{"--save-project", "p.karuvo"}, via);
        for (const QString& name : QDir(via).entryList({"s.*", "a.*"})) QFile::remove(via + u'/' + name);
        const QByteArray project = readFile(via + "/p.karuvo");
        succeeded(QStringList{"--project", "p.karuvo"} + filled(c.overrides), via);
        succeeded(filled(c.direct), direct);
        auto built = filesIn(via);
        EXPECT_EQ(built.take("p.karuvo"), project);
        EXPECT_EQ(built, filesIn(direct));
    }
}

// A project that names an output and cannot be read; what the program says after
// "The project "bad.karuvo": ".
const std::pair<const char*, const char*> kBadProjects[] = {
    {"{\"karuvo\": 1,\n \"text\": \"A\"\n \"output\": {\"sheet\": \"s.bmp\"}}",
     "it is not JSON: at line 3, column 2: unterminated object"},
    // Columns count characters, not bytes.
    {"{\"karuvo\": 1, \"text\": \"é字\" x, \"output\": {\"sheet\": \"s.bmp\"}}",
     "it is not JSON: at line 1, column 28: unterminated object"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"effect\": {\"kind\": \"outline\", \"radiu\": 3}, \"output\": {\"sheet\": \"s.bmp\"}}",
     "unknown key \"effect.radiu\"; the keys of \"effect\" are kind, dx, dy, shadowColour, radius, outlineColour"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"color\": \"#FFFFFF\", \"output\": {\"sheet\": \"s.bmp\"}}",
     "unknown key \"color\"; the keys of a project are karuvo, text, textFile, chars, charsets, columns, font, cell, "
     "fill, effect, output"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"cell\": true, \"output\": {\"sheet\": \"s.bmp\"}}",
     "cell must be \"fitted\" or an object, not true or false; give \"fitted\" or {\"width\": W, \"height\": H}"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"effect\": {\"kind\": \"outline\", \"radius\": 11}, \"output\": {\"sheet\": \"s.bmp\"}}",
     "effect.radius: the radius 11 is out of range; give a whole number from 0 to 10"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"output\": {\"sheet\": \"s.gif\", \"json\": \"s.json\"}}",
     "output.sheet: the sheet file \"s.gif\" does not end in .bmp or .png; give .bmp for a 24-bit bitmap or .png for "
     "transparency"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"chars\": \"B\", \"output\": {\"sheet\": \"s.bmp\"}}",
     "\"text\", \"textFile\", and \"chars\" with \"charsets\" exclude each other; give the characters one way"},
    {"{\"karuvo\": 2, \"text\": \"A\", \"sdf\": true, \"output\": {\"sheet\": \"s.bmp\"}}",
     "it is of format version 2, and this program reads version 1; open it with a newer KARUVO"},
    // The parser would keep the last alone; an escaped spelling is the same key.
    {"{\"karuvo\": 1, \"text\": \"A\", \"output\": {\"sheet\": \"s.bmp\",\n\"json\": \"{\\\"\",\n\n\"sh\\u0065et\": \"t.bmp\"}}",
     "the key \"output.sheet\" is given twice, at line 1 and at line 4; keep one of them"},
    {"{\"karuvo\": 1, \"text\": \"A\", \"charsets\": [\"kana\", {\"a\": 1, \"a\": 2}], \"output\": {\"sheet\": \"s.bmp\"}}",
     "the key \"charsets[1].a\" is given twice, at line 1 and at line 1; keep one of them"},
    {"{\"text\": \"A\", \"output\": {\"sheet\": \"s.bmp\"}}",
     "it has no \"karuvo\" key with its format version; a project begins with \"karuvo\": 1"},
};

TEST_F(ProjectRuns, AProjectThatCannotBeReadIsNamedWithWhyAndNothingIsWritten) {
    for (const auto& [contents, message] : kBadProjects) {
        const QString folder = freshFolder("bad");
        ASSERT_TRUE(writeFile(folder + "/bad.karuvo", contents));
        const auto [code, err] = runCli({"--project", "bad.karuvo"}, folder);
        EXPECT_EQ(code, 1) << contents;
        EXPECT_EQ(err, "karuvo-cli: The project \"bad.karuvo\": " + std::string(message) + "\n") << contents;
        EXPECT_EQ(filesIn(folder).keys(), QStringList{"bad.karuvo"}) << contents;
    }
    // At most 64 MiB is read: exactly that is read (and is no JSON), a byte more is refused unread.
    for (const qint64 size : {qint64(64) << 20, (qint64(64) << 20) + 1}) {
        const QString folder = freshFolder("big");
        ASSERT_TRUE(writeFile(folder + "/big.karuvo", "") && QFile(folder + "/big.karuvo").resize(size));
        const auto [code, err] = runCli({"--project", "big.karuvo"}, folder);
        EXPECT_EQ(code, 1) << err;
        EXPECT_EQ(err.find("\"big.karuvo\": it is larger than 64 MiB") != std::string::npos, size > (qint64(64) << 20)) << err;
    }
}
