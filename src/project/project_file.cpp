#include "project_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QCoreApplication>
#include <QLocale>
#include <array>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <unistd.h>
#include <vector>

#include "platform/error.h"
#include "platform/file_input.h"
#include "project/setting_checks.h"

namespace karuvo {
namespace {

constexpr std::array kFillKinds{"colour", "texture"};
constexpr std::array kEffectKinds{"none", "shadow", "outline"};
constexpr std::array kFntFormats{"text", "xml", "binary"};
constexpr std::array kPitches{"font", "cell"};
const QString kFitted = QStringLiteral("fitted");

// The kinds of JSON value, as messages name them.
const char* const kTrueOrFalse = QT_TRANSLATE_NOOP("karuvo", "true or false");
const char* const kNumber = QT_TRANSLATE_NOOP("karuvo", "a number");
const char* const kText = QT_TRANSLATE_NOOP("karuvo", "text");
const char* const kObject = QT_TRANSLATE_NOOP("karuvo", "an object");

// What a JSON value is, as a message names it.
const char* kindOf(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Bool: return kTrueOrFalse;
    case QJsonValue::Double: return kNumber;
    case QJsonValue::String: return kText;
    case QJsonValue::Array: return QT_TRANSLATE_NOOP("karuvo", "a list");
    case QJsonValue::Object: return kObject;
    default: return QT_TRANSLATE_NOOP("karuvo", "null");
    }
}

// Line and column (from 1, in characters) of a byte offset into UTF-8 text.
std::pair<qsizetype, qsizetype> lineAndColumn(const QByteArray& text, qsizetype offset) {
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    const QByteArrayView before(text.constData(), offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return {before.count('\n') + 1, QString::fromUtf8(before.sliced(lineStart)).toUcs4().size() + 1};
}

// A key given twice in one object, with the lines of both.
struct DuplicateKey {
    QString path;  // "output.sheet", "charsets[0].x"
    qsizetype firstLine = 0, line = 0;
};

// The first key that one object of `json`, a whole JSON document, gives twice. The
// parser keeps the last of them alone, so this reads the text itself.
std::optional<DuplicateKey> firstDuplicateKey(const QByteArray& json) {
    struct Level {
        bool object = false;
        QString path;
        QHash<QString, qsizetype> lines;  // an object's keys, where each was given
        qsizetype items = 0;              // an array's items so far
        bool expectKey = false;
        QString lastKey;
    };
    std::vector<Level> levels;
    qsizetype line = 1;
    const auto childPath = [&]() -> QString {
        if (levels.empty()) return {};
        const Level& l = levels.back();
        if (!l.object) return l.path + QStringLiteral("[%1]").arg(l.items);
        return l.path.isEmpty() ? l.lastKey : l.path + u'.' + l.lastKey;
    };
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '\n') {
            ++line;
        } else if (c == '{' || c == '[') {
            levels.push_back({c == '{', childPath(), {}, 0, c == '{', {}});
        } else if (c == '}' || c == ']') {
            levels.pop_back();
        } else if (c == ',' && !levels.empty()) {
            ++levels.back().items;
            levels.back().expectKey = levels.back().object;
        } else if (c == '"') {
            const qsizetype start = ++i;
            while (json[i] != '"') i += json[i] == '\\' ? 2 : 1;  // a whole document ends every string
            if (levels.empty() || !levels.back().expectKey) continue;
            const QByteArray raw = json.sliced(start, i - start);
            const QString key = raw.contains('\\') ? QJsonDocument::fromJson('[' + json.sliced(start - 1, i - start + 2) + ']').array().at(0).toString()
                                                    : QString::fromUtf8(raw);
            Level& l = levels.back();
            l.expectKey = false;
            l.lastKey = key;
            const auto seen = l.lines.constFind(key);
            if (seen != l.lines.cend()) return DuplicateKey{childPath(), *seen, line};
            l.lines.insert(key, line);
        }
    }
    return std::nullopt;
}

// Reads one project's settings out of its JSON object, refusing what does not belong.
class Reader {
public:
    explicit Reader(const QString& path) : folder_(QFileInfo(path).absolutePath()) {}

