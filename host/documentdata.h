#pragma once

// The stand-in host's documents as plain data: what a stand-in JSON file holds, in file order.

#include "dxf/dxfdrawing.h"
#include "dxf/dxfsheets.h"

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <memory>
#include <variant>

// Custom properties of one configuration ("" for the general properties), in insertion order.
struct PropertySet {
    QString configuration;
    QList<std::pair<QString, QString>> values;

    // The value of the property, or a null string when there is none.
    QString value(const QString &name) const;
    bool contains(const QString &name) const;
    // Replaces an existing value or appends the property.
    void set(const QString &name, const QString &value);
};

// Model geometry in model millimetres.
struct PolylineShape {
    QList<QPointF> points;
    bool closed = false;
};
struct CircleShape {
    QPointF centre;
    double radius = 0;
};
struct LineShape {
    QPointF from;
    QPointF to;
};
// Angles in degrees, counter-clockwise from the positive x axis.
struct ArcShape {
    QPointF centre;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 0;
};
using Shape = std::variant<PolylineShape, CircleShape, LineShape, ArcShape>;

struct ViewData {
    QString name;
    // As written in the file: a native path, relative to the drawing's folder or absolute.
    QString model;
    QString configuration;
    // The view's centre on the sheet, in sheet millimetres from the bottom-left corner.
    double x = 0;
    double y = 0;
    // Model millimetres to sheet millimetres.
    double scale = 1;
    bool loaded = true;
};

struct NoteData {
    QString text;
    double x = 0;
    double y = 0;
};

struct SheetData {
    QString name;
    // Width and height in millimetres.
    QSizeF paper { 420, 297 };
    QString propertiesView = QStringLiteral("Default");
    QList<ViewData> views;
    QList<NoteData> notes;
};

// One entry of a drawing's selection, on its active sheet.
struct SelectionEntry {
    enum class Kind { View, Sheet, Note };
    Kind kind = Kind::View;
    QString name; // view or sheet name
    int noteIndex = 0;
};

struct DocumentData {
    enum class Type { Drawing, Part, Assembly };
    Type type = Type::Drawing;
    QList<PropertySet> properties;

    // Drawings.
    QList<SheetData> sheets;
    QString activeSheet;
    QList<SelectionEntry> selection;

    // A drawing read from a DXF file: its sheets above are its layouts, in the same order as
    // these, and have no views or notes; the drawing itself is shared, never changed.
    std::shared_ptr<const dxf::Drawing> dxf;
    QList<dxf::SheetInfo> dxfSheets;

    // Parts and assemblies.
    QStringList configurations;
    QList<Shape> geometry;

    const PropertySet *propertySet(const QString &configuration) const;
    // The set of that configuration, added empty when it is missing.
    PropertySet &propertySetFor(const QString &configuration);
    int sheetIndex(const QString &name) const;
};
