#include "dxf/dxfreader.h"

#include "dxfcodepages.h"
#include "dxfmultibyte.h"

#include <QFile>
#include <QSet>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace dxf {

namespace {

    const char binarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";
    constexpr qsizetype binarySentinelSize = 22;

    bool isBlank(char c)
    {
        return c == ' ' || c == '\t' || c == '\r';
    }

    std::string_view trimmed(std::string_view text)
    {
        while (!text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isBlank(text.back()))
            text.remove_suffix(1);
        return text;
    }

    // One group: its code and its value. In an ASCII file every value is text, converted when an
    // entity asks for a number; a binary file gives numbers as numbers.
    struct Group {
        enum class Kind : quint8 { Text, Real, Integer, Bytes };
        int code = 0;
        Kind kind = Kind::Text;
        // Line of the group code (ASCII) or byte offset of the group (binary).
        qint64 position = 0;
        std::string_view text;
        double real = 0;
        qint64 integer = 0;

        // Names compared with the structure's words (SECTION, ENDSEC, ...) ignore blanks around
        // them.
        bool is(int groupCode, std::string_view word) const
        {
            return code == groupCode && kind == Kind::Text && trimmed(text) == word;
        }
    };

    enum class ValueType { Text, Int16, Int32, Int64, Real, Bool, Bytes };

    // The value types of binary DXF by group code.
    ValueType binaryType(int code)
    {
        if ((code >= 10 && code < 60) || (code >= 110 && code < 150) || (code >= 210 && code < 240)
            || (code >= 460 && code < 470) || (code >= 1010 && code < 1060))
            return ValueType::Real;
        if ((code >= 60 && code < 80) || (code >= 170 && code < 180) || (code >= 270 && code < 290)
            || (code >= 370 && code < 390) || (code >= 400 && code < 410)
            || (code >= 1060 && code < 1071))
            return ValueType::Int16;
        if ((code >= 90 && code < 100) || (code >= 420 && code < 430) || (code >= 440 && code < 460)
            || code == 1071)
            return ValueType::Int32;
        if (code >= 160 && code < 170)
            return ValueType::Int64;
        if (code >= 290 && code < 300)
            return ValueType::Bool;
        if ((code >= 310 && code < 320) || code == 1004)
            return ValueType::Bytes;
        return ValueType::Text;
    }

    // Splits the file into groups in place: values point into the file's bytes.
    class Tokenizer {
    public:
        Tokenizer(const QByteArray &bytes, const QString &fileName)
            : begin(bytes.constData())
            , cursor(bytes.constData())
            , end(bytes.constData() + bytes.size())
            , fileName(fileName)
        {
            if (bytes.size() >= binarySentinelSize
                && std::memcmp(begin, binarySentinel, binarySentinelSize) == 0) {
                binary = true;
                cursor += binarySentinelSize;
                // From R13 on the first group code, 0 of SECTION, takes two bytes.
                shortCodes = !(cursor + 1 < end && cursor[0] == 0 && cursor[1] == 0);
            } else if (bytes.startsWith("\xEF\xBB\xBF")) {
                cursor += 3;
            }
        }

        bool binary = false;

        [[noreturn]] void fail(qint64 position, const QString &what) const
        {
            const QString message
                = QStringLiteral("%1: %2 %3: %4")
                      .arg(fileName, binary ? QStringLiteral("byte") : QStringLiteral("line"))
                      .arg(position)
                      .arg(what);
            throw ReadError(message.toStdString());
        }
        // Where the next group starts, for faults found between groups.
        qint64 position() const { return hasPending ? pending.position : here(); }
        qsizetype remaining() const { return end - cursor; }

        bool next(Group &group)
        {
            if (hasPending) {
                group = pending;
                hasPending = false;
                return true;
            }
            do {
                if (cursor >= end)
                    return false;
                if (binary)
                    readBinary(group);
                else
                    readAscii(group);
            } while (group.code == 999);
            return true;
        }
        void pushBack(const Group &group)
        {
            pending = group;
            hasPending = true;
        }

    private:
        qint64 here() const { return binary ? qint64(cursor - begin) : line; }

        std::string_view readLine()
        {
            const char *lineEnd
                = static_cast<const char *>(std::memchr(cursor, '\n', end - cursor));
            if (!lineEnd)
                lineEnd = end;
            std::string_view text(cursor, lineEnd - cursor);
            if (!text.empty() && text.back() == '\r')
                text.remove_suffix(1);
            cursor = lineEnd < end ? lineEnd + 1 : end;
            ++line;
            return text;
        }

        void readAscii(Group &group)
        {
            group.position = line;
            const std::string_view codeText = trimmed(readLine());
            int code = 0;
            const auto [ptr, error]
                = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
            if (error != std::errc() || ptr != codeText.data() + codeText.size()
                || codeText.empty())
                fail(group.position,
                    QStringLiteral("\"%1\" is not a group code").arg(quoted(codeText)));
            if (cursor >= end)
                fail(group.position, QStringLiteral("group code %1 has no value").arg(code));
            group.code = code;
            group.kind = Group::Kind::Text;
            group.text = readLine();
        }

        void need(qsizetype count, qint64 position) const
        {
            if (end - cursor < count)
                fail(position, QStringLiteral("the file ends inside a group"));
        }

        template <typename T> T take(qint64 position)
        {
            need(sizeof(T), position);
            T value;
            std::memcpy(&value, cursor, sizeof(T));
            cursor += sizeof(T);
            return value;
        }

        void readBinary(Group &group)
        {
            group.position = here();
            int code = 0;
            if (shortCodes) {
                code = take<quint8>(group.position);
                if (code == 255)
                    code = take<quint16>(group.position);
            } else {
                code = take<quint16>(group.position);
            }
            group.code = code;
            switch (binaryType(code)) {
            case ValueType::Text: {
                const char *nul = static_cast<const char *>(std::memchr(cursor, 0, end - cursor));
                if (!nul)
                    fail(group.position, QStringLiteral("the file ends inside a group"));
                group.kind = Group::Kind::Text;
                group.text = std::string_view(cursor, nul - cursor);
                cursor = nul + 1;
                break;
            }
            case ValueType::Bytes: {
                const int size = take<quint8>(group.position);
                need(size, group.position);
                group.kind = Group::Kind::Bytes;
                group.text = std::string_view(cursor, size);
                cursor += size;
                break;
            }
            case ValueType::Real:
                group.kind = Group::Kind::Real;
                group.real = take<double>(group.position);
                break;
            case ValueType::Int16:
                group.kind = Group::Kind::Integer;
                group.integer = take<qint16>(group.position);
                break;
            case ValueType::Int32:
                group.kind = Group::Kind::Integer;
                group.integer = take<qint32>(group.position);
                break;
            case ValueType::Int64:
                group.kind = Group::Kind::Integer;
                group.integer = take<qint64>(group.position);
                break;
            case ValueType::Bool:
                group.kind = Group::Kind::Integer;
                group.integer = take<quint8>(group.position);
                break;
            }
        }

    public:
        // A value shown in a message: printable ASCII, at most 40 characters.
        static QString quoted(std::string_view text)
        {
            QString shown;
            for (char c : text.substr(0, 40))
                shown.append(c >= 0x20 && c < 0x7f ? QChar::fromLatin1(c) : QChar(u'?'));
            if (text.size() > 40)
                shown.append(QStringLiteral("..."));
            return shown;
        }

    private:
        const char *begin;
        const char *cursor;
        const char *end;
        QString fileName;
        qint64 line = 1;
        bool shortCodes = false;
        Group pending;
        bool hasPending = false;
    };

    int hexDigit(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            return u - '0';
        if (u >= 'A' && u <= 'F')
            return u - 'A' + 10;
        if (u >= 'a' && u <= 'f')
            return u - 'a' + 10;
        return -1;
    }

    int hexValue(const QString &text, qsizetype at, int digits)
    {
        if (at + digits > text.size())
            return -1;
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            const int digit = hexDigit(text.at(at + i));
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        return value;
    }