    // Refuses the project; parseProject names the file.
    [[noreturn]] void fail(const char* source, std::initializer_list<MessageArg> args = {}) const {
        throw messageError(ErrorKind::Setting, source, args);
    }

    // One object of the file and its path of keys ("" for the whole file).
    struct Section {
        QJsonObject object;
        QString path;
        QString keyPath(const QString& key) const { return path.isEmpty() ? key : path + u'.' + key; }
    };

    // Refuses keys other than `known`, naming the first one met.
    void onlyKeys(const Section& s, const QStringList& known) const {
        for (auto it = s.object.begin(); it != s.object.end(); ++it) {
            if (known.contains(it.key())) continue;
            const QString key = quotedValue(s.keyPath(it.key())), keys = known.join(QStringLiteral(", "));
            if (s.path.isEmpty()) fail(QT_TRANSLATE_NOOP("karuvo", "unknown key %1; the keys of a project are %2"), {key, keys});
            fail(QT_TRANSLATE_NOOP("karuvo", "unknown key %1; the keys of %2 are %3"), {key, quotedValue(s.path), keys});
        }
    }

    // The value of `key` when it is there and of type `type`, called `typeName` otherwise.
    std::optional<QJsonValue> value(const Section& s, const QString& key, QJsonValue::Type type,
                                    const char* typeName) const {
        if (!s.object.contains(key)) return std::nullopt;
        const QJsonValue v = s.object.value(key);
        if (v.type() != type) wrongKind(s.keyPath(key), typeName, v);
        return v;
    }
    [[noreturn]] void wrongKind(const QString& key, const char* typeName, const QJsonValue& v) const {
        fail(QT_TRANSLATE_NOOP("karuvo", "%1 must be %2, not %3"),
             {key, typeName, kindOf(v)});
    }
    std::optional<QString> text(const Section& s, const QString& key) const {
        const auto v = value(s, key, QJsonValue::String, kText);
        if (!v) return std::nullopt;
        const QString t = v->toString();
        if (!QStringView(t).isValidUtf16())
            fail(QT_TRANSLATE_NOOP("karuvo", "%1 holds half of a surrogate pair alone; give whole characters"), {s.keyPath(key)});
        return t;
    }
    // A name or a path: not empty, no control characters.
    std::optional<QString> name(const Section& s, const QString& key) const {
        const auto v = text(s, key);
        if (v) requirePlain(s.keyPath(key), requireNonEmpty(s.keyPath(key), *v));
        return v;
    }
    // A path, taken from the project's folder; "-" (standard input) where `dash` allows.
    std::optional<QString> path(const Section& s, const QString& key, bool dash = false) const {
        const auto v = name(s, key);
        if (!v || (dash && *v == QStringLiteral("-"))) return v;
        return resolved(*v);
    }
    QString resolved(const QString& path) const { return QDir::cleanPath(QDir(folder_).absoluteFilePath(path)); }
    // A number as text, for the checks the options' values go through.
    std::optional<QString> number(const Section& s, const QString& key) const {
        const auto v = value(s, key, QJsonValue::Double, kNumber);
        return v ? std::optional(QString::number(v->toDouble(), 'g', QLocale::FloatingPointShortest)) : std::nullopt;
    }
    void flag(const Section& s, const QString& key, bool& into) const {
        if (const auto v = value(s, key, QJsonValue::Bool, kTrueOrFalse)) into = v->toBool();
    }
    std::optional<Section> section(const Section& s, const QString& key) const {
        const auto v = value(s, key, QJsonValue::Object, kObject);
        return v ? std::optional(Section{v->toObject(), s.keyPath(key)}) : std::nullopt;
    }
    template <std::size_t N>
    std::optional<std::size_t> choice(const Section& s, const QString& key, const char* what,
                                      const std::array<const char*, N>& names) const {
        const auto v = text(s, key);
        return v ? std::optional(choiceSetting(s.keyPath(key), *v, what, names)) : std::nullopt;
    }
    std::optional<Colour> colour(const Section& s, const QString& key) const {
        const auto v = text(s, key);
        return v ? std::optional(colourSetting(s.keyPath(key), *v)) : std::nullopt;
    }

