#include "save/custompropertycopy.h"
#include "savefixture.h"

class CustomPropertyCopy : public SaveFixture {
protected:
    void SetUp() override
    {
        SaveFixture::SetUp();
        writeDocument("M.SLDPRT", R"({ "quilletStandIn": 1, "type": "part",
            "configurations": ["Default", "X1"],
            "properties": { "": { "Material": "steel", "Revision": "A", "Finish": "  anodised\t  " },
                            "X1": { "Revision": "B" } }, "geometry": [] })");
        writeDocument("EMPTY.SLDPRT", R"({ "quilletStandIn": 1, "type": "part",
            "configurations": ["Default"], "properties": {}, "geometry": [] })");
        writeDocument("D.SLDDRW", R"({ "quilletStandIn": 1, "type": "drawing",
            "properties": { "": { "Revision": "X", "Title": "kept" } },
            "sheets": [ { "name": "S", "paper": [420, 297], "views": [] } ] })");
        drawing = openDrawing("D.SLDDRW");
    }

    std::shared_ptr<CadDocument> model(const QString &name)
    {
        return app->open(drive.native(name));
    }

    QList<std::pair<QString, QString>> drawingProperties() const
    {
        QList<std::pair<QString, QString>> result;
        for (const QString &name : drawing->CustomPropertyNames(QString()))
            result.append({ name, drawing->CustomInfo2(QString(), name) });
        return result;
    }

    std::shared_ptr<StandInDocument> drawing;
};

TEST_F(CustomPropertyCopy, ConfigurationValuesWinOverGeneralOnes)
{
    // A model without properties writes nothing.
    ASSERT_TRUE(copyCustomProps(*model("EMPTY.SLDPRT"), "Default", *drawing));
    EXPECT_EQ(drawingProperties(),
        (QList<std::pair<QString, QString>> { { "Revision", "X" }, { "Title", "kept" } }));

    ASSERT_TRUE(copyCustomProps(*model("M.SLDPRT"), "X1", *drawing));
    const QList<std::pair<QString, QString>> expected { { "Revision", "B" }, { "Title", "kept" },
        { "Material", "steel" }, { "Finish", "anodised\t" } };
    EXPECT_EQ(drawingProperties(), expected);

    // A second copy changes nothing.
    ASSERT_TRUE(copyCustomProps(*model("M.SLDPRT"), "X1", *drawing));
    EXPECT_EQ(drawingProperties(), expected);
    // The general configuration only repeats the first pass.
    ASSERT_TRUE(copyCustomProps(*model("M.SLDPRT"), QString(), *drawing));
    EXPECT_EQ(drawing->CustomInfo2(QString(), "Revision"), "A");
}

// A model that counts properties it then cannot name: only a failing host does that.
class CountingButNamelessModel : public StandInDocument {
public:
    using StandInDocument::StandInDocument;
    int CustomPropertyCount(const QString &) override { return 2; }
    QStringList CustomPropertyNames(const QString &) override { return {}; }
};

TEST_F(CustomPropertyCopy, AnEmptyNameListEndsTheCopyWithFalse)
{
    DocumentData data;
    data.type = DocumentData::Type::Part;
    CountingButNamelessModel nameless(app, data, drive.native("N.SLDPRT"), "N.SLDPRT");
    EXPECT_FALSE(copyCustomProps(nameless, "Default", *drawing));
    EXPECT_EQ(drawingProperties().size(), 2);
}