    // \U+XXXX is one UTF-16 unit; \M+nXXXX two bytes of the double-byte code page n. An escape
    // that names nothing decodable stays as written.
    QString resolveEscapes(const QString &text)
    {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == u'\\' && i + 2 < text.size() && text.at(i + 2) == u'+') {
                const QChar kind = text.at(i + 1).toUpper();
                if (kind == u'U') {
                    const int unit = hexValue(text, i + 3, 4);
                    if (unit >= 0) {
                        out.append(QChar(char16_t(unit)));
                        i += 6;
                        continue;
                    }
                } else if (kind == u'M' && i + 3 < text.size()) {
                    static const int pages[] = { 0, 932, 950, 949, 0, 936 };
                    const int n = text.at(i + 3).unicode() - '0';
                    const int code = hexValue(text, i + 4, 4);
                    const int page = n >= 1 && n <= 5 ? pages[n] : 0;
                    if (canDecodeMultiByte(page) && code >= 0) {
                        const char bytes[2] = { char(code >> 8), char(code & 0xff) };
                        bool good = false;
                        const QString decoded
                            = decodeMultiByte(page, QByteArrayView(bytes, 2), &good);
                        if (!decoded.isEmpty() && good) {
                            out.append(decoded);
                            i += 7;
                            continue;
                        }
                    }
                }
            }
            out.append(c);
        }
        return out;
    }

    // The DIMSTYLE group code of a header's dimension variable, 0 for none; $DIMTXSTY names its
    // text style where a style has its handle (340).
    int headerDimensionCode(const QString &variable)
    {
        static const QHash<QString, int> codes {
            { QStringLiteral("$DIMPOST"), 3 },
            { QStringLiteral("$DIMBLK"), 5 },
            { QStringLiteral("$DIMBLK1"), 6 },
            { QStringLiteral("$DIMBLK2"), 7 },
            { QStringLiteral("$DIMSCALE"), 40 },
            { QStringLiteral("$DIMASZ"), 41 },
            { QStringLiteral("$DIMEXO"), 42 },
            { QStringLiteral("$DIMEXE"), 44 },
            { QStringLiteral("$DIMTIH"), 73 },
            { QStringLiteral("$DIMTOH"), 74 },
            { QStringLiteral("$DIMTAD"), 77 },
            { QStringLiteral("$DIMZIN"), 78 },
            { QStringLiteral("$DIMTXT"), 140 },
            { QStringLiteral("$DIMTSZ"), 142 },
            { QStringLiteral("$DIMLFAC"), 144 },
            { QStringLiteral("$DIMGAP"), 147 },
            { QStringLiteral("$DIMSAH"), 173 },
            { QStringLiteral("$DIMCLRD"), 176 },
            { QStringLiteral("$DIMCLRE"), 177 },
            { QStringLiteral("$DIMCLRT"), 178 },
            { QStringLiteral("$DIMADEC"), 179 },
            { QStringLiteral("$DIMDEC"), 271 },
            { QStringLiteral("$DIMDSEP"), 278 },
            { QStringLiteral("$DIMTXSTY"), 340 },
        };
        return codes.value(variable);
    }

    class Reader {
    public:
        Reader(const QByteArray &bytes, const QString &fileName)
            : groups(bytes, fileName)
        {
            drawing.binary = groups.binary;
            drawing.codePage = QStringLiteral("ANSI_1252");
            singleByte = singleByteCodePage(1252);
        }

        Drawing read();

    private:
        // Values.
        double real(const Group &group) const;
        qint64 integer(const Group &group) const;
        int int32(const Group &group) const;
        quint64 handle(const Group &group) const;
        QString text(const Group &group) const;
        QString name(const Group &group);
        void setCoordinate(Vec3 &point, const Group &group, int xCode) const;
        QPointF point2(const Group &x, const Group *y) const;

        // Structure.
        [[noreturn]] void failValue(const Group &group, const QString &what) const;
        Group expectGroup();
        void collect(std::vector<Group> &into);
        void setCodePage(const QString &page);
        void readHeader();
        void readTables();
        void readTableEntry(std::string_view table, const std::vector<Group> &entry);
        void readBlocks();
        void readObjects();
        void skipSection();
        // Entities up to ENDSEC or ENDBLK; the ending group is consumed.
        template <typename Sink> void readEntities(std::string_view ending, Sink &&sink);
        void readEntity(const std::vector<Group> &gs, Entity &entity);
        void readCommon(const std::vector<Group> &gs, EntityCommon &common);
        QByteArray readProxyGraphics(const std::vector<Group> &gs);
        void finish();

        // Entity types.
        Polyline readPolyline(
            const std::vector<Group> &gs, const std::vector<std::vector<Group>> &vertices);
        Polyline readLwPolyline(const std::vector<Group> &gs);
        Spline readSpline(const std::vector<Group> &gs);
        Text readText(const std::vector<Group> &gs, std::string_view type);
        MText readMText(const std::vector<Group> &gs);
        Insert readInsert(const std::vector<Group> &gs);
        Hatch readHatch(const std::vector<Group> &gs);
        Image readImage(const std::vector<Group> &gs, bool wipeout);
        Viewport readViewport(const std::vector<Group> &gs);
        Leader readLeader(const std::vector<Group> &gs);
        BlockDrawn readBlockDrawn(const std::vector<Group> &gs);
        Dimension readDimension(const std::vector<Group> &gs);
        MultiLeader readMultiLeader(const std::vector<Group> &gs);
        MLine readMLine(const std::vector<Group> &gs);
        Tolerance readTolerance(const std::vector<Group> &gs);
        Mesh readMesh(const std::vector<Group> &gs);
        void readMLineStyle(const std::vector<Group> &object);

        // Dimension variables by their DIMSTYLE group code, as the header, a style or an
        // entity's overrides give them.
        struct DimValues {
            QHash<int, double> numbers;
            QHash<int, QString> texts;
            QHash<int, quint64> handles;
            bool has(int code) const
            {
                return numbers.contains(code) || texts.contains(code) || handles.contains(code);
            }
        };
        void readDimensionValue(DimValues &values, int code, const Group &value);
        DimValues dimensionOverrides(const std::vector<Group> &gs);
        DimensionStyle dimensionStyle(const QString &name, const std::vector<Group> &gs);

        // One "PageSettings/Key:Value" string of QCAD's extended data.
        static void readOwnPage(const QString &setting, std::optional<OwnPage> &page);

        Tokenizer groups;
        Drawing drawing;
        QHash<quint64, OwnPage> ownPages;
        // LibreCAD's print setup of model space: the paper is the header's paper limits, the
        // drawing's origin lands at the insertion base, at the print scale.
        bool libreCad = false;
        QPointF paperInsertionBase;
        double printScale = 0;
        const char16_t *singleByte = nullptr;
        bool utf8 = false;
        // The double-byte code page texts are in, or 0.
        int multiBytePage = 0;
        QHash<QByteArray, QString> names;
        std::vector<Group> buffer;
        std::vector<std::vector<Group>> followers;
        DimValues headerDimensions;
        QString currentDimensionStyle;
        QHash<QString, DimValues> dimensionStyles;
        QHash<quint64, QString> textStyleNames;
        bool tileMode = true;
        // Entities whose proxy graphics are damaged, and the first of them, for one warning.
        int brokenGraphics = 0;
        qint64 firstBrokenGraphics = 0;
    };

    void Reader::failValue(const Group &group, const QString &what) const
    {
        // An ASCII value stands on the line after its code.
        groups.fail(group.position + (groups.binary ? 0 : 1), what);
    }

    double Reader::real(const Group &group) const
    {
        if (group.kind == Group::Kind::Real)
            return group.real;
        if (group.kind == Group::Kind::Integer)
            return double(group.integer);
        std::string_view text = trimmed(group.text);
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        double value = 0;
        const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc::result_out_of_range)
            return text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
        if (error != std::errc() || ptr != text.data() + text.size() || text.empty())
            failValue(group,
                QStringLiteral("\"%1\" is not a number (group code %2)")
                    .arg(Tokenizer::quoted(group.text))
                    .arg(group.code));
        return value;
    }

    qint64 Reader::integer(const Group &group) const
    {
        if (group.kind == Group::Kind::Integer)
            return group.integer;
        std::string_view text = trimmed(group.text);
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        qint64 value = 0;
        const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc() && ptr == text.data() + text.size() && !text.empty())
            return value;
        // Some writers put a fraction where an integer belongs; its whole part is meant.
        const double fraction = real(group);
        if (!std::isfinite(fraction) || std::abs(fraction) > 9e18)
            failValue(group,
                QStringLiteral("\"%1\" is not an integer (group code %2)")
                    .arg(Tokenizer::quoted(group.text))
                    .arg(group.code));
        return qint64(fraction);
    }

    int Reader::int32(const Group &group) const
    {
        return int(std::clamp<qint64>(integer(group), INT_MIN, INT_MAX));
    }

    // Some writers leave handles empty or write what is no handle at all; CAD programs take that
    // for no handle (0), and so do we: what has none is only not found by its handle.
    quint64 Reader::handle(const Group &group) const
    {
        const std::string_view text = trimmed(group.text);
        quint64 value = 0;
        const auto [ptr, error]
            = std::from_chars(text.data(), text.data() + text.size(), value, 16);
        if (group.kind != Group::Kind::Text || error != std::errc()
            || ptr != text.data() + text.size())
            return 0;
        return value;
    }

    QString Reader::text(const Group &group) const
    {
        if (group.kind == Group::Kind::Real)
            return QString::number(group.real);
        if (group.kind == Group::Kind::Integer)
            return QString::number(group.integer);
        const std::string_view bytes = group.text;
        bool plain = true;
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') {
                plain = false;
                break;
            }
        }
        if (plain)
            return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
        QString decoded;
        if (utf8) {
            decoded = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        } else if (singleByte) {
            decoded.resize(qsizetype(bytes.size()));
            QChar *out = decoded.data();
            for (char c : bytes) {
                const auto byte = static_cast<unsigned char>(c);
                *out++ = byte < 0x80 ? QChar(byte) : QChar(singleByte[byte - 0x80]);
            }
        } else {
            decoded = decodeMultiByte(
                multiBytePage, QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        }
        return decoded.contains(u'\\') ? resolveEscapes(decoded) : decoded;
    }

    // Layer, linetype, style, block and type names repeat on every entity: one shared string each.
    QString Reader::name(const Group &group)
    {
        if (group.kind != Group::Kind::Text)
            return text(group);
        const QByteArray key
            = QByteArray::fromRawData(group.text.data(), qsizetype(group.text.size()));
        const auto found = names.constFind(key);
        if (found != names.cend())
            return *found;
        const QString value = text(group);
        names.insert(QByteArray(key.constData(), key.size()), value);
        return value;
    }

    void Reader::setCoordinate(Vec3 &point, const Group &group, int xCode) const
    {
        const int axis = (group.code - xCode) / 10;
        (axis == 0 ? point.x : axis == 1 ? point.y : point.z) = real(group);
    }

    void Reader::setCodePage(const QString &page)
    {
        drawing.codePage = page;
        names.clear();
        if (utf8)
            return;
        // "ANSI_936" as most writers have it, "DOS932" as some older ones do.
        qsizetype digits = page.size();
        while (digits > 0 && page.at(digits - 1).isDigit())
            --digits;
        bool ok = false;
        const int number = page.mid(digits).toInt(&ok);
        if (const char16_t *table = ok ? singleByteCodePage(number) : nullptr) {
            singleByte = table;
            return;
        }
        if (ok && canDecodeMultiByte(number)) {
            singleByte = nullptr;
            multiBytePage = number;
            return;
        }
        singleByte = singleByteCodePage(1252);
        drawing.warnings.append(
            QStringLiteral("The code page %1 is not known; texts are read as ANSI_1252").arg(page));
    }

    Group Reader::expectGroup()
    {
        Group group;
        if (!groups.next(group))
            groups.fail(groups.position(), QStringLiteral("the file ends without EOF"));
        return group;
    }

    // The groups of one entity or object: its "0" group and everything up to the next.
    void Reader::collect(std::vector<Group> &into)
    {
        into.clear();
        into.push_back(expectGroup());
        Group group;
        while (groups.next(group)) {
            if (group.code == 0) {
                groups.pushBack(group);
                break;
            }
            into.push_back(group);
        }
    }

    Drawing Reader::read()
    {
        Group group;
        bool sawEof = false;
        while (!sawEof && groups.next(group)) {
            if (group.is(0, "EOF")) {
                sawEof = true;
                break;
            }
            if (!group.is(0, "SECTION"))
                groups.fail(group.position,
                    QStringLiteral("SECTION expected, found group code %1 \"%2\"")
                        .arg(group.code)
                        .arg(Tokenizer::quoted(group.text)));
            const Group nameGroup = expectGroup();
            const std::string_view section
                = nameGroup.code == 2 ? trimmed(nameGroup.text) : std::string_view();
            if (section == "HEADER")
                readHeader();
            else if (section == "TABLES")
                readTables();
            else if (section == "BLOCKS")
                readBlocks();
            else if (section == "ENTITIES")
                readEntities("ENDSEC", [this](Entity &&entity) {
                    (entity.common.paperSpace ? drawing.activePaperSpace : drawing.modelSpace)
                        .push_back(std::move(entity));
                });
            else if (section == "OBJECTS")
                readObjects();
            else
                skipSection();
        }
        if (!sawEof)
            groups.fail(groups.position(), QStringLiteral("the file ends without EOF"));
        finish();
        return std::move(drawing);
    }

    void Reader::skipSection()
    {
        Group group;
        while (groups.next(group)) {
            if (group.is(0, "ENDSEC"))
                return;
            if (group.is(0, "SECTION") || group.is(0, "EOF"))
                break;
        }
        groups.fail(groups.position(), QStringLiteral("a section ends without ENDSEC"));
    }

    void Reader::readHeader()
    {
        QString variable;
        QString propertyTag;
        Vec3 point;
        auto assignPoint = [&](const QString &name, const Vec3 &value) {
            if (name == u"$EXTMIN")
                drawing.extentsMin = value;
            else if (name == u"$EXTMAX")
                drawing.extentsMax = value;
            else if (name == u"$LIMMIN")
                drawing.limitsMin = value.xy();
            else if (name == u"$LIMMAX")
                drawing.limitsMax = value.xy();
            else if (name == u"$PEXTMIN")
                drawing.paperExtentsMin = value;
            else if (name == u"$PEXTMAX")
                drawing.paperExtentsMax = value;
            else if (name == u"$PLIMMIN")
                drawing.paperLimitsMin = value.xy();
            else if (name == u"$PLIMMAX")
                drawing.paperLimitsMax = value.xy();
            else if (name == u"$PINSBASE")
                paperInsertionBase = value.xy();
        };
        Group group;
        while (true) {
            group = expectGroup();
            if (group.code == 0) {
                if (group.is(0, "ENDSEC"))
                    break;
                groups.fail(
                    group.position, QStringLiteral("the HEADER section ends without ENDSEC"));
            }
            if (group.code == 9) {
                variable = QString::fromLatin1(
                    trimmed(group.text).data(), qsizetype(trimmed(group.text).size()));
                point = Vec3();
                continue;
            }
            if (group.code >= 10 && group.code <= 39) {
                setCoordinate(point, group, group.code % 10 + 10);
                assignPoint(variable, point);
                continue;
            }
            if (variable == u"$ACADVER") {
                drawing.version = text(group).trimmed();
                utf8 = drawing.version >= u"AC1021";
            } else if (variable == u"$DWGCODEPAGE") {
                setCodePage(text(group).trimmed().toUpper());
            } else if (variable == u"$INSUNITS") {
                drawing.insertionUnits = int32(group);
            } else if (variable == u"$MEASUREMENT") {
                drawing.measurement = int32(group);
            } else if (variable == u"$PSLTSCALE") {
                drawing.paperLinetypeScaling = integer(group) != 0;
            } else if (variable == u"$LTSCALE") {
                drawing.linetypeScale = real(group);
            } else if (variable == u"$PSVPSCALE") {
                printScale = real(group);
            } else if (variable == u"$PDMODE") {
                drawing.pointMode = int32(group);
            } else if (variable == u"$PDSIZE") {
                drawing.pointSize = real(group);
            } else if (variable == u"$TILEMODE") {
                tileMode = integer(group) != 0;
            } else if (variable == u"$DIMSTYLE") {
                currentDimensionStyle = text(group).trimmed();
            } else if (const int code = headerDimensionCode(variable)) {
                if (code == 340)
                    headerDimensions.texts.insert(code, text(group).trimmed());
                else
                    readDimensionValue(headerDimensions, code, group);
            } else if (variable == u"$CUSTOMPROPERTYTAG") {
                propertyTag = text(group);
            } else if (variable == u"$CUSTOMPROPERTY") {
                drawing.customProperties.append({ propertyTag, text(group) });
                propertyTag.clear();
            }
        }
        drawing.modelSpaceActive = tileMode;
    }

    void Reader::readTables()
    {
        std::vector<Group> &entry = buffer;
        while (true) {
            collect(entry);
            const Group &head = entry.front();
            if (head.is(0, "ENDSEC"))
                return;
            if (!head.is(0, "TABLE"))
                groups.fail(
                    head.position, QStringLiteral("the TABLES section ends without ENDSEC"));
            std::string table;
            for (const Group &group : entry) {
                if (group.code == 2) {
                    table = std::string(trimmed(group.text));
                    break;
                }
            }
            while (true) {
                collect(entry);
                const Group &first = entry.front();
                if (first.is(0, "ENDTAB"))
                    break;
                if (first.is(0, "ENDSEC") || first.is(0, "SECTION") || first.is(0, "EOF"))
                    groups.fail(first.position,
                        QStringLiteral("the table %1 ends without ENDTAB")
                            .arg(QString::fromStdString(table)));
                readTableEntry(table, entry);
            }
        }
    }

    void Reader::readTableEntry(std::string_view table, const std::vector<Group> &entry)
    {
        if (table == "LAYER") {
            Layer layer;
            for (const Group &g : entry) {
                switch (g.code) {
                case 2:
                    layer.name = name(g);
                    break;
                case 62: {
                    const int colour = int32(g);
                    layer.off = colour < 0;
                    layer.colour = std::abs(colour);
                    break;
                }
                case 420:
                    layer.trueColour = int32(g) & 0xffffff;
                    break;
                case 6:
                    layer.linetype = name(g);
                    break;
                case 70:
                    layer.frozen = integer(g) & 1;
                    break;
                case 290:
                    layer.plotted = integer(g) != 0;
                    break;
                case 370:
                    layer.lineweight = int32(g);
                    break;
                case 5:
                    layer.handle = handle(g);
                    break;
                }
            }
            if (layer.handle)
                drawing.layerNamesByHandle.insert(layer.handle, layer.name);
            drawing.layerOrder.append(layer.name);
            drawing.layers.insert(layer.name.toUpper(), layer);
        } else if (table == "LTYPE") {
            Linetype linetype;
            for (const Group &g : entry) {
                if (g.code == 2)
                    linetype.name = name(g);
                else if (g.code == 49)
                    linetype.pattern.push_back(real(g));
                else if (g.code == 40)
                    linetype.totalLength = real(g);
            }
            drawing.linetypeOrder.append(linetype.name);
            drawing.linetypes.insert(linetype.name.toUpper(), linetype);
        } else if (table == "STYLE") {
            TextStyle style;
            bool acadData = false;
            quint64 styleHandle = 0;
            for (const Group &g : entry) {
                switch (g.code) {
                case 5:
                    styleHandle = handle(g);
                    break;
                case 2:
                    style.name = name(g);
                    break;
                case 3:
                    style.font = text(g);
                    break;
                case 40:
                    style.fixedHeight = real(g);
                    break;
                case 41:
                    style.widthFactor = real(g);
                    break;
                case 50:
                    style.oblique = real(g);
                    break;
                case 70:
                    style.flags = int32(g);
                    break;
                case 1001:
                    acadData = trimmed(g.text) == "ACAD";
                    break;
                case 1000:
                    if (acadData && style.family.isEmpty())
                        style.family = text(g);
                    break;
                }
            }
            if (styleHandle)
                textStyleNames.insert(styleHandle, style.name);
            drawing.styles.insert(style.name.toUpper(), style);
        } else if (table == "DIMSTYLE") {
            QString styleName;
            DimValues values;
            for (const Group &g : entry) {
                if (g.code == 1001)
                    break;
                if (g.code == 2)
                    styleName = name(g);
                else
                    readDimensionValue(values, g.code, g);
            }
            dimensionStyles.insert(styleName.toUpper(), values);
        } else if (table == "APPID") {
            for (const Group &g : entry)
                if (g.code == 2 && name(g).compare(u"LibreCad", Qt::CaseInsensitive) == 0)
                    libreCad = true;
        } else if (table == "BLOCK_RECORD") {
            QString recordName;
            quint64 recordHandle = 0;
            std::optional<OwnPage> page;
            QString application;
            for (const Group &g : entry) {
                if (g.code == 1001)
                    application = text(g);
                else if (!application.isEmpty()) {
                    if (g.code == 1000 && application == u"QCAD")
                        readOwnPage(text(g), page);
                } else if (g.code == 2)
                    recordName = name(g);
                else if (g.code == 5)
                    recordHandle = handle(g);
            }
            if (recordHandle)
                drawing.blockNamesByRecord.insert(recordHandle, recordName);
            // A layout's page may leave its paper to the layout's plot settings; model space has
            // none to take it from, so its page without paper is not one to plot by.
            if (page && recordName.compare(u"*Model_Space", Qt::CaseInsensitive) == 0) {
                if (page->paperWidth > 0 && page->paperHeight > 0)
                    drawing.modelPage = page;
            } else if (page && recordHandle) {
                ownPages.insert(recordHandle, *page);
            }
        }
    }

    void Reader::readOwnPage(const QString &setting, std::optional<OwnPage> &page)
    {
        static const QLatin1String prefix("PageSettings/");
        const qsizetype colon = setting.indexOf(QLatin1Char(':'));
        if (!setting.startsWith(prefix) || colon < 0)
            return;
        const QString key = setting.mid(prefix.size(), colon - prefix.size());
        const QString value = setting.mid(colon + 1).trimmed();
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!page)
            page = OwnPage();
        if (key == u"PaperWidth" && ok)
            page->paperWidth = number;
        else if (key == u"PaperHeight" && ok)
            page->paperHeight = number;
        else if (key == u"OffsetX" && ok)
            page->offset.setX(number);
        else if (key == u"OffsetY" && ok)
            page->offset.setY(number);
        else if (key == u"PageOrientation")
            page->landscape = value.compare(u"Landscape", Qt::CaseInsensitive) == 0;
        else if (key == u"Scale") {
            // A factor ("1.37") or a ratio of paper to drawing ("1:2").
            const QStringList ratio = value.split(QLatin1Char(':'));
            bool paperOk = false, drawingOk = false;
            const double paper = ratio.value(0).toDouble(&paperOk);
            const double per = ratio.size() == 2 ? ratio[1].toDouble(&drawingOk) : 1;
            if (paperOk && (ratio.size() == 1 || drawingOk) && paper > 0 && per > 0)
                page->scale = paper / per;
        }
    }

    void Reader::readBlocks()
    {
        std::vector<Group> &head = buffer;
        while (true) {
            collect(head);
            const Group &first = head.front();
            if (first.is(0, "ENDSEC"))
                return;
            if (!first.is(0, "BLOCK"))
                groups.fail(
                    first.position, QStringLiteral("the BLOCKS section ends without ENDSEC"));
            Block block;
            for (const Group &g : head) {
                if (g.code == 1001)
                    break;
                switch (g.code) {
                case 2:
                    block.name = name(g);
                    break;
                case 3:
                    if (block.name.isEmpty())
                        block.name = name(g);
                    break;
                case 10:
                case 20:
                case 30:
                    setCoordinate(block.basePoint, g, 10);
                    break;
                case 70:
                    block.flags = int32(g);
                    break;
                case 330:
                    if (!block.recordHandle)
                        block.recordHandle = handle(g);
                    break;
                }
            }
            readEntities("ENDBLK",
                [&block](Entity &&entity) { block.entities.push_back(std::move(entity)); });
            const QString key = block.name.toUpper();
            if (drawing.blocks.contains(key))
                drawing.warnings.append(
                    QStringLiteral("Line %1: the block %2 is defined twice; the last one is used")
                        .arg(first.position)
                        .arg(block.name));
            drawing.blocks.insert(key, std::move(block));
        }
    }

    template <typename Sink> void Reader::readEntities(std::string_view ending, Sink &&sink)
    {
        std::vector<Group> gs;
        while (true) {
            collect(gs);
            const Group &first = gs.front();
            if (first.is(0, ending))
                return;
            if (first.code != 0 || first.is(0, "ENDSEC") || first.is(0, "SECTION")
                || first.is(0, "EOF") || first.is(0, "BLOCK") || first.is(0, "ENDBLK"))
                groups.fail(first.position,
                    QStringLiteral("%1 expected, found \"%2\"")
                        .arg(QString::fromLatin1(ending.data(), qsizetype(ending.size())),
                            Tokenizer::quoted(first.text)));
            const std::string_view type = trimmed(first.text);
            if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB") {
                drawing.warnings.append(
                    QStringLiteral("Line %1: a %2 outside a POLYLINE or INSERT is left out")
                        .arg(first.position)
                        .arg(Tokenizer::quoted(type)));
                continue;
            }
            Entity entity;
            readEntity(gs, entity);
            // Vertices and attributes follow their entity up to a SEQEND.
            const bool polyline = type == "POLYLINE";
            bool followed = polyline;
            if (std::holds_alternative<Insert>(entity.shape)) {
                for (const Group &g : gs) {
                    if (g.code == 66)
                        followed = integer(g) != 0;
                }
            }
            if (followed) {
                std::vector<std::vector<Group>> &items = followers;
                items.clear();
                std::vector<Group> next;
                while (true) {
                    Group peek = expectGroup();
                    groups.pushBack(peek);
                    const std::string_view nextType = trimmed(peek.text);
                    if (peek.code == 0 && nextType == "SEQEND") {
                        collect(next);
                        break;
                    }
                    if (peek.code != 0 || nextType != (polyline ? "VERTEX" : "ATTRIB")) {
                        drawing.warnings.append(QStringLiteral("Line %1: a %2 has no SEQEND")
                                                    .arg(first.position)
                                                    .arg(Tokenizer::quoted(type)));
                        break;
                    }
                    collect(next);
                    if (polyline) {
                        items.push_back(next);
                    } else {
                        auto &insert = std::get<Insert>(entity.shape);
                        insert.attributes.push_back(readText(next, "ATTRIB"));
                        EntityCommon common;
                        readCommon(next, common);
                        insert.attributeCommons.push_back(std::move(common));
                    }
                }
                if (polyline)
                    entity.shape = readPolyline(gs, items);
            }
            sink(std::move(entity));
        }
    }

    void Reader::readCommon(const std::vector<Group> &gs, EntityCommon &common)
    {
        common.line = gs.front().position;
        int depth = 0;
        int subclasses = 0;
        bool ownerSeen = false;
        for (const Group &g : gs) {
            switch (g.code) {
            case 102:
                depth += trimmed(g.text).starts_with('{') ? 1 : -1;
                break;
            case 100:
                // The owner stands in the entity's first data; later 330s point elsewhere.
                ++subclasses;
                break;
            case 8:
                common.layer = name(g);
                break;
            case 6:
                common.linetype = name(g);
                break;
            case 62:
                common.colour = int32(g);
                break;
            case 420:
                common.trueColour = int32(g) & 0xffffff;
                break;
            case 370:
                common.lineweight = int32(g);
                break;
            case 48:
                common.linetypeScale = real(g);
                break;
            case 60:
                common.invisible = integer(g) != 0;
                break;
            case 67:
                common.paperSpace = integer(g) != 0;
                break;
            case 5:
                common.handle = handle(g);
                break;
            case 330:
                if (depth <= 0 && !ownerSeen && subclasses < 2) {
                    common.owner = handle(g);
                    ownerSeen = true;
                }
                break;
            case 210:
            case 220:
            case 230:
                setCoordinate(common.extrusion, g, 210);
                break;
            case 1001:
                return;
            }
        }
    }

    void Reader::readEntity(const std::vector<Group> &gs, Entity &entity)
    {
        entity.type = name(gs.front());
        readCommon(gs, entity.common);
        entity.proxyGraphics = readProxyGraphics(gs);
        const std::string_view type = trimmed(gs.front().text);
        auto points = [&](auto &&assign) {
            for (const Group &g : gs) {
                if (g.code == 1001)
                    break;
                assign(g);
            }
        };
        if (type == "LINE") {
            Line line;
            points([&](const Group &g) {
                if (g.code % 10 == 0 && g.code >= 10 && g.code <= 30)
                    setCoordinate(line.start, g, 10);
                else if (g.code % 10 == 1 && g.code >= 11 && g.code <= 31)
                    setCoordinate(line.end, g, 11);
                else if (g.code == 39)
                    line.thickness = real(g);
            });
            entity.shape = line;
        } else if (type == "CIRCLE" || type == "ARC") {
            Arc arc;
            points([&](const Group &g) {
                if (g.code == 10 || g.code == 20 || g.code == 30)
                    setCoordinate(arc.centre, g, 10);
                else if (g.code == 40)
                    arc.radius = real(g);
                else if (g.code == 50)
                    arc.startAngle = real(g);
                else if (g.code == 51)
                    arc.endAngle = real(g);
            });
            if (type == "CIRCLE")
                entity.shape = Circle { arc.centre, arc.radius };
            else
                entity.shape = arc;
        } else if (type == "ELLIPSE") {
            Ellipse ellipse;
            points([&](const Group &g) {
                if (g.code == 10 || g.code == 20 || g.code == 30)
                    setCoordinate(ellipse.centre, g, 10);
                else if (g.code == 11 || g.code == 21 || g.code == 31)
                    setCoordinate(ellipse.majorAxis, g, 11);
                else if (g.code == 40)
                    ellipse.ratio = real(g);
                else if (g.code == 41)
                    ellipse.startParameter = real(g);
                else if (g.code == 42)
                    ellipse.endParameter = real(g);
            });
            entity.shape = ellipse;
        } else if (type == "LWPOLYLINE") {
            entity.shape = readLwPolyline(gs);
        } else if (type == "POLYLINE") {
            entity.shape = readPolyline(gs, {});
        } else if (type == "SPLINE") {
            entity.shape = readSpline(gs);
        } else if (type == "POINT") {
            Point point;
            points([&](const Group &g) {
                if (g.code == 10 || g.code == 20 || g.code == 30)
                    setCoordinate(point.position, g, 10);
                else if (g.code == 50)
                    point.angle = real(g);
            });
            entity.shape = point;
        } else if (type == "SOLID" || type == "TRACE" || type == "3DFACE") {
            Face face;
            face.kind = type == "SOLID" ? Face::Kind::Solid
                : type == "TRACE"       ? Face::Kind::Trace
                                        : Face::Kind::Face3D;
            bool fourth = false;
            points([&](const Group &g) {
                const int corner = g.code % 10;
                if (g.code >= 10 && g.code <= 33 && corner <= 3) {
                    setCoordinate(face.corners[corner], g, 10 + corner);
                    fourth = fourth || corner == 3;
                } else if (g.code == 70) {
                    face.invisibleEdges = int32(g);
                }
            });
            // Three corners make a triangle: the fourth repeats the third.
            if (!fourth)
                face.corners[3] = face.corners[2];
            entity.shape = face;
        } else if (type == "TEXT" || type == "ATTDEF") {
            entity.shape = readText(gs, type);
        } else if (type == "MTEXT") {
            entity.shape = readMText(gs);
        } else if (type == "INSERT") {
            entity.shape = readInsert(gs);
        } else if (type == "DIMENSION") {
            entity.shape = Boxed<Dimension>(readDimension(gs));
        } else if (type == "ACAD_TABLE") {
            entity.shape = readBlockDrawn(gs);
        } else if (type == "LEADER") {
            entity.shape = readLeader(gs);
        } else if (type == "MULTILEADER" || type == "MLEADER") {
            entity.shape = Boxed<MultiLeader>(readMultiLeader(gs));
        } else if (type == "HATCH") {
            entity.shape = readHatch(gs);
        } else if (type == "IMAGE" || type == "WIPEOUT") {
            entity.shape = readImage(gs, type == "WIPEOUT");
        } else if (type == "XLINE" || type == "RAY") {
            InfiniteLine line;
            line.ray = type == "RAY";
            points([&](const Group &g) {
                if (g.code == 10 || g.code == 20 || g.code == 30)
                    setCoordinate(line.start, g, 10);
                else if (g.code == 11 || g.code == 21 || g.code == 31)
                    setCoordinate(line.direction, g, 11);
            });
            entity.shape = line;
        } else if (type == "VIEWPORT") {
            entity.shape = readViewport(gs);
        } else if (type == "MLINE") {
            entity.shape = readMLine(gs);
        } else if (type == "TOLERANCE") {
            entity.shape = Boxed<Tolerance>(readTolerance(gs));
        } else if (type == "MESH") {
            entity.shape = readMesh(gs);
        } else {
            entity.shape = Unsupported { entity.type };
        }
    }

    // The first run of 310 groups after its byte count (92, or 160 from R2007 on) in the common
    // entity data or, for ACAD_PROXY_ENTITY, in its own data before its object data (93, 161, 162).
    // Another subclass's 92 and 310 groups mean something else.
    QByteArray Reader::readProxyGraphics(const std::vector<Group> &gs)
    {
        enum class Part { Common, Proxy, Other };
        Part part = Part::Common;
        for (size_t i = 1; i < gs.size(); ++i) {
            const Group &g = gs[i];
            if (g.code == 1001)
                break;
            if (g.code == 100) {
                const std::string_view marker = trimmed(g.text);
                part = marker == "AcDbEntity"     ? Part::Common
                    : marker == "AcDbProxyEntity" ? Part::Proxy
                                                  : Part::Other;
                continue;
            }
            if (part == Part::Proxy && (g.code == 93 || g.code == 161 || g.code == 162))
                break;
            if (part == Part::Other || (g.code != 92 && g.code != 160) || i + 1 == gs.size()
                || gs[i + 1].code != 310)
                continue;
            size_t end = i + 1;
            qsizetype size = 0;
            while (end < gs.size() && gs[end].code == 310) {
                const Group &chunk = gs[end++];
                size += chunk.kind == Group::Kind::Bytes
                    ? qsizetype(chunk.text.size())
                    : qsizetype(trimmed(chunk.text).size()) / 2;
            }
            // The bytes the file holds, never what the count claims: a count may lie.
            QByteArray bytes;
            bytes.reserve(size);
            bool sound = true;
            for (size_t k = i + 1; k < end && sound; ++k) {
                const Group &chunk = gs[k];
                if (chunk.kind == Group::Kind::Bytes) {
                    bytes.append(chunk.text.data(), qsizetype(chunk.text.size()));
                    continue;
                }
                const std::string_view hex = trimmed(chunk.text);
                sound = hex.size() % 2 == 0;
                for (size_t j = 0; j + 1 < hex.size(); j += 2) {
                    const int high = hexDigit(QChar(hex[j])), low = hexDigit(QChar(hex[j + 1]));
                    if (high < 0 || low < 0) {
                        sound = false;
                        break;
                    }
                    bytes.append(char(high * 16 + low));
                }
            }
            // What comes after a broken chunk cannot be placed; the decoder finds the stream
            // short and counts it.
            // A count that is no number disagrees too; it does not make the drawing unreadable.
            qint64 count = -1;
            if (g.kind == Group::Kind::Integer) {
                count = g.integer;
            } else {
                const std::string_view text = trimmed(g.text);
                std::from_chars(text.data(), text.data() + text.size(), count);
            }
            if (!sound || count != bytes.size()) {
                if (brokenGraphics++ == 0)
                    firstBrokenGraphics = gs.front().position;
            }
            return bytes;
        }
        return {};
    }

    Polyline Reader::readLwPolyline(const std::vector<Group> &gs)
    {
        Polyline polyline;
        for (const Group &g : gs) {
            switch (g.code) {
            case 70:
                polyline.closed = integer(g) & 1;
                break;
            case 43:
                polyline.constantWidth = real(g);
                break;
            case 38:
                polyline.elevation = real(g);
                break;
            case 10:
                polyline.vertices.push_back({});
                polyline.vertices.back().point.x = real(g);
                break;
            case 20:
            case 40:
            case 41:
            case 42:
                if (polyline.vertices.empty())
                    break;
                {
                    PolylineVertex &vertex = polyline.vertices.back();
                    const double value = real(g);
                    (g.code == 20          ? vertex.point.y
                            : g.code == 40 ? vertex.startWidth
                            : g.code == 41 ? vertex.endWidth
                                           : vertex.bulge)
                        = value;
                }
                break;
            }
            if (g.code == 1001)
                break;
        }
        for (PolylineVertex &vertex : polyline.vertices)
            vertex.point.z = polyline.elevation;
        return polyline;
    }

    Polyline Reader::readPolyline(
        const std::vector<Group> &gs, const std::vector<std::vector<Group>> &vertices)
    {
        Polyline polyline;
        int flags = 0;
        double startWidth = 0;
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 70:
                flags = int32(g);
                break;
            case 71:
                polyline.meshM = int32(g);
                break;
            case 72:
                polyline.meshN = int32(g);
                break;
            case 40:
                startWidth = real(g);
                break;
            case 30:
                polyline.elevation = real(g);
                break;
            }
        }
        polyline.constantWidth = startWidth;
        polyline.kind = flags & 64 ? Polyline::Kind::PolyfaceMesh
            : flags & 16           ? Polyline::Kind::Mesh
            : flags & 8            ? Polyline::Kind::ThreeD
                                   : Polyline::Kind::Flat;
        polyline.closed = flags & 1;
        if (polyline.kind == Polyline::Kind::Mesh) {
            polyline.meshClosedM = flags & 1;
            polyline.meshClosedN = flags & 32;
        }
        if (polyline.kind == Polyline::Kind::PolyfaceMesh) {
            // In a polyface mesh 71 and 72 count vertices and faces, not M and N.
            polyline.meshM = 0;
            polyline.meshN = 0;
        }
        for (const std::vector<Group> &vertexGroups : vertices) {
            PolylineVertex vertex;
            vertex.startWidth = startWidth;
            vertex.endWidth = startWidth;
            int vertexFlags = 0;
            std::array<int, 4> face { 0, 0, 0, 0 };
            for (const Group &g : vertexGroups) {
                if (g.code == 1001)
                    break;
                switch (g.code) {
                case 10:
                case 20:
                case 30:
                    setCoordinate(vertex.point, g, 10);
                    break;
                case 40:
                    vertex.startWidth = real(g);
                    break;
                case 41:
                    vertex.endWidth = real(g);
                    break;
                case 42:
                    vertex.bulge = real(g);
                    break;
                case 70:
                    vertexFlags = int32(g);
                    break;
                case 71:
                case 72:
                case 73:
                case 74:
                    face[g.code - 71] = int32(g);
                    break;
                }
            }
            if (polyline.kind == Polyline::Kind::PolyfaceMesh && (vertexFlags & 128)
                && !(vertexFlags & 64))
                polyline.faces.push_back(face);
            else
                polyline.vertices.push_back(vertex);
        }
        return polyline;
    }

    Spline Reader::readSpline(const std::vector<Group> &gs)
    {
        Spline spline;
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 70: {
                const int flags = int32(g);
                spline.closed = flags & 1;
                spline.periodic = flags & 2;
                spline.rational = flags & 4;
                break;
            }
            case 71:
                spline.degree = int32(g);
                break;
            case 40:
                spline.knots.push_back(real(g));
                break;
            case 41:
                spline.weights.push_back(real(g));
                break;
            case 10:
                spline.controlPoints.push_back({ real(g), 0, 0 });
                break;
            case 20:
            case 30:
                if (!spline.controlPoints.empty())
                    setCoordinate(spline.controlPoints.back(), g, 10);
                break;
            case 11:
                spline.fitPoints.push_back({ real(g), 0, 0 });
                break;
            case 21:
            case 31:
                if (!spline.fitPoints.empty())
                    setCoordinate(spline.fitPoints.back(), g, 11);
                break;
            }
        }
        return spline;
    }

    Text Reader::readText(const std::vector<Group> &gs, std::string_view type)
    {
        Text text;
        const bool attribute = type != "TEXT";
        for (const Group &g : gs) {
            if (g.code == 1001 || g.is(101, "Embedded Object"))
                break;
            switch (g.code) {
            case 10:
            case 20:
            case 30:
                setCoordinate(text.insert, g, 10);
                break;
            case 11:
            case 21:
            case 31:
                setCoordinate(text.alignPoint, g, 11);
                text.hasAlignPoint = true;
                break;
            case 40:
                text.height = real(g);
                break;
            case 50:
                text.rotation = real(g);
                break;
            case 41:
                text.widthFactor = real(g);
                break;
            case 51:
                text.oblique = real(g);
                break;
            case 7:
                text.style = name(g);
                break;
            case 71:
                text.generation = int32(g);
                break;
            case 72:
                text.horizontal = int32(g);
                break;
            case 73:
                // In attributes 73 is the field length; their vertical alignment is 74.
                if (!attribute)
                    text.vertical = int32(g);
                break;
            case 74:
                if (attribute)
                    text.vertical = int32(g);
                break;
            case 1:
                this->text(g).swap(text.text);
                break;
            case 2:
                if (attribute)
                    text.tag = this->text(g);
                break;
            case 70:
                if (attribute)
                    text.attributeInvisible = integer(g) & 1;
                break;
            }
        }
        return text;
    }

    MText Reader::readMText(const std::vector<Group> &gs)
    {
        MText mtext;
        QString last;
        for (const Group &g : gs) {
            if (g.code == 1001 || g.is(101, "Embedded Object"))
                break;
            switch (g.code) {
            case 10:
            case 20:
            case 30:
                setCoordinate(mtext.insert, g, 10);
                break;
            case 11:
            case 21:
            case 31:
                setCoordinate(mtext.direction, g, 11);
                mtext.hasDirection = true;
                break;
            case 40:
                mtext.height = real(g);
                break;
            case 41:
                mtext.referenceWidth = real(g);
                break;
            case 71:
                mtext.attachment = int32(g);
                break;
            case 50:
                mtext.rotation = real(g);
                break;
            case 44:
                mtext.lineSpacingFactor = real(g);
                break;
            case 7:
                mtext.style = name(g);
                break;
            case 3:
                mtext.text += text(g);
                break;
            case 1:
                last = text(g);
                break;
            }
        }
        mtext.text += last;
        return mtext;
    }

    Insert Reader::readInsert(const std::vector<Group> &gs)
    {
        Insert insert;
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 2:
                insert.block = name(g);
                break;
            case 10:
            case 20:
            case 30:
                setCoordinate(insert.insert, g, 10);
                break;
            case 41:
                insert.scale.x = real(g);
                break;
            case 42:
                insert.scale.y = real(g);
                break;
            case 43:
                insert.scale.z = real(g);
                break;
            case 50:
                insert.rotation = real(g);
                break;
            case 70:
                insert.columns = int32(g);
                break;
            case 71:
                insert.rows = int32(g);
                break;
            case 44:
                insert.columnSpacing = real(g);
                break;
            case 45:
                insert.rowSpacing = real(g);
                break;
            }
        }
        return insert;
    }

    BlockDrawn Reader::readBlockDrawn(const std::vector<Group> &gs)
    {
        BlockDrawn drawn;
        quint64 record = 0;
        Vec3 direction { 1, 0, 0 };
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 2:
                drawn.block = name(g);
                break;
            case 10:
            case 20:
            case 30:
                setCoordinate(drawn.insert, g, 10);
                break;
            case 11:
            case 21:
            case 31:
                setCoordinate(direction, g, 11);
                break;
            case 41:
                drawn.scale.x = real(g);
                break;
            case 42:
                drawn.scale.y = real(g);
                break;
            case 43:
                drawn.scale.z = real(g);
                break;
            case 343:
                record = handle(g);
                break;
            }
        }
        drawn.rotation = std::atan2(direction.y, direction.x) * 180 / 3.141592653589793;
        if (drawn.block.isEmpty())
            drawn.block = drawing.blockNamesByRecord.value(record);
        return drawn;
    }

    void Reader::readDimensionValue(DimValues &values, int code, const Group &value)
    {
        // Names (DIMPOST, and the arrow blocks of R12 styles and of the header), handles (the
        // text style, the arrow blocks' records) and numbers; the variables nothing draws with
        // are left unread.
        static const QSet<int> numbers { 40, 41, 42, 44, 73, 74, 77, 78, 140, 142, 144, 147, 173,
            176, 177, 178, 179, 271, 278 };
        if (code == 3 || code == 5 || code == 6 || code == 7)
            values.texts.insert(code, text(value));
        else if (code == 340 || (code >= 342 && code <= 344))
            values.handles.insert(code, handle(value));
        else if (numbers.contains(code))
            values.numbers.insert(code, real(value));
    }

    // The entity's own dimension variables: pairs of a code (1070) and its value inside the
    // ACAD application's DSTYLE list.
    Reader::DimValues Reader::dimensionOverrides(const std::vector<Group> &gs)
    {
        DimValues values;
        bool acad = false;
        bool named = false;
        bool inside = false;
        int code = -1;
        for (const Group &g : gs) {
            if (g.code == 1001) {
                acad = trimmed(g.text) == "ACAD";
                named = inside = false;
                continue;
            }
            if (!acad)
                continue;
            if (g.code == 1000 && !inside) {
                named = trimmed(g.text) == "DSTYLE";
            } else if (g.code == 1002) {
                inside = named && trimmed(g.text) == "{";
                named = false;
                code = -1;
            } else if (inside && code < 0) {
                if (g.code == 1070)
                    code = int32(g);
            } else if (inside) {
                readDimensionValue(values, code, g);
                code = -1;
            }
        }
        return values;
    }

    DimensionStyle Reader::dimensionStyle(const QString &styleName, const std::vector<Group> &gs)
    {
        const auto own = dimensionStyles.constFind(styleName.toUpper());
        const auto current = dimensionStyles.constFind(currentDimensionStyle.toUpper());
        const bool known = own != dimensionStyles.cend();
        // The header's values are the current style's: where that style sets a value itself,
        // the header repeats it and says nothing of other styles; where it does not, the
        // header's value is the drawing's own default for every style that leaves it unset.
        const auto fromHeader = [&](int code) {
            if (!known)
                return true;
            if (own->has(code))
                return false;
            return current == dimensionStyles.cend() || current == own || !current->has(code);
        };
        DimValues values;
        for (auto it = headerDimensions.numbers.cbegin(); it != headerDimensions.numbers.cend();
             ++it) {
            if (fromHeader(it.key()))
                values.numbers.insert(it.key(), it.value());
        }
        for (auto it = headerDimensions.texts.cbegin(); it != headerDimensions.texts.cend(); ++it) {
            if (fromHeader(it.key()))
                values.texts.insert(it.key(), it.value());
        }
        const auto merge = [&values](const DimValues &more) {
            values.numbers.insert(more.numbers);
            values.texts.insert(more.texts);
            values.handles.insert(more.handles);
        };
        if (known)
            merge(*own);
        merge(dimensionOverrides(gs));

        DimensionStyle style;
        const auto number = [&values](int code, double fallback) {
            const double value = values.numbers.value(code, fallback);
            return std::isfinite(value) ? value : fallback;
        };
        const auto whole = [&](int code, int fallback) {
            return int(std::clamp(number(code, fallback), -1e6, 1e6));
        };
        const auto blockName = [&](int textCode, int handleCode) {
            if (values.handles.contains(handleCode))
                return drawing.blockNamesByRecord.value(values.handles.value(handleCode));
            return values.texts.value(textCode).trimmed();
        };
        const double scale = number(40, 1);
        style.scale = scale > 0 ? scale : 1;
        style.arrowSize = number(41, style.arrowSize);
        style.extensionOffset = number(42, style.extensionOffset);
        style.extensionBeyond = number(44, style.extensionBeyond);
        style.textHeight = number(140, style.textHeight);
        style.tickSize = number(142, style.tickSize);
        style.lengthFactor = number(144, style.lengthFactor);
        style.textGap = number(147, style.textGap);
        style.textAbove = whole(77, style.textAbove);
        style.textInsideLevel = whole(73, 1) != 0;
        style.textOutsideLevel = whole(74, 1) != 0;
        style.zeroSuppression = whole(78, style.zeroSuppression);
        style.decimals = std::clamp(whole(271, style.decimals), 0, 8);
        style.angleDecimals = std::clamp(whole(179, style.angleDecimals), 0, 8);
        const int separator = whole(278, '.');
        style.decimalSeparator = separator > 32 && separator < 0xffff ? QChar(separator) : u'.';
        style.post = values.texts.value(3);
        style.lineColour = whole(176, style.lineColour);
        style.extensionColour = whole(177, style.extensionColour);
        style.textColour = whole(178, style.textColour);
        style.separateArrows = whole(173, 0) != 0;
        style.arrowBlock = blockName(5, 342);
        style.arrowBlock1 = blockName(6, 343);
        style.arrowBlock2 = blockName(7, 344);
        const QString textStyle = values.handles.contains(340)
            ? textStyleNames.value(values.handles.value(340))
            : values.texts.value(340);
        if (!textStyle.isEmpty())
            style.textStyle = textStyle;
        return style;
    }

    Dimension Reader::readDimension(const std::vector<Group> &gs)
    {
        Dimension dimension;
        QString styleName = QStringLiteral("Standard");
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 1:
                dimension.text = text(g);
                break;
            case 2:
                dimension.block = name(g);
                break;
            case 3:
                styleName = name(g);
                break;
            case 10:
            case 20:
            case 30:
                setCoordinate(dimension.definition, g, 10);
                break;
            case 11:
            case 21:
            case 31:
                setCoordinate(dimension.textMiddle, g, 11);
                break;
            case 13:
            case 23:
            case 33:
                setCoordinate(dimension.point13, g, 13);
                break;
            case 14:
            case 24:
            case 34:
                setCoordinate(dimension.point14, g, 14);
                break;
            case 15:
            case 25:
            case 35:
                setCoordinate(dimension.point15, g, 15);
                break;
            case 16:
            case 26:
            case 36:
                setCoordinate(dimension.point16, g, 16);
                break;
            case 50:
                dimension.rotation = real(g);
                break;
            case 53:
                dimension.textRotation = real(g);
                dimension.hasTextRotation = true;
                break;
            case 70: {
                const int type = int32(g);
                dimension.kind = Dimension::Kind(std::min(type & 7, 6));
                dimension.ordinateX = type & 64;
                break;
            }
            }
        }
        dimension.style = dimensionStyle(styleName, gs);
        return dimension;
    }

    Leader Reader::readLeader(const std::vector<Group> &gs)
    {
        Leader leader;
        QString styleName = QStringLiteral("Standard");
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 3:
                styleName = name(g);
                break;
            case 71:
                leader.arrowhead = integer(g) != 0;
                break;
            case 72:
                leader.spline = integer(g) == 1;
                break;
            case 10:
                leader.vertices.push_back({ real(g), 0, 0 });
                break;
            case 20:
            case 30:
                if (!leader.vertices.empty())
                    setCoordinate(leader.vertices.back(), g, 10);
                break;
            }
        }
        const DimensionStyle style = dimensionStyle(styleName, gs);
        leader.arrowSize = style.arrowSize * style.scale;
        return leader;
    }

    // A colour as multileaders write it: the kind in the high byte (by layer, by block, true
    // colour, index colour) and the value below.
    void setRawColour(qint64 raw, int &colour, std::int32_t &trueColour)
    {
        const int kind = int((raw >> 24) & 0xff);
        trueColour = -1;
        if (kind == 0xc0)
            colour = Aci::ByLayer;
        else if (kind == 0xc2)
            colour = 7, trueColour = std::int32_t(raw & 0xffffff);
        else if (kind == 0xc3)
            colour = std::clamp(int(raw & 0xff), 1, 255);
        else
            colour = Aci::ByBlock;
    }

    // The context data's sections nest: CONTEXT_DATA{ holds LEADER{ sections, each holding
    // LEADER_LINE{ sections; the same codes mean other things at each level.
    MultiLeader Reader::readMultiLeader(const std::vector<Group> &gs)
    {
        MultiLeader leader;
        enum class Level { Entity, Context, Branch, Line };
        Level level = Level::Entity;
        bool own = false;
        quint64 textStyle = 0;
        quint64 entityTextStyle = 0;
        double contextArrowSize = -1;
        double rotation = 0;
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            if (g.code == 100) {
                own = trimmed(g.text) == "AcDbMLeader";
                continue;
            }
            if (!own)
                continue;
            const std::string_view marker = g.kind == Group::Kind::Text ? trimmed(g.text) : "";
            if (level == Level::Entity) {
                switch (g.code) {
                case 300:
                    if (marker == "CONTEXT_DATA{")
                        level = Level::Context;
                    break;
                case 170:
                    leader.lineType = int32(g);
                    break;
                case 91:
                    setRawColour(integer(g), leader.lineColour, leader.lineTrueColour);
                    break;
                case 291:
                    leader.dogleg = integer(g) != 0;
                    break;
                case 42:
                    leader.arrowSize = real(g);
                    break;
                case 342:
                    leader.arrowBlockRecord = handle(g);
                    break;
                case 343:
                    entityTextStyle = handle(g);
                    break;
                }
                continue;
            }
            if (level == Level::Context) {
                switch (g.code) {
                case 301:
                    level = Level::Entity;
                    break;
                case 302:
                    if (marker == "LEADER{") {
                        level = Level::Branch;
                        leader.branches.emplace_back();
                    }
                    break;
                case 41:
                    leader.text.height = real(g);
                    break;
                case 140:
                    contextArrowSize = real(g);
                    break;
                case 290:
                    leader.hasText = integer(g) != 0;
                    break;
                case 304:
                    leader.text.text = text(g);
                    break;
                case 340:
                    textStyle = handle(g);
                    break;
                case 12:
                case 22:
                case 32:
                    setCoordinate(leader.text.insert, g, 12);
                    break;
                case 13:
                case 23:
                case 33:
                    setCoordinate(leader.text.direction, g, 13);
                    leader.text.hasDirection = true;
                    break;
                case 42:
                    rotation = real(g);
                    break;
                case 43:
                    leader.text.referenceWidth = real(g);
                    break;
                case 45:
                    leader.text.lineSpacingFactor = real(g);
                    break;
                case 90:
                    setRawColour(integer(g), leader.textColour, leader.textTrueColour);
                    break;
                case 171:
                    leader.text.attachment = std::clamp(int32(g), 1, 9);
                    break;
                case 296:
                    leader.hasBlock = integer(g) != 0;
                    break;
                case 341:
                    leader.block = drawing.blockNamesByRecord.value(handle(g));
                    break;
                case 15:
                case 25:
                case 35:
                    setCoordinate(leader.blockPosition, g, 15);
                    break;
                case 16:
                case 26:
                case 36:
                    setCoordinate(leader.blockScale, g, 16);
                    break;
                case 46:
                    leader.blockRotation = real(g) * 180 / 3.141592653589793;
                    break;
                }
                continue;
            }
            MultiLeader::Branch &branch = leader.branches.back();
            if (level == Level::Branch) {
                switch (g.code) {
                case 303:
                    level = Level::Context;
                    break;
                case 304:
                    if (marker == "LEADER_LINE{") {
                        level = Level::Line;
                        branch.lines.emplace_back();
                    }
                    break;
                case 10:
                case 20:
                case 30:
                    setCoordinate(branch.landing, g, 10);
                    break;
                case 11:
                case 21:
                case 31:
                    setCoordinate(branch.doglegDirection, g, 11);
                    break;
                case 40:
                    branch.doglegLength = real(g);
                    break;
                }
                continue;
            }
            if (g.code == 305)
                level = Level::Branch;
            else if (g.code == 10)
                branch.lines.back().push_back({ real(g), 0, 0 });
            else if ((g.code == 20 || g.code == 30) && !branch.lines.back().empty())
                setCoordinate(branch.lines.back().back(), g, 10);
        }
        // The context's values are those the leader is drawn with; the entity's are its style's.
        if (contextArrowSize >= 0)
            leader.arrowSize = contextArrowSize;
        leader.text.style = textStyleNames.value(
            textStyle ? textStyle : entityTextStyle, QStringLiteral("Standard"));
        if (!leader.text.hasDirection)
            leader.text.rotation = rotation * 180 / 3.141592653589793;
        return leader;
    }

    // The hatch's groups read as its grammar lays them out: codes repeat (10 and 20 are the
    // elevation, path vertices, edge points and seed points in turn), so position decides.
    class HatchCursor {
    public:
        HatchCursor(const std::vector<Group> &gs)
            : gs(gs)
        {
        }
        const Group *peek() const
        {
            return at < gs.size() && gs[at].code != 1001 ? &gs[at] : nullptr;
        }
        bool more() const { return peek() != nullptr; }
        // The next group when it has this code; nullptr (and nothing consumed) otherwise.
        const Group *take(int code)
        {
            const Group *group = peek();
            if (!group || group->code != code)
                return nullptr;
            ++at;
            return group;
        }
        void skip() { ++at; }

    private:
        const std::vector<Group> &gs;
        size_t at = 1;
    };

    Hatch Reader::readHatch(const std::vector<Group> &gs)
    {
        Hatch hatch;
        HatchCursor cursor(gs);
        auto realOf = [&](int code, double fallback = 0) {
            const Group *g = cursor.take(code);
            return g ? real(*g) : fallback;
        };
        auto intOf = [&](int code, int fallback = 0) {
            const Group *g = cursor.take(code);
            return g ? int32(*g) : fallback;
        };
        auto pointOf = [&](int xCode) {
            const double x = realOf(xCode);
            return QPointF(x, realOf(xCode + 10));
        };
        // Header data up to the path count; anything else on the way is passed over.
        int pathCount = 0;
        while (const Group *g = cursor.peek()) {
            if (g->code == 91) {
                pathCount = int32(*g);
                cursor.skip();
                break;
            }
            if (g->code == 30)
                hatch.elevation = real(*g);
            else if (g->code == 2)
                hatch.pattern = name(*g);
            else if (g->code == 70)
                hatch.solid = integer(*g) & 1;
            cursor.skip();
        }
        for (int p = 0; p < pathCount && cursor.more(); ++p) {
            HatchPath path;
            const Group *typeGroup = cursor.take(92);
            if (!typeGroup)
                break;
            path.flags = int32(*typeGroup);
            if (path.flags & 2) {
                path.isPolyline = true;
                const bool hasBulge = intOf(72) != 0;
                path.closed = intOf(73, 1) != 0;
                const int count = intOf(93);
                for (int v = 0; v < count && cursor.peek() && cursor.peek()->code == 10; ++v) {
                    PolylineVertex vertex;
                    const QPointF point = pointOf(10);
                    vertex.point = { point.x(), point.y(), hatch.elevation };
                    if (hasBulge)
                        vertex.bulge = realOf(42);
                    path.vertices.push_back(vertex);
                }
            } else {
                const int count = intOf(93);
                for (int e = 0; e < count; ++e) {
                    const Group *edgeType = cursor.take(72);
                    if (!edgeType)
                        break;
                    HatchEdge edge;
                    switch (int32(*edgeType)) {
                    case 1:
                        edge.kind = HatchEdge::Kind::Line;
                        edge.start = pointOf(10);
                        edge.end = pointOf(11);
                        break;
                    case 2:
                        edge.kind = HatchEdge::Kind::Arc;
                        edge.centre = pointOf(10);
                        edge.radius = realOf(40);
                        edge.startAngle = realOf(50);
                        edge.endAngle = realOf(51);
                        edge.counterClockwise = intOf(73, 1) != 0;
                        break;
                    case 3:
                        edge.kind = HatchEdge::Kind::Ellipse;
                        edge.centre = pointOf(10);
                        edge.end = pointOf(11);
                        edge.radius = realOf(40);
                        edge.startAngle = realOf(50);
                        edge.endAngle = realOf(51);
                        edge.counterClockwise = intOf(73, 1) != 0;
                        break;
                    case 4: {
                        edge.kind = HatchEdge::Kind::Spline;
                        Spline &spline = edge.spline;
                        spline.degree = intOf(94, 3);
                        spline.rational = intOf(73) != 0;
                        spline.periodic = intOf(74) != 0;
                        const int knots = intOf(95);
                        const int controls = intOf(96);
                        for (int k = 0; k < knots && cursor.peek() && cursor.peek()->code == 40;
                             ++k)
                            spline.knots.push_back(realOf(40));
                        for (int c = 0; c < controls && cursor.peek() && cursor.peek()->code == 10;
                             ++c) {
                            const QPointF point = pointOf(10);
                            spline.controlPoints.push_back({ point.x(), point.y(), 0 });
                            if (const Group *weight = cursor.take(42))
                                spline.weights.push_back(real(*weight));
                        }
                        // Fit data (from R2010) follows only when its count is there.
                        if (cursor.peek() && cursor.peek()->code == 97) {
                            const int fits = intOf(97);
                            for (int f = 0; f < fits && cursor.peek() && cursor.peek()->code == 11;
                                 ++f) {
                                const QPointF point = pointOf(11);
                                spline.fitPoints.push_back({ point.x(), point.y(), 0 });
                            }
                            if (cursor.peek() && cursor.peek()->code == 12) {
                                pointOf(12);
                                pointOf(13);
                            }
                        }
                        if (!spline.controlPoints.empty()) {
                            edge.start = spline.controlPoints.front().xy();
                            edge.end = spline.controlPoints.back().xy();
                        }
                        break;
                    }
                    default:
                        break;
                    }
                    path.edges.push_back(edge);
                }
            }
            // The source boundary objects' handles are of no use for drawing.
            const int sources = intOf(97);
            for (int s = 0; s < sources && cursor.take(330); ++s) { }
            hatch.paths.push_back(std::move(path));
        }
        // Style, pattern data and seed points.
        while (const Group *g = cursor.peek()) {
            if (g->code == 52) {
                hatch.patternAngle = real(*g);
            } else if (g->code == 41) {
                hatch.patternScale = real(*g);
            } else if (g->code == 78) {
                const int lineCount = int32(*g);
                cursor.skip();
                for (int l = 0; l < lineCount && cursor.peek() && cursor.peek()->code == 53; ++l) {
                    HatchPatternLine line;
                    line.angle = realOf(53);
                    line.base.setX(realOf(43));
                    line.base.setY(realOf(44));
                    line.offset.setX(realOf(45));
                    line.offset.setY(realOf(46));
                    const int dashes = intOf(79);
                    for (int d = 0; d < dashes && cursor.peek() && cursor.peek()->code == 49; ++d)
                        line.dashes.push_back(realOf(49));
                    hatch.patternLines.push_back(std::move(line));
                }
                continue;
            }
            cursor.skip();
        }
        return hatch;
    }

    Image Reader::readImage(const std::vector<Group> &gs, bool wipeout)
    {
        Image image;
        image.wipeout = wipeout;
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 10:
            case 20:
            case 30:
                setCoordinate(image.insert, g, 10);
                break;
            case 11:
            case 21:
            case 31:
                setCoordinate(image.u, g, 11);
                break;
            case 12:
            case 22:
            case 32:
                setCoordinate(image.v, g, 12);
                break;
            case 13:
                image.widthPixels = real(g);
                break;
            case 23:
                image.heightPixels = real(g);
                break;
            case 340:
                image.imageDef = handle(g);
                break;
            case 280:
                image.clipped = integer(g) != 0;
                break;
            case 14:
                image.clipBoundary.emplace_back(real(g), 0);
                break;
            case 24:
                if (!image.clipBoundary.empty())
                    image.clipBoundary.back().setY(real(g));
                break;
            }
        }
        return image;
    }

    Viewport Reader::readViewport(const std::vector<Group> &gs)
    {
        Viewport viewport;
        bool acad = false;
        bool mview = false;
        std::vector<const Group *> items;
        for (const Group &g : gs) {
            if (g.code >= 1000) {
                if (g.code == 1001)
                    acad = trimmed(g.text) == "ACAD";
                else if (acad && g.is(1000, "MVIEW"))
                    mview = true;
                else if (acad && mview)
                    items.push_back(&g);
                continue;
            }
            switch (g.code) {
            case 10:
            case 20:
            case 30:
                setCoordinate(viewport.centre, g, 10);
                break;
            case 40:
                viewport.width = real(g);
                break;
            case 41:
                viewport.height = real(g);
                break;
            case 68:
                viewport.status = int32(g);
                break;
            case 69:
                viewport.id = int32(g);
                break;
            case 12:
                viewport.viewCentre.setX(real(g));
                break;
            case 22:
                viewport.viewCentre.setY(real(g));
                break;
            case 16:
            case 26:
            case 36:
                setCoordinate(viewport.viewDirection, g, 16);
                break;
            case 17:
            case 27:
            case 37:
                setCoordinate(viewport.viewTarget, g, 17);
                break;
            case 45:
                viewport.viewHeight = real(g);
                break;
            case 51:
                viewport.twist = real(g);
                break;
            case 331:
                viewport.frozenLayers.push_back(handle(g));
                break;
            case 340:
                viewport.clipBoundary = handle(g);
                break;
            case 90:
                viewport.flags = int32(g);
                break;
            }
        }
        if (!mview)
            return viewport;
        // R12 keeps the view in the list "MVIEW": after "{" and the version, points (1010 with
        // 1020, 1030) and numbers in a fixed order, then the frozen layers' names in a list.
        std::vector<std::vector<const Group *>> values;
        int depth = 0;
        for (const Group *g : items) {
            if (g->code == 1002) {
                depth += trimmed(g->text) == "{" ? 1 : -1;
                continue;
            }
            if (depth == 2 && g->code == 1003) {
                const QString layerName = text(*g);
                const auto layer = drawing.layers.constFind(layerName.toUpper());
                if (layer != drawing.layers.cend() && layer->handle)
                    viewport.frozenLayers.push_back(layer->handle);
                else
                    drawing.warnings.append(
                        QStringLiteral("Line %1: the viewport's frozen layer %2 has no handle")
                            .arg(gs.front().position)
                            .arg(layerName));
                continue;
            }
            if (depth != 1)
                continue;
            if (g->code == 1020 || g->code == 1030) {
                if (!values.empty())
                    values.back().push_back(g);
                continue;
            }
            values.push_back({ g });
        }
        // values[0] is the list's version.
        auto number = [&](size_t index) {
            return index + 1 < values.size() ? real(*values[index + 1].front()) : 0.0;
        };
        auto vector = [&](size_t index) {
            Vec3 v;
            if (index + 1 < values.size()) {
                for (const Group *g : values[index + 1])
                    setCoordinate(v, *g, 1010);
            }
            return v;
        };
        if (values.size() < 26)
            drawing.warnings.append(
                QStringLiteral("Line %1: the viewport's view data is incomplete")
                    .arg(gs.front().position));
        viewport.viewTarget = vector(0);
        viewport.viewDirection = vector(1);
        viewport.twist = number(2);
        viewport.viewHeight = number(3);
        viewport.viewCentre = { number(4), number(5) };
        int flags = 0;
        const std::pair<size_t, int> flagItems[]
            = { { 11, 0x80 }, { 13, 0x100 }, { 14, 0x200 }, { 15, 0x400 }, { 24, 0x800 } };
        for (const auto &[index, bit] : flagItems) {
            if (number(index) != 0)
                flags |= bit;
        }
        viewport.flags = flags;
        return viewport;
    }

    void Reader::readObjects()
    {
        std::vector<Group> &object = buffer;
        while (true) {
            collect(object);
            const Group &first = object.front();
            if (first.is(0, "ENDSEC"))
                return;
            if (first.is(0, "SECTION") || first.is(0, "EOF"))
                groups.fail(
                    first.position, QStringLiteral("the OBJECTS section ends without ENDSEC"));
            const std::string_view type = trimmed(first.text);
            if (type == "LAYOUT") {
                Layout layout;
                std::string_view subclass;
                for (const Group &g : object) {
                    if (g.code == 100) {
                        subclass = trimmed(g.text);
                        continue;
                    }
                    if (g.code == 1001)
                        break;
                    if (g.code == 5) {
                        layout.handle = handle(g);
                        continue;
                    }
                    if (subclass == "AcDbPlotSettings") {
                        switch (g.code) {
                        case 4:
                            layout.paperName = text(g);
                            break;
                        case 40:
                            layout.marginLeft = real(g);
                            break;
                        case 41:
                            layout.marginBottom = real(g);
                            break;
                        case 42:
                            layout.marginRight = real(g);
                            break;
                        case 43:
                            layout.marginTop = real(g);
                            break;
                        case 44:
                            layout.paperWidth = real(g);
                            break;
                        case 45:
                            layout.paperHeight = real(g);
                            break;
                        case 46:
                            layout.plotOrigin.setX(real(g));
                            break;
                        case 47:
                            layout.plotOrigin.setY(real(g));
                            break;
                        case 48:
                            layout.windowMin.setX(real(g));
                            break;
                        case 49:
                            layout.windowMin.setY(real(g));
                            break;
                        case 140:
                            layout.windowMax.setX(real(g));
                            break;
                        case 141:
                            layout.windowMax.setY(real(g));
                            break;
                        case 142:
                            layout.printScaleNumerator = real(g);
                            break;
                        case 143:
                            layout.printScaleDenominator = real(g);
                            break;
                        case 70:
                            layout.plotFlags = int32(g);
                            break;
                        case 72:
                            layout.paperUnits = int32(g);
                            break;
                        case 73:
                            layout.rotation = int32(g);
                            break;
                        case 74:
                            layout.plotType = int32(g);
                            break;
                        case 75:
                            layout.standardScale = int32(g);
                            break;
                        }
                    } else if (subclass == "AcDbLayout") {
                        switch (g.code) {
                        case 1:
                            layout.name = text(g);
                            break;
                        case 71:
                            layout.tabOrder = int32(g);
                            break;
                        case 10:
                            layout.limitsMin.setX(real(g));
                            break;
                        case 20:
                            layout.limitsMin.setY(real(g));
                            break;
                        case 11:
                            layout.limitsMax.setX(real(g));
                            break;
                        case 21:
                            layout.limitsMax.setY(real(g));
                            break;
                        case 14:
                        case 24:
                        case 34:
                            setCoordinate(layout.extentsMin, g, 14);
                            break;
                        case 15:
                        case 25:
                        case 35:
                            setCoordinate(layout.extentsMax, g, 15);
                            break;
                        case 330:
                            layout.blockRecord = handle(g);
                            break;
                        }
                    }
                }
                drawing.layouts.append(layout);
            } else if (type == "MLINESTYLE") {
                readMLineStyle(object);
            } else if (type == "IMAGEDEF") {
                quint64 objectHandle = 0;
                QString file;
                for (const Group &g : object) {
                    if (g.code == 5)
                        objectHandle = handle(g);
                    else if (g.code == 1)
                        file = text(g);
                }
                drawing.imageFiles.insert(objectHandle, file);
            } else if (type == "XRECORD") {
                // The drawing's properties dialog keeps title, subject, author, comments and
                // keywords in an XRECORD marked by its first string.
                bool properties = false;
                for (const Group &g : object) {
                    if (g.code == 1) {
                        properties = trimmed(g.text) == "DWGPROPS COOKIE";
                        continue;
                    }
                    if (!properties)
                        continue;
                    static const std::pair<int, const char16_t *> fields[]
                        = { { 2, u"title" }, { 3, u"subject" }, { 4, u"author" },
                              { 6, u"comments" }, { 7, u"keywords" } };
                    for (const auto &[code, field] : fields) {
                        if (g.code == code && !trimmed(g.text).empty())
                            drawing.summary.append({ QString::fromUtf16(field), text(g) });
                    }
                }
            }
        }
    }

    MLine Reader::readMLine(const std::vector<Group> &gs)
    {
        MLine mline;
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            MLine::Vertex *vertex = mline.vertices.empty() ? nullptr : &mline.vertices.back();
            switch (g.code) {
            case 2:
                mline.styleName = name(g);
                break;
            case 340:
                mline.style = handle(g);
                break;
            case 40:
                mline.scale = real(g);
                break;
            case 70:
                mline.justification = int32(g);
                break;
            case 71:
                mline.closed = integer(g) & 2;
                mline.suppressStartCaps = integer(g) & 4;
                mline.suppressEndCaps = integer(g) & 8;
                break;
            case 11:
                mline.vertices.emplace_back();
                mline.vertices.back().point.x = real(g);
                break;
            case 21:
            case 31:
                if (vertex)
                    setCoordinate(vertex->point, g, 11);
                break;
            case 12:
            case 22:
            case 32:
                if (vertex)
                    setCoordinate(vertex->direction, g, 12);
                break;
            case 13:
            case 23:
            case 33:
                if (vertex)
                    setCoordinate(vertex->miter, g, 13);
                break;
            case 74:
                if (vertex)
                    vertex->elements.emplace_back();
                break;
            case 41:
                if (vertex && !vertex->elements.empty())
                    vertex->elements.back().push_back(real(g));
                break;
            }
        }
        return mline;
    }

    void Reader::readMLineStyle(const std::vector<Group> &object)
    {
        MLineStyle style;
        quint64 objectHandle = 0;
        bool elements = false;
        for (const Group &g : object) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 5:
                objectHandle = handle(g);
                break;
            case 2:
                style.name = name(g);
                break;
            case 70:
                style.flags = int32(g);
                break;
            case 71:
                elements = true;
                break;
            case 49:
                style.elements.emplace_back();
                style.elements.back().offset = real(g);
                break;
            // Before the element count the colour is the fill's, after it each element's.
            case 62:
                if (!elements)
                    style.fillColour = int32(g);
                else if (!style.elements.empty())
                    style.elements.back().colour = int32(g);
                break;
            case 420:
                if (!elements)
                    style.fillTrueColour = int32(g) & 0xffffff;
                else if (!style.elements.empty())
                    style.elements.back().trueColour = int32(g) & 0xffffff;
                break;
            case 6:
                if (!style.elements.empty())
                    style.elements.back().linetype = name(g);
                break;
            }
        }
        drawing.mlineStyles.insert(objectHandle, style);
    }

    Tolerance Reader::readTolerance(const std::vector<Group> &gs)
    {
        Tolerance tolerance;
        QString styleName = QStringLiteral("Standard");
        for (const Group &g : gs) {
            if (g.code == 1001)
                break;
            switch (g.code) {
            case 3:
                styleName = name(g);
                break;
            case 1:
                tolerance.text = text(g);
                break;
            case 10:
            case 20:
            case 30:
                setCoordinate(tolerance.insert, g, 10);
                break;
            case 11:
            case 21:
            case 31:
                setCoordinate(tolerance.direction, g, 11);
                break;
            }
        }
        tolerance.style = dimensionStyle(styleName, gs);
        return tolerance;
    }

    // The level 0 data: the vertex count (92) and its points, the face list's size (93) and its
    // items (90), each face its vertex count then its indices. What follows (edges, creases,
    // overrides) reuses these codes and is not read: the faces hold every edge.
    Mesh Reader::readMesh(const std::vector<Group> &gs)
    {
        Mesh mesh;
        enum class Part { Head, Vertices, Faces, Done } part = Part::Head;
        qint64 left = 0;
        qint64 faceLeft = 0;
        bool own = false;
        for (const Group &g : gs) {
            if (g.code == 1001 || part == Part::Done)
                break;
            // The common data may hold a 92 of its own, the proxy graphics' byte count.
            if (g.code == 100)
                own = trimmed(g.text) == "AcDbSubDMesh";
            if (!own)
                continue;
            if (part == Part::Head && g.code == 92) {
                left = integer(g);
                part = Part::Vertices;
            } else if (part == Part::Vertices && g.code == 10) {
                if (left-- <= 0)
                    break;
                mesh.vertices.push_back({ real(g), 0, 0 });
            } else if (part == Part::Vertices && (g.code == 20 || g.code == 30)) {
                if (!mesh.vertices.empty())
                    setCoordinate(mesh.vertices.back(), g, 10);
            } else if (part == Part::Vertices && g.code == 93) {
                left = integer(g);
                part = left > 0 ? Part::Faces : Part::Done;
            } else if (part == Part::Faces && g.code == 90) {
                const qint64 value = integer(g);
                if (faceLeft == 0) {
                    faceLeft = value;
                    if (faceLeft > 0)
                        mesh.faces.emplace_back();
                } else {
                    mesh.faces.back().push_back(int(std::clamp<qint64>(value, -1, INT_MAX)));
                    --faceLeft;
                }
                if (--left <= 0)
                    part = Part::Done;
            } else if (part == Part::Faces) {
                part = Part::Done;
            }
        }
        return mesh;
    }

    void Reader::finish()
    {
        if (brokenGraphics > 0)
            drawing.warnings.append(
                QStringLiteral("Line %1: the proxy graphics of %2 entities hold a broken hex chunk "
                               "or disagree with their byte count; what could be read is kept")
                    .arg(firstBrokenGraphics)
                    .arg(brokenGraphics));
        // Some writers leave the ENTITIES section to the layouts' blocks: what the model space
        // block and the active paper space block hold belongs to those spaces all the same.
        if (const Block *model = drawing.block(QStringLiteral("*Model_Space")))
            drawing.modelSpace.insert(
                drawing.modelSpace.end(), model->entities.begin(), model->entities.end());
        if (const Block *paper = drawing.block(QStringLiteral("*Paper_Space")))
            drawing.activePaperSpace.insert(
                drawing.activePaperSpace.end(), paper->entities.begin(), paper->entities.end());
        // An insertion base left at the origin says the print was never set up; the drawing is
        // then paged by what it draws.
        const QPointF paper = drawing.paperLimitsMax - drawing.paperLimitsMin;
        if (libreCad && !drawing.modelPage && printScale > 0 && std::isfinite(printScale)
            && !paperInsertionBase.isNull() && paper.x() > 0 && paper.y() > 0) {
            OwnPage page;
            page.paperWidth = paper.x();
            page.paperHeight = paper.y();
            page.landscape = paper.x() > paper.y();
            page.scale = printScale;
            page.offset = -paperInsertionBase / printScale;
            drawing.modelPage = page;
        }
        for (Layout &layout : drawing.layouts) {
            if (const auto page = ownPages.constFind(layout.blockRecord); page != ownPages.cend())
                layout.ownPage = *page;
            const QString block = drawing.blockNamesByRecord.value(layout.blockRecord);
            layout.block
                = block.compare(u"*Model_Space", Qt::CaseInsensitive) == 0 ? QString() : block;
            if (layout.blockRecord && block.isEmpty())
                drawing.warnings.append(
                    QStringLiteral("The layout %1 names no known block record").arg(layout.name));
        }
        std::stable_sort(drawing.layouts.begin(), drawing.layouts.end(),
            [](const Layout &a, const Layout &b) { return a.tabOrder < b.tabOrder; });
        if (drawing.layouts.isEmpty() && !drawing.activePaperSpace.empty()) {
            Layout layout;
            layout.name = QStringLiteral("Layout1");
            layout.block = QStringLiteral("*Paper_Space");
            const double toMm = drawing.measurement == 0 ? 25.4 : 1;
            layout.paperWidth = (drawing.paperLimitsMax.x() - drawing.paperLimitsMin.x()) * toMm;
            layout.paperHeight = (drawing.paperLimitsMax.y() - drawing.paperLimitsMin.y()) * toMm;
            layout.paperUnits = drawing.measurement == 0 ? 0 : 1;
            layout.plotType = 5;
            layout.limitsMin = drawing.paperLimitsMin;
            layout.limitsMax = drawing.paperLimitsMax;
            layout.extentsMin = drawing.paperExtentsMin;
            layout.extentsMax = drawing.paperExtentsMax;
            layout.tabOrder = 1;
            drawing.layouts.append(layout);
        }
        if (!tileMode) {
            for (const Layout &layout : drawing.layouts) {
                if (layout.block.compare(u"*Paper_Space", Qt::CaseInsensitive) == 0)
                    drawing.activeLayout = layout.name;
            }
        }
    }

} // namespace

Drawing readDrawing(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.isEmpty())
        throw ReadError(QStringLiteral("%1: the file is empty").arg(fileName).toStdString());
    return Reader(bytes, fileName).read();
}

Drawing readDrawingFile(const QString &nativePath)
{
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(QStringLiteral("%1: cannot be opened: %2")
                            .arg(nativePath, file.errorString())
                            .toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ReadError(QStringLiteral("%1: cannot be read: %2")
                            .arg(nativePath, file.errorString())
                            .toStdString());
    return readDrawing(bytes, nativePath);
}

} // namespace dxf