    void version(const Section& top) const {
        if (!top.object.contains(QStringLiteral("karuvo")))
            fail(QT_TRANSLATE_NOOP("karuvo", "it has no \"karuvo\" key with its format version; a project begins with \"karuvo\": 1"));
        const double v = value(top, QStringLiteral("karuvo"), QJsonValue::Double, kNumber)->toDouble();
        const QString given = QString::number(v, 'g', QLocale::FloatingPointShortest), read = QString::number(kProjectVersion);
        if (v > kProjectVersion && std::floor(v) == v) {
            fail(QT_TRANSLATE_NOOP("karuvo", "it is of format version %1, and this program reads version %2; open it with a newer KARUVO"),
                 {given, read});
        }
        if (v != kProjectVersion)
            fail(QT_TRANSLATE_NOOP("karuvo", "karuvo: the format version %1 is not one this program reads; give %2"), {given, read});
    }

    void characters(const Section& top, Project& p) const {
        const auto typed = text(top, QStringLiteral("text"));
        if (typed) p.settings.text = *typed;
        p.textFile = path(top, QStringLiteral("textFile"), true);
        if (const auto list = text(top, QStringLiteral("chars"))) {
            requirePlain(QStringLiteral("chars"), *list);
            charListSetting(QStringLiteral("chars"), *list, p.chars);
        }
        if (const auto sets = value(top, QStringLiteral("charsets"), QJsonValue::Array, QT_TRANSLATE_NOOP("karuvo", "a list of names"))) {
            const QJsonArray names = sets->toArray();
            if (names.isEmpty()) fail(QT_TRANSLATE_NOOP("karuvo", "charsets is an empty list; give at least one name"));
            for (qsizetype i = 0; i < names.size(); ++i) {
                const QString key = QStringLiteral("charsets[%1]").arg(i);
                if (!names[i].isString()) wrongKind(key, kText, names[i]);
                charsetSetting(key, names[i].toString());
                p.charsets << names[i].toString();
            }
        }
        const int ways = int{typed.has_value()} + int{p.textFile.has_value()} +
                         int{top.object.contains(QStringLiteral("chars")) || !p.charsets.isEmpty()};
        if (ways == 0)
            fail(QT_TRANSLATE_NOOP("karuvo", "it names no characters; give \"text\", \"textFile\", or \"chars\" and \"charsets\""));
        if (ways > 1) {
            fail(QT_TRANSLATE_NOOP("karuvo", "\"text\", \"textFile\", and \"chars\" with \"charsets\" exclude each other; give the characters one way"));
        }
        if (const auto n = number(top, QStringLiteral("columns"))) p.settings.wrapColumns = columnsSetting(QStringLiteral("columns"), *n);
    }

    void font(const Section& top, Project& p) const {
        const auto s = section(top, QStringLiteral("font"));
        if (!s) return;
        onlyKeys(*s, {"family", "file", "faceIndex", "size", "bold", "italic", "underline", "strikeout", "mono",
                      "fallback"});
        FontRequest& f = p.font;
        f.given = true;
        const auto family = name(*s, QStringLiteral("family"));
        const auto file = path(*s, QStringLiteral("file"));
        if (family && file) fail(QT_TRANSLATE_NOOP("karuvo", "font.family and font.file exclude each other; give one of them"));
        // The front ends take a name that looks like a path for a file.
        if (family && looksLikeFontPath(*family))
            fail(QT_TRANSLATE_NOOP("karuvo", "font.family: %1 names a font file; give it as font.file"), {quotedValue(*family)});
        f.family = family ? *family : file ? *file : QString();
        if (const auto n = number(*s, QStringLiteral("faceIndex"))) {
            if (!file) fail(QT_TRANSLATE_NOOP("karuvo", "font.faceIndex needs font.file; add the font file or drop the index"));
            f.faceIndex = faceIndexSetting(s->keyPath(QStringLiteral("faceIndex")), *n);
        }
        if (const auto n = number(*s, QStringLiteral("size"))) f.pixelSize = fontSizeSetting(s->keyPath("size"), *n);
        flag(*s, QStringLiteral("bold"), f.bold);
        flag(*s, QStringLiteral("italic"), f.italic);
        flag(*s, QStringLiteral("underline"), f.underline);
        flag(*s, QStringLiteral("strikeout"), f.strikeOut);
        flag(*s, QStringLiteral("mono"), f.mono);
        bool fallback = true;
        flag(*s, QStringLiteral("fallback"), fallback);
        f.noFallback = !fallback;
    }

