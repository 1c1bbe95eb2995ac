#pragma once

// A DXF drawing as plain data, as the reader leaves it: the header values the host uses, the
// tables, the blocks, model space and the paper-space layouts with their plot settings. Texts are
// decoded to Unicode (the file's code page, UTF-8 from R2007 on, \U+XXXX escapes resolved);
// formatting codes inside texts (MTEXT's \P, %%d, ...) are left for the drawing code. Points are
// in the entity's coordinate system as the file gives them (OCS for planar entities).

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace dxf {

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;

    QPointF xy() const { return { x, y }; }
    friend bool operator==(const Vec3 &, const Vec3 &) = default;
};

// Colour numbers as the file has them: 1..255 the index colours, 0 by block, 256 by layer.
namespace Aci {
    constexpr int ByBlock = 0;
    constexpr int ByLayer = 256;
} // namespace Aci

// Lineweights in hundredths of a millimetre, or one of these.
namespace Lineweight {
    constexpr int ByLayer = -1;
    constexpr int ByBlock = -2;
    constexpr int Default = -3;
} // namespace Lineweight

// What every entity carries besides its geometry.
struct EntityCommon {
    QString layer = QStringLiteral("0");
    // "" means by layer, as does "BYLAYER"; "BYBLOCK" and "CONTINUOUS" as written.
    QString linetype;
    int colour = Aci::ByLayer;
    // 0xRRGGBB, or -1 when the entity has no true colour.
    std::int32_t trueColour = -1;
    int lineweight = Lineweight::ByLayer;
    double linetypeScale = 1;
    bool invisible = false;
    bool paperSpace = false;
    // Handles are the file's hexadecimal numbers; 0 when absent.
    quint64 handle = 0;
    quint64 owner = 0;
    // The normal of the entity's plane (its OCS), (0, 0, 1) for most.
    Vec3 extrusion { 0, 0, 1 };
    // 1-based line of the entity's "0" group in an ASCII file, its byte offset in a binary one.
    qint64 line = 0;
};

