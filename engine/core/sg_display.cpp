#include "engine/core/sg_display.h"

#include <utility>

#include "engine/core/sg_registry.h"

namespace {

SgRef<SgProperty> DefaultFor(int type) {
    switch (type) {
    case SG_ALPHA_PROPERTY:
        return SgAlphaProperty::Default();
    case SG_CORRECTION_PROPERTY:
        return SgCorrectionProperty::Default();
    case SG_FOG_PROPERTY:
        return SgFogProperty::Default();
    case SG_MATERIAL_PROPERTY:
        return SgMaterialProperty::Default();
    case SG_SHADE_PROPERTY:
        return SgShadeProperty::Default();
    case SG_TEXTURE_MODE_PROPERTY:
        return SgTextureModeProperty::Default();
    case SG_TEXTURE_PROPERTY:
        return SgTextureProperty::Default();
    case SG_TRANSPARENT_PROPERTY:
        return SgTransparentProperty::Default();
    case SG_WIREFRAME_PROPERTY:
        return SgWireframeProperty::Default();
    case SG_ZBUFFER_PROPERTY:
        return SgZBufferProperty::Default();
    case SG_DITHER_PROPERTY:
        return SgDitherProperty::Default();
    case SG_VERTEX_COLOR_PROPERTY:
        return SgVertexColorProperty::Default();
    case SG_SPECULAR_PROPERTY:
        return SgSpecularProperty::Default();
    case SG_MULTI_TEXTURE_PROPERTY:
        return SgMultiTextureProperty::Default();
    default:
        return {};
    }
}

// The orders in which defaults reach the renderer: when a renderer is bound, and at each frame's
// start for the types away from their default.
constexpr int kBindOrder[] = {
    SG_ALPHA_PROPERTY,        SG_CORRECTION_PROPERTY,  SG_FOG_PROPERTY,       SG_MATERIAL_PROPERTY,
    SG_SHADE_PROPERTY,        SG_TEXTURE_MODE_PROPERTY, SG_TEXTURE_PROPERTY,  SG_TRANSPARENT_PROPERTY,
    SG_WIREFRAME_PROPERTY,    SG_DITHER_PROPERTY,      SG_VERTEX_COLOR_PROPERTY, SG_SPECULAR_PROPERTY,
    SG_ZBUFFER_PROPERTY,      SG_MULTI_TEXTURE_PROPERTY,
};
constexpr int kFrameOrder[] = {
    SG_ALPHA_PROPERTY,         SG_CORRECTION_PROPERTY,  SG_FOG_PROPERTY,           SG_MATERIAL_PROPERTY,
    SG_SHADE_PROPERTY,         SG_TEXTURE_MODE_PROPERTY, SG_TEXTURE_PROPERTY,      SG_MULTI_TEXTURE_PROPERTY,
    SG_TRANSPARENT_PROPERTY,   SG_WIREFRAME_PROPERTY,   SG_ZBUFFER_PROPERTY,       SG_DITHER_PROPERTY,
    SG_VERTEX_COLOR_PROPERTY,  SG_SPECULAR_PROPERTY,
};

template <class T>
T* As(const SgRef<SgProperty>& p) {
    return SgKindCast<T>(p.Get());
}

}  // namespace

constinit SgTypeRecord SgDisplay::typeRecord{"SgDisplay", &SgObject::typeRecord};

int SgDisplay::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgDisplay>); }

const SgTypeRecord* SgDisplay::GetTypeRecord() const { return &typeRecord; }

// Pending starts at the defaults rather than empty: an object pushed before a renderer is bound
// would otherwise get empty entries in its property list in exchange for its properties.
SgDisplay::SgDisplay() { ResetToDefaults(); }

void SgDisplay::SetRenderer(SgRender* renderer) {
    if (renderer) {
        renderer_ = renderer;
        ResetToDefaults();
        ApplyAllDefaults();
        for (uint32_t& count : overrideCounts_)
            count = 0;
    } else {
        renderer_ = nullptr;
        lightTop_ = -1;
        ResetToDefaults();
    }
}

