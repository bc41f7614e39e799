#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>
#include "game/app/xml_access.h"

// The office's tuning values, read from the "params" element of
// "cfg\office.xml". Fields carry the attribute names as stored, misspellings
// included; an absent attribute leaves its field as it was (0 at first).
struct GameParams {
    float patience_g_level = 0;
    float patience_y_level = 0;
    float patience_r_level = 0;
    float patience_critical = 0;
    float scandal_effect = 0;
    float service_timeout = 0;
    float coffeemachine_reload_timeout = 0;
    float air_conditioner_timeout_min = 0;
    float air_conditioner_timeout_max = 0;
    float air_conditioner_effect = 0;
    float stereo_system_effect = 0;
    float ring_timeout = 0;
    float ring_losses_money = 0;
    float conference_reload_timeout = 0;
    float presentation_reload_timeout = 0;
    float presentation_timeout = 0;
    float safe_reload_timeout = 0;
    float cupboatd_reload_timeout = 0;
    float disruption_effect = 0;
    float stamina_g_level = 0;
    float stamina_y_level = 0;
    float stamina_r_level = 0;
    float fear_time_period = 0;
    float events_delay_timeout = 0;
    float bubble_show_time = 0;
    float hover_scale_factor = 0;
    float blink_time = 0;
    float blink_min_alpha = 0;
    float blink_max_alpha = 0;
    float engineer_move_speed = 0;
    float boss_move_speed = 0;
    float boss_move_speed_mod = 0;
    float boss_move_speed_mod_timeout = 0;
    float boss_conference_timeout = 0;
    float boss_interaction_timeout = 0;
    float boss_reproof_effect = 0;
    float worker_money_immortality = 0;
    float worker_conference_immortality = 0;
    float worker_break_intent_timeout = 0;
    float worker_break_duration_timeout = 0;
    float worker_showtime_zzz = 0;
    float worker_alpha_blend_time = 0;
    // Written by each level ("params" "normal" and "expert"), never by the office.
    int32_t moneyGoal = 0;
    int32_t expertGoal = 0;
    float client_reminder_timeout = 0;
    float client_alpha_blend_time = 0;
    float secretary_move_speed = 0;

    // The 45 values read from the office, in file order.
    static constexpr size_t kKeyCount = 45;
    struct Key {
        const char* name;
        float GameParams::*field;
    };
    static const Key kKeys[kKeyCount];

    // The live value of a stored name, or null for another name; items keep
    // the pointer so later changes reach them.
    float* Find(std::string_view name);
    // Reads the attributes of a "params" element.
    void Read(XmlNode params);
    // What a day waits on that would never come: a move speed (of the boss, the
    // engineer, the secretary, or the boss's drink bonus) that is not above 0
    // becomes kFallbackSpeed (the bonus 1), a negative timeout 0. One text per
    // value replaced, naming it.
    std::vector<std::string> Repair();
    static constexpr float kFallbackSpeed = 150.0f;
};

// "clients/client": the tuning of one kind of client, by "name".
struct ClientDef {
    std::string name;
    float client_patience_speed = 0;
    float client_decision_timeout = 0;
    float client_presentation_effect = 0;
    float client_money_g = 0;
    float client_money_y = 0;
    float client_money_r = 0;
    float client_service_effect = 0;
    float client_losses_money = 0;
    float client_scandal_level = 0;
    float client_scandal_timeout = 0;
    float client_coffee_effect = 0;
    float idle_stop_frame = 0;
    float idle_rastart_time_min = 0;
    float idle_rastart_time_max = 0;

    void Read(XmlNode element);
};

// "workers/worker": the tuning of one worker, by "name".
struct WorkerDef {
    std::string name;
    float worker_stamina_up_speed = 0;
    float worker_stamina_down_speed = 0;
    float worker_work_time_g = 0;
    float worker_work_time_y = 0;
    float worker_work_time_r = 0;
    float worker_disruption_timeout = 0;
    float worker_conference_effect = 0;
    float worker_bonus_effect = 0;
    float worker_break_high = 0;
    float worker_break_low = 0;
    float worker_disruption_start_timeout = 0;
    float worker_disruption_period_timeout = 0;
    float worker_done_break_frame = 0;
    float idle_stop_frame = 0;
    float idle_rastart_time_min = 0;
    float idle_rastart_time_max = 0;

    void Read(XmlNode element);
};

// One "orientations" child of a person: the orientation a person shows for a
// walking one, with the offset it takes.
struct Orientation {
    std::string orientation;
    std::string actual_orientation;
    int32_t ofs_x = 0;
    int32_t ofs_y = 0;
};

// "perses/pers": a person's idle timing and orientations, by "name".
struct PersDef {
    std::string name;
    float idle_rastart_time_min = 0;
    float idle_rastart_time_max = 0;
    int32_t idle_stop_frame = 0;
    std::vector<Orientation> orientations;

    void Read(XmlNode element);
    // The orientation kept under that key, or null.
    const Orientation* FindOrientation(const std::string& key) const;
};

// Definitions by name; a later element of the same name replaces the earlier.
template <class Def>
using DefTable = std::map<std::string, Def>;

// The definition of that name in the table, or null.
template <class Def>
const Def* FindDef(const DefTable<Def>& table, const std::string& name) {
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}
