#include "client/present/hud_slots.h"

namespace present {

namespace {

// Every slot in attach order: bars, nexus indicators, team, items, panels, earth, node, map tiles.
template <class Visit>
void ForEachSlot(HudSlots& h, Visit&& visit) {
    for (auto& bar : h.statusBar)
        for (auto& polygon : bar)
            visit(polygon.Get());
    for (auto& indicator : h.nexus)
        for (auto& polygon : indicator)
            visit(polygon.Get());
    visit(h.team.Get());
    for (auto& polygon : h.items)
        visit(polygon.Get());
    for (auto& polygon : h.panels)
        visit(polygon.Get());
    for (auto& polygon : h.earth)
        visit(polygon.Get());
    for (auto& polygon : h.node)
        visit(polygon.Get());
    for (auto& polygon : h.mapTiles)
        visit(polygon.Get());
}

}  // namespace

HudSlots& Hud() {
    // Never destroyed: engine objects must not be released during static destruction.
    static HudSlots* slots = new HudSlots;
    return *slots;
}

void AttachHudToCamera(SgCamera* camera) {
    if (!camera)
        return;
    auto& list = camera->ScreenPolygonList();
    for (uint32_t i = 0; i < list.UsedSize(); ++i)
        list.SetArrayElement(i, SgRef<SgScreenPolygon>());
    ForEachSlot(Hud(), [camera](SgScreenPolygon* polygon) {
        if (polygon)
            camera->AttachOverlayPolygon(polygon);
    });
}

void DetachHudFromCamera(SgCamera* camera) {
    if (!camera)
        return;
    ForEachSlot(Hud(), [camera](SgScreenPolygon* polygon) { RemoveHudPolygonFromCamera(camera, polygon); });
}

void RemoveHudPolygonFromCamera(SgCamera* camera, SgScreenPolygon* polygon) {
    if (camera)
        camera->DetachOverlayPolygon(polygon);
}

}  // namespace present