void SgDisplay::ResetToDefaults() {
    for (int t = 0; t < SG_PROPERTY_TYPE_COUNT; ++t)
        current_[t] = DefaultFor(t);
    for (int t = 0; t < SG_PROPERTY_TYPE_COUNT; ++t)
        pending_[t] = current_[t];
}

void SgDisplay::ApplyAllDefaults() {
    if (!renderer_)
        return;
    for (int type : kBindOrder) {
        SgRef<SgProperty> p = DefaultFor(type);
        if (type == SG_TEXTURE_PROPERTY)
            renderer_->SetTextureProperty(nullptr);
        else if (type == SG_MULTI_TEXTURE_PROPERTY)
            renderer_->SetMultiTextureProperty(nullptr, nullptr, nullptr, nullptr);
        else
            SendValues(type, p.Get());
    }
}

void SgDisplay::SendDefault(int type) {
    current_[type] = DefaultFor(type);
    if (type == SG_TEXTURE_PROPERTY)
        renderer_->SetTextureProperty(nullptr);
    else if (type == SG_MULTI_TEXTURE_PROPERTY)
        renderer_->SetMultiTextureProperty(nullptr, nullptr, nullptr, nullptr);
    else
        SendValues(type, current_[type].Get());
}

void SgDisplay::SendValues(int type, SgProperty* p) {
    SgRender* r = renderer_.Get();
    switch (type) {
    case SG_ALPHA_PROPERTY:
        if (auto* a = SgKindCast<SgAlphaProperty>(p))
            r->SetAlphaProperty(a->blendOn, a->sourceBlend, a->destinationBlend);
        break;
    case SG_CORRECTION_PROPERTY:
        if (auto* c = SgKindCast<SgCorrectionProperty>(p))
            r->SetCorrectionProperty(c->perspectiveOn);
        break;
    case SG_FOG_PROPERTY:
        if (auto* f = SgKindCast<SgFogProperty>(p))
            r->SetFogProperty(f->fogOn, f->depth, f->fogKind, f->color);
        break;
    case SG_MATERIAL_PROPERTY:
        if (auto* m = SgKindCast<SgMaterialProperty>(p))
            r->SetMaterial(m);
        break;
    case SG_SHADE_PROPERTY:
        if (auto* s = SgKindCast<SgShadeProperty>(p))
            r->SetShadeProperty(s->smoothOn);
        break;
    case SG_TEXTURE_MODE_PROPERTY:
        if (auto* m = SgKindCast<SgTextureModeProperty>(p)) {
            r->SetTextureModeApply(m->applyMode);
            r->SetTextureModeFilter(m->filterMode);
            r->SetTextureModeClamp(m->addressingMode);
        }
        break;
    case SG_TRANSPARENT_PROPERTY:
        if (auto* t = SgKindCast<SgTransparentProperty>(p)) {
            r->SetTransparentProperty(t->transparentOn);
            r->SetTransparentValue(t->value);
        }
        break;
    case SG_WIREFRAME_PROPERTY:
        if (auto* w = SgKindCast<SgWireframeProperty>(p))
            r->SetWireframeProperty(w->wireframeOn);
        break;
    case SG_ZBUFFER_PROPERTY:
        if (auto* z = SgKindCast<SgZBufferProperty>(p)) {
            r->SetZBufferTest(z->depthTest);
            r->SetZBufferWrite(z->depthWrite);
        }
        break;
    case SG_DITHER_PROPERTY:
        if (auto* d = SgKindCast<SgDitherProperty>(p))
            r->SetDitherProperty(d->ditherOn);
        break;
    case SG_VERTEX_COLOR_PROPERTY:
        if (auto* v = SgKindCast<SgVertexColorProperty>(p))
            r->SetVertexColorProperty(v->mode);
        break;
    case SG_SPECULAR_PROPERTY:
        if (auto* s = SgKindCast<SgSpecularProperty>(p))
            r->SetSpecularProperty(s->specularOn);
        break;
    default:
        break;
    }
}

// ---- Frame ----

int32_t SgDisplay::BeginFrame() {
    if (!renderer_)
        return 0;
    // The device's result is for the caller; the defaults go out in any case.
    int32_t result = renderer_->BeginFrame();
    for (int type : kFrameOrder) {
        SgRef<SgProperty> fallback = DefaultFor(type);
        if (current_[type].Get() != fallback.Get())
            SendDefault(type);
    }
    return result;
}

