// A bounded, repeatable fuzzing pass over the readers of outside input: the texture
// loader, font files (loaded, measured and drawn from), the number and colour readers
// (through the argument reader), the UTF-8 text decoder and the project reader. Every
// seed is fed first, then mutations of the seeds drawn from a fixed pseudo-random sequence, until a time or a count limit. Built with the address
// and undefined-behaviour sanitizers, any memory fault stops the pass; a broken
// property below stops it too, naming the input.
//
// Usage: fuzz_inputs TARGET|all SEED_FOLDER SECONDS [MAX_RUNS]
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>

#include "cli/arguments.h"
#include "project/text_input.h"
#include "platform/batch_draw.h"
#include "platform/colour.h"
#include "platform/error.h"
#include "platform/font.h"
#include "platform/glyph_check.h"
#include "platform/image_io.h"
#include "platform/number.h"
#include "project/project_file.h"

namespace {

using namespace karuvo;

[[noreturn]] void broken(const char* what, const QByteArray& input) {
    std::fprintf(stderr, "fuzz_inputs: %s for the input (hex) %s\n", what, input.toHex().constData());
    std::abort();
}

// Runs `run`: whether it threw an Error, which must be of the kind given.
template <class F>
bool refusedAs(ErrorKind kind, const char* what, const QByteArray& input, F&& run) {
    try {
        run();
        return false;
    } catch (const Error& e) {
        if (e.kind() != kind) broken(what, input);
        return true;
    }
}

// A message is one line of text, whatever the input held.
void oneLine(const QString& message, const char* what, const QByteArray& input) {
    for (const QChar c : message)
        if (c.category() == QChar::Other_Control) broken(what, input);
}

// The input as the file `name` of a folder of the pass's own.
QString written(const QByteArray& input, const QString& name) {
    static QTemporaryDir dir;
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(input) != input.size()) broken("cannot write the file", input);
    return f.fileName();
}

void texture(const QByteArray& input) {
    const QString path = written(input, QStringLiteral("t"));
    refusedAs(ErrorKind::Image, "a picture failed with an error of the wrong kind", input, [&] {
        const Image img = loadPicture(path);
        if (img.isEmpty() || std::int64_t{img.width()} * img.height() > kMaxDecodedPixels)
            broken("a picture was loaded with no area or beyond the limit", input);
    });
}

// A font file through the program's own path: each of its first faces loaded, made into
// a font of its own weight and slant, and a few characters measured, kerned and drawn,
// Han and kana among them. A file that cannot be used is refused as such.
void font(const QByteArray& input) {
    // A file of its own each time: the font engines keep the faces of a file open by
    // its name, and a file rewritten under them is not what this program ever meets.
    static long count = 0;
    const QString path = written(input, QStringLiteral("f%1.ttf").arg(count++));
    static const char32_t chars[] = {U'A', U'g', U'V', U'\u5B57', U'\u304B', U'\uFFFD'};
    for (const std::int32_t face : {0, 1}) {
        refusedAs(ErrorKind::Io, "a font file failed with an error of the wrong kind", input, [&] {
            const FontFile file(path, face);
            const std::unique_ptr<Font> made =
                Font::create({.height = -20, .weight = file.weight(), .italic = file.italic(), .faceName = file.family()});
            if (!made) broken("a loaded face made no font", input);
            // As karuvo-cli does before drawing from a font file.
            checkGlyphsRasterise(path, face, chars, {20, false, false, false});
            std::vector<PlacedChar> placed;
            for (const char32_t c : chars) {
                const CharBox box = made->measure(c);
                if (box.height != made->metrics().height()) broken("a box is not a line high", input);
                made->hasGlyph(c);
                made->loneGlyph(c);
                placed.push_back({static_cast<std::int32_t>(placed.size()) * 12, 2, c, box.reach()});
            }
            made->ownInkReach();
            made->kerningPairs(chars);
            Image picture(80, 30);
            drawPasses(*made, {{&picture, kWhite, &placed}}, 1);
        });
    }
    QFile::remove(path);
}

// Every option that reads a number or a colour, given the input as its value, and the
// window's readers of numbers and colour read-outs.
void numbers(const QByteArray& input) {
    const QString value = QString::fromUtf8(input);
    for (const char* option : {"-s", "-c", "--shadow", "--outline", "--fill", "--shadow-colour"}) {
        QStringList args{"-t", "A", "-o", "o.bmp", QString::fromLatin1(option), value};
        if (QByteArray(option) == "--shadow-colour") args << "--shadow" << "1,1";
        const cli::ParseOutcome p = cli::parseArguments(args);
        if (p.action != cli::ParseOutcome::Action::Usage) continue;
        oneLine(p.message, "a usage message holds a control character", input);
        if (p.message.isEmpty()) broken("a usage error without a message", input);
    }
    refusedAs(ErrorKind::Overflow, "a colour read-out failed with an error of the wrong kind", input,
              [&] { readColourCaption(value); });
    for (auto round : {&roundHalfEven, &roundDown})
        if (isNumeric(value))
            refusedAs(ErrorKind::Overflow, "rounding failed with an error of the wrong kind", input,
                      [&] { round(numberValue(value), "a value"); });
}

