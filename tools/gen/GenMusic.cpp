// Composes and renders the game's music: each tune is a chord progression, a drum and bass
// style and a melody grown from a seeded two-bar motif; the synthesiser plays it with a few
// instruments (pluck, bell keys, pad, pulse lead, bass, drums) and a stereo echo.
// Looping tunes are rendered twice over and the second pass is kept, so the echo and the
// ringing notes at its start are the ones the end of the tune leaves: the end joins the start.
// Tunes are written as Ogg Vorbis; the level-completed jingle is a short MP3.
//
// Usage: quarrow_gen_music <music folder> <tune>    (tune: see the table in main)

#include "Synth.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sys/stat.h>

using namespace synth;

namespace
{

struct Stereo
{
    std::vector<float> l, r;
    explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
    size_t size() const { return l.size(); }
};

enum class Instrument
{
    Pluck,
    Keys,
    Pad,
    Lead,
    Bass,
    Kick,
    Snare,
    Hat,
    Shaker
};

struct Note
{
    double start, length; // seconds
    double pitch;         // MIDI number
    float velocity;
    Instrument inst;
};

// ---- Instruments: each renders one note into a mono buffer. ----------------------------

std::vector<float> renderNote(const Note& n, uint32_t seed)
{
    const double tail = n.inst == Instrument::Pad
                            ? 0.9
                            : (n.inst == Instrument::Keys || n.inst == Instrument::Pluck ? 1.2 : 0.4);
    const size_t count = size_t((n.length + tail) * kRate);
    std::vector<float> out(count, 0.0f);
    const double f = noteFreq(n.pitch);
    Noise noise(seed);
    switch (n.inst)
    {
    case Instrument::Pluck:
    {
        // Karplus-Strong string with a soft pick.
        const size_t period = std::max<size_t>(2, size_t(kRate / f + 0.5));
        std::vector<float> line(period);
        Biquad pick;
        pick.set(Biquad::LowPass, 3000, 0.7);
        for (float& v : line)
            v = pick.run(noise.white());
        size_t idx = 0;
        float last = 0;
        for (size_t i = 0; i < count; ++i)
        {
            const float cur = line[idx];
            const float next = 0.5f * (cur + last) * 0.996f;
            last = cur;
            line[idx] = next;
            idx = (idx + 1) % period;
            const double t = double(i) / kRate;
            out[i] = cur * (t > n.length ? float(std::exp(-(t - n.length) / 0.15)) : 1.0f);
        }
        break;
    }
    case Instrument::Keys:
    {
        // Two-operator FM electric piano / bell.
        for (size_t i = 0; i < count; ++i)
        {
            const double t = double(i) / kRate;
            const double index = 1.6 * std::exp(-t / 0.25);
            const double v = std::sin(kTau * f * t + index * std::sin(kTau * f * 2 * t));
            out[i] = float(v * hit(t, 0.003, 0.6) * adsr(t, n.length, 0.001, 0.01, 1, 0.25));
        }
        break;
    }
    case Instrument::Pad:
    {
        Osc a, b, c;
        Biquad lp;
        lp.set(Biquad::LowPass, 1400, 0.7);
        for (size_t i = 0; i < count; ++i)
        {
            const double t = double(i) / kRate;
            const float v = a.saw(f * 0.997) + b.saw(f * 1.004) + 0.6f * c.saw(f * 0.5);
            out[i] = lp.run(v) * 0.35f * adsr(t, n.length, 0.25, 0.3, 0.8, 0.7);
        }
        break;
    }
    case Instrument::Lead:
    {
        Osc o, vib;
        Biquad lp;
        for (size_t i = 0; i < count; ++i)
        {
            const double t = double(i) / kRate;
            const double depth = std::min(1.0, t / 0.25) * 0.004;
            const double fv = f * (1 + depth * vib.sine(5.5));
            lp.set(Biquad::LowPass, 1800 + 2200 * std::exp(-t / 0.12), 1.0);
            out[i] = lp.run(o.square(fv, 0.3) * 0.8f) * adsr(t, n.length, 0.008, 0.15, 0.7, 0.09);
        }
        break;
    }
    case Instrument::Bass:
    {
        Osc o, sub;
        Biquad lp;
        for (size_t i = 0; i < count; ++i)
        {
            const double t = double(i) / kRate;
            lp.set(Biquad::LowPass, 250 + 1100 * std::exp(-t / 0.07), 1.4);
            out[i] =
                (lp.run(o.saw(f)) * 0.7f + sub.sine(f) * 0.6f) * adsr(t, n.length, 0.004, 0.1, 0.75, 0.05);
        }
        break;
    }
    case Instrument::Kick:
    {
        Osc o;
        for (size_t i = 0; i < count && i < size_t(0.35 * kRate); ++i)
        {
            const double t = double(i) / kRate;
            out[i] = o.sine(45 + 110 * std::exp(-t / 0.03)) * hit(t, 0.001, 0.13) +
                     noise.white() * hit(t, 0.0003, 0.003) * 0.4f;
        }
        break;
    }
    case Instrument::Snare:
    {
        Osc o;
        Biquad bp;
        bp.set(Biquad::BandPass, 1800, 0.8);
        for (size_t i = 0; i < count && i < size_t(0.3 * kRate); ++i)
        {
            const double t = double(i) / kRate;
            out[i] =
                bp.run(noise.white()) * hit(t, 0.001, 0.07) * 1.4f + o.sine(185) * hit(t, 0.001, 0.04) * 0.5f;
        }
        break;
    }
    case Instrument::Hat:
    case Instrument::Shaker:
    {
        Biquad hp;
        hp.set(Biquad::HighPass, n.inst == Instrument::Hat ? 7000 : 4500, 0.8);
        const double decay = n.inst == Instrument::Hat ? 0.025 : 0.04;
        for (size_t i = 0; i < count && i < size_t(0.2 * kRate); ++i)
        {
            const double t = double(i) / kRate;
            out[i] = hp.run(noise.white()) * hit(t, n.inst == Instrument::Hat ? 0.0005 : 0.01, decay);
        }
        break;
    }
    }
    for (float& v : out)
        v *= n.velocity;
    return out;
}

struct Mix
{
    float gain, pan; // pan -1 left .. 1 right
};

Mix mixOf(Instrument i)
{
    switch (i)
    {
    case Instrument::Pluck:
        return {0.34f, -0.35f};
    case Instrument::Keys:
        return {0.26f, 0.3f};
    case Instrument::Pad:
        return {0.16f, 0.0f};
    case Instrument::Lead:
        return {0.2f, 0.1f};
    case Instrument::Bass:
        return {0.42f, 0.0f};
    case Instrument::Kick:
        return {0.6f, 0.0f};
    case Instrument::Snare:
        return {0.32f, 0.05f};
    case Instrument::Hat:
        return {0.13f, 0.4f};
    case Instrument::Shaker:
        return {0.1f, -0.4f};
    }
    return {0.2f, 0};
}

// ---- Composition. ----------------------------------------------------------------------

struct Style
{
    const char* kick;
    const char* snare;
    const char* hat;
    const char* bass; // 16 steps: 'r' root, 'o' octave, 'f' fifth, '.' rest
    bool arpeggio;    // pluck arpeggio over the chords
    bool pad;
    Instrument melody;
};

struct Tune
{
    const char* file;
    double bpm;
    int root;                // MIDI number of the key's tonic (bass octave)
    std::vector<int> scale;  // semitones of the mode
    std::vector<int> chords; // scale degree of each bar's chord root (0-based)
    int bars;
    Style style;
    uint32_t seed;
    bool loop;
};

class Rand
{
  public:
    explicit Rand(uint32_t seed) : noise(seed) {}
    int below(int n) { return int(noise.uniform() * n) % n; }
    bool chance(float p) { return noise.uniform() < p; }