    void cell(const Section& top, Project& p) const {
        if (!top.object.contains(QStringLiteral("cell"))) return;
        const QJsonValue v = top.object.value(QStringLiteral("cell"));
        if (v.isString()) {
            if (v.toString() != kFitted) {
                fail(QT_TRANSLATE_NOOP("karuvo", "cell: %1 is not \"fitted\"; give \"fitted\" or {\"width\": W, \"height\": H}"),
                     {quotedValue(v.toString())});
            }
            return;
        }
        if (!v.isObject()) {
            fail(QT_TRANSLATE_NOOP("karuvo", "cell must be \"fitted\" or an object, not %1; give \"fitted\" or {\"width\": W, \"height\": H}"),
                 {kindOf(v)});
        }
        const Section s{v.toObject(), QStringLiteral("cell")};
        onlyKeys(s, {"width", "height"});
        const auto width = number(s, QStringLiteral("width")), height = number(s, QStringLiteral("height"));
        if (!width || !height)
            fail(QT_TRANSLATE_NOOP("karuvo", "cell needs both \"width\" and \"height\"; give \"fitted\" or {\"width\": W, \"height\": H}"));
        const CharBox size = cellSetting(QStringLiteral("cell"), *width + u'x' + *height);
        p.settings.cellWidth = size.width;
        p.settings.cellHeight = size.height;
        p.cellGiven = true;
    }

    void fill(const Section& top, Project& p) const {
        const auto s = section(top, QStringLiteral("fill"));
        if (!s) return;
        onlyKeys(*s, {"kind", "colour", "texture"});
        SheetSettings& o = p.settings;
        if (const auto kind = choice(*s, QStringLiteral("kind"), QT_TRANSLATE_NOOP("karuvo", "fill"), kFillKinds)) o.fill = static_cast<FillKind>(*kind);
        if (const auto c = colour(*s, QStringLiteral("colour"))) o.fillColour = *c;
        if (const auto texture = path(*s, QStringLiteral("texture"))) o.texturePath = *texture;
        if (o.fill == FillKind::Texture && o.texturePath.isEmpty())
            fail(QT_TRANSLATE_NOOP("karuvo", "fill.kind \"texture\" needs fill.texture; give the texture's file or the kind \"colour\""));
    }

    void effect(const Section& top, Project& p) const {
        const auto s = section(top, QStringLiteral("effect"));
        if (!s) return;
        onlyKeys(*s, {"kind", "dx", "dy", "shadowColour", "radius", "outlineColour"});
        SheetSettings& o = p.settings;
        if (const auto kind = choice(*s, QStringLiteral("kind"), QT_TRANSLATE_NOOP("karuvo", "effect"), kEffectKinds))
            o.effect = static_cast<EffectKind>(*kind);
        if (const auto n = number(*s, QStringLiteral("dx"))) o.shadowDx = offsetSetting(s->keyPath("dx"), *n);
        if (const auto n = number(*s, QStringLiteral("dy"))) o.shadowDy = offsetSetting(s->keyPath("dy"), *n);
        if (const auto c = colour(*s, QStringLiteral("shadowColour"))) o.shadowColour = *c;
        if (const auto n = number(*s, QStringLiteral("radius"))) o.outlineRadius = radiusSetting(s->keyPath("radius"), *n);
        if (const auto c = colour(*s, QStringLiteral("outlineColour"))) o.outlineColour = *c;
    }

