#include "game/office/anim_player.h"
#include <algorithm>
#include "game/app/pak_file.h"
#include "game/effects/script_object.h"
#include "game/office/item.h"
#include "game/office/office_objects.h"
#include "game/office/skin.h"

namespace {

// Frame as the timer's controls see it: kept within the block's frames.
int ClampFrame(int frame, const AnimBlock* block) {
    const int last = block ? static_cast<int>(block->frames.size()) - 1 : 0;
    return std::clamp(frame, 0, std::max(last, 0));
}

int AnimFrameByProgress(void* arg) {
    auto* context = static_cast<EffectCallContext*>(arg);
    ScriptObject* script = context ? context->target : nullptr;
    if (!script) return 1;
    auto* frame = script->GetParamPtr<int>(kAnimParamFrame);
    auto* block = script->GetParamPtr<AnimBlock>(kAnimParamRecord);
    if (!frame || !block || block->frameCount < 1) return 1;
    *frame = ClampFrame(static_cast<int>(static_cast<float>(block->frameCount - 1) * context->progress), block);
    return 1;
}

int AnimSetDone(void* arg) {
    auto* context = static_cast<EffectCallContext*>(arg);
    ScriptObject* script = context ? context->target : nullptr;
    if (!script) return 1;
    if (auto* done = script->GetParamPtr<uint8_t>(kAnimParamDone)) *done = 1;
    return 1;
}

// A point control's progress is the time it was passed at.
int AnimSetLastFrame(void* arg) {
    auto* context = static_cast<EffectCallContext*>(arg);
    ScriptObject* script = context ? context->target : nullptr;
    if (!script) return 1;
    if (auto* done = script->GetParamPtr<uint8_t>(kAnimParamDone)) *done = 1;
    auto* frame = script->GetParamPtr<int>(kAnimParamFrame);
    auto* block = script->GetParamPtr<AnimBlock>(kAnimParamRecord);
    if (frame && block)
        *frame = ClampFrame(static_cast<int>(static_cast<float>(block->fps) * context->progress), block);
    return 1;
}

EffectControl MakeControl(int type, int id, float start, float end, EffectCallback fn, ScriptObject* target,
                          bool active) {
    EffectControl c;
    c.type = type;
    c.id = id;
    c.starttime = start;
    c.endtime = end;
    c.function = fn;
    c.target = target;
    c.active = active ? 1 : 0;
    return c;
}

} // namespace

AnimPlayer::AnimPlayer(Skin* owner) : script_(std::make_unique<ScriptObject>()), owner_(owner) {
    static const EffectTimerRecord kTimers[] = {
        {kTimerKey, {kSettingsFtime | kSettingsDirection | kSettingsType, 0.0f, kTimerForward, kTimerUsual, 0}},
    };
    static const int kControlCounts[] = {3};
    // The functions are set when a record is played; the compiled-in ones do nothing.
    const EffectControl controls[] = {
        MakeControl(kControlRange, kControlFrame, 0.0f, 1.0f, nullptr, script_.get(), false),
        MakeControl(kControlPoint, kControlDone, 0.0f, 0.0f, nullptr, script_.get(), false),
        MakeControl(kControlPoint, kControlStopFrame, 0.0f, 0.0f, nullptr, script_.get(), false),
    };
    AddTimersFromTable(script_.get(), 1, kTimers, kControlCounts, controls);
    script_->SetParamPtr(kAnimParamFrame, &frame_);
    script_->SetParam(kAnimParamRecord, 0);
    script_->SetParamPtr(kAnimParamDone, &done_);
}

AnimPlayer::~AnimPlayer() = default;

bool AnimPlayer::Load(const std::string& name) {
    const std::string path = "anm\\" + name + ".anm";
    std::string bytes;
    if (!PakReadAll(path, bytes)) {
        error_ = path + ": cannot be opened (" + PakLastError() + ")";
        return false;
    }
    AnimData data;
    std::string why;
    if (!ParseAnmFile(bytes, data, why)) {
        error_ = path + ": " + why;
        return false;
    }
    SetData(std::move(data));
    return true;
}

void AnimPlayer::SetData(AnimData data) {
    data_ = std::make_unique<AnimData>(std::move(data));
    frame_ = 0;
    error_.clear();
    AfterLoad();
}

void AnimPlayer::AfterLoad() {
    ClearStopFrame();
    // A file with fewer records than the one playing starts from nothing.
    if (index_ >= GetRecordCount()) {
        index_ = -1;
        script_->SetParam(kAnimParamRecord, 0);
        frame_ = 0;
        return;
    }
    PlayIndex(index_, false);
}

int AnimPlayer::GetRecordCount() const { return data_ ? static_cast<int>(data_->records.size()) : 0; }

AnimRecord* AnimPlayer::GetRecordAt(int index) {
    if (!data_ || index < 0 || index >= GetRecordCount()) return nullptr;
    return &data_->records[static_cast<size_t>(index)];
}

const AnimRecord* AnimPlayer::GetRecordAt(int index) const {
    return const_cast<AnimPlayer*>(this)->GetRecordAt(index);
}

int AnimPlayer::FindIndex(std::string_view text) const {
    for (int i = 0; i < GetRecordCount(); ++i) {
        if (data_->records[static_cast<size_t>(i)].animName.find(text) != std::string::npos) return i;
    }
    return -1;
}

const AnimRecord* AnimPlayer::FindRecord(std::string_view text) const { return GetRecordAt(FindIndex(text)); }

