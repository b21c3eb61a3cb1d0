#pragma once
// Small skeleton figures built in memory: a holder node over "Bip01" with the other 31 bones as
// its children. Bone i of a skeleton tagged k moves along x from 0 at time 0 to 1 at time 1 and
// stands at y = i, z = k, so a bone's place tells which template's keys it plays and when.

#include <gtest/gtest.h>

#include "client/present/figure_animation.h"
#include "client/present/figure_table.h"
#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_node.h"

namespace figure_test {

inline SgRef<SgNode> MakeSkeleton(float tag) {
    SgRef<SgNode> holder(new SgNode);
    SgRef<Sg3dsBone> root;
    for (int i = 0; i < present::kBoneCount; ++i) {
        SgRef<Sg3dsBone> bone(new Sg3dsBone);
        bone->AssignName(present::kBoneNames[i]);
        SgPositionKey a(0.0f, {0.0f, float(i), tag}), b(1.0f, {1.0f, float(i), tag});
        const SgPositionKey* keys[] = {&a, &b};
        bone->SetPositionKeys(keys, 2, true);
        bone->timeMode = SgAnimationTiming::kTimeApplication;
        bone->phase = 0.0f;
        if (i == 0) {
            holder->InsertChild(bone.Get(), false);
            root = bone;
        } else {
            root->InsertChild(bone.Get(), false);
        }
    }
    return holder;
}

// Template slot n: a skeleton holder with its figure record (frames, rate, kind 3, bone table).
inline SgNode* PutTemplate(int n, float tag, int frames, int rate = 30, int boneMode = 0) {
    SgRef<SgNode> holder = MakeSkeleton(tag);
    SgFigureExtraData* data = present::AttachFigureExtraData(holder.Get());
    data->kind = present::kFigureSkinned;
    data->modelNumber = n;
    data->frameCount = frames;
    data->frameRate = rate;
    present::BuildFigureBoneTable(holder.Get(), frames, boneMode);
    present::Figures().templates[n] = holder;
    return holder.Get();
}

// Figure slot f: a skeleton figure built from template model (kind 3).
inline SgNode* PutFigure(int f, int model) {
    SgRef<SgNode> node = MakeSkeleton(-1.0f);
    SgFigureExtraData* data = present::AttachFigureExtraData(node.Get());
    data->kind = present::kFigureSkinned;
    data->modelNumber = model;
    present::BuildFigureBoneTable(node.Get(), 0, 0);
    present::Figures().figures[f] = node;
    node->UpdateAllStates();
    return node.Get();
}

inline Sg3dsAnimationNode* FigureBone(int f, int i) {
    return (*present::FigureData(f)->boneTable)[i];
}

inline void ClearFigureTables() {
    for (auto& f : present::Figures().figures)
        f = nullptr;
    for (auto& t : present::Figures().templates)
        t = nullptr;
    present::Figures().idleVariantFlag = 0;
}

}  // namespace figure_test