  private:
    Noise noise;
};

// One melodic idea over two bars: which 8th steps start a note and how the line moves.
struct Motif
{
    std::vector<int> steps; // 0..15
    std::vector<int> moves; // scale steps from the previous note
};

Motif makeMotif(Rand& r)
{
    static const std::vector<std::vector<int>> rhythms = {
        {0, 2, 3, 4, 6, 8, 10, 11, 12}, {0, 1, 2, 4, 6, 7, 8, 10, 12, 14}, {0, 3, 4, 6, 8, 9, 10, 12, 14},
        {0, 2, 4, 5, 6, 8, 11, 12},     {0, 2, 3, 6, 8, 10, 12, 13, 14},   {0, 4, 6, 7, 8, 12, 14}};
    Motif m;
    m.steps = rhythms[r.below(int(rhythms.size()))];
    for (size_t i = 0; i < m.steps.size(); ++i)
    {
        int move = r.below(5) - 2;
        if (r.chance(0.15f))
            move = r.chance(0.5f) ? 4 : -3;
        m.moves.push_back(i == 0 ? 0 : move);
    }
    return m;
}

class Composer
{
  public:
    explicit Composer(const Tune& t) : tune(t), step(60.0 / t.bpm / 4) {}

    double barLength() const { return 16 * step; }