struct Line {
    Vec3 start;
    Vec3 end;
    double thickness = 0;
};
struct Circle {
    Vec3 centre;
    double radius = 0;
};
// Angles in degrees, counter-clockwise in the OCS.
struct Arc {
    Vec3 centre;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 360;
};
// In WCS. Parameters in radians; the whole ellipse runs from 0 to 2 pi.
struct Ellipse {
    Vec3 centre;
    Vec3 majorAxis { 1, 0, 0 };
    double ratio = 1;
    double startParameter = 0;
    double endParameter = 6.283185307179586;
};
struct PolylineVertex {
    Vec3 point;
    double startWidth = 0;
    double endWidth = 0;
    // Tangent of a quarter of the arc's included angle to the next vertex; 0 for a straight
    // segment, negative clockwise.
    double bulge = 0;
};
// LWPOLYLINE, and the 2D and 3D POLYLINE with its VERTEX entities. Meshes and polyface meshes
// keep their vertices and are drawn by their edges.
struct Polyline {
    enum class Kind { Flat, ThreeD, Mesh, PolyfaceMesh };
    Kind kind = Kind::Flat;
    std::vector<PolylineVertex> vertices;
    bool closed = false;
    // Code 43 (LWPOLYLINE) or 40/41 defaults (POLYLINE); applies where a vertex sets none.
    double constantWidth = 0;
    double elevation = 0;
    // Mesh: vertex counts in M and N; polyface: the faces' 1-based vertex indices (negative for
    // an invisible edge), four per face, 0 where unused.
    int meshM = 0;
    int meshN = 0;
    bool meshClosedM = false;
    bool meshClosedN = false;
    std::vector<std::array<int, 4>> faces;
};
// In WCS.
struct Spline {
    int degree = 3;
    bool closed = false;
    bool periodic = false;
    bool rational = false;
    std::vector<double> knots;
    std::vector<Vec3> controlPoints;
    std::vector<double> weights;
    std::vector<Vec3> fitPoints;
};
struct Point {
    Vec3 position;
    // The angle of the X axis of the OCS for the point's symbol; unused by most files.
    double angle = 0;
};
// SOLID and TRACE (filled; the third and fourth corners are in crossed order as the file has
// them) and 3DFACE (outlined; invisibleEdges bit i hides the edge from corner i).
struct Face {
    enum class Kind { Solid, Trace, Face3D };
    Kind kind = Kind::Solid;
    Vec3 corners[4];
    int invisibleEdges = 0;
};
// TEXT, ATTRIB and ATTDEF. Horizontal 0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit;
// vertical 0 baseline, 1 bottom, 2 middle, 3 top. Every alignment but left on the baseline
// places the text by alignPoint.
struct Text {
    Vec3 insert;
    Vec3 alignPoint;
    bool hasAlignPoint = false;
    double height = 2.5;
    double rotation = 0;
    double widthFactor = 1;
    double oblique = 0;
    QString style = QStringLiteral("Standard");
    int horizontal = 0;
    int vertical = 0;
    // Bit 2 mirrored in X, bit 4 mirrored in Y.
    int generation = 0;
    QString text;
    // ATTRIB and ATTDEF only.
    QString tag;
    bool attributeInvisible = false;
};
// Attachment 1..9: top, middle, bottom rows of left, centre, right.
struct MText {
    Vec3 insert;
    double height = 2.5;
    // 0 for no wrapping.
    double referenceWidth = 0;
    int attachment = 1;
    // The direction of the text's baseline in WCS, when the file gives one (code 11); else the
    // rotation in degrees.
    Vec3 direction;
    bool hasDirection = false;
    double rotation = 0;
    double lineSpacingFactor = 1;
    QString style = QStringLiteral("Standard");
    // Codes 3 then 1, joined, with the formatting codes kept.
    QString text;
};
// INSERT, MINSERT (columns and rows), and the attributes that follow it.
struct Insert {
    QString block;
    Vec3 insert;
    Vec3 scale { 1, 1, 1 };
    double rotation = 0;
    int columns = 1;
    int rows = 1;
    double columnSpacing = 0;
    double rowSpacing = 0;
    std::vector<Text> attributes;
    // The attributes' own common values, in the same order.
    std::vector<EntityCommon> attributeCommons;
};
// ACAD_TABLE and everything else that is drawn from an anonymous block: the block is inserted at
// insert with its scale.
struct BlockDrawn {
    QString block;
    Vec3 insert;
    Vec3 scale { 1, 1, 1 };
    double rotation = 0;
};
// The dimension variables a dimension or leader is drawn with, resolved by the reader: the
// entity's own overrides, then its dimension style, then the header's values where the style
// is silent, then the defaults below. Lengths are in drawing units before the scale.
struct DimensionStyle {
    // DIMSCALE; the file's 0 ("fit to the viewport") is kept as 1.
    double scale = 1;
    double arrowSize = 0.18;
    // How far extension lines stay off their origins and run past the dimension line.
    double extensionOffset = 0.0625;
    double extensionBeyond = 0.18;
    double textHeight = 0.18;
    // Ticks of this size instead of arrowheads when positive.
    double tickSize = 0;
    // Space around the text where the dimension line breaks.
    double textGap = 0.09;
    // Measured lengths are multiplied by this before they are written.
    double lengthFactor = 1;
    // 0 the text centred on the dimension line, else above it.
    int textAbove = 0;
    // Texts inside and outside the extension lines stand level rather than along the line.
    bool textInsideLevel = true;
    bool textOutsideLevel = true;
    int decimals = 4;
    int angleDecimals = 0;
    // Bit 4 drops leading zeros, bit 8 trailing zeros of decimals.
    int zeroSuppression = 0;
    QChar decimalSeparator = u'.';
    // The measurement's prefix and suffix: "<>" stands for the measurement, else a suffix.
    QString post;
    // Index colours of the dimension line, extension lines and text (0 by block, 256 by layer).
    int lineColour = Aci::ByBlock;
    int extensionColour = Aci::ByBlock;
    int textColour = Aci::ByBlock;
    // Arrowhead block names ("" closed filled, "_ArchTick", "_Dot", ... or the file's own
    // block); the first and second ends differ only when separateArrows is set.
    QString arrowBlock;
    QString arrowBlock1;
    QString arrowBlock2;
    bool separateArrows = false;
    QString textStyle = QStringLiteral("Standard");
};
// DIMENSION: drawn from its block when the file has it, else from its definition points.
struct Dimension {
    enum class Kind { Linear, Aligned, Angular, Diameter, Radius, Angular3Point, Ordinate };
    QString block;
    Kind kind = Kind::Linear;
    // Ordinate dimensions measure x when set, y otherwise.
    bool ordinateX = false;
    // Code 10, the dimension line's point (the centre for radii, the far side for diameters,
    // the origin for ordinates); 11 the text's middle; 13 to 16 as each kind uses them.
    Vec3 definition;
    Vec3 textMiddle;
    Vec3 point13;
    Vec3 point14;
    Vec3 point15;
    Vec3 point16;
    // Degrees: the direction of a linear dimension's line, and the text's own rotation when
    // hasTextRotation.
    double rotation = 0;
    double textRotation = 0;
    bool hasTextRotation = false;
    // "" or "<>" for the measurement alone, " " for no text; "<>" inside stands for it.
    QString text;
    DimensionStyle style;
};
struct Leader {
    std::vector<Vec3> vertices;
    bool arrowhead = true;
    // The leader's dimension style's arrow size times its scale, as the reader resolves it.
    double arrowSize = 0.18;
    bool spline = false;
};
// MULTILEADER as its context data lays it out: branches from a landing point along the dogleg,
// each with leader lines whose first vertex carries the arrowhead, and an MTEXT or a block.
struct MultiLeader {
    struct Branch {
        Vec3 landing;
        Vec3 doglegDirection { 1, 0, 0 };
        double doglegLength = 0;
        std::vector<std::vector<Vec3>> lines;
    };
    std::vector<Branch> branches;
    // 0 no leader lines, 1 straight, 2 a spline.
    int lineType = 1;
    bool dogleg = true;
    double arrowSize = 0.18;
    // The arrowhead's block record, 0 for the closed filled arrow.
    quint64 arrowBlockRecord = 0;
    // Colours as index colours (0 by block, 256 by layer), or true colours 0xRRGGBB.
    int lineColour = Aci::ByBlock;
    std::int32_t lineTrueColour = -1;
    int textColour = Aci::ByBlock;
    std::int32_t textTrueColour = -1;
    bool hasText = false;
    MText text;
    bool hasBlock = false;
    QString block;
    Vec3 blockPosition;
    Vec3 blockScale { 1, 1, 1 };
    // Degrees.
    double blockRotation = 0;
};
struct HatchEdge {
    enum class Kind { Line, Arc, Ellipse, Spline };
    Kind kind = Kind::Line;
    QPointF start;
    QPointF end;
    // Arc: centre, radius, angles in degrees, counter-clockwise flag. Ellipse: centre, major
    // axis end relative to centre (in end), ratio in radius, angles in degrees.
    QPointF centre;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 0;
    bool counterClockwise = true;
    Spline spline;
};
struct HatchPath {
    // Polyline paths keep their vertices with bulges; edge paths their edges.
    bool isPolyline = false;
    std::vector<PolylineVertex> vertices;
    bool closed = true;
    std::vector<HatchEdge> edges;
    int flags = 0;
};
struct HatchPatternLine {
    double angle = 0;
    QPointF base;
    QPointF offset;
    std::vector<double> dashes;
};
// In the OCS at elevation.
struct Hatch {
    bool solid = false;
    QString pattern;
    std::vector<HatchPath> paths;
    std::vector<HatchPatternLine> patternLines;
    double patternAngle = 0;
    double patternScale = 1;
    double elevation = 0;
};
// IMAGE and WIPEOUT: a picture of pixels along u and v from the insertion point. The clip
// boundary is in pixel coordinates (rectangle: two corners; polygon: the points).
struct Image {
    bool wipeout = false;
    Vec3 insert;
    Vec3 u;
    Vec3 v;
    double widthPixels = 1;
    double heightPixels = 1;
    quint64 imageDef = 0;
    bool clipped = false;
    std::vector<QPointF> clipBoundary;
};
struct InfiniteLine {
    bool ray = false;
    Vec3 start;
    Vec3 direction;
};
// A paper-space viewport onto model space.
struct Viewport {
    // Centre, width and height on the paper.
    Vec3 centre;
    double width = 0;
    double height = 0;
    // 1 for the paper-space viewport itself (the layout's own view); others from 2.
    int id = 0;
    // Off, or not to be drawn, when status is 0 or negative.
    int status = 1;
    QPointF viewCentre;
    double viewHeight = 0;
    Vec3 viewDirection { 0, 0, 1 };
    Vec3 viewTarget;
    double twist = 0;
    // Handles of the layers frozen in this viewport (codes 331).
    std::vector<quint64> frozenLayers;
    // The entity whose outline clips the viewport (code 340), or 0.
    quint64 clipBoundary = 0;
    int flags = 0;
};
// MLINE: parallel lines along the vertices, as its MLINESTYLE (by handle, else by name) lays
// them out. In WCS.
struct MLine {
    struct Vertex {
        Vec3 point;
        // The segment that starts here, and the line across it on which the elements meet.
        Vec3 direction { 1, 0, 0 };
        Vec3 miter { 0, 1, 0 };
        // For each element (codes 41): its distance from the vertex along the miter, then the
        // stretches along the segment where it is drawn and broken; empty when the file gives
        // none.
        std::vector<std::vector<double>> elements;
    };
    quint64 style = 0;
    QString styleName = QStringLiteral("STANDARD");
    double scale = 1;
    // 0 top, 1 zero, 2 bottom: which element runs through the vertices.
    int justification = 0;
    bool closed = false;
    bool suppressStartCaps = false;
    bool suppressEndCaps = false;
    std::vector<Vertex> vertices;
};
struct MLineStyle {
    struct Element {
        double offset = 0;
        int colour = Aci::ByLayer;
        std::int32_t trueColour = -1;
        QString linetype;
    };
    QString name;
    // 1 filled, 2 miters shown; start caps 16 a line, 32 inner arcs, 64 outer arcs; end caps
    // the same times 16.
    int flags = 0;
    int fillColour = Aci::ByLayer;
    std::int32_t fillTrueColour = -1;
    std::vector<Element> elements;
};
// TOLERANCE: a feature control frame, its rows split by ^J and its boxes by %%v, with the
// dimension variables it is drawn with (text height, gap, colours, text style).
struct Tolerance {
    Vec3 insert;
    Vec3 direction { 1, 0, 0 };
    QString text;
    DimensionStyle style;
};
// MESH at its level 0: vertices in WCS and faces as lists of 0-based vertex indices.
struct Mesh {
    std::vector<Vec3> vertices;
    std::vector<std::vector<int>> faces;
};
// An entity the reader met but does not know, kept by its type name so that it is counted.
struct Unsupported {
    QString type;
};

