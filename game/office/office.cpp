#include "game/office/office.h"
#include <algorithm>
#include "framework/graphics/graphics.h"
#include "game/app/office_app.h"
#include "game/effects/effect_target.h"
#include "game/office/item.h"
#include "game/office/office_config.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/skin.h"
#include "game/office/worker.h"
#include "game/office/z_order.h"

namespace {
Office* gOffice = nullptr;
} // namespace

// What the effects ask of the office about the skins they run on.
class Office::EffectLink : public EffectOffice {
public:
    bool GetSkinOwnerName(Skin* skin, std::string& name) override {
        Item* owner = skin ? skin->GetOwner() : nullptr;
        if (owner == nullptr) return false;
        name = owner->GetName();
        return true;
    }
    bool GetSkinOwnerLinkName(Skin* skin, std::string& linkName) override {
        Item* owner = skin ? skin->GetOwner() : nullptr;
        if (owner == nullptr) return false;
        linkName = owner->GetLinkName();
        return true;
    }
    bool GetWorkerSpecialization(const std::string& workerName, std::string& code) override {
        for (Worker* worker : gWorkers) {
            if (worker->GetName() == workerName) {
                code = worker->GetSpecialization();
                return true;
            }
        }
        return false;
    }
};

Office::Office() : mZOrder(std::make_unique<ZOrder>()), mEffectLink(std::make_unique<EffectLink>()) {
    for (int i = 0; i < kPersonCount; ++i) mGraphSets[i] = std::make_unique<PathGraphSet>(kPersonNames[i]);
    gZOrder = mZOrder.get();
    SetEffectOffice(mEffectLink.get());
    gOffice = this;
}

Office::~Office() {
    Unload();
    if (GetEffectOffice() == mEffectLink.get()) SetEffectOffice(nullptr);
    if (gZOrder == mZOrder.get()) gZOrder = nullptr;
    if (gOffice == this) gOffice = nullptr;
}

bool Office::Load(const std::string& path) {
    Unload();
    mError.clear();
    std::unique_ptr<XmlDocument> doc;
    if (!XmlLoadDocument(doc, path)) {
        mError = XmlLastError();
        return false;
    }
    if (!doc->child("office")) {
        mError = path + ": no \"office\" element";
        return false;
    }
    mDoc = std::move(doc);
    gOfficeDoc = mDoc.get();
    PathGraphSet* sets[kPersonCount];
    for (int i = 0; i < kPersonCount; ++i) sets[i] = mGraphSets[i].get();
    ReadOfficeConfig(*mDoc, sets, kPersonCount, mObjects);
    for (const std::string& repaired : gGameParams.Repair())
        if (OfficeApp* app = GetApp()) app->Warn(path + ": " + repaired);
    return true;
}

void Office::Unload() {
    for (auto& set : mGraphSets) set->ClearAll();
    mZOrder->Reset();
    // Objects take themselves out of the registries as they go; one that
    // is gone already is not deleted twice.
    while (!mObjects.empty()) {
        Item* item = mObjects.back();
        mObjects.pop_back();
        if (std::find(gObjects.begin(), gObjects.end(), item) != gObjects.end()) delete item;
    }
    ClearNamedObjects();
    gClientDefs.clear();
    gWorkerDefs.clear();
    gPersDefs.clear();
    gGameParams = GameParams();
    if (gOfficeDoc == mDoc.get()) gOfficeDoc = nullptr;
    mDoc.reset();
}

PathGraphSet* Office::FindPathGraphSet(const std::string& personName) {
    for (auto& set : mGraphSets) {
        if (set->GetName() == personName) return set.get();
    }
    return nullptr;
}

void Office::BuildDrawOrder() {
    mZOrder->Reset();
    for (Item* item : gObjects) item->RegisterDrawParts();
    mZOrder->Build();
}

void Office::Draw(Zephra::Graphics& g) {
    for (Skin* skin : mZOrder->GetDrawOrder()) skin->Draw(g);
}

Office* GetOffice() { return gOffice; }

PathGraphSet* FindPathGraphSet(const std::string& personName) {
    return gOffice ? gOffice->FindPathGraphSet(personName) : nullptr;
}
