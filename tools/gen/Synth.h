#pragma once

// The synthesiser shared by the sound effects and the music: oscillators, envelopes, filters,
// a seeded noise source and a WAV writer. Everything is plain sample-by-sample code in floats
// at 44.1 kHz, so the same program always writes the same bytes.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace synth
{

const int kRate = 44100;
const double kTau = 6.283185307179586;

class Noise
{
  public:
    explicit Noise(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
    // White noise in [-1, 1).
    float white()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
    float uniform() { return (white() + 1) * 0.5f; }

  private:
    uint32_t state;
};

// Band-limited oscillators (polyBLEP) with their own phase.
class Osc
{
  public:
    float sine(double freq) { return float(std::sin(kTau * advance(freq))); }
    float saw(double freq)
    {
        const double dt = freq / kRate, p = advance(freq);
        return float(2 * p - 1 - blep(p, dt));
    }
    float square(double freq, double duty = 0.5)
    {
        const double dt = freq / kRate, p = advance(freq);
        double v = p < duty ? 1 : -1;
        v += blep(p, dt);
        v -= blep(std::fmod(p + 1 - duty, 1.0), dt);
        // A narrow pulse leans to one side; without its mean it would thump as its envelope opens.
        return float(v - (2 * duty - 1));
    }
    float triangle(double freq)
    {
        const double p = advance(freq);
        return float(p < 0.5 ? 4 * p - 1 : 3 - 4 * p);
    }
    double phase = 0;

  private:
    double advance(double freq)
    {
        const double p = phase;
        phase += freq / kRate;
        phase -= std::floor(phase);
        return p;
    }
    static double blep(double t, double dt)
    {
        if (dt <= 0)
            return 0;
        if (t < dt)
        {
            t /= dt;
            return t + t - t * t - 1;
        }
        if (t > 1 - dt)
        {
            t = (t - 1) / dt;
            return t * t + t + t + 1;
        }
        return 0;
    }
};

// RBJ biquad; the coefficients may change every sample.
class Biquad
{
  public:
    enum Kind
    {
        LowPass,
        HighPass,
        BandPass
    };
    void set(Kind kind, double freq, double q)
    {
        freq = std::fmin(std::fmax(freq, 10.0), kRate * 0.45);
        const double w = kTau * freq / kRate, cw = std::cos(w), alpha = std::sin(w) / (2 * q);
        double b0, b1, b2;
        const double a0 = 1 + alpha;
        if (kind == LowPass)
        {
            b0 = (1 - cw) / 2;
            b1 = 1 - cw;
            b2 = (1 - cw) / 2;
        }
        else if (kind == HighPass)
        {
            b0 = (1 + cw) / 2;
            b1 = -(1 + cw);
            b2 = (1 + cw) / 2;
        }
        else
        {
            b0 = alpha;
            b1 = 0;
            b2 = -alpha;
        }
        c0 = b0 / a0;
        c1 = b1 / a0;
        c2 = b2 / a0;
        d1 = -2 * cw / a0;
        d2 = (1 - alpha) / a0;
    }
    float run(float x)
    {
        const double y = c0 * x + c1 * x1 + c2 * x2 - d1 * y1 - d2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return float(y);
    }

  private:
    double c0 = 1, c1 = 0, c2 = 0, d1 = 0, d2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// Attack then exponential decay, both in seconds; 0 before the start.
inline float hit(double t, double attack, double decay)
{
    if (t < 0)
        return 0;
    if (t < attack)
        return float(t / attack);
    return float(std::exp(-(t - attack) / decay));
}

// Linear attack, hold at 1, linear release, for a note of the given length.
inline float adsr(double t, double length, double attack, double decay, double sustain, double release)
{
    if (t < 0)
        return 0;
    double v;
    if (t < attack)
        v = t / attack;
    else if (t < attack + decay)
        v = 1 - (1 - sustain) * (t - attack) / decay;
    else
        v = sustain;
    if (t > length)
        v *= std::fmax(0.0, 1 - (t - length) / release);
    return float(v);
}

inline double noteFreq(double midi)
{
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Peak-normalises to the given level, with short fades at both ends against clicks.
void finish(std::vector<float>& s, float peak, double fadeIn = 0.002, double fadeOut = 0.01);

bool writeWav(const std::string& path, const std::vector<float>& mono);

} // namespace synth
