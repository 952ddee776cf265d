#pragma once
// The brush pictures of the Pencil, Eraser and Brush option panes: how much of each pixel
// of a box the brush covers, and the drawing of that into a picture control.
#include <cstdint>

class CWULPicture;

// Coverage (0..1) of the width x height pixels of a box (rows top to bottom) by a round hard
// brush of diameter size. A size up to width - 2 is drawn as it is: pixel (j, i) is covered
// when it lies within size / 2 of the centre ((width - 1 - size % 2) / 2, likewise for the
// height). A larger size is drawn as a disc of diameter width - 2 whose rim pixels get the
// exact covered part of their square.
void ComputePencilPreview(int32_t size, int32_t width, int32_t height, float* coverage);
// Coverage of the box by one Brush dab of diameter min(size, width - 2) with the hardness
// profile of the strokes, centred as the Pencil's disc.
void ComputeBrushPreview(int32_t size, int32_t hardness, int32_t width, int32_t height, float* coverage);
// True when the brush does not fit the box and its size is printed over it.
bool StrokePreviewShowsNumber(int32_t size, int32_t width);
// Clears the picture to its colour, mixes its text colour into each pixel by the coverage
// (one value per pixel of the picture) and, for a number above 0, prints it centred in the
// picture's colour so that it stands out of the brush. Then shows the picture.
void DrawStrokePreview(CWULPicture* picture, const float* coverage, int32_t number);
