#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "game/app/pak_file.h"
#include "game/app/startup.h"
#include "game/app/xml_access.h"
#include "game/office/anim_player.h"
#include "game/office/rule_sequencer.h"
#include "game/office/status_bubble.h"
#include "game/office/worker.h"
#include "game/office/worker_board.h"
#include "tests/support/temp_dirs.h"

// Every sample animation file loads, its pictures load with real alpha and
// hold every frame, and every part of the sample office finds its file and
// an "idle" to show.
TEST(SampleAnims, EveryFileLoadsWithItsPictures) {
    const std::string oldDir = PakGetGameDir();
    const std::string data = testsupport::SourceDir() + "/data";
    PakSetGameDir(data);
    InstallGameFileAccess(true);

    std::map<std::string, std::unique_ptr<Zephra::MemoryImage>> pictures;
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(data + "/anm")) {
        const std::string name = entry.path().stem().string();
        files.insert(name);
        AnimPlayer player(nullptr);
        ASSERT_TRUE(player.Load(name)) << player.LastError();
        ASSERT_GT(player.GetRecordCount(), 0) << name;
        for (int i = 0; i < player.GetRecordCount(); ++i) {
            const AnimRecord& record = *player.GetRecordAt(i);
            EXPECT_EQ(record.animName.rfind(name, 0), 0u) << record.animName << " in " << name;
            auto& picture = pictures[record.imageName];
            if (!picture) {
                picture = std::make_unique<Zephra::MemoryImage>(nullptr);
                std::string error;
                ASSERT_TRUE(Zephra::ImageLib::LoadImage(record.imageName, *picture, error)) << error;
                int partial = 0;
                for (int p = 0; p < picture->mWidth * picture->mHeight; ++p) {
                    const uint32_t a = picture->GetBits()[p] >> 24;
                    partial += (a > 0 && a < 255) ? 1 : 0;
                }
                if (name != "wall") {
                    EXPECT_GT(partial, 0) << record.imageName << " has no soft edges";
                }
            }
            EXPECT_GT(record.block.fps, 0) << record.animName;
            for (const AnimFrame& f : record.block.frames) {
                EXPECT_TRUE(f.x >= 0 && f.y >= 0 && f.x + f.width <= picture->mWidth &&
                            f.y + f.height <= picture->mHeight)
                    << record.animName << " frame at " << f.x << "," << f.y;
            }
        }
        EXPECT_GE(player.FindIndex(name + "idle"), 0) << name;
    }

    std::unique_ptr<XmlDocument> office;
    ASSERT_TRUE(XmlLoadDocument(office, "cfg\\office.xml")) << XmlLastError();
    for (const pugi::xpath_node& node : office->select_nodes("//object/part")) {
        const std::string name = node.node().attribute("name").value();
        EXPECT_TRUE(files.count(name)) << "part " << name << " has no anm\\" << name << ".anm";
    }
    InstallGameFileAccess(false);
    PakSetGameDir(oldDir);
}

namespace {

using Names = std::set<std::string>;

// The sample folder's files as the game reads them, for the tests below.
class SampleFolder {
public:
    SampleFolder() : oldDir_(PakGetGameDir()) {
        PakSetGameDir(testsupport::SourceDir() + "/data");
        InstallGameFileAccess(true);
    }
    ~SampleFolder() {
        InstallGameFileAccess(false);
        PakSetGameDir(oldDir_);
    }
    SampleFolder(const SampleFolder&) = delete;
    SampleFolder& operator=(const SampleFolder&) = delete;

