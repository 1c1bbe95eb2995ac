#include "dxfproxygraphics.h"

#include "dxfcodepages.h"
#include "dxfmultibyte.h"

#include <QMap>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace dxf {

namespace {

    constexpr double pi = std::numbers::pi;

    // The commands of the stream by their type number.
    enum Command : quint32 {
        Extents = 1,
        CircleCommand = 2,
        Circle3P = 3,
        ArcCommand = 4,
        Arc3P = 5,
        PolylineCommand = 6,
        Polygon = 7,
        Mesh = 8,
        Shell = 9,
        TextCommand = 10,
        Text2 = 11,
        XLine = 12,
        Ray = 13,
        Colour = 14,
        Layer = 16,
        LinetypeCommand = 18,
        Marker = 19,
        Fill = 20,
        TrueColour = 22,
        LineweightCommand = 23,
        LinetypeScale = 24,
        Thickness = 25,
        PlotStyle = 26,
        PushClip = 27,
        PopClip = 28,
        PushTransform = 29,
        PushTransformNormal = 30,
        PopTransform = 31,
        PolylineNormal = 32,
        LwPolyline = 33,
        Material = 34,
        Mapper = 35,
        UnicodeText = 36,
        UnicodeText2 = 38,
    };

    QString commandName(quint32 type)
    {
        switch (type) {
        case CircleCommand:
        case Circle3P:
            return QStringLiteral("circle");
        case ArcCommand:
        case Arc3P:
            return QStringLiteral("arc");
        case PolylineCommand:
        case PolylineNormal:
            return QStringLiteral("polyline");
        case Polygon:
            return QStringLiteral("polygon");
        case Mesh:
            return QStringLiteral("mesh");
        case Shell:
            return QStringLiteral("shell");
        case TextCommand:
        case Text2:
        case UnicodeText:
        case UnicodeText2:
            return QStringLiteral("text");
        case XLine:
            return QStringLiteral("xline");
        case Ray:
            return QStringLiteral("ray");
        case LwPolyline:
            return QStringLiteral("lwpolyline");
        case PushTransform:
        case PushTransformNormal:
            return QStringLiteral("model transform");
        default:
            return QStringLiteral("trait");
        }
    }

