#include "game/office/game_params.h"

#include <algorithm>
#include <cstdio>

#include "game/office/office_xml.h"

namespace {

// The objects turn tuning values into ints (levels, frames, seconds); a long
// run of digits in a hostile file must not overflow them.
constexpr float kValueLimit = 1e6f;

void ReadValue(XmlNode element, const char* name, float& out) {
    float value = 0.0f;
    if (XmlGetAttrFloat(element, name, value)) out = std::clamp(value, -kValueLimit, kValueLimit);
}

template <class Def>
struct FloatField {
    const char* name;
    float Def::*field;
};

// Fields of a definition: absent attributes stay 0.
template <class Def, size_t N>
void ReadFloats(XmlNode element, Def& def, const FloatField<Def> (&fields)[N]) {
    for (const auto& f : fields) ReadValue(element, f.name, def.*f.field);
}

#define FIELD(type, name) {#name, &type::name}

const FloatField<ClientDef> kClientFields[] = {
    FIELD(ClientDef, client_patience_speed),   FIELD(ClientDef, client_decision_timeout),
    FIELD(ClientDef, client_presentation_effect), FIELD(ClientDef, client_money_g),
    FIELD(ClientDef, client_money_y),          FIELD(ClientDef, client_money_r),
    FIELD(ClientDef, client_service_effect),   FIELD(ClientDef, client_losses_money),
    FIELD(ClientDef, client_scandal_level),    FIELD(ClientDef, client_scandal_timeout),
    FIELD(ClientDef, client_coffee_effect),    FIELD(ClientDef, idle_stop_frame),
    FIELD(ClientDef, idle_rastart_time_min),   FIELD(ClientDef, idle_rastart_time_max),
};

const FloatField<WorkerDef> kWorkerFields[] = {
    FIELD(WorkerDef, worker_stamina_up_speed),  FIELD(WorkerDef, worker_stamina_down_speed),
    FIELD(WorkerDef, worker_work_time_g),       FIELD(WorkerDef, worker_work_time_y),
    FIELD(WorkerDef, worker_work_time_r),       FIELD(WorkerDef, worker_disruption_timeout),
    FIELD(WorkerDef, worker_conference_effect), FIELD(WorkerDef, worker_bonus_effect),
    FIELD(WorkerDef, worker_break_high),        FIELD(WorkerDef, worker_break_low),
    FIELD(WorkerDef, worker_disruption_start_timeout),
    FIELD(WorkerDef, worker_disruption_period_timeout),
    FIELD(WorkerDef, worker_done_break_frame),  FIELD(WorkerDef, idle_stop_frame),
    FIELD(WorkerDef, idle_rastart_time_min),    FIELD(WorkerDef, idle_rastart_time_max),
};

} // namespace

const GameParams::Key GameParams::kKeys[GameParams::kKeyCount] = {
    FIELD(GameParams, patience_g_level),
    FIELD(GameParams, patience_y_level),
    FIELD(GameParams, patience_r_level),
    FIELD(GameParams, patience_critical),
    FIELD(GameParams, scandal_effect),
    FIELD(GameParams, service_timeout),
    FIELD(GameParams, coffeemachine_reload_timeout),
    FIELD(GameParams, air_conditioner_timeout_min),
    FIELD(GameParams, air_conditioner_timeout_max),
    FIELD(GameParams, air_conditioner_effect),
    FIELD(GameParams, stereo_system_effect),
    FIELD(GameParams, ring_timeout),
    FIELD(GameParams, ring_losses_money),
    FIELD(GameParams, conference_reload_timeout),
    FIELD(GameParams, presentation_reload_timeout),
    FIELD(GameParams, presentation_timeout),
    FIELD(GameParams, safe_reload_timeout),
    FIELD(GameParams, cupboatd_reload_timeout),
    FIELD(GameParams, disruption_effect),
    FIELD(GameParams, stamina_g_level),
    FIELD(GameParams, stamina_y_level),
    FIELD(GameParams, stamina_r_level),
    FIELD(GameParams, fear_time_period),
    FIELD(GameParams, events_delay_timeout),
    FIELD(GameParams, bubble_show_time),
    FIELD(GameParams, hover_scale_factor),
    FIELD(GameParams, blink_time),
    FIELD(GameParams, blink_min_alpha),
    FIELD(GameParams, blink_max_alpha),
    FIELD(GameParams, engineer_move_speed),
    FIELD(GameParams, boss_move_speed),
    FIELD(GameParams, boss_move_speed_mod),
    FIELD(GameParams, boss_move_speed_mod_timeout),
    FIELD(GameParams, boss_conference_timeout),
    FIELD(GameParams, boss_interaction_timeout),
    FIELD(GameParams, boss_reproof_effect),
    FIELD(GameParams, worker_money_immortality),
    FIELD(GameParams, worker_conference_immortality),
    FIELD(GameParams, worker_break_intent_timeout),
    FIELD(GameParams, worker_break_duration_timeout),
    FIELD(GameParams, worker_showtime_zzz),
    FIELD(GameParams, worker_alpha_blend_time),
    FIELD(GameParams, client_reminder_timeout),
    FIELD(GameParams, client_alpha_blend_time),
    FIELD(GameParams, secretary_move_speed),
};

