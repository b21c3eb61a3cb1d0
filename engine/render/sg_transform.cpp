// The transform paths: record colours, then one of 24 triangle routines (pass x texture sets x
// fog kind, each its own instance so the per-vertex code tests no mode), the line and particle
// emitters and the screen-polygon fan. Everything is single precision; every float-to-integer
// conversion truncates.

#include <cmath>

#include "engine/render/sg_d3d_render.h"

namespace {

enum class Pass { Uncoloured, Coloured, ColouredSpecular };
enum class Fog { None, Depth, Range, VertexAlpha };

// 0-255 for packing; NaN and anything not above 0 give 0.
inline uint32_t Byte(float v) { return v > 0.0f ? (v < 255.0f ? static_cast<uint32_t>(v) : 255u) : 0u; }

inline uint32_t PackDiffuse(const SgVertexWorkRecord& r) {
    return Byte(r.a) << 24 | Byte(r.r) << 16 | Byte(r.g) << 8 | Byte(r.b);
}

inline float Row(const float* row, float x, float y, float z) { return row[0] * x + row[1] * y + row[2] * z + row[3]; }

// Room for one more primitive of this many vertices and triangles, flushing when the fill is full;
// false when the batch could not be locked again.
inline bool MakeRoom(SgD3DDriver& d, uint32_t triangles) {
    SgVertexBatch& b = d.batch;
    if (b.vertexCount >= d.vertexLimit || b.triangleCount + triangles > b.indexRoom)
        d.FlushVertexBatch();
    return b.locked != 0;
}

template <Fog kFog>
inline uint32_t FogByte(const SgD3DRenderContext& ctx, const SgVertexWorkRecord& r, float w) {
    if constexpr (kFog == Fog::None || kFog == Fog::VertexAlpha) {
        return 255;
    } else if constexpr (kFog == Fog::Range) {
        const float dx = r.x - ctx.eye.x, dy = r.y - ctx.eye.y, dz = r.z - ctx.eye.z;
        return Byte((ctx.fog.endSquare - (dx * dx + dy * dy + dz * dz)) * ctx.fog.rangeScale);
    } else {
        // The view depth, so the byte is 255 at the fog start and 0 at the far plane.
        return Byte((ctx.view.farDistance - w) * ctx.fog.byteScale);
    }
}

template <Pass kPass, bool kSecond, Fog kFog>
void TransformVertices(SgD3DRenderContext& ctx, SgVertexWorkRecord* const* triangle) {
    using Vertex = std::conditional_t<kSecond, SgTransformedVertex2, SgTransformedVertex>;
    SgD3DDriver& d = *ctx.driver;
    SgVertexBatch& b = d.batch;
    if (!MakeRoom(d, 1))
        return;
    const auto& m = ctx.view.combined;
    const float cx = ctx.view.centreX, cy = ctx.view.centreY;
    for (int k = 0; k < 3; ++k) {
        SgVertexWorkRecord& r = *triangle[k];
        if (r.emittedTag == b.tag) {
            *b.indexWrite++ = r.vertexIndex;
            continue;
        }
        const float w = Row(m[3], r.x, r.y, r.z);
        const float rhw = 1.0f / w;
        auto* v = reinterpret_cast<Vertex*>(b.write);
        v->sx = Row(m[0], r.x, r.y, r.z) * rhw + cx;
        v->sy = Row(m[1], r.x, r.y, r.z) * rhw + cy;
        v->sz = Row(m[2], r.x, r.y, r.z) * rhw;
        v->rhw = rhw;
        uint32_t fog = FogByte<kFog>(ctx, r, w);
        if constexpr (kPass == Pass::Uncoloured) {
            v->diffuse = 0xFFFFFFFFu;
            v->specular = fog << 24;
        } else {
            uint32_t diffuse = PackDiffuse(r);
            if constexpr (kFog == Fog::VertexAlpha) {
                fog = 255 - Byte(r.a);
                diffuse |= 0xFF000000u;
            }
            v->diffuse = diffuse;
            if constexpr (kPass == Pass::ColouredSpecular) {
                const uint32_t s = Byte(r.specular);
                v->specular = fog << 24 | s << 16 | s << 8 | s;
            } else {
                v->specular = fog << 24;
            }
        }
        v->tu = r.u;
        v->tv = r.v;
        if constexpr (kSecond) {
            v->tu2 = r.u2;
            v->tv2 = r.v2;
        }
        r.vertexIndex = static_cast<uint16_t>(b.vertexCount);
        *b.indexWrite++ = r.vertexIndex;
        ++b.vertexCount;
        b.write += sizeof(Vertex);
        r.emittedTag = b.tag;
    }
    ++b.triangleCount;
}

template <bool kColoured>
void EmitLine(SgD3DRenderContext& ctx, SgVertexWorkRecord* a, SgVertexWorkRecord* bRec) {
    SgD3DDriver& d = *ctx.driver;
    SgVertexBatch& b = d.batch;
    if (!MakeRoom(d, 0))
        return;
    const auto& m = ctx.view.combined;
    for (SgVertexWorkRecord* r : {a, bRec}) {
        const float rhw = 1.0f / Row(m[3], r->x, r->y, r->z);
        auto* v = reinterpret_cast<SgTransformedVertex*>(b.write);
        v->sx = Row(m[0], r->x, r->y, r->z) * rhw + ctx.view.centreX;
        v->sy = Row(m[1], r->x, r->y, r->z) * rhw + ctx.view.centreY;
        v->sz = Row(m[2], r->x, r->y, r->z) * rhw;
        v->rhw = rhw;
        v->diffuse = kColoured ? PackDiffuse(*r) : 0xFFFFFFFFu;
        v->specular = 0xFF000000u;  // lines are never fogged
        v->tu = r->u;
        v->tv = r->v;
        b.write += b.vertexSize;
        r->emittedTag = b.tag;
    }
    b.vertexCount += 2;
}

template <Fog kFog>
void TransformParticleCentres(SgD3DRenderContext& ctx, SgVertexWorkRecord* records, uint32_t count) {
    const auto& m = ctx.view.combined;
    const bool tableFog = ctx.fog.tableWanted && (ctx.driver->wanted & SgD3DDriver::kTableFog);
    for (uint32_t i = 0; i < count; ++i) {
        SgVertexWorkRecord& r = records[i];
        if (!r.used)
            continue;
        const float w = Row(m[3], r.x, r.y, r.z);
        const float rhw = 1.0f / w;
        int32_t fog = 0;
        if constexpr (kFog == Fog::Range) {
            const float dx = r.x - ctx.eye.x, dy = r.y - ctx.eye.y, dz = r.z - ctx.eye.z;
            fog = static_cast<int32_t>(Byte((ctx.fog.endSquare - (dx * dx + dy * dy + dz * dz)) * ctx.fog.rangeScale));
        } else if constexpr (kFog == Fog::VertexAlpha) {
            fog = 255 - static_cast<int32_t>(Byte(r.a));
        } else if constexpr (kFog == Fog::Depth) {
            if (!tableFog)
                fog = static_cast<int32_t>(Byte((ctx.view.farDistance - w) * ctx.fog.byteScale));
        }
        const float sx = Row(m[0], r.x, r.y, r.z) * rhw + ctx.view.centreX;
        const float sy = Row(m[1], r.x, r.y, r.z) * rhw + ctx.view.centreY;
        const float sz = Row(m[2], r.x, r.y, r.z) * rhw;
        r.x = sx;
        r.y = sy;
        r.z = sz;
        r.particleRhw = rhw;
        r.particleFog = fog;
    }
}

template <Pass kPass, Fog kFog>
void EmitParticles(SgD3DRenderContext& ctx, SgVertexWorkRecord* records, float sizeScale, const float* sizes,
                   uint32_t count) {
    TransformParticleCentres<kFog>(ctx, records, count);
    SgD3DDriver& d = *ctx.driver;
    SgVertexBatch& b = d.batch;
    const SgViewBlock& view = ctx.view;
    const float k = 2.0f * view.halfWidth * view.nearDistance * sizeScale / (view.right_ - view.left);
    const float width = static_cast<float>(d.buffers->TargetWidth());
    const float height = static_cast<float>(d.buffers->TargetHeight());
    for (uint32_t i = 0; i < count; ++i) {
        SgVertexWorkRecord& r = records[i];
        if (!r.used)
            continue;
        const float h = k * (sizes ? sizes[i] : 1.0f) * r.particleRhw;
        const float x0 = r.x - h, x1 = r.x + h, y0 = r.y - h, y1 = r.y + h;
        // Never clipped: a quad that reaches the one-pixel border is dropped whole.
        if (!(x0 >= 1.0f && y0 >= 1.0f && x1 < width - 1.0f && y1 < height - 1.0f))
            continue;
        if (!MakeRoom(d, 2))
            return;
        const uint32_t fog = static_cast<uint32_t>(r.particleFog < 0 ? 0 : r.particleFog > 255 ? 255 : r.particleFog);
        uint32_t diffuse = 0xFFFFFFFFu, specular = fog << 24;
        if constexpr (kPass != Pass::Uncoloured)
            diffuse = PackDiffuse(r);
        if constexpr (kPass == Pass::ColouredSpecular) {
            const uint32_t s = Byte(r.specular);
            specular |= s << 16 | s << 8 | s;
        }
        const float corners[4][4] = {{x0, y0, 0, 1}, {x0, y1, 0, 0}, {x1, y1, 1, 0}, {x1, y0, 1, 1}};
        const auto first = static_cast<uint16_t>(b.vertexCount);
        for (const auto& c : corners) {
            auto* v = reinterpret_cast<SgTransformedVertex*>(b.write);
            *v = {c[0], c[1], r.z, r.particleRhw, diffuse, specular, c[2], c[3]};
            b.write += b.vertexSize;
        }
        const uint16_t quad[6] = {0, 1, 3, 1, 2, 3};
        for (uint16_t q : quad)
            *b.indexWrite++ = static_cast<uint16_t>(first + q);
        b.vertexCount += 4;
        b.triangleCount += 2;
        r.vertexIndex = first;
        r.emittedTag = b.tag;
    }
}

// ---- Routine tables ----

template <Pass kPass, bool kSecond>
SgTriangleRoutine TriangleFor(Fog fog) {
    switch (fog) {
    case Fog::None: return TransformVertices<kPass, kSecond, Fog::None>;
    case Fog::Depth: return TransformVertices<kPass, kSecond, Fog::Depth>;
    case Fog::Range: return TransformVertices<kPass, kSecond, Fog::Range>;
    default: return TransformVertices<kPass, kSecond, Fog::VertexAlpha>;
    }
}

template <Pass kPass>
SgParticleRoutine ParticlesFor(Fog fog) {
    switch (fog) {
    case Fog::None: return EmitParticles<kPass, Fog::None>;
    case Fog::Depth: return EmitParticles<kPass, Fog::Depth>;
    case Fog::Range: return EmitParticles<kPass, Fog::Range>;
    default: return EmitParticles<kPass, Fog::VertexAlpha>;
    }
}

// ---- Record fills ----

template <typename Colour>
void Fill(uint32_t count, SgVertexWorkRecord* records, const SgVec3* positions, const SgVec3* sets, Colour colour) {
    for (uint32_t i = 0; i < count; ++i) {
        SgVertexWorkRecord& r = records[i];
        if (!r.used)
            continue;
        r.x = positions[i].x;
        r.y = positions[i].y;
        r.z = positions[i].z;
        if (sets) {
            r.u = sets[i].x;
            r.v = sets[i].y;
        }
        r.emittedTag = 0;
        colour(r, i);
    }
}

}  // namespace

