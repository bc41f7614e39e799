#include "game/effects/effect_timer.h"
#include <algorithm>
#include <cmath>
#include <string>
#include "game/app/game_util.h"
#include "game/effects/script_object.h"
#include "platform/clock.h"

namespace {

double NowMs() { return static_cast<double>(platform::GetClock().NowMs()); }

int TimerTypeFromWord(const std::string& word) {
    if (word == "usual") return kTimerUsual;
    if (word == "self_destructive") return kTimerSelfDestructive;
    if (word == "cycle") return kTimerCycle;
    if (word == "ping_pong") return kTimerPingPong;
    return 0;
}

int ControlTypeFromWord(const std::string& word) {
    if (word == "point") return kControlPoint;
    if (word == "range") return kControlRange;
    return 0;
}

bool LoadControl(XmlNode node, void* a, void*) {
    auto* timer = static_cast<EffectTimer*>(a);
    EffectControl control;
    uint32_t id = 0;
    XmlGetAttrUInt(node, "id", id);
    control.id = static_cast<int>(id);
    XmlGetAttrFloat(node, "starttime", control.starttime);
    XmlGetAttrFloat(node, "endtime", control.endtime);
    std::string word;
    if (XmlGetAttrString(node, "type", word)) control.type = ControlTypeFromWord(word);
    word.clear();
    if (XmlGetAttrString(node, "function", word)) {
        control.function = ResolveEffectFunction(word, EffectCallForm::Control);
        if (control.function) control.type |= kControlFunctionFound;
    }
    control.target = timer->GetOwner();
    control.extra = 0;
    uint8_t active = 0;
    XmlGetAttrBool(node, "active", active);
    control.active = active ? 1 : 0;
    timer->AddControl(control);
    return true;
}

} // namespace

EffectTimer::EffectTimer(ScriptObject* owner) : owner_(owner) {}

EffectTimer::~EffectTimer() { ClearControls(); }

void EffectTimer::Load(XmlNode node) {
    std::string word;
    if (XmlGetAttrString(node, "type", word)) type_ = TimerTypeFromWord(word);
    XmlGetAttrFloat(node, "ftime", ftime_);
    word.clear();
    if (XmlGetAttrString(node, "direction", word)) {
        if (word == "forward") {
            direction_ = kTimerForward;
            time_ = 0.0;
        } else if (word == "backward") {
            direction_ = kTimerBackward;
            time_ = ftime_;
        }
    }
    XmlForEachNode(node, "control", &LoadControl, this, nullptr);
    running_ = 0;
}

bool EffectTimer::AddControl(const EffectControl& control) {
    CritSectLock lock(gEffectTimerLock);
    Control c;
    c.record = control;
    if (!(c.record.type & kControlFunctionFound)) c.record.function = nullptr;
    c.record.type &= ~kControlFunctionFound;
    c.inside = 0;
    controls_.push_back(c);
    return true;
}

EffectTimer::Control* EffectTimer::FindControlMutable(int id) {
    for (Control& c : controls_) {
        if (c.record.id == id) return &c;
    }
    return nullptr;
}

const EffectControl* EffectTimer::FindControl(int id) const {
    CritSectLock lock(gEffectTimerLock);
    for (const Control& c : controls_) {
        if (c.record.id == id) return &c.record;
    }
    return nullptr;
}

bool EffectTimer::RemoveControl(int id) {
    CritSectLock lock(gEffectTimerLock);
    for (auto it = controls_.begin(); it != controls_.end(); ++it) {
        if (it->record.id == id) {
            controls_.erase(it);
            return true;
        }
    }
    return false;
}

void EffectTimer::ClearControls() {
    CritSectLock lock(gEffectTimerLock);
    controls_.clear();
}

bool EffectTimer::ReplaceControl(const EffectControl& control) {
    CritSectLock lock(gEffectTimerLock);
    Control* c = FindControlMutable(control.id);
    if (!c) return false;
    c->record = control;
    c->record.type &= ~kControlFunctionFound;
    c->inside = 0;
    return true;
}

bool EffectTimer::SetControlActive(int id, bool active) {
    CritSectLock lock(gEffectTimerLock);
    Control* c = FindControlMutable(id);
    if (!c) return false;
    c->record.active = active ? 1 : 0;
    return true;
}