    // Every note of one pass through the tune, starting at time 0.
    std::vector<Note> compose() const
    {
        std::vector<Note> notes;
        Rand r(tune.seed);
        const Motif a = makeMotif(r), b = makeMotif(r);
        for (int bar = 0; bar < tune.bars; ++bar)
        {
            drums(notes, bar);
            bass(notes, bar);
            harmony(notes, bar);
        }
        melody(notes, a, b);
        return notes;
    }

  private:
    int midiOf(int degree, int octave) const
    {
        const int n = int(tune.scale.size());
        const int o = degree >= 0 ? degree / n : -((-degree + n - 1) / n);
        const int d = degree - o * n;
        return tune.root + 12 * (octave + o) + tune.scale[d];
    }
    int chordOf(int bar) const { return tune.chords[bar % tune.chords.size()]; }

    void drums(std::vector<Note>& notes, int bar) const
    {
        const double t0 = bar * barLength();
        const bool fill = bar % 4 == 3;
        // The third group of four bars thins out to the downbeat, for a breath in the middle.
        const bool breakdown = tune.loop && tune.bars >= 12 && bar / 4 == 2;
        for (int s = 0; s < 16; ++s)
        {
            auto put = [&](char c, Instrument i)
            {
                if (c == 'x' || c == 'o')
                    notes.push_back({t0 + s * step, step, 0, c == 'x' ? 1.0f : 0.55f, i});
            };
            put(breakdown && s != 0 ? '.' : tune.style.kick[s], Instrument::Kick);
            put(fill && s >= 13 ? 'o' : tune.style.snare[s], Instrument::Snare);
            put(tune.style.hat[s], s % 4 == 2 ? Instrument::Shaker : Instrument::Hat);
        }
    }

    void bass(std::vector<Note>& notes, int bar) const
    {
        const char* p = tune.style.bass;
        const int chord = chordOf(bar);
        for (int s = 0; s < 16; ++s)
        {
            if (p[s] == '.')
                continue;
            int len = 1;
            while (s + len < 16 && p[s + len] == '.' && len < 3)
                ++len;
            const int pitch =
                p[s] == 'o' ? midiOf(chord, 1) : (p[s] == 'f' ? midiOf(chord + 4, 0) : midiOf(chord, 0));
            notes.push_back({bar * barLength() + s * step, len * step * 0.85, double(pitch),
                             s % 4 == 0 ? 1.0f : 0.8f, Instrument::Bass});
        }
    }

    void harmony(std::vector<Note>& notes, int bar) const
    {
        const int chord = chordOf(bar);
        const double t0 = bar * barLength();
        if (tune.style.pad)
            for (int k : {0, 2, 4})
                notes.push_back(
                    {t0, barLength() * 0.95, double(midiOf(chord + k, 2)), 0.8f, Instrument::Pad});
        if (tune.style.arpeggio)
        {
            const int shape[8] = {0, 2, 4, 7, 4, 2, 4, 7};
            for (int s = 0; s < 8; ++s)
                notes.push_back({t0 + s * 2 * step, step * 1.8, double(midiOf(chord + shape[s], 2)),
                                 s % 2 ? 0.6f : 0.8f, Instrument::Pluck});
        }
    }