int32_t SgDisplay::EndFrame() { return renderer_ ? renderer_->EndFrame() : 0; }

int32_t SgDisplay::PresentFrame() { return renderer_ ? renderer_->PresentFrame() : 0; }

int32_t SgDisplay::ClearBuffers(const SgViewRect* view, uint32_t flags) {
    return renderer_ ? renderer_->ClearBuffers(view, flags) : 0;
}

// ---- Properties ----

void SgDisplay::PushProperties(SgPropertyList& list) {
    list.ForEachSlot([this](SgRef<SgProperty>& entry) {
        int t = entry->PropertyType();
        if (!InRange(t) || !pending_[t])
            return;
        if (pending_[t]->override) {
            ++overrideCounts_[t];
            return;
        }
        std::swap(entry, pending_[t]);
        overrideCounts_[t] = 0;
    });
}

void SgDisplay::PopProperties(SgPropertyList& list) {
    list.ForEachSlot([this](SgRef<SgProperty>& entry) {
        int t = entry->PropertyType();
        if (!InRange(t) || !pending_[t])
            return;
        if (pending_[t]->override && overrideCounts_[t] > 0) {
            --overrideCounts_[t];
            return;
        }
        std::swap(entry, pending_[t]);
    });
}

bool SgDisplay::TakeChange(int type) {
    if (pending_[type] == current_[type].Get())
        return false;
    current_[type] = pending_[type];
    return true;
}

void SgDisplay::SendTransparentAndCorrection() {
    if (TakeChange(SG_TRANSPARENT_PROPERTY))
        SendValues(SG_TRANSPARENT_PROPERTY, current_[SG_TRANSPARENT_PROPERTY].Get());
    if (TakeChange(SG_CORRECTION_PROPERTY))
        SendValues(SG_CORRECTION_PROPERTY, current_[SG_CORRECTION_PROPERTY].Get());
}

void SgDisplay::ApplyPendingState() {
    SgRender* r = renderer_.Get();
    if (!r)
        return;
    if (TakeChange(SG_TEXTURE_MODE_PROPERTY))
        SendValues(SG_TEXTURE_MODE_PROPERTY, current_[SG_TEXTURE_MODE_PROPERTY].Get());
    if (TakeChange(SG_VERTEX_COLOR_PROPERTY))
        SendValues(SG_VERTEX_COLOR_PROPERTY, current_[SG_VERTEX_COLOR_PROPERTY].Get());

    if (TakeChange(SG_TEXTURE_PROPERTY)) {
        SgTextureProperty* texture = As<SgTextureProperty>(current_[SG_TEXTURE_PROPERTY]);
        SgRef<SgImage> image = texture ? texture->CurrentImage() : SgRef<SgImage>();
        if (!texture || texture->currentIndex == -1) {
            r->SetTextureProperty(nullptr);
        } else if (!image) {
            // An empty frame: no texture (the previous one must not stay bound), and the
            // default perspective correction.
            r->SetTextureProperty(nullptr);
            r->SetCorrectionProperty(SgCorrectionProperty::Default()->perspectiveOn);
        } else {
            r->SetTextureProperty(image.Get());
            SendTransparentAndCorrection();
        }
    }

    if (TakeChange(SG_MULTI_TEXTURE_PROPERTY)) {
        SgMultiTextureProperty* multi = As<SgMultiTextureProperty>(current_[SG_MULTI_TEXTURE_PROPERTY]);
        if (!multi || multi->textures.Count() == 0) {
            r->SetMultiTextureProperty(nullptr, nullptr, nullptr, nullptr);
        } else {
            r->SetMultiTextureProperty(&multi->textures, &multi->blendModes, &multi->addressingModes,
                                       &multi->filterModes);
            SendTransparentAndCorrection();
        }
    }

    for (int type : {SG_FOG_PROPERTY, SG_SHADE_PROPERTY, SG_SPECULAR_PROPERTY, SG_WIREFRAME_PROPERTY,
                     SG_ZBUFFER_PROPERTY})
        if (TakeChange(type))
            SendValues(type, current_[type].Get());

    if (TakeChange(SG_MATERIAL_PROPERTY)) {
        if (SgMaterialProperty* material = As<SgMaterialProperty>(current_[SG_MATERIAL_PROPERTY])) {
            if (material->changed) {
                material->changed = 0;
                ++material->revision;
            }
            r->SetMaterial(material);
        }
    }

    for (int type : {SG_ALPHA_PROPERTY, SG_DITHER_PROPERTY})
        if (TakeChange(type))
            SendValues(type, current_[type].Get());
}