    void output(const Section& top, Project& p) const {
        const auto s = section(top, QStringLiteral("output"));
        if (!s) return;
        onlyKeys(*s, {"sheet", "maxSize", "fnt", "fntFormat", "json", "pitch", "distanceRange", "fieldType", "colourGlyphs"});
        if (const auto sheet = name(*s, QStringLiteral("sheet"))) {
            sheetFileSetting(s->keyPath(QStringLiteral("sheet")), *sheet);
            p.outputPath = resolved(*sheet);
        }
        if (const auto n = number(*s, QStringLiteral("maxSize"))) {
            p.maxPageSide = pageSideSetting(s->keyPath(QStringLiteral("maxSize")), *n);
        }
        p.fntPath = path(*s, QStringLiteral("fnt")).value_or(QString());
        p.jsonPath = path(*s, QStringLiteral("json")).value_or(QString());
        if (const auto form = choice(*s, QStringLiteral("fntFormat"), QT_TRANSLATE_NOOP("karuvo", "descriptor format"), kFntFormats))
            p.fntFormat = static_cast<FntFormat>(*form);
        if (const auto pitch = choice(*s, QStringLiteral("pitch"), QT_TRANSLATE_NOOP("karuvo", "pitch"), kPitches)) p.pitch = static_cast<Pitch>(*pitch);
        if (const auto n = number(*s, QStringLiteral("distanceRange"))) {
            p.settings.distanceRange = distanceRangeSetting(s->keyPath(QStringLiteral("distanceRange")), *n);
        }
        if (const auto type = choice(*s, QStringLiteral("fieldType"), QT_TRANSLATE_NOOP("karuvo", "field type"), kFieldTypeNames)) {
            if (p.settings.distanceRange == 0) fail(QT_TRANSLATE_NOOP("karuvo", "output.fieldType needs output.distanceRange; add the range or drop the type"));
            p.settings.fieldType = static_cast<FieldType>(*type);
        }
        flag(*s, QStringLiteral("colourGlyphs"), p.settings.colourGlyphs);
        if (p.outputPath.isEmpty() && (!p.fntPath.isEmpty() || !p.jsonPath.isEmpty()))
            fail(QT_TRANSLATE_NOOP("karuvo", "output.fnt and output.json describe a sheet; add output.sheet"));
    }

    Project read(const QByteArray& contents) const {
        QByteArray json = contents;
        if (json.startsWith("\xEF\xBB\xBF")) json.remove(0, 3);
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
        if (error.error != QJsonParseError::NoError) {
            // The parser stops past the character it could not take, except at bytes that
            // are not UTF-8 and at anything after the whole document.
            const bool past = error.error != QJsonParseError::GarbageAtEnd &&
                              error.error != QJsonParseError::IllegalUTF8String;
            const qsizetype at = past ? error.offset - 1 : error.offset;
            const auto [line, column] = lineAndColumn(json, at);
            fail(QT_TRANSLATE_NOOP("karuvo", "it is not JSON: at line %1, column %2: %3"),
                 {QString::number(line), QString::number(column), error.errorString()});
        }
        if (!doc.isObject()) fail(QT_TRANSLATE_NOOP("karuvo", "it is not a JSON object of settings; a project is {\"karuvo\": 1, ...}"));
        const Section top{doc.object(), QString()};
        // The version first: a newer project may hold keys this program does not know.
        version(top);
        if (const auto twice = firstDuplicateKey(json)) {
            fail(QT_TRANSLATE_NOOP("karuvo", "the key %1 is given twice, at line %2 and at line %3; keep one of them"),
                 {quotedValue(twice->path), QString::number(twice->firstLine), QString::number(twice->line)});
        }
        onlyKeys(top, {"karuvo", "text", "textFile", "chars", "charsets", "columns", "font", "cell", "fill", "effect",
                       "output"});
        Project p;
        characters(top, p);
        font(top, p);
        cell(top, p);
        fill(top, p);
        effect(top, p);
        output(top, p);
        if (const auto conflict = settingConflict(p)) throw projectConflictError(*conflict, p);
        return p;
    }

private:
    QString folder_;
};

// --- writing ---