void EffectTimer::SetSettings(const EffectTimerSettings& s) {
    CritSectLock lock(gEffectTimerLock);
    const uint8_t wasRunning = running_;
    noCatchUp_ = (s.flags & kSettingsNoCatchUp) ? 1 : 0;
    if (s.flags & kSettingsFtime) {
        ftime_ = s.ftime;
        time_ = 0.0;
        settingsChanged_ = 1;
    }
    if (s.flags & kSettingsType) type_ = s.type;
    if (s.flags & kSettingsDirection) {
        direction_ = s.direction;
        forwardLeg_ = (direction_ == kTimerForward) ? 1 : 0;
    }
    running_ = (s.running && ftime_ > 0.0f) ? 1 : 0;
    if (direction_ == kTimerBackward) time_ = ftime_;
    if ((s.running ? 1 : 0) != wasRunning) startClock_ = NowMs();
    ++generation_;
}

void EffectTimer::GetSettings(EffectTimerSettings& s) const {
    CritSectLock lock(gEffectTimerLock);
    if (s.flags & kSettingsFtime) s.ftime = ftime_;
    if (s.flags & kSettingsDirection) s.direction = direction_;
    if (s.flags & kSettingsType) s.type = type_;
    s.running = running_;
}

void EffectTimer::Reset() {
    CritSectLock lock(gEffectTimerLock);
    time_ = (direction_ == kTimerBackward) ? ftime_ : 0.0;
    finished_ = 0;
    startClock_ = NowMs();
    ++generation_;
}

void EffectTimer::SetRunning(bool running) {
    CritSectLock lock(gEffectTimerLock);
    running_ = running ? 1 : 0;
}

bool EffectTimer::IsRunning() const {
    CritSectLock lock(gEffectTimerLock);
    return running_ != 0;
}

void EffectTimer::SetTime(double time) {
    time_ = time;
    ++generation_;
}

void EffectTimer::Update(double dt) {
    CritSectLock lock(gEffectTimerLock);
    if (!running_) return;
    settingsChanged_ = 0;
    const uint32_t generation = generation_;
    // A callback that reset, stopped or re-timed the clock, or a timer that
    // reached its end, ends the stepping of this frame.
    auto interrupted = [&] { return generation_ != generation || finished_ || !running_; };
    if (!IsEndless()) {
        int steps = 0;
        while (static_cast<double>(ftime_) < dt) {
            if (noCatchUp_ || steps >= kMaxCatchUpSteps) {
                // Drop the whole intervals at once: the remainder lies in (0, ftime].
                const double ftime = ftime_;
                if (ftime > 0.0) {
                    const double rest = std::fmod(dt, ftime);
                    dt = (rest > 0.0) ? rest : ftime;
                }
                break;
            }
            Step(ftime_);
            ++steps;
            if (interrupted()) return;
            if (ftime_ == 0.0f) break;
            dt -= ftime_;
        }
    }
    if (!settingsChanged_) Step(dt);
}

void EffectTimer::Step(double dt) {
    CritSectLock lock(gEffectTimerLock);
    // A timer of no known type stays where it is.
    if (type_ < kTimerUsual || type_ > kTimerPingPong) return;
    const bool pingPong = type_ == kTimerPingPong;
    const bool forward = pingPong ? forwardLeg_ != 0 : direction_ == kTimerForward;
    const bool backward = pingPong ? forwardLeg_ == 0 : direction_ == kTimerBackward;
    if (!forward && !backward) return;
    const bool oneShot = type_ == kTimerUsual || type_ == kTimerSelfDestructive;
    const double ftime = ftime_;
    const uint32_t generation = generation_;
    const double old = time_;

    if (forward) {
        time_ += dt;
        if (IsEndless() || static_cast<float>(time_) < ftime_) {
            DispatchControls(old, time_);
            return;
        }
        finished_ = oneShot ? 1 : 0;
        DispatchControls(old, ftime);
        if (oneShot) {
            if (type_ == kTimerSelfDestructive) selfDestruct_ = 1;
            return;
        }
        if (settingsChanged_ || generation_ != generation) return;
        if (pingPong) {
            time_ = ftime - (time_ - ftime);
            forwardLeg_ = 0;
            if (static_cast<float>(time_) != ftime_) DispatchControls(ftime, time_);
        } else if (type_ == kTimerCycle) {
            time_ -= ftime;
            if (time_ != 0.0) DispatchControls(0.0, time_);
        }
    } else {
        time_ -= dt;
        if (IsEndless() || time_ > 0.0) {
            DispatchControls(old, time_);
            return;
        }
        finished_ = oneShot ? 1 : 0;
        DispatchControls(old, 0.0);
        if (oneShot) {
            if (type_ == kTimerSelfDestructive) selfDestruct_ = 1;
            return;
        }
        if (settingsChanged_ || generation_ != generation) return;
        if (pingPong) {
            time_ = -time_;
            forwardLeg_ = 1;
            if (time_ != 0.0) DispatchControls(0.0, time_);
        } else if (type_ == kTimerCycle) {
            time_ += ftime;
            if (static_cast<float>(time_) != ftime_) DispatchControls(ftime, time_);
        }
    }
}