int SgD3DRenderContext::SetupTransformPath(const SgBoundSphere& bound, uint32_t vertexCount,
                                           const SgVec3* positions, const SgVec3* normals, const SgVec3* sets,
                                           uint32_t setCount, const SgRgba* colors) {
    SgD3DDriver& d = *driver;
    d.secondSet = 0;
    // Coordinates are carried only for a bound texture; a replacing texture needs no colours.
    if (!d.stages[0].texture && !d.stages[1].texture)
        sets = nullptr;
    if (sets && d.stages[1].texture && setCount >= 2 && !(d.wanted & SgD3DDriver::kWireframe))
        d.secondSet = 1;
    SgVertexWorkRecord* records = work.Records();
    const SgMaterialEntry* material = materials.Current();
    const uint32_t mode = sets && d.textureApply == 0 ? 0 : d.vertexColorMode;
    bool coloured = true;
    auto none = [](SgVertexWorkRecord&, uint32_t) {};
    switch (mode) {
    case 1:
        if (colors) {
            Fill(vertexCount, records, positions, sets, [&](SgVertexWorkRecord& r, uint32_t i) {
                r.r = colors[i].r * 255.0f;
                r.g = colors[i].g * 255.0f;
                r.b = colors[i].b * 255.0f;
                r.a = colors[i].a * 255.0f;
            });
            break;
        }
        [[fallthrough]];
    case 0:
        Fill(vertexCount, records, positions, sets, none);
        coloured = false;
        break;
    case 2:
    case 3: {
        if (!material)
            return 7;
        const SgRgb c = material->ambient;
        const float alpha = material->alpha;
        if (mode == 3 && colors)
            Fill(vertexCount, records, positions, sets, [&](SgVertexWorkRecord& r, uint32_t i) {
                r.r = colors[i].r * c.r * 255.0f;
                r.g = colors[i].g * c.g * 255.0f;
                r.b = colors[i].b * c.b * 255.0f;
                r.a = colors[i].a * alpha * 255.0f;
            });
        else
            Fill(vertexCount, records, positions, sets, [&](SgVertexWorkRecord& r, uint32_t) {
                r.r = c.r * 255.0f;
                r.g = c.g * 255.0f;
                r.b = c.b * 255.0f;
                r.a = alpha * 255.0f;
            });
        break;
    }
    default: {
        // 4, 5 and 6 light the vertices; lighting needs the material just as 2 and 3 do.
        if (!material)
            return 7;
        SgLightingInput in{material, eye,      bound,           vertexCount, records,
                           positions, normals, sets,            mode == 4 ? nullptr : colors,
                           specularOn != 0,     mode == 6};
        ComputeVertexColors(lights, in);
        break;
    }
    }

    if (d.secondSet) {
        const SgVec3* second = sets + vertexCount;
        for (uint32_t i = 0; i < vertexCount; ++i)
            if (records[i].used) {
                records[i].u2 = second[i].x;
                records[i].v2 = second[i].y;
            }
    }

    Fog fog = Fog::Depth;
    if (!this->fog.on)
        fog = Fog::None;
    else if (this->fog.range)
        fog = Fog::Range;
    else if (this->fog.vertexAlpha)
        fog = Fog::VertexAlpha;
    const bool second = d.secondSet != 0;
    if (!coloured) {
        triangleRoutine = second ? TriangleFor<Pass::Uncoloured, true>(fog) : TriangleFor<Pass::Uncoloured, false>(fog);
        lineRoutine = EmitLine<false>;
        particleRoutine = ParticlesFor<Pass::Uncoloured>(fog);
    } else if (!specularOn) {
        triangleRoutine = second ? TriangleFor<Pass::Coloured, true>(fog) : TriangleFor<Pass::Coloured, false>(fog);
        lineRoutine = EmitLine<true>;
        particleRoutine = ParticlesFor<Pass::Coloured>(fog);
    } else {
        triangleRoutine = second ? TriangleFor<Pass::ColouredSpecular, true>(fog)
                                 : TriangleFor<Pass::ColouredSpecular, false>(fog);
        lineRoutine = EmitLine<true>;
        particleRoutine = ParticlesFor<Pass::ColouredSpecular>(fog);
    }
    return 0;
}

