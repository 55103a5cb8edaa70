// Writes every sound effect of the game as a 16-bit mono WAV at 44.1 kHz. Each effect is a
// short recipe of oscillators, filtered noise and envelopes; the dig, step and landing sounds
// are kept apart by pitch, colour and length.
//
// Usage: quarrow_gen_sounds <sounds folder>

#include "Synth.h"

#include <cstdio>
#include <functional>
#include <sys/stat.h>

using namespace synth;

namespace
{

using Buffer = std::vector<float>;

Buffer make(double seconds, const std::function<float(double t, size_t i)>& voice)
{
    Buffer b(size_t(seconds * kRate));
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = voice(double(i) / kRate, i);
    return b;
}

// Inharmonic bell: a few partials with their own decays.
float bell(double t, double f, double decay, const std::vector<double>& ratios)
{
    if (t < 0)
        return 0;
    float v = 0;
    double amp = 1;
    for (double r : ratios)
    {
        v += float(amp * std::sin(kTau * f * r * t) * std::exp(-t / (decay / r * 1.5)));
        amp *= 0.55;
    }
    return v * std::fmin(1.0f, float(t / 0.002));
}

Buffer appleBite()
{
    Noise n(1);
    Biquad bp;
    bp.set(Biquad::BandPass, 2200, 1.2);
    return make(0.38,
                [&](double t, size_t)
                {
                    const float crunch =
                        bp.run(n.white()) * (hit(t, 0.002, 0.025) + 0.6f * hit(t - 0.05, 0.002, 0.02));
                    const float chime = bell(t - 0.06, noteFreq(76), 0.12, {1, 2}) * 0.35f +
                                        bell(t - 0.14, noteFreq(83), 0.16, {1, 2}) * 0.35f;
                    return crunch * 1.6f + chime;
                });
}

Buffer diamondChime()
{
    return make(
        0.6,
        [&](double t, size_t)
        {
            const int notes[3] = {84, 88, 91};
            float v = 0;
            for (int k = 0; k < 3; ++k)
                v += bell(t - k * 0.06, noteFreq(notes[k]), 0.22, {1, 2.0, 3.01}) * (k == 2 ? 0.5f : 0.4f);
            return v;
        });
}

Buffer keyJingle()
{
    return make(0.5,
                [&](double t, size_t)
                {
                    const std::vector<double> metal = {1, 2.76, 5.4, 8.93};
                    return bell(t, 1250, 0.12, metal) * 0.5f + bell(t - 0.085, 1480, 0.16, metal) * 0.5f +
                           bell(t - 0.17, 1170, 0.12, metal) * 0.3f;
                });
}

Buffer bombPickup()
{
    Osc o, q;
    return make(0.32,
                [&](double t, size_t)
                {
                    const double f = 70 + 90 * std::exp(-t / 0.04);
                    return o.sine(f) * hit(t, 0.002, 0.09) +
                           q.square(noteFreq(57)) * 0.15f * hit(t - 0.05, 0.002, 0.05);
                });
}

Buffer dig(uint32_t seed, double centre, double len)
{
    Noise n(seed);
    Biquad bp, lp;
    lp.set(Biquad::LowPass, 2400, 0.7);
    // Two or three grainy scratches, like claws through earth.
    std::vector<double> grains = {0.0, len * 0.38, len * 0.7};
    return make(len,
                [&](double t, size_t i)
                {
                    bp.set(Biquad::BandPass, centre * (1 + 0.4 * std::sin(t * 40 + seed)), 1.8);
                    float env = 0;
                    for (size_t k = 0; k < grains.size(); ++k)
                        env += hit(t - grains[k], 0.004, 0.03) * (k == 0 ? 1.0f : 0.7f);
                    const float grit = (i % 7 == 0) ? n.white() * 0.6f : 0;
                    return lp.run(bp.run(n.white() + grit)) * env * 2.0f;
                });
}

Buffer step(uint32_t seed, double pitch)
{
    Noise n(seed);
    Osc o;
    Biquad lp;
    lp.set(Biquad::LowPass, 320, 0.8);
    return make(0.12,
                [&](double t, size_t)
                {
                    return o.sine(pitch * (1 + 0.3 * std::exp(-t / 0.01))) * hit(t, 0.002, 0.03) +
                           lp.run(n.white()) * hit(t, 0.001, 0.02) * 1.4f;
                });
}

Buffer rockDash()
{
    Noise n(7);
    Biquad lp, lp2;
    return make(0.55,
                [&](double t, size_t)
                {
                    lp.set(Biquad::LowPass, 380 + 120 * std::sin(t * 9), 1.5);
                    const float rumble =
                        0.6f + 0.4f * float(std::sin(kTau * 17 * t) * std::sin(kTau * 5.5 * t));
                    return lp2.run(lp.run(n.white())) * rumble * adsr(t, 0.4, 0.03, 0.1, 0.8, 0.14) * 3.0f;
                });
}

Buffer boxDash()
{
    Noise n(8);
    Biquad bp, comb;
    bp.set(Biquad::BandPass, 900, 3);
    comb.set(Biquad::BandPass, 230, 8);
    return make(0.42,
                [&](double t, size_t)
                {
                    const float judder = 0.5f + 0.5f * float(std::fabs(std::sin(kTau * 14 * t)));
                    const float x = bp.run(n.white()) * judder;
                    return (x + comb.run(x) * 3) * adsr(t, 0.3, 0.02, 0.08, 0.8, 0.1) * 1.5f;
                });
}

// A cheeky "ha-ha-ha-ha": a pulse voice through two vowel formants.
Buffer laugh()
{
    Osc glottis;
    Noise n(9);
    Biquad f1, f2, breath;
    f1.set(Biquad::BandPass, 780, 5);
    f2.set(Biquad::BandPass, 1250, 6);
    breath.set(Biquad::BandPass, 1600, 1);
    return make(1.05,
                [&](double t, size_t)
                {
                    const int syl = int(t / 0.2);
                    const double st = t - syl * 0.2;
                    if (syl > 4)
                        return 0.0f;
                    const double pitch = 300 - syl * 22 + 30 * std::exp(-st / 0.05);
                    const float env = adsr(st, 0.09, 0.015, 0.03, 0.8, 0.05);
                    const float src = glottis.saw(pitch);
                    const float voiced = f1.run(src) * 1.0f + f2.run(src) * 0.7f;
                    const float h = breath.run(n.white()) * hit(st, 0.003, 0.03) * 0.5f;
                    return (voiced + h) * env;
                });
}

Buffer dying()
{
    Osc o, sub;
    return make(1.1,
                [&](double t, size_t)
                {
                    const double f =
                        620 * std::pow(0.18, std::fmin(t / 0.9, 1.0)) * (1 + 0.04 * std::sin(kTau * 8 * t));
                    const float tone = (o.triangle(f) * 0.7f + o.square(f * 0.5, 0.3) * 0.15f) *
                                       adsr(t, 0.85, 0.01, 0.1, 0.9, 0.15);
                    return tone + sub.sine(55) * hit(t - 0.9, 0.003, 0.08) * 0.8f;
                });
}

Buffer sandLanding()
{
    Noise n(10);
    Osc o;
    Biquad lp;
    lp.set(Biquad::LowPass, 520, 0.7);
    return make(
        0.22, [&](double t, size_t)
        { return lp.run(n.white()) * hit(t, 0.002, 0.05) * 2.2f + o.sine(70) * hit(t, 0.003, 0.05) * 0.6f; });
}

Buffer rockLanding()
{
    Noise n(11);
    Osc o, knock;
    Biquad hp;
    hp.set(Biquad::HighPass, 2200, 0.7);
    return make(0.4,
                [&](double t, size_t)
                {
                    const double f = 50 + 60 * std::exp(-t / 0.03);
                    return o.sine(f) * hit(t, 0.001, 0.12) +
                           hp.run(n.white()) * hit(t, 0.0005, 0.012) * 0.8f +
                           knock.sine(180) * hit(t, 0.001, 0.04) * 0.4f;
                });
}

Buffer diamondLanding()
{
    return make(0.32,
                [&](double t, size_t) {
                    return bell(t, 2800, 0.06, {1, 1.46, 2.25}) * 0.6f +
                           bell(t - 0.035, 3350, 0.05, {1, 1.46}) * 0.3f;
                });
}

Buffer explosion()
{
    Noise n(12);
    Osc sub;
    Biquad lp, lp2;
    Noise crackle(13);
    return make(1.5,
                [&](double t, size_t)
                {
                    const double cutoff = 200 + 3200 * std::exp(-t / 0.18);
                    lp.set(Biquad::LowPass, cutoff, 0.9);
                    lp2.set(Biquad::LowPass, cutoff * 1.2, 0.7);
                    const float body = lp2.run(lp.run(n.white())) * hit(t, 0.004, 0.45) * 2.2f;
                    const float boom = sub.sine(38 + 40 * std::exp(-t / 0.1)) * hit(t, 0.003, 0.35);
                    const float pop =
                        (crackle.uniform() > 0.9985f ? crackle.white() : 0) * hit(t, 0.05, 0.4) * 0.6f;
                    return body + boom + pop;
                });
}

Buffer doorOpen()
{
    Noise n(14);
    Osc motor;
    Biquad lp, grind;
    lp.set(Biquad::LowPass, 600, 1);
    grind.set(Biquad::BandPass, 450, 2);
    return make(0.85,
                [&](double t, size_t)
                {
                    const double f = 80 + 70 * std::fmin(t / 0.65, 1.0);
                    const float slide = (lp.run(motor.square(f, 0.35)) * 0.5f + grind.run(n.white()) * 0.8f) *
                                        adsr(t, 0.62, 0.04, 0.1, 0.8, 0.05);
                    const float clunk = float(std::sin(kTau * 95 * (t - 0.68))) * hit(t - 0.68, 0.001, 0.05);
                    return slide + clunk * 0.9f;
                });
}

Buffer bombTick()
{
    Noise n(15);
    return make(0.1,
                [&](double t, size_t)
                {
                    return float(std::sin(kTau * 1800 * t)) * hit(t, 0.0005, 0.02) +
                           n.white() * hit(t, 0.0002, 0.002) * 0.8f;
                });
}

Buffer menuEnter()
{
    Osc a, b;
    return make(0.28,
                [&](double t, size_t)
                {
                    return a.square(noteFreq(81), 0.25) * hit(t, 0.002, 0.05) * 0.5f +
                           b.square(noteFreq(88), 0.25) * hit(t - 0.07, 0.002, 0.08) * 0.5f;
                });
}

Buffer menuStep()
{
    Osc o;
    return make(0.07, [&](double t, size_t) { return o.triangle(noteFreq(81)) * hit(t, 0.002, 0.02); });
}

Buffer messageChime()
{
    return make(0.7,
                [&](double t, size_t)
                {
                    return bell(t, noteFreq(72), 0.3, {1, 2}) * 0.35f +
                           bell(t - 0.04, noteFreq(76), 0.3, {1, 2}) * 0.3f +
                           bell(t - 0.08, noteFreq(79), 0.35, {1, 2}) * 0.3f;
                });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <sounds folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    struct Effect
    {
        const char* name;
        Buffer sound;
        float peak;
    };
    std::vector<Effect> effects = {
        {"bonus_apple", appleBite(), 0.7f},
        {"bonus_diamond", diamondChime(), 0.7f},
        {"bonus_key", keyJingle(), 0.65f},
        {"bonus_bomb", bombPickup(), 0.75f},
        {"dig1", dig(21, 700, 0.2), 0.6f},
        {"dig2", dig(22, 900, 0.18), 0.6f},
        {"dig3", dig(23, 560, 0.22), 0.6f},
        {"step1", step(31, 85), 0.45f},
        {"step2", step(32, 98), 0.45f},
        {"step3", step(33, 110), 0.45f},
        {"rock_dash", rockDash(), 0.7f},
        {"box_dash", boxDash(), 0.6f},
        {"laughing", laugh(), 0.7f},
        {"dying", dying(), 0.7f},
        {"sand_coll", sandLanding(), 0.6f},
        {"rock_coll", rockLanding(), 0.85f},
        {"diamond_coll", diamondLanding(), 0.6f},
        {"explosion", explosion(), 0.9f},
        {"door_open", doorOpen(), 0.55f},
        {"bomb_tick", bombTick(), 0.6f},
        {"menu_enter", menuEnter(), 0.5f},
        {"menu_step", menuStep(), 0.45f},
        {"message", messageChime(), 0.6f},
    };
    bool ok = true;
    for (Effect& e : effects)
    {
        finish(e.sound, e.peak);
        ok = writeWav(dir + "/" + e.name + ".wav", e.sound) && ok;
    }
    return ok ? 0 : 1;
}