bool AnimPlayer::Play(std::string_view text, bool keep) {
    if (!data_ || text.empty()) return false;
    const int index = FindIndex(text);
    if (index < 0) return false;
    if (!keep) Stop();
    PlayIndex(index, keep);
    state_ = kStatePlaying;
    EffectTimer* timer = script_->GetTimer(kTimerKey);
    const AnimBlock& block = data_->records[static_cast<size_t>(index)].block;
    timer->SetControlActive(kControlFrame, GetDuration() != 0.0f);
    // Only a one-shot of several frames has a done point; a loop never ends.
    timer->SetControlActive(kControlDone, block.mode != kAnimLoop && block.frameCount > 1 && GetDuration() != 0.0f);
    // A record of no duration has no time to run.
    timer->SetRunning(GetDuration() != 0.0f);
    return true;
}

void AnimPlayer::PlayIndex(int index, bool keep) {
    AnimRecord* record = GetRecordAt(index);
    if (!record) return;
    EffectTimer* timer = script_->GetTimer(kTimerKey);
    double remembered = 0.0;
    if (keep) {
        remembered = timer->GetTime();
    } else {
        frame_ = 0;
    }
    const AnimBlock& block = record->block;
    const float duration = block.fps != 0 ? static_cast<float>(block.frameCount) / static_cast<float>(block.fps) : 0.0f;
    if (keep && duration < remembered) remembered = 0.0;

    EffectTimerSettings settings;
    settings.flags = kSettingsFtime | kSettingsDirection | kSettingsType;
    settings.ftime = duration;
    settings.type = block.mode != kAnimLoop ? kTimerUsual : kTimerCycle;
    settings.direction = block.mode == kAnimOnceBackward ? kTimerBackward : kTimerForward;
    settings.running = duration != 0.0f ? 1 : 0;
    timer->SetSettings(settings);
    timer->Reset();
    if (keep) timer->SetTime(remembered);

    timer->ReplaceControl(MakeControl(kControlRange, kControlFrame, 0.0f, duration, &AnimFrameByProgress,
                                      script_.get(), duration != 0.0f));
    const bool oneShot = block.mode != kAnimLoop && block.frameCount > 1;
    // A backward sweep ends at 0, so that is where it is done.
    const float donePoint = block.mode == kAnimOnceBackward ? 0.0f : duration;
    timer->ReplaceControl(MakeControl(kControlPoint, kControlDone, donePoint, donePoint,
                                      oneShot ? &AnimSetDone : nullptr, script_.get(), oneShot));
    script_->SetParamPtr(kAnimParamRecord, &record->block);
    index_ = index;
    frame_ = ClampFrame(frame_, &block);
}

void AnimPlayer::SetStopFrame(int n) {
    const AnimRecord* record = GetRecordAt(index_);
    if (!record || n < 0 || n > record->block.frameCount || record->block.fps == 0) return;
    const float at = static_cast<float>(n) / static_cast<float>(record->block.fps);
    script_->GetTimer(kTimerKey)->ReplaceControl(
        MakeControl(kControlPoint, kControlStopFrame, at, at, &AnimSetLastFrame, script_.get(), true));
    stopFrame_ = n;
}

bool AnimPlayer::ClearStopFrame() {
    script_->GetTimer(kTimerKey)->SetControlActive(kControlStopFrame, false);
    stopFrame_ = -1;
    return true;
}

void AnimPlayer::Rewind(int index) {
    if (!GetRecordAt(index)) return;
    script_->GetTimer(kTimerKey)->Reset();
    ClearStopFrame();
}

bool AnimPlayer::Stop() {
    if (!IsPlayingOrPaused()) return false;
    ClearStopFrame();
    state_ = kStateStopped;
    if (owner_ && owner_->GetOwner()) owner_->GetOwner()->OnAnimFinished(owner_, owner_->GetAnimName());
    Rewind(index_);
    EffectTimer* timer = script_->GetTimer(kTimerKey);
    timer->SetControlActive(kControlFrame, false);
    timer->SetControlActive(kControlDone, false);
    timer->SetRunning(false);
    timer->Reset();
    return true;
}

bool AnimPlayer::Pause() {
    if (state_ != kStatePlaying) return false;
    state_ = kStatePaused;
    script_->GetTimer(kTimerKey)->SetRunning(false);
    return true;
}

bool AnimPlayer::Resume() {
    if (state_ != kStatePaused) return false;
    state_ = kStatePlaying;
    script_->GetTimer(kTimerKey)->SetRunning(GetDuration() != 0.0f);
    return true;
}

void AnimPlayer::Update(bool& done) {
    if (state_ != kStatePlaying) return;
    script_->Update(gFrameTime);
    if (stopFrame_ != -1 && done_) {
        const AnimRecord* record = GetRecordAt(index_);
        if (record && record->block.fps != 0)
            script_->GetTimer(kTimerKey)->SetTime(static_cast<double>(stopFrame_ + 1) / record->block.fps);
        ClearStopFrame();
        Pause();
    }
    done = done_ != 0;
    done_ = 0;
}

const AnimFrame* AnimPlayer::GetFrame() const {
    const AnimRecord* record = GetRecord();
    if (!record || record->block.frames.empty()) return nullptr;
    return &record->block.frames[static_cast<size_t>(ClampFrame(frame_, &record->block))];
}

const AnimRecord* AnimPlayer::GetRecord() const {
    if (!IsPlayingOrPaused()) return nullptr;
    return GetRecordAt(index_);
}

float AnimPlayer::GetDuration() const {
    const AnimRecord* record = GetRecordAt(index_);
    if (!record || record->block.fps == 0) return 0.0f;
    return static_cast<float>(record->block.frameCount) / static_cast<float>(record->block.fps);
}

double AnimPlayer::GetTime() const { return script_->GetTimer(kTimerKey)->GetTime(); }