// A text decodes exactly when it is UTF-8, and decodes to itself.
void text(const QByteArray& input) {
    const QByteArray body = input.startsWith("\xEF\xBB\xBF") ? input.mid(3) : input;
    const bool valid = QString::fromUtf8(body).toUtf8() == body && !body.contains("\xEF\xBB\xBF");
    if (refusedAs(ErrorKind::Text, "decoding failed with an error of the wrong kind", input, [&] {
            if (decodeUtf8(input, QStringLiteral("the input")).toUtf8() != body)
                broken("the decoded text differs from the bytes", input);
        }) && valid)
        broken("valid UTF-8 was refused", input);
}

// A project reads into settings or is refused with a one-line message; the settings it
// reads into are written as a project that reads back into the same settings.
void project(const QByteArray& input) {
    const QString path = QStringLiteral("/fuzz/p.karuvo");
    Project p;
    try {
        p = parseProject(input, path);
    } catch (const Error& e) {
        if (e.kind() != ErrorKind::Setting) broken("a project failed with an error of the wrong kind", input);
        return oneLine(QString::fromStdString(e.what()), "a project's message holds a control character", input);
    }
    const QByteArray written = projectFileContents(p, path);
    try {
        if (projectFileContents(parseProject(written, path), path) != written)
            broken("a written project reads back into other settings", input);
    } catch (const Error&) {
        broken("a written project cannot be read back", input);
    }
}

// The mutations' random numbers: the same sequence on every pass.
std::mt19937_64 rng;
std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(rng() % n); }

QByteArray mutate(QByteArray in, const QList<QByteArray>& seeds) {
    static const std::uint32_t interesting[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF,
                                                0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 12, 40, 54};
    const int steps = 1 + static_cast<int>(below(4));
    for (int s = 0; s < steps; ++s) {
        const std::size_t at = below(static_cast<std::size_t>(in.size()) + 1);
        switch (below(7)) {
        case 0: if (!in.isEmpty()) in[qsizetype(at % in.size())] ^= char(1u << below(8)); break;
        case 1: if (!in.isEmpty()) in[qsizetype(at % in.size())] = char(rng()); break;
        case 2: in.insert(qsizetype(at), char(rng())); break;
        case 3: if (!in.isEmpty()) in.remove(qsizetype(at % in.size()), qsizetype(1 + below(8))); break;
        case 4: {
            const std::uint32_t v = interesting[below(std::size(interesting))];
            const int width = 1 << below(3);
            if (in.size() >= width) in.replace(qsizetype(at % (in.size() - width + 1)), width,
                                               QByteArray(reinterpret_cast<const char*>(&v), width));
            break;
        }
        case 5: {  // a piece of another seed
            const QByteArray& other = seeds[qsizetype(below(std::size_t(seeds.size())))];
            const qsizetype from = qsizetype(below(std::size_t(other.size()) + 1));
            in.insert(qsizetype(at), other.mid(from, qsizetype(below(64))));
            break;
        }
        case 6: in.truncate(qsizetype(at)); break;
        }
    }
    return in.left(1 << 16);
}

int pass(const char* name, const std::function<void(const QByteArray&)>& feed, const QString& folder,
         double seconds, long maxRuns) {
    QList<QByteArray> seeds;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        if (QFile file(f.filePath()); file.open(QIODevice::ReadOnly)) seeds << file.readAll();
    if (seeds.isEmpty()) return std::fprintf(stderr, "fuzz_inputs: no seeds in %s\n", qPrintable(folder)), 1;
    QElapsedTimer timer;
    timer.start();
    rng.seed(1);
    qsizetype runs = 0;
    for (; runs < seeds.size() || (runs < maxRuns && timer.elapsed() < seconds * 1000); ++runs)
        feed(runs < seeds.size() ? seeds[runs] : mutate(seeds[qsizetype(below(std::size_t(seeds.size())))], seeds));
    std::printf("fuzz_inputs: %s: %lld inputs in %.1f s from %lld seeds, no fault\n", name, static_cast<long long>(runs),
                timer.elapsed() / 1000.0, static_cast<long long>(seeds.size()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return std::fprintf(stderr, "usage: fuzz_inputs TARGET|all SEED_FOLDER SECONDS [MAX_RUNS]\n"), 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes (runtime folders, decoder warnings) would drown the pass's lines.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) std::fprintf(stderr, "fuzz_inputs: %s\n", qPrintable(message));
    });
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const std::map<std::string, std::function<void(const QByteArray&)>> targets{
        {"texture", texture}, {"font", font}, {"numbers", numbers}, {"text", text}, {"project", project}};
    int failed = 0;
    for (const auto& [name, feed] : targets)
        if (std::string(argv[1]) == "all" || argv[1] == name)
            failed |= pass(name.c_str(), feed, QString::fromLocal8Bit(argv[2]) + u'/' + QString::fromStdString(name),
                           std::atof(argv[3]), argc > 4 ? std::atol(argv[4]) : 1L << 40);
    return failed;
}
