#include "tests/support/ddraw_device.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/ddraw/format.h"
#include "platform/win/platform.h"

namespace ddtest {

namespace {

using platform::dd::FormatInfo;
using platform::dd::LoadPixel;
using platform::dd::PixelKind;
using platform::dd::StorePixel;

uint32_t Get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

int ColorDistance(uint32_t a, uint32_t b) {
    return std::max({std::abs(Red(a) - Red(b)), std::abs(Green(a) - Green(b)), std::abs(Blue(a) - Blue(b))});
}

Image Capture(IDirectDrawSurface4* surface) {
    Image image;
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    if (FAILED(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        return image;
    FormatInfo info = FormatInfo::From(d.ddpfPixelFormat);
    PALETTEENTRY palette[256];
    const PALETTEENTRY* entries = nullptr;
    IDirectDrawPalette* p = nullptr;
    if (info.kind == PixelKind::Palette8 && SUCCEEDED(surface->GetPalette(&p))) {
        p->GetEntries(0, 0, 256, palette);
        p->Release();
        entries = palette;
    }
    image.width = static_cast<int>(d.dwWidth);
    image.height = static_cast<int>(d.dwHeight);
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(d.lpSurface) + static_cast<ptrdiff_t>(y) * d.lPitch;
        for (int x = 0; x < image.width; ++x)
            image.pixels[static_cast<size_t>(y) * image.width + x] =
                info.ToArgb(LoadPixel(row + x * info.bytes, info.bytes), entries);
    }
    surface->Unlock(nullptr);
    return image;
}

uint32_t RawPixel(IDirectDrawSurface4* surface, int x, int y) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    if (FAILED(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        return 0xDEADBEEF;
    FormatInfo info = FormatInfo::From(d.ddpfPixelFormat);
    const uint8_t* p = static_cast<const uint8_t*>(d.lpSurface) + static_cast<ptrdiff_t>(y) * d.lPitch + x * info.bytes;
    uint32_t v = LoadPixel(p, info.bytes);
    surface->Unlock(nullptr);
    return v;
}

void FillSurface(IDirectDrawSurface4* surface, const std::function<uint32_t(int, int)>& fill) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    if (FAILED(surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr)))
        return;
    FormatInfo info = FormatInfo::From(d.ddpfPixelFormat);
    for (DWORD y = 0; y < d.dwHeight; ++y) {
        uint8_t* row = static_cast<uint8_t*>(d.lpSurface) + static_cast<ptrdiff_t>(y) * d.lPitch;
        for (DWORD x = 0; x < d.dwWidth; ++x)
            StorePixel(row + x * info.bytes, info.bytes, fill(static_cast<int>(x), static_cast<int>(y)));
    }
    surface->Unlock(nullptr);
}

bool WritePng(const std::string& path, const Image& image) {
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(image.height) * 3 * image.width);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t c = image.At(x, y);
            rgb.push_back(static_cast<uint8_t>(Red(c)));
            rgb.push_back(static_cast<uint8_t>(Green(c)));
            rgb.push_back(static_cast<uint8_t>(Blue(c)));
        }
    }
    return platform::WritePng(path, image.width, image.height, rgb.data());
}

