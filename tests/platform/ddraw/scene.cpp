#include "tests/platform/ddraw/scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/format.h"

namespace ddscene {

namespace {

namespace dd = platform::dd;

constexpr float kNear = 0.1f;
constexpr float kFar = 60.0f;
constexpr float kFogStart = 8.0f;
constexpr float kFogEnd = 40.0f;
constexpr D3DCOLOR kFogColor = 0x00A0B4C8;
constexpr DWORD kBatchVertices = 2048;

struct Vec3 {
    float x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalize(Vec3 a) { return a * (1.0f / std::sqrt(Dot(a, a))); }

// A vertex in view space with what the rasteriser will interpolate.
struct ViewVertex {
    Vec3 p;
    float u, v;
    float r, g, b, a;
};

uint32_t Pack(int r, int g, int b) {
    return 0xFF000000u | (uint32_t(std::clamp(r, 0, 255)) << 16) | (uint32_t(std::clamp(g, 0, 255)) << 8) |
           uint32_t(std::clamp(b, 0, 255));
}

// A hashed value noise in 0..1 for the procedural textures.
float Noise(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

// A 64 x 64 texture with its mip chain, each level the box-filtered half of the one above.
IDirectDrawSurface4* MakeTexture(IDirectDraw4* dd, const std::function<uint32_t(int, int)>& texel) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = 64;
    d.dwHeight = 64;
    d.ddpfPixelFormat = dd::FormatRgb565();
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    IDirectDrawSurface4* top = nullptr;
    if (FAILED(dd->CreateSurface(&d, &top, nullptr)))
        return nullptr;
    int size = 64;
    std::vector<uint32_t> pixels(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels[y * 64 + x] = texel(x, y);
    const dd::FormatInfo info = dd::FormatInfo::From(d.ddpfPixelFormat);
    IDirectDrawSurface4* level = top;
    level->AddRef();
    while (level) {
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof(locked);
        if (SUCCEEDED(level->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) {
            for (int y = 0; y < size; ++y) {
                auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
                for (int x = 0; x < size; ++x)
                    row[x] = static_cast<uint16_t>(info.FromArgb(pixels[y * size + x]));
            }
            level->Unlock(nullptr);
        }
        const int half = std::max(1, size / 2);
        std::vector<uint32_t> next(static_cast<size_t>(half) * half);
        for (int y = 0; y < half; ++y) {
            for (int x = 0; x < half; ++x) {
                int r = 0, g = 0, b = 0;
                for (int k = 0; k < 4; ++k) {
                    uint32_t c = pixels[std::min(size - 1, 2 * y + k / 2) * size + std::min(size - 1, 2 * x + k % 2)];
                    r += (c >> 16) & 0xFF;
                    g += (c >> 8) & 0xFF;
                    b += c & 0xFF;
                }
                next[y * half + x] = Pack(r / 4, g / 4, b / 4);
            }
        }
        pixels.swap(next);
        size = half;
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
        IDirectDrawSurface4* lower = nullptr;
        if (FAILED(level->GetAttachedSurface(&caps, &lower)))
            lower = nullptr;
        level->Release();
        level = lower;
    }
    return top;
}

uint32_t FloorTexel(int x, int y) {
    const bool dark = ((x / 16) + (y / 16)) % 2 == 1;
    const float n = Noise(x, y) * 0.25f + Noise(x / 4, y / 4) * 0.2f;
    const bool grout = x % 16 == 0 || y % 16 == 0;
    float base = dark ? 110.0f : 185.0f;
    if (grout)
        base = 60.0f;
    const float v = base * (0.8f + n);
    return Pack(static_cast<int>(v * 1.05f), static_cast<int>(v), static_cast<int>(v * 0.9f));
}

uint32_t CrateTexel(int x, int y) {
    const bool border = x < 5 || x > 58 || y < 5 || y > 58;
    const bool brace = std::abs(x - y) < 4 || std::abs(x + y - 63) < 4;
    const float grain = 0.75f + 0.25f * std::sin(static_cast<float>(y) * 0.9f + Noise(x / 8, y) * 3.0f) +
                        0.1f * Noise(x, y);
    float r = 170, g = 115, b = 60;
    if (border || brace) {
        r = 120;
        g = 75;
        b = 35;
    }
    return Pack(static_cast<int>(r * grain), static_cast<int>(g * grain), static_cast<int>(b * grain));
}

// Collects triangles as transformed vertices and draws them from the vertex buffer in batches.
class Emitter {
public:
    Emitter(IDirect3DDevice3* device, IDirect3DVertexBuffer* buffer, int width, int height)
        : device_(device), buffer_(buffer), cx_(width * 0.5f), cy_(height * 0.5f), focal_(height * 0.95f) {}

    // Cuts the triangle at the near plane and keeps what is in front.
    void Triangle(const ViewVertex& a, const ViewVertex& b, const ViewVertex& c) {
        ViewVertex in[3] = {a, b, c};
        ViewVertex out[4];
        int n = 0;
        for (int i = 0; i < 3; ++i) {
            const ViewVertex& p = in[i];
            const ViewVertex& q = in[(i + 1) % 3];
            const bool pIn = p.p.z >= kNear, qIn = q.p.z >= kNear;
            if (pIn)
                out[n++] = p;
            if (pIn != qIn) {
                const float t = (kNear - p.p.z) / (q.p.z - p.p.z);
                ViewVertex m;
                m.p = p.p + (q.p - p.p) * t;
                m.u = p.u + (q.u - p.u) * t;
                m.v = p.v + (q.v - p.v) * t;
                m.r = p.r + (q.r - p.r) * t;
                m.g = p.g + (q.g - p.g) * t;
                m.b = p.b + (q.b - p.b) * t;
                m.a = p.a + (q.a - p.a) * t;
                out[n++] = m;
            }
        }
        if (n < 3)
            return;
        if (vertices_.size() + static_cast<size_t>(n) > kBatchVertices)
            Flush();
        const WORD first = static_cast<WORD>(vertices_.size());
        for (int i = 0; i < n; ++i)
            vertices_.push_back(Project(out[i]));
        for (int i = 1; i + 1 < n; ++i)
            indices_.insert(indices_.end(), {first, static_cast<WORD>(first + i), static_cast<WORD>(first + i + 1)});
        triangles_ += n - 2;
    }

    bool Flush() {
        if (indices_.empty())
            return true;
        void* data = nullptr;
        DWORD size = 0;
        bool ok = SUCCEEDED(buffer_->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY, &data, &size));
        if (ok) {
            std::memcpy(data, vertices_.data(), vertices_.size() * sizeof(D3DTLVERTEX));
            buffer_->Unlock();
            ok = SUCCEEDED(device_->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, buffer_, indices_.data(),
                                                          static_cast<DWORD>(indices_.size()),
                                                          D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS));
        }
        failed_ |= !ok;
        vertices_.clear();
        indices_.clear();
        return ok;
    }

    int Triangles() const { return triangles_; }
    bool Failed() const { return failed_; }

private:
    D3DTLVERTEX Project(const ViewVertex& v) const {
        const float w = v.p.z;
        const float rhw = 1.0f / w;
        D3DTLVERTEX t;
        t.sx = cx_ + focal_ * v.p.x * rhw;
        t.sy = cy_ - focal_ * v.p.y * rhw;
        t.sz = 0.95f * kFar / (kFar - kNear) * (1.0f - kNear * rhw);
        t.rhw = rhw;
        const uint32_t rgb = Pack(static_cast<int>(v.r), static_cast<int>(v.g), static_cast<int>(v.b)) & 0x00FFFFFFu;
        t.color = (static_cast<uint32_t>(std::clamp(v.a, 0.0f, 255.0f)) << 24) | rgb;
        const float fog = std::clamp((kFogEnd - w) / (kFogEnd - kFogStart), 0.0f, 1.0f);
        t.specular = static_cast<uint32_t>(fog * 255.0f) << 24;
        t.tu = v.u;
        t.tv = v.v;
        return t;
    }

    IDirect3DDevice3* device_;
    IDirect3DVertexBuffer* buffer_;
    float cx_, cy_, focal_;
    std::vector<D3DTLVERTEX> vertices_;
    std::vector<WORD> indices_;
    int triangles_ = 0;
    bool failed_ = false;
};

// The camera: where it stands and how it turns world points into view space.
struct Camera {
    Vec3 position;
    float yaw, pitch;