    XmlDocument* Doc(const std::string& path) {
        auto& doc = docs_[path];
        if (!doc) {
            EXPECT_TRUE(XmlLoadDocument(doc, path)) << path << ": " << XmlLastError();
        }
        return doc.get();
    }
    // The values at an XPath of a document, as text.
    Names Values(const std::string& path, const char* xpath) {
        Names out;
        if (XmlDocument* doc = Doc(path)) {
            for (const pugi::xpath_node& xn : doc->select_nodes(xpath))
                out.insert(xn.attribute() ? xn.attribute().value() : xn.node().text().get());
        }
        return out;
    }
    // Every career day and survival level.
    std::vector<std::string> Levels() const {
        std::vector<std::string> out;
        for (int day = 1; day <= 60; ++day) out.push_back("cfg\\l" + std::to_string(day) + ".xml");
        for (int n = 1; n <= 3; ++n) out.push_back("cfg\\endless" + std::to_string(n) + ".xml");
        return out;
    }
    AnimPlayer& Anim(const std::string& part) {
        auto& player = anims_[part];
        if (!player) {
            player = std::make_unique<AnimPlayer>(nullptr);
            EXPECT_TRUE(player->Load(part)) << part;
        }
        return *player;
    }
    // The first frame of the animation found by the text, as rows of pixels.
    std::vector<uint32_t> Frame(const std::string& part, const std::string& text, int& width, int& height) {
        const AnimRecord* record = Anim(part).FindRecord(part + text);
        width = height = 0;
        if (record == nullptr || record->block.frames.empty()) return {};
        auto& picture = pictures_[record->imageName];
        if (!picture) {
            picture = std::make_unique<Zephra::MemoryImage>(nullptr);
            std::string error;
            EXPECT_TRUE(Zephra::ImageLib::LoadImage(record->imageName, *picture, error)) << error;
        }
        const AnimFrame& f = record->block.frames[0];
        width = f.width;
        height = f.height;
        std::vector<uint32_t> out;
        for (int y = f.y; y < f.y + f.height; ++y)
            for (int x = f.x; x < f.x + f.width; ++x) out.push_back(picture->GetBits()[y * picture->mWidth + x]);
        return out;
    }

private:
    std::string oldDir_;
    std::map<std::string, std::unique_ptr<XmlDocument>> docs_;
    std::map<std::string, std::unique_ptr<AnimPlayer>> anims_;
    std::map<std::string, std::unique_ptr<Zephra::MemoryImage>> pictures_;
};

// What the shelving hands out, and everything the levels' workers make of it, worker after worker.
Names Carried(SampleFolder& data) {
    Names made = data.Values("cfg\\office.xml", "//object[@class='shelving']/@thing");
    for (const std::string& level : data.Levels()) {
        XmlDocument* doc = data.Doc(level);
        if (doc == nullptr) continue;
        Worker worker;
        for (size_t before = 0; before != made.size();) {
            before = made.size();
            for (const pugi::xpath_node& xn : doc->select_nodes("//object[@transform_to]")) {
                worker.OnCommand(xn.node());
                for (const std::string& code : Names(made)) {
                    if (worker.CanTake(code)) made.insert(worker.ProductOf(code));
                }
            }
        }
    }
    return made;
}

// Every order a level can give: its time points' and templates' orders, and
// the templates' orders with another kind of work when a client may ask so.
Names Orders(SampleFolder& data) {
    Names out;
    for (const std::string& level : data.Levels()) {
        for (const std::string& code : data.Values(level, "//order/@name | //orders/@order")) {
            out.insert(code);
            if (code.size() != 4 || code[0] != '0' || data.Values(level, "//clients[@probability_ext_order > 0]").empty())
                continue;
            for (char kind : {'2', '3', '4'}) out.insert(std::string("0") + kind + code.substr(2));
        }
    }
    out.erase("");
    return out;
}

// The icons of the bubbles: a client's and a worker's states, and the caller
// on the phone by the client's name.
Names BubbleIcons(SampleFolder& data) {
    Names icons = data.Values("cfg\\office.xml", "/office/clients/client/@name");
    icons.insert({"ready", "scandal", "timer00", "timer01", "timer02", "timer03", "timer04", "sleep", "snore", "coffee"});
    return icons;
}

} // namespace

