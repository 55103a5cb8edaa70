// The level file's characters for falling things, bonuses and ants make the right things.
#include "Core.h"
#include "Entity_Apple.h"
#include "Entity_Bomb.h"
#include "Entity_Box.h"
#include "Entity_Diamond.h"
#include "Entity_Enemy1.h"
#include "Entity_Enemy2.h"
#include "Entity_Key.h"
#include "Entity_Rock.h"
#include "Game.h"
#include "GlRecorder.h"
#include "Harness.h"
#include "Level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
// What a thing of the level is, as its level-file character ('k0'/'k1' for keys by colour).
std::string kindOf(Entity* e)
{
    if (dynamic_cast<Entity_Rock*>(e))
        return "r";
    if (dynamic_cast<Entity_Box*>(e))
        return "Z";
    if (dynamic_cast<Entity_Diamond*>(e))
        return "b";
    if (dynamic_cast<Entity_Apple*>(e))
        return "B";
    if (dynamic_cast<Entity_Bomb*>(e))
        return "*";
    if (Entity_Key* key = dynamic_cast<Entity_Key*>(e))
        return "k" + std::to_string(key->getColor());
    if (dynamic_cast<Entity_Enemy1*>(e))
        return "e";
    if (dynamic_cast<Entity_Enemy2*>(e))
        return "E";
    return "?";
}
} // namespace

TEST(BonusReaderTest, EveryThingCharacterMakesItsThingOnItsCellCentre)
{
    Harness harness(
        makeWorkDir({{"levels.ini", "levels/test.txt\n"},
                     {"levels/test.txt", "11 2\ntileset1\nnone.ogg\nrZbB*\"'eEbp\n###########\n0\n"}}));
    Level* level = Core::getGame()->getLevel();
    std::string kinds;
    uint16_t column = 0;
    for (Entity* e = level->firstEntity(); e; e = level->nextEntity(), ++column)
    {
        kinds += kindOf(e) + " ";
        EXPECT_FLOAT_EQ(e->getPosition().x, column * 64.0f + 32.0f) << kinds;
        EXPECT_FLOAT_EQ(e->getPosition().y, 32.0f) << kinds;
    }
    EXPECT_EQ(kinds, "r Z b B * k0 k1 e E b ");
    EXPECT_EQ(level->getDiamondCount(), 2);

    std::string enemies;
    for (Entity* e = level->firstEnemy(); e; e = level->nextEnemy())
        enemies += kindOf(e);
    EXPECT_EQ(enemies, "eE");
}

TEST(BonusReaderTest, KeysOfEachColourShowTheirOwnHalfOfTheSheet)
{
    Harness harness(makeWorkDir({{"levels.ini", "levels/test.txt\n"},
                                 {"levels/test.txt", "3 2\ntileset1\nnone.ogg\n\"'p\n###\n0\n"}}));
    Level* level = Core::getGame()->getLevel();
    ASSERT_EQ(level->getEntityCount(), 2u);
    for (Entity* e = level->firstEntity(); e; e = level->nextEntity())
    {
        Entity_Key* key = dynamic_cast<Entity_Key*>(e);
        ASSERT_NE(key, nullptr);
        const std::vector<RecordedQuad> quads = recordQuads([key] { key->draw(); });
        ASSERT_EQ(quads.size(), 1u);
        float top = 1.0f;
        for (const RecordedVertex& corner : quads[0].corners)
            top = std::min(top, corner.t);
        // Colour 0 animates frames 32-63 (rows 4-7 of the sheet), colour 1 frames 0-31.
        if (key->getColor() == 0)
            EXPECT_GE(top, 0.5f);
        else
            EXPECT_LT(top, 0.5f);
    }
}
