#include "game/ui/edit_line.h"

#include <algorithm>
#include "framework/graphics/font.h"
#include "platform/text.h"

bool EditLine::IsNameChar(char16_t ch) {
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') || (ch >= u'0' && ch <= u'9') ||
           (ch >= 0x0410 && ch <= 0x044F) || ch == u'_';
}

int EditLine::Width(int from, int to) const {
    if (mFont == nullptr || to <= from) return 0;
    return mFont->StringWidth(mText.substr(from, to - from));
}

bool EditLine::Accepts(char16_t ch) const {
    return ch >= 0x20 && ch <= mHighestChar && (mFont == nullptr || mFont->CharWidth(ch) >= 1);
}

void EditLine::EraseSelection() {
    const int start = SelectionStart();
    mText.erase(start, SelectionEnd() - start);
    mCaret = start;
    mAnchor = kNoAnchor;
}

void EditLine::NoteChange(StepKind kind, int position, bool continues) {
    if (!continues || kind != mLastKind || kind == StepKind::None) {
        mUndoText = mBeforeText;
        mUndoCaret = mBeforeCaret;
        mUndoAnchor = mBeforeAnchor;
    }
    mLastKind = kind;
    mLastEditPos = position;
}

EditLine::Outcome EditLine::Edit(int key, char16_t ch, bool shift, bool ctrl, EditClipboard* clipboard) {
    Outcome out;
    if (key == kKeyShift || key == kKeyControl) return out;

    const bool isMove = ch == 0 && (key == kKeyLeft || key == kKeyRight || key == kKeyHome || key == kKeyEnd);
    // Shift extends a selection only while the caret moves; typed text never
    // leaves one behind.
    if (isMove && shift && mAnchor < 0) mAnchor = mCaret;
    mBeforeText = mText;
    mBeforeCaret = mCaret;
    mBeforeAnchor = mAnchor;
    bool keepAnchor = false;

    if ((ch == kCharCopy || ch == kCharCut) && HasSelection()) {
        const int start = SelectionStart();
        if (clipboard != nullptr)
            clipboard->WriteText(platform::Utf16ToUtf8(mText.substr(start, SelectionEnd() - start)));
        if (ch == kCharCut) {
            EraseSelection();
            NoteChange(StepKind::None, mCaret, false);
        } else {
            keepAnchor = true;
        }
    } else if (ch == kCharPaste) {
        std::u16string pasted;
        if (clipboard != nullptr) {
            const std::u16string raw = platform::Utf8ToUtf16(clipboard->ReadText());
            for (char16_t c : raw) {
                if (c == u'\r' || c == u'\n') break;
                if (Accepts(c)) pasted.push_back(c);
            }
        }
        if (HasSelection()) EraseSelection();
        mText.insert(mCaret, pasted);
        mCaret += static_cast<int>(pasted.size());
        NoteChange(StepKind::None, mCaret, false);
    } else if (ch == kCharUndo) {
        std::swap(mText, mUndoText);
        std::swap(mCaret, mUndoCaret);
        std::swap(mAnchor, mUndoAnchor);
        mLastKind = StepKind::None;
        keepAnchor = true;
    } else if (ch == 0 && key == kKeyLeft) {
        if (ctrl) {
            while (mCaret > 0 && !IsNameChar(mText[mCaret - 1])) --mCaret;
            while (mCaret > 0 && IsNameChar(mText[mCaret - 1])) --mCaret;
        } else if (HasSelection() && !shift) {
            mCaret = SelectionStart();
        } else if (mCaret > 0) {
            --mCaret;
        }
    } else if (ch == 0 && key == kKeyRight) {
        if (ctrl) {
            while (mCaret < Length() && IsNameChar(mText[mCaret])) ++mCaret;
            while (mCaret < Length() && !IsNameChar(mText[mCaret])) ++mCaret;
        } else if (HasSelection() && !shift) {
            mCaret = SelectionEnd();
        } else if (mCaret < Length()) {
            ++mCaret;
        }
    } else if (ch == 0 && key == kKeyBack) {
        if (HasSelection()) {
            EraseSelection();
            NoteChange(StepKind::None, mCaret, false);
        } else if (mCaret > 0 && mCaret <= Length()) {
            const bool continues = mCaret == mLastEditPos;
            mText.erase(--mCaret, 1);
            NoteChange(StepKind::Deleting, mCaret, continues);
        }
    } else if (ch == 0 && key == kKeyDelete) {
        if (HasSelection()) {
            EraseSelection();
            NoteChange(StepKind::None, mCaret, false);
        } else if (mCaret >= 0 && mCaret < Length()) {
            const bool continues = mCaret == mLastEditPos;
            mText.erase(mCaret, 1);
            NoteChange(StepKind::Deleting, mCaret, continues);
        }
    } else if (ch == 0 && key == kKeyHome) {
        mCaret = 0;
    } else if (ch == 0 && key == kKeyEnd) {
        mCaret = Length();
    } else if (Accepts(ch)) {
        const bool replaces = HasSelection();
        if (replaces) EraseSelection();
        const bool continues = !replaces && mCaret == mLastEditPos + 1;
        const int at = std::clamp(mCaret, 0, Length());
        mText.insert(mText.begin() + at, ch);
        mCaret = at + 1;
        mAnchor = kNoAnchor;
        NoteChange(StepKind::Typing, at, continues);
        ScrollToCaret(false);
    } else {
        keepAnchor = true;  // an ignored key changes nothing
    }

    if (mMaxChars >= 0 && Length() > mMaxChars) mText.resize(mMaxChars);
    if (mMaxWidth > 0 && mFont != nullptr)
        while (!mText.empty() && Width(0, Length()) > mMaxWidth) mText.pop_back();
    mCaret = std::clamp(mCaret, 0, Length());
    if (mAnchor > Length()) mAnchor = Length();
    out.caretMoved = mCaret != mBeforeCaret;
    ScrollToCaret(true);
    if (mAnchor == mCaret || (!keepAnchor && !(shift && isMove))) mAnchor = kNoAnchor;
    return out;
}

void EditLine::SetText(const std::u16string& text, bool resetScroll) {
    mText = text;
    mCaret = Length();
    mAnchor = 0;
    if (resetScroll)
        mScroll = 0;
    else
        ScrollToCaret(true);
}

bool EditLine::ScrollToCaret(bool fast) {
    const int step = fast ? 10 : 1;
    const int before = mScroll;
    while (mCaret < mScroll) mScroll = std::max(0, mScroll - step);
    if (mFont != nullptr && mViewWidth > 8) {
        while (Width(0, mCaret) - Width(0, mScroll) >= mViewWidth - 8) {
            // Never past the caret nor the last character: a character wider
            // than the box must not scroll forever.
            const int next = std::min({mScroll + step, Length() - 1, mCaret});
            if (next <= mScroll) break;
            mScroll = next;
        }
    }
    return mScroll != before;
}

int EditLine::CharIndexAt(int x) const {
    // Left of every visible character is the first visible one, not the
    // start of a scrolled-away text.
    int index = std::clamp(mScroll, 0, Length());
    for (int i = index; i < Length(); ++i) {
        if (x >= (Width(mScroll, i) + Width(mScroll, i + 1)) / 2 + 5) index = i + 1;
    }
    return index;
}

void EditLine::SelectWordAtCaret() {
    if (mCaret < 0 || mCaret >= Length()) return;
    int start = mCaret;
    while (start > 0 && IsNameChar(mText[start - 1])) --start;
    int end = mCaret;
    while (end < Length() && IsNameChar(mText[end])) ++end;
    mAnchor = start;
    mCaret = end;
}