// A shape too large to sit in every entity's variant (a variant is as large as its largest
// alternative, and drawings hold hundreds of thousands of entities): kept on the heap, shared by
// copies, read through * and ->.
template <typename T> class Boxed {
public:
    Boxed(T value)
        : shared(std::make_shared<const T>(std::move(value)))
    {
    }
    const T &operator*() const { return *shared; }
    const T *operator->() const { return shared.get(); }

private:
    std::shared_ptr<const T> shared;
};

using Shape = std::variant<Line, Circle, Arc, Ellipse, Polyline, Spline, Point, Face, Text, MText,
    Insert, BlockDrawn, Boxed<Dimension>, Leader, Boxed<MultiLeader>, Hatch, Image, InfiniteLine,
    Viewport, MLine, Boxed<Tolerance>, Mesh, Unsupported>;

struct Entity {
    EntityCommon common;
    Shape shape;
    // The type name as the file writes it ("LWPOLYLINE", "ATTDEF", ...).
    QString type;
    // The picture the entity's own program drew of it (proxy graphics), as stored in the file;
    // empty for the entities that carry none, which are most.
    QByteArray proxyGraphics;
};

struct Block {
    QString name;
    Vec3 basePoint;
    quint64 recordHandle = 0;
    // External references and layouts' own blocks are marked in these flags as the file has
    // them.
    int flags = 0;
    std::vector<Entity> entities;
};