// ---- Lights ----

void SgDisplay::PushLight(SgLight* light) {
    if (!light)
        return;
    if (lightOverflow_ > 0) {
        ++lightOverflow_;
        return;
    }
    if (light->changed) {
        light->changed = 0;
        ++light->revision;
    }
    if (light->useCount == 0 && renderer_)
        renderer_->UpdateLight(light, 1);
    lights_[++lightTop_] = light;
    ++light->useCount;
    if (lightTop_ == kMaxLights - 1)
        lightOverflow_ = 1;
}

void SgDisplay::PopLight() {
    if (lightOverflow_ > 0) {
        if (lightOverflow_-- > 1)
            return;
    }
    if (lightTop_ < 0)
        return;
    SgLight* light = lights_[lightTop_];
    lights_[lightTop_--] = nullptr;
    if (light && light->useCount > 0 && --light->useCount == 0 && renderer_)
        renderer_->UpdateLight(light, 0);
}

// ---- Deferred draws ----

void SgDisplay::TakeSnapshot(Snapshot& out) const {
    for (int t = 0; t < SG_PROPERTY_TYPE_COUNT; ++t)
        out.pending[t] = pending_[t].Get();
    out.lightTop = lightTop_;
    for (int i = 0; i < kMaxLights; ++i)
        out.lights[i] = lights_[i];
}

int32_t SgDisplay::RecordedTop(const Snapshot& record) {
    if (record.lightTop < -1)
        return -1;
    return record.lightTop >= kMaxLights ? kMaxLights - 1 : record.lightTop;
}

void SgDisplay::UpdateLights(SgLight* const* lights, int32_t top, uint8_t active) {
    if (!renderer_)
        return;
    for (int32_t i = 0; i <= top; ++i)
        if (lights[i])
            renderer_->UpdateLight(lights[i], active);
}

void SgDisplay::EnterSnapshot(const Snapshot& record, Saved& saved) {
    saved.lightTop = lightTop_;
    saved.lightOverflow = lightOverflow_;
    for (int i = 0; i < kMaxLights; ++i)
        saved.lights[i] = lights_[i];
    int32_t top = RecordedTop(record);
    lightTop_ = top;
    for (int i = 0; i < kMaxLights; ++i)
        lights_[i] = i <= top ? record.lights[i] : nullptr;
    // A full recorded stack counts later pushes, as a full stack of its own would.
    lightOverflow_ = top == kMaxLights - 1 ? 1 : 0;
    UpdateLights(saved.lights, saved.lightTop, 0);
    UpdateLights(lights_, lightTop_, 1);

    for (int t = 0; t < SG_PROPERTY_TYPE_COUNT; ++t) {
        saved.pending[t] = std::move(pending_[t]);
        pending_[t] = record.pending[t] ? SgRef<SgProperty>(record.pending[t]) : DefaultFor(t);
        saved.overrideCounts[t] = overrideCounts_[t];
    }
}

void SgDisplay::LeaveSnapshot(const Snapshot& record, const Saved& saved) {
    for (int t = 0; t < SG_PROPERTY_TYPE_COUNT; ++t) {
        overrideCounts_[t] = saved.overrideCounts[t];
        pending_[t] = saved.pending[t];
    }
    for (int i = 0; i < kMaxLights; ++i)
        lights_[i] = saved.lights[i];
    lightTop_ = saved.lightTop;
    lightOverflow_ = saved.lightOverflow;
    UpdateLights(record.lights, RecordedTop(record), 0);
    UpdateLights(lights_, lightTop_, 1);
}
