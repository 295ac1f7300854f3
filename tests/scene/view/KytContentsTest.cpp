#include <gtest/gtest.h>

#include "scene/annotation/KytAuxContents.h"
#include "tests/support/scene/GlFixture.h"

namespace {

// Exposes the protected parts of the base for the tests.
class Probe : public KytAuxContents {
public:
    using KytAuxContents::KytAuxContents;
    KytAuxContents* Duplicate() override { return new Probe(this); }
    void MakeList()
    {
        m_uDispList = glGenLists(1);
        glNewList(m_uDispList, GL_COMPILE);
        glEndList();
    }
    void CopyFrom(const KytContents* source) { Copy(source); }
};

TEST(KytContentsTest, SetDrawAnswersOnlyAChange)
{
    Probe p(7);
    EXPECT_TRUE(p.IsDraw());
    EXPECT_FALSE(p.SetDraw(true));
    EXPECT_TRUE(p.SetDraw(false));
    EXPECT_FALSE(p.IsDraw());
    EXPECT_FALSE(p.SetDraw(false));
    EXPECT_EQ(p.GetID(), 7u);
    EXPECT_EQ(p.GetAuxType(), AUXTYPE_GENERAL);
    EXPECT_FALSE(p.IsPickable());
}

using KytContentsGl = quor::test::GlFixture;

TEST_F(KytContentsGl, DestroyTwiceDeletesTheListOnce)
{
    Open();
    Probe p(1);
    p.MakeList();
    const unsigned list = p.GetDispList();
    ASSERT_TRUE(glIsList(list));
    p.Destroy();
    EXPECT_EQ(p.GetDispList(), 0u);
    EXPECT_FALSE(glIsList(list));
    // Another object's list may take the freed number; a second Destroy must not touch it.
    Probe other(2);
    other.MakeList();
    p.Destroy();
    EXPECT_TRUE(glIsList(other.GetDispList()));
    other.Destroy();
}

TEST_F(KytContentsGl, CopyDropsTheListTheCopyConstructorKeepsIt)
{
    Open();
    Probe src(5);
    src.SetDraw(false);
    src.MakeList();
    Probe viaCopy(9);
    viaCopy.CopyFrom(&src);
    EXPECT_EQ(viaCopy.GetID(), 5u);
    EXPECT_FALSE(viaCopy.IsDraw());
    EXPECT_EQ(viaCopy.GetDispList(), 0u);
    Probe fromSource(&src);
    EXPECT_EQ(fromSource.GetID(), 5u);
    EXPECT_EQ(fromSource.GetDispList(), 0u);
    Probe byValue(src);
    EXPECT_EQ(byValue.GetDispList(), src.GetDispList());
    Probe none(static_cast<const KytAuxContents*>(nullptr));
    EXPECT_EQ(none.GetID(), 0u);
    EXPECT_TRUE(none.IsDraw());
    src.Destroy();
}

TEST(KytAuxContentsTest, SearchFollowsTheChainAfterItself)
{
    Probe a(3), b(4), c(3), d(5);
    a.pNextAux = &b;
    b.pNextAux = &c;
    c.pNextAux = &d;
    EXPECT_EQ(a.Search(3), &c);  // a itself is not examined
    EXPECT_EQ(a.Search(5), &d);
    EXPECT_EQ(a.Search(6), nullptr);
    EXPECT_EQ(d.Search(5), nullptr);
    b.SetSubDrawFlag(false);
    KytAuxContents* dup = b.Duplicate();
    EXPECT_EQ(dup->GetID(), 4u);
    EXPECT_FALSE(dup->bSubDraw);
    EXPECT_EQ(dup->pNextAux, nullptr);
    delete dup;
}

}  // namespace
