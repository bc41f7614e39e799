#pragma once
#include <cstdint>
#include <map>
#include <vector>
#include "game/app/xml_access.h"
#include "game/effects/effect_exports.h"

class ScriptObject;

// Timer shapes ("type" of a "timer" element); 0 when not given.
enum EffectTimerType : int {
    kTimerUsual = 1,
    kTimerSelfDestructive = 2,
    kTimerCycle = 3,
    kTimerPingPong = 4,
};

// "direction" of a "timer" element; 0 when not given.
enum EffectTimerDirection : int {
    kTimerForward = 1,
    kTimerBackward = 2,
};

// Control type word. kControlFunctionFound is only meaningful in a record
// handed to EffectTimer::AddControl: it says that the function is to be kept.
enum EffectControlType : int {
    kControlPoint = 1,
    kControlRange = 2,
    kControlFunctionFound = 4,
};

// EffectTimerSettings::flags.
enum EffectTimerSettingsFlags : int {
    kSettingsFtime = 1,
    kSettingsDirection = 2,
    kSettingsType = 4,
    kSettingsNoCatchUp = 0x10000,
};

// The one argument of every control callback. progress is the fraction 0..1
// for a range control and the sweep's end time in seconds for a point control.
struct EffectCallContext {
    int controlType = 0;
    int controlId = 0;
    ScriptObject* target = nullptr;
    intptr_t extra = 0;
    float progress = 0.0f;
};

struct EffectControl {
    int type = 0; // EffectControlType, kControlFunctionFound while being added
    int id = 0;
    float starttime = 0.0f;
    float endtime = 0.0f;
    EffectCallback function = nullptr;
    ScriptObject* target = nullptr;
    intptr_t extra = 0;
    uint8_t active = 0;
};

struct EffectTimerSettings {
    int flags = 0; // EffectTimerSettingsFlags
    float ftime = 0.0f;
    int direction = 0;
    int type = 0;
    uint8_t running = 0;
};

// One record of a compiled-in timer table.
struct EffectTimerRecord {
    int key = 0;
    EffectTimerSettings settings;
};

// A clock over [0, ftime] with time-windowed controls that call effect
// functions as it sweeps over them. Every operation holds gEffectTimerLock
// except construction, Load, IsFinished, GetTime and SetTime.
class EffectTimer {
public:
    // A long frame is stepped in at most this many whole intervals; the rest
    // of the whole intervals are dropped as with no catch-up.
    static constexpr int kMaxCatchUpSteps = 1000;

    explicit EffectTimer(ScriptObject* owner);
    virtual ~EffectTimer();
    EffectTimer(const EffectTimer&) = delete;
    EffectTimer& operator=(const EffectTimer&) = delete;

    // Reads one "timer" element and its "control" children. Not running afterwards.
    void Load(XmlNode node);

    bool AddControl(const EffectControl& control);
    bool RemoveControl(int id);
    void ClearControls();
    bool ReplaceControl(const EffectControl& control);
    bool SetControlActive(int id, bool active);

    void SetSettings(const EffectTimerSettings& settings);
    void GetSettings(EffectTimerSettings& settings) const;

    // Back to the start (ftime when backward, else 0), not finished.
    void Reset();
    void SetRunning(bool running);
    bool IsRunning() const;
    bool IsFinished() const { return finished_ != 0; }
    double GetTime() const { return time_; }
    void SetTime(double time);

    // Advances a running timer by dt seconds, in steps no longer than ftime.
    void Update(double dt);
    // Moves the clock by dt and dispatches the swept interval.
    void Step(double dt);
    // Queues and runs the calls of every active control for the sweep.
    void DispatchControls(double from, double to);
    void QueueCall(double key, EffectCallback function, const EffectCallContext& context);

    ScriptObject* GetOwner() const { return owner_; }
    int GetType() const { return type_; }
    int GetDirection() const { return direction_; }
    float GetFtime() const { return ftime_; }
    bool IsForwardLeg() const { return forwardLeg_ != 0; }
    bool IsSelfDestructed() const { return selfDestruct_ != 0; }
    bool IsNoCatchUp() const { return noCatchUp_ != 0; }
    size_t GetControlCount() const { return controls_.size(); }
    // The first control with that id, or null.
    const EffectControl* FindControl(int id) const;

private:
    struct Control {
        EffectControl record;
        uint8_t inside = 0;
    };
    struct Call {
        EffectCallback function;
        EffectCallContext context;
    };

    Control* FindControlMutable(int id);
    bool IsEndless() const { return ftime_ < 0.0f; }

    ScriptObject* owner_;
    int type_ = 0;
    int direction_ = 0;
    float ftime_ = 0.0f;
    uint8_t running_ = 0;
    double time_ = 0.0;
    uint8_t forwardLeg_ = 0;
    uint8_t finished_ = 0;
    uint8_t selfDestruct_ = 0;
    uint8_t noCatchUp_ = 0;
    uint8_t settingsChanged_ = 0;
    double startClock_ = 0.0;
    // Bumped whenever the clock is moved from outside a step (reset, set time,
    // new settings), so that a step whose callbacks did so leaves the clock alone.
    uint32_t generation_ = 0;
    std::vector<Control> controls_;
    // Calls of the dispatch being built; a dispatch takes the queue over
    // before running it, so callbacks that dispatch again start a queue of their own.
    std::multimap<double, Call> queue_;
};

// Installs a compiled-in timer table: for each record, the timer under its key
// with the record's settings and the first controlCounts[i] control records
// (counted from the start of the array for every timer).
void AddTimersFromTable(ScriptObject* script, int timerCount, const EffectTimerRecord* timers,
                        const int* controlCounts, const EffectControl* controls);
