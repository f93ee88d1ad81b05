// Settings that exclude each other are refused in a project file as on the command line,
// named by the project's keys.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "project/project_file.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(SettingConflicts, AProjectWithAFieldAndWhatItExcludesIsRefusedByItsKeys) {
    const QString effects = " exclude each other: a distance field holds the glyphs' shape alone, effects belong in "
                            "the shader; drop one of them";
    const struct { const char* keys; QString said; } rows[] = {
        {R"("effect": {"kind": "shadow"})", "output.distanceRange and effect.kind \"shadow\"" + effects},
        {R"("effect": {"kind": "outline"})", "output.distanceRange and effect.kind \"outline\"" + effects},
        {R"("fill": {"kind": "texture", "texture": "t.png"})", "output.distanceRange and fill.kind \"texture\"" + effects},
        {R"("font": {"mono": true})", "output.distanceRange and font.mono" + effects},
        {R"("font": {"underline": true})", "output.distanceRange and font.underline" + effects},
        {R"("font": {"strikeout": true})", "output.distanceRange and font.strikeout" + effects},
        {R"("output": {"sheet": "s.bmp", "distanceRange": 4})",
         "output.distanceRange and output.sheet \"s.bmp\" exclude each other: the field is held in the alpha channel of "
         "a PNG sheet; give output.sheet a name ending in .png"},
        {R"("output": {"sheet": "s.png", "fnt": "s.fnt", "fntFormat": "binary", "distanceRange": 4})",
         "output.distanceRange and output.fntFormat \"binary\" exclude each other: the binary form cannot say that "
         "the page is a distance field; give output.fntFormat \"text\" or \"xml\""},
        {R"("output": {"sheet": "s.png", "fntFormat": "binary", "distanceRange": 4})", {}},  // no .fnt to describe it
        {R"("output": {"sheet": "s.png", "distanceRange": 4, "colourGlyphs": true})",
         "output.colourGlyphs and output.distanceRange exclude each other: colour glyphs keep their own colours, and "
         "output.distanceRange rests on glyphs drawn in one colour; drop one of them"},
        {R"("effect": {"kind": "none"})", {}}};
    for (const auto& [keys, said] : rows) {
        QByteArray json = QByteArray(R"({"karuvo": 1, "text": "A", )") + keys;
        if (!json.contains("distanceRange")) json += R"(, "output": {"sheet": "s.png", "distanceRange": 4})";
        const auto e = fakes::thrownBy([&] { parseProject(json + "}", QStringLiteral("/p/x.karuvo")); });
        EXPECT_EQ(e ? QString::fromStdString(e->what()) : QString(), said.isEmpty() ? said : "The project \"/p/x.karuvo\": " + said)
            << keys;
    }
}