// A JSON string: quotes, backslashes and control characters escaped, the rest as it is.
QString jsonString(const QString& s) {
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        switch (c.unicode()) {
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        default:
            if (c.unicode() < 0x20) out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else out += c;
        }
    }
    return out + u'"';
}

// Members of a JSON object in the order they are written, each value as JSON text.
using Members = std::vector<std::pair<const char*, QString>>;

// An object over several lines, indented by `depth` levels of two spaces.
QString jsonObject(const Members& members, int depth) {
    const QString inner(2 * (depth + 1), u' ');
    QString out = QStringLiteral("{\n");
    for (std::size_t i = 0; i < members.size(); ++i) {
        out += inner + jsonString(QLatin1String(members[i].first)) + QStringLiteral(": ") + members[i].second;
        out += i + 1 < members.size() ? QStringLiteral(",\n") : QStringLiteral("\n");
    }
    return out + QString(2 * depth, u' ') + u'}';
}

QString jsonBool(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
QString jsonColour(Colour c) {
    return jsonString(QString::asprintf("#%02X%02X%02X", redOf(c), greenOf(c), blueOf(c)));
}

}  // namespace

QString charList(const CodePointSet& set) {
    QStringList items;
    const auto point = [](char32_t c) { return QStringLiteral("U+%1").arg(static_cast<std::uint32_t>(c), 4, 16, QLatin1Char('0')).toUpper(); };
    for (auto it = set.begin(); it != set.end();) {
        const char32_t first = *it;
        char32_t last = first;
        while (++it != set.end() && *it == last + 1) last = *it;
        items << (last == first ? point(first) : point(first) + u'-' + point(last));
    }
    return items.join(u',');
}

Project parseProject(const QByteArray& contents, const QString& path) {
    try {
        return Reader(path).read(contents);
    } catch (const Error& e) {  // the reader's and those of the checks the options' values go through
        if (e.kind() != ErrorKind::Setting) throw;
        throw messageError(ErrorKind::Setting, QT_TRANSLATE_NOOP("karuvo", "The project %1: %2"), {quotedValue(path)}, &e);
    }
}

Project readProject(const QString& path) {
    const auto cannot = [&](const Error& why) {
        return messageError(ErrorKind::Io, QT_TRANSLATE_NOOP("karuvo", "Cannot read the project %1: %2"), {quotedValue(path)},
                            &why);
    };
    const auto marked = [](const char* why, std::initializer_list<MessageArg> args = {}) {
        return messageError(ErrorKind::Io, why, args);
    };
    const Error tooLarge = marked(QT_TRANSLATE_NOOP("karuvo", "it is larger than 64 MiB"));
    // Looked at before it is opened, so that nothing waits on a pipe or a device.
    if (const char* kind = specialFileKind(path))
        throw cannot(marked(QT_TRANSLATE_NOOP("karuvo", "it is %1, not a project file"), {kind}));
    const int fd = openRegularFile(path);
    if (fd < 0) {
        throw cannot(errno == ENOENT   ? marked(QT_TRANSLATE_NOOP("karuvo", "no such file"))
                     : errno == EINVAL ? marked(QT_TRANSLATE_NOOP("karuvo", "it is not a regular file"))
                                       : Error(ErrorKind::Io, std::string(std::strerror(errno))));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cannot(marked(QT_TRANSLATE_NOOP("karuvo", "it cannot be opened")));
    }
    if (file.size() > kMaxProjectBytes) throw cannot(tooLarge);
    const QByteArray contents = file.read(kMaxProjectBytes + 1);
    if (file.error() != QFileDevice::NoError) throw cannot(marked(QT_TRANSLATE_NOOP("karuvo", "it cannot be read")));
    if (contents.size() > kMaxProjectBytes) throw cannot(tooLarge);
    return parseProject(contents, path);
}

