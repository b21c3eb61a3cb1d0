#pragma once
// The figure tables: figures of world objects by figure number, the model templates they are
// cloned from, the figure textures and the billboards that float above figures; and the extra
// data every figure node (and every template holder with an animation) carries.
//
// Numbers from the game are never trusted: every lookup below answers null for a number outside
// its table (figures 1..499, templates 0..499, billboards 1..49, textures by their table), so an
// operation on such a number does nothing.
//
// Who fills which field of SgFigureExtraData:
//   kind, modelNumber               the template loader (SetFigureKind) and figure creation
//   frameCount, frameRate, boneMode the template loader (SetFigureModelAnimation) and the animation
//                                   copies (CopyFigureAnimation: taken from the animation template)
//   boneTable                       BuildFigureBoneTable (animation), read by the attachments
//   animatorList                    CollectFigureAnimators / FreeFigureAnimators (animation)
//   overlayPart, overlay,
//   overlayAnimatorList             CreateFigureOverlayModel / RemoveFigureOverlay (attachments)
//   groundMarker, heldPart          the attachments; placement moves them, tints show or hide them
//   alpha/material/vertexColor/
//   zBufferProperty                 CreateFigureTintProperties (textures and tints)
//   model                           figure creation
//   light, billboard                figure lights and billboards
// Every pointer field is plain: the figure node (or its model) holds the reference, and the
// record is destroyed with the node.

#include <array>
#include <cstdint>
#include <memory>

#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_special_nodes.h"
#include "engine/geometry/sg_tri_lists.h"

class Sg3dsAnimationNode;

namespace present {

constexpr int kFigureSlots = 500;      // figure numbers 1..499; 0 means none
constexpr int kTemplateSlots = 500;    // template numbers 0..499
constexpr int kSkyDomeTemplate = 199;  // loaded and freed by each arena
constexpr int kSgfsOffset = 0;         // sgfs/sgfs.dat entries: 0..198
constexpr int kFiguresOffset = 200;    // figures/figures.dat entries: 200..399
constexpr int kFixtureTemplates = 400; // 400..499: the grid fixtures of the current arena
constexpr int kBodyTextureSlots = 50;
constexpr int kHeadTextureSlots = 50;
constexpr int kElementTextureSlots = 10;
constexpr int kBillboardSlots = 50;    // billboard numbers 1..49
constexpr int kBoneCount = 32;
constexpr int kAnimatorListSize = 64;

// Overlay parts beyond the bone indices 0..31.
constexpr int kOverlayBetweenFingers = 64;
constexpr int kOverlayBetweenFeet = 65;

enum FigureKind : int32_t {
    kFigurePlain = 0,
    kFigureAnimation = 1,  // keyed nodes evaluated through the animator list
    kFigureBiped = 2,
    kFigureSkinned = 3,    // bones evaluated through the bone table
};

// Bone table entries, by index (the names are in figure_animation's table).
using FigureBoneTable = std::array<Sg3dsAnimationNode*, kBoneCount>;
// Animated objects (scene objects and property animators), filled from the front, ended by the
// first null.
using FigureAnimatorList = std::array<SgObject*, kAnimatorListSize>;

}  // namespace present

// Never stored: not registered, so a file naming the class reads it back as plain extra data.
class SgFigureExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;

    const SgTypeRecord* GetTypeRecord() const override;

    int32_t kind = present::kFigurePlain;
    int32_t modelNumber = 0;
    int32_t frameCount = 0;
    int32_t frameRate = 0;
    int32_t boneMode = 0;  // 0 full body, 2 arms only
    int32_t overlayPart = 0;
    std::unique_ptr<present::FigureBoneTable> boneTable;
    std::unique_ptr<present::FigureAnimatorList> animatorList;
    std::unique_ptr<present::FigureAnimatorList> overlayAnimatorList;
    SgAlphaProperty* alphaProperty = nullptr;
    SgMaterialProperty* materialProperty = nullptr;
    SgVertexColorProperty* vertexColorProperty = nullptr;
    SgZBufferProperty* zBufferProperty = nullptr;
    SgAVObject* model = nullptr;
    SgLight* light = nullptr;
    SgNode* billboard = nullptr;
    SgNode* groundMarker = nullptr;
    SgNode* overlay = nullptr;
    SgNode* heldPart = nullptr;
    // The template the overlay was copied from: its own animators stay with it.
    int32_t overlayModel = 0;
};

namespace present {

struct FigureBillboard {
    SgRef<SgBillboardNode> node;
    SgRef<SgTriStrip> strip;
    SgRef<SgImage> image;
};

struct FigureTables {
    SgRef<SgNode> figures[kFigureSlots];
    // Template holder nodes (named with the file's path).
    SgRef<SgNode> templates[kTemplateSlots];
    SgRef<SgTextureProperty> bodyTextures[kBodyTextureSlots];
    SgRef<SgTextureProperty> headTextures[kHeadTextureSlots];
    SgRef<SgTextureProperty> elementTextures[kElementTextureSlots];
    FigureBillboard billboards[kBillboardSlots];
    // One word for all figures: 0, or 1..3 while an idle variant plays.
    int32_t idleVariantFlag = 0;
};

FigureTables& Figures();

// Null outside 1..499 or for an empty slot.
SgNode* FigureNode(int figure);
// Null outside 0..499 or for an empty slot.
SgNode* TemplateNode(int templateNumber);
// Null outside 1..49.
FigureBillboard* BillboardSlot(int billboard);
// The table entry, or null for a number outside the table or an empty one.
SgTextureProperty* BodyTexture(int n);
SgTextureProperty* HeadTexture(int n);
SgTextureProperty* ElementTexture(int n);

// The object's head extra data when it is (or derives from) SgFigureExtraData.
SgFigureExtraData* GetFigureExtraData(const SgObject* object);
// A new, cleared record made the object's head extra data; a figure record already at the head
// is destroyed first (it would otherwise stay in the list, unreachable).
SgFigureExtraData* AttachFigureExtraData(SgObject* object);
// The figure node's record, or null (no figure, or none on it).
SgFigureExtraData* FigureData(int figure);

// The last template number a definition file starting at offset may fill: the sgfs block stops
// before the sky dome and the figures block before the fixtures; -1 outside the table.
int LastTemplateOfBlock(int offset);

}  // namespace present