    // Phrases of eight bars in the form A A' B A; the second time round an octave up on keys.
    void melody(std::vector<Note>& notes, const Motif& a, const Motif& b) const
    {
        const int n = int(tune.scale.size());
        int degree = n + 2;
        for (int pair = 0; pair * 2 < tune.bars; ++pair)
        {
            const int form = pair % 4;
            const Motif& m = form == 2 ? b : a;
            const bool second = (pair / 4) % 2 == 1;
            const Instrument inst =
                second && tune.style.melody == Instrument::Lead ? Instrument::Keys : tune.style.melody;
            const int octave = second ? 1 : 0;
            const bool phraseEnd = form == 3 || pair * 2 + 2 >= tune.bars;
            for (size_t i = 0; i < m.steps.size(); ++i)
            {
                int move = m.moves[i];
                if (form == 1 && i + 2 >= m.steps.size())
                    move = -move; // the answer bends the other way at its end
                degree += move;
                const int bar = pair * 2 + m.steps[i] / 8;
                if (bar >= tune.bars)
                    break;
                const bool strong = m.steps[i] % 4 == 0;
                const bool last = phraseEnd && i + 1 == m.steps.size();
                if (strong || last)
                    degree = nearestChordTone(degree, last ? 0 : chordOf(bar));
                while (degree < n)
                    degree += 2;
                while (degree > 2 * n + 2)
                    degree -= 3;
                const int next = i + 1 < m.steps.size() ? m.steps[i + 1] : 16;
                const double len = std::min(next - m.steps[i], 4) * 2 * step * 0.9;
                notes.push_back({pair * 2 * barLength() + m.steps[i] * 2 * step, last ? len * 1.5 : len,
                                 double(midiOf(degree, 2 + octave)) - 12, strong ? 1.0f : 0.8f, inst});
            }
        }
    }

    int nearestChordTone(int degree, int chord) const
    {
        const int n = int(tune.scale.size());
        int best = degree, bestDist = 100;
        for (int d = degree - 3; d <= degree + 3; ++d)
        {
            const int rel = ((d - chord) % n + n) % n;
            if ((rel == 0 || rel == 2 || rel == 4) && std::abs(d - degree) < bestDist)
            {
                best = d;
                bestDist = std::abs(d - degree);
            }
        }
        return best;
    }

