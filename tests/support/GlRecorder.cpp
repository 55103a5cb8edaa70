#include "GlRecorder.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <algorithm>

float RecordedQuad::left() const
{
    float v = corners.empty() ? 0.0f : corners[0].x;
    for (const RecordedVertex& c : corners)
    {
        v = std::min(v, c.x);
    }
    return v;
}

float RecordedQuad::right() const
{
    float v = corners.empty() ? 0.0f : corners[0].x;
    for (const RecordedVertex& c : corners)
    {
        v = std::max(v, c.x);
    }
    return v;
}

float RecordedQuad::top() const
{
    float v = corners.empty() ? 0.0f : corners[0].y;
    for (const RecordedVertex& c : corners)
    {
        v = std::min(v, c.y);
    }
    return v;
}

float RecordedQuad::bottom() const
{
    float v = corners.empty() ? 0.0f : corners[0].y;
    for (const RecordedVertex& c : corners)
    {
        v = std::max(v, c.y);
    }
    return v;
}

static bool same(const RecordedVertex& a, const RecordedVertex& b)
{
    return a.x == b.x && a.y == b.y && a.s == b.s && a.t == b.t;
}

std::vector<RecordedQuad> recordQuads(const std::function<void()>& draw)
{
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);

    SDL_Surface* screen = SDL_GetVideoSurface();
    const float windowHeight = screen != nullptr ? static_cast<float>(screen->h) : 0.0f;
    std::vector<std::vector<RecordedVertex>> polygons;
    for (GLint at = 0; at < used;)
    {
        const GLint token = static_cast<GLint>(buffer[at++]);
        if (token == GL_POLYGON_TOKEN)
        {
            const GLint count = static_cast<GLint>(buffer[at++]);
            std::vector<RecordedVertex> polygon;
            for (GLint i = 0; i < count; ++i, at += 11)
            {
                const GLfloat* v = &buffer[at];
                polygon.push_back({v[0], windowHeight - v[1], v[3], v[4], v[5], v[6], v[7], v[8]});
            }
            polygons.push_back(polygon);
        }
        else if (token == GL_PASS_THROUGH_TOKEN)
        {
            at += 1;
        }
        else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                 token == GL_COPY_PIXEL_TOKEN)
        {
            at += 11;
        }
        else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
        {
            at += 22;
        }
        else
        {
            break;
        }
    }

    std::vector<RecordedQuad> quads;
    for (size_t i = 0; i < polygons.size(); ++i)
    {
        // A quad that the driver split into two triangles, (v0 v1 v2, v0 v2 v3) or
        // (v0 v1 v3, v1 v2 v3), becomes one quad again, corners in drawing order.
        if (polygons[i].size() == 3 && i + 1 < polygons.size() && polygons[i + 1].size() == 3)
        {
            const std::vector<RecordedVertex>& a = polygons[i];
            const std::vector<RecordedVertex>& b = polygons[i + 1];
            if (same(b[0], a[0]) && same(b[1], a[2]))
            {
                quads.push_back({{a[0], a[1], a[2], b[2]}});
                ++i;
                continue;
            }
            if (same(b[0], a[1]) && same(b[2], a[2]))
            {
                quads.push_back({{a[0], a[1], b[1], a[2]}});
                ++i;
                continue;
            }
        }
        quads.push_back({polygons[i]});
    }
    return quads;
}