struct Layer {
    QString name;
    // Negative in the file when the layer is off; kept positive here.
    int colour = 7;
    bool off = false;
    bool frozen = false;
    bool plotted = true;
    std::int32_t trueColour = -1;
    QString linetype = QStringLiteral("CONTINUOUS");
    int lineweight = Lineweight::Default;
    quint64 handle = 0;
};

struct Linetype {
    QString name;
    // Dash lengths in drawing units: positive drawn, negative gaps, 0 a dot.
    std::vector<double> pattern;
    double totalLength = 0;
};

struct TextStyle {
    QString name;
    // The font file as written ("txt", "arial.ttf", "simplex.shx", ...).
    QString font;
    // The family from the extended data of TrueType styles, when the file gives it.
    QString family;
    double fixedHeight = 0;
    double widthFactor = 1;
    double oblique = 0;
    // As the file has them: 1 a shape file rather than a font, 4 vertical text.
    int flags = 0;
};

// The page QCAD keeps for a space in its block record's extended data, by which it plots that
// space instead of the plot settings: the paper in mm as named (turned when landscape; 0 when the
// page names none), paper mm per drawing unit, and the drawing point at the paper's lower-left
// corner.
struct OwnPage {
    double paperWidth = 0;
    double paperHeight = 0;
    bool landscape = false;
    double scale = 1;
    QPointF offset;
};