    const Tune& tune;
    double step;
};

// Mixes notes into a stereo buffer, with an echo on the melodic voices.
Stereo render(const std::vector<Note>& notes, size_t length, double echoDelay)
{
    Stereo dry(length), send(length);
    uint32_t seed = 1;
    for (const Note& n : notes)
    {
        const std::vector<float> v = renderNote(n, seed++);
        const Mix m = mixOf(n.inst);
        const float gl = m.gain * std::sqrt(0.5f * (1 - m.pan)), gr = m.gain * std::sqrt(0.5f * (1 + m.pan));
        const bool echoed =
            n.inst == Instrument::Lead || n.inst == Instrument::Keys || n.inst == Instrument::Pluck;
        const size_t start = size_t(n.start * kRate);
        for (size_t i = 0; i < v.size() && start + i < length; ++i)
        {
            dry.l[start + i] += v[i] * gl;
            dry.r[start + i] += v[i] * gr;
            if (echoed)
            {
                send.l[start + i] += v[i] * gl;
                send.r[start + i] += v[i] * gr;
            }
        }
    }
    // Ping-pong echo.
    const size_t d = size_t(echoDelay * kRate);
    std::vector<float> el(length, 0.0f), er(length, 0.0f);
    for (size_t i = d; i < length; ++i)
    {
        el[i] = 0.6f * send.r[i - d] + 0.38f * er[i - d];
        er[i] = 0.6f * send.l[i - d] + 0.38f * el[i - d];
    }
    for (size_t i = 0; i < length; ++i)
    {
        dry.l[i] += el[i] * 0.45f;
        dry.r[i] += er[i] * 0.45f;
    }
    return dry;
}

void normalise(Stereo& s, float peak)
{
    float top = 0;
    for (size_t i = 0; i < s.size(); ++i)
        top = std::max(top, std::max(std::fabs(s.l[i]), std::fabs(s.r[i])));
    const float g = top > 0 ? peak / top : 1;
    for (size_t i = 0; i < s.size(); ++i)
    {
        s.l[i] *= g;
        s.r[i] *= g;
    }
}

// A few milliseconds of fade at both ends: the game restarts a tune after at most one frame of
// silence, and the fades keep that seam from clicking.
void edgeFades(Stereo& s, double in, double out)
{
    const size_t a = size_t(in * kRate), b = size_t(out * kRate);
    for (size_t i = 0; i < a && i < s.size(); ++i)
    {
        s.l[i] *= float(i) / a;
        s.r[i] *= float(i) / a;
    }
    for (size_t i = 0; i < b && i < s.size(); ++i)
    {
        const size_t k = s.size() - 1 - i;
        s.l[k] *= float(i) / b;
        s.r[k] *= float(i) / b;
    }
}

bool writeOgg(const std::string& path, const Stereo& s, uint32_t serial, const std::string& title)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, kRate, 0.3f) != 0)
    {
        std::fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", title.c_str());
    vorbis_comment_add_tag(&vc, "ARTIST", "vormel");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, int(serial));
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&os, &page))
    {
        std::fwrite(page.header, 1, page.header_len, f);
        std::fwrite(page.body, 1, page.body_len, f);
    }
    size_t pos = 0;
    bool eos = false;
    while (!eos)
    {
        const size_t chunk = std::min<size_t>(4096, s.size() - pos);
        if (chunk == 0)
            vorbis_analysis_wrote(&vd, 0);
        else
        {
            float** buf = vorbis_analysis_buffer(&vd, int(chunk));
            std::memcpy(buf[0], &s.l[pos], chunk * sizeof(float));
            std::memcpy(buf[1], &s.r[pos], chunk * sizeof(float));
            vorbis_analysis_wrote(&vd, int(chunk));
            pos += chunk;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1)
        {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet))
            {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page))
                {
                    std::fwrite(page.header, 1, page.header_len, f);
                    std::fwrite(page.body, 1, page.body_len, f);
                    if (ogg_page_eos(&page))
                        eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(f) == 0;
}

bool writeMp3(const std::string& path, const Stereo& s)
{
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, kRate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 3);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0)
    {
        lame_close(lame);
        return false;
    }
    std::vector<unsigned char> out(s.size() * 5 / 4 + 7200 * 2);
    int n = lame_encode_buffer_ieee_float(lame, s.l.data(), s.r.data(), int(s.size()), out.data(),
                                          int(out.size()));
    int total = n > 0 ? n : 0;
    n = lame_encode_flush(lame, out.data() + total, int(out.size()) - total);
    total += n > 0 ? n : 0;
    lame_close(lame);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fwrite(out.data(), 1, size_t(total), f);
    return std::fclose(f) == 0;
}

const std::vector<int> kMinor = {0, 2, 3, 5, 7, 8, 10};
const std::vector<int> kMajor = {0, 2, 4, 5, 7, 9, 11};
const std::vector<int> kDorian = {0, 2, 3, 5, 7, 9, 10};
const std::vector<int> kMixolydian = {0, 2, 4, 5, 7, 9, 10};
const std::vector<int> kHarmonic = {0, 2, 3, 5, 7, 8, 11};