bool ReadPng(const std::string& path, Image* image) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (data.size() < 8 || std::memcmp(data.data(), kSignature, 8) != 0)
        return false;
    size_t pos = 8;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> packed;
    while (pos + 12 <= data.size()) {
        uint32_t length = Get32(&data[pos]);
        if (length > data.size() - pos - 12)
            return false;
        const char* type = reinterpret_cast<const char*>(&data[pos + 4]);
        const uint8_t* body = &data[pos + 8];
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length < 13 || body[8] != 8 || body[9] != 2 || body[12] != 0)
                return false;  // only what WritePng writes
            width = Get32(body);
            height = Get32(body + 4);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.insert(packed.end(), body, body + length);
        }
        pos += 12 + length;
    }
    if (width == 0 || height == 0 || width > 8192 || height > 8192)
        return false;
    const size_t stride = 3 * static_cast<size_t>(width);
    std::vector<uint8_t> raw((stride + 1) * height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
        rawSize != raw.size())
        return false;
    std::vector<uint8_t> previous(stride, 0), current(stride);
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->pixels.assign(static_cast<size_t>(width) * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* line = &raw[y * (stride + 1)];
        const uint8_t filter = line[0];
        for (size_t i = 0; i < stride; ++i) {
            int a = i >= 3 ? current[i - 3] : 0, b = previous[i], c = i >= 3 ? previous[i - 3] : 0;
            int x = line[1 + i];
            switch (filter) {
            case 1: x += a; break;
            case 2: x += b; break;
            case 3: x += (a + b) / 2; break;
            case 4: x += Paeth(a, b, c); break;
            default: break;
            }
            current[i] = static_cast<uint8_t>(x);
        }
        for (uint32_t x = 0; x < width; ++x)
            image->pixels[y * width + x] = 0xFF000000u | (uint32_t(current[3 * x]) << 16) |
                                           (uint32_t(current[3 * x + 1]) << 8) | current[3 * x + 2];
        previous.swap(current);
    }
    return true;
}

namespace {

// Where a failed comparison leaves the image it got: under the build tree, at the golden's place
// relative to the sources.
std::string ActualImagePath(const std::string& dir, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path golden = fs::path(dir).lexically_normal();
    fs::path rel = golden.lexically_relative(fs::path(QUORRIN_SOURCE_DIR).lexically_normal());
    if (rel.empty() || *rel.begin() == "..")
        rel = golden.filename();
    const fs::path out = fs::path(QUORRIN_GOLDEN_ACTUAL_DIR) / rel / (name + ".actual.png");
    std::error_code ignored;
    fs::create_directories(out.parent_path(), ignored);
    return out.string();
}

}  // namespace

bool MatchesGolden(const std::string& dir, const std::string& name, const Image& image, int tolerance,
                   int allowedPixels, std::string* message) {
    const std::string path = dir + "/" + name + ".png";
    const char* update = std::getenv("QUORRIN_UPDATE_GOLDEN");
    if (update && std::strcmp(update, "1") == 0) {
        if (!WritePng(path, image)) {
            *message = "cannot write " + path;
            return false;
        }
        return true;
    }
    Image golden;
    if (!ReadPng(path, &golden)) {
        *message = "no golden image " + path + " (QUORRIN_UPDATE_GOLDEN=1 writes it)";
        return false;
    }
    if (golden.width != image.width || golden.height != image.height) {
        *message = "size differs from " + path;
        return false;
    }
    int bad = 0, worst = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        int d = ColorDistance(image.pixels[i], golden.pixels[i]);
        worst = std::max(worst, d);
        if (d > tolerance)
            ++bad;
    }
    if (bad > allowedPixels) {
        const std::string actual = ActualImagePath(dir, name);
        const bool kept = WritePng(actual, image);
        *message = std::to_string(bad) + " pixels differ from " + path + " by more than " + std::to_string(tolerance) +
                   " (largest difference " + std::to_string(worst) + ")" +
                   (kept ? "; this image is in " + actual : "; cannot write " + actual);
        return false;
    }
    return true;
}

D3DTLVERTEX Vertex(float x, float y, float z, float rhw, D3DCOLOR diffuse, D3DCOLOR specular, float u, float v) {
    return D3DTLVERTEX{x, y, z, rhw, diffuse, specular, u, v};
}

// ---- SoftDevice -----------------------------------------------------------------------------------

