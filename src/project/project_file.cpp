#include "project_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <array>
#include <cerrno>
#include <cstring>
#include <cmath>
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

// What a JSON value is, as a message names it.
QString kindOf(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Bool: return QStringLiteral("true or false");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("text");
    case QJsonValue::Array: return QStringLiteral("a list");
    case QJsonValue::Object: return QStringLiteral("an object");
    default: return QStringLiteral("null");
    }
}

// Line and column (from 1, in characters) of a byte offset into UTF-8 text.
std::pair<qsizetype, qsizetype> lineAndColumn(const QByteArray& text, qsizetype offset) {
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    const QByteArrayView before(text.constData(), offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return {before.count('\n') + 1, QString::fromUtf8(before.sliced(lineStart)).toUcs4().size() + 1};
}

// Why a project is refused, on its way to parseProject, which names the file.
struct Refusal {
    QString message;
};

// Reads one project's settings out of its JSON object, refusing what does not belong.
class Reader {
public:
    explicit Reader(const QString& path) : folder_(QFileInfo(path).absolutePath()) {}

    [[noreturn]] void fail(const QString& message) const { throw Refusal{message}; }

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
            fail("unknown key " + quotedValue(s.keyPath(it.key())) + "; the keys " +
                 (s.path.isEmpty() ? QStringLiteral("of a project") : "of " + quotedValue(s.path)) + " are " +
                 known.join(QStringLiteral(", ")));
        }
    }

    // The value of `key` when it is there and of type `type`, called `typeName` otherwise.
    std::optional<QJsonValue> value(const Section& s, const QString& key, QJsonValue::Type type,
                                    const char* typeName) const {
        if (!s.object.contains(key)) return std::nullopt;
        const QJsonValue v = s.object.value(key);
        if (v.type() != type) fail(s.keyPath(key) + " must be " + typeName + ", not " + kindOf(v));
        return v;
    }
    std::optional<QString> text(const Section& s, const QString& key) const {
        const auto v = value(s, key, QJsonValue::String, "text");
        if (!v) return std::nullopt;
        const QString t = v->toString();
        if (!QStringView(t).isValidUtf16())
            fail(s.keyPath(key) + " holds half of a surrogate pair alone; give whole characters");
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
        const auto v = value(s, key, QJsonValue::Double, "a number");
        return v ? std::optional(QString::number(v->toDouble(), 'g', QLocale::FloatingPointShortest)) : std::nullopt;
    }
    void flag(const Section& s, const QString& key, bool& into) const {
        if (const auto v = value(s, key, QJsonValue::Bool, "true or false")) into = v->toBool();
    }
    std::optional<Section> section(const Section& s, const QString& key) const {
        const auto v = value(s, key, QJsonValue::Object, "an object");
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
            fail(QStringLiteral("it has no \"karuvo\" key with its format version; a project begins with \"karuvo\": 1"));
        const double v = value(top, QStringLiteral("karuvo"), QJsonValue::Double, "a number")->toDouble();
        if (v > kProjectVersion && std::floor(v) == v) {
            fail(QStringLiteral("it is of format version %1, and this program reads version %2; "
                                "open it with a newer KARUVO")
                     .arg(QString::number(v, 'g', QLocale::FloatingPointShortest))
                     .arg(kProjectVersion));
        }
        if (v != kProjectVersion) {
            fail("karuvo: the format version " + QString::number(v, 'g', QLocale::FloatingPointShortest) +
                 QStringLiteral(" is not one this program reads; give %1").arg(kProjectVersion));
        }
    }

    void characters(const Section& top, Project& p) const {
        const auto typed = text(top, QStringLiteral("text"));
        if (typed) p.settings.text = *typed;
        p.textFile = path(top, QStringLiteral("textFile"), true);
        if (const auto list = text(top, QStringLiteral("chars"))) {
            requirePlain(QStringLiteral("chars"), *list);
            charListSetting(QStringLiteral("chars"), *list, p.chars);
        }
        if (const auto sets = value(top, QStringLiteral("charsets"), QJsonValue::Array, "a list of names")) {
            const QJsonArray names = sets->toArray();
            if (names.isEmpty()) fail(QStringLiteral("charsets is an empty list; give at least one name"));
            for (qsizetype i = 0; i < names.size(); ++i) {
                const QString key = QStringLiteral("charsets[%1]").arg(i);
                if (!names[i].isString()) fail(key + " must be text, not " + kindOf(names[i]));
                charsetSetting(key, names[i].toString());
                p.charsets << names[i].toString();
            }
        }
        const int ways = int{typed.has_value()} + int{p.textFile.has_value()} +
                         int{top.object.contains(QStringLiteral("chars")) || !p.charsets.isEmpty()};
        if (ways == 0)
            fail(QStringLiteral("it names no characters; give \"text\", \"textFile\", or \"chars\" and \"charsets\""));
        if (ways > 1) {
            fail(QStringLiteral("\"text\", \"textFile\", and \"chars\" with \"charsets\" exclude each other; "
                                "give the characters one way"));
        }
        if (const auto n = number(top, QStringLiteral("columns"))) {
            p.settings.wrapColumns = wholeSetting(QStringLiteral("columns"), *n, "column count", 1,
                                                  QStringLiteral("; give the number of cells in a row, at least 1"));
        }
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
        if (family && file) fail(QStringLiteral("font.family and font.file exclude each other; give one of them"));
        // The front ends take a name that looks like a path for a file.
        if (family && looksLikeFontPath(*family))
            fail("font.family: " + quotedValue(*family) + " names a font file; give it as font.file");
        f.family = family ? *family : file ? *file : QString();
        if (const auto n = number(*s, QStringLiteral("faceIndex"))) {
            if (!file) fail(QStringLiteral("font.faceIndex needs font.file; add the font file or drop the index"));
            f.faceIndex = wholeSetting(s->keyPath(QStringLiteral("faceIndex")), *n, "face index", 0,
                                       QStringLiteral("; give the number of a face of the font file, from 0"));
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
        const QString allowed = QStringLiteral("give \"fitted\" or {\"width\": W, \"height\": H}");
        if (v.isString()) {
            if (v.toString() != kFitted) fail("cell: " + quotedValue(v.toString()) + " is not \"fitted\"; " + allowed);
            return;
        }
        if (!v.isObject()) fail("cell must be \"fitted\" or an object, not " + kindOf(v) + "; " + allowed);
        const Section s{v.toObject(), QStringLiteral("cell")};
        onlyKeys(s, {"width", "height"});
        const auto width = number(s, QStringLiteral("width")), height = number(s, QStringLiteral("height"));
        if (!width || !height) fail("cell needs both \"width\" and \"height\"; " + allowed);
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
        if (const auto kind = choice(*s, QStringLiteral("kind"), "fill", kFillKinds)) o.fill = static_cast<FillKind>(*kind);
        if (const auto c = colour(*s, QStringLiteral("colour"))) o.fillColour = *c;
        if (const auto texture = path(*s, QStringLiteral("texture"))) o.texturePath = *texture;
        if (o.fill == FillKind::Texture && o.texturePath.isEmpty())
            fail(QStringLiteral("fill.kind \"texture\" needs fill.texture; give the texture's file or the kind \"colour\""));
    }

    void effect(const Section& top, Project& p) const {
        const auto s = section(top, QStringLiteral("effect"));
        if (!s) return;
        onlyKeys(*s, {"kind", "dx", "dy", "shadowColour", "radius", "outlineColour"});
        SheetSettings& o = p.settings;
        if (const auto kind = choice(*s, QStringLiteral("kind"), "effect", kEffectKinds))
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
        onlyKeys(*s, {"sheet", "maxSize", "fnt", "fntFormat", "json", "pitch", "distanceRange", "fieldType"});
        if (const auto sheet = name(*s, QStringLiteral("sheet"))) {
            sheetFileSetting(s->keyPath(QStringLiteral("sheet")), *sheet);
            p.outputPath = resolved(*sheet);
        }
        if (const auto n = number(*s, QStringLiteral("maxSize"))) {
            p.maxPageSide = wholeSetting(s->keyPath(QStringLiteral("maxSize")), *n, "page size", 1,
                                         QStringLiteral("; give the largest side of a page in pixels, e.g. 1024"));
        }
        p.fntPath = path(*s, QStringLiteral("fnt")).value_or(QString());
        p.jsonPath = path(*s, QStringLiteral("json")).value_or(QString());
        if (const auto form = choice(*s, QStringLiteral("fntFormat"), "descriptor format", kFntFormats))
            p.fntFormat = static_cast<FntFormat>(*form);
        if (const auto pitch = choice(*s, QStringLiteral("pitch"), "pitch", kPitches)) p.pitch = static_cast<Pitch>(*pitch);
        if (const auto n = number(*s, QStringLiteral("distanceRange"))) {
            p.settings.distanceRange = distanceRangeSetting(s->keyPath(QStringLiteral("distanceRange")), *n);
        }
        if (const auto type = choice(*s, QStringLiteral("fieldType"), "field type", kFieldTypeNames)) {
            if (p.settings.distanceRange == 0) fail(QStringLiteral("output.fieldType needs output.distanceRange; add the range or drop the type"));
            p.settings.fieldType = static_cast<FieldType>(*type);
        }
        if (p.outputPath.isEmpty() && (!p.fntPath.isEmpty() || !p.jsonPath.isEmpty()))
            fail(QStringLiteral("output.fnt and output.json describe a sheet; add output.sheet"));
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
            fail(QStringLiteral("it is not JSON: at line %1, column %2: %3").arg(line).arg(column).arg(error.errorString()));
        }
        if (!doc.isObject()) fail(QStringLiteral("it is not a JSON object of settings; a project is {\"karuvo\": 1, ...}"));
        const Section top{doc.object(), QString()};
        // The version first: a newer project may hold keys this program does not know.
        version(top);
        onlyKeys(top, {"karuvo", "text", "textFile", "chars", "charsets", "columns", "font", "cell", "fill", "effect",
                       "output"});
        Project p;
        characters(top, p);
        font(top, p);
        cell(top, p);
        fill(top, p);
        effect(top, p);
        output(top, p);
        if (const auto conflict = settingConflict(p)) fail(projectConflictText(*conflict, p));
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
    const QString file = "The project " + quotedValue(path) + ": ";
    try {
        return Reader(path).read(contents);
    } catch (const Refusal& r) {
        throw Error(ErrorKind::Setting, (file + r.message).toStdString());
    } catch (const Error& e) {  // from the checks the options' values go through too
        if (e.kind() != ErrorKind::Setting) throw;
        throw Error(ErrorKind::Setting, file.toStdString() + e.what());
    }
}

Project readProject(const QString& path) {
    const auto cannot = [&](const char* why) {
        return Error(ErrorKind::Io, "Cannot read the project " + quotedValue(path).toStdString() + ": " + why);
    };
    // Looked at before it is opened, so that nothing waits on a pipe or a device.
    if (const char* kind = specialFileKind(path)) throw cannot((std::string("it is ") + kind + ", not a project file").c_str());
    const int fd = openRegularFile(path);
    if (fd < 0) throw cannot(errno == ENOENT ? "no such file" : errno == EINVAL ? "it is not a regular file" : std::strerror(errno));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cannot("it cannot be opened");
    }
    if (file.size() > kMaxProjectBytes) throw cannot("it is larger than 64 MiB");
    const QByteArray contents = file.read(kMaxProjectBytes + 1);
    if (file.error() != QFileDevice::NoError) throw cannot("it cannot be read");
    if (contents.size() > kMaxProjectBytes) throw cannot("it is larger than 64 MiB");
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
    top.push_back({"output", jsonObject(output, 1)});
    return (jsonObject(top, 0) + u'\n').toUtf8();
}

}  // namespace karuvo
