#pragma once
#include <string>

namespace Zephra {
class Font;
}

// The clipboard as the edit box reaches it: narrow text is UTF-8.
class EditClipboard {
public:
    virtual ~EditClipboard() = default;
    virtual std::string ReadText() = 0;
    virtual void WriteText(const std::string& text) = 0;
};

// The text, caret, selection, scroll and one-step undo of a one-line edit
// box, without drawing. Widths come from the normal font; without one every
// width check passes and nothing scrolls.
class EditLine {
public:
    static constexpr int kNoAnchor = -1;
    // Key codes the editor acts on, besides the characters.
    static constexpr int kKeyBack = 0x08;
    static constexpr int kKeyShift = 0x10;
    static constexpr int kKeyControl = 0x11;
    static constexpr int kKeyEnd = 0x23;
    static constexpr int kKeyHome = 0x24;
    static constexpr int kKeyLeft = 0x25;
    static constexpr int kKeyRight = 0x27;
    static constexpr int kKeyDelete = 0x2E;
    // Characters that Ctrl+C, Ctrl+V, Ctrl+X and Ctrl+Z arrive as.
    static constexpr char16_t kCharCopy = 3;
    static constexpr char16_t kCharPaste = 22;
    static constexpr char16_t kCharCut = 24;
    static constexpr char16_t kCharUndo = 26;

    std::u16string mText;
    int mCaret = 0;
    int mAnchor = kNoAnchor;    // other end of the selection
    int mScroll = 0;            // first visible character
    int mMaxChars = 13;         // longer text is cut; -1 = no limit
    int mMaxWidth = -1;         // pixel limit in the normal font; <= 0 = none
    int mViewWidth = 0;         // layout width of the box
    char16_t mHighestChar = 0x7F;
    Zephra::Font* mFont = nullptr;  // the normal font, not owned

    // What one key did.
    struct Outcome {
        bool caretMoved = false;
    };

    // One key: a key code with no character, or a character with key 0.
    Outcome Edit(int key, char16_t ch, bool shift, bool ctrl, EditClipboard* clipboard);

    // Replaces the text and selects all of it.
    void SetText(const std::u16string& text, bool resetScroll);
    // Keeps the caret inside the visible part; true when the scroll changed.
    bool ScrollToCaret(bool fast);
    // The caret index for a point x pixels into the box.
    int CharIndexAt(int x) const;
    // Selects the name characters around the caret.
    void SelectWordAtCaret();

    bool HasSelection() const { return mAnchor >= 0 && mAnchor != mCaret; }
    int SelectionStart() const { return HasSelection() && mAnchor < mCaret ? mAnchor : mCaret; }
    int SelectionEnd() const { return HasSelection() && mAnchor > mCaret ? mAnchor : mCaret; }
    // Width of text[from, to) in the normal font (0 without one).
    int Width(int from, int to) const;
    bool Accepts(char16_t ch) const;

    static bool IsNameChar(char16_t ch);

private:
    // Kinds of change that group into one undo step.
    enum class StepKind { None, Typing, Deleting };

    int Length() const { return static_cast<int>(mText.size()); }
    void EraseSelection();
    // Starts a new undo step from the state before the key unless the change
    // continues the last one.
    void NoteChange(StepKind kind, int position, bool continues);

    std::u16string mUndoText;
    int mUndoCaret = 0;
    int mUndoAnchor = 0;
    int mLastEditPos = 0;
    StepKind mLastKind = StepKind::None;
    // The state before the key being handled.
    std::u16string mBeforeText;
    int mBeforeCaret = 0;
    int mBeforeAnchor = kNoAnchor;
};