// A paper-space layout with the plot settings the drawing code needs.
struct Layout {
    QString name;
    int tabOrder = 0;
    quint64 handle = 0;
    // The block record of the layout's entities (code 330 of the LAYOUT object's layout data).
    quint64 blockRecord = 0;
    // The block that holds them: "*Paper_Space", "*Paper_Space0", ...; empty for model space.
    QString block;
    // Paper size and unprintable margins in mm as the plot settings give them: the media as
    // named (A4 is 210 x 297 however it is plotted); the rotation turns the plot on it.
    double paperWidth = 0;
    double paperHeight = 0;
    double marginLeft = 0;
    double marginBottom = 0;
    double marginRight = 0;
    double marginTop = 0;
    QString paperName;
    // 0 none, 1 90 degrees, 2 180, 3 270 (counter-clockwise).
    int rotation = 0;
    // 0 inches, 1 mm: the units of the layout's own drawing.
    int paperUnits = 1;
    // 0 last display, 1 extents, 2 limits, 3 view, 4 window, 5 layout.
    int plotType = 5;
    QPointF plotOrigin;
    QPointF windowMin;
    QPointF windowMax;
    // Paper units per drawing unit: numerator over denominator (codes 142, 143).
    double printScaleNumerator = 1;
    double printScaleDenominator = 1;
    // 4 centred on the printable area, 16 the scale is the standard one of standardScale.
    int plotFlags = 0;
    // The standard scale's number: 0 fitted to the printable area, 16 1:1, ...
    int standardScale = 16;
    QPointF limitsMin;
    QPointF limitsMax;
    Vec3 extentsMin;
    Vec3 extentsMax;
    std::optional<OwnPage> ownPage;
};

struct Drawing {
    // $ACADVER as written ("AC1009" for R12 ... "AC1032" for R2018).
    QString version;
    QString codePage;
    bool binary = false;
    // $INSUNITS: 0 unitless, 1 inches, 4 mm, ...; $MEASUREMENT 0 imperial, 1 metric.
    int insertionUnits = 0;
    int measurement = 1;
    double linetypeScale = 1;
    // $PSLTSCALE: dashes seen through a viewport are as long on paper as in paper space,
    // whatever the viewport's scale.
    bool paperLinetypeScaling = true;
    int pointMode = 0;
    double pointSize = 0;
    bool modelSpaceActive = true;
    Vec3 extentsMin;
    Vec3 extentsMax;
    QPointF limitsMin;
    QPointF limitsMax;
    Vec3 paperExtentsMin;
    Vec3 paperExtentsMax;
    QPointF paperLimitsMin;
    QPointF paperLimitsMax;
    // In the order of the file.
    QList<std::pair<QString, QString>> customProperties;
    // Title, subject, author, keywords, comments (by these names), where the file holds them.
    QList<std::pair<QString, QString>> summary;

    // Keyed by upper-case name.
    QHash<QString, Layer> layers;
    QHash<QString, Linetype> linetypes;
    QHash<QString, TextStyle> styles;
    // Layer and linetype names in the order of their tables, as proxy graphics number them.
    QStringList layerOrder;
    QStringList linetypeOrder;
    // Layer names by handle, for a viewport's frozen layers.
    QHash<quint64, QString> layerNamesByHandle;
    // Block names by their block record's handle.
    QHash<quint64, QString> blockNamesByRecord;
    // Image files by the handle of their IMAGEDEF object, as written.
    QHash<quint64, QString> imageFiles;
    // Multiline styles by the handle of their MLINESTYLE object.
    QHash<quint64, MLineStyle> mlineStyles;

    // Keyed by upper-case name; model space and the layouts' own blocks are here too, so a
    // layout's entities are its block's.
    QHash<QString, Block> blocks;
    // Model space, from the ENTITIES section and the *Model_Space block.
    std::vector<Entity> modelSpace;
    // Paper-space entities of the layout that was active in the file (the ENTITIES section's
    // entities with code 67).
    std::vector<Entity> activePaperSpace;
    // From the OBJECTS section; for a file without layout objects (R12), one "Layout1" made
    // from the header's paper-space limits when paper space holds anything.
    QList<Layout> layouts;
    // The layout the file was saved on, or empty when model space was active.
    QString activeLayout;
    // Model space's own page, where the writer keeps one.
    std::optional<OwnPage> modelPage;
    // Entities the reader could find no handle or owner for, viewports whose clip entity is
    // missing, and so on: messages for the log, with their line.
    QStringList warnings;

    const Block *block(const QString &name) const;
    const Layer *layer(const QString &name) const;
    // The entities of a layout: the active one's from the ENTITIES section, the others' from
    // their blocks.
    const std::vector<Entity> &entitiesOf(const Layout &layout) const;
    // The entity with that handle in model space, paper space or any block; nullptr when none.
    const Entity *entityByHandle(quint64 handle) const;
};

} // namespace dxf
