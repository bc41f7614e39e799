#pragma once
#include <span>
#include <string_view>

// The effect functions that "cfg\\effect.xml" names, found by name in one
// static table. Each takes one pointer and returns an int (1 as a rule; the
// result is not used).

// Which argument an export expects.
enum class EffectCallForm {
    Control, // an EffectCallContext* (timer controls)
    Message, // the ScriptObject* itself ("call" messages)
    Either,  // the argument is ignored; resolves for both forms
};

using EffectCallback = int (*)(void*);

struct EffectExport {
    const char* name;
    EffectCallback fn;
    EffectCallForm form;
};

// The export of that exact (case-sensitive) name, or null.
const EffectExport* FindEffectExport(std::string_view name);

// The function of that name when it takes the wanted form (an Either export
// takes both), else null: a missing name or a wrong form resolves to nothing.
EffectCallback ResolveEffectFunction(std::string_view name, EffectCallForm wanted);

// The whole table of the 49 exports, for listing and checking the data against it.
std::span<const EffectExport> AllEffectFunctions();