std::unique_ptr<SoftDevice> SoftDevice::Create(const DeviceOptions& options) {
    auto d = std::make_unique<SoftDevice>();
    d->width = options.width;
    d->height = options.height;
    IDirectDraw* dd1 = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &dd1, nullptr)))
        return nullptr;
    HRESULT hr = dd1->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&d->directDraw));
    dd1->Release();
    if (FAILED(hr))
        return nullptr;
    d->directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    if (FAILED(d->directDraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d->direct3d))))
        return nullptr;
    const GUID& kind = options.device ? *options.device : IID_IDirect3DRGBDevice;
    const bool hardware = kind == IID_IDirect3DHALDevice;

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(options.width);
    desc.dwHeight = static_cast<DWORD>(options.height);
    desc.ddpfPixelFormat = options.format.dwSize ? options.format : platform::dd::FormatRgb565();
    desc.ddsCaps.dwCaps = DDSCAPS_3DDEVICE | (hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY) |
                          DDSCAPS_OFFSCREENPLAIN;
    if (FAILED(d->directDraw->CreateSurface(&desc, &d->target, nullptr)))
        return nullptr;
    if (options.depth) {
        DDSURFACEDESC2 z{};
        z.dwSize = sizeof(z);
        z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        z.dwWidth = desc.dwWidth;
        z.dwHeight = desc.dwHeight;
        z.ddpfPixelFormat = options.depthFormat.dwSize ? options.depthFormat : platform::dd::FormatZ16();
        z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
        if (FAILED(d->directDraw->CreateSurface(&z, &d->depth, nullptr)) ||
            FAILED(d->target->AddAttachedSurface(d->depth)))
            return nullptr;
    }
    if (FAILED(d->direct3d->CreateDevice(kind, d->target, &d->device, nullptr)))
        return nullptr;
    if (FAILED(d->direct3d->CreateViewport(&d->viewport, nullptr)) || FAILED(d->device->AddViewport(d->viewport)) ||
        FAILED(d->SetViewport(0, 0, options.width, options.height)) ||
        FAILED(d->device->SetCurrentViewport(d->viewport)))
        return nullptr;
    // Plain defaults for pixel tests: no culling, depth test on when there is a buffer.
    d->State(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    d->State(D3DRENDERSTATE_ZENABLE, options.depth ? TRUE : FALSE);
    d->StageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    d->StageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->StageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    d->StageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    return d;
}

SoftDevice::~SoftDevice() {
    if (viewport)
        viewport->Release();
    if (device)
        device->Release();
    if (depth)
        depth->Release();
    if (target)
        target->Release();
    if (direct3d)
        direct3d->Release();
    if (directDraw)
        directDraw->Release();
}

HRESULT SoftDevice::SetViewport(int x, int y, int w, int h) {
    D3DVIEWPORT2 vp{sizeof(D3DVIEWPORT2), static_cast<DWORD>(x), static_cast<DWORD>(y), static_cast<DWORD>(w),
                    static_cast<DWORD>(h), 0, 0, static_cast<float>(w), static_cast<float>(h), 0, 1};
    return viewport->SetViewport2(&vp);
}

void SoftDevice::Clear(D3DCOLOR color, float z) {
    D3DRECT r{0, 0, width, height};
    viewport->Clear2(1, &r, D3DCLEAR_TARGET | (depth ? D3DCLEAR_ZBUFFER : 0), color, z, 0);
}

HRESULT SoftDevice::Draw(D3DPRIMITIVETYPE type, const std::vector<D3DTLVERTEX>& vertices) {
    std::vector<D3DTLVERTEX> copy = vertices;
    device->BeginScene();
    HRESULT hr = device->DrawPrimitive(type, D3DFVF_TLVERTEX, copy.data(), static_cast<DWORD>(copy.size()), 0);
    device->EndScene();
    return hr;
}