// Everything the sample's levels, office, layouts and tutorial rules name
// exists: objects, effects, the animation records that objects in their
// states ask for, sounds and texts.
TEST(SampleGame, EveryNameResolves) {
    SampleFolder data;
    const std::string office = "cfg\\office.xml";
    std::map<std::string, Names> partsOf;
    if (XmlDocument* doc = data.Doc(office)) {
        for (const pugi::xpath_node& xn : doc->select_nodes("/office/objects/object/part"))
            partsOf[xn.node().parent().attribute("name").value()].insert(xn.node().attribute("name").value());
    }
    Names objects, workerSkins, specialities;
    for (const auto& [name, parts] : partsOf) objects.insert(name);
    // An object a level shows with a look and an animation finds them on one of its parts.
    std::vector<std::string> commanded;
    for (const std::string& level : data.Levels()) {
        XmlDocument* doc = data.Doc(level);
        if (doc == nullptr) continue;
        for (const pugi::xpath_node& xn : doc->select_nodes("//objects//object | //object_list | //stage/object")) {
            XmlNode e = xn.node();
            const std::string name = e.attribute("name").value();
            EXPECT_TRUE(objects.count(name)) << level << " names " << name;
            const std::string anim = e.attribute("anim").value();
            if (!anim.empty()) commanded.push_back(name + " " + e.attribute("skin").value() + " " + anim);
            if (std::string(e.attribute("transform_to").value()).size() == 4) {
                workerSkins.insert(e.attribute("skin").value());
                specialities.insert(Specialization::SkinOfCode(e.attribute("transform_to").value()));
            }
        }
    }
    for (const std::string& entry : commanded) {
        std::istringstream in(entry);
        std::string name, skin, anim;
        in >> name >> skin;
        if (!(in >> anim)) std::swap(skin, anim);
        bool found = false;
        for (const std::string& part : partsOf[name]) found = found || data.Anim(part).FindIndex(part + skin + anim) >= 0;
        EXPECT_TRUE(found) << name << " shows " << skin << " " << anim;
    }

    // The records that the office's people and things ask for in their states.
    const Names clientDefs = data.Values(office, "/office/clients/client/@name");
    const Names icons = BubbleIcons(data);
    Names halves, carried = Carried(data);
    for (const std::string& code : Orders(data)) {
        std::string first, second;
        ASSERT_TRUE(StatusBubble::ProductAnims(code, first, second)) << code;
        halves.insert(first);
        if (!second.empty()) halves.insert(second);
    }
    carried.insert("money");
    const Names items = {"idle", "ready", "activation", "hover"};
    struct Case {
        std::string part;
        Names skins;
        Names anims;
    };
    const Case cases[] = {
        {"worker_up", workerSkins,
         {"idle_usual", "idle_done", "work_action", "idle_distracted", "attention", "take_paper", "disruption_reaction",
          "disruptive_action", "conference_reaction"}},
        {"client", clientDefs,
         {"idle_green", "idle_yellow", "idle_red", "idle_thinking", "presentation_reaction", "drink_coffee",
          "patience_content", "patience_angry", "gratitude", "scandal"}},
        {"boss", {"man", "woman"},
         {"boss_idle_empty", "boss_idle_full", "boss_move_empty", "boss_move_full", "boss_phone", "boss_conference",
          "boss_drink", "boss_reproach"}},
        {"secretary", {""}, {"secretary_idle", "secretary_move_empty", "secretary_move_full", "secretary_presentation"}},
        {"engineer", {""}, {"engineer_idle", "engineer_move", "engineer_repair"}},
        {"held_items", {"br", "tr"}, carried},
        {"status_type", {""}, icons},
        {"status_bubble", {""}, {"cloud", "right", "aggro", "multi_right"}},
        {"status_production", {""}, halves},
        {"status_hp", {""}, {"point"}},
        {"status_hp_back", {"", "phone"}, {"idle"}},
        {"skill_board", specialities, {"idle", "hover"}},
        {"minibar", {""}, {"idle", "active"}},
        {"minibar_pers1_up", {""}, workerSkins},
        {"minibar_pers1_down", {""}, workerSkins},
        {"minibar_pers2_up", {""}, workerSkins},
        {"minibar_pers2_down", {""}, workerSkins},
        {"phone", {""}, {"idle", "ring"}},
        {"door", {""}, {"idle", "open", "close"}},
        {"bin", {""}, {"idle", "hover", "activation"}},
        {"shelving", {""}, {"idle", "hover", "activation"}},
        {"table", {""}, {"idle", "hover"}},
        {"chair", {""}, {"idle", "hover"}},
        {"checkmark", {""}, {"idle"}},
        {"conditioner", {""}, items},
        {"stereo", {""}, items},
        {"safe", {""}, items},
        {"cupboard", {""}, items},
        {"coffeemachine", {""}, items},
        {"conference", {""}, items},
        {"presentation", {""}, items},
        {"window", {""}, {"idle"}},
        {"window_morning", {""}, {"idle"}},
        {"window_day", {""}, {"idle"}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.anims.empty()) << c.part;
        for (const std::string& skin : c.skins) {
            for (const std::string& anim : c.anims)
                EXPECT_GE(data.Anim(c.part).FindIndex(c.part + skin + anim), 0) << c.part << " " << skin << " " << anim;
        }
    }

    // Effects, sounds and texts by name.
    const Names effects = data.Values("cfg\\effect.xml", "/effects/effect/@name");
    const Names sounds = data.Values("cfg\\sounds.xml", "/sounds/sounds/sound/@name | //sound/@name");
    const Names texts = data.Values("cfg\\loc.xml", "/loc/text/@key");
    for (const char* file : {"cfg\\office.xml", "cfg\\ui.xml"}) {
        for (const std::string& effect : data.Values(file, "//@effect")) EXPECT_TRUE(effects.count(effect)) << file << ": " << effect;
    }
    for (const char* sound : {"click", "phone_ring", "worker_snore", "take_paper", "worker_finish", "boss_give_money",
                              "client_ready", "client_positiv", "client_negativ", "client_scandal", "client_spawn",
                              "hp_up_coffee", "hp_up_presentation", "boss_conference", "boss_steps", "boss_take_money",
                              "wake_up", "make_trash", "coffeemashine", "conditioner_broke"})
        EXPECT_TRUE(sounds.count(sound)) << sound;
    for (const std::string& key : data.Values(office, "//bonus_stages/@loc_str")) EXPECT_TRUE(texts.count(key)) << key;
    for (const char* key : {"debreif_endlessp", "debreif_endlessg", "debreif_endlessb"}) EXPECT_TRUE(texts.count(key)) << key;

    // The tutorial rules name what their day has, and pop-ups the panel has, with their texts.
    for (int day = 1; day <= 60; ++day) {
        const std::string level = "cfg\\l" + std::to_string(day) + ".xml";
        const Names shown = data.Values(level, "//objects//object[not(@stop='1')]/@name");
        for (const TutorialRule& rule : RuleSequencer::ScriptOfDay(day)) {
            for (int i = 0; i < TutorialRule::kEntries; ++i) {
                for (const char* name : {rule.blockNames[i], rule.unblockNames[i]}) {
                    if (name) {
                        EXPECT_TRUE(shown.count(name)) << "day " << day << "'s rules name " << name;
                    }
                }
            }
            for (int popup : {rule.show, rule.hide}) {
                if (popup == 0) continue;
                const std::string xpath = "//element[@name='hud']//element[@name='tutorial" + std::to_string(popup) + "']//@label";
                const Names labels = data.Values("cfg\\ui.xml", xpath.c_str());
                ASSERT_EQ(labels.size(), 1u) << "pop-up " << popup;
                EXPECT_TRUE(texts.count(*labels.begin())) << "pop-up " << popup;
            }
        }
    }
}

