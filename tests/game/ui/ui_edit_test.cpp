#include "game/ui/ui_edit.h"

#include <gtest/gtest.h>

#include "framework/app/widget_manager.h"
#include "game/ui/cursor_table.h"
#include "platform/input.h"
#include "tests/game/ui/ui_kit_fixture.h"
#include "tests/support/test_font.h"

namespace {

using uitest::UiKitTest;

constexpr uint32_t kTextColor = 0xFFFF0000;
constexpr uint32_t kHighlightColor = 0xFFFFFFFF;
constexpr uint32_t kSelectionColor = 0xFF0000FF;

class UiEditTest : public UiKitTest {
protected:
    // A focused box at (10, 10), 100 x 20 (width as given), the box font
    // (6 pixels a character, 4 a blank, 10 high) as its normal pass.
    UiEdit* MakeEdit(int width = 100) {
        auto* edit = new UiEdit(nullptr);
        edit->Load(Parse("<element type=\"uxedit\" name=\"e\" x=\"10\" y=\"10\" width=\"" +
                         std::to_string(width) + "\" height=\"20\" hilite_color=\"FF0000FF\"/>"),
                   app.get());
        edit->SetTextAttr(kTextNormal, &font, Zephra::Color(kTextColor), Zephra::Color(kHighlightColor));
        Place(edit);
        wm()->SetFocus(edit);
        return edit;
    }

    // Plays a key script on the widget manager: plain characters are typed
    // (a letter also sends its key code, as the platform does); {L} {R} {H}
    // {E} {BS} {DEL} are Left, Right, Home, End, Backspace and Delete, {^L}
    // {^R} the same with Ctrl, {^C} {^V} {^X} {^Z} the clipboard and undo
    // characters, {S+} and {S-} press and release Shift.
    void Play(const std::u16string& script) {
        using namespace platform;
        for (size_t i = 0; i < script.size(); ++i) {
            if (script[i] != u'{') {
                const char16_t ch = script[i];
                int key = 0;
                if (ch >= u'a' && ch <= u'z') key = ch - u'a' + 0x41;
                if (ch >= u'A' && ch <= u'Z') key = ch;
                if (key != 0) wm()->KeyDown(key);
                wm()->KeyChar(ch);
                if (key != 0) wm()->KeyUp(key);
                continue;
            }
            const size_t end = script.find(u'}', i);
            const std::u16string token = script.substr(i + 1, end - i - 1);
            i = end;
            struct Token {
                const char16_t* name;
                int key;
                char16_t ch;
                bool ctrl;
            } static const tokens[] = {
                {u"L", VK_LEFT, 0, false},   {u"R", VK_RIGHT, 0, false}, {u"H", VK_HOME, 0, false},
                {u"E", VK_END, 0, false},    {u"BS", VK_BACK, 0, false}, {u"DEL", VK_DELETE, 0, false},
                {u"^L", VK_LEFT, 0, true},   {u"^R", VK_RIGHT, 0, true}, {u"^C", 0, 3, true},
                {u"^V", 0, 22, true},        {u"^X", 0, 24, true},       {u"^Z", 0, 26, true},
            };
            if (token == u"S+") {
                wm()->KeyDown(VK_SHIFT);
                continue;
            }
            if (token == u"S-") {
                wm()->KeyUp(VK_SHIFT);
                continue;
            }
            bool found = false;
            for (const Token& t : tokens) {
                if (token != t.name) continue;
                found = true;
                if (t.ctrl) wm()->KeyDown(VK_CONTROL);
                if (t.key != 0) wm()->KeyDown(t.key);
                if (t.ch != 0) wm()->KeyChar(t.ch);
                if (t.key != 0) wm()->KeyUp(t.key);
                if (t.ctrl) wm()->KeyUp(VK_CONTROL);
            }
            ADD_FAILURE_IF_NOT(found, token);
        }
    }
    static void ADD_FAILURE_IF_NOT(bool found, const std::u16string& token) {
        EXPECT_TRUE(found) << "unknown token of " << token.size() << " units";
    }