void EffectTimer::DispatchControls(double from, double to) {
    CritSectLock lock(gEffectTimerLock);
    const float f = static_cast<float>(from);
    const float t = static_cast<float>(to);
    const float now = static_cast<float>(time_);
    const bool forward = f <= t;
    const double key = startClock_ + to;

    for (Control& c : controls_) {
        const EffectControl& r = c.record;
        if (!r.active) continue;
        const float s = r.starttime;
        const float e = r.endtime;
        EffectCallContext context{r.type, r.id, r.target, r.extra, 0.0f};
        auto queue = [&](float progress) {
            context.progress = progress;
            QueueCall(key, r.function, context);
        };
        auto progress = [&] {
            // A range of no width has no inside: it counts as passed.
            if (!(e > s)) return 1.0f;
            return std::min(1.0f, (now - s) / (e - s));
        };

        if (r.type == kControlPoint) {
            if (forward ? (f <= s && s <= t) : (t <= s && s <= f)) queue(t);
        } else if (r.type == kControlRange) {
            if (forward) {
                if (f <= s && e <= t) {
                    queue(0.0f);
                    queue(1.0f);
                } else if (f <= s && s <= t) {
                    if (!c.inside) queue(0.0f);
                    queue(progress());
                    c.inside = 1;
                } else if (s < f && f < e && e <= t) {
                    if (c.inside) queue(1.0f);
                    c.inside = 0;
                } else if (s < f && t <= e) {
                    queue(progress());
                    if (t == e) queue(1.0f);
                }
            } else {
                if (t <= s && e <= f) {
                    queue(1.0f);
                    queue(0.0f);
                } else if (s <= t && t <= e && e <= f) {
                    if (!c.inside) queue(1.0f);
                    queue(progress());
                    c.inside = 1;
                } else if (t <= s && s < f && f < e) {
                    if (c.inside) queue(0.0f);
                    c.inside = 0;
                } else if (s <= t && f < e) {
                    queue(progress());
                    if (t == s) queue(0.0f);
                }
            }
        }
    }

    // Take the queue over before running it: a callback may fire messages
    // that step this timer again, which then queue and run calls of their own.
    std::multimap<double, Call> calls;
    calls.swap(queue_);
    for (auto& entry : calls) {
        if (entry.second.function) entry.second.function(&entry.second.context);
    }
}

void EffectTimer::QueueCall(double key, EffectCallback function, const EffectCallContext& context) {
    CritSectLock lock(gEffectTimerLock);
    // Equal keys keep the order queued.
    queue_.emplace_hint(queue_.upper_bound(key), key, Call{function, context});
}

void AddTimersFromTable(ScriptObject* script, int timerCount, const EffectTimerRecord* timers,
                        const int* controlCounts, const EffectControl* controls) {
    if (!script || !timers || timerCount <= 0) return;
    for (int i = 0; i < timerCount; ++i) {
        script->AddTimer(timers[i].key);
        EffectTimer* timer = script->GetTimer(timers[i].key);
        if (!timer) continue;
        timer->SetSettings(timers[i].settings);
        const int count = controlCounts ? controlCounts[i] : 0;
        for (int j = 0; controls && j < count; ++j) timer->AddControl(controls[j]);
    }
}