// Each order code has a bubble of its own, and each thing the boss can carry,
// each board of a worker and each icon of a bubble a picture of its own.
TEST(SampleGame, OrdersProductsAndBoardsLookApart) {
    SampleFolder data;
    // A client's bubble: the two product parts where the office puts them.
    std::vector<std::pair<int, int>> at;
    if (XmlDocument* doc = data.Doc("cfg\\office.xml")) {
        for (const pugi::xpath_node& xn :
             doc->select_nodes("/office/objects/object[@class='status_bubble'][1]/part[@name='status_production']"))
            at.emplace_back(xn.node().attribute("offs_x").as_int(), xn.node().attribute("offs_y").as_int());
    }
    ASSERT_EQ(at.size(), 2u);
    auto bubble = [&](const std::string& code) {
        std::string halves[2];
        EXPECT_TRUE(StatusBubble::ProductAnims(code, halves[0], halves[1])) << code;
        constexpr int kSize = 48;
        std::vector<uint32_t> canvas(kSize * kSize, 0);
        for (int i = 0; i < 2 && !halves[i].empty(); ++i) {
            int w = 0, h = 0;
            const std::vector<uint32_t> frame = data.Frame("status_production", halves[i], w, h);
            EXPECT_FALSE(frame.empty()) << code << ": " << halves[i];
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int cx = x + at[i].first - at[0].first, cy = y + at[i].second - at[0].second;
                    if (cx >= 0 && cy >= 0 && cx < kSize && cy < kSize && (frame[y * w + x] >> 24) != 0)
                        canvas[cy * kSize + cx] = frame[y * w + x];
                }
        }
        return canvas;
    };
    auto picture = [&](const std::string& part, const std::string& text) {
        int w = 0, h = 0;
        std::vector<uint32_t> frame = data.Frame(part, text, w, h);
        EXPECT_FALSE(frame.empty()) << part << " " << text;
        return frame;
    };
    const Names icons = BubbleIcons(data);
    Names boards;
    for (const std::string& level : data.Levels()) {
        for (const std::string& code : data.Values(level, "//object/@transform_to")) boards.insert(Specialization::SkinOfCode(code));
    }
    struct Case {
        const char* what;
        Names names;
        std::function<std::vector<uint32_t>(const std::string&)> draw;
    };
    const Case cases[] = {
        {"order bubbles", Orders(data), bubble},
        {"things the boss carries", Carried(data), [&](const std::string& code) { return picture("held_items", "br" + code); }},
        {"worker boards", boards, [&](const std::string& skin) { return picture("skill_board", skin + "idle"); }},
        {"bubble icons", icons, [&](const std::string& icon) { return picture("status_type", icon); }},
    };
    for (const Case& c : cases) {
        EXPECT_GE(c.names.size(), 3u) << c.what;
        std::map<std::vector<uint32_t>, std::string> seen;
        for (const std::string& name : c.names) {
            const auto [it, fresh] = seen.emplace(c.draw(name), name);
            EXPECT_TRUE(fresh) << c.what << ": " << name << " looks like " << it->second;
        }
    }
}

