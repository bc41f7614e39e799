#include <gtest/gtest.h>
#include <cctype>
#include <iterator>
#include <set>
#include <string>
#include "game/app/pak_file.h"
#include "game/effects/effect_exports.h"
#include "game/effects/script_object.h"
#include "tests/support/temp_dirs.h"

namespace {

// Points the game folder somewhere for one test and closes the configuration after.
class EffectConfigTest : public ::testing::Test {
protected:
    void SetUp() override { oldDir_ = PakGetGameDir(); }
    void TearDown() override {
        CloseEffectConfig();
        PakSetGameDir(oldDir_);
    }
    std::string oldDir_;
};

TEST_F(EffectConfigTest, MissingFileLeavesNoRootAndEmptyScripts) {
    testsupport::TempDir dir;
    PakSetGameDir(dir.Path());
    EXPECT_FALSE(OpenEffectConfig());
    EXPECT_FALSE(gEffectConfigRoot);
    auto so = CreateScriptObject("dlg_fade");
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->GetTimerCount(), 0u);
    EXPECT_FALSE(so->FireMessage("onshow"));
}

TEST_F(EffectConfigTest, ReadsAUtf16File) {
    testsupport::TempDir dir;
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><effects><effect name=\"a\"><timers>"
        "<timer name=\"t\" type=\"cycle\" ftime=\"0.5\" direction=\"forward\"/></timers></effect></effects>";
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    testsupport::WriteFile(dir.File("cfg/effect.xml"), bytes);
    PakSetGameDir(dir.Path());
    ASSERT_TRUE(OpenEffectConfig()) << XmlLastError();
    auto so = CreateScriptObject("a");
    ASSERT_EQ(so->GetTimerCount(), 1u);
    EXPECT_FLOAT_EQ(so->GetTimer(0)->GetFtime(), 0.5f);
    CloseEffectConfig();
    EXPECT_FALSE(gEffectConfigRoot);
    EXPECT_EQ(CreateScriptObject("a")->GetTimerCount(), 0u);
}

// The sample configuration loads, uses every timer shape, direction and
// command, and every function it names is exported.
TEST_F(EffectConfigTest, SampleConfigurationLoadsAndResolves) {
    PakSetGameDir(testsupport::SourceDir() + "/data");
    ASSERT_TRUE(OpenEffectConfig()) << XmlLastError();

    std::set<std::string> types, directions, commands, effects;
    for (XmlNode effect : gEffectConfigRoot.children("effect")) {
        const std::string name = effect.attribute("name").value();
        EXPECT_TRUE(effects.insert(name).second) << "duplicate effect " << name;
        for (XmlNode timer : effect.child("timers").children("timer")) {
            types.insert(timer.attribute("type").value());
            directions.insert(timer.attribute("direction").value());
            for (XmlNode control : timer.children("control")) {
                const std::string fn = control.attribute("function").value();
                EXPECT_NE(FindEffectExport(fn), nullptr) << name << ": " << fn;
            }
        }
        for (XmlNode message : effect.child("messages").children("message")) {
            const std::string command = message.attribute("command").value();
            commands.insert(command);
            if (command == "call") {
                const std::string fn = message.attribute("timer_id").value();
                EXPECT_NE(FindEffectExport(fn), nullptr) << name << ": " << fn;
            }
        }
        auto so = CreateScriptObject(name);
        EXPECT_EQ(so->GetTimerCount(), static_cast<size_t>(std::distance(
                                           effect.child("timers").children("timer").begin(),
                                           effect.child("timers").children("timer").end())));
    }
    EXPECT_EQ(types, (std::set<std::string>{"usual", "self_destructive", "cycle", "ping_pong"}));
    EXPECT_EQ(directions, (std::set<std::string>{"forward", "backward"}));
    EXPECT_EQ(commands, (std::set<std::string>{"stop", "start", "resume", "pause", "call"}));
}

TEST(EffectExportsTest, ResolvesByExactNameAndForm) {
    std::set<std::string> names;
    for (const EffectExport& export_ : AllEffectFunctions()) {
        const EffectExport* e = &export_;
        EXPECT_TRUE(names.insert(e->name).second) << "twice: " << e->name;
        ASSERT_NE(e->name, nullptr);
        EXPECT_EQ(FindEffectExport(e->name), e);
        EXPECT_NE(e->fn, nullptr) << e->name;
        if (e->form == EffectCallForm::Either) {
            EXPECT_EQ(ResolveEffectFunction(e->name, EffectCallForm::Control), e->fn);
            EXPECT_EQ(ResolveEffectFunction(e->name, EffectCallForm::Message), e->fn);
        } else {
            const EffectCallForm other =
                e->form == EffectCallForm::Control ? EffectCallForm::Message : EffectCallForm::Control;
            EXPECT_EQ(ResolveEffectFunction(e->name, e->form), e->fn);
            EXPECT_EQ(ResolveEffectFunction(e->name, other), nullptr) << e->name;
        }
        std::string lower = e->name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower != e->name) {
            EXPECT_EQ(FindEffectExport(lower), nullptr);
        }
    }
    EXPECT_EQ(names.size(), 49u);
    EXPECT_EQ(FindEffectExport(""), nullptr);
    EXPECT_EQ(FindEffectExport("NoSuchFunction"), nullptr);
    EXPECT_EQ(ResolveEffectFunction("NoSuchFunction", EffectCallForm::Control), nullptr);
}

} // namespace
