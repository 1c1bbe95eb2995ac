#include "savefixture.h"

#include "save/runpreparation.h"

void SaveFixture::SetUp()
{
    app = StandInApplication::create();
    Quilletmain::curProcName.clear();
    savedClock = Clock::setSource([] { return QDateTime(QDate(2005, 9, 9), QTime(9, 46, 30)); });
    drive.mkdir(QStringLiteral("Out"));
    choices.baseDir = drive.win(QStringLiteral("Out"));
}

void SaveFixture::TearDown()
{
    Clock::setSource(savedClock);
}

QString SaveFixture::writeDocument(const QString &relative, const QByteArray &json) const
{
    writeNative(drive.native(relative), json);
    return drive.win(relative);
}

std::shared_ptr<StandInDocument> SaveFixture::openDrawing(const QString &relative)
{
    const std::shared_ptr<StandInDocument> drawing = app->open(drive.native(relative));
    // A fresh state for the drawing; the choices stay as the test set them.
    const RunChoices kept = state.choices;
    state = openActiveDrawing(app);
    state.choices = kept;
    return drawing;
}

void SaveFixture::writePlate() const
{
    writeDocument(QStringLiteral("Models/PLATE.SLDPRT"), R"({
        "quilletStandIn": 1, "type": "part", "configurations": ["Default", "C"],
        "properties": { "": { "Material": "steel", "Revision": "A", "Description": "  Base plate  " },
                        "C": { "Revision": "C" } },
        "geometry": [ { "polyline": [[0,0],[200,0],[200,100],[0,100]], "closed": true } ] })");
    writeDocument(QStringLiteral("PLATE.SLDDRW"), R"({
        "quilletStandIn": 1, "type": "drawing",
        "properties": { "": { "Revision": "D" } },
        "sheets": [
          { "name": "Sheet1", "paper": [420, 297],
            "views": [ { "name": "Drawing View1", "model": "Models/PLATE.SLDPRT", "configuration": "Default",
                         "x": 200, "y": 150, "scale": 1 } ] },
          { "name": "Sheet2", "paper": [420, 297],
            "views": [ { "name": "Drawing View2", "model": "Models/PLATE.SLDPRT", "configuration": "C",
                         "x": 200, "y": 150, "scale": 1 } ] } ] })");
}