std::vector<Tune> tunes()
{
    const Style drive{
        "x...x...x...x...", "....x.......x...", "x.x.x.x.x.x.x.x.", "r.r.o.r.r.r.o.rf", true, false,
        Instrument::Lead};
    const Style bounce{
        "x.....x...x.....", "....x.......x..o", "xxx.xxx.xxx.xxx.", "r..r..f.r..o..f.", false, true,
        Instrument::Pluck};
    const Style gentle{
        "x.......x.......", "....o.......o...", "..x...x...x...x.", "r.......f...o...", true, true,
        Instrument::Keys};
    const Style march{
        "x...x...x...x.x.", "....x.......x...", "x.xxx.xxx.xxx.xx", "rrorrforrrorrfor", false, true,
        Instrument::Lead};
    const Style mystery{
        "x.......x..x....", "........x.......", "..x...x...x...x.", "r...r...f...r..o", true, true,
        Instrument::Keys};
    const Style fanfare{
        "x...x...x...x...", "....x...x...xxxx", "x.x.x.x.x.x.x.x.", "r...r...f...o...", true, true,
        Instrument::Lead};
    return {
        {"Title_Music.ogg", 100, 38, kDorian, {0, 5, 2, 6}, 16, gentle, 101, true},
        {"Credits.ogg", 84, 36, kMajor, {0, 5, 3, 4}, 14, gentle, 202, true},
        {"level1.ogg", 118, 45, kMinor, {0, 5, 2, 6}, 16, drive, 303, true},
        {"level2.ogg", 126, 40, kMinor, {0, 5, 6, 4}, 18, bounce, 404, true},
        {"level3.ogg", 96, 43, kMixolydian, {0, 6, 3, 0}, 14, bounce, 505, true},
        {"level4.ogg", 136, 42, kMinor, {0, 5, 2, 6}, 18, march, 606, true},
        {"level5.ogg", 108, 36, kHarmonic, {0, 5, 3, 4}, 16, mystery, 707, true},
        {"Completed.mp3", 140, 36, kMajor, {0, 3, 4, 0}, 4, fanfare, 808, false},
    };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "--notes") == 0))
    {
        std::fprintf(stderr, "usage: %s <music folder> <tune file name> [--notes]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1], name = argv[2];
    mkdir(dir.c_str(), 0755);
    for (const Tune& t : tunes())
    {
        if (name != t.file)
            continue;
        const Composer composer(t);
        const std::vector<Note> pass = composer.compose();
        if (argc == 4)
        {
            // The score as text, for reviewing a composition without listening to it.
            for (const Note& n : pass)
                if (n.inst == Instrument::Lead || n.inst == Instrument::Keys || n.inst == Instrument::Pluck ||
                    n.inst == Instrument::Bass)
                    std::printf("%7.3f %5.3f %3d %d\n", n.start, n.length, int(n.pitch), int(n.inst));
            return 0;
        }
        const double length = composer.barLength() * t.bars;
        const size_t loopSamples = size_t(length * kRate);
        const double echo = 60.0 / t.bpm * 0.75;
        if (t.loop)
        {
            // Two passes; the second one, with the first pass's tails over its start, is kept.
            std::vector<Note> twice = pass;
            for (Note n : pass)
            {
                n.start += double(loopSamples) / kRate;
                twice.push_back(n);
            }
            Stereo all = render(twice, 2 * loopSamples, echo);
            Stereo kept(loopSamples);
            std::copy(all.l.begin() + loopSamples, all.l.end(), kept.l.begin());
            std::copy(all.r.begin() + loopSamples, all.r.end(), kept.r.begin());
            normalise(kept, 0.85f);
            edgeFades(kept, 0.004, 0.004);
            return writeOgg(dir + "/" + t.file, kept, t.seed, t.file) ? 0 : 1;
        }
        // The jingle plays once: its last chord rings out and fades.
        Stereo once = render(pass, loopSamples + size_t(1.5 * kRate), echo);
        normalise(once, 0.85f);
        edgeFades(once, 0.004, 1.0);
        return writeMp3(dir + "/" + t.file, once) ? 0 : 1;
    }
    std::fprintf(stderr, "unknown tune %s\n", name.c_str());
    return 1;
}