#undef FIELD

float* GameParams::Find(std::string_view name) {
    for (const Key& key : kKeys) {
        if (name == key.name) return &(this->*key.field);
    }
    return nullptr;
}

void GameParams::Read(XmlNode params) {
    for (const Key& key : kKeys) ReadValue(params, key.name, this->*key.field);
}

std::vector<std::string> GameParams::Repair() {
    std::vector<std::string> repaired;
    auto replace = [&](float& value, const char* name, float with, const char* why) {
        char text[160];
        std::snprintf(text, sizeof text, "params %s %g%s%g is used", name, static_cast<double>(value), why,
                      static_cast<double>(with));
        repaired.push_back(text);
        value = with;
    };
    const std::pair<float GameParams::*, const char*> speeds[] = {
        {&GameParams::boss_move_speed, "boss_move_speed"},
        {&GameParams::engineer_move_speed, "engineer_move_speed"},
        {&GameParams::secretary_move_speed, "secretary_move_speed"},
        {&GameParams::boss_move_speed_mod, "boss_move_speed_mod"},
    };
    for (const auto& [field, name] : speeds) {
        float& value = this->*field;
        // Written so that NaN is refused too.
        if (!(value > 0.0f))
            replace(value, name, field == &GameParams::boss_move_speed_mod ? 1.0f : kFallbackSpeed,
                    ": a person would never arrive; ");
    }
    for (const Key& key : kKeys) {
        float& value = this->*key.field;
        if (std::string_view(key.name).find("timeout") != std::string_view::npos && !(value >= 0.0f))
            replace(value, key.name, 0.0f, ": a wait would never end; ");
    }
    return repaired;
}

void ClientDef::Read(XmlNode element) {
    name = OfficeText(element, "name");
    ReadFloats(element, *this, kClientFields);
}

void WorkerDef::Read(XmlNode element) {
    name = OfficeText(element, "name");
    ReadFloats(element, *this, kWorkerFields);
}

void PersDef::Read(XmlNode element) {
    name = OfficeText(element, "name");
    ReadValue(element, "idle_rastart_time_min", idle_rastart_time_min);
    ReadValue(element, "idle_rastart_time_max", idle_rastart_time_max);
    XmlGetAttrInt(element, "idle_stop_frame", idle_stop_frame);
    orientations.clear();
    for (XmlNode child : element.children("orientations")) {
        Orientation o;
        o.orientation = OfficeText(child, "orientation");
        o.actual_orientation = OfficeText(child, "actual_orientation");
        XmlGetAttrInt(child, "ofs_x", o.ofs_x);
        XmlGetAttrInt(child, "ofs_y", o.ofs_y);
        orientations.push_back(std::move(o));
    }
}

const Orientation* PersDef::FindOrientation(const std::string& key) const {
    for (const Orientation& o : orientations) {
        if (o.orientation == key) return &o;
    }
    return nullptr;
}
