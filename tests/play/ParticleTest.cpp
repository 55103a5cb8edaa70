// Pickup particles: how long each kind lives and how the manager blends them.
#include "Core.h"
#include "Device.h"
#include "Harness.h"
#include "ParticleManager.h"
#include "Particle_Apple.h"
#include "Particle_BonusStar.h"
#include "TestPictures.h"
#include "Vec2.h"
#include "VideoDriver.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <sys/stat.h>

namespace
{
// A running game whose particle pictures are flat grey at half strength (0x80).
class ParticleGame
{
  public:
    ParticleGame() : harness(workDir()) {}

    static std::string workDir()
    {
        const std::string dir = makeWorkDir(
            {{"levels.ini", "levels/test.txt\n"}, {"levels/test.txt", "3 1\ntileset1\nnone.ogg\n#p#\n0\n"}},
            false);
        mkdir((dir + "/textures").c_str(), 0755);
        for (const char* name : {"part1.png", "part2.png", "part3.png"})
            writePicture(dir + "/textures/" + name, 64, 64, [](unsigned, unsigned) { return 0x808080FFu; });
        return dir;
    }

    Harness harness;
};

// Red channel of the back buffer at a logical point (one unit is one pixel here).
int redAt(int x, int y)
{
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, 768 - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return rgba[0];
}

void clearToDarkGrey()
{
    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}
} // namespace

struct LifeCase
{
    const char* name;
    std::function<Particle*()> make;
    int updates; // the update that removes it
};

void PrintTo(const LifeCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParticleLifeTest : public ::testing::TestWithParam<LifeCase>
{
};

TEST_P(ParticleLifeTest, RemovedInTheUpdateItFadesOut)
{
    ParticleGame game;
    ParticleManager manager;
    manager.add(GetParam().make());
    int updates = 0;
    while (!manager.getParticles().empty() && updates < 100)
    {
        manager.update();
        ++updates;
    }
    EXPECT_EQ(updates, GetParam().updates);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ParticleLifeTest,
                         ::testing::Values(LifeCase{"Glow",
                                                    [] {
                                                        return new Particle_Bonus(Vec2{0, 0});
                                                    },
                                                    18},
                                           LifeCase{"AppleGlow",
                                                    [] {
                                                        return new Particle_Apple(Vec2{0, 0});
                                                    },
                                                    18},
                                           LifeCase{"Star",
                                                    [] {
                                                        return new Particle_BonusStar(Vec2{0, 0});
                                                    },
                                                    28}),
                         [](const ::testing::TestParamInfo<LifeCase>& info)
                         { return std::string(info.param.name); });

TEST(ParticleTest, DrawnAdditivelyThenBlendingIsNormalAgain)
{
    ParticleGame game;
    ParticleManager manager;
    manager.add(new Particle_Bonus(Vec2{300, 300}));
    manager.add(new Particle_Bonus(Vec2{300, 300}));
    manager.add(new Particle_Bonus(Vec2{600, 300}));
    clearToDarkGrey();
    manager.draw();
    // The 0x40 background plus 0.6 of grey 0x80, twice over where two glows overlap.
    EXPECT_NEAR(redAt(300, 300), 0x40 + 2 * 0x4D, 3);
    EXPECT_NEAR(redAt(600, 300), 0x40 + 0x4D, 3);

    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);

    // A picture drawn after them mixes with what lies under it instead of adding to it.
    VideoDriver* videoDriver = Core::getDevice()->getVideoDriver();
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 0.6f);
    videoDriver->drawTexture(videoDriver->getTexture("textures/part2.png", true), Rect{800, 100, 900, 200},
                             Rect{0, 0, 1, 1});
    videoDriver->setColor(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_NEAR(redAt(850, 150), 0x40 * 0.4 + 0x80 * 0.6, 3);
}