QByteArray projectFileContents(const Project& p, const QString& path) {
    const QDir folder(QFileInfo(path).absolutePath());
    const auto portable = [&](const QString& file) {
        const QString absolute = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
        const QString relative = folder.relativeFilePath(absolute);
        return jsonString(relative == ".." || relative.startsWith("../") || QDir::isAbsolutePath(relative) ? absolute
                                                                                                            : relative);
    };
    const SheetSettings& s = p.settings;
    Members top{{"karuvo", QString::number(kProjectVersion)}};
    if (p.textFile) {
        top.push_back({"textFile", *p.textFile == QStringLiteral("-") ? jsonString(*p.textFile) : portable(*p.textFile)});
    } else if (p.listsCharacters()) {
        if (!p.chars.empty()) top.push_back({"chars", jsonString(charList(p.chars))});
        if (!p.charsets.isEmpty()) {
            QStringList names;
            for (const QString& name : p.charsets) names << jsonString(name);
            top.push_back({"charsets", u'[' + names.join(QStringLiteral(", ")) + u']'});
        }
    } else {
        top.push_back({"text", jsonString(s.text)});
    }
    if (s.wrapColumns != 0 && !(p.listsCharacters() && s.wrapColumns == kDefaultCharColumns))
        top.push_back({"columns", QString::number(s.wrapColumns)});
    if (p.font.given) {
        const FontRequest& f = p.font;
        Members font;
        if (looksLikeFontPath(f.family)) {
            font.push_back({"file", portable(f.family)});
            font.push_back({"faceIndex", QString::number(f.faceIndex)});
        } else if (!f.family.isEmpty()) {
            font.push_back({"family", jsonString(f.family)});
        }
        font.insert(font.end(), {{"size", QString::number(f.pixelSize)},
                                 {"bold", jsonBool(f.bold)},
                                 {"italic", jsonBool(f.italic)},
                                 {"underline", jsonBool(f.underline)},
                                 {"strikeout", jsonBool(f.strikeOut)},
                                 {"mono", jsonBool(f.mono)},
                                 {"fallback", jsonBool(!f.noFallback)}});
        top.push_back({"font", jsonObject(font, 1)});
    }
    top.push_back({"cell", p.cellGiven ? QStringLiteral("{\"width\": %1, \"height\": %2}").arg(s.cellWidth).arg(s.cellHeight)
                                       : jsonString(kFitted)});
    Members fill{{"kind", jsonString(QLatin1String(kFillKinds[static_cast<std::size_t>(s.fill)]))},
                 {"colour", jsonColour(s.fillColour)}};
    if (!s.texturePath.isEmpty()) fill.push_back({"texture", portable(s.texturePath)});
    top.push_back({"fill", jsonObject(fill, 1)});
    top.push_back({"effect", jsonObject({{"kind", jsonString(QLatin1String(kEffectKinds[static_cast<std::size_t>(s.effect)]))},
                                         {"dx", QString::number(s.shadowDx)},
                                         {"dy", QString::number(s.shadowDy)},
                                         {"shadowColour", jsonColour(s.shadowColour)},
                                         {"radius", QString::number(s.outlineRadius)},
                                         {"outlineColour", jsonColour(s.outlineColour)}},
                                        1)});
    Members output;
    if (!p.outputPath.isEmpty()) output.push_back({"sheet", portable(p.outputPath)});
    if (p.maxPageSide > 0) output.push_back({"maxSize", QString::number(p.maxPageSide)});
    if (!p.fntPath.isEmpty()) output.push_back({"fnt", portable(p.fntPath)});
    output.push_back({"fntFormat", jsonString(QLatin1String(kFntFormats[static_cast<std::size_t>(p.fntFormat)]))});
    if (!p.jsonPath.isEmpty()) output.push_back({"json", portable(p.jsonPath)});
    output.push_back({"pitch", jsonString(QLatin1String(kPitches[static_cast<std::size_t>(p.pitch)]))});
    if (s.distanceRange > 0) output.push_back({"distanceRange", QString::number(s.distanceRange)});
    if (s.distanceRange > 0 && s.fieldType != FieldType::Sdf)
        output.push_back({"fieldType", jsonString(QLatin1String(fieldTypeName(s.fieldType)))});
    if (s.colourGlyphs) output.push_back({"colourGlyphs", jsonBool(true)});
    top.push_back({"output", jsonObject(output, 1)});
    return (jsonObject(top, 0) + u'\n').toUtf8();
}

}  // namespace karuvo
