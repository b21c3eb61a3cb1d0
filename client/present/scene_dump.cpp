#include "client/present/scene_dump.h"

#include <cstdint>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_3ds_morph_shape.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/animation/sg_3ds_path_controller.h"
#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_av_object.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_special_nodes.h"
#include "engine/geometry/sg_switch_nodes.h"
#include "engine/geometry/sg_tri_shape.h"

namespace present {
namespace {

int Channel(float value) { return static_cast<int>(value * 255.0f); }

void WriteKindTag(SgObject* object, FILE* file) {
    if (auto* bone = SgKindCast<Sg3dsBone>(object)) {
        std::fprintf(file, "  BONE rot=%u pos=%u", bone->RotationKeyCount(), bone->PositionKeyCount());
    } else if (auto* skin = SgKindCast<Sg3dsSkin>(object)) {
        std::fprintf(file, "  SKIN tris=%u", skin->TriangleCount());
    } else if (auto* clodSkin = SgKindCast<SgClodSkin>(object)) {
        std::fprintf(file, "  CLODSKIN tris=%u", clodSkin->TriangleCount());
    } else if (auto* keyed = SgKindCast<Sg3dsAnimationNode>(object)) {
        std::fprintf(file, "  ANIM rot=%u pos=%u", keyed->RotationKeyCount(), keyed->PositionKeyCount());
    } else if (SgKindCast<Sg3dsPathController>(object)) {
        std::fprintf(file, "  PATH");
    } else if (SgKindCast<Sg3dsEnvMorphShape>(object)) {
        std::fprintf(file, "  ENVMORPH");
    } else if (auto* morph = SgKindCast<Sg3dsMorphShape>(object)) {
        std::fprintf(file, "  MORPH tri=%u", morph->TriangleCount());
    } else if (auto* particles = SgKindCast<Sg3dsParticleSystem>(object)) {
        std::fprintf(file, "  PARTICLE freq=%3.3f beg=%3.3f end=%3.3f ddt=%3.3f", particles->frequency,
                     particles->lowKeyTime, particles->highKeyTime, particles->phase);
    } else if (SgKindCast<Sg3dsAlphaAnimator>(object)) {
        std::fprintf(file, "  ALPHANIM");
    } else if (auto* tri = SgKindCast<SgTriShape>(object)) {
        std::fprintf(file, "  TRI tri=%u ver=%u", tri->TriangleCount(), tri->VertexCount());
    } else if (auto* points = SgKindCast<SgParticles>(object)) {
        std::fprintf(file, "  TPART tris=%u", points->TriangleCount());
    } else if (auto* lod = SgKindCast<SgLODNode>(object)) {
        std::fprintf(file, "  LOD leafs=%u", lod->ChildCount());
    } else if (auto* billboard = SgKindCast<SgBillboardNode>(object)) {
        std::fprintf(file, "  BILL mode=%u", billboard->mode);
    }
}

const char* TextureName(const SgTextureProperty* texture) {
    if (texture->GetName())
        return texture->GetName();
    SgRef<SgImage> image = texture->CurrentImage();
    if (image && image->GetName())
        return image->GetName();
    return "";
}

void WritePropertyTag(SgProperty* property, FILE* file) {
    switch (property->PropertyType()) {
    case SG_ALPHA_PROPERTY: {
        auto* alpha = static_cast<SgAlphaProperty*>(property);
        std::fprintf(file, " +Palph(%u/%u)", alpha->sourceBlend, alpha->destinationBlend);
        break;
    }
    case SG_CORRECTION_PROPERTY:
        std::fprintf(file, " +Pcorr");
        break;
    case SG_DITHER_PROPERTY:
        std::fprintf(file, " +Pdith");
        break;
    case SG_FOG_PROPERTY:
        std::fprintf(file, " +Pfog");
        break;
    case SG_MATERIAL_PROPERTY: {
        // The colours this layer sets (ambient, diffuse, emissive) and the opacity in percent.
        auto* m = static_cast<SgMaterialProperty*>(property);
        std::fprintf(file, " +Pmat(%d,%d,%d/%d,%d,%d/%d,%d,%d/%d)", Channel(m->ambient.r), Channel(m->ambient.g),
                     Channel(m->ambient.b), Channel(m->diffuse.r), Channel(m->diffuse.g), Channel(m->diffuse.b),
                     Channel(m->emissive.r), Channel(m->emissive.g), Channel(m->emissive.b),
                     static_cast<int>(m->alpha * 100.0f));
        break;
    }
    case SG_SPECULAR_PROPERTY:
        std::fprintf(file, " +Pspec");
        break;
    case SG_TEXTURE_PROPERTY:
        std::fprintf(file, " +Ptex (%s)", TextureName(static_cast<SgTextureProperty*>(property)));
        break;
    case SG_TEXTURE_MODE_PROPERTY: {
        auto* mode = static_cast<SgTextureModeProperty*>(property);
        std::fprintf(file, " +Ptmod(%u/%u)", mode->applyMode, mode->filterMode);
        break;
    }
    case SG_TRANSPARENT_PROPERTY:
        std::fprintf(file, " +Ptran");
        break;
    case SG_VERTEX_COLOR_PROPERTY:
        std::fprintf(file, " +Pvcol(%u)", static_cast<SgVertexColorProperty*>(property)->mode);
        break;
    case SG_WIREFRAME_PROPERTY:
        std::fprintf(file, " +Pwire");
        break;
    case SG_ZBUFFER_PROPERTY:
        std::fprintf(file, " +Pzbuf");
        break;
    default:
        return;
    }
    if (property->override)
        std::fputc('*', file);
}

void WriteObject(SgObject* object, int depth, FILE* file) {
    for (int i = 0; i < depth; ++i)
        std::fputs("  ", file);
    if (object->GetName())
        std::fprintf(file, "(%02d) [%s]", depth, object->GetName());
    else
        std::fprintf(file, "(%02d)", depth);
    // Addresses are the identity; only their low 32 bits, as the dump has always shown them.
    std::fprintf(file, " {%x}", static_cast<unsigned>(reinterpret_cast<uintptr_t>(object)));
    WriteKindTag(object, file);
    auto* scene = SgKindCast<SgAVObject>(object);
    if (scene && scene->IsHidden())
        std::fprintf(file, "  APP-CULLED");
    if (scene) {
        for (SgProperty* property : scene->properties)
            WritePropertyTag(property, file);
    }
    std::fputc('\n', file);
    if (!scene)
        return;

    const SgVec3& t = scene->localTranslation;
    std::fprintf(file, "      (X=%2.1f Y=%2.1f Z=%2.1f S=%2.2f)\n", t.x, t.y, t.z, scene->localScale);
    SgVec3 wt;
    SgMat3 wr = SgIdentityMat3;
    float ws = 1.0f;
    if (const SgWorldState* state = scene->CurrentState()) {
        wt = state->worldTranslation;
        wr = state->worldRotation;
        ws = state->worldScale;
    }
    std::fprintf(file, "      (WX=%2.1f WY=%2.1f WZ=%2.1f WS=%2.2f)\n", wt.x, wt.y, wt.z, ws);
    float angle = 0.0f, ax = 0.0f, ay = 0.0f, az = 0.0f;
    wr.ToAngleAxis(angle, ax, ay, az);
    std::fprintf(file, "      (WA=%2.2f WAX=%2.2f WAY=%2.2f WAZ=%2.2f)\n", angle, ax, ay, az);
    if (auto* node = SgKindCast<SgNode>(object))
        std::fprintf(file, "      (Sort=%u)\n", node->deferralMode);
}

}  // namespace

void DumpSceneGraph(SgObject* object, int depth, FILE* file) {
    if (!object)
        return;
    if (file)
        WriteObject(object, depth, file);
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    for (uint32_t i = 0; i < node->ChildCount(); ++i) {
        if (SgAVObject* child = node->ChildAt(i))
            DumpSceneGraph(child, depth + 1, file);
    }
}

}  // namespace present
