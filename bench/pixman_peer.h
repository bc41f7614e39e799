#pragma once
#include <pixman.h>

#include <cmath>

#include "framework/graphics/memory_image.h"

// The rotated blit's work for pixman: the destination box our rotated blit
// covers for a source of size w x h placed at (x, y) and turned by angle
// about its centre, and a transform that maps each of the box's pixel
// centres back into the source as ours does. Returns false when the box is
// empty.
inline bool PixmanRotation(pixman_image_t* src, float x, float y, int w, int h, double angle, int clipW, int clipH,
                           int& x0, int& y0, int& width, int& height) {
    const float cx = w / 2.0f, cy = h / 2.0f;
    Zephra::RectD area;
    if (!Zephra::BltRotatedClipHelper(&x, &y, Zephra::Rect(0, 0, w, h), Zephra::Rect(0, 0, clipW, clipH), angle, area,
                                      cx, cy))
        return false;
    x0 = int(std::floor(area.mX));
    y0 = int(std::floor(area.mY));
    width = int(std::ceil(area.mX + area.mWidth)) - x0;
    height = int(std::ceil(area.mY + area.mHeight)) - y0;
    pixman_f_transform_t f, turn;
    pixman_f_transform_init_translate(&f, x0 - cx - x, y0 - cy - y);
    pixman_f_transform_init_rotate(&turn, std::cos(angle), std::sin(angle));
    pixman_f_transform_multiply(&f, &turn, &f);
    pixman_f_transform_translate(&f, nullptr, cx, cy);
    pixman_transform_t t;
    pixman_transform_from_pixman_f_transform(&t, &f);
    pixman_image_set_transform(src, &t);
    return true;
}