void SgD3DRenderContext::EmitScreenPolygon(const SgVec3* points, const SgVec3* coords, const SgRgba* colors,
                                           uint32_t count) {
    SgD3DDriver& d = *driver;
    SgVertexBatch& b = d.batch;
    if (b.vertexCount + count >= d.vertexLimit || b.triangleCount + count > b.indexRoom)
        d.FlushVertexBatch();
    if (!b.locked)
        return;
    const D3DVIEWPORT2& vp = d.viewportRect;
    const float left = static_cast<float>(vp.dwX), width = static_cast<float>(vp.dwWidth);
    const float bottom = static_cast<float>(vp.dwY + vp.dwHeight), height = static_cast<float>(vp.dwHeight);
    const float nearD = view.nearDistance, farD = view.farDistance;
    const auto first = static_cast<uint16_t>(b.vertexCount);
    for (uint32_t i = 0; i < count; ++i) {
        auto* v = reinterpret_cast<SgTransformedVertex*>(b.write);
        const float z = points[i].z;
        v->sx = left + points[i].x * width;
        v->sy = bottom - points[i].y * height;
        v->rhw = 0.95f / ((farD - nearD) * z + nearD);
        v->sz = v->rhw * z * farD;
        if (colors) {
            const SgRgba& c = colors[i];
            v->diffuse = Byte(c.a * 255.0f) << 24 | Byte(c.r * 255.0f) << 16 | Byte(c.g * 255.0f) << 8 |
                         Byte(c.b * 255.0f);
        } else {
            v->diffuse = 0xFFFFFFFFu;
        }
        v->specular = 0xFF000000u;
        v->tu = coords ? coords[i].x : 0.0f;
        v->tv = coords ? coords[i].y : 0.0f;
        b.write += b.vertexSize;
    }
    b.vertexCount += count;
    for (uint32_t k = 2; k < count; ++k) {
        *b.indexWrite++ = static_cast<uint16_t>(first + k);
        *b.indexWrite++ = first;
        *b.indexWrite++ = static_cast<uint16_t>(first + k - 1);
        ++b.triangleCount;
    }
}