HRESULT SoftDevice::DrawIndexed(D3DPRIMITIVETYPE type, const std::vector<D3DTLVERTEX>& vertices,
                                const std::vector<WORD>& indices) {
    std::vector<D3DTLVERTEX> copy = vertices;
    std::vector<WORD> idx = indices;
    device->BeginScene();
    HRESULT hr = device->DrawIndexedPrimitive(type, D3DFVF_TLVERTEX, copy.data(), static_cast<DWORD>(copy.size()),
                                              idx.data(), static_cast<DWORD>(idx.size()), 0);
    device->EndScene();
    return hr;
}

HRESULT SoftDevice::DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR color, float z, float u0, float v0,
                             float u1, float v1) {
    return Draw(D3DPT_TRIANGLELIST,
                {Vertex(x0, y0, z, 1, color, 0xFF000000, u0, v0), Vertex(x1, y0, z, 1, color, 0xFF000000, u1, v0),
                 Vertex(x0, y1, z, 1, color, 0xFF000000, u0, v1), Vertex(x1, y0, z, 1, color, 0xFF000000, u1, v0),
                 Vertex(x1, y1, z, 1, color, 0xFF000000, u1, v1), Vertex(x0, y1, z, 1, color, 0xFF000000, u0, v1)});
}

uint32_t SoftDevice::Pixel(int x, int y) const {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(f);
    target->GetPixelFormat(&f);
    return FormatInfo::From(f).ToArgb(RawPixel(target, x, y), nullptr);
}

uint32_t SoftDevice::Depth(int x, int y) const { return depth ? RawPixel(depth, x, y) : 0; }

IDirectDrawSurface4* SoftDevice::MakeTexture(int w, int h, const DDPIXELFORMAT& format,
                                             const std::function<uint32_t(int, int, int)>& texel, int levels) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    desc.ddpfPixelFormat = format;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    if (levels > 0) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = static_cast<DWORD>(levels);
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    IDirectDrawSurface4* surface = nullptr;
    if (FAILED(directDraw->CreateSurface(&desc, &surface, nullptr)))
        return nullptr;
    const FormatInfo info = FormatInfo::From(format);
    IDirectDrawSurface4* level = surface;
    level->AddRef();
    for (int l = 0; level; ++l) {
        FillSurface(level, [&](int x, int y) { return info.FromArgb(texel(x, y, l)); });
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
        IDirectDrawSurface4* next = nullptr;
        if (FAILED(level->GetAttachedSurface(&caps, &next)))
            next = nullptr;
        level->Release();
        level = next;
    }
    return surface;
}

IDirect3DTexture2* SoftDevice::AsTexture(IDirectDrawSurface4* surface) {
    IDirect3DTexture2* t = nullptr;
    if (surface)
        surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t));
    return t;
}

void SoftDevice::SetTexture(DWORD stage, IDirectDrawSurface4* surface) {
    IDirect3DTexture2* t = AsTexture(surface);
    device->SetTexture(stage, t);
    if (t)
        t->Release();
}

namespace {
bool g_demoClosed = false;
}  // namespace

LRESULT DemoWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || (message == WM_SYSCOMMAND && wParam == SC_CLOSE) ||
        (message == WM_KEYDOWN && wParam == VK_ESCAPE)) {
        g_demoClosed = true;
        return 0;
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

bool DemoClosed() {
    return g_demoClosed;
}

HWND MakeGameWindow(int width, int height, WNDPROC procedure) {
    WNDCLASS wc{};
    wc.lpfnWndProc = procedure;
    wc.lpszClassName = "Vorn";
    RegisterClass(&wc);
    return CreateWindowEx(0, "Vorn", "Quorrin", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
}

// ---- Fixture ----------------------------------------------------------------------------------

void DDrawTest::SetUp() {
    HeadlessTest::SetUp();
    platform::dd::ResetDDraw();
}

void DDrawTest::TearDown() {
    EXPECT_EQ(platform::dd::LiveObjectCount(), 0) << "DirectDraw objects left unreleased";
    platform::dd::ResetDDraw();
    HeadlessTest::TearDown();
}

}  // namespace ddtest
