#pragma once
#include <memory>
#include <string>
#include <string_view>
#include "game/office/anim_file.h"

class ScriptObject;
class Skin;

// Plays the animations of one ".anm" file for one skin. It counts no frames
// itself: one timer of its script sweeps the animation and its controls set
// the frame, raise the done flag and stop at a chosen frame. Advances by
// gFrameTime.
class AnimPlayer {
public:
    enum State : int {
        kStateNone = 0,
        kStatePlaying = 1,
        kStatePaused = 2,
        kStateStopped = 3,
    };
    // Control ids of the player's timer.
    enum Control : int {
        kControlFrame = 0,
        kControlDone = 1,
        kControlStopFrame = 2,
    };
    static constexpr int kTimerKey = 1;

    explicit AnimPlayer(Skin* owner);
    ~AnimPlayer();
    AnimPlayer(const AnimPlayer&) = delete;
    AnimPlayer& operator=(const AnimPlayer&) = delete;

    // Reads "anm\<name>.anm". A missing, short or malformed file changes
    // nothing and returns false (LastError says why).
    bool Load(const std::string& name);
    // Takes records made elsewhere (the same as a successful Load).
    void SetData(AnimData data);
    const std::string& LastError() const { return error_; }

    // The first record whose animation name contains text; -1 when none.
    int FindIndex(std::string_view text) const;
    const AnimRecord* FindRecord(std::string_view text) const;

    // False without data, for an empty text or when no record matches (then
    // nothing changes). Unless keep, the playing animation is stopped first.
    bool Play(std::string_view text, bool keep);
    // Nothing for an index outside the records.
    void PlayIndex(int index, bool keep);

    // Pauses on frame n (at most the frame count) when the sweep reaches it.
    void SetStopFrame(int n);
    bool ClearStopFrame();
    void Rewind(int index);
    // False unless playing or paused; the owner's object hears of the end.
    bool Stop();
    bool Pause();
    bool Resume();
    // Nothing (done untouched) unless playing; done tells whether the
    // animation reached its end (or the stop frame) in this update.
    void Update(bool& done);

    // Only while playing or paused, else null.
    const AnimFrame* GetFrame() const;
    const AnimRecord* GetRecord() const;
    // Seconds of the current record; 0 without data or frames per second.
    float GetDuration() const;

    bool HasData() const { return data_ != nullptr; }
    int GetRecordCount() const;
    AnimRecord* GetRecordAt(int index);
    const AnimRecord* GetRecordAt(int index) const;
    int GetState() const { return state_; }
    bool IsPlaying() const { return state_ == kStatePlaying; }
    bool IsPlayingOrPaused() const { return state_ == kStatePlaying || state_ == kStatePaused; }
    int GetCurrentFrame() const { return frame_; }
    int GetCurrentIndex() const { return index_; }
    int GetStopFrame() const { return stopFrame_; }
    // The timer's time in seconds.
    double GetTime() const;
    Skin* GetOwner() const { return owner_; }
    ScriptObject* GetScript() const { return script_.get(); }

private:
    void AfterLoad();

    std::unique_ptr<AnimData> data_;
    int index_ = -1;
    int state_ = kStateNone;
    int frame_ = 0;
    std::unique_ptr<ScriptObject> script_;
    Skin* owner_;
    uint8_t done_ = 0;
    int stopFrame_ = -1;
    std::string error_;
};
