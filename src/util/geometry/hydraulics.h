#pragma once
// Flow properties of cross-section panels and circular conduits: area, water-
// surface width and wetted perimeter at a water level. Stateless, single
// precision; nothing here fails.

namespace velmorak::util {

// Flow area, water-surface width and wetted perimeter of the panel between the
// bed points (x1, z1) and (x2, z2) at water level `level`; zeros when `enable`
// is not positive or the panel is dry.
void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float enable, float& area, float& width,
               float& perimeter);
// HYD_PARAM on the two halves of the panel, each with its own enable value.
void HYD_PARAM2(float x1, float z1, float enable1, float x2, float z2, float enable2, float level, float& area1,
                float& area2, float& width1, float& width2, float& perimeter1, float& perimeter2);
// Water-surface width in a circular conduit of the radius at the depth.
float CIRCLE_WIDTH(float radius, float depth);

}  // namespace velmorak::util