    Vec3 ToView(Vec3 w) const {
        Vec3 d = w - position;
        const float cy = std::cos(yaw), sy = std::sin(yaw);
        Vec3 a{cy * d.x - sy * d.z, d.y, sy * d.x + cy * d.z};
        const float cp = std::cos(pitch), sp = std::sin(pitch);
        return {a.x, cp * a.y - sp * a.z, sp * a.y + cp * a.z};
    }
};

// Ambient plus one directional light, on a base colour.
void Light(Vec3 normal, float base[3], float out[3]) {
    static const Vec3 kLight = Normalize({-0.45f, 0.8f, -0.4f});
    const float lambert = std::max(0.0f, Dot(Normalize(normal), kLight));
    const float shade = 0.3f + 0.85f * lambert;
    for (int i = 0; i < 3; ++i)
        out[i] = std::min(255.0f, base[i] * shade);
}

}  // namespace

Scene::Scene(IDirectDraw4* directDraw, IDirect3D3* direct3d) {
    floor_ = MakeTexture(directDraw, FloorTexel);
    crate_ = MakeTexture(directDraw, CrateTexel);
    D3DVERTEXBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwCaps = D3DVBCAPS_WRITEONLY | D3DVBCAPS_SYSTEMMEMORY;
    desc.dwFVF = D3DFVF_TLVERTEX;
    desc.dwNumVertices = kBatchVertices;
    if (FAILED(direct3d->CreateVertexBuffer(&desc, &buffer_, D3DDP_DONOTCLIP, nullptr)))
        buffer_ = nullptr;
}

Scene::~Scene() {
    if (buffer_)
        buffer_->Release();
    if (crate_)
        crate_->Release();
    if (floor_)
        floor_->Release();
}

int Scene::Render(IDirect3DDevice3* device, IDirect3DViewport3* viewport, int width, int height, float seconds) {
    D3DRECT all{0, 0, width, height};
    if (FAILED(viewport->Clear2(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kFogColor, 1.0f, 0)))
        return -1;
    if (FAILED(device->BeginScene()))
        return -1;
    auto state = [&](D3DRENDERSTATETYPE s, DWORD v) { device->SetRenderState(s, v); };
    auto stage = [&](D3DTEXTURESTAGESTATETYPE s, DWORD v) { device->SetTextureStageState(0, s, v); };
    state(D3DRENDERSTATE_ZENABLE, TRUE);
    state(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
    state(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    state(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    state(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    state(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    state(D3DRENDERSTATE_FOGENABLE, TRUE);
    state(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
    state(D3DRENDERSTATE_FOGCOLOR, kFogColor);
    state(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    stage(D3DTSS_COLOROP, D3DTOP_MODULATE);
    stage(D3DTSS_COLORARG1, D3DTA_TEXTURE);
    stage(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    stage(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    stage(D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
    stage(D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    stage(D3DTSS_MINFILTER, D3DTFN_LINEAR);
    stage(D3DTSS_MIPFILTER, D3DTFP_POINT);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);

    const Camera camera{{0.6f * std::sin(seconds * 0.4f), 1.7f, -4.0f + 1.5f * std::sin(seconds * 0.25f)},
                        0.18f * std::sin(seconds * 0.3f), -0.12f};
    Emitter emit(device, buffer_, width, height);
    auto vertex = [&](Vec3 world, float u, float v, const float color[3], float alpha) {
        return ViewVertex{camera.ToView(world), u, v, color[0], color[1], color[2], alpha};
    };

    // The floor: one lit plane of 2 x 2 cells.
    IDirect3DTexture2* texture = nullptr;
    floor_->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture));
    device->SetTexture(0, texture);
    texture->Release();
    float white[3] = {255, 255, 255}, lit[3];
    Light({0, 1, 0}, white, lit);
    for (int cz = -3; cz < 27; ++cz) {
        for (int cx = -12; cx < 12; ++cx) {
            const float x0 = cx * 2.0f, z0 = cz * 2.0f, x1 = x0 + 2, z1 = z0 + 2;
            ViewVertex a = vertex({x0, 0, z0}, x0 * 0.25f, z0 * 0.25f, lit, 255);
            ViewVertex b = vertex({x1, 0, z0}, x1 * 0.25f, z0 * 0.25f, lit, 255);
            ViewVertex c = vertex({x0, 0, z1}, x0 * 0.25f, z1 * 0.25f, lit, 255);
            ViewVertex d = vertex({x1, 0, z1}, x1 * 0.25f, z1 * 0.25f, lit, 255);
            emit.Triangle(a, b, c);
            emit.Triangle(b, d, c);
        }
    }
    emit.Flush();

    // Crates turning on the spot, lit face by face.
    crate_->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture));
    device->SetTexture(0, texture);
    texture->Release();
    const Vec3 places[] = {{-2.6f, 0.6f, 4.0f}, {2.2f, 0.8f, 8.0f}, {-1.0f, 0.5f, 13.0f},
                           {4.5f, 1.0f, 18.0f}, {-5.0f, 0.7f, 24.0f}, {1.5f, 0.9f, 32.0f}};
    int index = 0;
    for (const Vec3& centre : places) {
        const float s = centre.y;
        const float angle = seconds * (0.5f + 0.15f * index) + static_cast<float>(index);
        const float ca = std::cos(angle), sa = std::sin(angle);
        auto turn = [&](Vec3 p) { return Vec3{ca * p.x - sa * p.z, p.y, sa * p.x + ca * p.z}; };
        static const Vec3 kNormals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
        float tint[3] = {255, 240 - 12.0f * index, 225 - 20.0f * index};
        for (const Vec3& n : kNormals) {
            // Two axes across the face.
            const Vec3 a = std::fabs(n.y) > 0.5f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
            const Vec3 b = Vec3{n.y * a.z - n.z * a.y, n.z * a.x - n.x * a.z, n.x * a.y - n.y * a.x};
            Vec3 corners[4];
            for (int k = 0; k < 4; ++k) {
                const float ua = (k == 1 || k == 2) ? 1.0f : -1.0f, vb = k >= 2 ? 1.0f : -1.0f;
                corners[k] = centre + turn((n + a * ua + b * vb) * s);
            }
            float color[3];
            Light(turn(n), tint, color);
            ViewVertex v0 = vertex(corners[0], 0, 0, color, 255), v1 = vertex(corners[1], 1, 0, color, 255);
            ViewVertex v2 = vertex(corners[2], 1, 1, color, 255), v3 = vertex(corners[3], 0, 1, color, 255);
            emit.Triangle(v0, v1, v2);
            emit.Triangle(v0, v2, v3);
        }
        ++index;
    }
    emit.Flush();

    // A translucent pane in front of the nearest crate.
    device->SetTexture(0, nullptr);
    stage(D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    state(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    state(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    float glass[3] = {90, 170, 255};
    ViewVertex p0 = vertex({-1.2f, 0.2f, 2.5f}, 0, 0, glass, 110), p1 = vertex({0.6f, 0.2f, 3.0f}, 0, 0, glass, 110);
    ViewVertex p2 = vertex({0.6f, 2.0f, 3.0f}, 0, 0, glass, 90), p3 = vertex({-1.2f, 2.0f, 2.5f}, 0, 0, glass, 90);
    emit.Triangle(p0, p1, p2);
    emit.Triangle(p0, p2, p3);
    emit.Flush();
    state(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    state(D3DRENDERSTATE_ZWRITEENABLE, TRUE);

    if (FAILED(device->EndScene()) || emit.Failed())
        return -1;
    return emit.Triangles();
}

std::unique_ptr<FullScreen> FullScreen::Open(HWND window, int width, int height, std::string* error) {
    auto f = std::make_unique<FullScreen>();
    auto check = [error](const char* step, HRESULT hr) {
        if (SUCCEEDED(hr))
            return true;
        char text[96];
        std::snprintf(text, sizeof(text), "%s failed: %08x", step, static_cast<unsigned>(hr));
        *error = text;
        return false;
    };
    IDirectDraw* dd1 = nullptr;
    if (!check("DirectDrawCreate", DirectDrawCreate(nullptr, &dd1, nullptr)))
        return nullptr;
    HRESULT hr = dd1->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&f->directDraw));
    dd1->Release();
    if (!check("QueryInterface", hr) ||
        !check("SetCooperativeLevel", f->directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE |
                                                                                     DDSCL_ALLOWREBOOT)) ||
        !check("SetDisplayMode", f->directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                                               16, 0, 0)))
        return nullptr;
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    if (!check("CreateSurface (primary)", f->directDraw->CreateSurface(&d, &f->front, nullptr)))
        return nullptr;
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    if (!check("GetAttachedSurface", f->front->GetAttachedSurface(&caps, &f->back)))
        return nullptr;
    DDSURFACEDESC2 z{};
    z.dwSize = sizeof(z);
    z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    z.dwWidth = static_cast<DWORD>(width);
    z.dwHeight = static_cast<DWORD>(height);
    z.ddpfPixelFormat = dd::FormatZ16();
    z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    if (!check("CreateSurface (Z-buffer)", f->directDraw->CreateSurface(&z, &f->depth, nullptr)) ||
        !check("AddAttachedSurface", f->back->AddAttachedSurface(f->depth)) ||
        !check("QueryInterface (Direct3D)",
               f->directDraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&f->direct3d))) ||
        !check("CreateDevice", f->direct3d->CreateDevice(IID_IDirect3DHALDevice, f->back, &f->device, nullptr)) ||
        !check("CreateViewport", f->direct3d->CreateViewport(&f->viewport, nullptr)) ||
        !check("AddViewport", f->device->AddViewport(f->viewport)))
        return nullptr;
    D3DVIEWPORT2 vp{sizeof(D3DVIEWPORT2), 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0,
                    static_cast<float>(width), static_cast<float>(height), 0, 1};
    if (!check("SetViewport2", f->viewport->SetViewport2(&vp)) ||
        !check("SetCurrentViewport", f->device->SetCurrentViewport(f->viewport)))
        return nullptr;
    return f;
}

FullScreen::~FullScreen() {
    for (IUnknown* p : std::initializer_list<IUnknown*>{viewport, device, direct3d, depth, back, front, directDraw})
        if (p)
            p->Release();
}

}  // namespace ddscene
