// Seeds of scene2d_fuzz: a full scene file, one with odd values, and a bare root.
#include "fuzz/Seeds.h"
#include "tests/support/world/Scene2DFileWriter.h"

bool WriteSeeds() {
    using quor::test::Scene2DFileWriter;
    Scene2DFileWriter full;
    full.Light(200, 180, 160).Specular(10, 20, 30, true).MapBlock("map/town", 1600, 900, 3);
    full.Camera("type=\"0\" dist=\"1000\" angle=\"20\" fov=\"16\"").Direction(-2, -4, 5);
    const int tree = full.AddFile("map/tree.png");
    const int fire = full.AddFile("map/fire.spr");
    full.Model(tree, "Name=\"t\" Position=\"100,200\" Scale=\"1,1\" boundingMax=\"-1,-1\" boundingMin=\"-1,-1\"");
    full.Fx(fire, "Rotation=\"1.57\" EffectLevel=\"2\" Far=\"true\"");
    full.Water("position=\"10,20\" mapoffset=\"1,2,3,4\" speed=\"0.5\"").Sound(3, 10, 20);
    full.Raw("<PlaneFog num=\"1\"><PlaneFog_0 TextureName=\"res\\sfx\\fog.dds\"/></PlaneFog>");
    Scene2DFileWriter odd;
    odd.MapBlock("", 1023.9f, -5).Camera("type=\"1\" size=\"0\" angle=\"0\"");
    odd.Model(7).Model(-1).Raw("<Blaze num=\"3\"><Blaze_0/></Blaze>");
    quor::seeds::Seed("full.scn2", full.Text());
    quor::seeds::Seed("odd.scn2", odd.Text());
    quor::seeds::Seed("bare.scn2", std::string("<Scene2D/>"));
    return true;
}
