#pragma once
// Figures without templates: a node in the figure table with its record, a model node and the
// four tint properties, as figure creation leaves them; and the clean-up of every figure table.

#include "client/present/figure_table.h"
#include "client/present/figure_textures.h"
#include "client/present/world_tables.h"

namespace figure_fixture {

inline void ClearFigureTables() {
    present::FigureTables& t = present::Figures();
    for (auto& f : t.figures)
        f = nullptr;
    for (auto& m : t.templates)
        m = nullptr;
    for (auto& b : t.bodyTextures)
        b = nullptr;
    for (auto& h : t.headTextures)
        h = nullptr;
    for (auto& e : t.elementTextures)
        e = nullptr;
    for (auto& b : t.billboards)
        b = present::FigureBillboard{};
    t.idleVariantFlag = 0;
}

// Figure n with a plain model node (or the model given) under it.
inline SgFigureExtraData* MakeFigure(int n, SgAVObject* model = nullptr) {
    SgRef<SgNode> node(new SgNode);
    SgRef<SgAVObject> m(model ? model : new SgNode);
    node->InsertChild(m.Get(), false);
    present::Figures().figures[n] = node;
    SgFigureExtraData* data = present::AttachFigureExtraData(node.Get());
    data->model = m.Get();
    present::CreateFigureTintProperties(data, m.Get());
    node->UpdateAllStates();
    return data;
}

}  // namespace figure_fixture
