#pragma once
// Antialiasing coverage of a pixel by a circle.

// The fraction (0 to 1) of the pixel square from (x, y) to (x + 1, y + 1) inside the
// circle of centre (cx, cy) and radius r.
float wulCircleCoverage(int x, int y, float cx, float cy, float r);