    Vec3 operator+(const Vec3 &a, const Vec3 &b)
    {
        return { a.x + b.x, a.y + b.y, a.z + b.z };
    }
    Vec3 operator-(const Vec3 &a, const Vec3 &b)
    {
        return { a.x - b.x, a.y - b.y, a.z - b.z };
    }
    Vec3 operator*(const Vec3 &a, double s)
    {
        return { a.x * s, a.y * s, a.z * s };
    }
    double dot(const Vec3 &a, const Vec3 &b)
    {
        return a.x * b.x + a.y * b.y + a.z * b.z;
    }
    Vec3 cross(const Vec3 &a, const Vec3 &b)
    {
        return { a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
    }
    double norm(const Vec3 &a)
    {
        return std::sqrt(dot(a, a));
    }
    // The zero vector stays zero, which the callers refuse.
    Vec3 unit(const Vec3 &a)
    {
        const double n = norm(a);
        return n > 0 ? a * (1 / n) : Vec3 {};
    }
    bool finite(const Vec3 &v)
    {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    }
    double planCross(const Vec3 &a, const Vec3 &b)
    {
        return a.x * b.y - a.y * b.x;
    }

    // An affine map of space: rows of a 3 x 4 matrix, points as columns.
    struct Affine {
        double m[3][4] = { { 1, 0, 0, 0 }, { 0, 1, 0, 0 }, { 0, 0, 1, 0 } };

        Vec3 vector(const Vec3 &v) const
        {
            return { m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z };
        }
        Vec3 point(const Vec3 &p) const { return vector(p) + Vec3 { m[0][3], m[1][3], m[2][3] }; }
        // This map after other.
        Affine after(const Affine &other) const
        {
            Affine r;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 4; ++j) {
                    r.m[i][j] = (j == 3 ? m[i][3] : 0);
                    for (int k = 0; k < 3; ++k)
                        r.m[i][j] += m[i][k] * other.m[k][j];
                }
            }
            return r;
        }
        bool identity() const
        {
            const Affine one;
            return std::equal(&m[0][0], &m[0][0] + 12, &one.m[0][0]);
        }
    };

    // The plane of an entity with that normal (its OCS) in WCS by the arbitrary axis rule, at
    // elevation along the normal.
    Affine planeOf(const Vec3 &normal, double elevation = 0)
    {
        const Vec3 z = unit(normal);
        const Vec3 x = std::abs(z.x) < 1.0 / 64 && std::abs(z.y) < 1.0 / 64
            ? unit(cross({ 0, 1, 0 }, z))
            : unit(cross({ 0, 0, 1 }, z));
        const Vec3 y = cross(z, x);
        Affine a;
        const Vec3 axes[3] = { x, y, z };
        for (int c = 0; c < 3; ++c) {
            a.m[0][c] = axes[c].x;
            a.m[1][c] = axes[c].y;
            a.m[2][c] = axes[c].z;
        }
        for (int r = 0; r < 3; ++r)
            a.m[r][3] = a.m[r][2] * elevation;
        return a;
    }

    // One command's data, little-endian. Reading past its end gives zeros and leaves ok false.
    class Data {
    public:
        Data(const char *bytes, qsizetype size)
            : bytes(bytes)
            , size(size)
        {
        }

        bool ok = true;

        qsizetype left() const { return size - at; }
        quint32 u32() { return take<quint32>(); }
        qint32 i32() { return take<qint32>(); }
        double real()
        {
            const double value = take<double>();
            ok = ok && std::isfinite(value);
            return value;
        }
        Vec3 vec()
        {
            const double x = real(), y = real();
            return { x, y, real() };
        }
        // A count of items of itemSize bytes each that the data can hold.
        quint32 count(qsizetype itemSize)
        {
            const quint32 n = u32();
            if (qint64(n) * itemSize > left())
                ok = false;
            return ok ? n : 0;
        }
        // Nul-terminated, then padded to a multiple of four bytes.
        QByteArray bytes8()
        {
            const char *start = bytes + at;
            const void *nul = std::memchr(start, 0, size_t(left()));
            if (!nul) {
                ok = false;
                at = size;
                return {};
            }
            const QByteArray text(start, static_cast<const char *>(nul) - start);
            at += text.size() + 1;
            align();
            return text;
        }
        QString text16()
        {
            QString text;
            while (true) {
                const char16_t unit = take<quint16>();
                if (!ok || unit == 0)
                    break;
                text.append(QChar(unit));
            }
            align();
            return text;
        }
        const char *here() const { return bytes + at; }
        void skip(qsizetype n) { at = std::min(size, at + n); }

    private:
        template <typename T> T take()
        {
            T value {};
            if (left() < qsizetype(sizeof(T))) {
                ok = false;
                at = size;
                return value;
            }
            std::memcpy(&value, bytes + at, sizeof(T));
            at += sizeof(T);
            return value;
        }
        void align() { at = std::min(size, (at + 3) & ~qsizetype(3)); }

        const char *bytes;
        qsizetype size;
        qsizetype at = 0;
    };

    // The bit-coded values of DWG data, most significant bit first. Reading past the end gives
    // zeros and leaves ok false.
    class Bits {
    public:
        Bits(const char *bytes, qsizetype size)
            : bytes(reinterpret_cast<const uchar *>(bytes))
            , bits(size * 8)
        {
        }

        bool ok = true;

        qint64 left() const { return bits - at; }
        quint64 raw(int n)
        {
            if (left() < n) {
                ok = false;
                at = bits;
                return 0;
            }
            quint64 value = 0;
            for (int i = 0; i < n; ++i, ++at)
                value = value << 1 | ((bytes[at >> 3] >> (7 - (at & 7))) & 1);
            return value;
        }
        // Whole bytes in the order of the data: the first is the least significant.
        quint64 littleEndian(int byteCount)
        {
            quint64 value = 0;
            for (int i = 0; i < byteCount; ++i)
                value |= raw(8) << (8 * i);
            return value;
        }
        double rawDouble()
        {
            const quint64 bitsOfValue = littleEndian(8);
            double value;
            std::memcpy(&value, &bitsOfValue, sizeof value);
            ok = ok && std::isfinite(value);
            return value;
        }
        int bitShort()
        {
            switch (raw(2)) {
            case 0:
                return qint16(littleEndian(2));
            case 1:
                return int(raw(8));
            case 2:
                return 0;
            default:
                return 256;
            }
        }
        qint32 bitLong()
        {
            switch (raw(2)) {
            case 0:
                return qint32(littleEndian(4));
            case 1:
                return qint32(raw(8));
            case 2:
                return 0;
            default:
                ok = false;
                return 0;
            }
        }
        double bitDouble()
        {
            switch (raw(2)) {
            case 0:
                return rawDouble();
            case 1:
                return 1;
            case 2:
                return 0;
            default:
                ok = false;
                return 0;
            }
        }
        // A double given as the bytes in which it differs from a default.
        double bitDoubleDefault(double fallback)
        {
            const quint64 code = raw(2);
            if (code == 0)
                return fallback;
            if (code == 3)
                return rawDouble();
            quint64 value;
            std::memcpy(&value, &fallback, sizeof value);
            if (code == 2) {
                value = (value & ~(quint64(0xffff) << 32)) | littleEndian(2) << 32;
            }
            value = (value & ~quint64(0xffffffff)) | littleEndian(4);
            double result;
            std::memcpy(&result, &value, sizeof result);
            ok = ok && std::isfinite(result);
            return result;
        }

    private:
        const uchar *bytes;
        qint64 bits;
        qint64 at = 0;
    };

    class Decoder {
    public:
        Decoder(const QString &type, const Drawing &drawing)
            : type(type)
            , drawing(drawing)
        {
            common.layer = QStringLiteral("0");
            common.linetype = QStringLiteral("BYBLOCK");
            common.colour = Aci::ByBlock;
            common.lineweight = Lineweight::ByBlock;
            bool ok = false;
            const int page = drawing.codePage.section(u'_', 1).toInt(&ok);
            singleByte = ok ? singleByteCodePage(page) : nullptr;
            multiBytePage = ok && canDecodeMultiByte(page) ? page : 0;
            for (const QString &name : drawing.linetypeOrder) {
                // The stream's numbers leave out the two linetypes that are no linetypes.
                if (name.compare(u"BYLAYER", Qt::CaseInsensitive) != 0
                    && name.compare(u"BYBLOCK", Qt::CaseInsensitive) != 0)
                    linetypes.append(name);
            }
        }

        ProxyPicture decode(const QByteArray &graphics);

    private:
        // False when the command's data cannot be what its type says.
        bool command(quint32 command, Data &in);
        void add(Shape &&shape);
        void skip(const QString &what);
        void curve(const Vec3 &centre, const Vec3 &u, const Vec3 &v, double sweep);
        bool arcThrough(const Vec3 &a, const Vec3 &b, const Vec3 &c, bool whole);
        void polyline(std::vector<Vec3> &&points, bool closed);
        void fillRings(const std::vector<std::vector<Vec3>> &rings);
        bool shell(Data &in);
        bool lwPolyline(Data &in);
        bool text(quint32 command, Data &in);
        QString text8(const QByteArray &bytes) const;
        QString styleFor(const QString &font) const;

        const Affine &transform() const
        {
            return transforms.empty() ? identity : transforms.back();
        }

        QString type;
        const Drawing &drawing;
        EntityCommon common;
        bool filled = false;
        const Affine identity;
        std::vector<Affine> transforms;
        QStringList linetypes;
        const char16_t *singleByte = nullptr;
        int multiBytePage = 0;
        ProxyPicture picture;
        QMap<QString, int> counts;
        QStringList countOrder;
    };

    void Decoder::skip(const QString &what)
    {
        const QString name = type + QLatin1String(" (") + what + QLatin1Char(')');
        if (!counts.contains(name))
            countOrder.append(name);
        ++counts[name];
    }

    void Decoder::add(Shape &&shape)
    {
        picture.entities.push_back(Entity { common, std::move(shape), type, {} });
    }

    ProxyPicture Decoder::decode(const QByteArray &graphics)
    {
        Data header(graphics.constData(), graphics.size());
        const quint32 total = header.u32();
        const quint32 commands = header.u32();
        bool broken = !header.ok || total != quint32(graphics.size());
        const qsizetype end = std::min<qsizetype>(graphics.size(), total);
        qsizetype at = 8;
        quint32 done = 0;
        while (header.ok && at < end) {
            Data head(graphics.constData() + at, end - at);
            const quint32 size = head.u32();
            const quint32 command = head.u32();
            if (!head.ok || size < 8 || size > quint64(end - at)) {
                broken = true;
                break;
            }
            Data in(graphics.constData() + at + 8, qsizetype(size) - 8);
            if (!this->command(command, in) || !in.ok)
                skip(QStringLiteral("broken %1 graphics").arg(commandName(command)));
            at += size;
            ++done;
        }
        if (broken || done != commands)
            skip(QStringLiteral("broken graphics"));
        for (const QString &name : countOrder)
            picture.skipped.append({ name, counts.value(name) });
        return std::move(picture);
    }

    bool Decoder::command(quint32 command, Data &in)
    {
        switch (command) {
        case CircleCommand: {
            const Vec3 centre = in.vec();
            const double radius = in.real();
            const Vec3 normal = unit(in.vec());
            if (!in.ok || !(radius > 0) || norm(normal) == 0)
                return false;
            const Vec3 x = planeOf(normal).vector({ 1, 0, 0 });
            curve(centre, x * radius, cross(normal, x) * radius, 2 * pi);
            return true;
        }
        case Circle3P:
        case Arc3P: {
            const Vec3 a = in.vec(), b = in.vec(), c = in.vec();
            return in.ok && arcThrough(a, b, c, command == Circle3P);
        }
        case ArcCommand: {
            const Vec3 centre = in.vec();
            const double radius = in.real();
            const Vec3 normal = unit(in.vec());
            const Vec3 start = in.vec();
            const double sweep = in.real();
            // The start vector lies in the arc's plane; what is left of it gives the x axis.
            const Vec3 x = unit(start - normal * dot(start, normal));
            if (!in.ok || !(radius > 0) || norm(normal) == 0 || norm(x) == 0)
                return false;
            curve(
                centre, x * radius, cross(normal, x) * radius, std::clamp(sweep, -2 * pi, 2 * pi));
            return true;
        }
        case PolylineCommand:
        case Polygon:
        case PolylineNormal: {
            const quint32 n = in.count(24);
            std::vector<Vec3> points;
            points.reserve(n);
            for (quint32 i = 0; i < n; ++i)
                points.push_back(in.vec());
            if (!in.ok || n == 0)
                return false;
            if (command == Polygon && filled)
                fillRings({ points });
            else
                polyline(std::move(points), command == Polygon);
            return true;
        }
        case Mesh: {
            const quint32 rows = in.u32(), columns = in.u32();
            if (!in.ok || rows == 0 || columns == 0
                || quint64(rows) * columns * 24 > quint64(in.left()))
                return false;
            Polyline mesh;
            mesh.kind = Polyline::Kind::Mesh;
            mesh.meshM = int(rows);
            mesh.meshN = int(columns);
            for (quint64 i = 0; i < quint64(rows) * columns; ++i)
                mesh.vertices.push_back({ transform().point(in.vec()) });
            // The edge and face traits that follow do not change how the mesh is drawn.
            in.skip(in.left());
            add(std::move(mesh));
            return in.ok;
        }
        case Shell:
            return shell(in);
        case TextCommand:
        case Text2:
        case UnicodeText:
        case UnicodeText2:
            return text(command, in);
        case XLine:
        case Ray: {
            const Vec3 a = transform().point(in.vec()), b = transform().point(in.vec());
            if (!in.ok)
                return false;
            add(InfiniteLine { command == Ray, a, b - a });
            return true;
        }
        case LwPolyline:
            return lwPolyline(in);
        case Colour: {
            const quint32 index = in.u32();
            common.colour = index <= 256 ? int(index) : Aci::ByLayer;
            common.trueColour = -1;
            return in.ok;
        }
        case TrueColour: {
            // The high byte says how the rest is meant.
            const quint32 value = in.u32();
            common.trueColour = -1;
            switch (value >> 24) {
            case 0xc1:
                common.colour = Aci::ByBlock;
                break;
            case 0xc2:
                common.colour = 7;
                common.trueColour = std::int32_t(value & 0xffffff);
                break;
            case 0xc3:
                common.colour = std::clamp(int(value & 0xff), 1, 255);
                break;
            default:
                common.colour = Aci::ByLayer;
                break;
            }
            return in.ok;
        }
        case Layer: {
            const quint32 index = in.u32();
            // A number past the table keeps the layer the stream was on.
            if (in.ok && index < quint32(drawing.layerOrder.size()))
                common.layer = drawing.layerOrder.at(index);
            return in.ok;
        }
        case LinetypeCommand: {
            const quint32 index = in.u32();
            common.linetype = index == 32766        ? QStringLiteral("BYBLOCK")
                : index < quint32(linetypes.size()) ? linetypes.at(index)
                                                    : QString();
            return in.ok;
        }
        case LineweightCommand: {
            const qint32 weight = in.i32();
            common.lineweight
                = weight >= Lineweight::Default && weight <= 211 ? weight : Lineweight::ByLayer;
            return in.ok;
        }
        case LinetypeScale: {
            const double scale = in.real();
            common.linetypeScale = scale > 0 ? scale : 1;
            return in.ok;
        }
        case Fill:
            filled = in.u32() != 0;
            return in.ok;
        case PushTransform:
        case PushTransformNormal: {
            Affine pushed;
            if (in.left() >= 128) {
                // Four rows of four, points as columns; the last row is (0 0 0 1) for the maps
                // a plan picture can show.
                for (int r = 0; r < 4; ++r) {
                    for (int c = 0; c < 4; ++c) {
                        const double value = in.real();
                        if (r < 3)
                            pushed.m[r][c] = value;
                    }
                }
            } else if (in.left() >= 24) {
                // The plane of that normal, as for an entity's own coordinates.
                const Vec3 normal = in.vec();
                if (in.ok && norm(normal) > 0)
                    pushed = planeOf(normal);
                else
                    in.ok = false;
            } else {
                in.ok = false;
            }
            // Pushed even when unreadable, so that its pop finds it; the geometry in between
            // is placed as the outer transform has it and counted with the push.
            transforms.push_back(in.ok ? transform().after(pushed) : transform());
            return in.ok;
        }
        case PopTransform:
            if (!transforms.empty())
                transforms.pop_back();
            return true;
        case PushClip:
            // What it clips is drawn whole.
            skip(QStringLiteral("clip graphics"));
            return true;
        case Extents:
        case PopClip:
        case Marker:
        case Thickness:
        case PlotStyle:
        case Material:
        case Mapper:
            // Nothing a plotted plan shows.
            return true;
        default:
            skip(QStringLiteral("graphics command %1").arg(command));
            return true;
        }
    }

    // An arc from centre + u to centre + u cos(sweep) + v sin(sweep), u and v being conjugate
    // semi-axes in WCS before the model transform. Circles that stay circles on the plan are
    // circles and arcs; others are drawn by their points.
    void Decoder::curve(const Vec3 &centre, const Vec3 &u, const Vec3 &v, double sweep)
    {
        const Affine &m = transform();
        const Vec3 c = m.point(centre), pu = m.vector(u), pv = m.vector(v);
        const double ru = std::hypot(pu.x, pu.y), rv = std::hypot(pv.x, pv.y);
        const double turn = planCross(pu, pv);
        const bool whole = std::abs(sweep) >= 2 * pi - 1e-9;
        const double tolerance = 1e-9 * std::max(ru, rv);
        if (std::abs(ru - rv) <= tolerance && std::abs(pu.x * pv.x + pu.y * pv.y) <= tolerance * ru
            && ru > 0) {
            const Vec3 planCentre { c.x, c.y, 0 };
            if (whole) {
                add(Circle { planCentre, ru });
                return;
            }
            // Clockwise on the plan when v turns the other way from u, or the sweep does.
            const double start = std::atan2(pu.y, pu.x) * 180 / pi;
            const double degrees = sweep * 180 / pi * (turn < 0 ? -1 : 1);
            if (degrees >= 0)
                add(Arc { planCentre, ru, start, start + degrees });
            else
                add(Arc { planCentre, ru, start + degrees, start });
            return;
        }
        const int n = std::max(8, int(std::ceil(std::abs(sweep) / (2 * pi) * 72)));
        std::vector<Vec3> points;
        for (int i = 0; i <= n - (whole ? 1 : 0); ++i) {
            const double t = sweep * i / n;
            points.push_back(centre + u * std::cos(t) + v * std::sin(t));
        }
        polyline(std::move(points), whole);
    }

    // The circle through three points; for an arc, from a through b to c.
    bool Decoder::arcThrough(const Vec3 &a, const Vec3 &b, const Vec3 &c, bool whole)
    {
        const Vec3 ab = b - a, ac = c - a;
        const Vec3 n = cross(ab, ac);
        const double nn = dot(n, n);
        if (!(nn > 0) || !std::isfinite(nn))
            return false;
        const Vec3 centre
            = a + (cross(n, ab) * dot(ac, ac) + cross(ac, n) * dot(ab, ab)) * (1 / (2 * nn));
        const Vec3 normal = unit(n);
        const Vec3 ua = a - centre;
        const double radius = norm(ua);
        if (!finite(centre) || !(radius > 0))
            return false;
        const Vec3 x = unit(ua);
        const Vec3 y = cross(normal, x);
        // The normal turns a to b to c counter-clockwise: the sweep to c is the angle of c about
        // it.
        const Vec3 uc = c - centre;
        double sweep = std::atan2(dot(uc, y), dot(uc, x));
        if (sweep <= 0)
            sweep += 2 * pi;
        curve(centre, x * radius, y * radius, whole ? 2 * pi : sweep);
        return true;
    }

    void Decoder::polyline(std::vector<Vec3> &&points, bool closed)
    {
        Polyline p;
        p.kind = Polyline::Kind::ThreeD;
        p.closed = closed;
        p.vertices.reserve(points.size());
        for (const Vec3 &point : points)
            p.vertices.push_back({ transform().point(point) });
        add(std::move(p));
    }

    void Decoder::fillRings(const std::vector<std::vector<Vec3>> &rings)
    {
        Hatch hatch;
        hatch.solid = true;
        for (const auto &ring : rings) {
            HatchPath path;
            path.isPolyline = true;
            for (const Vec3 &point : ring)
                path.vertices.push_back({ transform().point(point) });
            hatch.paths.push_back(std::move(path));
        }
        add(std::move(hatch));
    }

    // Faces by their vertices' numbers; a negative count marks a hole in the face before.
    bool Decoder::shell(Data &in)
    {
        const quint32 n = in.count(24);
        std::vector<Vec3> vertices;
        vertices.reserve(n);
        for (quint32 i = 0; i < n; ++i)
            vertices.push_back(in.vec());
        const quint32 entries = in.count(4);
        std::vector<std::vector<Vec3>> rings;
        for (quint32 read = 0; in.ok && read < entries;) {
            const qint32 signedCount = in.i32();
            const quint32 count = quint32(std::abs(qint64(signedCount)));
            if (count > entries - read - 1)
                return false;
            read += 1 + count;
            std::vector<Vec3> ring;
            for (quint32 i = 0; i < count; ++i) {
                const quint32 index = in.u32();
                if (index >= n)
                    return false;
                ring.push_back(vertices[index]);
            }
            rings.push_back(std::move(ring));
        }
        // The edge and face traits that follow do not change how the shell is drawn.
        in.skip(in.left());
        if (!in.ok)
            return false;
        if (filled) {
            fillRings(rings);
        } else {
            for (auto &ring : rings)
                polyline(std::move(ring), true);
        }
        return true;
    }

    // A whole LWPOLYLINE in the bit coding of DWG data, after its size in bytes.
    bool Decoder::lwPolyline(Data &in)
    {
        const quint32 size = in.u32();
        if (!in.ok || size > quint64(in.left()))
            return false;
        Bits bits(in.here(), size);
        in.skip(in.left());
        const int flags = bits.bitShort();
        const double constantWidth = flags & 4 ? bits.bitDouble() : 0;
        const double elevation = flags & 8 ? bits.bitDouble() : 0;
        if (flags & 2)
            bits.bitDouble(); // thickness
        Vec3 normal { 0, 0, 1 };
        if (flags & 1) {
            normal.x = bits.bitDouble();
            normal.y = bits.bitDouble();
            normal.z = bits.bitDouble();
        }
        const qint32 points = bits.bitLong();
        const qint32 bulges = flags & 16 ? bits.bitLong() : 0;
        const bool r2010 = drawing.version >= QLatin1String("AC1024");
        const qint32 ids = r2010 && (flags & 1024) ? bits.bitLong() : 0;
        const qint32 widths = r2010 && (flags & 32) ? bits.bitLong() : 0;
        // Every value takes two bits at least: counts beyond that are lies.
        const qint64 most = bits.left() / 2;
        if (!bits.ok || points <= 0 || points > most || bulges < 0 || bulges > most || ids < 0
            || ids > most || widths < 0 || widths > most || norm(normal) == 0)
            return false;
        const bool rawPoints = drawing.version < QLatin1String("AC1015");
        std::vector<PolylineVertex> vertices(static_cast<size_t>(points));
        double x = 0, y = 0;
        for (qint32 i = 0; i < points; ++i) {
            x = i == 0 || rawPoints ? bits.rawDouble() : bits.bitDoubleDefault(x);
            y = i == 0 || rawPoints ? bits.rawDouble() : bits.bitDoubleDefault(y);
            vertices[size_t(i)].point = { x, y, 0 };
        }
        for (qint32 i = 0; i < bulges; ++i) {
            const double bulge = bits.bitDouble();
            if (i < points)
                vertices[size_t(i)].bulge = bulge;
        }
        for (qint32 i = 0; i < ids; ++i)
            bits.bitLong();
        for (qint32 i = 0; i < widths; ++i) {
            const double start = bits.bitDouble(), end = bits.bitDouble();
            if (i < points) {
                vertices[size_t(i)].startWidth = start;
                vertices[size_t(i)].endWidth = end;
            }
        }
        if (!bits.ok)
            return false;
        // Into WCS and through the model transform, flat on the plan: a mirroring map turns
        // the bulges the other way, a scaling one widens the widths.
        const Affine toWcs = transform().after(planeOf(normal, elevation));
        const Vec3 ex = toWcs.vector({ 1, 0, 0 }), ey = toWcs.vector({ 0, 1, 0 });
        const double turn = planCross(ex, ey);
        const double widthScale = std::sqrt(std::abs(turn));
        Polyline p;
        p.closed = flags & 512;
        p.constantWidth = constantWidth * widthScale;
        for (PolylineVertex &v : vertices) {
            const Vec3 w = toWcs.point(v.point);
            v.point = { w.x, w.y, 0 };
            v.bulge = turn < 0 ? -v.bulge : v.bulge;
            v.startWidth *= widthScale;
            v.endWidth *= widthScale;
        }
        p.vertices = std::move(vertices);
        add(std::move(p));
        return true;
    }

    bool Decoder::text(quint32 command, Data &in)
    {
        const Vec3 start = in.vec(), normal = unit(in.vec()), direction = unit(in.vec());
        const bool unicode = command == UnicodeText || command == UnicodeText2;
        double height = 0, widthFactor = 1, oblique = 0;
        QString string;
        bool backwards = false, upsideDown = false;
        QString font;
        if (command == TextCommand || command == UnicodeText) {
            height = in.real();
            widthFactor = in.real();
            oblique = in.real();
            string = unicode ? in.text16() : text8(in.bytes8());
        } else {
            string = unicode ? in.text16() : text8(in.bytes8());
            in.i32(); // length
            in.i32(); // raw
            height = in.real();
            widthFactor = in.real();
            oblique = in.real();
            in.real(); // tracking
            backwards = in.u32() != 0;
            upsideDown = in.u32() != 0;
            in.u32(); // vertical
            in.u32(); // underline
            in.u32(); // overline
            if (unicode) {
                for (int i = 0; i < 4; ++i)
                    in.u32(); // bold, italic, character set, pitch
                in.text16(); // type face
                font = in.text16();
            } else {
                font = text8(in.bytes8());
            }
        }
        if (!in.ok || norm(normal) == 0 || norm(direction) == 0)
            return false;
        // The baseline and the glyphs' up on the plan decide rotation, size and mirroring.
        const Affine &m = transform();
        const Vec3 d = m.vector(direction), up = m.vector(cross(normal, direction));
        const double dl = std::hypot(d.x, d.y), ul = std::hypot(up.x, up.y);
        if (!(dl > 0) || !(ul > 0))
            return true; // seen edge on: nothing to see
        Text t;
        const Vec3 p = m.point(start);
        t.insert = { p.x, p.y, 0 };
        t.height = height * ul;
        t.widthFactor = (widthFactor > 0 ? widthFactor : 1) * dl / ul;
        t.rotation = std::atan2(d.y, d.x) * 180 / pi;
        t.oblique = oblique * 180 / pi;
        t.generation = (backwards ? 2 : 0) | ((upsideDown != (planCross(d, up) < 0)) ? 4 : 0);
        t.style = styleFor(font);
        t.text = string;
        add(std::move(t));
        return true;
    }

    // Texts without a character set are in the drawing's code page.
    QString Decoder::text8(const QByteArray &bytes) const
    {
        if (singleByte) {
            QString out;
            out.reserve(bytes.size());
            for (char c : bytes) {
                const auto byte = static_cast<uchar>(c);
                out.append(byte < 0x80 ? QChar(byte) : QChar(singleByte[byte - 0x80]));
            }
            return out;
        }
        if (multiBytePage)
            return decodeMultiByte(multiBytePage, bytes);
        return QString::fromLatin1(bytes);
    }

    // The text style whose font file the stream names (the first by name, as the styles come
    // in no order), else the standard one. A style of fixed height would override the height
    // the stream gives, so it is never taken.
    QString Decoder::styleFor(const QString &font) const
    {
        const auto base = [](const QString &file) {
            const QString name = file.section(u'\\', -1).section(u'/', -1);
            return name.section(u'.', 0, 0).toUpper();
        };
        const QString wanted = base(font);
        QString found;
        for (const TextStyle &style : drawing.styles) {
            if (!wanted.isEmpty() && style.fixedHeight <= 0 && base(style.font) == wanted
                && (found.isEmpty() || style.name < found))
                found = style.name;
        }
        return found.isEmpty() ? QStringLiteral("Standard") : found;
    }

} // namespace

ProxyPicture decodeProxyGraphics(
    const QByteArray &graphics, const QString &type, const Drawing &drawing)
{
    return Decoder(type, drawing).decode(graphics);
}

} // namespace dxf
