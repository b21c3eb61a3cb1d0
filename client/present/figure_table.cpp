#include "client/present/figure_table.h"

#include "engine/core/sg_object.h"

constinit SgTypeRecord SgFigureExtraData::typeRecord{"SgFigureExtraData", &SgExtraData::typeRecord};

const SgTypeRecord* SgFigureExtraData::GetTypeRecord() const { return &typeRecord; }

namespace present {

FigureTables& Figures() {
    // Never destroyed: engine objects must not be released during static destruction.
    static FigureTables* tables = new FigureTables;
    return *tables;
}

SgNode* FigureNode(int figure) {
    if (figure < 1 || figure >= kFigureSlots)
        return nullptr;
    return Figures().figures[figure].Get();
}

SgNode* TemplateNode(int templateNumber) {
    if (templateNumber < 0 || templateNumber >= kTemplateSlots)
        return nullptr;
    return Figures().templates[templateNumber].Get();
}

FigureBillboard* BillboardSlot(int billboard) {
    if (billboard < 1 || billboard >= kBillboardSlots)
        return nullptr;
    return &Figures().billboards[billboard];
}

SgTextureProperty* BodyTexture(int n) {
    return n >= 0 && n < kBodyTextureSlots ? Figures().bodyTextures[n].Get() : nullptr;
}

SgTextureProperty* HeadTexture(int n) {
    return n >= 0 && n < kHeadTextureSlots ? Figures().headTextures[n].Get() : nullptr;
}

SgTextureProperty* ElementTexture(int n) {
    return n >= 0 && n < kElementTextureSlots ? Figures().elementTextures[n].Get() : nullptr;
}

SgFigureExtraData* GetFigureExtraData(const SgObject* object) {
    SgExtraData* head = object ? object->ExtraHead() : nullptr;
    return head && head->IsKindOf(&SgFigureExtraData::typeRecord) ? static_cast<SgFigureExtraData*>(head)
                                                                   : nullptr;
}

SgFigureExtraData* AttachFigureExtraData(SgObject* object) {
    if (!object)
        return nullptr;
    if (SgFigureExtraData* old = GetFigureExtraData(object)) {
        object->UnlinkExtra(old);
        delete old;
    }
    auto* data = new SgFigureExtraData;
    object->PrependExtra(data);
    return data;
}

SgFigureExtraData* FigureData(int figure) { return GetFigureExtraData(FigureNode(figure)); }

int LastTemplateOfBlock(int offset) {
    if (offset < 0 || offset >= kTemplateSlots)
        return -1;
    if (offset < kSkyDomeTemplate)
        return kSkyDomeTemplate - 1;
    if (offset == kSkyDomeTemplate)
        return kSkyDomeTemplate;
    if (offset < kFixtureTemplates)
        return kFixtureTemplates - 1;
    return kTemplateSlots - 1;
}

}  // namespace present
