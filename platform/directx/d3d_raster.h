#pragma once
#include <cstddef>
#include <cstdint>

// The software rasteriser behind the Direct3D 7 device: transformed-and-lit
// triangles and lines, one texture stage, blending into 16- and 32-bit targets.
// Positions are screen coordinates with pixel centres at integers; every
// vertex is taken as rhw 1, so attributes interpolate linearly on the screen.
namespace platform::d3d {

// Render target layouts: channel order from the high bits down.
// RGB888 (24-bit) is drawn by the reference loops only.
enum class TargetLayout : uint8_t { RGB565, BGR565, RGB555, BGR555, ARGB8888, ABGR8888, RGB888 };

// Blend factors (the device maps its render-state values onto these).
enum class BlendFactor : uint8_t { Zero, One, SrcAlpha, InvSrcAlpha, SrcColor, InvSrcColor, DestAlpha,
                                   InvDestAlpha, DestColor, InvDestColor };

// Stage-0 operation on texture (first argument) and diffuse (second).
enum class StageOp : uint8_t { Modulate, SelectTexture, SelectDiffuse };

struct Vertex {
    float x = 0, y = 0, z = 0, rhw = 1;
    uint32_t diffuse = 0xFFFFFFFF;   // ARGB
    uint32_t specular = 0;           // ARGB, alpha unused
    float u = 0, v = 0;
};

inline Vertex MakeVertex(float x, float y, float u, float v, uint32_t diffuse) {
    Vertex r;
    r.x = x;
    r.y = y;
    r.diffuse = diffuse;
    r.u = u;
    r.v = v;
    return r;
}

// A decoded texture: width * height ARGB texels, rows packed.
struct Texture {
    const uint32_t* texels = nullptr;
    int width = 0;
    int height = 0;
    bool opaque = false;   // every texel's alpha is 255: pictures over it copy their rows
    // The same texels as a 565 surface holds them (pitch in pixels), when it
    // does: their rows go onto a 565 target as they stand.
    const uint16_t* rgb565 = nullptr;
    size_t rgb565Pitch = 0;
};

// True when every one of the n texels has alpha 255.
bool AllOpaque(const uint32_t* texels, size_t n);

struct Target {
    void* bits = nullptr;
    int pitch = 0;          // bytes
    int width = 0;
    int height = 0;
    TargetLayout layout = TargetLayout::ARGB8888;
};

struct RasterState {
    bool blend = false;
    BlendFactor srcBlend = BlendFactor::One;
    BlendFactor destBlend = BlendFactor::Zero;
    StageOp colorOp = StageOp::Modulate;
    StageOp alphaOp = StageOp::SelectTexture;
    bool linear = false;    // bilinear sampling, else nearest texel
    bool specular = false;  // add the specular colour after the stage
    // Drawing stays inside [clipX0, clipX1) x [clipY0, clipY1), itself cut to the target.
    int clipX0 = 0, clipY0 = 0, clipX1 = 1 << 30, clipY1 = 1 << 30;
};

// Which span loops draw: the specialised ones (with AVX2 where the processor
// has it), the specialised SSE2 ones alone, or the plain scalar reference.
// All give the same pixels; tests hold them to it.
enum class Path : uint8_t { Fast, Sse2, Reference };

// One triangle; texture null draws the diffuse colour alone. Either winding.
void DrawTriangle(const Target& target, const RasterState& state, const Texture* texture, const Vertex& a,
                  const Vertex& b, const Vertex& c, Path path = Path::Fast);

// Four corners in order round a quad. When they make an axis-aligned rectangle
// whose attributes are planar, draws it in whole rows, covering the pixels its
// two triangles would, and returns true; otherwise draws nothing and returns false.
bool DrawRectangle(const Target& target, const RasterState& state, const Texture* texture, const Vertex& a,
                   const Vertex& b, const Vertex& c, const Vertex& d, Path path = Path::Fast);

// One line segment; the last pixel is left for the next segment of a strip.
void DrawLine(const Target& target, const RasterState& state, const Texture* texture, const Vertex& a,
              const Vertex& b);

// Fills [x0, x1) x [y0, y1), cut to the target, with one colour (Clear).
void FillRect(const Target& target, int x0, int y0, int x1, int y1, uint32_t argb);

} // namespace platform::d3d