    testsupport::BoxFont font;
};

TEST_F(UiEditTest, KeysEditTheTextAndMoveTheCaret) {
    struct Case {
        const char* what;
        const char16_t* preset;     // SetText first (selects it), or none
        const char16_t* script;
        const char16_t* text;
        int caret;
        int anchor;                 // -1: no selection
        bool wide = false;
    } cases[] = {
        {"fourteen letters keep thirteen", nullptr, u"abcdefghijklmn", u"abcdefghijklm", 13, -1},
        {"backspace at the start changes nothing", nullptr, u"ab{H}{BS}", u"ab", 0, -1},
        {"backspace deletes before the caret", nullptr, u"abc{L}{BS}", u"ac", 1, -1},
        {"delete removes at the caret", nullptr, u"abc{H}{DEL}", u"bc", 0, -1},
        {"delete at the end changes nothing", nullptr, u"abc{DEL}", u"abc", 3, -1},
        {"ctrl+left from the end", nullptr, u"ab cd{^L}", u"ab cd", 3, -1},
        {"ctrl+right from the start", nullptr, u"ab cd{H}{^R}", u"ab cd", 3, -1},
        {"ctrl+left twice", nullptr, u"ab cd{^L}{^L}", u"ab cd", 0, -1},
        {"shift typing inserts each letter", nullptr, u"{S+}AB{S-}", u"AB", 2, -1},
        {"shift extends on caret moves", nullptr, u"abc{S+}{L}{L}{S-}", u"abc", 1, 3},
        {"shift+home then a letter replaces", nullptr, u"abc{S+}{H}{S-}z", u"z", 1, -1},
        {"left leaves a selection at its start", nullptr, u"abcd{S+}{L}{L}{S-}{L}", u"abcd", 2, -1},
        {"right leaves a selection at its end", nullptr, u"abcd{H}{S+}{R}{S-}{R}", u"abcd", 1, -1},
        {"shift+backspace leaves the anchor in the text", nullptr, u"abcd{S+}{L}{L}{BS}{S-}", u"ab", 2, -1},
        {"shift+delete leaves the anchor in the text", nullptr, u"abcd{S+}{H}{DEL}{S-}", u"", 0, -1},
        {"set text selects it: the next letter replaces", u"hello", u"x", u"x", 1, -1},
        {"set text then end keeps it", u"hello", u"{E}x", u"hellox", 6, -1},
        {"a control character is ignored, selection kept", u"hi", u"\t", u"hi", 2, 0},
        {"above 0x7F is refused", nullptr, u"a\u00e9b", u"ab", 2, -1},
        {"wide characters allowed", nullptr, u"a\u00e9\u0416", u"a\u00e9\u0416", 3, -1, true},
        {"0x7F itself is allowed", nullptr, u"a\u007f", u"a\u007f", 2, -1},
    };
    for (const Case& c : cases) {
        app->mWideChars = c.wide;
        UiEdit* edit = MakeEdit();
        if (c.preset != nullptr) edit->SetText(c.preset, true);
        Play(c.script);
        EXPECT_TRUE(edit->GetText() == c.text) << c.what;
        EXPECT_EQ(edit->Line().mCaret, c.caret) << c.what;
        EXPECT_EQ(edit->Line().mAnchor, c.anchor) << c.what;
        Drop(edit);
    }
}

TEST_F(UiEditTest, UndoStepsGroupTypingAndDeleting) {
    struct Case {
        const char* what;
        const char16_t* preset;
        const char16_t* script;
        const char16_t* text;
    } cases[] = {
        {"three letters are one step", nullptr, u"abc{^Z}", u""},
        {"undo twice restores", nullptr, u"abc{^Z}{^Z}", u"abc"},
        {"backspaces in a row are one step", nullptr, u"abcd{BS}{BS}{^Z}", u"abcd"},
        {"typing after deleting is a new step", nullptr, u"abc{BS}x{^Z}", u"ab"},
        {"typing elsewhere is a new step", nullptr, u"abc{L}{L}x{^Z}", u"abc"},
        {"deleting after typing is a new step", nullptr, u"ab{L}{DEL}{^Z}", u"ab"},
        {"replacing a selection is a new step", u"hello", u"xy{^Z}", u"hello"},
        {"cut is a new step", nullptr, u"abc{S+}{H}{S-}{^X}{^Z}", u"abc"},
        {"the 14th letter does not disturb the step", nullptr, u"abcdefghijklmn{^Z}", u""},
    };
    for (const Case& c : cases) {
        UiEdit* edit = MakeEdit();
        if (c.preset != nullptr) edit->SetText(c.preset, true);
        Play(c.script);
        EXPECT_TRUE(edit->GetText() == c.text) << c.what;
        EXPECT_LE(edit->Line().mCaret, static_cast<int>(edit->GetText().size())) << c.what;
        Drop(edit);
    }
}

TEST_F(UiEditTest, ClipboardCarriesUtf8AndPastesTheFirstLine) {
    struct Case {
        const char* what;
        bool wide;
        const char* clipboardBefore;
        const char16_t* script;
        const char16_t* text;
        const char* clipboardAfter;
    } cases[] = {
        {"paste keeps the first line", false, "first\nsecond", u"{^V}", u"first", "first\nsecond"},
        {"paste stops at a carriage return", false, "a b\r\nc", u"x{^V}", u"xa b", "a b\r\nc"},
        {"paste filters like typing", false, "x\ty\xC3\xA9z", u"{^V}", u"xyz", "x\ty\xC3\xA9z"},
        {"paste of wide text with wide characters", true, "\xC3\xA9t\xC3\xA9", u"{^V}", u"\u00e9t\u00e9",
         "\xC3\xA9t\xC3\xA9"},
        {"paste replaces the selection", false, "new", u"old{S+}{H}{S-}{^V}", u"new", "new"},
        {"paste is cut to thirteen", false, "0123456789abcdef", u"{^V}", u"0123456789abc", "0123456789abcdef"},
        {"copy keeps text and selection", false, "", u"hello{S+}{L}{L}{S-}{^C}", u"hello", "lo"},
        {"copy without a selection does nothing", false, "kept", u"hello{^C}", u"hello", "kept"},
        {"cut removes the selection", false, "", u"hello{S+}{L}{L}{S-}{^X}", u"hel", "lo"},
        {"copied wide text is UTF-8", true, "", u"\u00e9\u0416{S+}{H}{S-}{^C}", u"\u00e9\u0416",
         "\xC3\xA9\xD0\x96"},
    };
    for (const Case& c : cases) {
        app->mWideChars = c.wide;
        app->CopyToClipboard(c.clipboardBefore);
        UiEdit* edit = MakeEdit();
        Play(c.script);
        EXPECT_TRUE(edit->GetText() == c.text) << c.what;
        EXPECT_EQ(app->ReadClipboardText(), c.clipboardAfter) << c.what;
        Drop(edit);
    }
}

TEST_F(UiEditTest, MousePlacesTheCaretAndSelectsWords) {
    // The box is at x 10; a character i of an unscrolled box counts from
    // x 6i + 8 inside it.
    struct Case {
        const char* what;
        const char16_t* text;
        int width;
        int downX, upX;     // inside the box
        int clicks;
        int caret, anchor, scroll;
    } cases[] = {
        {"click before the first middle", u"abcdef", 100, 7, 7, 1, 0, -1, 0},
        {"click on the third character", u"abcdef", 100, 20, 20, 1, 3, -1, 0},
        {"click past the end", u"abcdef", 100, 90, 90, 1, 6, -1, 0},
        {"drag selects", u"abcdef", 100, 8, 26, 1, 4, 1, 0},
        {"double click selects the word with its underscore", u"my_name 5", 100, 20, 20, 2, 7, 0, 0},
        {"double click on the digit", u"my_name 5", 100, 50, 50, 2, 9, 8, 0},
        {"scrolled box: left of every character is the first visible one", u"abcdefghijklm", 60, 1, 1, 1, 5, -1, 5},
    };
    for (const Case& c : cases) {
        UiEdit* edit = MakeEdit(c.width);
        Play(c.text);
        ASSERT_TRUE(edit->GetText() == c.text) << c.what;
        wm()->MouseMove(10 + c.downX, 15);
        wm()->MouseDown(10 + c.downX, 15, c.clicks);
        wm()->MouseMove(10 + c.upX, 15);
        wm()->MouseUp(10 + c.upX, 15, c.clicks);
        EXPECT_EQ(edit->Line().mCaret, c.caret) << c.what;
        EXPECT_EQ(edit->Line().mAnchor, c.anchor) << c.what;
        EXPECT_EQ(edit->Line().mScroll, c.scroll) << c.what;
        Drop(edit);
    }
}

TEST_F(UiEditTest, ScrollKeepsTheCaretVisibleAndStops) {
    struct Case {
        const char* what;
        int charWidth;
        const char16_t* script;
        int scroll;
        uint32_t firstPixel;    // at the first text column
    } cases[] = {
        {"short text does not scroll", 6, u"abc", 0, kTextColor},
        {"typing scrolls a character at a time", 6, u"abcdefghijklm", 5, kTextColor},
        {"home scrolls back", 6, u"abcdefghijklm{H}", 0, kTextColor},
        {"a character wider than the box stops the scroll", 80, u"ab", 1, kTextColor},
        {"a single wide character stays at 0", 80, u"a", 0, kTextColor},
    };
    for (const Case& c : cases) {
        font.mCharWidth = c.charWidth;
        UiEdit* edit = MakeEdit(60);
        Play(c.script);
        EXPECT_EQ(edit->Line().mScroll, c.scroll) << c.what;
        wm()->SetFocus(nullptr);
        EXPECT_EQ(Pixel(10 + 5, 20), c.firstPixel) << c.what;
        Drop(edit);
    }
}

TEST_F(UiEditTest, DrawsTextCaretAndSelection) {
    // Text runs from x 14 (box x 10 + 4); the box font fills rows 15..24.
    struct Case {
        const char* what;
        const char16_t* script;
        bool focused;
        int blinkSteps;     // updates after the last key
        int x;
        uint32_t pixel;
        float scale = 1.0f;
        int y = 20;
    } cases[] = {
        {"text in its colour", u"ab", false, 0, 15, kTextColor},
        {"scaled box draws its text stretched", u"ab", false, 0, 30, kTextColor, 2.0f, 35},
        {"scaled box: the second letter", u"ab", false, 0, 45, kTextColor, 2.0f, 35},
        {"scaled box: past the text", u"ab", false, 0, 54, 0xFF000000, 2.0f, 35},
        {"no caret without focus", u"ab", false, 0, 26, 0xFF000000},
        {"caret after the text", u"ab", true, 0, 26, kSelectionColor},
        {"caret two pixels wide", u"ab", true, 0, 28, 0xFF000000},
        {"caret blinks off", u"ab", true, 41, 26, 0xFF000000},
        {"caret blinks on again", u"ab", true, 82, 26, kSelectionColor},
        {"selected text in the highlight colour", u"a b{S+}{H}{S-}", true, 0, 15, kHighlightColor},
        {"selection fill between words", u"a b{S+}{H}{S-}", true, 0, 21, kSelectionColor},
        {"unselected text keeps its colour", u"a b{S+}{L}{S-}", true, 0, 15, kTextColor},
    };
    for (const Case& c : cases) {
        UiEdit* edit = MakeEdit();
        Play(c.script);
        if (!c.focused) wm()->SetFocus(nullptr);
        edit->mScale = c.scale;
        Step(c.blinkSteps + 1);
        EXPECT_EQ(Pixel(c.x, c.y), c.pixel) << c.what;
        Drop(edit);
    }
}

TEST_F(UiEditTest, HoverShowsTheTextCursor) {
    app->SetCursorTable(new CursorTable(app->GetTextureTable()), [](CursorTable* t) { delete t; });
    CursorTable* cursors = app->GetCursorTable();
    cursors->Load(Parse("<ui><cursors mode='normal' image='images\\white.png'/>"
                        "<cursors mode='text' image='images\\gray.png'/></ui>"));
    cursors->Select("normal");
    UiEdit* edit = MakeEdit();
    struct Case {
        const char* what;
        int x, y;
        const char* mode;
    } cases[] = {
        {"over the box", 50, 15, "text"},
        {"moving inside keeps it", 60, 20, "text"},
        {"off the box", 150, 100, "normal"},
    };
    for (const Case& c : cases) {
        wm()->MouseMove(c.x, c.y);
        EXPECT_EQ(cursors->GetCurrent(), cursors->Find(c.mode)) << c.what;
    }
    Drop(edit);
}

} // namespace
