#pragma once
#include "framework/graphics/blend_rows.h"

namespace testsupport {

// Runs body(loops) once for each loop width the processor has, the plain
// reference first, then puts the widest back.
template <class Body>
void ForEachLoops(Body&& body) {
    using Zephra::raster::Loops;
    for (Loops loops : {Loops::Reference, Loops::Sse2, Loops::Avx2}) {
        Zephra::raster::SetWidestLoops(loops);
        if (Zephra::raster::WidestLoops() == loops) body(loops);
    }
    Zephra::raster::SetWidestLoops(Loops::Avx2);
}

inline const char* LoopsName(Zephra::raster::Loops loops) {
    switch (loops) {
    case Zephra::raster::Loops::Reference: return "reference";
    case Zephra::raster::Loops::Sse2: return "sse2";
    case Zephra::raster::Loops::Avx2: return "avx2";
    }
    return "?";
}

} // namespace testsupport
