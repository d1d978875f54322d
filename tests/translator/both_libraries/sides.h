#pragma once
// One translation unit per library: both headers declare ReadFramesFromFile
// and AddFrameToFile.
int MeridelSide(const char* source, const char* destination, int* added);
int VantorSide(const char* path, int* added);