namespace {

// Rows from the first to the last with a visible pixel.
int SeenHeight(const std::vector<uint32_t>& frame, int width) {
    int top = -1, bottom = -1;
    for (size_t i = 0; i < frame.size(); ++i) {
        if ((frame[i] >> 24) == 0) continue;
        const int y = int(i) / width;
        if (top < 0) top = y;
        bottom = y;
    }
    return top < 0 ? 0 : bottom - top + 1;
}

} // namespace

// A worker on a break reads as himself: each seat of the bar shows him, for
// every look the levels give a worker, as tall as at his desk (give or take
// his lower legs) and in his own colour.
TEST(SampleGame, BarSeatsShowTheWorkerAsAtHisDesk) {
    SampleFolder data;
    Names skins;
    for (const std::string& level : data.Levels()) {
        for (const std::string& skin : data.Values(level, "//object[@transform_to]/@skin")) skins.insert(skin);
    }
    ASSERT_FALSE(skins.empty());
    const std::pair<const char*, const char*> seats[] = {{"minibar_pers1_up", "minibar_pers1_down"},
                                                         {"minibar_pers2_up", "minibar_pers2_down"}};
    for (const std::string& skin : skins) {
        int ww = 0, wh = 0;
        const std::vector<uint32_t> worker = data.Frame("worker_up", skin + "idle", ww, wh);
        ASSERT_FALSE(worker.empty()) << skin;
        const uint32_t body = worker[(wh * 6 / 10) * ww + ww / 2];
        for (const auto& [upper, lower] : seats) {
            int uw = 0, uh = 0, lw = 0, lh = 0;
            const std::vector<uint32_t> up = data.Frame(upper, skin, uw, uh);
            const std::vector<uint32_t> down = data.Frame(lower, skin, lw, lh);
            ASSERT_FALSE(up.empty() || down.empty()) << upper << " " << skin;
            EXPECT_GE(4 * (SeenHeight(up, uw) + SeenHeight(down, lw)), 3 * SeenHeight(worker, ww)) << upper << " " << skin;
            EXPECT_TRUE(std::find(up.begin(), up.end(), body) != up.end()) << upper << " " << skin << " is not in his colour";
        }
    }
}

// The bar's cabinet and seats stand clear of every other thing in the office
// that does not walk about: desks, boards, the door, the conference table.
TEST(SampleGame, BarStandsClearOfTheFurniture) {
    SampleFolder data;
    struct Box {
        std::string what;
        int x0, y0, x1, y1;
    };
    std::vector<Box> bar, others;
    const Names walkers = {"boss", "secretary", "engineer", "client"};
    XmlDocument* doc = data.Doc("cfg\\office.xml");
    ASSERT_NE(doc, nullptr);
    for (const pugi::xpath_node& xn : doc->select_nodes("/office/objects/object[@pos_x]")) {
        XmlNode object = xn.node();
        const std::string cls = object.attribute("class").value();
        if (walkers.count(cls)) continue;
        for (XmlNode part : object.children("part")) {
            int w = 0, h = 0;
            data.Frame(part.attribute("name").value(), "idle", w, h);
            const int x = object.attribute("pos_x").as_int() + part.attribute("offs_x").as_int();
            const int y = object.attribute("pos_y").as_int() + part.attribute("offs_y").as_int();
            const Box box{std::string(object.attribute("name").value()) + ":" + part.attribute("name").value(), x, y,
                          x + w, y + h};
            (cls == "mini_bar" ? bar : others).push_back(box);
        }
    }
    ASSERT_EQ(bar.size(), 7u);
    for (const Box& b : bar) {
        EXPECT_TRUE(b.x0 >= 0 && b.y0 >= 0 && b.x1 <= 800 && b.y1 <= 600) << b.what << " leaves the screen";
        for (const Box& o : others)
            EXPECT_FALSE(b.x0 < o.x1 && o.x0 < b.x1 && b.y0 < o.y1 && o.y0 < b.y1) << b.what << " overlaps " << o.what;
    }
}
